#include "LibreOfficeWriter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <unistd.h>

#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/bridge/XBridgeFactory2.hpp>
#include <com/sun/star/connection/Connector.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/connection/XConnection.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XFrames.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/view/XSelectionSupplier.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <rtl/bootstrap.hxx>

#include <csignal>

Q_LOGGING_CATEGORY(lcWriter, "kestrova.word")

using namespace css;
using css::uno::Reference;
using css::uno::UNO_QUERY;

namespace kestrova {

QString fromUno(const rtl::OUString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getStr()), text.getLength());
}

rtl::OUString toUno(const QString &text)
{
    return rtl::OUString(reinterpret_cast<const sal_Unicode *>(text.utf16()), sal_Int32(text.size()));
}

namespace {

QString unoMessage(const uno::Exception &e)
{
    return fromUno(e.Message);
}

// The office's start program and the folder of its own libraries and type
// files (the folder the start program lies in, links followed).
struct OfficeInstallation {
    QString program;
    QString programDir;
};

std::optional<OfficeInstallation> findOffice(const QString &given)
{
    QString program = given;
    if (program.isEmpty())
        program = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (program.isEmpty())
        program = QStandardPaths::findExecutable(QStringLiteral("libreoffice"));
    if (program.isEmpty())
        return std::nullopt;
    const QFileInfo info(program);
    if (!info.isExecutable())
        return std::nullopt;
    const QString real = info.canonicalFilePath();
    return OfficeInstallation{program, QFileInfo(real).absolutePath()};
}

// This process's own UNO context, made once: the bridge to an office needs
// the descriptions of the office's types, which lie beside its libraries.
Reference<uno::XComponentContext> localContext(const QString &programDir)
{
    static QMutex mutex;
    static Reference<uno::XComponentContext> context;
    QMutexLocker lock(&mutex);
    if (context.is())
        return context;
    // The bridge writes to the office's pipe with plain write(): an office
    // that stops reading or goes away mid-call would otherwise end this
    // whole program with SIGPIPE. Ignored, the write fails with EPIPE and
    // the bridge reports the office gone.
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);
    const QString unorc = programDir + QStringLiteral("/unorc");
    if (!QFileInfo::exists(unorc)) {
        qCWarning(lcWriter) << "No UNO runtime beside the office in" << programDir;
        return {};
    }
    // The office's own types (offapi) join the runtime's; the runtime's
    // start file names them through a variable the office sets elsewhere.
    QStringList typeFiles;
    const QDir types(programDir + QStringLiteral("/types"));
    for (const QString &name : types.entryList({QStringLiteral("*.rdb")}, QDir::Files, QDir::Name))
        typeFiles << QUrl::fromLocalFile(types.filePath(name)).toString(QUrl::FullyEncoded);
    rtl::Bootstrap::set(rtl::OUString("URE_MORE_TYPES"), toUno(typeFiles.join(u' ')));
    try {
        context = cppu::defaultBootstrap_InitialComponentContext(
            toUno(QUrl::fromLocalFile(unorc).toString(QUrl::FullyEncoded)));
    } catch (const uno::Exception &e) {
        qCWarning(lcWriter) << "The UNO runtime did not start:" << unoMessage(e);
    }
    return context;
}

bool isTextDocument(const Reference<frame::XModel> &model)
{
    return Reference<text::XTextDocument>(model, UNO_QUERY).is();
}

Reference<frame::XModel> modelOf(const Reference<frame::XFrame> &frame)
{
    if (!frame.is())
        return {};
    Reference<frame::XController> controller = frame->getController();
    return controller.is() ? controller->getModel() : Reference<frame::XModel>();
}

// The office's windows that hold a text document, oldest first.
std::vector<Reference<frame::XFrame>> writerFrames(const Reference<frame::XDesktop2> &desktop)
{
    std::vector<Reference<frame::XFrame>> out;
    Reference<container::XIndexAccess> frames(desktop->getFrames(), UNO_QUERY);
    if (!frames.is())
        return out;
    for (sal_Int32 i = 0; i < frames->getCount(); ++i) {
        Reference<frame::XFrame> frame(frames->getByIndex(i), UNO_QUERY);
        if (isTextDocument(modelOf(frame)))
            out.push_back(frame);
    }
    return out;
}

