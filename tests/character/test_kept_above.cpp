// The character as a window the window manager does not manage (as on a
// tiling desktop), on an X server of its own with no window manager: the
// X server's stacking order, which decides where a click goes, keeps it over
// the windows another client maps or raises, and under popups.
#include <QMenu>
#include <QTest>

#include "desktop/CharacterWindow.h"

#include <xcb/xcb.h>

using namespace kestrova::character;

class TestKeptAbove : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void staysOverWindowsMappedOrRaisedOverIt();
    void popupsStayOverIt();

private:
    // Another program's window over the character's place.
    xcb_window_t otherWindow(bool popup);
    // The root window's children, bottom first, as another client sees them.
    QList<xcb_window_t> stacking();
    bool over(xcb_window_t upper, xcb_window_t lower);
    void raiseOther(xcb_window_t window);

    xcb_connection_t *m_other = nullptr;
    xcb_screen_t *m_screen = nullptr;
    ShapedWindow *m_character = nullptr;
    xcb_window_t m_characterId = XCB_WINDOW_NONE;
};

void TestKeptAbove::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (run under tests/app/under_xvfb.sh)");
    // A tiling desktop: the character is a window no window manager
    // manages. Read when the first such window is made.
    qputenv("I3SOCK", "/nonexistent/i3-ipc");
    m_other = xcb_connect(nullptr, nullptr);
    QVERIFY(!xcb_connection_has_error(m_other));
    m_screen = xcb_setup_roots_iterator(xcb_get_setup(m_other)).data;

    QImage image(120, 140, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::darkBlue);
    m_character = new ShapedWindow;
    QVERIFY(m_character->windowFlags() & Qt::X11BypassWindowManagerHint);
    m_character->setFrame(image);
    m_character->place(QPoint(200, 200));
    m_character->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_character));
    m_characterId = xcb_window_t(m_character->winId());
}

void TestKeptAbove::cleanupTestCase()
{
    delete m_character;
    if (m_other)
        xcb_disconnect(m_other);
}

xcb_window_t TestKeptAbove::otherWindow(bool popup)
{
    const xcb_window_t window = xcb_generate_id(m_other);
    const uint32_t values[] = {m_screen->white_pixel, popup ? 1u : 0u};
    xcb_create_window(m_other, XCB_COPY_FROM_PARENT, window, m_screen->root, 150, 150, 300, 300, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, m_screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(m_other, window);
    xcb_flush(m_other);
    return window;
}

QList<xcb_window_t> TestKeptAbove::stacking()
{
    QList<xcb_window_t> children;
    xcb_query_tree_reply_t *tree = xcb_query_tree_reply(m_other, xcb_query_tree(m_other, m_screen->root), nullptr);
    if (!tree)
        return children;
    const xcb_window_t *ids = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree); ++i)
        children << ids[i];
    free(tree);
    return children;
}

bool TestKeptAbove::over(xcb_window_t upper, xcb_window_t lower)
{
    const QList<xcb_window_t> order = stacking();
    return order.contains(upper) && order.contains(lower) && order.indexOf(upper) > order.indexOf(lower);
}

void TestKeptAbove::raiseOther(xcb_window_t window)
{
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(m_other, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_flush(m_other);
}

void TestKeptAbove::staysOverWindowsMappedOrRaisedOverIt()
{
    // Mapped after the character, the window starts over it.
    const xcb_window_t tiled = otherWindow(false);
    QTRY_VERIFY2_WITH_TIMEOUT(over(m_characterId, tiled), "the character goes over a window mapped after it", 5000);

    // Raised by its window manager (as one raises the window it focuses).
    raiseOther(tiled);
    QTRY_VERIFY2_WITH_TIMEOUT(over(m_characterId, tiled), "the character goes over a window raised over it", 5000);

    // Hidden and shown again, the character is over the others still.
    m_character->hide();
    const xcb_window_t second = otherWindow(false);
    QTRY_VERIFY(stacking().contains(second));
    m_character->show();
    QTRY_VERIFY_WITH_TIMEOUT(over(m_characterId, second) && over(m_characterId, tiled), 5000);

    xcb_destroy_window(m_other, tiled);
    xcb_destroy_window(m_other, second);
    xcb_flush(m_other);
}

void TestKeptAbove::popupsStayOverIt()
{
    // (What the X server told of the windows before is dealt with first.)
    QTest::qWait(300);
    const xcb_window_t tiled = otherWindow(false);
    QTRY_VERIFY_WITH_TIMEOUT(over(m_characterId, tiled), 5000);

    // Another program's menu, opened over the character.
    const xcb_window_t menu = otherWindow(true);
    QTRY_VERIFY(stacking().contains(menu));
    QTest::qWait(300);
    QVERIFY2(over(menu, m_characterId), "another program's popup opened over the character stays over it");

    // The program's own menu, at the character and moved while open.
    QMenu own;
    own.addAction(QStringLiteral("Hide"));
    own.addAction(QStringLiteral("Options..."));
    own.popup(QPoint(230, 230));
    QVERIFY(QTest::qWaitForWindowExposed(&own));
    const auto ownId = xcb_window_t(own.winId());
    own.move(240, 250);
    QTest::qWait(300);
    QVERIFY2(over(ownId, m_characterId), "the program's own popup menu stays over the character");
    own.close();

    // A window manager stacks a window right over the highest of its own
    // (sway's does so), here the menu over the character: the character
    // goes over that window.
    const uint32_t values[] = {menu, XCB_STACK_MODE_ABOVE};
    xcb_configure_window(m_other, tiled, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
    xcb_flush(m_other);
    QTRY_VERIFY2_WITH_TIMEOUT(over(m_characterId, tiled), "the character goes over a window stacked over a popup", 5000);

    xcb_destroy_window(m_other, menu);
    xcb_destroy_window(m_other, tiled);
    xcb_flush(m_other);
}

QTEST_MAIN(TestKeptAbove)
#include "test_kept_above.moc"
