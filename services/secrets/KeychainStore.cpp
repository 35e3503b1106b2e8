// The secret store module: the desktop's secret store through QtKeychain,
// loaded by the program the first time a password is needed.

#include "PasswordStore.h"

#include <QLoggingCategory>
#include <QTimer>

#include <memory>

#include <qt6keychain/keychain.h>

namespace kestrova {

namespace {

Q_LOGGING_CATEGORY(lcSecrets, "kestrova.secrets")

const QString Service = QStringLiteral("Kestrova");

// How one job ended: its error, or nothing when the time was up first.
using Ended = std::function<void(std::optional<QKeychain::Error>, const QString &errorText)>;

class KeychainStore final : public PasswordStore {
public:
    explicit KeychainStore(int timeoutMs) : m_timeoutMs(timeoutMs) {}

protected:
    void read(const QString &key, ReadDone done) override
    {
        if (m_secure == false) {
            done(Answer{std::nullopt, false, {}});
            return;
        }
        auto *job = new QKeychain::ReadPasswordJob(Service);
        job->setKey(key);
        run(job, [this, job, done](std::optional<QKeychain::Error> error, const QString &text) {
            Answer answer;
            if (!error) {
                answer.error = text;
            } else if (*error == QKeychain::NoError || *error == QKeychain::EntryNotFound) {
                m_secure = true;
                answer.password = *error == QKeychain::NoError ? job->textData() : QString();
            } else if (noStore(*error, text)) {
                answer.secure = false;
            } else {
                answer.error = text;
            }
            done(answer);
        });
    }

    void write(const QString &key, const QString &password, WriteDone done) override
    {
        whenKnown([this, key, password, done] {
            auto *job = new QKeychain::WritePasswordJob(Service);
            job->setKey(key);
            job->setTextData(password);
            run(job, [done](std::optional<QKeychain::Error> error, const QString &text) {
                done(Written{error == QKeychain::NoError, true, error == QKeychain::NoError ? QString() : text});
            });
        }, done);
    }

    void remove(const QString &key, WriteDone done) override
    {
        whenKnown([this, key, done] {
            auto *job = new QKeychain::DeletePasswordJob(Service);
            job->setKey(key);
            run(job, [done](std::optional<QKeychain::Error> error, const QString &text) {
                const bool ok = error == QKeychain::NoError || error == QKeychain::EntryNotFound;
                done(Written{ok, true, ok ? QString() : text});
            });
        }, done);
    }

private:
    // The first contact, and nobody answers for a store (no session bus, no
    // secret service on it): the password is the plain setting, for the
    // whole run. A store that refused, or did not answer in time, is a
    // failed call, not a missing store.
    bool noStore(QKeychain::Error error, const QString &text)
    {
        if (m_secure.has_value() || error == QKeychain::AccessDenied || error == QKeychain::AccessDeniedByUser)
            return m_secure == false;
        m_secure = false;
        qCInfo(lcSecrets).noquote() << "no secret store on this desktop (" + text
                                           + "): the mail password is kept in the settings file";
        return true;
    }

    // Writes go where a store is known to answer: the first one asks
    // whether anyone does (reading a key that is not there) before it
    // writes, so a store that fails a write is never taken for no store.
    void whenKnown(std::function<void()> go, WriteDone done)
    {
        if (m_secure == true) {
            go();
            return;
        }
        if (m_secure == false) {
            done(Written{false, false, {}});
            return;
        }
        auto *job = new QKeychain::ReadPasswordJob(Service);
        job->setKey(QStringLiteral("probe"));
        run(job, [this, go, done](std::optional<QKeychain::Error> error, const QString &text) {
            if (error && (*error == QKeychain::NoError || *error == QKeychain::EntryNotFound)) {
                m_secure = true;
                go();
            } else if (error && noStore(*error, text)) {
                done(Written{false, false, {}});
            } else {
                done(Written{false, true, text});
            }
        });
    }

    // Starts job; `ended` runs once, when the job ends or the time is up,
    // whichever is first. The job goes once it has ended, also when that
    // is after the time was up.
    void run(QKeychain::Job *job, Ended ended)
    {
        job->setAutoDelete(false);
        auto pending = std::make_shared<Ended>(std::move(ended));
        auto *timer = new QTimer(job);
        timer->setSingleShot(true);
        const int seconds = (m_timeoutMs + 999) / 1000;
        QObject::connect(timer, &QTimer::timeout, job, [pending, seconds] {
            qCWarning(lcSecrets) << "the secret store did not answer in time";
            const Ended call = std::move(*pending);
            *pending = nullptr;
            call(std::nullopt, QStringLiteral("the secret store did not answer within %1 s").arg(seconds));
        });
        QObject::connect(job, &QKeychain::Job::finished, job, [job, timer, pending] {
            timer->stop();
            if (*pending) {
                const Ended call = std::move(*pending);
                *pending = nullptr;
                call(job->error(), job->errorString());
            } else {
                qCInfo(lcSecrets) << "the secret store answered after all, too late:" << job->error();
            }
            job->deleteLater();
        });
        timer->start(m_timeoutMs);
        job->start();
    }

    int m_timeoutMs;
    std::optional<bool> m_secure;
};

} // namespace

} // namespace kestrova

extern "C" Q_DECL_EXPORT kestrova::PasswordStore *kestrovaCreatePasswordStore(int timeoutMs)
{
    return new kestrova::KeychainStore(timeoutMs);
}
