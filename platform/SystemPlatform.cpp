#include "SystemPlatform.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

#include "DesktopApplications.h"
#include "TextLines.h"

namespace kestrova {

Q_LOGGING_CATEGORY(lcLaunch, "kestrova.launch")

QPoint SystemMousePointer::position() const
{
    return QCursor::pos();
}

SystemRandom::SystemRandom()
    : m_engine(unsigned(QDateTime::currentMSecsSinceEpoch()))
{
}

double SystemRandom::next()
{
    return std::uniform_real_distribution<double>(0.0, 1.0)(m_engine);
}

bool QtDesktopHandlers::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

bool QtDesktopHandlers::openDocument(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool QtDesktopHandlers::hasDocumentHandler(const QString &path)
{
    const QStringList types = mimeTypeNamesOf(path);
    const QString handler = desktopHandlerFor(types, DesktopApplicationDirs::fromEnvironment());
    qCDebug(lcLaunch) << "handler of" << types << "is" << (handler.isEmpty() ? QStringLiteral("none") : handler);
    return !handler.isEmpty();
}

SystemShell::SystemShell(DesktopHandlers *handlers)
    : m_handlers(handlers ? handlers : &m_qtHandlers)
{
}

namespace {

// "https://...", "mailto:..."; a single letter before the colon would be a
// drive, not a scheme.
bool hasScheme(const QString &target)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(target).hasMatch();
}

bool startProgram(const QString &program, const QStringList &arguments)
{
    const bool started = QProcess::startDetached(program, arguments);
    qCDebug(lcLaunch) << (started ? "started" : "could not start") << program << arguments;
    return started;
}

} // namespace

bool SystemShell::open(const QString &target)
{
    if (target.isEmpty())
        return false;
    const QFileInfo file(target);
    if (file.isFile()) {
        const QString path = file.absoluteFilePath();
        if (path.endsWith(QStringLiteral(".desktop"))) {
            QStringList command = desktopEntryCommand(path);
            if (command.isEmpty()) {
                qCDebug(lcLaunch) << "desktop entry without a program:" << path;
                return false;
            }
            const QString program = command.takeFirst();
            return startProgram(program, command);
        }
        if (file.isExecutable())
            return startProgram(path, {});
        qCDebug(lcLaunch) << "opening document" << path;
        return m_handlers->openDocument(path);
    }
    if (file.isDir()) {
        qCDebug(lcLaunch) << "opening folder" << file.absoluteFilePath();
        return m_handlers->openDocument(file.absoluteFilePath());
    }
    if (hasScheme(target)) {
        const QUrl url(target);
        if (!url.isValid())
            return false;
        qCDebug(lcLaunch) << "opening address" << url;
        return m_handlers->openUrl(url);
    }
    if (target.startsWith(QStringLiteral("www."), Qt::CaseInsensitive)) {
        const QUrl url = QUrl::fromUserInput(target);
        qCDebug(lcLaunch) << "opening address" << url;
        return url.isValid() && m_handlers->openUrl(url);
    }
    qCDebug(lcLaunch) << "nothing to open at" << target;
    return false;
}

bool SystemShell::canOpenDocument(const QString &path)
{
    return m_handlers->hasDocumentHandler(path);
}

namespace {

// Splits an Exec value into arguments the way desktop entries quote them:
// blanks separate, double quotes group, a backslash inside quotes escapes
// the next character.
QStringList splitExec(const QString &exec)
{
    QStringList out;
    QString current;
    bool quoted = false, any = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (quoted) {
            if (c == u'\\' && i + 1 < exec.size()) {
                current += exec.at(++i);
            } else if (c == u'"') {
                quoted = false;
            } else {
                current += c;
            }
        } else if (c == u'"') {
            quoted = true;
            any = true;
        } else if (c == u' ' || c == u'\t') {
            if (any || !current.isEmpty())
                out << current;
            current.clear();
            any = false;
        } else {
            current += c;
        }
    }
    if (any || !current.isEmpty())
        out << current;
    return out;
}

} // namespace

QStringList desktopEntryCommand(const QString &desktopFile)
{
    const auto lines = readTextLines(desktopFile);
    if (!lines)
        return {};
    bool inEntry = false;
    QString exec;
    for (const QString &line : *lines) {
        const QString l = line.trimmed();
        if (l.startsWith(u'[')) {
            inEntry = l == u"[Desktop Entry]";
            continue;
        }
        if (inEntry && l.startsWith(QStringLiteral("Exec")))
        {
            const qsizetype eq = l.indexOf(u'=');
            if (eq > 0 && l.left(eq).trimmed() == u"Exec") {
                exec = l.mid(eq + 1).trimmed();
                break;
            }
        }
    }
    QStringList command;
    for (QString arg : splitExec(exec)) {
        // Field codes stand for files or addresses to open; none are given.
        static const QRegularExpression fieldCode(QStringLiteral("^%[fFuUdDnNickvm]$"));
        if (fieldCode.match(arg).hasMatch())
            continue;
        arg.replace(QStringLiteral("%%"), QStringLiteral("%"));
        command << arg;
    }
    if (command.isEmpty())
        return {};
    if (!QFileInfo(command.first()).isAbsolute()) {
        const QString found = QStandardPaths::findExecutable(command.first());
        if (found.isEmpty())
            return {};
        command.first() = found;
    }
    return command;
}

void SystemMessageBox::show(const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok);
    box.exec();
}

QString SystemOpenFileDialog::getOpenFileName(const QString &title, const QString &filter,
                                              const QString &initialFile)
{
    // "Description|pattern|Description|pattern" becomes Qt's
    // "Description (pattern);;..." list.
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString &description = parts.at(i);
        const QString &pattern = parts.at(i + 1);
        filters << (description.contains(pattern) ? description
                                                  : description + QStringLiteral(" (") + pattern + u')');
    }
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, initialFile,
                                        filters.join(QStringLiteral(";;")));
}

QString SystemClipboard::text() const
{
    return QGuiApplication::clipboard()->text();
}

SystemPlatform::SystemPlatform()
{
    m_services.clock = &m_clock;
    m_services.mousePointer = &m_pointer;
    m_services.random = &m_random;
    m_services.shell = &m_shell;
    m_services.messageBox = &m_messageBox;
    m_services.openFileDialog = &m_openFileDialog;
    m_services.clipboard = &m_clipboard;
}

} // namespace kestrova
