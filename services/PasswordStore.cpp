#include "PasswordStore.h"

#include <QEventLoop>
#include <QLoggingCategory>
#include <QPointer>
#include <QTimer>

#include <memory>

#include <qt6keychain/keychain.h>

namespace kestrova {

namespace {

Q_LOGGING_CATEGORY(lcSecrets, "kestrova.secrets")

// Runs a job to its end, or until the time is up; the job's error, or
// OtherError for a time-out. The job deletes itself once finished, also
// when it outlasts the wait.
QKeychain::Error runJob(QKeychain::Job *job, int timeoutMs, QString *errorText)
{
    job->setAutoDelete(false);
    QEventLoop loop;
    bool done = false;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&] { done = true; loop.quit(); });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    job->start();
    if (!done)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!done) {
        if (errorText)
            *errorText = QStringLiteral("the secret store did not answer");
        // Left to finish on its own, telling nobody; it goes when it does.
        QObject::disconnect(job, &QKeychain::Job::finished, nullptr, nullptr);
        QObject::connect(job, &QKeychain::Job::finished, job, &QObject::deleteLater);
        return QKeychain::OtherError;
    }
    const QKeychain::Error error = job->error();
    if (error != QKeychain::NoError && errorText)
        *errorText = job->errorString();
    job->deleteLater();
    return error;
}

} // namespace

void PasswordStore::readLater(const QString &key, QObject *context, std::function<void(const Answer &)> done)
{
    Answer answer;
    answer.secure = isSecure();
    if (answer.secure)
        answer.password = read(key, &answer.error);
    QMetaObject::invokeMethod(context, [done = std::move(done), answer] { done(answer); }, Qt::QueuedConnection);
}

void KeychainPasswordStore::readLater(const QString &key, QObject *context, std::function<void(const Answer &)> done)
{
    if (m_secure == false) {
        QMetaObject::invokeMethod(context, [done = std::move(done)] { done(Answer{std::nullopt, false, {}}); },
                                  Qt::QueuedConnection);
        return;
    }
    auto *job = new QKeychain::ReadPasswordJob(Service);
    job->setKey(key);
    job->setAutoDelete(false);
    // Whichever comes first, the job's end or the time-out, answers; the
    // other finds nothing left to do.
    auto pending = std::make_shared<std::function<void(const Answer &)>>(std::move(done));
    QPointer<QObject> receiver(context);
    auto answer = [pending, receiver](const Answer &a) {
        if (!*pending)
            return;
        const auto call = std::move(*pending);
        *pending = nullptr;
        if (receiver)
            call(a);
    };
    auto *timer = new QTimer(job);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, context, [answer] {
        qCWarning(lcSecrets) << "the secret store did not answer in time";
        answer(Answer{std::nullopt, true, QStringLiteral("the secret store did not answer")});
    });
    QObject::connect(job, &QKeychain::Job::finished, job, [this, job, answer] {
        const QKeychain::Error error = job->error();
        Answer a;
        if (error == QKeychain::NoError) {
            a.password = job->textData();
            m_secure = true;
        } else if (error == QKeychain::EntryNotFound) {
            a.password = QString();
            m_secure = true;
        } else if (!m_secure.has_value() && error != QKeychain::AccessDenied) {
            // The first contact, and nobody answers for a store (no session
            // bus, no secret service on it): as isSecure() has it, the
            // password is the plain setting, for the whole run. A store
            // that refused, or did not answer in time, is a failed read.
            a.secure = false;
            m_secure = false;
            qCInfo(lcSecrets).noquote() << "no secret store on this desktop (" + job->errorString()
                                               + "): the mail password is kept in the settings file";
        } else {
            a.error = job->errorString();
        }
        answer(a);
        job->deleteLater();
    });
    timer->start(m_timeoutMs);
    job->start();
}

bool KeychainPasswordStore::isSecure()
{
    if (!m_secure) {
        // Asking for a key that is not there tells whether anyone answers.
        QString error;
        auto *job = new QKeychain::ReadPasswordJob(Service);
        job->setKey(QStringLiteral("probe"));
        const QKeychain::Error result = runJob(job, m_timeoutMs, &error);
        m_secure = result == QKeychain::NoError || result == QKeychain::EntryNotFound;
        if (*m_secure)
            qCInfo(lcSecrets) << "the mail password is kept in the desktop's secret store";
        else
            qCInfo(lcSecrets).noquote() << "no secret store on this desktop (" + error + "): the mail password is kept in the settings file";
    }
    return *m_secure;
}

std::optional<QString> KeychainPasswordStore::read(const QString &key, QString *error)
{
    auto *job = new QKeychain::ReadPasswordJob(Service);
    job->setKey(key);
    QString text;
    QString password;
    QObject::connect(job, &QKeychain::Job::finished, job, [&password, job] { password = job->textData(); });
    const QKeychain::Error result = runJob(job, m_timeoutMs, &text);
    if (result == QKeychain::EntryNotFound)
        return QString();
    if (result != QKeychain::NoError) {
        if (error)
            *error = text;
        return std::nullopt;
    }
    return password;
}

bool KeychainPasswordStore::write(const QString &key, const QString &password, QString *error)
{
    auto *job = new QKeychain::WritePasswordJob(Service);
    job->setKey(key);
    job->setTextData(password);
    return runJob(job, m_timeoutMs, error) == QKeychain::NoError;
}

bool KeychainPasswordStore::remove(const QString &key, QString *error)
{
    auto *job = new QKeychain::DeletePasswordJob(Service);
    job->setKey(key);
    const QKeychain::Error result = runJob(job, m_timeoutMs, error);
    return result == QKeychain::NoError || result == QKeychain::EntryNotFound;
}

} // namespace kestrova
