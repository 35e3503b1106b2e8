#include "HelpBook.h"

#include "CharacterRef.h"
#include "Execute.h"
#include "FileOperations.h"
#include "Host.h"
#include "Shell.h"

namespace kestrova::HelpBook {

Shown Open(Host &host)
{
    const QString dir = host.context().programDir;
    const QString compiled = dir + u'/' + CompiledFile;
    const QString pages = dir + u'/' + PagesIndex;
    Shell *shell = host.context().platform.shell;
    const bool haveCompiled = FileOperations::FileExists(compiled);
    const bool havePages = FileOperations::FileExists(pages);

    if (haveCompiled && shell && shell->canOpenDocument(compiled)) {
        if (shell->open(compiled))
            return Shown::Compiled;
        qCWarning(lcLaunch) << "could not open" << compiled << "; trying the pages";
        if (!havePages) {
            Execute::ReportFailedLaunch(host, compiled, shell ? shell->lastFailure() : OpenFailure::NoProgram);
            return Shown::Nothing;
        }
    }
    if (havePages) {
        if (shell && shell->open(pages))
            return Shown::Pages;
        Execute::ReportFailedLaunch(host, pages, shell ? shell->lastFailure() : OpenFailure::NoProgram);
        return Shown::Nothing;
    }
    if (haveCompiled) {
        // No application claims the book and there are no pages: the
        // desktop's opener may still know a way.
        if (shell && shell->open(compiled))
            return Shown::Compiled;
        Execute::ReportFailedLaunch(host, compiled, shell ? shell->lastFailure() : OpenFailure::NoProgram);
        return Shown::Nothing;
    }
    host.agent().Play(QStringLiteral("Sad"));
    host.agent().Speak(NotFound);
    return Shown::Nothing;
}

} // namespace kestrova::HelpBook
