// The mail password and where it is kept: the desktop's secret store when
// there is one (a real one here, GNOME Keyring on a private session bus, see
// with_keyring.sh), else the plain setting; a password from before moved
// into the store; a store that refuses it never loses it.

#include "FrmMain.h"
#include "PasswordStore.h"
#include "TestRun.h"

#include "MailTexts.h"
#include "MailWatch.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kestrova;
using kestrova::test::TestRun;

namespace {

// A secret store in memory, which may be told to refuse writes.
class MemoryStore : public PasswordStore {
public:
    bool secure = true;
    bool refuseWrites = false;
    // Reads fail as a locked or broken store's do.
    bool failReads = false;
    // While set, readLater keeps its answer until release() (a store that
    // is slow to answer, or waits on its unlock prompt).
    bool holdAnswers = false;
    std::function<void()> held;
    QHash<QString, QString> kept;
    // How often the store was asked anything.
    int asked = 0;
    bool isSecure() override
    {
        ++asked;
        return secure;
    }
    std::optional<QString> read(const QString &key, QString *error) override
    {
        ++asked;
        if (failReads) {
            if (error)
                *error = QStringLiteral("locked");
            return std::nullopt;
        }
        return kept.value(key);
    }
    void readLater(const QString &key, QObject *context, std::function<void(const Answer &)> done) override
    {
        if (!holdAnswers) {
            PasswordStore::readLater(key, context, std::move(done));
            return;
        }
        held = [this, key, context, done] {
            holdAnswers = false;
            PasswordStore::readLater(key, context, done);
        };
    }
    bool write(const QString &key, const QString &password, QString *error) override
    {
        if (refuseWrites) {
            if (error)
                *error = QStringLiteral("refused");
            return false;
        }
        kept.insert(key, password);
        return true;
    }
    bool remove(const QString &key, QString *) override
    {
        kept.remove(key);
        return true;
    }
};

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
        QCOMPARE(m_store->kept.value(QStringLiteral("Mail/3")), QStringLiteral("old secret"));
        QCOMPARE(plain(), QString());
        QVERIFY(w->LblPassStore->text().contains(QStringLiteral("secret store")));
        QVERIFY(!w->LblPassStore->text().contains(QStringLiteral("plain text")));
        QCOMPARE(w->TxtPass->echoMode(), QLineEdit::Password);
        // The next run reads it from the store.
        m_run.reset();
        w = start(QString());
        QTRY_COMPARE(w->TxtPass->text(), QStringLiteral("old secret"));
    }

    void saveGoesToTheStore()
    {
        FrmMain *w = start(QString());
        QCOMPARE(w->TxtPass->text(), QString());
        w->TxtPass->setText(QStringLiteral("new secret"));
        w->CmdSave_Click();
        QCOMPARE(m_store->kept.value(QStringLiteral("Mail/3")), QStringLiteral("new secret"));
        QCOMPARE(plain(), QString());
        QFile ini(m_dir->path() + "/Kestrova.ini");
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(!ini.readAll().contains("new secret"));
    }

    void refusingStoreLosesNothing()
    {
        m_store->refuseWrites = true;
        FrmMain *w = start(QStringLiteral("kept"));
        // Not moved: it stays where it was, and the page says so.
        QCOMPARE(w->TxtPass->text(), QStringLiteral("kept"));
        QCOMPARE(plain(), QStringLiteral("kept"));
        QVERIFY(w->LblPassStore->text().contains(QStringLiteral("plain text")));
        w->TxtPass->setText(QStringLiteral("changed"));
        w->CmdSave_Click();
        QCOMPARE(plain(), QStringLiteral("changed"));
        QVERIFY(m_store->kept.isEmpty());
    }

    void withoutAStoreThePlainSettingIsUsed()
    {
        m_store->secure = false;
        FrmMain *w = start(QStringLiteral("plain one"));
        QCOMPARE(w->TxtPass->text(), QStringLiteral("plain one"));
        QCOMPARE(plain(), QStringLiteral("plain one"));
        QVERIFY(w->LblPassStore->text().contains(QStringLiteral("no secret store")));
        w->TxtPass->setText(QStringLiteral("plain two"));
        w->CmdSave_Click();
        QCOMPARE(plain(), QStringLiteral("plain two"));
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
        QCOMPARE(m_store->kept.value(QStringLiteral("Mail/3")), QStringLiteral("stored"));
        QTRY_COMPARE(w->TxtPass->text(), QStringLiteral("stored"));
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
        QCOMPARE(m_store->kept.value(QStringLiteral("Mail/3")), QStringLiteral("typed"));
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
        QVERIFY(m_store->held);
        QCoreApplication::processEvents();
        QVERIFY(m_run->platform.mailboxes.script.calls().isEmpty());
        QVERIFY(!m_run->app->mailWatch().checking());
        // Asked again meanwhile: told, not queued twice.
        w->CmdCheck_Click();
        QCOMPARE(w->StatusMain->currentMessage(), mailtext::StillCheckingStatus);
        m_store->held();
        QTRY_COMPARE(m_run->platform.mailboxes.script.calls().value(0),
                     QStringLiteral("OpenMailbox pop.example.org||stored"));
        QTRY_VERIFY(!m_run->app->mailWatch().checking());
        QCOMPARE(m_run->platform.mailboxes.script.calls().filter(QStringLiteral("OpenMailbox")).size(), 1);
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
        QCOMPARE(QFile::permissions(file) & ~(QFile::ReadUser | QFile::WriteUser), ownerOnly);
        QVERIFY(m_run->settings.write("Kestrova", "User", "Name", "Someone"));
        QCOMPARE(plain(), QStringLiteral("plain two"));
        QCOMPARE(QFile::permissions(file) & ~(QFile::ReadUser | QFile::WriteUser), ownerOnly);
    }

    // The desktop's own store, through QtKeychain.
    void realSecretStore()
    {
        KeychainPasswordStore store(10000);
        QElapsedTimer clock;
        clock.start();
        const bool secure = store.isSecure();
        if (qEnvironmentVariableIsSet("KESTROVA_EXPECT_NO_SECRET_STORE")) {
            // No session bus at all: the answer comes at once, and says no.
            QVERIFY(!secure);
            QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
            return;
        }
        QVERIFY2(secure, "no secret store answered: run under with_keyring.sh");
        const QString key = QStringLiteral("test-%1").arg(QCoreApplication::applicationPid());
        QCOMPARE(store.read(key), std::optional<QString>(QString()));
        QVERIFY(store.write(key, QStringLiteral("p\u00e4ss w0rd")));
        QCOMPARE(store.read(key), std::optional<QString>(QStringLiteral("p\u00e4ss w0rd")));
        QVERIFY(store.write(key, QStringLiteral("second")));
        QCOMPARE(store.read(key), std::optional<QString>(QStringLiteral("second")));
        QVERIFY(store.remove(key));
        QCOMPARE(store.read(key), std::optional<QString>(QString()));
        // Without waiting: the answer comes through the event loop.
        QVERIFY(store.write(key, QStringLiteral("later")));
        KeychainPasswordStore fresh(10000);
        std::optional<PasswordStore::Answer> answer;
        QObject context;
        fresh.readLater(key, &context, [&answer](const PasswordStore::Answer &a) { answer = a; });
        QTRY_VERIFY(answer.has_value());
        QVERIFY(answer->secure);
        QCOMPARE(answer->password, std::optional<QString>(QStringLiteral("later")));
        QVERIFY(store.remove(key));
    }

    // With no session bus, an answer without waiting says there is no store
    // (the password is then the plain setting), not that reading failed.
    void readLaterWithoutAStore()
    {
        if (!qEnvironmentVariableIsSet("KESTROVA_EXPECT_NO_SECRET_STORE"))
            QSKIP("runs where no session bus is");
        KeychainPasswordStore store(10000);
        std::optional<PasswordStore::Answer> answer;
        QObject context;
        store.readLater(QStringLiteral("Mail/3"), &context, [&answer](const PasswordStore::Answer &a) { answer = a; });
        QTRY_VERIFY(answer.has_value());
        QVERIFY2(!answer->secure, qPrintable(answer->error));
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
