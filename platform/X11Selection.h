#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

namespace kestrova {

// What came of asking the owner of an X11 selection for its text.
struct SelectionText {
    enum Outcome {
        Read,       // `text` holds the selection (or its first `maxBytes`)
        Nothing,    // nobody owns the selection, or its owner has no text
        Unreadable, // the owner did not answer in time, or the display is gone
    };
    Outcome outcome = Nothing;
    QString text;
    bool cut = false; // only the beginning of a longer text was read
};

struct SelectionLimits {
    // How much of the text is read; the rest is never asked for. An
    // incomplete UTF-8 sequence at the cut is left out.
    int maxBytes = 64 * 1024;
    // The whole exchange, however the owner answers (an incremental
    // transfer included).
    std::chrono::milliseconds deadline{2000};
};

// Asks the owner of `selection` ("PRIMARY", "CLIPBOARD") on the X display
// `display` for its text (UTF8_STRING, else STRING) over a connection of its
// own, and waits for the answer with poll() until the deadline. An owner
// that never answers, a transfer that stalls and a huge selection all end
// within the limits. Blocks its caller: run it off the UI thread.
// `cancelFd`, when not -1, is a descriptor that becomes readable to stop
// the wait at once (the result is then Unreadable).
SelectionText readX11Selection(const QByteArray &display, const QByteArray &selection,
                               const SelectionLimits &limits = {}, int cancelFd = -1);

} // namespace kestrova
