// Lists every problem in a character folder, each with its place, so whoever
// makes a character can fix them all in one go:
//
//   kestrova-character-check [--allow-missing] <character folder>
//
// Prints "<place>: <message>" for each problem and a summary line. Exit
// status: 0 when the character is sound, 1 when it has problems, 2 when the
// command line is wrong. Needs no display.

#include "CharacterCheck.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>

using namespace kestrova::character;

int main(int argc, char **argv)
{
    // The SVG check needs a GUI application; without a display, draw offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("kestrova-character-check"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Lists every problem in a Kestrova character folder."));
    parser.addHelpOption();
    const QCommandLineOption allowMissing(
        QStringLiteral("allow-missing"),
        QStringLiteral("Do not report animations and states Kestrova plays that the character lacks "
                       "(for a character still being made)."));
    parser.addOption(allowMissing);
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("The character folder, holding character.json."));
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "%s\n\n%s", qPrintable(parser.errorText()), qPrintable(parser.helpText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    const QStringList args = parser.positionalArguments();
    if (args.size() != 1) {
        std::fprintf(stderr, "Give one character folder.\n\n%s", qPrintable(parser.helpText()));
        return 2;
    }
    const QString folder = args.first();
    if (!QFileInfo(folder).isDir()) {
        std::fprintf(stderr, "%s is not a folder.\n", qPrintable(folder));
        return 2;
    }

    int shown = 0, refused = 0;
    for (const CharacterProblem &p : checkCharacterFolder(folder)) {
        if (p.kind == CharacterProblem::Missing && parser.isSet(allowMissing))
            continue;
        std::printf("%s: %s\n", qPrintable(p.place), qPrintable(p.message));
        ++shown;
        refused += p.kind == CharacterProblem::Fault || p.kind == CharacterProblem::Lock;
    }
    const QString name = QDir::cleanPath(folder);
    if (shown == 0) {
        std::printf("%s: no problems found.\n", qPrintable(name));
        return 0;
    }
    std::printf("%s: %d %s%s.\n", qPrintable(name), shown, shown == 1 ? "problem" : "problems",
                refused ? ", so Kestrova will not load the character" : "");
    return 1;
}
