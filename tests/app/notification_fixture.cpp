// A notification server for the end-to-end tests: registers itself on the
// session bus it is started on and prints each notification it receives
// as "NOTIFY <summary> | <body>", one a line.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <cstdio>

class Server : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public Q_SLOTS:
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &, int)
    {
        std::printf("NOTIFY %s | %s\n", qPrintable(summary), qPrintable(QString(body).replace(u'\n', u' ')));
        std::fflush(stdout);
        return ++m_id;
    }

private:
    uint m_id = 0;
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Server server;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server,
                            QDBusConnection::ExportAllSlots)
        || !bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
        std::fprintf(stderr, "notification_fixture: cannot register on the session bus\n");
        return 1;
    }
    std::printf("READY\n");
    std::fflush(stdout);
    return app.exec();
}

#include "notification_fixture.moc"
