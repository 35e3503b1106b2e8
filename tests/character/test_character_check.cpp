// Checking character folders: the shipped characters are sound, broken
// folders are refused by the loader and every problem in them is listed
// with its place, animations that never end are found, states choose among
// their animations, and the checker program reports as it should.

#include "CharacterCheck.h"
#include "CharacterModel.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace kestrova::character;

Q_DECLARE_METATYPE(kestrova::character::Animation)

namespace {

const QString TestbotFolder = QStringLiteral(KESTROVA_SOURCE_DIR "/tests/data/characters/testbot");
const QString ShippedFolder = QStringLiteral(KESTROVA_SOURCE_DIR "/data/characters");

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QJsonObject object(const char *text) { return QJsonDocument::fromJson(text).object(); }

// The test bot with a stand-in for every animation and state it lacks, so
// that the checker finds nothing: a change made to it is the only problem.
QJsonObject soundCharacter()
{
    QJsonObject o = QJsonDocument::fromJson(readAll(TestbotFolder + QStringLiteral("/character.json"))).object();
    QJsonObject anims = o[QStringLiteral("animations")].toObject();
    anims.remove(QStringLiteral("Processing")); // loops for ever outside a state
    for (const QString &name : playedAnimationNames()) {
        bool present = false;
        for (auto it = anims.begin(); it != anims.end(); ++it)
            present = present || it.key().compare(name, Qt::CaseInsensitive) == 0;
        if (!present)
            anims[name] = object(R"({"frames": [{"pose": "arm up", "duration": 50}, {"duration": 50}]})");
    }
    o[QStringLiteral("animations")] = anims;
    QJsonObject states = o[QStringLiteral("states")].toObject();
    states[QStringLiteral("listening")] = QStringLiteral("Think");
    states[QStringLiteral("hearing")] = QStringLiteral("Think");
    states[QStringLiteral("idle-1")] = QStringLiteral("Greet");
    states[QStringLiteral("idle-2")] = QStringLiteral("GestureUp");
    states[QStringLiteral("idle-3")] = QStringLiteral("GestureDown");
    o[QStringLiteral("states")] = states;
    return o;
}

void setAnimation(QJsonObject &o, const QString &name, const char *text)
{
    QJsonObject anims = o[QStringLiteral("animations")].toObject();
    anims[name] = object(text);
    o[QStringLiteral("animations")] = anims;
}

void setState(QJsonObject &o, const QString &state, const QJsonValue &value)
{
    QJsonObject states = o[QStringLiteral("states")].toObject();
    if (value.isUndefined())
        states.remove(state);
    else
        states[state] = value;
    o[QStringLiteral("states")] = states;
}

// A character folder in a temporary directory, with the test bot's art.
struct Folder {
    QTemporaryDir dir;
    explicit Folder(const QJsonObject &character, const QByteArray &art = readAll(TestbotFolder + QStringLiteral("/art.svg")))
    {
        writeFile(dir.filePath(QStringLiteral("character.json")), QJsonDocument(character).toJson());
        if (!art.isEmpty())
            writeFile(dir.filePath(QStringLiteral("art.svg")), art);
    }
    QString path() const { return dir.path(); }
    QString json() const { return QDir(dir.path()).absoluteFilePath(QStringLiteral("character.json")); }
};

QStringList placesOf(const QList<CharacterProblem> &problems, CharacterProblem::Kind kind)
{
    QStringList places;
    for (const CharacterProblem &p : problems)
        if (p.kind == kind)
            places << p.place;
    return places;
}

QString listed(const QList<CharacterProblem> &problems)
{
    QStringList lines;
    for (const CharacterProblem &p : problems)
        lines << p.place + QStringLiteral(": ") + p.message;
    return lines.join(QLatin1Char('\n'));
}

Animation animationOf(std::initializer_list<std::initializer_list<Branch>> frames)
{
    Animation a;
    a.name = QStringLiteral("Made");
    for (const auto &branches : frames) {
        Frame f;
        f.branches = QList<Branch>(branches);
        a.frames << f;
    }
    return a;
}

struct Run {
    int status = -1;
    QStringList lines;
};

Run runChecker(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(KESTROVA_CHECK_TOOL), args);
    Run r;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.status = p.exitCode();
    r.lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return r;
}

} // namespace

