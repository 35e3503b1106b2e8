#pragma once

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

namespace kestrova::character {

// The listening key: a key of the keyboard that reaches the character
// whatever window has the focus, so the user can talk to it without
// finding it first. On X11 the key is grabbed on the root window with any
// modifiers; elsewhere (Wayland, no display) there is no such key and
// isActive() says so.
class ListeningKey : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit ListeningKey(QObject *parent = nullptr);
    ~ListeningKey() override;

    // Grabs the key named by its X keysym name ("Scroll_Lock", "F12");
    // an empty name or "None" releases it. False, with errorString(), when
    // the name is unknown, the keyboard has no such key, another program
    // holds it, or the desktop offers no grabs.
    bool setKey(const QString &keysymName);
    QString key() const { return m_name; }
    bool isActive() const { return m_keycode != 0; }
    QString errorString() const { return m_error; }

    static inline const QString DefaultKey = QStringLiteral("Scroll_Lock");

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

Q_SIGNALS:
    // The key went down (held keys repeat: one press per holding).
    void pressed();

private:
    void release();

    QString m_name;
    QString m_error;
    unsigned m_keycode = 0;
    unsigned m_root = 0;
    bool m_filterInstalled = false;
    QElapsedTimer m_lastPress;
};

} // namespace kestrova::character
