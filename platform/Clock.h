#pragma once

#include <QDateTime>

namespace kestrova {

// The present moment, as the program reads it. Tests set the time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

} // namespace kestrova
