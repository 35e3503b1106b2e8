#pragma once

namespace kestrova {

class Clipboard;
class Clock;
class DialUp;
class MailboxFactory;
class MessageBox;
class MousePointer;
class Notifier;
class OpenFileDialog;
class Random;
class Shell;
class WordProcessor;

// Everything the program reaches outside itself. The program fills it with
// the real services (SystemPlatform), tests with doubles. Not owned.
struct PlatformServices {
    Clock *clock = nullptr;
    MousePointer *mousePointer = nullptr;
    Random *random = nullptr;
    Shell *shell = nullptr;
    MessageBox *messageBox = nullptr;
    OpenFileDialog *openFileDialog = nullptr;
    Clipboard *clipboard = nullptr;
    // The dial-up state and the mailboxes of the mail check (mail/).
    DialUp *dialUp = nullptr;
    MailboxFactory *mailboxes = nullptr;
    // The word processor the office menu drives (launch/).
    WordProcessor *wordProcessor = nullptr;
    // The desktop's notifications, for what the user must learn while the
    // character is hidden.
    Notifier *notifier = nullptr;
};

} // namespace kestrova
