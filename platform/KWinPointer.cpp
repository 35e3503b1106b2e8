#include "KWinPointer.h"

#include "MainLoop.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>

namespace kestrova {

namespace {
Q_LOGGING_CATEGORY(lcKWinPointer, "kestrova.pointer")

const QString KWinService = QStringLiteral("org.kde.KWin");
const QString ObjectPath = QStringLiteral("/org/kestrova/Pointer");
// How long a call to KWin may block once the program is ending.
constexpr int QuittingCallMs = 100;
} // namespace

bool KWinPointer::available()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(KWinService).value();
}

void KWinPointer::at(int x, int y)
{
    m_at = QPoint(x, y);
}

std::optional<QPoint> KWinPointer::ask(int timeoutMs)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return std::nullopt;
    KWinPointer answer;
    if (!bus.registerObject(ObjectPath, &answer, QDBusConnection::ExportScriptableSlots)) {
        qCWarning(lcKWinPointer) << "Cannot offer KWin an object to tell the pointer's place to";
        return std::nullopt;
    }
    struct Unregister {
        QDBusConnection &bus;
        ~Unregister() { bus.unregisterObject(ObjectPath); }
    } unregister{bus};

    QTemporaryDir dir;
    QFile script(dir.filePath(QStringLiteral("pointer.js")));
    if (!dir.isValid() || !script.open(QIODevice::WriteOnly))
        return std::nullopt;
    // The bus name is this connection's own (":1.42"): no other program
    // can stand in for it.
    script.write(QStringLiteral("callDBus(\"%1\", \"%2\", \"org.kestrova.Pointer\", \"at\","
                                " workspace.cursorPos.x, workspace.cursorPos.y);\n")
                     .arg(bus.baseService(), ObjectPath)
                     .toUtf8());
    script.close();

    const QString plugin = QStringLiteral("kestrova-pointer-%1").arg(QCoreApplication::applicationPid());
    // Started before the first call: a quit that comes while one blocks is
    // seen at the wait below.
    const MainLoop::OwnWait wait;
    auto call = [&](const QString &path, const QString &interface, const QString &method, const QVariantList &args) {
        QDBusMessage message = QDBusMessage::createMethodCall(KWinService, path, interface, method);
        message.setArguments(args);
        // The program is ending: KWin gets a moment to drop the script, no
        // more.
        return bus.call(message, QDBus::Block, wait.ended() ? std::min(timeoutMs, QuittingCallMs) : timeoutMs);
    };
    const QString scripting = QStringLiteral("org.kde.kwin.Scripting");
    call(QStringLiteral("/Scripting"), scripting, QStringLiteral("unloadScript"), {plugin});
    const QDBusReply<int> id =
        call(QStringLiteral("/Scripting"), scripting, QStringLiteral("loadScript"), {script.fileName(), plugin});
    if (!id.isValid() || id.value() < 0) {
        qCInfo(lcKWinPointer) << "KWin took no script:" << id.error().message();
        return std::nullopt;
    }
    // KWin 5.27 runs what was loaded when asked to start.
    call(QStringLiteral("/Scripting"), scripting, QStringLiteral("start"), {});
    QElapsedTimer waited;
    waited.start();
    // The quit ends the wait: the windows go only once this loop has
    // returned, and the program has little time left to end.
    while (!answer.m_at && waited.elapsed() < timeoutMs && !wait.ended()) {
        // Only the bus's answer is waited for: no user input is handled here.
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    call(QStringLiteral("/Scripting"), scripting, QStringLiteral("unloadScript"), {plugin});
    if (!answer.m_at && wait.ended())
        qCInfo(lcKWinPointer) << "The wait for KWin to tell the pointer's place ended with the program";
    else if (!answer.m_at)
        qCInfo(lcKWinPointer) << "KWin did not tell the pointer's place within" << timeoutMs << "ms";
    return answer.m_at;
}

} // namespace kestrova
