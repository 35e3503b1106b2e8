// The mailbox comes from a module the program loads at the first check:
// found beside the program it is the real one; missing or broken, every
// check fails at once with a problem the status bar names, and nothing is
// sent anywhere.

#include "MailCheck.h"
#include "MailTexts.h"
#include "MailboxModule.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace kestrova;

namespace {

// What the character was asked to do during the check.
class RecordingSink : public MailSink {
public:
    QStringList done;
    void AgentVisible() override { done << QStringLiteral("AgentVisible"); }
    void Play(const QString &animation) override { done << animation; }
    void Speak(const QString &text) override { done << text; }
};

} // namespace

class TestMailModule : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void theModuleBesideTheProgramIsTheMailbox()
    {
        MailboxModule module({QStringLiteral(KESTROVA_PROGRAM_DIR)});
        std::unique_ptr<Mailbox> box = module.create();
        QVERIFY(box);
        // The real mailbox tells a missing server from everything else.
        box->setHostName(QString());
        box->OpenMailbox();
        QVERIFY(box->LastError() != 0);
        QCOMPARE(box->Problem(), MailProblem::NoServer);
        // A second check uses the module already loaded.
        QVERIFY(module.create());
    }

    void missingOrBrokenModuleFailsTheCheck_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("not a library") << QByteArray("\x7f" "ELF garbage, not a shared object");
    }
    void missingOrBrokenModuleFailsTheCheck()
    {
        QFETCH(QByteArray, contents);
        QTemporaryDir dir;
        if (!contents.isEmpty()) {
            QFile file(dir.filePath(QString::fromLatin1(MailboxModule::FileName)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(contents);
        }
        MailboxModule module({dir.path()});
        for (int check = 0; check < 2; ++check) {
            std::unique_ptr<Mailbox> box = module.create();
            QVERIFY(box);
            RecordingSink sink;
            const MailCheckResult result = CheckMail(*box, {QStringLiteral("pop.example.org"), QStringLiteral("u"),
                                                            QStringLiteral("p")}, sink);
            QVERIFY(!result.loggedOn);
            QCOMPARE(result.problem, MailProblem::NotInstalled);
            QCOMPARE(sink.done, QStringList());
            QVERIFY(mailtext::problem(result.problem).contains(QLatin1String(MailboxModule::FileName)));
        }
    }
};

QTEST_GUILESS_MAIN(TestMailModule)
#include "test_mail_module.moc"
