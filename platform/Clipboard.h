#pragma once

#include <QString>

namespace kestrova {

// The desktop's clipboard, as plain text.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    // The clipboard's plain text; empty when it holds none.
    virtual QString text() const = 0;
    // The text selected in any program: the X11 primary selection, or where
    // the desktop has no such selection (Wayland without it, the offscreen
    // platform) the clipboard's text. Empty when nothing is selected.
    virtual QString selectedText() const = 0;
};

} // namespace kestrova
