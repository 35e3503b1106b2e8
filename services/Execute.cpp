#include "Execute.h"

#include "CharacterRef.h"
#include "Host.h"
#include "Shell.h"

namespace kestrova::Execute {

void ShellOpen(Host &host, const QString &target)
{
    if (target.isEmpty())
        return;
    Shell *shell = host.context().platform.shell;
    if (shell && shell->open(target))
        return;
    ReportFailedLaunch(host, target);
}

void ReportFailedLaunch(Host &host, const QString &target)
{
    qCWarning(lcLaunch) << "could not open" << target;
    host.agent().Speak(CouldNotOpen);
}

} // namespace kestrova::Execute
