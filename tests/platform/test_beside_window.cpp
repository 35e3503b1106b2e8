// Where the character stands to talk about a window (the tour's): beside it,
// and never on the controls of the program's other windows open beside it.
#include "BesideWindow.h"

#include <QTest>

using namespace kestrova;

class TestBesideWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void clearOfOtherWindows();
    void nothingInTheWay();
};

namespace {

const QSize Character(128, 128);
const QRect Screen(0, 0, 1280, 800);

// A dialog with its text at the top and a row of buttons at the bottom
// right, as the Tip of the Day is.
WindowPlacement::WindowParts dialogAt(const QRect &frame)
{
    WindowPlacement::WindowParts parts;
    parts.windows << frame;
    parts.read << QRect(frame.left() + 10, frame.top() + 40, frame.width() - 20, frame.height() - 100);
    parts.worked << QRect(frame.right() - 180, frame.bottom() - 40, 80, 30)  // Next Tip
                 << QRect(frame.right() - 90, frame.bottom() - 40, 80, 30)   // OK
                 << QRect(frame.left() + 10, frame.bottom() - 40, 160, 24); // Show tips at startup
    return parts;
}

bool beside(const QRect &character, const QRect &window)
{
    return !character.intersects(window)
        && (character.left() == window.right() + 1 || character.right() + 1 == window.left()
            || character.top() == window.bottom() + 1 || character.bottom() + 1 == window.top());
}

} // namespace

void TestBesideWindow::clearOfOtherWindows()
{
    const QRect tour(300, 200, 420, 300);
    const QPoint preferred(tour.right() + 1, tour.top());
    struct Case {
        const char *name;
        QRect other;
    } cases[] = {
        // Its Next Tip button where the character would stand, right of the
        // tour's top corner.
        {"buttons where the character would stand", QRect(560, 100, 400, 240)},
        // Its text there, the buttons lower down.
        {"text where the character would stand", QRect(700, 150, 480, 400)},
        // Right of the tour down to the screen's bottom: left of it is free.
        {"the whole right side taken", QRect(721, 0, 559, 800)},
    };
    for (const Case &c : cases) {
        const WindowPlacement::WindowParts others = dialogAt(c.other);
        const QPoint at = WindowPlacement::besideClearOf(tour, preferred, Character, Screen, others);
        const QRect character(at, Character);
        const WindowPlacement::Covered covered = WindowPlacement::coveredBy(character, QRect(), others);
        QVERIFY2(covered.worked == 0 && covered.read == 0,
                 qPrintable(QStringLiteral("%1: at %2 %3 it covers %4 px of controls, %5 of text")
                                .arg(c.name).arg(at.x()).arg(at.y()).arg(covered.worked).arg(covered.read)));
        QVERIFY2(beside(character, tour), c.name);
        QVERIFY2(Screen.contains(character), c.name);
    }
}

void TestBesideWindow::nothingInTheWay()
{
    // With nothing beside the tour, or another window elsewhere, it goes
    // where it was first meant to.
    const QRect tour(300, 200, 420, 300);
    const QPoint preferred(tour.right() + 1, tour.top());
    QCOMPARE(WindowPlacement::besideClearOf(tour, preferred, Character, Screen, {}), preferred);
    QCOMPARE(WindowPlacement::besideClearOf(tour, preferred, Character, Screen, dialogAt(QRect(20, 520, 400, 250))),
             preferred);
    // The tour's own parts are no reason to move.
    QCOMPARE(WindowPlacement::besideClearOf(tour, preferred, Character, Screen, dialogAt(tour)), preferred);
}

QTEST_GUILESS_MAIN(TestBesideWindow)
#include "test_beside_window.moc"
