#include "SystemPlatform.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDir>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

#include "ApplicationChooser.h"
#include "DesktopApplications.h"
#include "TextLines.h"
#include "X11Selection.h"
#include "KWinPointer.h"

#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

#include <utility>

namespace kestrova {

Q_LOGGING_CATEGORY(lcLaunch, "kestrova.launch")
namespace {
Q_LOGGING_CATEGORY(lcSelection, "kestrova.selection")
Q_LOGGING_CATEGORY(lcPointer, "kestrova.pointer")
} // namespace

QPoint SystemMousePointer::position() const
{
    return QCursor::pos();
}

bool runsUnderXWayland(const QString &platformName, const QStringList &screenNames)
{
    return platformName == u"xcb" && !screenNames.isEmpty() && screenNames.first().startsWith(u"XWAYLAND");
}

std::optional<QPoint> SystemMousePointer::seen() const
{
    const QPoint at = QCursor::pos();
    if (!qGuiApp)
        return at;
    QStringList names;
    for (const QScreen *screen : QGuiApplication::screens())
        names << screen->name();
    if (!runsUnderXWayland(QGuiApplication::platformName(), names))
        return at;
    // XWayland learns where the pointer is only while it is over an X
    // window, and keeps the last such place when it leaves them for a
    // Wayland window or the bare desktop, with nothing an X client could
    // tell it by (measured under GNOME Shell 43 and KWin 5.27). KWin tells
    // its scripts; other compositors tell an X client nothing.
    if (KWinPointer::available()) {
        if (const std::optional<QPoint> kwin = KWinPointer::ask()) {
            const QScreen *screen = QGuiApplication::primaryScreen();
            const qreal ratio = screen ? screen->devicePixelRatio() : 1.0;
            return QPoint(qRound(kwin->x() / ratio), qRound(kwin->y() / ratio));
        }
    }
    qCInfo(lcPointer) << "Under XWayland without KWin the pointer's place is not known";
    return std::nullopt;
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

bool SystemShell::open(const QString &typed)
{
    m_failure = OpenFailure::NotFound;
    return openTarget(typed);
}

bool SystemShell::openTarget(const QString &typed)
{
    if (typed.isEmpty())
        return false;
    // "~" and "~/..." are the user's home, as in a terminal.
    QString target = typed;
    if (target == u"~" || target.startsWith(QStringLiteral("~/")))
        target.replace(0, 1, QDir::homePath());
    const QFileInfo file(target);
    if (file.isFile()) {
        const QString path = file.absoluteFilePath();
        if (path.endsWith(QStringLiteral(".desktop"))) {
            QStringList command = desktopEntryCommand(path);
            if (command.isEmpty()) {
                qCDebug(lcLaunch) << "desktop entry without a program:" << path;
                m_failure = OpenFailure::NoProgram;
                return false;
            }
            const QString program = command.takeFirst();
            return started(startProgram(program, command));
        }
        if (file.isExecutable())
            return started(startProgram(path, {}));
        qCDebug(lcLaunch) << "opening document" << path;
        return handed(m_handlers->openDocument(path));
    }
    if (file.isDir()) {
        qCDebug(lcLaunch) << "opening folder" << file.absoluteFilePath();
        return handed(m_handlers->openDocument(file.absoluteFilePath()));
    }
    if (hasScheme(target)) {
        const QUrl url(target);
        if (!url.isValid()) {
            m_failure = OpenFailure::BadAddress;
            return false;
        }
        qCDebug(lcLaunch) << "opening address" << url;
        return handed(m_handlers->openUrl(url));
    }
    if (target.startsWith(QStringLiteral("www."), Qt::CaseInsensitive)) {
        const QUrl url = QUrl::fromUserInput(target);
        qCDebug(lcLaunch) << "opening address" << url;
        if (!url.isValid()) {
            m_failure = OpenFailure::BadAddress;
            return false;
        }
        return handed(m_handlers->openUrl(url));
    }
    // A bare name: a program on PATH ("xterm"), else an installed desktop
    // entry's id ("org.example.Viewer.desktop", the ".desktop" may be left
    // off). The whole text is the name; nothing is split off as arguments.
    if (!target.contains(u'/') && target.trimmed() == target) {
        const QString program = QStandardPaths::findExecutable(target);
        if (!program.isEmpty())
            return started(startProgram(program, {}));
        const QString entry = desktopEntryPathForId(
            target, QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation));
        if (!entry.isEmpty()) {
            QStringList command = desktopEntryCommand(entry);
            if (command.isEmpty()) {
                m_failure = OpenFailure::NoProgram;
                return false;
            }
            const QString program = command.takeFirst();
            return started(startProgram(program, command));
        }
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
    const QHash<QString, QString> values = desktopEntryValues(desktopFile);
    const QString exec = values.value(QStringLiteral("Exec"));
    const bool terminal =
        values.value(QStringLiteral("Terminal")).compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0;
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
    // A program made for a terminal (Terminal=true) runs in the desktop's
    // terminal emulator; without one it cannot be shown.
    if (terminal) {
        QString emulator = QStandardPaths::findExecutable(QStringLiteral("x-terminal-emulator"));
        if (emulator.isEmpty())
            emulator = QStandardPaths::findExecutable(QStringLiteral("xterm"));
        if (emulator.isEmpty())
            return {};
        command = QStringList{emulator, QStringLiteral("-e")} + command;
    }
    return command;
}

void SystemMessageBox::show(const QString &text, const QString &title)
{
    // Belongs to the window the user is working in, so the window manager
    // keeps it in front of that window; the character window (frameless,
    // always on top) is no window a box belongs to.
    QWidget *owner = QApplication::activeWindow();
    if (owner && owner->windowFlags().testFlag(Qt::FramelessWindowHint))
        owner = nullptr;
    // Made on the heap: the box is a child of its window, and a quit that
    // unloads that window while the box waits deletes the box with it.
    const QPointer<QMessageBox> box = new QMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::Ok, owner);
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
    box->exec();
    delete box.data();
}

namespace {

// Shows only folders and executable files while "Programs" is the filter.
class ProgramsOnly final : public QSortFilterProxyModel {
public:
    bool programsOnly = false;

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override
    {
        if (!programsOnly)
            return true;
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (!files)
            return true;
        const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
        return info.isDir() || (info.isFile() && info.isExecutable());
    }
};

QString chooseFile(const QString &title, const QStringList &filters, const QString &initialFile, bool programs)
{
    // On the heap, for the reason the message box above is.
    const QPointer<QFileDialog> owned = new QFileDialog(QApplication::activeWindow(), title);
    QFileDialog &dialog = *owned;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    auto *proxy = new ProgramsOnly;
    dialog.setProxyModel(proxy);
    dialog.setNameFilters(filters);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [proxy](const QString &filter) {
        proxy->programsOnly = filter == programsFilter();
        proxy->invalidate();
    });
    // Where the last choice was; else where programs are listed, or home.
    const QFileInfo initial(initialFile);
    if (!initialFile.isEmpty() && initial.exists()) {
        dialog.setDirectory(initial.absolutePath());
        dialog.selectFile(initial.absoluteFilePath());
    } else if (programs && QFileInfo(QStringLiteral("/usr/share/applications")).isDir()) {
        dialog.setDirectory(QStringLiteral("/usr/share/applications"));
    } else {
        dialog.setDirectory(QDir::homePath());
    }
    const QScreen *screen = dialog.parentWidget() && dialog.parentWidget()->screen()
                                ? dialog.parentWidget()->screen()
                                : QGuiApplication::primaryScreen();
    if (screen)
        dialog.resize(fittedSize(dialog.sizeHint().expandedTo(QSize(800, 520)), screen->availableGeometry().size()));
    fitFileColumns(dialog);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    // Gone with its window while it waited: nothing was chosen.
    if (!owned)
        return {};
    const QStringList chosen = accepted ? owned->selectedFiles() : QStringList();
    delete owned.data();
    return chosen.isEmpty() ? QString() : chosen.constFirst();
}

} // namespace

