// The quit while something waits for the user in an event loop of its own
// (a dialog's exec(), a menu's): however the quit comes (the signal's
// handler, the status icon's Quit, the spoken or typed command), the dialog
// is answered "Cancel", its caller goes on in a window that is still there,
// and the windows go once control is back in the main event loop. The test
// runs each case inside an event loop of its own, as the program runs in
// QApplication::exec().

#include "FrmMain.h"
#include "FrmMenus.h"
#include "FrmOpen.h"
#include "FrmQuick.h"
#include "StatusIcon.h"
#include "TestRun.h"
#include "Waits.h"

#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace kestrova;
using namespace kestrova::test;

class TestQuitWaits : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void quitWhileADialogWaits_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("way");
        const QStringList dialogs{"mail save's box", "character chooser", "open/run browse", "office browse",
                                  "toolbar menu"};
        for (const QString &dialog : dialogs)
            for (const QString way : {"signal", "status icon", "quit command"})
                QTest::newRow(qPrintable(dialog + ", " + way)) << dialog << way;
    }

    void quitWhileADialogWaits()
    {
        QFETCH(QString, dialog);
        QFETCH(QString, way);
        TestRun run(m_dir->path());
        run.settings.write("Kestrova", "Run", "Number", "4");
        QSignalSpy finished(run.app.get(), &Application::finished);
        run.app->Main();
        run.character().completeAll();
        StatusIcon icon(*run.app);
        // The whole farewell ends within the quit, while the dialog still
        // waits: the windows must go all the same, later.
        auto quit = [&] {
            if (way == "signal")
                run.app->agentForm()->AgentQuit();
            else if (way == "status icon")
                icon.quitAction()->trigger();
            else
                Q_EMIT run.service.command({"Quit", 100, "quit"});
            run.character().completeAll();
        };
        Waited waited;
        QPointer<QWidget> owner;
        inMainLoop([&] {
            if (dialog == "mail save's box") {
                FrmMain *w = run.app->frmMain();
                owner = w;
                w->TxtServer->setText("pop.example.org");
                w->TxtChkInterval->setText("10");
                w->show();
                run.platform.messageBox.whileShown = [&] { waited = waitIn(w, quit); };
                w->CmdSave_Click();
            } else if (dialog == "character chooser") {
                FrmMenus *w = run.app->frmMenus();
                owner = w;
                run.service.whileChoosing = [&] { waited = waitIn(w, quit); };
                w->MnuChangeAgent_Click();
            } else if (dialog == "open/run browse") {
                FrmOpen *w = run.app->frmOpen();
                owner = w;
                w->show();
                run.platform.openFileDialog.answers = QStringList{"/usr/bin/true"};
                run.platform.openFileDialog.whileOpen = [&] { waited = waitIn(w, quit); };
                w->CmdButton_Click(1);
                // The chosen file reached the window, which was still there.
                QCOMPARE(w->TxtOpen->text(), QString("/usr/bin/true"));
            } else if (dialog == "office browse") {
                FrmMain *w = run.app->frmMain();
                owner = w;
                w->show();
                run.platform.openFileDialog.whileOpen = [&] { waited = waitIn(w, quit); };
                w->CmdOfficeBrowse_Click(0);
            } else {
                FrmQuick *w = run.app->frmQuick();
                owner = w;
                w->show();
                waited = waitIn(w, quit, true);
            }
            // Back in the main loop the windows go.
            (void)QTest::qWaitFor([&] { return finished.count() > 0; }, 5000);
        });
        run.platform.messageBox.whileShown = nullptr;
        run.service.whileChoosing = nullptr;
        run.platform.openFileDialog.whileOpen = nullptr;
        QVERIFY(waited.opened);
        QVERIFY2(!waited.outlasted, "the quit did not end the dialog");
        QCOMPARE(waited.result, int(QDialog::Rejected));
        QVERIFY2(waited.ownerThereAfter, "the window went while its dialog's exec() still ran");
        QCOMPARE(finished.count(), 1);
        QCOMPARE(run.app->forms().count(), 0);
        QCOMPARE(run.service.calls.filter("Unload"), QStringList{"Unload default"});
        QTRY_VERIFY(owner.isNull());
        QVERIFY(!QApplication::activeModalWidget());
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(TestQuitWaits)
#include "test_quit_waits.moc"
