#pragma once

#include "Notifier.h"

#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QString>

namespace kestrova {

Q_DECLARE_LOGGING_CATEGORY(lcNotify)

// Notifications through the desktop's notification server on the session
// bus (org.freedesktop.Notifications). Nothing here waits: every call is
// sent without blocking and its answer is awaited for at most ReplyMs, so a
// server that hangs holds up nothing but its own notifications. Without a
// session bus or a server, notifications are only logged.
class DesktopNotifier final : public QObject, public Notifier {
    Q_OBJECT
public:
    static constexpr int ReplyMs = 3000;
    // Notifications kept while the server's capabilities are asked for;
    // beyond that the oldest go.
    static constexpr int MaxWaiting = 8;

    explicit DesktopNotifier(QObject *parent = nullptr);
    void notify(const QString &summary, const QString &body) override;

    // Calls sent and not yet answered (or timed out).
    int pending() const { return m_pending; }

Q_SIGNALS:
    // A notification was taken by the server (its id), or not (0).
    void answered(uint id);

private:
    void askCapabilities();
    void send(const QString &summary, const QString &body);
    struct Waiting {
        QString summary, body;
    };
    enum class Markup { Unknown, Asking, Yes, No };
    Markup m_markup = Markup::Unknown;
    QList<Waiting> m_waiting;
    int m_pending = 0;
};

} // namespace kestrova
