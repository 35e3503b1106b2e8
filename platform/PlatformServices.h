#pragma once

namespace kestrova {

class Clock;
class MessageBox;
class MousePointer;
class OpenFileDialog;
class Random;
class Shell;

// Everything the program reaches outside itself. The program fills it with
// the real services (SystemPlatform), tests with doubles. Not owned.
struct PlatformServices {
    Clock *clock = nullptr;
    MousePointer *mousePointer = nullptr;
    Random *random = nullptr;
    Shell *shell = nullptr;
    MessageBox *messageBox = nullptr;
    OpenFileDialog *openFileDialog = nullptr;
};

} // namespace kestrova
