// The mail password and where it is kept: the desktop's secret store when
// there is one (a real one here, GNOME Keyring on a private session bus, see
// with_keyring.sh), else the plain setting; a password from before moved
// into the store; a store that refuses it, or is slow to answer, never loses
// it and never holds up the windows; without the store's module, the plain
// setting.

#include "FrmMain.h"
#include "PasswordStore.h"
#include "TestRun.h"

#include "MailTexts.h"
#include "MailWatch.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>
#include <utility>

using namespace kestrova;
using kestrova::test::TestRun;

namespace {

// A secret store in memory, which may be told to refuse writes, to fail
// reads, or to hold every answer until release() (a store that is slow to
// answer, or waits on its unlock prompt).
class MemoryStore : public PasswordStore {
public:
    bool secure = true;
    bool refuseWrites = false;
    bool failReads = false;
    bool holdAnswers = false;
    QList<std::function<void()>> held;
    QHash<QString, QString> kept;
    // How often the store was asked anything.
    int asked = 0;
    void release()
    {
        holdAnswers = false;
        const auto answers = std::exchange(held, {});
        for (const auto &answer : answers)
            answer();
    }

protected:
    void read(const QString &key, ReadDone done) override
    {
        ++asked;
        answer([this, key, done] {
            if (!secure)
                done(Answer{std::nullopt, false, {}});
            else if (failReads)
                done(Answer{std::nullopt, true, QStringLiteral("locked")});
            else
                done(Answer{kept.value(key), true, {}});
        });
    }
    void write(const QString &key, const QString &password, WriteDone done) override
    {
        ++asked;
        answer([this, key, password, done] {
            if (!secure) {
                done(Written{false, false, {}});
            } else if (refuseWrites) {
                done(Written{false, true, QStringLiteral("refused")});
            } else {
                kept.insert(key, password);
                done(Written{true, true, {}});
            }
        });
    }
    void remove(const QString &key, WriteDone done) override
    {
        ++asked;
        answer([this, key, done] {
            kept.remove(key);
            done(Written{true, true, {}});
        });
    }

private:
    void answer(const std::function<void()> &f)
    {
        if (holdAnswers)
            held.append(f);
        else
            f();
    }
};

// A secret service on the session bus that takes every call and answers
// none.
class SilentService : public QDBusVirtualObject {
public:
    std::atomic<int> calls{0};
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &, const QDBusConnection &) override
    {
        ++calls;
        return true;
    }
};

// The libraries of the process that are QtKeychain's.
bool keychainMapped()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libqt6keychain");
}

} // namespace

