#pragma once

#include <QString>

#include <optional>

namespace kestrova {

// Where the mail password is kept. With a secret store on the desktop
// (GNOME Keyring, KWallet, anything speaking the Secret Service protocol)
// the password lives there and the settings file holds none; without one it
// is the plain setting "Mail"/"3", as it always was.
class PasswordStore {
public:
    virtual ~PasswordStore() = default;
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
