#include "HelpBook.h"

#include "CharacterRef.h"
#include "Execute.h"
#include "FileOperations.h"
#include "Host.h"
#include "Shell.h"

#include <QKeyEvent>
#include <QMenu>
#include <QWidget>

namespace kestrova::HelpBook {

namespace {

struct WindowPage {
    const char *objectName;
    const char *page;
};

// Looked at in this order: a page shown inside a window before the window.
const WindowPage Pages[] = {
    {"FrameOptions2", "mail.html"}, // the options window's mail page
    {"FrmMain", "options.html"},
    {"kestrovaCharacterOptions", "character-options.html"},
    // Its own window, though the character options' child.
    {"kestrovaVoiceEnrolment", "voice.html"},
    {"kestrovaCharacterChooser", "character-options.html"},
    {"kestrovaCommandsWindow", "voice.html"},
    {"kestrovaListeningPrompt", "voice.html"},
    {"FrmQuick", "quicklaunch.html"},
    {"FrmTour", "start.html"},
    {"frmTip", "start.html"},
    {"FrmUser", "start.html"},
    {"FrmAlarm", "menus.html"},
    {"FrmCalender", "menus.html"},
    {"FrmSearch", "menus.html"},
    {"FrmOpen", "menus.html"},
    {"frmAbout", "menus.html"},
};

} // namespace

QString pageFor(const QWidget *window)
{
    if (!window)
        return QStringLiteral("index.html");
    // The character's menus, open over whatever window.
    if (qobject_cast<const QMenu *>(window))
        return QStringLiteral("menus.html");
    for (const WindowPage &entry : Pages) {
        const QString name = QString::fromLatin1(entry.objectName);
        if (window->objectName() == name)
            return QString::fromLatin1(entry.page);
        const QWidget *inside = window->findChild<const QWidget *>(name);
        if (inside && inside->isVisible())
            return QString::fromLatin1(entry.page);
    }
    return QStringLiteral("index.html");
}

Shown OpenPage(Host &host, const QString &page)
{
    const QString path = host.context().programDir + QStringLiteral("/help/") + page;
    if (!FileOperations::FileExists(path))
        return Open(host);
    Shell *shell = host.context().platform.shell;
    if (shell && shell->open(path))
        return Shown::Pages;
    Execute::ReportFailedLaunch(host, path, shell ? shell->lastFailure() : OpenFailure::NoProgram);
    return Shown::Nothing;
}

bool HelpKey::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_F1 || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier
        || key->isAutoRepeat())
        return false;
    OpenPage(m_host, pageFor(static_cast<QWidget *>(watched)->window()));
    return true;
}

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
