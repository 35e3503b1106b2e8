// The options window on a 1024x768 screen, at scale 1 and 2 (the test runs
// once for each; QT_SCALE_FACTOR gives the scale): every tab shown in turn
// keeps the window inside the screen and at one size, no wider than a page
// of short lines needs (long texts wrap), each label that does not wrap has
// room for its text and each that wraps the height for its lines.
#include "FrmMain.h"
#include "TestRun.h"
#include "WindowFit.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrova;
using kestrova::test::TestRun;

class TestOptionsFit : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyTabFits();
};

void TestOptionsFit::everyTabFits()
{
    // A sensible width for the window, frame included.
    constexpr int MaxWidth = 700;
    QTemporaryDir dir;
    QDir().mkpath(dir.path() + "/bin");
    TestRun run(dir.path() + "/settings", "Kess", dir.path() + "/bin");
    run.settings.write("Kestrova", "Run", "Number", "4");
    run.app->Main();
    FrmMain *w = run.app->frmMain();
    QCOMPARE(w->screen()->geometry().size() * w->screen()->devicePixelRatio(), QSize(1024, 768));
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QSize first;
    for (int tab = 0; tab < w->TabStrip1->count(); ++tab) {
        QTest::mouseClick(w->TabStrip1, Qt::LeftButton, {}, w->TabStrip1->tabRect(tab).center());
        QCoreApplication::processEvents();
        const QString name = w->TabStrip1->tabText(tab).remove(u'&');
        const QRect frame = w->frameGeometry();
        if (!first.isValid())
            first = frame.size();
        // Long captions wrap rather than widen the window (its logical
        // width: at scale 2 the screen bounds it anyway).
        QVERIFY2(frame.width() <= MaxWidth, qPrintable(QStringLiteral("%1: %2 px wide, at most %3")
                                                          .arg(name).arg(frame.width()).arg(MaxWidth)));
        QVERIFY2(frame.size() == first, qPrintable(QStringLiteral("%1: %2x%3, first tab %4x%5")
                                                       .arg(name).arg(frame.width()).arg(frame.height())
                                                       .arg(first.width()).arg(first.height())));
        const QStringList faults = kestrova::test::fitFaults(w, name);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    }
}

KESTROVA_TEST_MAIN_1024X768(TestOptionsFit)

#include "test_options_fit.moc"
