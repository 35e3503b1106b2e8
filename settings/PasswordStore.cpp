#include "PasswordStore.h"

#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>

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
