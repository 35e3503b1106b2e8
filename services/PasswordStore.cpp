#include "PasswordStore.h"

#include "ProgramModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPointer>

#include <algorithm>

namespace kestrova {

namespace {

Q_LOGGING_CATEGORY(lcSecrets, "kestrova.secrets")

const char ModuleFile[] = "libkestrova_secrets.so";

// An answer for `context`, posted to its thread: it comes after the call
// that asked has returned, and not at all once context is gone.
template <class A>
std::function<void(const A &)> deliverTo(QObject *context, std::function<void(const A &)> done)
{
    QPointer<QObject> receiver(context);
    return [receiver, done = std::move(done)](const A &answer) {
        if (receiver)
            QMetaObject::invokeMethod(receiver, [done, answer] { done(answer); }, Qt::QueuedConnection);
    };
}

} // namespace

void PasswordStore::readLater(const QString &key, QObject *context, ReadDone done)
{
    ReadDone answer = deliverTo(context, std::move(done));
    if (const auto pending = m_writing.constFind(key); pending != m_writing.cend()) {
        // What the store will hold once it has answered.
        answer(Answer{pending->last(), true, {}});
        return;
    }
    read(key, std::move(answer));
}

void PasswordStore::writeLater(const QString &key, const QString &password, QObject *context, WriteDone done)
{
    track(key, password, context, std::move(done),
          [this, key, password](WriteDone finished) { write(key, password, std::move(finished)); });
}

void PasswordStore::removeLater(const QString &key, QObject *context, WriteDone done)
{
    track(key, QString(), context, std::move(done), [this, key](WriteDone finished) { remove(key, std::move(finished)); });
}

void PasswordStore::track(const QString &key, const QString &password, QObject *context, WriteDone done,
                          const std::function<void(WriteDone)> &start)
{
    m_writing[key].append(password);
    WriteDone answer = deliverTo(context, std::move(done));
    start([this, key, answer](const Written &written) {
        auto pending = m_writing.find(key);
        if (pending != m_writing.end()) {
            pending->removeFirst();
            if (pending->isEmpty())
                m_writing.erase(pending);
        }
        answer(written);
    });
}

SecretStoreModule::SecretStoreModule(QStringList folders, int timeoutMs)
    : m_folders(folders),
      m_module(QString::fromLatin1(ModuleFile), QCoreApplication::translate("kestrova::PasswordStore", "The secret store"), std::move(folders)),
      m_timeoutMs(timeoutMs)
{
}

// The module stays loaded to the end of the program (QtKeychain's D-Bus
// connection is not made to be unloaded); only the store it made goes.
SecretStoreModule::~SecretStoreModule() = default;

QStringList SecretStoreModule::defaultFolders(const QString &programDir)
{
    return ProgramModule::defaultFolders(programDir);
}

PasswordStore *SecretStoreModule::module()
{
    if (m_tried)
        return m_loaded.get();
    m_tried = true;
    auto create = reinterpret_cast<KestrovaCreatePasswordStore>(m_module.resolve("kestrovaCreatePasswordStore"));
    if (create)
        m_loaded.reset(create(m_timeoutMs));
    if (m_loaded) {
        qCInfo(lcSecrets).noquote() << "loaded the secret store module" << m_module.path();
        return m_loaded.get();
    }
    const bool installed = std::any_of(m_folders.cbegin(), m_folders.cend(), [](const QString &folder) {
        return QFileInfo::exists(QDir(folder).filePath(QString::fromLatin1(ModuleFile)));
    });
    m_missing = installed ? QCoreApplication::translate("kestrova::PasswordStore", "Kestrova's secret store module did not load")
                          : QCoreApplication::translate("kestrova::PasswordStore", "Kestrova's secret store module (%1) is not installed")
                                .arg(QString::fromLatin1(ModuleFile));
    qCWarning(lcSecrets).noquote() << m_module.error() << "- the mail password is kept in the settings file";
    return nullptr;
}

void SecretStoreModule::read(const QString &key, ReadDone done)
{
    if (PasswordStore *store = module())
        store->readLater(key, &m_receiver, std::move(done));
    else
        done(Answer{std::nullopt, false, m_missing});
}

void SecretStoreModule::write(const QString &key, const QString &password, WriteDone done)
{
    if (PasswordStore *store = module())
        store->writeLater(key, password, &m_receiver, std::move(done));
    else
        done(Written{false, false, m_missing});
}

void SecretStoreModule::remove(const QString &key, WriteDone done)
{
    if (PasswordStore *store = module())
        store->removeLater(key, &m_receiver, std::move(done));
    else
        done(Written{false, false, m_missing});
}

} // namespace kestrova