QString SystemOpenFileDialog::getOpenFileName(const QString &title, const QString &filter,
                                              const QString &initialFile)
{
    // The callers' filters were written for another system ("*.exe",
    // "*.*"); on Linux a program is an installed application or an
    // executable file.
    const QStringList filters = linuxFileFilters(filter);
    const bool programs = filters.contains(programsFilter());
    if (!programs)
        return chooseFile(title, filters, initialFile, false);
    // On the heap, for the reason the message box above is.
    const QPointer<ApplicationChooser> chooser =
        new ApplicationChooser(DesktopApplicationDirs::fromEnvironment(), title,
                               [=] { return chooseFile(title, filters, initialFile, true); },
                               QApplication::activeWindow());
    const bool accepted = chooser->exec() == QDialog::Accepted;
    if (!chooser)
        return {};
    const QString chosen = accepted ? chooser->chosen() : QString();
    delete chooser.data();
    return chosen;
}

QString SystemClipboard::text() const
{
    return QGuiApplication::clipboard()->text();
}

SystemClipboard::SystemClipboard()
    : m_home(std::make_unique<QObject>())
{
}

SystemClipboard::~SystemClipboard()
{
    const bool reading = m_primary.thread.joinable() || m_clipboard.thread.joinable();
    if (reading && m_cancel[1] >= 0) {
        const char stop = 's';
        [[maybe_unused]] const ssize_t written = ::write(m_cancel[1], &stop, 1);
    }
    for (Reader *reader : {&m_primary, &m_clipboard}) {
        if (reader->thread.joinable())
            reader->thread.join();
    }
    for (const int fd : m_cancel) {
        if (fd >= 0)
            ::close(fd);
    }
}

