#include "MailChecker.h"

#include "CharacterSink.h"
#include "CurlMailbox.h"
#include "Host.h"
#include "MailTexts.h"
#include "MailWatch.h"
#include "SettingsStore.h"
#include "UserModel.h"

#include <QCoreApplication>
#include <QFile>

namespace kestrova {

namespace {
const QString App = QStringLiteral("Kestrova");
const QString MailSection = QStringLiteral("Mail");
// The password's name in the secret store.
const QString PasswordKey = QStringLiteral("Mail/3");
// The server's security, kept with the server text it was chosen for: a
// trusted certificate's SHA-256 fingerprint, and "1" where plain log-on is
// allowed.
const QString SecurityForKey = QStringLiteral("SecurityFor");
const QString TrustedCertificateKey = QStringLiteral("TrustedCertificate");
const QString PlainLogOnKey = QStringLiteral("PlainLogOn");
} // namespace

MailChecker::MailChecker(Host &host, CharacterSink &sink, QObject *parent)
    : QObject(parent), m_host(host), m_sink(sink)
{
}

// One check at a time. A check asked for while one runs is not queued: the
// running one reads out the same mailbox a moment later. The user is told
// so; the timer's tick only shows it.
void MailChecker::check(bool asked)
{
    if (m_host.mailWatch().checking() || m_pending != Pending::None) {
        Q_EMIT status(mailtext::StillCheckingStatus);
        if (asked)
            m_sink.say(mailtext::StillChecking);
        return;
    }
    m_sink.think(QCoreApplication::translate("kestrova::MailChecker", "I'll just check the mail"));
    ensurePassword();
    if (m_state == Password::Fetching) {
        // Starts once the secret store has answered.
        m_pending = asked ? Pending::Asked : Pending::Timed;
        return;
    }
    start(asked);
}

void MailChecker::start(bool asked)
{
    if (m_state == Password::Failed && m_password.isEmpty()) {
        Q_EMIT status(mailtext::PasswordUnavailableStatus);
        if (asked)
            tell(m_sink, mailtext::FailureSummary, mailtext::PasswordUnavailableSpoken);
        return;
    }
    const UserModel &model = m_host.model();
    m_host.mailWatch().start({model.mailServer(), model.mailUser(), m_password, security()}, asked);
}

MailSecurity MailChecker::security() const
{
    const SettingsStore &settings = *m_host.context().settings;
    if (settings.read(App, MailSection, SecurityForKey) != m_host.model().mailServer().trimmed())
        return {};
    return {settings.read(App, MailSection, TrustedCertificateKey),
            settings.read(App, MailSection, PlainLogOnKey) == u"1"};
}

void MailChecker::keepSecurity(const MailSecurity &security)
{
    const SettingsStore &settings = *m_host.context().settings;
    settings.write(App, MailSection, SecurityForKey, m_host.model().mailServer().trimmed());
    settings.write(App, MailSection, TrustedCertificateKey, security.trustedCertificate);
    settings.write(App, MailSection, PlainLogOnKey, security.allowPlain ? QStringLiteral("1") : QString());
    Q_EMIT securityChanged();
}

void MailChecker::setPlace(const QString &text)
{
    m_place = text;
    Q_EMIT passwordPlaceChanged(text);
}

void MailChecker::showPlace(bool secure, const QString &why)
{
    if (secure)
        setPlace(mailtext::PasswordInStore);
    else if (why.isEmpty())
        setPlace(mailtext::PasswordInFileNoStore);
    else
        setPlace(mailtext::passwordInFile(why));
}

// The password comes from the secret store when the desktop has one; one
// left in the settings file from before is moved there. Without a store it
// is the plain setting. The store is never waited for: the windows go on
// while it answers, and a check asked for meanwhile starts when it has.
void MailChecker::ensurePassword()
{
    if (m_state == Password::Loaded || m_state == Password::Fetching)
        return;
    SettingsStore &settings = *m_host.context().settings;
    const QString plain = settings.read(App, MailSection, QStringLiteral("3"));
    PasswordStore *store = m_host.context().passwords;
    if (!store || !plain.isEmpty()) {
        // No store to ask, or one from before: the plain setting, known now.
        // It leaves the settings file only once the store has taken it.
        m_state = Password::Loaded;
        // Typed in before it was fetched (the mail page shown): kept.
        if (m_password.isEmpty()) {
            m_password = plain;
            Q_EMIT passwordArrived(plain);
        }
        protectSettingsFile();
        if (!store) {
            showPlace(false);
            return;
        }
        store->writeLater(PasswordKey, plain, this,
                          [this, plain](const PasswordStore::Written &written) { passwordMoved(plain, written); });
        return;
    }
    m_state = Password::Fetching;
    store->readLater(PasswordKey, this, [this](const PasswordStore::Answer &answer) { arrived(answer); });
}

void MailChecker::passwordMoved(const QString &password, const PasswordStore::Written &written)
{
    SettingsStore &settings = *m_host.context().settings;
    if (written.ok) {
        // Unless a save has put another one there meanwhile.
        if (settings.read(App, MailSection, QStringLiteral("3")) == password
            && settings.write(App, MailSection, QStringLiteral("3"), QString()))
            qCInfo(lcMail) << "moved the mail password from the settings file into the secret store";
        showPlace(true);
    } else if (!written.secure) {
        showPlace(false, written.error);
    } else {
        qCWarning(lcMail).noquote()
            << "the mail password stays in the settings file: the secret store did not take it:" << written.error;
        setPlace(mailtext::passwordNotMoved(written.error));
    }
}

void MailChecker::arrived(const PasswordStore::Answer &answer)
{
    if (m_state != Password::Fetching) {
        // Typed and saved meanwhile: that one stands.
    } else if (!answer.secure) {
        // No store after all: the plain setting, empty as read above.
        showPlace(false, answer.error);
        protectSettingsFile();
        m_state = Password::Loaded;
    } else if (answer.password) {
        showPlace(true);
        m_state = Password::Loaded;
        if (m_password.isEmpty()) {
            m_password = *answer.password;
            Q_EMIT passwordArrived(m_password);
        }
    } else {
        // Not an empty password: a save leaves the stored one alone, and a
        // check says it could not be had.
        qCWarning(lcMail).noquote() << "the mail password could not be read from the secret store:" << answer.error;
        setPlace(mailtext::PasswordUnavailable);
        m_state = Password::Failed;
    }
    const Pending pending = m_pending;
    m_pending = Pending::None;
    if (pending != Pending::None)
        start(pending == Pending::Asked);
}

void MailChecker::forgetTyped()
{
    m_password.clear();
    // A fetch under way still answers, and a check waiting on it runs.
    if (m_state != Password::Fetching)
        m_state = Password::NotFetched;
}

void MailChecker::protectSettingsFile()
{
    const QString file = m_host.context().settings->fileOf(App);
    if (QFile::exists(file) && !QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner))
        qCWarning(lcMail).noquote() << "cannot make" << file << "readable by its owner only";
}

