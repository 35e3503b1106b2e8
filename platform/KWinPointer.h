#pragma once

// KWin tells its scripts where the pointer is, over any window; an X client
// under XWayland learns it only while the pointer is over an X window. A
// script KWin is handed through its scripting interface on the session bus
// sends the place back to this object over that bus.

#include <QObject>
#include <QPoint>

#include <optional>

namespace kestrova {

class KWinPointer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kestrova.Pointer")
public:
    // Whether KWin answers on the session bus.
    static bool available();
    // Where KWin says the pointer is, waited for at most timeoutMs; nothing
    // when KWin does not answer in time.
    static std::optional<QPoint> ask(int timeoutMs = 1000);

public Q_SLOTS:
    // Called by the script.
    Q_SCRIPTABLE void at(int x, int y);

private:
    std::optional<QPoint> m_at;
};

} // namespace kestrova
