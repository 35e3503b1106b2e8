#pragma once

#include "ProgramModule.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace kestrova {

// Where the mail password is kept. With a secret store on the desktop
// (GNOME Keyring, KWallet, anything speaking the Secret Service protocol)
// the password lives there and the settings file holds none; without one it
// is the plain setting "Mail"/"3", as it always was.
//
// Nothing here waits: every call returns at once and its answer comes later
// through the event loop (a locked store may first ask its user to unlock
// it, for as long as the user takes).
class PasswordStore {
public:
    // The answer to readLater: the password (empty when none is stored), or
    // nothing when the store could not be asked (error says why). `secure`
    // is false where there is no store to use at all; error then says why
    // in words for the user, or is empty for a desktop without one.
    struct Answer {
        std::optional<QString> password;
        bool secure = true;
        QString error;
    };
    // The answer to writeLater and removeLater: done, or not (error says
    // why); `secure` as above, and nothing was written where it is false.
    struct Written {
        bool ok = false;
        bool secure = true;
        QString error;
    };
    using ReadDone = std::function<void(const Answer &)>;
    using WriteDone = std::function<void(const Written &)>;

    virtual ~PasswordStore() = default;

    // Asks for the password under key: `done` runs later on the thread of
    // `context`, unless context is gone by then. While a write of that key
    // waits for the store, the answer is the password being written.
    void readLater(const QString &key, QObject *context, ReadDone done);
    // Keeps password under key; `done` as for readLater.
    void writeLater(const QString &key, const QString &password, QObject *context, WriteDone done);
    void removeLater(const QString &key, QObject *context, WriteDone done);
    // A write of key has not been answered yet.
    bool writing(const QString &key) const { return m_writing.contains(key); }

protected:
    // The store's own work. Each calls its `done` once, on the thread that
    // made the call, at once or later.
    virtual void read(const QString &key, ReadDone done) = 0;
    virtual void write(const QString &key, const QString &password, WriteDone done) = 0;
    virtual void remove(const QString &key, WriteDone done) = 0;

private:
    void track(const QString &key, const QString &password, QObject *context, WriteDone done,
               const std::function<void(WriteDone)> &start);
    // The passwords whose writes wait for the store, per key, oldest first.
    QHash<QString, QStringList> m_writing;
};

// The desktop's secret store, through QtKeychain, kept in a module of its
// own ("libkestrova_secrets.so") that is loaded the first time a password is
// needed: the program starts without QtKeychain and the D-Bus and libsecret
// libraries it brings. Without the module the program works as on a desktop
// without a secret store, and the answers say so.
class SecretStoreModule final : public PasswordStore {
public:
    // The folders searched for the module, in order; each call to the store
    // gives up after timeoutMs.
    explicit SecretStoreModule(QStringList folders, int timeoutMs = 30000);
    ~SecretStoreModule() override;

    // Whether the module has been loaded (it is, once anything was asked).
    bool loaded() const { return m_loaded != nullptr; }

    // The program's own folder, and the library folder of an installed
    // program (<prefix>/lib/kestrova beside <prefix>/bin).
    static QStringList defaultFolders(const QString &programDir);

    static inline const QString Service = QStringLiteral("Kestrova");

protected:
    void read(const QString &key, ReadDone done) override;
    void write(const QString &key, const QString &password, WriteDone done) override;
    void remove(const QString &key, WriteDone done) override;

private:
    PasswordStore *module();

    QStringList m_folders;
    ProgramModule m_module;
    int m_timeoutMs;
    bool m_tried = false;
    // Why there is no module, in words for the user.
    QString m_missing;
    std::unique_ptr<PasswordStore> m_loaded;
    // The module's answers come here first; this object lives as long as
    // the store.
    QObject m_receiver;
};

} // namespace kestrova

// The module's entry point: a store through QtKeychain under the service
// "Kestrova", each call given up after timeoutMs.
using KestrovaCreatePasswordStore = kestrova::PasswordStore *(*)(int timeoutMs);
