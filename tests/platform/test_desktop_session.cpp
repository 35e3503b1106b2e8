// Which desktop family runs, told from the environments real sessions set:
// every part of the program gets the same answer from it.
#include "DesktopLook.h"
#include "DesktopSession.h"
#include "WindowPlacement.h"

#include <QTest>

using namespace kestrova;
using DesktopSession::Family;

Q_DECLARE_METATYPE(kestrova::DesktopSession::Family)

class TestDesktopSession : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void family_data();
    void family();
};

void TestDesktopSession::family_data()
{
    QTest::addColumn<QStringList>("variables"); // NAME=value
    QTest::addColumn<Family>("family");
    QTest::addColumn<bool>("kde");

    QTest::newRow("Plasma") << QStringList{"XDG_CURRENT_DESKTOP=KDE", "KDE_FULL_SESSION=true", "DESKTOP_SESSION=plasma"}
                            << Family::Kde << true;
    QTest::newRow("Plasma, KDE_FULL_SESSION alone") << QStringList{"KDE_FULL_SESSION=true"} << Family::Kde << true;
    // Any value counts, as it does for Qt's own choice of theme.
    QTest::newRow("KDE_FULL_SESSION=1") << QStringList{"KDE_FULL_SESSION=1"} << Family::Kde << true;
    QTest::newRow("KDE named alone") << QStringList{"XDG_CURRENT_DESKTOP=KDE"} << Family::Kde << true;
    QTest::newRow("KDE named in a list, lower case") << QStringList{"XDG_CURRENT_DESKTOP=X-Generic:kde"} << Family::Kde
                                                     << true;
    QTest::newRow("empty KDE_FULL_SESSION") << QStringList{"KDE_FULL_SESSION="} << Family::Other << false;
    // Plasma with i3 in place of KWin: the window manager tiles.
    QTest::newRow("Plasma with i3")
        << QStringList{"XDG_CURRENT_DESKTOP=KDE", "KDE_FULL_SESSION=true", "I3SOCK=/run/user/1000/i3/ipc-socket.7"}
        << Family::Tiling << true;
    QTest::newRow("sway") << QStringList{"XDG_CURRENT_DESKTOP=sway", "SWAYSOCK=/run/user/1000/sway-ipc.1000.42.sock",
                                         "I3SOCK=/run/user/1000/sway-ipc.1000.42.sock"}
                          << Family::Tiling << false;
    QTest::newRow("sway, no desktop name") << QStringList{"SWAYSOCK=/run/user/1000/sway-ipc.1000.42.sock"}
                                           << Family::Tiling << false;
    QTest::newRow("i3 named") << QStringList{"XDG_CURRENT_DESKTOP=i3"} << Family::Tiling << false;
    QTest::newRow("sway started from GNOME") << QStringList{"XDG_CURRENT_DESKTOP=GNOME", "SWAYSOCK=/run/sway.sock"}
                                             << Family::Tiling << false;
    QTest::newRow("Ubuntu") << QStringList{"XDG_CURRENT_DESKTOP=ubuntu:GNOME", "DESKTOP_SESSION=ubuntu",
                                           "GNOME_SHELL_SESSION_MODE=ubuntu"}
                            << Family::Gnome << false;
    QTest::newRow("GNOME Classic") << QStringList{"XDG_CURRENT_DESKTOP=GNOME-Classic:GNOME"} << Family::Gnome << false;
    QTest::newRow("older GNOME, DESKTOP_SESSION") << QStringList{"DESKTOP_SESSION=gnome"} << Family::Gnome << false;
    QTest::newRow("older GNOME, session id") << QStringList{"GNOME_DESKTOP_SESSION_ID=this-is-deprecated"}
                                             << Family::Gnome << false;
    // The current desktop's name counts before what an older session left.
    QTest::newRow("XFCE over a stale DESKTOP_SESSION") << QStringList{"XDG_CURRENT_DESKTOP=XFCE", "DESKTOP_SESSION=gnome"}
                                                       << Family::Other << false;
    QTest::newRow("Cinnamon") << QStringList{"XDG_CURRENT_DESKTOP=X-Cinnamon"} << Family::Other << false;
    QTest::newRow("nothing set") << QStringList{} << Family::Other << false;
    QTest::newRow("names matched whole") << QStringList{"XDG_CURRENT_DESKTOP=swayfx-like:i3wm:KDE4:GNOME-ish"}
                                         << Family::Other << false;
}

void TestDesktopSession::family()
{
    QFETCH(QStringList, variables);
    QFETCH(Family, family);
    QFETCH(bool, kde);
    QProcessEnvironment environment;
    DesktopLook::ThemeChoice choice;
    for (const QString &variable : variables) {
        const qsizetype equals = variable.indexOf(u'=');
        const QString name = variable.left(equals), value = variable.mid(equals + 1);
        environment.insert(name, value);
        if (name == u"XDG_CURRENT_DESKTOP")
            choice.currentDesktop = value;
        if (name == u"KDE_FULL_SESSION")
            choice.kdeSession = !value.isEmpty();
    }
    const DesktopSession::Session session = DesktopSession::of(environment);
    QCOMPARE(session.family, family);
    QCOMPARE(session.kde, kde);
    // The look and the placement of windows take the same answer.
    QCOMPARE(DesktopLook::isKde(choice), kde);
    QCOMPARE(WindowPlacement::tilingDesktop(environment), family == Family::Tiling);
}

QTEST_GUILESS_MAIN(TestDesktopSession)
#include "test_desktop_session.moc"