std::atomic<int> pipeCounter{0};


// Whether an office runs as this user with this home (and so with the
// profile a start here would use). Offices of other homes, another
// session's or a test's, are not this user's word processor.
bool officeRunsHere()
{
    const QByteArray home = qgetenv("HOME");
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (pid.toLongLong() <= 0 || QFileInfo(proc.filePath(pid)).ownerId() != getuid())
            continue;
        QFile comm(proc.filePath(pid + QStringLiteral("/comm")));
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != "soffice.bin")
            continue;
        QFile environ(proc.filePath(pid + QStringLiteral("/environ")));
        if (!environ.open(QIODevice::ReadOnly))
            continue;
        if (environ.readAll().split('\0').contains("HOME=" + home))
            return true;
    }
    return false;
}

} // namespace

// A call on a connection has no time limit of its own: an office that took
// the connection and never answers would hold the call, and every word
// command after it, for good. Until disarmed, this closes the connection
// when the deadline passes, which ends the calls waiting on it with an
// exception.
class AnswerDeadline {
public:
    AnswerDeadline(Reference<connection::XConnection> link, QDeadlineTimer deadline)
        : m_link(std::move(link))
    {
        const auto until = std::chrono::steady_clock::now()
                           + std::chrono::milliseconds(std::max<qint64>(0, deadline.remainingTime()));
        m_watch = std::thread([this, until] {
            std::unique_lock lock(m_mutex);
            m_done.wait_until(lock, until, [this] { return m_disarmed || m_now; });
            if (m_disarmed)
                return;
            m_expired = true;
            lock.unlock();
            try {
                m_link->close();
            } catch (const uno::Exception &) {
            }
        });
    }
    ~AnswerDeadline() { disarm(); }
    AnswerDeadline(const AnswerDeadline &) = delete;
    AnswerDeadline &operator=(const AnswerDeadline &) = delete;

    void disarm()
    {
        {
            std::lock_guard lock(m_mutex);
            m_disarmed = true;
        }
        m_done.notify_all();
        if (m_watch.joinable())
            m_watch.join();
    }
    // Closes the connection now (the program is ending).
    void expireNow()
    {
        {
            std::lock_guard lock(m_mutex);
            m_now = true;
        }
        m_done.notify_all();
    }
    bool expired()
    {
        std::lock_guard lock(m_mutex);
        return m_expired;
    }

private:
    Reference<connection::XConnection> m_link;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_disarmed = false;
    bool m_now = false;
    bool m_expired = false;
    std::thread m_watch;
};

LibreOfficeWriter::LibreOfficeWriter(Options options) : m_options(std::move(options)) {}

void LibreOfficeWriter::abandon()
{
    m_abandoned = true;
    std::lock_guard lock(m_waitingMutex);
    if (m_waiting)
        m_waiting->expireNow();
}