// Into the secret store, without waiting for it; the setting is emptied
// once the store has it. Where the store fails, or does not answer in time,
// nothing is changed: the password stored before stays, and the page says
// so. Without a store, into the setting as before.
void MailChecker::savePassword(const QString &password)
{
    PasswordStore *store = m_host.context().passwords;
    if (!store) {
        passwordSaved(password, {false, false, {}});
        return;
    }
    setPlace(mailtext::PasswordSaving);
    store->writeLater(PasswordKey, password, this,
                      [this, password](const PasswordStore::Written &written) { passwordSaved(password, written); });
}

void MailChecker::passwordSaved(const QString &password, const PasswordStore::Written &written)
{
    SettingsStore &settings = *m_host.context().settings;
    if (written.ok) {
        if (!settings.read(App, MailSection, QStringLiteral("3")).isEmpty())
            settings.write(App, MailSection, QStringLiteral("3"), QString());
        showPlace(true);
    } else if (!written.secure) {
        settings.write(App, MailSection, QStringLiteral("3"), password);
        protectSettingsFile();
        showPlace(false, written.error);
    } else {
        qCWarning(lcMail).noquote() << "the mail password was not saved: the secret store did not take it:"
                                    << written.error;
        setPlace(mailtext::passwordNotSaved(written.error));
    }
}

void MailChecker::saveAccount(const QString &intervalText)
{
    SettingsStore &settings = *m_host.context().settings;
    const UserModel &model = m_host.model();
    // The server's security choices go with the server text they were made
    // for.
    if (settings.read(App, MailSection, SecurityForKey) != model.mailServer().trimmed()) {
        for (const QString &key : {SecurityForKey, TrustedCertificateKey, PlainLogOnKey})
            settings.write(App, MailSection, key, QString());
    }
    settings.write(App, MailSection, QStringLiteral("1"), model.mailServer());
    settings.write(App, MailSection, QStringLiteral("2"), model.mailUser());
    // Not fetched (yet, or the store failed): the box is empty because
    // nothing was read, not because the user cleared it, and the stored
    // password is left as it is. One typed in is saved.
    ensurePassword();
    if (m_state == Password::Loaded || !m_password.isEmpty()) {
        savePassword(m_password);
        m_state = Password::Loaded;
    } else {
        qCInfo(lcMail) << "the mail password was not read: the stored one is left as it is";
    }
    settings.write(App, MailSection, QStringLiteral("4"), intervalText);
}

} // namespace kestrova