class TestMailPassword : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_store = std::make_unique<MemoryStore>();
    }
    void cleanup()
    {
        m_run.reset();
    }

    void passwordFromBeforeMovesIntoTheStore()
    {
        FrmMain *w = start(QStringLiteral("old secret"));
        QCOMPARE(w->TxtPass->text(), QStringLiteral("old secret"));
        QTRY_COMPARE(m_store->kept.value(QStringLiteral("Mail/3")), QStringLiteral("old secret"));
        QTRY_COMPARE(plain(), QString());
        QCOMPARE(w->LblPassStore->text(), mailtext::PasswordInStore);
        QCOMPARE(w->TxtPass->echoMode(), QLineEdit::Password);
        // The next run reads it from the store.
        m_run.reset();
        w = start(QString());
        QTRY_COMPARE(w->TxtPass->text(), QStringLiteral("old secret"));
    }

    void saveGoesToTheStore()
    {
        FrmMain *w = start(QString());
        QTRY_COMPARE(w->LblPassStore->text(), mailtext::PasswordInStore);
        QCOMPARE(w->TxtPass->text(), QString());
        w->TxtPass->setText(QStringLiteral("new secret"));
        w->CmdSave_Click();
        QTRY_COMPARE(m_store->kept.value(QStringLiteral("Mail/3")), QStringLiteral("new secret"));
        QCOMPARE(plain(), QString());
        QFile ini(m_dir->path() + "/Kestrova.ini");
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(!ini.readAll().contains("new secret"));
    }

    // A store that refuses a password loses nothing: one from before stays
    // in the settings file, a new one leaves the stored one and the file as
    // they were, and the page says so in words. Saved again once the store
    // takes it.
    void refusingStoreLosesNothing()
    {
        m_store->refuseWrites = true;
        FrmMain *w = start(QStringLiteral("kept"));
        QCOMPARE(w->TxtPass->text(), QStringLiteral("kept"));
        QTRY_COMPARE(w->LblPassStore->text(), mailtext::passwordNotMoved(QStringLiteral("refused")));
        QCOMPARE(plain(), QStringLiteral("kept"));
        const QString file = m_dir->path() + QStringLiteral("/Kestrova.ini");
        QCOMPARE(QFile::permissions(file) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        w->TxtPass->setText(QStringLiteral("changed"));
        w->CmdSave_Click();
        QTRY_COMPARE(w->LblPassStore->text(), mailtext::passwordNotSaved(QStringLiteral("refused")));
        QCOMPARE(plain(), QStringLiteral("kept"));
        QVERIFY(m_store->kept.isEmpty());
        // Still in the box, not lost: a check uses it.
        QCOMPARE(w->TxtPass->text(), QStringLiteral("changed"));

        // One in the store already: a refused save leaves it.
        m_run.reset();
        QVERIFY(QFile::remove(file));
        m_store->kept.insert(QStringLiteral("Mail/3"), QStringLiteral("stored"));
        w = start(QString());
        QTRY_COMPARE(w->TxtPass->text(), QStringLiteral("stored"));
        w->TxtPass->setText(QStringLiteral("typed"));
        w->CmdSave_Click();
        QTRY_COMPARE(w->LblPassStore->text(), mailtext::passwordNotSaved(QStringLiteral("refused")));
        QCOMPARE(m_store->kept.value(QStringLiteral("Mail/3")), QStringLiteral("stored"));
        QCOMPARE(plain(), QString());
        m_store->refuseWrites = false;
        w->CmdSave_Click();
        QTRY_COMPARE(w->LblPassStore->text(), mailtext::PasswordInStore);
        QCOMPARE(m_store->kept.value(QStringLiteral("Mail/3")), QStringLiteral("typed"));
        QCOMPARE(plain(), QString());
    }

    void withoutAStoreThePlainSettingIsUsed()
    {
        m_store->secure = false;
        FrmMain *w = start(QStringLiteral("plain one"));
        QCOMPARE(w->TxtPass->text(), QStringLiteral("plain one"));
        QTRY_COMPARE(w->LblPassStore->text(), mailtext::PasswordInFileNoStore);
        QCOMPARE(plain(), QStringLiteral("plain one"));
        w->TxtPass->setText(QStringLiteral("plain two"));
        w->CmdSave_Click();
        QTRY_COMPARE(plain(), QStringLiteral("plain two"));
        QVERIFY(m_store->kept.isEmpty());
    }

    // Starting the program asks the store nothing (it may wait on the desktop
    // or bring up its unlock prompt); the first check or save fetches the
    // password, and a save before the window was ever shown keeps it.
    void passwordIsFetchedWhenFirstNeeded()
    {
        m_store->kept.insert(QStringLiteral("Mail/3"), QStringLiteral("stored"));
        FrmMain *w = start(QString(), false);
        QCOMPARE(m_store->asked, 0);
        QCOMPARE(w->TxtPass->text(), QString());
        w->TxtServer->setText(QStringLiteral("pop.example.org"));
        w->TxtChkInterval->setText(QStringLiteral("0"));
        w->CmdSave_Click();
        QVERIFY(m_store->asked > 0);
        QTRY_COMPARE(w->TxtPass->text(), QStringLiteral("stored"));
        QCOMPARE(m_store->kept.value(QStringLiteral("Mail/3")), QStringLiteral("stored"));
        QCOMPARE(plain(), QString());

        m_run.reset();
        m_store->asked = 0;
        w = start(QString(), false);
        QCOMPARE(m_store->asked, 0);
        w->CmdCheck_Click();
        QTRY_COMPARE(w->TxtPass->text(), QStringLiteral("stored"));
        QTRY_COMPARE(m_run->platform.mailboxes.script.calls().value(0), QStringLiteral("OpenMailbox pop.example.org||stored"));
        QTRY_VERIFY(!m_run->app->mailWatch().checking());
    }

    // A store that cannot be read is not an empty password: a save leaves
    // the stored one alone, and a check says it could not get it.
    void failedReadLosesNothing()
    {
        m_store->kept.insert(QStringLiteral("Mail/3"), QStringLiteral("stored"));
        m_store->failReads = true;
        FrmMain *w = start(QString());
        QTRY_COMPARE(w->LblPassStore->text(), mailtext::PasswordUnavailable);
        QCOMPARE(w->TxtPass->text(), QString());
        w->TxtServer->setText(QStringLiteral("pop.example.org"));
        w->TxtChkInterval->setText(QStringLiteral("0"));
        w->CmdSave_Click();
        QCoreApplication::processEvents();
        QCOMPARE(m_store->kept.value(QStringLiteral("Mail/3")), QStringLiteral("stored"));
        QCOMPARE(plain(), QString());
        m_run->character().log.clear();
        w->CmdCheck_Click();
        QTRY_COMPARE(w->StatusMain->currentMessage(), mailtext::PasswordUnavailableStatus);
        QVERIFY(m_run->platform.mailboxes.script.calls().isEmpty());
        QVERIFY(m_run->log().contains(QStringLiteral("Speak ") + mailtext::PasswordUnavailableSpoken));
        // Typed anew, it is saved: the user meant that one.
        w->TxtPass->setText(QStringLiteral("typed"));
        w->CmdSave_Click();
        QTRY_COMPARE(m_store->kept.value(QStringLiteral("Mail/3")), QStringLiteral("typed"));
    }

    // A check asked for before the store has answered returns at once and
    // starts when the answer comes, with that password.
    void checkWaitsForThePasswordWithoutBlocking()
    {
        m_store->kept.insert(QStringLiteral("Mail/3"), QStringLiteral("stored"));
        m_store->holdAnswers = true;
        FrmMain *w = start(QString(), false);
        w->TxtServer->setText(QStringLiteral("pop.example.org"));
        w->CmdCheck_Click();
        QCOMPARE(m_store->held.size(), 1);
        QCoreApplication::processEvents();
        QVERIFY(m_run->platform.mailboxes.script.calls().isEmpty());
        QVERIFY(!m_run->app->mailWatch().checking());
        // Asked again meanwhile: told, not queued twice.
        w->CmdCheck_Click();
        QCOMPARE(w->StatusMain->currentMessage(), mailtext::StillCheckingStatus);
        m_store->release();
        QTRY_COMPARE(m_run->platform.mailboxes.script.calls().value(0),
                     QStringLiteral("OpenMailbox pop.example.org||stored"));
        QTRY_VERIFY(!m_run->app->mailWatch().checking());
        QCOMPARE(m_run->platform.mailboxes.script.calls().filter(QStringLiteral("OpenMailbox")).size(), 1);
    }

    // A save returns at once while the store takes its time; a check started
    // meanwhile, also from a window made anew, uses the new password; the
    // store's late answer then settles where the password is kept.
    void saveDoesNotWaitForTheStore()
    {
        m_store->kept.insert(QStringLiteral("Mail/3"), QStringLiteral("old"));
        FrmMain *w = start(QString());
        QTRY_COMPARE(w->TxtPass->text(), QStringLiteral("old"));
        m_store->holdAnswers = true;
        w->TxtServer->setText(QStringLiteral("pop.example.org"));
        w->TxtChkInterval->setText(QStringLiteral("0"));
        w->TxtPass->setText(QStringLiteral("new"));
        w->CmdSave_Click();
        QCOMPARE(m_store->held.size(), 1);
        QCOMPARE(w->LblPassStore->text(), mailtext::PasswordSaving);
        QCOMPARE(m_store->kept.value(QStringLiteral("Mail/3")), QStringLiteral("old"));
        w->CmdCheck_Click();
        QTRY_COMPARE(m_run->platform.mailboxes.script.calls().value(0), QStringLiteral("OpenMailbox pop.example.org||new"));
        QTRY_VERIFY(!m_run->app->mailWatch().checking());

        // The options window closed and made again, the store still busy:
        // what it reads is the password being written, not the old one.
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        w = m_run->app->frmMain();
        w->show();
        QTRY_COMPARE(w->TxtPass->text(), QStringLiteral("new"));
        QCOMPARE(m_store->held.size(), 1);
        m_store->release();
        QCOMPARE(m_store->kept.value(QStringLiteral("Mail/3")), QStringLiteral("new"));
        QVERIFY(!m_store->writing(QStringLiteral("Mail/3")));
        QCOMPARE(plain(), QString());
    }

    // Without a store the password stays in the settings file, which only
    // its owner may then read, also after later writes rewrite it.
    void settingsFileWithThePasswordIsOwnerOnly()
    {
        m_store->secure = false;
        FrmMain *w = start(QStringLiteral("plain one"));
        const QString file = m_dir->path() + QStringLiteral("/Kestrova.ini");
        const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
        QCOMPARE(QFile::permissions(file) & ~(QFile::ReadUser | QFile::WriteUser), ownerOnly);
        w->TxtPass->setText(QStringLiteral("plain two"));
        w->CmdSave_Click();
        QTRY_COMPARE(plain(), QStringLiteral("plain two"));
        QCOMPARE(QFile::permissions(file) & ~(QFile::ReadUser | QFile::WriteUser), ownerOnly);
        QVERIFY(m_run->settings.write("Kestrova", "User", "Name", "Someone"));
        QCOMPARE(plain(), QStringLiteral("plain two"));
        QCOMPARE(QFile::permissions(file) & ~(QFile::ReadUser | QFile::WriteUser), ownerOnly);
    }

    // Without the secret store module the program works as on a desktop
    // without a store, and the mail page says why.
    void missingModuleKeepsThePasswordInTheSettingsFile()
    {
        QTemporaryDir empty;
        SecretStoreModule module({empty.path()});
        m_run = std::make_unique<TestRun>(m_dir->path(), QStringLiteral("Kess"), QStringLiteral(KESTROVA_PROGRAM_DIR),
                                          &module);
        m_run->settings.write("Kestrova", "Run", "Number", "4");
        m_run->settings.write("Kestrova", "Mail", "3", "plain one");
        m_run->app->Main();
        m_run->character().completeAll();
        FrmMain *w = m_run->app->frmMain();
        w->show();
        QCOMPARE(w->TxtPass->text(), QStringLiteral("plain one"));
        QTRY_VERIFY(w->LblPassStore->text().contains(QStringLiteral("not installed")));
        QVERIFY(w->LblPassStore->text().contains(QStringLiteral("plain text")));
        QVERIFY(!module.loaded());
        w->TxtPass->setText(QStringLiteral("plain two"));
        w->CmdSave_Click();
        QTRY_COMPARE(plain(), QStringLiteral("plain two"));
        const QString file = m_dir->path() + QStringLiteral("/Kestrova.ini");
        QCOMPARE(QFile::permissions(file) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        m_run.reset();
    }

    // A secret store that takes every call and never answers (one stuck on
    // its unlock prompt, or hung): the module gives up after its time, the
    // windows never wait, and nothing changes: the password from before stays
    // in the settings file, a new one is not saved, and the page says so.
    void silentSecretStore()
    {
        if (!qEnvironmentVariableIsSet("KESTROVA_SILENT_SECRET_STORE"))
            QSKIP("runs on a session bus of its own, see with_keyring.sh");
        SilentService silent;
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.registerVirtualObject(QStringLiteral("/"), &silent, QDBusConnection::SubPath));
        QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.secrets")));
        SecretStoreModule module({QStringLiteral(KESTROVA_PROGRAM_DIR)}, 1500);
        m_run = std::make_unique<TestRun>(m_dir->path(), QStringLiteral("Kess"), QStringLiteral(KESTROVA_PROGRAM_DIR),
                                          &module);
        m_run->settings.write("Kestrova", "Run", "Number", "4");
        m_run->settings.write("Kestrova", "Mail", "3", "old");
        m_run->app->Main();
        m_run->character().completeAll();
        FrmMain *w = m_run->app->frmMain();
        QElapsedTimer clock;
        clock.start();
        w->show();
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(w->TxtPass->text(), QStringLiteral("old"));
        QTRY_VERIFY_WITH_TIMEOUT(w->LblPassStore->text().contains(QStringLiteral("could not be moved")), 10000);
        QVERIFY2(w->LblPassStore->text().contains(QStringLiteral("did not answer")), qPrintable(w->LblPassStore->text()));
        QVERIFY(silent.calls > 0);
        QCOMPARE(plain(), QStringLiteral("old"));
        w->TxtPass->setText(QStringLiteral("new"));
        clock.restart();
        w->CmdSave_Click();
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QTRY_VERIFY_WITH_TIMEOUT(w->LblPassStore->text().startsWith(QStringLiteral("The new password was not saved")),
                                 10000);
        QCOMPARE(plain(), QStringLiteral("old"));
        m_run.reset();
    }

    // The desktop's own store, through the module: loaded on the first
    // call, not before.
    void realSecretStore()
    {
        QVERIFY(!keychainMapped());
        SecretStoreModule store({QStringLiteral(KESTROVA_PROGRAM_DIR)}, 10000);
        QVERIFY(!store.loaded());
        QVERIFY(!keychainMapped());
        const QString key = QStringLiteral("test-%1").arg(QCoreApplication::applicationPid());
        QObject context;
        std::optional<PasswordStore::Answer> read;
        std::optional<PasswordStore::Written> written;
        auto readNow = [&] {
            read.reset();
            store.readLater(key, &context, [&read](const PasswordStore::Answer &a) { read = a; });
            QVERIFY(!read);
            QTRY_VERIFY_WITH_TIMEOUT(read.has_value(), 15000);
        };
        auto writeNow = [&](const std::optional<QString> &password) {
            written.reset();
            auto done = [&written](const PasswordStore::Written &w) { written = w; };
            if (password)
                store.writeLater(key, *password, &context, done);
            else
                store.removeLater(key, &context, done);
            QVERIFY(!written);
            QTRY_VERIFY_WITH_TIMEOUT(written.has_value(), 15000);
        };
        QElapsedTimer clock;
        clock.start();
        readNow();
        QVERIFY(store.loaded());
        QVERIFY(keychainMapped());
        if (qEnvironmentVariableIsSet("KESTROVA_EXPECT_NO_SECRET_STORE")) {
            // No session bus at all: the answer comes at once, and says no.
            QVERIFY2(!read->secure, qPrintable(read->error));
            QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
            writeNow(QStringLiteral("nowhere"));
            QVERIFY(!written->ok);
            QVERIFY(!written->secure);
            return;
        }
        QVERIFY2(read->secure, "no secret store answered: run under with_keyring.sh");
        QCOMPARE(read->password, std::optional<QString>(QString()));
        writeNow(QStringLiteral("p\u00e4ss w0rd"));
        QVERIFY2(written->ok, qPrintable(written->error));
        readNow();
        QCOMPARE(read->password, std::optional<QString>(QStringLiteral("p\u00e4ss w0rd")));
        writeNow(QStringLiteral("second"));
        QVERIFY(written->ok);
        // A second store, as in the next run.
        SecretStoreModule fresh({QStringLiteral(KESTROVA_PROGRAM_DIR)}, 10000);
        std::optional<PasswordStore::Answer> other;
        fresh.readLater(key, &context, [&other](const PasswordStore::Answer &a) { other = a; });
        QTRY_VERIFY_WITH_TIMEOUT(other.has_value(), 15000);
        QCOMPARE(other->password, std::optional<QString>(QStringLiteral("second")));
        writeNow(std::nullopt);
        QVERIFY(written->ok);
        readNow();
        QCOMPARE(read->password, std::optional<QString>(QString()));
    }

private:
    // A run with the options window shown, unless told otherwise.
    FrmMain *start(const QString &plainPassword, bool show = true)
    {
        m_run = std::make_unique<TestRun>(m_dir->path(), QStringLiteral("Kess"), QStringLiteral(KESTROVA_PROGRAM_DIR),
                                          m_store.get());
        m_run->settings.write("Kestrova", "Run", "Number", "4");
        if (!plainPassword.isNull())
            m_run->settings.write("Kestrova", "Mail", "3", plainPassword);
        m_run->app->Main();
        m_run->character().completeAll();
        FrmMain *w = m_run->app->frmMain();
        if (show)
            w->show();
        return w;
    }
    QString plain() const { return m_run->settings.read("Kestrova", "Mail", "3"); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MemoryStore> m_store;
    std::unique_ptr<TestRun> m_run;
};

QTEST_MAIN(TestMailPassword)
#include "test_mail_password.moc"