std::unique_ptr<WordApplication> LibreOfficeWriter::createApplication()
{
    if (m_abandoned)
        return nullptr;
    const std::optional<OfficeInstallation> office = findOffice(m_options.office);
    if (!office) {
        qCWarning(lcWriter) << "LibreOffice is not installed (no soffice program found)";
        return nullptr;
    }
    Reference<uno::XComponentContext> local = localContext(office->programDir);
    if (!local.is())
        return nullptr;

    // The connection was closed under the first calls: the program is
    // ending, or the office kept its answer past the open's time.
    auto unanswered = [this]() -> std::unique_ptr<WordApplication> {
        if (m_abandoned)
            qCInfo(lcWriter) << "The program is ending; no longer waiting for the office";
        else
            qCWarning(lcWriter) << "The office took the connection but did not answer within"
                                << m_options.connectMilliseconds << "ms";
        return nullptr;
    };
    for (int attempt = 1;; ++attempt) {
        // A pipe of this object's own: the connection reaches the office this
        // start brought up (or was handed to), not one another program opened.
        const QString pipe = QStringLiteral("kestrova-%1-%2-%3")
                                 .arg(QCoreApplication::applicationPid())
                                 .arg(++pipeCounter)
                                 .arg(QDateTime::currentMSecsSinceEpoch() % 100000);
        const QString accept = QStringLiteral("pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipe);
        QProcess launcher;
        launcher.setProgram(office->program);
        launcher.setArguments(QStringList{QStringLiteral("--nologo"), QStringLiteral("--norestore"),
                                          QStringLiteral("--nodefault"), QStringLiteral("--accept=") + accept}
                              + m_options.extraArguments);
        launcher.setStandardInputFile(QProcess::nullDevice());
        launcher.setStandardOutputFile(QProcess::nullDevice());
        launcher.setStandardErrorFile(QProcess::nullDevice());
        qint64 pid = 0;
        // Detached: the office outlives this program, its windows stay open.
        if (!launcher.startDetached(&pid)) {
            qCWarning(lcWriter) << "Could not start" << office->program;
            return nullptr;
        }

        QDeadlineTimer deadline(m_options.connectMilliseconds);
        std::unique_ptr<AnswerDeadline> answer;
        try {
            Reference<connection::XConnector> connector = connection::Connector::create(local);
            Reference<bridge::XBridgeFactory2> bridges = bridge::BridgeFactory::create(local);
            const rtl::OUString where = toUno(QStringLiteral("pipe,name=%1").arg(pipe));
            Reference<connection::XConnection> link;
            for (;;) {
                try {
                    link = connector->connect(where);
                    break;
                } catch (const connection::NoConnectException &) {
                    // The program is ending: the office goes on starting by
                    // itself, but nothing here waits for it any more.
                    if (deadline.hasExpired() || m_abandoned)
                        break;
                    QThread::msleep(100);
                }
            }
            if (!link.is() && m_abandoned) {
                qCInfo(lcWriter) << "The program is ending; no longer waiting for the office";
                return nullptr;
            }
            if (!link.is()) {
                qCWarning(lcWriter) << "The office did not answer within" << m_options.connectMilliseconds << "ms";
                return nullptr;
            }
            // The first calls are bounded by what is left of the same time.
            answer = std::make_unique<AnswerDeadline>(link, deadline);
            {
                std::lock_guard lock(m_waitingMutex);
                m_waiting = answer.get();
            }
            // Taken back whichever way this start ends.
            struct NotWaiting {
                LibreOfficeWriter *writer;
                ~NotWaiting()
                {
                    std::lock_guard lock(writer->m_waitingMutex);
                    writer->m_waiting = nullptr;
                }
            } notWaiting{this};
            if (m_abandoned)
                answer->expireNow();
            Reference<bridge::XBridge> bridge = bridges->createBridge(rtl::OUString(), "urp", link, nullptr);
            Reference<uno::XComponentContext> context(bridge->getInstance("StarOffice.ComponentContext"), UNO_QUERY);
            if (!context.is())
                return nullptr;
            Reference<frame::XDesktop2> desktop = frame::Desktop::create(context);
            answer->disarm();
            if (answer->expired()) // the answer came as the connection was being closed
                throw lang::DisposedException(toUno(QStringLiteral("the office answered too late")));
            qCInfo(lcWriter) << "Connected to the office on" << pipe;
            return std::make_unique<LibreOfficeApplication>(context, desktop, pid);
        } catch (const lang::DisposedException &e) {
            if (answer && answer->expired())
                return unanswered();
            // The office this start reached was closing (its last window had
            // just gone) and dropped the connection: once more, with an office
            // started anew and a bound of its own.
            if (attempt == 1 && !m_abandoned && !deadline.hasExpired()) {
                qCInfo(lcWriter) << "The office was closing; starting it again:" << unoMessage(e);
                QThread::msleep(500);
                continue;
            }
            qCWarning(lcWriter) << "Could not reach the office:" << unoMessage(e);
            return nullptr;
        } catch (const uno::Exception &e) {
            if (answer && answer->expired())
                return unanswered();
            qCWarning(lcWriter) << "Could not reach the office:" << unoMessage(e);
            return nullptr;
        }
    }
}

std::unique_ptr<WordApplication> LibreOfficeWriter::connectToRunning()
{
    if (m_abandoned)
        return nullptr;
    if (!officeRunsHere()) {
        qCWarning(lcWriter) << "No office is running here to connect to";
        return nullptr;
    }
    return createApplication();
}

LibreOfficeApplication::LibreOfficeApplication(Reference<uno::XComponentContext> context,
                                               Reference<frame::XDesktop2> desktop, qint64 launcherPid)
    : m_context(std::move(context)), m_desktop(std::move(desktop)), m_launcherPid(launcherPid)
{
}

LibreOfficeApplication::~LibreOfficeApplication()
{
    // Only the references go; releasing them through a connection the
    // office has closed is harmless.
    try {
        m_desktop.clear();
        m_context.clear();
    } catch (const uno::Exception &) {
    }
}

bool LibreOfficeApplication::setVisible(bool visible)
{
    try {
        const std::vector<Reference<frame::XFrame>> frames = writerFrames(m_desktop);
        if (!visible) {
            for (const Reference<frame::XFrame> &frame : frames)
                frame->getContainerWindow()->setVisible(false);
            return true;
        }
        if (frames.empty()) {
            // The word processor shows itself as a Writer window: with none
            // open, an empty one.
            Reference<lang::XComponent> document = m_desktop->loadComponentFromURL(
                rtl::OUString("private:factory/swriter"), rtl::OUString("_blank"), 0, {});
            return document.is();
        }
        // Otherwise the Writer window in use comes to the front.
        Reference<frame::XFrame> frame = frames.back();
        Reference<frame::XFrame> current;
        if (Reference<frame::XModel> model{m_desktop->getCurrentComponent(), UNO_QUERY}; isTextDocument(model)) {
            if (Reference<frame::XController> controller = model->getCurrentController(); controller.is())
                current = controller->getFrame();
        }
        if (current.is())
            frame = current;
        Reference<awt::XWindow> window = frame->getContainerWindow();
        window->setVisible(true);
        if (Reference<awt::XTopWindow> top{window, UNO_QUERY}; top.is())
            top->toFront();
        return true;
    } catch (const uno::Exception &e) {
        qCWarning(lcWriter) << "Could not show the office:" << unoMessage(e);
        return false;
    }
}

bool LibreOfficeApplication::addDocument()
{
    try {
        Reference<lang::XComponent> document =
            m_desktop->loadComponentFromURL(rtl::OUString("private:factory/swriter"), rtl::OUString("_blank"), 0, {});
        return document.is();
    } catch (const uno::Exception &e) {
        qCWarning(lcWriter) << "Could not add a document:" << unoMessage(e);
        return false;
    }
}

std::optional<QString> LibreOfficeApplication::selectionText()
{
    try {
        // The active document when it is a text document, else the Writer
        // window opened last.
        Reference<frame::XModel> model(m_desktop->getCurrentComponent(), UNO_QUERY);
        if (!isTextDocument(model)) {
            const std::vector<Reference<frame::XFrame>> frames = writerFrames(m_desktop);
            model = frames.empty() ? Reference<frame::XModel>() : modelOf(frames.back());
        }
        if (!model.is()) {
            qCWarning(lcWriter) << "No text document is open in the office";
            return std::nullopt;
        }
        Reference<view::XSelectionSupplier> supplier(model->getCurrentController(), UNO_QUERY);
        if (!supplier.is()) {
            qCWarning(lcWriter) << "The office's text document shows no selection";
            return std::nullopt;
        }
        const uno::Any selection = supplier->getSelection();
        // Text is selected as a list of ranges (several with a multiple
        // selection); a selected picture or frame has no text.
        QStringList parts;
        if (Reference<container::XIndexAccess> ranges{selection, UNO_QUERY}; ranges.is()) {
            for (sal_Int32 i = 0; i < ranges->getCount(); ++i) {
                Reference<text::XTextRange> range(ranges->getByIndex(i), UNO_QUERY);
                if (range.is() && !range->getString().isEmpty())
                    parts << fromUno(range->getString());
            }
        } else if (Reference<text::XTextRange> range{selection, UNO_QUERY}; range.is()) {
            parts << fromUno(range->getString());
        }
        return parts.join(u'\n');
    } catch (const uno::Exception &e) {
        qCWarning(lcWriter) << "Could not read the selection:" << unoMessage(e);
        return std::nullopt;
    }
}

} // namespace kestrova