void SystemClipboard::readSelectedText(QObject *context, SelectedTextHandler done)
{
    const QClipboard *clipboard = QGuiApplication::clipboard();
    const bool x11 = QGuiApplication::platformName() == u"xcb" && clipboard->supportsSelection();
    if (!x11) {
        done(clipboard->text(clipboard->supportsSelection() ? QClipboard::Selection : QClipboard::Clipboard));
        return;
    }
    read(m_primary, context, std::move(done));
}

void SystemClipboard::readClipboardText(QObject *context, SelectedTextHandler done)
{
    // QClipboard would wait for the owner on the UI thread, and take all it
    // offers.
    if (QGuiApplication::platformName() != u"xcb") {
        done(QGuiApplication::clipboard()->text(QClipboard::Clipboard));
        return;
    }
    read(m_clipboard, context, std::move(done));
}

void SystemClipboard::read(Reader &reader, QObject *context, SelectedTextHandler done)
{
    reader.waiting.append({context, context != nullptr, std::move(done)});
    if (reader.waiting.size() > 1)
        return; // answered with the read under way
    qCDebug(lcSelection).noquote() << "asking the owner of the" << reader.what << "for its text";
    if (reader.thread.joinable())
        reader.thread.join(); // ended already: its answer has come
    if (m_cancel[0] < 0 && ::pipe2(m_cancel, O_CLOEXEC | O_NONBLOCK) != 0)
        m_cancel[0] = m_cancel[1] = -1;
    // Asked of the owner each time: X11 keeps no copy of it.
    const QByteArray display = qgetenv("DISPLAY");
    QObject *home = m_home.get();
    const int cancel = m_cancel[0];
    Reader *r = &reader;
    reader.thread = std::thread([r, home, display, cancel] {
        const SelectionText read = readX11Selection(display, r->selection, {}, cancel);
        std::optional<QString> text;
        switch (read.outcome) {
        case SelectionText::Read:
            qCDebug(lcSelection).noquote() << "read" << read.text.size() << "characters of the" << r->what
                                           << (read.cut ? "(its beginning)" : "");
            text = read.text;
            break;
        case SelectionText::Nothing:
            qCDebug(lcSelection).noquote() << "no text in the" << r->what;
            text = QString();
            break;
        case SelectionText::Unreadable:
            qCDebug(lcSelection).noquote() << "the owner of the" << r->what << "did not answer in time";
            break;
        }
        QMetaObject::invokeMethod(home, [r, text] { answer(*r, text); }, Qt::QueuedConnection);
    });
}

void SystemClipboard::answer(Reader &reader, const std::optional<QString> &text)
{
    const QList<Waiting> waiting = std::exchange(reader.waiting, {});
    for (const Waiting &w : waiting) {
        if (!w.guarded || w.context)
            w.done(text);
    }
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
    m_services.notifier = &m_notifier;
}

} // namespace kestrova