class TestCharacterCheck : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // -- what ships ---------------------------------------------------------
    void shippedCharactersAreSound()
    {
        const QStringList subs = QDir(ShippedFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        int checked = 0;
        for (const QString &sub : subs) {
            const QString folder = ShippedFolder + QLatin1Char('/') + sub;
            if (!QFileInfo::exists(folder + QStringLiteral("/character.json")))
                continue;
            ++checked;
            const QList<CharacterProblem> problems = checkCharacterFolder(folder);
            QVERIFY2(problems.isEmpty(), qPrintable(sub + QStringLiteral(":\n") + listed(problems)));
            QString error;
            QVERIFY2(CharacterModel::load(folder, &error), qPrintable(error));
        }
        QVERIFY(checked >= 1);
    }

    void standInCharacterIsSound()
    {
        // Everything below changes this one thing at a time.
        Folder f(soundCharacter());
        const QList<CharacterProblem> problems = checkCharacterFolder(f.path());
        QVERIFY2(problems.isEmpty(), qPrintable(listed(problems)));
    }

    // -- broken folders -----------------------------------------------------
    void oneFaultHasItsPlace_data()
    {
        QTest::addColumn<QJsonObject>("character");
        QTest::addColumn<QString>("place");
        QTest::addColumn<QString>("mention"); // in the problem and in load()'s sentence
        QTest::addColumn<QString>("words");   // how load()'s sentence names the place

        auto with = [](const std::function<void(QJsonObject &)> &change) {
            QJsonObject o = soundCharacter();
            change(o);
            return o;
        };
        QTest::newRow("unknown pose") << with([](QJsonObject &o) {
            setAnimation(o, QStringLiteral("Wave"), R"({"frames": [{"duration": 60}, {"pose": "waveUp", "duration": 60}]})");
        }) << "character.json: animations.Wave.frames[1].pose" << "\"waveUp\"" << "animation \"Wave\", frame 1";
        QTest::newRow("unknown pose in a list") << with([](QJsonObject &o) {
            setAnimation(o, QStringLiteral("Wave"), R"({"frames": [{"pose": ["arm up", "arm out"], "duration": 60}]})");
        }) << "character.json: animations.Wave.frames[0].pose[1]" << "\"arm out\"" << "animation \"Wave\", frame 0";
        QTest::newRow("branch past the end") << with([](QJsonObject &o) {
            setAnimation(o, QStringLiteral("Alert"),
                         R"({"frames": [{"duration": 60, "branches": [{"to": 0, "probability": 10}, {"to": 4, "probability": 10}]}]})");
        }) << "character.json: animations.Alert.frames[0].branches[1].to" << "frame 4" << "animation \"Alert\", frame 0";
        QTest::newRow("unknown part in a spaced pose name") << with([](QJsonObject &o) {
            QJsonObject poses = o[QStringLiteral("poses")].toObject();
            poses[QStringLiteral("arm up")] = object(R"({"tail": {"rotation": 4}})");
            o[QStringLiteral("poses")] = poses;
        }) << "character.json: poses[\"arm up\"].tail" << "no part \"tail\"" << "pose \"arm up\"";
        QTest::newRow("unknown parent") << with([](QJsonObject &o) {
            QJsonArray parts = o[QStringLiteral("parts")].toArray();
            QJsonObject arm = parts.at(1).toObject();
            arm[QStringLiteral("parent")] = QStringLiteral("torso");
            parts[1] = arm;
            o[QStringLiteral("parts")] = parts;
        }) << "character.json: parts[1].parent" << "\"torso\"" << "part \"arm\"";
        QTest::newRow("unknown name in a state's list") << with([](QJsonObject &o) {
            setState(o, QStringLiteral("thinking"), QJsonArray{QStringLiteral("Think"), QStringLiteral("Ponder")});
        }) << "character.json: states.thinking[1]" << "\"Ponder\"" << "state \"thinking\"";
        QTest::newRow("state list of nothing") << with([](QJsonObject &o) {
            setState(o, QStringLiteral("thinking"), QJsonArray{});
        }) << "character.json: states.thinking" << "name an animation" << "state \"thinking\"";
        QTest::newRow("unknown return") << with([](QJsonObject &o) {
            setAnimation(o, QStringLiteral("Read"), R"({"frames": [{"duration": 60}], "return": "PutAway"})");
        }) << "character.json: animations.Read.return" << "\"PutAway\"" << "animation \"Read\"";
        QTest::newRow("voice") << with([](QJsonObject &o) {
            o[QStringLiteral("voice")] = object(R"({"gender": "robot"})");
        }) << "character.json: voice.gender" << "\"female\"" << "the voice";
        QTest::newRow("element not in the art") << with([](QJsonObject &o) {
            setAnimation(o, QStringLiteral("Wave"), R"({"frames": [{"parts": {"mouth": {"element": "mouth-grin"}}, "duration": 60}]})");
        }) << "art.svg: element \"mouth-grin\"" << "animation \"Wave\", frame 0, part \"mouth\""
           << "element \"mouth-grin\"";
    }

    void oneFaultHasItsPlace()
    {
        QFETCH(QJsonObject, character);
        QFETCH(QString, place);
        QFETCH(QString, mention);
        QFETCH(QString, words);

        Folder f(character);
        const QList<CharacterProblem> problems = checkCharacterFolder(f.path());
        QCOMPARE(problems.size(), 1);
        QCOMPARE(problems.first().place, place);
        QCOMPARE(problems.first().kind, CharacterProblem::Fault);
        QVERIFY2(problems.first().message.contains(mention), qPrintable(problems.first().message));

        // The loader refuses it with the same fault in a sentence naming the file.
        QString error;
        QVERIFY(!CharacterModel::load(f.path(), &error));
        const QString file = QDir(f.path()).absoluteFilePath(place.section(QLatin1Char(':'), 0, 0));
        QVERIFY2(error.startsWith(file + QStringLiteral(": ") + words + QStringLiteral(": ")), qPrintable(error));
        QVERIFY2(error.contains(mention), qPrintable(error));
        QVERIFY2(error.endsWith(QLatin1Char('.')), qPrintable(error));
    }

    void everyFaultIsListed()
    {
        QJsonObject o = soundCharacter();
        o[QStringLiteral("size")] = QJsonArray{100};
        QJsonObject poses = o[QStringLiteral("poses")].toObject();
        poses[QStringLiteral("gone")] = object(R"({"root": {"opacity": 2}, "head": {"element": "head-gone"}})");
        o[QStringLiteral("poses")] = poses;
        setAnimation(o, QStringLiteral("Wave"), R"({"frames": [
            {"pose": "waveUp", "duration": 0},
            {"duration": 60, "exit": 7, "tween": "yes"}]})");
        setState(o, QStringLiteral("dancing"), QStringLiteral("Wave"));
        setState(o, QStringLiteral("hiding"), QStringLiteral("Vanish"));
        Folder f(o);

        const QList<CharacterProblem> problems = checkCharacterFolder(f.path());
        QCOMPARE(placesOf(problems, CharacterProblem::Fault), (QStringList{
            QStringLiteral("character.json: size"),
            QStringLiteral("character.json: poses.gone.root.opacity"),
            QStringLiteral("character.json: animations.Wave.frames[0].duration"),
            QStringLiteral("character.json: animations.Wave.frames[0].pose"),
            QStringLiteral("character.json: animations.Wave.frames[1].tween"),
            QStringLiteral("character.json: animations.Wave.frames[1].exit"),
            QStringLiteral("character.json: states.dancing"),
            QStringLiteral("character.json: states.hiding"),
            QStringLiteral("art.svg: element \"head-gone\""),
        }));
        QCOMPARE(problems.size(), 9);

        // load() gives the first of them.
        QString error;
        QVERIFY(!CharacterModel::load(f.path(), &error));
        QVERIFY2(error.startsWith(f.json() + QStringLiteral(": \"size\"")), qPrintable(error));
    }

    void missingFilesAndBrokenJson_data()
    {
        QTest::addColumn<QByteArray>("json"); // empty: none
        QTest::addColumn<QByteArray>("art");  // empty: none
        QTest::addColumn<QString>("place");
        QTest::addColumn<QString>("mention");

        const QByteArray good = QJsonDocument(soundCharacter()).toJson();
        const QByteArray art = readAll(TestbotFolder + QStringLiteral("/art.svg"));
        QTest::newRow("no character.json") << QByteArray() << art << "character.json" << "does not exist";
        QTest::newRow("not JSON") << QByteArray("{\"name\": ") << art << "character.json" << "not valid JSON";
        QTest::newRow("no art") << good << QByteArray() << "art.svg" << "does not exist";
        QTest::newRow("art not SVG") << good << QByteArray("a drawing, honestly") << "art.svg" << "not a valid SVG";
    }

    void missingFilesAndBrokenJson()
    {
        QFETCH(QByteArray, json);
        QFETCH(QByteArray, art);
        QFETCH(QString, place);
        QFETCH(QString, mention);

        QTemporaryDir dir;
        if (!json.isEmpty())
            QVERIFY(writeFile(dir.filePath(QStringLiteral("character.json")), json));
        if (!art.isEmpty())
            QVERIFY(writeFile(dir.filePath(QStringLiteral("art.svg")), art));
        const QList<CharacterProblem> problems = checkCharacterFolder(dir.path());
        QCOMPARE(problems.size(), 1);
        QCOMPARE(problems.first().place, place);
        QVERIFY2(problems.first().message.contains(mention), qPrintable(problems.first().message));
        QString error;
        QVERIFY(!CharacterModel::load(dir.path(), &error));
        QVERIFY2(error.startsWith(QDir(dir.path()).absoluteFilePath(place) + QStringLiteral(": ")), qPrintable(error));
    }

    // -- what Kestrova plays --------------------------------------------------
    void missingNamesAndStatesAreTheirOwnKind()
    {
        QJsonObject o = soundCharacter();
        QJsonObject anims = o[QStringLiteral("animations")].toObject();
        anims.remove(QStringLiteral("Surprised"));
        o[QStringLiteral("animations")] = anims;
        setState(o, QStringLiteral("idle-3"), QJsonValue::Undefined);
        Folder f(o);

        const QList<CharacterProblem> problems = checkCharacterFolder(f.path());
        QCOMPARE(problems.size(), 2);
        for (const CharacterProblem &p : problems)
            QCOMPARE(p.kind, CharacterProblem::Missing);
        QCOMPARE(problems.at(0).place, QStringLiteral("character.json: animations"));
        QVERIFY(problems.at(0).message.contains(QStringLiteral("\"Surprised\"")));
        QCOMPARE(problems.at(1).place, QStringLiteral("character.json: states"));
        QVERIFY(problems.at(1).message.contains(QStringLiteral("\"idle-3\"")));
        // Kestrova still loads it: it copes without them.
        QVERIFY(CharacterModel::load(f.path()));

        // Names match without regard to case.
        setAnimation(o, QStringLiteral("SURPRISED"), R"({"frames": [{"duration": 60}]})");
        Folder g(o);
        QCOMPARE(checkCharacterFolder(g.path()).size(), 1);
    }

    void testbotLoadsAndOnlyLacksThings()
    {
        // The test bot is a partial character on purpose: apart from names
        // and states it lacks, only its loop outside a state is reported.
        const QList<CharacterProblem> problems = checkCharacterFolder(TestbotFolder);
        QVERIFY(placesOf(problems, CharacterProblem::Fault).isEmpty());
        QCOMPARE(placesOf(problems, CharacterProblem::Behaviour),
                 QStringList{QStringLiteral("character.json: animations.Processing.frames[0]")});
        QVERIFY(placesOf(problems, CharacterProblem::Missing).contains(QStringLiteral("character.json: states")));
        QVERIFY(CharacterModel::load(TestbotFolder));
    }

    // -- ending ------------------------------------------------------------------
    // A frame that reaches the edge of the character's frame is cut off on
    // the desktop; one that leaves it while hiding is meant to.
    void framesReachingTheEdgeAreCutOff()
    {
        QJsonObject o = soundCharacter();
        setAnimation(o, QStringLiteral("Wave"), R"({"frames": [{"duration": 50},
            {"duration": 50, "parts": {"head": {"dy": -40}}},
            {"duration": 50, "parts": {"head": {"dy": -40}, "root": {"dx": 45}}},
            {"duration": 50}]})");
        setAnimation(o, QStringLiteral("Hide"), R"({"frames": [{"duration": 50, "parts": {"root": {"dy": -70}}},
            {"duration": 50, "pose": "gone"}]})");
        Folder f(o);
        const QList<CharacterProblem> problems = checkCharacterFolder(f.path());
        QCOMPARE(placesOf(problems, CharacterProblem::Drawing),
                 QStringList{QStringLiteral("character.json: animations.Wave.frames[1]")});
        const QString message = problems.first().message;
        QVERIFY2(message.contains(QStringLiteral("top and right edges of the 100 x 100 frame (frames 1 to 2)")),
                 qPrintable(message));
        QCOMPARE(problems.size(), 1);

        // The drawing itself: a dot in the middle reaches no edge, one in a
        // corner two of them.
        QImage frame(20, 20, QImage::Format_ARGB32_Premultiplied);
        frame.fill(Qt::transparent);
        frame.setPixel(10, 10, qRgba(0, 0, 0, 255));
        QCOMPARE(edgesReached(frame), QStringList());
        frame.setPixel(19, 19, qRgba(0, 0, 0, 255));
        QCOMPARE(edgesReached(frame), (QStringList{QStringLiteral("right"), QStringLiteral("bottom")}));
        frame.setPixel(0, 5, qRgba(0, 0, 0, 20)); // faint antialiasing
        QCOMPARE(edgesReached(frame), (QStringList{QStringLiteral("right"), QStringLiteral("bottom")}));
    }

    void framesThatNeverEnd_data()
    {
        QTest::addColumn<Animation>("animation");
        QTest::addColumn<QList<int>>("stuck");
        QTest::addColumn<int>("loopFrame"); // first frame with a branch back, -1: none

        QTest::newRow("straight through") << animationOf({{}, {}, {}}) << QList<int>{} << -1;
        QTest::newRow("certain loop") << animationOf({{}, {{1, 100}}, {}}) << QList<int>{0, 1} << 1;
        QTest::newRow("maybe loop") << animationOf({{}, {{0, 60}}, {}}) << QList<int>{} << 1;
        QTest::newRow("certain between two") << animationOf({{}, {{0, 50}, {1, 50}}, {}}) << QList<int>{0, 1} << 1;
        QTest::newRow("certain loop at the end") << animationOf({{}, {{0, 100}}}) << QList<int>{0, 1} << 1;
        // 0, 1, 3, 1, 3, ... until frame 3 lets it end; frame 2 is never played.
        QTest::newRow("loop through a forward branch") << animationOf({{}, {{3, 100}}, {{0, 100}}, {{1, 50}}})
                                                       << QList<int>{} << 1;
        QTest::newRow("jumped over") << animationOf({{{2, 100}}, {{1, 100}}, {}}) << QList<int>{} << -1;
        QTest::newRow("forward branch only") << animationOf({{{2, 100}}, {}, {}}) << QList<int>{} << -1;
    }

    void framesThatNeverEnd()
    {
        QFETCH(Animation, animation);
        QFETCH(QList<int>, stuck);
        QFETCH(int, loopFrame);
        QCOMPARE(kestrova::character::framesThatNeverEnd(animation), stuck);
        QCOMPARE(firstLoopingBranch(animation).first, loopFrame);
    }

    void loopsOnlyWhereKestrovaStopsThem()
    {
        const char *forever = R"({"exit": 2, "frames": [{"duration": 60}, {"duration": 60, "branches": [{"to": 0, "probability": 100}]}, {"duration": 60}]})";

        // A state loop that Kestrova stops itself.
        QJsonObject o = soundCharacter();
        setAnimation(o, QStringLiteral("Speak"), forever);
        QVERIFY2(checkCharacterFolder(Folder(o).path()).isEmpty(), "speaking loop");

        // The same loop also played where Kestrova waits for it to end.
        setState(o, QStringLiteral("gesturing-up"), QStringLiteral("Speak"));
        QList<CharacterProblem> problems = checkCharacterFolder(Folder(o).path());
        QCOMPARE(placesOf(problems, CharacterProblem::Behaviour),
                 QStringList{QStringLiteral("character.json: animations.Speak.frames[0]")});
        QCOMPARE(problems.size(), 1);

        // Played by name.
        o = soundCharacter();
        setAnimation(o, QStringLiteral("Search"), forever);
        problems = checkCharacterFolder(Folder(o).path());
        QCOMPARE(placesOf(problems, CharacterProblem::Behaviour),
                 QStringList{QStringLiteral("character.json: animations.Search.frames[0]")});
        QVERIFY2(problems.first().message.contains(QStringLiteral("0 to 1")), qPrintable(problems.first().message));

        // An idle animation may not repeat at all, even by chance.
        o = soundCharacter();
        setAnimation(o, QStringLiteral("Idle"), R"({"frames": [{"duration": 60}, {"duration": 60, "branches": [{"to": 0, "probability": 30}]}]})");
        setState(o, QStringLiteral("idle-2"), QJsonArray{QStringLiteral("Greet"), QStringLiteral("Idle")});
        problems = checkCharacterFolder(Folder(o).path());
        QCOMPARE(placesOf(problems, CharacterProblem::Behaviour),
                 QStringList{QStringLiteral("character.json: animations.Idle.frames[1].branches[0]")});
        QVERIFY2(problems.first().message.contains(QStringLiteral("idle-2")), qPrintable(problems.first().message));
        // Played by name, the same chance loop is fine: it ends.
        setState(o, QStringLiteral("idle-2"), QStringLiteral("Greet"));
        QVERIFY(checkCharacterFolder(Folder(o).path()).isEmpty());
    }

    void locksAreRefusedAndReportedOnce()
    {
        const char *forever = R"({"frames": [{"duration": 60}, {"duration": 60, "branches": [{"to": 0, "probability": 100}]}]})";
        // A show that never ends: a lock, not also a behaviour; the loader
        // and the checker tool refuse it alike.
        QJsonObject o = soundCharacter();
        setAnimation(o, QStringLiteral("Show"), forever);
        Folder shown(o);
        QList<CharacterProblem> problems = checkCharacterFolder(shown.path());
        QCOMPARE(placesOf(problems, CharacterProblem::Lock),
                 QStringList{QStringLiteral("character.json: animations.Show.frames[0]")});
        QCOMPARE(problems.size(), 1);
        QString error;
        QVERIFY(!CharacterModel::load(shown.path(), &error));
        QVERIFY2(error.contains(QStringLiteral("\"showing\"")) && error.contains(QStringLiteral("0 to 1")), qPrintable(error));
        const Run run = runChecker({shown.path()});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.lines.last().endsWith(QStringLiteral("so Kestrova will not load the character.")),
                 qPrintable(run.lines.join(u'\n')));

        // Speaking returns round a circle: one lock, not also a circle
        // reported among the behaviours.
        o = soundCharacter();
        setAnimation(o, QStringLiteral("Speak"), R"({"frames": [{"duration": 60}], "return": "SpeakReturn"})");
        setAnimation(o, QStringLiteral("SpeakReturn"), R"({"frames": [{"duration": 60}], "return": "Speak"})");
        problems = checkCharacterFolder(Folder(o).path());
        QCOMPARE(placesOf(problems, CharacterProblem::Lock),
                 QStringList{QStringLiteral("character.json: animations.Speak.return")});
        QCOMPARE(problems.size(), 1);

        // Played by name the same loop is a behaviour only: it loads.
        o = soundCharacter();
        setAnimation(o, QStringLiteral("Search"), forever);
        Folder named(o);
        QVERIFY(placesOf(checkCharacterFolder(named.path()), CharacterProblem::Lock).isEmpty());
        QVERIFY2(CharacterModel::load(named.path(), &error), qPrintable(error));
    }

    void returnsDoNotGoRound()
    {
        QJsonObject o = soundCharacter();
        setAnimation(o, QStringLiteral("Read"), R"({"frames": [{"duration": 60}], "return": "ReadReturn"})");
        setAnimation(o, QStringLiteral("ReadReturn"), R"({"frames": [{"duration": 60}], "return": "ReadAgain"})");
        setAnimation(o, QStringLiteral("ReadAgain"), R"({"frames": [{"duration": 60}], "return": "read"})");
        setAnimation(o, QStringLiteral("Write"), R"({"frames": [{"duration": 60}], "return": "Write"})");
        // A chain that ends is fine, however long.
        setAnimation(o, QStringLiteral("Greet"), R"({"frames": [{"duration": 60}], "return": "GreetReturn"})");
        setAnimation(o, QStringLiteral("GreetReturn"), R"({"frames": [{"duration": 60}], "return": "RestPose"})");
        const QList<CharacterProblem> problems = checkCharacterFolder(Folder(o).path());
        QCOMPARE(placesOf(problems, CharacterProblem::Behaviour),
                 (QStringList{QStringLiteral("character.json: animations.Read.return"),
                              QStringLiteral("character.json: animations.Write.return")}));
        QCOMPARE(problems.size(), 2);
        QVERIFY2(problems.first().message.contains(QStringLiteral("\"ReadAgain\"")), qPrintable(problems.first().message));
    }

    // -- states --------------------------------------------------------------------
    void statesPickByChoice()
    {
        QJsonObject o = soundCharacter();
        setState(o, QStringLiteral("idle-2"), QJsonArray{QStringLiteral("Greet"), QStringLiteral("wave"), QStringLiteral("GestureUp")});
        Folder f(o);
        QString error;
        const std::optional<CharacterModel> m = CharacterModel::load(f.path(), &error);
        QVERIFY2(m, qPrintable(error));

        QCOMPARE(m->stateChoices(QStringLiteral("idle-2")), 3);
        const QStringList expected = {QStringLiteral("Greet"), QStringLiteral("Wave"), QStringLiteral("GestureUp")};
        for (int choice = -3; choice < 7; ++choice) {
            const Animation *a = m->stateAnimation(QStringLiteral("idle-2"), choice);
            QVERIFY(a);
            QCOMPARE(a->name, expected.at(((choice % 3) + 3) % 3));
        }
        // One name: every choice gives it; the default is the first.
        QCOMPARE(m->stateChoices(QStringLiteral("hiding")), 1);
        QCOMPARE(m->stateAnimation(QStringLiteral("hiding"), 5)->name, QStringLiteral("Hide"));
        QCOMPARE(m->stateAnimation(QStringLiteral("idle-2"))->name, QStringLiteral("Greet"));
        // No such state.
        QCOMPARE(m->stateChoices(QStringLiteral("dancing")), 0);
        QVERIFY(!m->stateAnimation(QStringLiteral("dancing"), 2));
    }

    void oldIdleIsTheFirstLevel()
    {
        QJsonObject o = soundCharacter();
        setState(o, QStringLiteral("idle-1"), QJsonValue::Undefined);
        setState(o, QStringLiteral("idle"), QStringLiteral("GestureLeft"));
        {
            Folder f(o);
            const std::optional<CharacterModel> m = CharacterModel::load(f.path());
            QVERIFY(m);
            QCOMPARE(m->stateAnimation(QStringLiteral("idle-1"))->name, QStringLiteral("GestureLeft"));
            QVERIFY(!m->states.contains(QStringLiteral("idle")));
            QVERIFY(checkCharacterFolder(f.path()).isEmpty());
        }
        // Both names at once is a fault.
        setState(o, QStringLiteral("idle-1"), QStringLiteral("Greet"));
        Folder f(o);
        const QList<CharacterProblem> problems = checkCharacterFolder(f.path());
        QCOMPARE(placesOf(problems, CharacterProblem::Fault), QStringList{QStringLiteral("character.json: states.idle-1")});
        QVERIFY(!CharacterModel::load(f.path()));
    }

    // -- the program -------------------------------------------------------------
    void checkerProgram()
    {
        Folder good(soundCharacter());
        Run r = runChecker({good.path()});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.lines.size(), 1);
        QVERIFY2(r.lines.last().endsWith(QStringLiteral("no problems found.")), qPrintable(r.lines.join('\n')));

        QJsonObject o = soundCharacter();
        setAnimation(o, QStringLiteral("Wave"), R"({"frames": [{"pose": "waveUp", "duration": 0}]})");
        QJsonObject anims = o[QStringLiteral("animations")].toObject();
        anims.remove(QStringLiteral("Sad"));
        o[QStringLiteral("animations")] = anims;
        Folder bad(o);
        r = runChecker({bad.path()});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.lines, (QStringList{
            QStringLiteral("character.json: animations.Wave.frames[0].duration: the duration must be a positive "
                           "whole number of milliseconds, not 0"),
            QStringLiteral("character.json: animations.Wave.frames[0].pose: the pose \"waveUp\" is not in \"poses\""),
            QStringLiteral("character.json: animations: there is no animation \"Sad\"; programs ask Kestrova to play it"),
            QDir::cleanPath(bad.path()) + QStringLiteral(": 3 problems, so Kestrova will not load the character."),
        }));

        // Only what is missing, and that allowed.
        anims.remove(QStringLiteral("Wave"));
        o[QStringLiteral("animations")] = anims;
        Folder partial(o);
        r = runChecker({partial.path()});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.lines.size(), 3);
        QVERIFY(r.lines.last().endsWith(QStringLiteral(": 2 problems.")));
        r = runChecker({QStringLiteral("--allow-missing"), partial.path()});
        QCOMPARE(r.status, 0);

        // Usage.
        QCOMPARE(runChecker({}).status, 2);
        QCOMPARE(runChecker({good.path(), bad.path()}).status, 2);
        QCOMPARE(runChecker({good.path() + QStringLiteral("/nowhere")}).status, 2);
        QCOMPARE(runChecker({QStringLiteral("--loud"), good.path()}).status, 2);
    }
};

QTEST_MAIN(TestCharacterCheck)
#include "test_character_check.moc"
