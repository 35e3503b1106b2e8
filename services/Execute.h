#pragma once

#include "Shell.h"

#include <QString>

namespace kestrova {

class Host;

namespace Execute {

// Opens a program, document, web address or "mailto:" address through the
// platform's shell; the whole text is the target. An empty target does
// nothing and says nothing. A target that cannot be opened is logged
// (kestrova.launch) and the character, which has usually just announced the
// action, says so and why.
void ShellOpen(Host &host, const QString &target);

// The sentence of every failed launch, with the log line: "I couldn't open
// that." and why; while the character is hidden, a notification too.
void ReportFailedLaunch(Host &host, const QString &target, OpenFailure why);
QString failedLaunchSentence(const QString &target, OpenFailure why);

inline const char CouldNotOpen[] = QT_TRANSLATE_NOOP("kestrova::Execute", "I couldn't open that.");
inline const char FailedLaunchSummary[] = QT_TRANSLATE_NOOP("kestrova::Execute", "Could not open");

} // namespace Execute
} // namespace kestrova
