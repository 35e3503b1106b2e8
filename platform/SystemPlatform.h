#pragma once

#include "Clock.h"
#include "MousePointer.h"
#include "PlatformServices.h"
#include "Random.h"
#include "Shell.h"

#include <random>

namespace kestrova {

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

class SystemMousePointer final : public MousePointer {
public:
    QPoint position() const override;
};

// Seeded from the clock when made, so jokes differ from run to run even
// when nothing seeds the sequence later.
class SystemRandom final : public Random {
public:
    SystemRandom();
    double next() override;
    void seed(unsigned int value) override { m_engine.seed(value); }

private:
    std::mt19937 m_engine;
};

// Web and mail addresses go to the desktop's handler; an executable file is
// started directly, with no shell and without splitting its text; anything
// else that exists is opened as a document. Nothing passes through /bin/sh.
class SystemShell final : public Shell {
public:
    bool open(const QString &target) override;
};

// The real platform services of a running program.
class SystemPlatform {
public:
    SystemPlatform();
    PlatformServices &services() { return m_services; }

private:
    SystemClock m_clock;
    SystemMousePointer m_pointer;
    SystemRandom m_random;
    SystemShell m_shell;
    PlatformServices m_services;
};

} // namespace kestrova
