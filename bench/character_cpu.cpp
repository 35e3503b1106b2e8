// What the character costs: the processor time of a shipped character
// standing on the desktop, first left alone (idle animations now and then,
// at the program's own timing), then playing its animations one after
// another without a pause. Run it on a real or virtual X display:
//   bench_character_cpu [character folder] [idle seconds] [animating seconds]
// Defaults: the "kess" folder beside the program, 60 s, 20 s.

#include "CharacterCheck.h"
#include "desktop/DesktopCharacter.h"

#include <QApplication>
#include <QDir>
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


} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString folder = args.value(0, QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("characters/kess")));
    const int idleSeconds = args.size() > 1 ? args[1].toInt() : 60;
    const int busySeconds = args.size() > 2 ? args[2].toInt() : 20;
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
        const Request request = character.play(names.at(played++ % names.size()));
        bool done = false;
        const auto connection = QObject::connect(&character, &Character::requestComplete, &character,
                                                 [&](const Request &r) { done = done || r == request; });
        QEventLoop wait;
        QObject::connect(&character, &Character::requestComplete, &wait, [&] {
            if (done)
                wait.quit();
        });
        QTimer::singleShot(10000, &wait, &QEventLoop::quit);
        if (!done)
            wait.exec();
        QObject::disconnect(connection);
    }
    const double busyCpu = cpuSeconds() - cpuBefore;
    const double busyWall = double(clock.elapsed()) / 1000;
    const int busyPaints = character.window()->paintCount() - paintsBefore;

    std::printf("%-40s %12s %12s %10s\n", "", "CPU of a core", "target", "frames");
    std::printf("%-40s %11.3f%% %11.1f%% %10d\n", qPrintable(QStringLiteral("left alone %1 s").arg(idleWall, 0, 'f', 0)),
                100 * idleCpu / idleWall, 0.1, idlePaints);
    std::printf("%-40s %11.3f%% %11.1f%% %10d\n",
                qPrintable(QStringLiteral("animating %1 s (%2 animations)").arg(busyWall, 0, 'f', 0).arg(played)),
                100 * busyCpu / busyWall, 3.0, busyPaints);
    return 0;
}
