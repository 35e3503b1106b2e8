// The options window on a 1024x768 screen, at scale 1 and 2 (the test runs
// once for each; QT_SCALE_FACTOR gives the scale): every tab shown in turn
// keeps the window inside the screen and at one size, no wider than a page
// of short lines needs (long texts wrap), each label that does not wrap has
// room for its text and each that wraps the height for its lines.
#include "FrmMain.h"
#include "TestRun.h"

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
    const QRect screen = w->screen()->availableGeometry();
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
        QVERIFY2(screen.contains(frame), qPrintable(QStringLiteral("%1: %2,%3 %4x%5 outside %6x%7")
                                                        .arg(name).arg(frame.x()).arg(frame.y())
                                                        .arg(frame.width()).arg(frame.height())
                                                        .arg(screen.width()).arg(screen.height())));
        // Long captions wrap rather than widen the window (its logical
        // width: at scale 2 the screen bounds it anyway).
        QVERIFY2(frame.width() <= MaxWidth, qPrintable(QStringLiteral("%1: %2 px wide, at most %3")
                                                          .arg(name).arg(frame.width()).arg(MaxWidth)));
        QVERIFY2(frame.size() == first, qPrintable(QStringLiteral("%1: %2x%3, first tab %4x%5")
                                                       .arg(name).arg(frame.width()).arg(frame.height())
                                                       .arg(first.width()).arg(first.height())));
        for (const QLabel *label : w->findChildren<QLabel *>()) {
            if (!label->isVisible() || label->text().isEmpty())
                continue;
            if (label->wordWrap()) {
                QVERIFY2(label->height() >= label->heightForWidth(label->width()),
                         qPrintable(QStringLiteral("%1: \"%2\" needs %3 px high, has %4")
                                        .arg(name, label->text()).arg(label->heightForWidth(label->width()))
                                        .arg(label->height())));
                continue;
            }
            if (label->textFormat() == Qt::RichText)
                continue;
            const QString text = QString(label->text()).remove(u'&');
            const int needed = label->fontMetrics().horizontalAdvance(text);
            QVERIFY2(needed <= label->contentsRect().width(),
                     qPrintable(QStringLiteral("%1: \"%2\" needs %3 px, has %4")
                                    .arg(name, text).arg(needed).arg(label->contentsRect().width())));
        }
        for (const QAbstractButton *button : w->findChildren<QAbstractButton *>()) {
            if (!button->isVisible() || button->text().isEmpty())
                continue;
            QVERIFY2(button->width() >= button->minimumSizeHint().width(),
                     qPrintable(QStringLiteral("%1: \"%2\" is cut").arg(name, button->text())));
        }
    }
}

int main(int argc, char **argv)
{
    // A screen of 1024x768 device pixels.
    QTemporaryDir config;
    const QString file = config.path() + "/screen.json";
    QFile json(file);
    if (!json.open(QIODevice::WriteOnly))
        return 2;
    json.write(R"({"screens": [{"name": "s", "x": 0, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    json.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + file).toLocal8Bit());
    QApplication app(argc, argv);
    TestOptionsFit test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_options_fit.moc"
