#pragma once

#include "AgentForm.h"
#include "Application.h"
#include "Fakes.h"
#include "ManualTimers.h"
#include "RecordingCharacter.h"
#include "SettingsStore.h"

#include <memory>

namespace kestrova::test {

// One run of the program against the recording character and the platform
// doubles, with its settings in a folder the test gives (so a second run can
// see what the first stored) and its program folder wherever the test says.
// The mail timer runs on the test's own timers.
struct TestRun {
    explicit TestRun(const QString &settingsDir, const QString &characterName = QStringLiteral("Kess"),
                     const QString &programDir = QStringLiteral(KESTROVA_PROGRAM_DIR),
                     PasswordStore *passwords = nullptr)
        : settings(settingsDir), service(characterName)
    {
        AppContext context;
        context.programDir = programDir;
        // Beside the settings, so nothing a test writes leaves its folder.
        context.userDataDir = settingsDir + QStringLiteral("/data");
        context.settings = &settings;
        context.passwords = passwords;
        context.platform = platform.services();
        context.characterService = &service;
        context.mailTimers = &mailTimers;
        app = std::make_unique<Application>(context);
    }

    RecordingCharacter &character() { return *service.last(); }
    QStringList log() { return service.last() ? service.last()->log : QStringList(); }
    AgentForm &agent() { return *app->agentForm(); }

    SettingsStore settings;
    FakePlatform platform;
    RecordingCharacterService service;
    // The mail timer's minutes pass only when the test moves them on.
    ManualTimers mailTimers;
    std::unique_ptr<Application> app;
};

} // namespace kestrova::test
