// Every window of the program on a 1024x768 screen, at scale 1 and 2 (the
// test runs once for each; QT_SCALE_FACTOR gives the scale), opened the way
// the user opens it and walked through its pages: the frame stays inside
// the screen, the window keeps one size from page to page, each label has
// room for its text (its width, or the height its wrapped lines need) and
// no button is cut; Enter presses the default button where there is one.
#include "ProgramWindows.h"
#include "TestRun.h"
#include "WindowFit.h"
#include "WindowKeys.h"

#include "ApplicationChooser.h"
#include "DesktopApplications.h"
#include "FrmTour.h"
#include "MailTexts.h"
#include "SystemPlatform.h"
#include "desktop/Balloon.h"
#include "desktop/CharacterChooser.h"
#include "desktop/CharacterOptionsDialog.h"
#include "desktop/CommandsWindow.h"
#include "desktop/ListeningPrompt.h"
#include "desktop/VoiceEnrolmentWindow.h"
#include "SpeechRecognizer.h"

#include <QApplication>
#include <QAbstractItemView>
#include <QComboBox>
#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace kestrova;
using kestrova::test::TestRun;
using kestrova::test::fitFaults;

namespace {

void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// A window looked at: how to open it, and how to go through its pages
// (none: it has one).
struct Look {
    QString name;
    std::function<QWidget *(TestRun &, std::vector<std::unique_ptr<QWidget>> &)> open;
    int pages = 1;
    std::function<void(QWidget *, int)> showPage = {};
    // Enter presses a default button there.
    bool hasDefault = false;
};

template <class W>
QWidget *kept(std::vector<std::unique_ptr<QWidget>> &own, W *w)
{
    own.emplace_back(w);
    w->show();
    return w;
}

const QString LongSentence = QStringLiteral(
    "Good afternoon! You have three new messages: one from the garden club about Saturday's plant sale, "
    "one from your sister with the photographs of the holiday, and a long one from the bank that I would "
    "rather you read yourself.");

QList<Look> looks()
{
    QList<Look> out;
    for (const kestrova::test::WindowCase &c : kestrova::test::cases()) {
        auto open = c.open;
        out << Look{c.name, [open](TestRun &r, auto &) { return open(r); }, 1, {}, c.hasDefault};
    }
    out << Look{"tour, every page", [](TestRun &r, auto &) { return static_cast<QWidget *>(r.app->frmTour()); }, 4,
                [](QWidget *w, int page) {
                    auto *tour = static_cast<FrmTour *>(w);
                    while (tour->currentPage() < page)
                        tour->CmdCollection_Click(1);
                }, true}; // Finish, on the last page
    // The mail page with its longest texts at once: the secret store
    // unavailable, a changed certificate offered, the status line busy.
    out << Look{"options: mail, every note shown", [](TestRun &r, auto &) {
                    return kestrova::test::optionsOn(r, 1, [](FrmMain *w) {
                        w->LblPassStore->setText(mailtext::passwordNotSaved(
                            QStringLiteral("The secret store did not answer within ten seconds; it may be locked "
                                           "or waiting for its password.")));
                        w->LblCertificate->setText(mailtext::untrustedCertificate(
                            QStringLiteral("SHA-256 3A:5F:9C:12:7B:E4:0D:88:61:AF:2C:93:4E:B7:15:D0:6A:F2:"
                                           "38:C9:0B:7E:54:A1:DD:36:8F:02:E9:47:BC:13"),
                            true));
                        w->LblCertificate->show();
                        w->CmdTrustCert->setText(mailtext::TrustCaption);
                        w->CmdTrustCert->show();
                        w->StatusMain->showMessage(mailtext::PasswordUnavailableStatus);
                    });
                }, 1, {}, true};
    out << Look{"character options, every tab", [](TestRun &, auto &own) {
                    auto *sheet = new character::CharacterOptionsDialog;
                    sheet->setSettings(character::CharacterServiceSettings());
                    return kept(own, sheet);
                }, 5,
                [](QWidget *w, int page) {
                    auto *tabs = static_cast<character::CharacterOptionsDialog *>(w)->tabs();
                    QVERIFY(page < tabs->count());
                    tabs->setCurrentIndex(page);
                }, true};
    out << Look{"character chooser", [](TestRun &r, auto &own) {
                    return kept(own, new character::CharacterChooser(r.app->context().programDir, QStringLiteral("Kess")));
                }, 1, {}, true};
    out << Look{"application chooser", [](TestRun &, auto &own) {
                    QList<DesktopEntry> apps;
                    for (const char *name : {"Text Editor", "Calculator", "LibreOffice Writer: the word processor "
                                             "of the office suite, for letters and long documents"}) {
                        DesktopEntry e;
                        e.name = QString::fromUtf8(name);
                        e.comment = QStringLiteral("Does what its name says");
                        apps << e;
                    }
                    auto *chooser = new ApplicationChooser(apps, QStringLiteral("Choose a Program"),
                                                           [] { return QString(); });
                    chooser->list()->setCurrentRow(0);
                    return kept(own, chooser);
                }, 1, {}, true};
    out << Look{"commands window", [](TestRun &r, auto &own) {
                    return kept(own, new character::CommandsWindow(r.character().commands(), QStringLiteral("Kess")));
                }};
    out << Look{"voice enrolment", [](TestRun &, auto &own) {
                    static QTemporaryDir folder;
                    auto *w = new character::VoiceEnrolmentWindow([] { return nullptr; }, folder.path() + "/rec",
                                                                  folder.path() + "/profile");
                    w->setCommands({character::VoiceCommand{QStringLiteral("Mail"), QStringLiteral("check my mail"), false}});
                    return kept(own, w);
                }, 1, {}, true};
    out << Look{"balloon with a long sentence", [](TestRun &, auto &own) {
                    auto *b = new character::Balloon;
                    own.emplace_back(b);
                    b->showText(LongSentence, character::Balloon::Style::Speech, QPoint(800, 560),
                                QRect(750, 560, 128, 128));
                    b->revealAll();
                    return static_cast<QWidget *>(b);
                }};
    out << Look{"listening prompt with three guesses", [](TestRun &, auto &own) {
                    auto *p = new character::ListeningPrompt;
                    own.emplace_back(p);
                    p->open(QRect(750, 560, 128, 128));
                    p->ask(QStringLiteral("Did you mean one of these?"),
                           {QStringLiteral("Check Mail"), QStringLiteral("Open the Calendar"),
                            QStringLiteral("The Weekly News of the Valley and the Hills")});
                    return static_cast<QWidget *>(p);
                }};
    return out;
}

} // namespace

class TestEveryWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void everyWindow_data();
    void everyWindow();
    void voicePopup();
    void messageBox();
    void fileDialog();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestRun> m_run;
};

void TestEveryWindow::initTestCase()
{
    QCOMPARE(QGuiApplication::primaryScreen()->geometry().size() * QGuiApplication::primaryScreen()->devicePixelRatio(),
             QSize(1024, 768));
}

void TestEveryWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_run = std::make_unique<TestRun>(m_dir->path());
    m_run->app->Main();
    m_run->app->tipWindow()->close();
    settle();
}

void TestEveryWindow::cleanup()
{
    m_run.reset();
    settle();
    m_dir.reset();
}

void TestEveryWindow::everyWindow_data()
{
    // The toolkit's font, and the larger one a desktop may give.
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("pointSize");
    const QList<Look> all = looks();
    for (int font : {0, 11})
        for (int i = 0; i < all.size(); ++i)
            QTest::addRow("%s%s", all.at(i).name.toUtf8().constData(), font ? ", 11 pt" : "") << i << font;
}

void TestEveryWindow::everyWindow()
{
    QFETCH(int, index);
    QFETCH(int, pointSize);
    const kestrova::test::ApplicationFontSize font(pointSize);
    const Look look = looks().at(index);
    std::vector<std::unique_ptr<QWidget>> own;
    QWidget *window = look.open(*m_run, own);
    QVERIFY(window && window->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QSize first;
    for (int page = 0; page < look.pages; ++page) {
        if (look.showPage)
            look.showPage(window, page);
        settle();
        const QString where = QStringLiteral("%1, page %2").arg(look.name).arg(page + 1);
        if (!first.isValid())
            first = window->frameGeometry().size();
        QVERIFY2(window->frameGeometry().size() == first,
                 qPrintable(QStringLiteral("%1: %2x%3, the first page %4x%5").arg(where)
                                .arg(window->width()).arg(window->height()).arg(first.width()).arg(first.height())));
        const QStringList faults = fitFaults(window, where);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    }

    // Enter, from where the keyboard is, presses the default button once.
    QPushButton *button = WindowKeys::defaultButton(window);
    QCOMPARE(button != nullptr, look.hasDefault);
    if (!button)
        return;
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QWidget *from = QApplication::focusWidget() && QApplication::focusWidget()->window() == window
        ? QApplication::focusWidget() : window;
    if (qobject_cast<QAbstractButton *>(from) && from != button)
        from = window;
    QSignalSpy pressed(button, &QAbstractButton::clicked);
    QTest::keyClick(from, Qt::Key_Return);
    QCOMPARE(pressed.count(), 1);
}

// The voices' list opened, with as many voices as a speech server may
// offer: inside the screen, a screenful of rows at most, as wide as the
// names need and no wider than the screen.
void TestEveryWindow::voicePopup()
{
    character::CharacterOptionsDialog sheet;
    sheet.setSettings(character::CharacterServiceSettings());
    character::CharacterOptionsDialog::VoiceList voices;
    for (int i = 0; i < 400; ++i)
        voices.push_back({QStringLiteral("qt:speechd:voice%1").arg(i),
                          QStringLiteral("Bishnupriya Manipuri+Adam %1 (speechd, Female)").arg(i),
                          i % 2 ? QStringLiteral("de_DE") : QStringLiteral("en_GB")});
    sheet.addSystemVoices(voices);
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    QComboBox *combo = sheet.voiceCombo();
    combo->showPopup();
    QWidget *popup = combo->view()->window();
    QTRY_VERIFY(popup->isVisible());
    const QStringList faults = fitFaults(popup, QStringLiteral("the voices' list"));
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    const int rows = popup->height() / std::max(1, combo->view()->sizeHintForRow(1));
    QVERIFY2(rows <= combo->maxVisibleItems() + 1,
             qPrintable(QStringLiteral("%1 px high: %2 rows, at most %3").arg(popup->height()).arg(rows)
                            .arg(combo->maxVisibleItems())));
    combo->hidePopup();
}

// The program's message box, with the longest sentence it shows; Enter
// closes it.
void TestEveryWindow::messageBox()
{
    QStringList faults;
    bool seen = false;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen = true;
        faults = fitFaults(box, QStringLiteral("message box"));
        QTest::keyClick(box, Qt::Key_Return);
    });
    QTimer::singleShot(5000, this, [] {
        if (QWidget *w = QApplication::activeModalWidget())
            w->close();
    });
    SystemMessageBox().show(mailtext::PasswordUnavailableStatus + QLatin1Char(' ') + LongSentence,
                            QStringLiteral("Kestrova"));
    QVERIFY(seen);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
}

// The file dialog the program shows for a file of the user's choice.
void TestEveryWindow::fileDialog()
{
    QStringList faults;
    bool seen = false;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seen = true;
        faults = fitFaults(dialog, QStringLiteral("file dialog"));
        dialog->reject();
    });
    QTimer::singleShot(5000, this, [] {
        if (QWidget *w = QApplication::activeModalWidget())
            w->close();
    });
    SystemOpenFileDialog().getOpenFileName(QStringLiteral("Choose a Picture"), QStringLiteral("Pictures|*.png"),
                                           QString());
    QVERIFY(seen);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
}

KESTROVA_TEST_MAIN_1024X768(TestEveryWindow)

#include "test_every_window.moc"
