// What the character costs: the processor time of a shipped character
// standing on the desktop, first left alone (idle animations now and then,
// at the program's own timing), then playing its animations one after
// another without a pause, then walking to and fro with its balloon up,
// first with no window of the program open, then beside a window of many
// fields (the balloon keeps off its parts at every step). Run it on a real
// or virtual X display:
//   bench_character_cpu [character folder] [idle seconds] [animating seconds] [walking seconds]
// Defaults: the "kess" folder beside the program, 60 s, 20 s, 20 s.

#include "CharacterCheck.h"
#include "desktop/DesktopCharacter.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QTest>

#include <sys/resource.h>

#include <cstdio>

using namespace kestrova::character;

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the request and waits (at most 10 s) until it completes.
void waitFor(Character &character, const Request &request)
{
    bool done = false;
    QEventLoop wait;
    const auto connection = QObject::connect(&character, &Character::requestComplete, &wait, [&](const Request &r) {
        if (r == request) {
            done = true;
            wait.quit();
        }
    });
    QTimer::singleShot(10000, &wait, &QEventLoop::quit);
    if (!done)
        wait.exec();
    QObject::disconnect(connection);
}

// A window laid out as the options window is: tabs of captioned fields,
// check boxes and buttons.
QDialog *windowOfFields()
{
    auto *window = new QDialog;
    window->setWindowTitle(QStringLiteral("Fields"));
    auto *tabs = new QTabWidget;
    for (int t = 0; t < 6; ++t) {
        auto *page = new QWidget;
        auto *form = new QFormLayout(page);
        for (int f = 0; f < 8; ++f)
            form->addRow(QStringLiteral("Field %1:").arg(f + 1), new QLineEdit(QStringLiteral("text %1").arg(f)));
        form->addRow(new QCheckBox(QStringLiteral("Turn this on")));
        form->addRow(new QLabel(QStringLiteral("A sentence that explains what the page is for.")));
        tabs->addTab(page, QStringLiteral("Page %1").arg(t + 1));
    }
    auto *layout = new QVBoxLayout(window);
    layout->addWidget(tabs);
    auto *buttons = new QHBoxLayout;
    for (const char *caption : {"OK", "Cancel", "Apply"})
        buttons->addWidget(new QPushButton(QString::fromLatin1(caption)));
    layout->addLayout(buttons);
    return window;
}

struct Walked {
    double cpuPercent = 0;
    double seconds = 0;
    int steps = 0;
    int follows = 0;
};

// Walks between `a` and `b` for `seconds`, the balloon up all the while.
Walked walk(DesktopCharacter &character, QPoint a, QPoint b, int seconds)
{
    Walked walked;
    const auto counted = QObject::connect(character.window(), &CharacterWindow::moved, [&] { ++walked.follows; });
    const double cpuBefore = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000) {
        waitFor(character, character.moveTo(walked.steps % 2 ? a.x() : b.x(), walked.steps % 2 ? a.y() : b.y()));
        ++walked.steps;
    }
    walked.seconds = double(clock.elapsed()) / 1000;
    walked.cpuPercent = 100 * (cpuSeconds() - cpuBefore) / walked.seconds;
    QObject::disconnect(counted);
    return walked;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString folder = args.value(0, QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("characters/kess")));
    const int idleSeconds = args.size() > 1 ? args[1].toInt() : 60;
    const int busySeconds = args.size() > 2 ? args[2].toInt() : 20;
    const int walkSeconds = args.size() > 3 ? args[3].toInt() : 20;
    QString error;
    std::optional<CharacterModel> model = CharacterModel::load(folder, &error);
    if (!model) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    DesktopCharacter character(std::move(*model), std::make_unique<SilentVoice>());
    character.show();
    if (!QTest::qWaitFor([&] { return character.visible() && !character.isBusy(); }, 5000)) {
        std::fprintf(stderr, "the character did not show\n");
        return 1;
    }
    QTest::qWait(1000);

    // Left alone.
    int paintsBefore = character.window()->paintCount();
    double cpuBefore = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    {
        // A plain event loop: the bench itself wakes for nothing meanwhile.
        QEventLoop idle;
        QTimer::singleShot(idleSeconds * 1000, &idle, &QEventLoop::quit);
        idle.exec();
    }
    const double idleCpu = cpuSeconds() - cpuBefore;
    const double idleWall = double(clock.elapsed()) / 1000;
    const int idlePaints = character.window()->paintCount() - paintsBefore;

    // Animating without a pause: the animations the program plays, in turn
    // (each ends by itself; the state loops would play for ever).
    QStringList names;
    for (const QString &name : playedAnimationNames())
        if (character.model().animation(name))
            names << name;
    paintsBefore = character.window()->paintCount();
    cpuBefore = cpuSeconds();
    clock.restart();
    int played = 0;
    while (clock.elapsed() < busySeconds * 1000) {
        waitFor(character, character.play(names.at(played++ % names.size())));
    }
    const double busyCpu = cpuSeconds() - cpuBefore;
    const double busyWall = double(clock.elapsed()) / 1000;
    const int busyPaints = character.window()->paintCount() - paintsBefore;

    // Walking with the balloon up: alone on the desktop, then beside a
    // window of fields that the balloon keeps off at every step.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint a(area.left() + area.width() / 4, area.top() + area.height() / 2);
    const QPoint b(area.left() + area.width() / 2, area.top() + area.height() / 2);
    character.holdBalloon(true);
    waitFor(character, character.speak(QStringLiteral("Let me show you around while we walk over to the other side.")));
    const Walked alone = walk(character, a, b, walkSeconds);
    QDialog *window = windowOfFields();
    window->move(b.x() - 120, area.top() + 10);
    window->show();
    QTest::qWait(1000);
    const Walked beside = walk(character, a, b, walkSeconds);
    const bool balloonUp = character.balloon() && character.balloon()->isVisible();
    delete window;
    character.holdBalloon(false);

    std::printf("%-40s %12s %12s %10s\n", "", "CPU of a core", "target", "frames");
    std::printf("%-40s %11.3f%% %11.1f%% %10d\n", qPrintable(QStringLiteral("left alone %1 s").arg(idleWall, 0, 'f', 0)),
                100 * idleCpu / idleWall, 0.1, idlePaints);
    std::printf("%-40s %11.3f%% %11.1f%% %10d\n",
                qPrintable(QStringLiteral("animating %1 s (%2 animations)").arg(busyWall, 0, 'f', 0).arg(played)),
                100 * busyCpu / busyWall, 3.0, busyPaints);
    std::printf("%-40s %12s %12s %10s\n", "", "CPU of a core", "reference", "follows");
    std::printf("%-40s %11.3f%% %12s %10d\n",
                qPrintable(QStringLiteral("walking, balloon up %1 s (%2 walks)").arg(alone.seconds, 0, 'f', 0).arg(alone.steps)),
                alone.cpuPercent, "", alone.follows);
    std::printf("%-40s %11.3f%% %11.3f%% %10d   target %.1f%%%s\n",
                qPrintable(QStringLiteral("  beside a window of fields %1 s").arg(beside.seconds, 0, 'f', 0)),
                beside.cpuPercent, alone.cpuPercent, beside.follows, 3.0,
                balloonUp ? "" : "  (the balloon was not up)");
    return 0;
}
