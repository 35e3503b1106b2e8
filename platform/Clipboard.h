#pragma once

#include <QString>

#include <functional>
#include <optional>

class QObject;

namespace kestrova {

// The desktop's clipboard, as plain text.
class Clipboard {
public:
    // The selected text, or no value when it could not be read (its owner
    // did not answer in time).
    using SelectedTextHandler = std::function<void(const std::optional<QString> &)>;

    virtual ~Clipboard() = default;
    // The clipboard's plain text; empty when it holds none.
    virtual QString text() const = 0;
    // Reads the text selected in any program: the X11 primary selection, or
    // where the desktop has no such selection (Wayland without it, the
    // offscreen platform) the clipboard's text; empty when nothing is
    // selected. The selection's owner is another program that may answer
    // late, never, or with far more than can be said, so the answer comes
    // later, on the caller's thread, through `done`: within a few seconds,
    // and only the beginning of a long text. `done` is not called once
    // `context` (when given) is gone.
    virtual void readSelectedText(QObject *context, SelectedTextHandler done) = 0;
    // Reads the clipboard's plain text the same way: on X11 the clipboard
    // is another program's too, asked within the same limits; elsewhere it
    // is read at once. Empty when it holds no text; no value when its
    // owner did not answer in time.
    virtual void readClipboardText(QObject *context, SelectedTextHandler done) = 0;
};

} // namespace kestrova
