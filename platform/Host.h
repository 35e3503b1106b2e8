#pragma once

// What every window of the program may ask of the program itself: where it
// lives, its settings, the platform services, the loaded character, the
// window registry and the host window's public operations. The program
// (app/Application) implements it; windows in settings/, launch/ and tools/
// take a Host& so they need nothing of app/.

#include "PlatformServices.h"

#include <QString>

namespace kestrova {

class Forms;
class SettingsStore;
namespace character { class CharacterRef; class CharacterService; }

// What the program is handed from outside. Not owned.
struct AppContext {
    QString programDir;
    SettingsStore *settings = nullptr;
    PlatformServices platform;
    character::CharacterService *characterService = nullptr;
};

class Host {
public:
    virtual ~Host() = default;

    virtual const AppContext &context() const = 0;
    virtual Forms &forms() = 0;

    // The loaded character of the host window; empty while none is loaded.
    virtual character::CharacterRef &agent() = 0;
    // The host window's operations.
    virtual void AgentQuit() = 0;
    virtual void AgentVisible() = 0;
};

} // namespace kestrova
