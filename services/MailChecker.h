#pragma once

#include "Mailbox.h"
#include "PasswordStore.h"

#include <QObject>
#include <QString>

namespace kestrova {

class CharacterSink;
class Host;

// One mail check as the user and the mail timer ask for it, without any
// window: the thought balloon, the account (the server and user name as the
// user's model holds them, saved or not; the password fetched from where it
// is kept, or as typed), the mailbox work through the mail watch, and the
// status line. The "Check" button, the "Check Mail" action and the timer
// all come here; the options window's mail page only shows what this holds
// and edits it. One for the whole run.
class MailChecker : public QObject {
    Q_OBJECT
public:
    MailChecker(Host &host, CharacterSink &sink, QObject *parent = nullptr);

    // Runs one check. A check still running, or a password that cannot be
    // had, is shown in the status line; the character says so only when the
    // user asked (`asked`), not for the timer.
    void check(bool asked);

    // The working password: the fetched one, or what the user typed.
    const QString &password() const { return m_password; }
    void setPassword(const QString &typed) { m_password = typed; }
    // The password is fetched when it is first needed (the mail page shown,
    // a check, a save), not at start-up: asking the secret store may wait on
    // the desktop or bring up its unlock prompt.
    void ensurePassword();
    // Stores the account as typed on the mail page: the server and user
    // name from the model, the password, and the interval text.
    void saveAccount(const QString &intervalText);
    // What was typed and not saved is dropped: the next check fetches the
    // stored password again.
    void forgetTyped();

    // The security choices kept for the working server text, and keeping
    // them for it.
    MailSecurity security() const;
    void keepSecurity(const MailSecurity &security);

    // Where the password is kept, as the mail page says it; empty until the
    // password has been looked for.
    const QString &passwordPlace() const { return m_place; }

Q_SIGNALS:
    // A line for the status bar: a check's end, or why none started.
    void status(const QString &text);
    // The fetched password has arrived (the page shows it in an empty box).
    void passwordArrived(const QString &password);
    void passwordPlaceChanged(const QString &text);
    void securityChanged();

private:
    void start(bool asked);
    void arrived(const PasswordStore::Answer &answer);
    void savePassword(const QString &password);
    void passwordSaved(const QString &password, const PasswordStore::Written &written);
    // A password from before, moved into the store or not.
    void passwordMoved(const QString &password, const PasswordStore::Written &written);
    // Without a store, `why` says why there is none (empty: the desktop has
    // none).
    void showPlace(bool secure, const QString &why = QString());
    void setPlace(const QString &text);
    // The settings file is readable by its owner only while it holds the
    // password.
    void protectSettingsFile();

    Host &m_host;
    CharacterSink &m_sink;
    enum class Password { NotFetched, Fetching, Loaded, Failed };
    Password m_state = Password::NotFetched;
    QString m_password;
    // A check asked for while the password was being fetched: none, the
    // timer's, the user's.
    enum class Pending { None, Timed, Asked };
    Pending m_pending = Pending::None;
    QString m_place;
};

} // namespace kestrova
