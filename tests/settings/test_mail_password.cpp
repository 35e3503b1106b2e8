// The mail password and where it is kept: the desktop's secret store when
// there is one (a real one here, GNOME Keyring on a private session bus, see
// with_keyring.sh), else the plain setting; a password from before moved
// into the store; a store that refuses it never loses it.

#include "FrmMain.h"
#include "PasswordStore.h"
#include "TestRun.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
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
    QHash<QString, QString> kept;
    // How often the store was asked anything.
    int asked = 0;
    bool isSecure() override
    {
        ++asked;
        return secure;
    }
    std::optional<QString> read(const QString &key, QString *) override
    {
        ++asked;
        return kept.value(key);
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
        QCOMPARE(w->TxtPass->text(), QStringLiteral("old secret"));
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
        QCOMPARE(w->TxtPass->text(), QStringLiteral("stored"));
        QCOMPARE(plain(), QString());

        m_run.reset();
        m_store->asked = 0;
        w = start(QString(), false);
        QCOMPARE(m_store->asked, 0);
        w->CmdCheck_Click();
        QCOMPARE(w->TxtPass->text(), QStringLiteral("stored"));
        QTRY_VERIFY(!m_run->app->mailWatch().checking());
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
