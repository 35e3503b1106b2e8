#pragma once

#include <QString>

#include <functional>
#include <optional>

class QObject;

namespace kestrova {

// Where the mail password is kept. With a secret store on the desktop
// (GNOME Keyring, KWallet, anything speaking the Secret Service protocol)
// the password lives there and the settings file holds none; without one it
// is the plain setting "Mail"/"3", as it always was.
class PasswordStore {
public:
    // The answer to readLater: the password (empty when none is stored), or
    // nothing when the store could not be asked (error says why). `secure`
    // is false where the desktop has no store at all.
    struct Answer {
        std::optional<QString> password;
        bool secure = true;
        QString error;
    };

    virtual ~PasswordStore() = default;
    // Asks for the password under key without waiting for the answer:
    // `done` runs later on the thread of `context`, unless context is gone
    // by then. This one asks the blocking calls below.
    virtual void readLater(const QString &key, QObject *context, std::function<void(const Answer &)> done);
    // Whether passwords go to a secret store. Asked once, then kept.
    virtual bool isSecure() = 0;
    // The password stored under key; empty when there is none. Nothing
    // when the store could not be asked (error says why).
    virtual std::optional<QString> read(const QString &key, QString *error = nullptr) = 0;
    virtual bool write(const QString &key, const QString &password, QString *error = nullptr) = 0;
    virtual bool remove(const QString &key, QString *error = nullptr) = 0;
};

// The desktop's secret store through QtKeychain, under the service
// "Kestrova". Each call waits for the store's answer, at most timeoutMs (a
// locked keyring may ask its user first).
class KeychainPasswordStore final : public PasswordStore {
public:
    explicit KeychainPasswordStore(int timeoutMs = 30000) : m_timeoutMs(timeoutMs) {}
    // The job runs while the event loop goes on; the answer comes when the
    // store gives it, or as an error once timeoutMs have passed.
    void readLater(const QString &key, QObject *context, std::function<void(const Answer &)> done) override;
    bool isSecure() override;
    std::optional<QString> read(const QString &key, QString *error = nullptr) override;
    bool write(const QString &key, const QString &password, QString *error = nullptr) override;
    bool remove(const QString &key, QString *error = nullptr) override;

    static inline const QString Service = QStringLiteral("Kestrova");

private:
    int m_timeoutMs;
    std::optional<bool> m_secure;
};

} // namespace kestrova
