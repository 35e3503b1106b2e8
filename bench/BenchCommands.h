#pragma once

// The character's command table exactly as the program registers it: every
// module's actions in a real Application (on an offscreen display, with a
// settings folder of its own), so the benchmarks hear the same grammars the
// user's program listens for.
#include "Application.h"
#include "CommandTable.h"
#include "SettingsStore.h"
#include "SystemPlatform.h"

#include <QTemporaryDir>

inline QList<kestrova::CommandEntry> benchCommandTable(const QString &firstOfficeName, const QStringList &siteNames)
{
    static QTemporaryDir dir;
    static kestrova::SettingsStore settings(dir.filePath(QStringLiteral("settings")));
    static kestrova::SystemPlatform system;
    kestrova::AppContext context;
    context.programDir = dir.path();
    context.userDataDir = dir.filePath(QStringLiteral("data"));
    context.settings = &settings;
    context.platform = system.services();
    kestrova::Application app(context);
    return kestrova::commandTable(app.actions(), firstOfficeName, siteNames);
}
