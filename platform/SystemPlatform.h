#pragma once

#include "Clock.h"
#include "MousePointer.h"
#include "PlatformServices.h"

namespace kestrova {

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

class SystemMousePointer final : public MousePointer {
public:
    QPoint position() const override;
};

// The real platform services of a running program.
class SystemPlatform {
public:
    SystemPlatform();
    PlatformServices &services() { return m_services; }

private:
    SystemClock m_clock;
    SystemMousePointer m_pointer;
    PlatformServices m_services;
};

} // namespace kestrova
