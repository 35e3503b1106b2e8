#pragma once

#include "Clock.h"
#include "MousePointer.h"
#include "PlatformServices.h"

namespace kestrova::test {

// A clock that says what the test sets.
class FakeClock : public Clock {
public:
    QDateTime time = QDateTime(QDate(2026, 12, 6), QTime(9, 5));
    QDateTime now() const override { return time; }
};

class FakeMousePointer : public MousePointer {
public:
    QPoint where{50, 300};
    QPoint position() const override { return where; }
};

// The doubles of every platform service, wired into one PlatformServices.
struct FakePlatform {
    FakeClock clock;
    FakeMousePointer mousePointer;
    PlatformServices services() { return PlatformServices{&clock, &mousePointer}; }
};

} // namespace kestrova::test
