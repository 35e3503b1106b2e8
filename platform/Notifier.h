#pragma once

#include <QString>

namespace kestrova {

// The desktop's notifications: what the user is told while the character
// is not on the desktop to say it.
class Notifier {
public:
    virtual ~Notifier() = default;
    // Shows one notification; returns at once, whatever the desktop does
    // with it. Both texts are plain text.
    virtual void notify(const QString &summary, const QString &body) = 0;
};

} // namespace kestrova
