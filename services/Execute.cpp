#include "Execute.h"

#include "CharacterSink.h"
#include "Host.h"
#include "SpeechText.h"

#include <QCoreApplication>
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
        return QCoreApplication::translate("kestrova::Execute", CouldNotOpen) + QCoreApplication::translate("kestrova::Execute", " There is no file, folder or program called \"%1\" here.")
                                  .arg(character::outsideText(name.isEmpty() ? target : name));
    }
    case OpenFailure::NoProgram:
        return QCoreApplication::translate("kestrova::Execute", CouldNotOpen) + QCoreApplication::translate("kestrova::Execute", " No program on this computer opens it.");
    case OpenFailure::NotStarted:
        return QCoreApplication::translate("kestrova::Execute", CouldNotOpen) + QCoreApplication::translate("kestrova::Execute", " Its program would not start.");
    case OpenFailure::BadAddress:
        return QCoreApplication::translate("kestrova::Execute", CouldNotOpen) + QCoreApplication::translate("kestrova::Execute", " It is not an address I can use.");
    }
    return QCoreApplication::translate("kestrova::Execute", CouldNotOpen);
}

void ReportFailedLaunch(Host &host, const QString &target, OpenFailure why)
{
    qCWarning(lcLaunch) << "could not open" << target;
    CharacterSink &sink = host.sink();
    const QString sentence = failedLaunchSentence(target, why);
    if (!sink.shown())
        sink.notify(QCoreApplication::translate("kestrova::Execute", FailedLaunchSummary), character::parseSpeechTags(sentence).shown);
    sink.say(sentence);
}

} // namespace kestrova::Execute
