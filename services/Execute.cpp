#include "Execute.h"

#include "CharacterSink.h"
#include "Host.h"
#include "SpeechText.h"

#include <QFileInfo>

namespace kestrova::Execute {

void ShellOpen(Host &host, const QString &target)
{
    if (target.isEmpty())
        return;
    Shell *shell = host.context().platform.shell;
    if (shell && shell->open(target))
        return;
    ReportFailedLaunch(host, target, shell ? shell->lastFailure() : OpenFailure::NoProgram);
}

QString failedLaunchSentence(const QString &target, OpenFailure why)
{
    switch (why) {
    case OpenFailure::NotFound: {
        // The name, not a whole path, is what the user recognises and what
        // the voice can say.
        const QString name = QFileInfo(target).fileName();
        return CouldNotOpen + QStringLiteral(" There is no file, folder or program called \"")
               + character::outsideText(name.isEmpty() ? target : name) + QStringLiteral("\" here.");
    }
    case OpenFailure::NoProgram:
        return CouldNotOpen + QStringLiteral(" No program on this computer opens it.");
    case OpenFailure::NotStarted:
        return CouldNotOpen + QStringLiteral(" Its program would not start.");
    case OpenFailure::BadAddress:
        return CouldNotOpen + QStringLiteral(" It is not an address I can use.");
    }
    return CouldNotOpen;
}

void ReportFailedLaunch(Host &host, const QString &target, OpenFailure why)
{
    qCWarning(lcLaunch) << "could not open" << target;
    CharacterSink &sink = host.sink();
    const QString sentence = failedLaunchSentence(target, why);
    if (!sink.shown())
        sink.notify(FailedLaunchSummary, character::parseSpeechTags(sentence).shown);
    sink.say(sentence);
}

} // namespace kestrova::Execute
