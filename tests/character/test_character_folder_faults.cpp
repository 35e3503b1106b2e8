// A character folder from someone else, made to reach out of itself: the
// art named by a path that leaves the folder, or a link to a file outside
// it; sounds named through "..", linked to a file outside, or too large to
// be read whole; character.json itself a link to a file outside. None of
// it is read, and the checker says so; what stays inside the folder is
// read.

#include "CharacterCheck.h"
#include "CharacterModel.h"
#include "CharacterSounds.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using namespace kestrova::character;

namespace {

const QString Kess = QStringLiteral(KESTROVA_SOURCE_DIR "/data/characters/kess");

// The shipped character copied into `root`/kess, its art also at
// `root`/drawing.svg (outside the folder) and at kess/drawings/real.svg.
QString copyKess(const QString &root)
{
    const QString folder = root + QStringLiteral("/kess");
    QDir().mkpath(folder + QStringLiteral("/sounds"));
    QDir().mkpath(folder + QStringLiteral("/drawings"));
    for (const QString &name : {QStringLiteral("character.json"), QStringLiteral("art.svg"),
                                QStringLiteral("sounds/chirp.wav"), QStringLiteral("sounds/alert.wav")})
        QFile::copy(Kess + u'/' + name, folder + u'/' + name);
    QFile::copy(Kess + QStringLiteral("/art.svg"), root + QStringLiteral("/drawing.svg"));
    QFile::copy(Kess + QStringLiteral("/art.svg"), folder + QStringLiteral("/drawings/real.svg"));
    QFile::copy(Kess + QStringLiteral("/sounds/chirp.wav"), root + QStringLiteral("/escape.wav"));
    return folder;
}

// A PCM WAV file: `announced` is what its data part says it holds (what
// it holds when not given); `listFirst` puts a part the reader skips
// before the format.
QByteArray wavFile(quint16 channels, quint32 rate, quint16 bits, const QByteArray &data,
                   std::optional<quint32> announced = std::nullopt, bool listFirst = false)
{
    QByteArray body("WAVE");
    QDataStream out(&body, QIODevice::Append);
    out.setByteOrder(QDataStream::LittleEndian);
    if (listFirst) {
        out.writeRawData("LIST", 4);
        out << quint32(5);
        out.writeRawData("INFOx\0", 6); // odd length, padded
    }
    out.writeRawData("fmt ", 4);
    out << quint32(16) << quint16(1) << channels << rate << quint32(rate * channels * bits / 8)
        << quint16(channels * bits / 8) << bits;
    out.writeRawData("data", 4);
    out << announced.value_or(quint32(data.size()));
    out.writeRawData(data.constData(), int(data.size()));
    QByteArray file("RIFF");
    QDataStream head(&file, QIODevice::Append);
    head.setByteOrder(QDataStream::LittleEndian);
    head << quint32(body.size());
    return file + body;
}

void setArt(const QString &folder, const QString &art)
{
    QFile file(folder + QStringLiteral("/character.json"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    QVERIFY(!o.isEmpty());
    o[QStringLiteral("art")] = art;
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QJsonDocument(o).toJson());
}

} // namespace

class TestCharacterFolderFaults : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void artStaysInTheFolder_data()
    {
        QTest::addColumn<QString>("art");       // "art" in character.json; "{root}" is the folder's parent
        QTest::addColumn<QString>("linkTo");    // art.svg made a link to this; empty: left as it is
        QTest::addColumn<bool>("loads");
        QTest::newRow("in the folder") << "art.svg" << "" << true;
        QTest::newRow("in a folder inside") << "drawings/real.svg" << "" << true;
        QTest::newRow("a link inside the folder") << "art.svg" << "drawings/real.svg" << true;
        QTest::newRow("up and out") << "../drawing.svg" << "" << false;
        QTest::newRow("down, then up and out") << "drawings/../../drawing.svg" << "" << false;
        QTest::newRow("an absolute path") << "{root}/drawing.svg" << "" << false;
        QTest::newRow("a link out of the folder") << "art.svg" << "../drawing.svg" << false;
        QTest::newRow("a link to a device") << "art.svg" << "/dev/zero" << false;
    }
    void artStaysInTheFolder()
    {
        QFETCH(QString, art);
        QFETCH(QString, linkTo);
        QFETCH(bool, loads);
        QTemporaryDir root;
        const QString folder = copyKess(root.path());
        setArt(folder, QString(art).replace(QStringLiteral("{root}"), root.path()));
        if (!linkTo.isEmpty()) {
            QVERIFY(QFile::remove(folder + QStringLiteral("/art.svg")));
            QVERIFY(QFile::link(linkTo, folder + QStringLiteral("/art.svg")));
        }
        QString error;
        const std::optional<CharacterModel> model = CharacterModel::load(folder, &error);
        QCOMPARE(model.has_value(), loads);
        if (loads)
            return;
        // The user is told which file and why, in one sentence.
        QVERIFY2(error.contains(QStringLiteral("outside the character's folder"))
                     || error.contains(QStringLiteral("does not exist")),
                 qPrintable(error));
        if (!linkTo.startsWith(u'/'))
            QVERIFY2(error.contains(QStringLiteral("outside the character's folder")), qPrintable(error));
    }

    // character.json itself a link: one that stays in the folder is read;
    // one that ends outside it, directly or through another link, is not,
    // and the user is told which file and why. A folder reached through a
    // link of its own is read as any other.
    void theCharacterFileStaysInTheFolder_data()
    {
        QTest::addColumn<QString>("linkTo"); // character.json made a link to this; empty: left as it is
        QTest::addColumn<bool>("folderLinked");
        QTest::addColumn<bool>("loads");
        QTest::newRow("a plain file") << "" << false << true;
        QTest::newRow("a link inside the folder") << "drawings/kess.json" << false << true;
        QTest::newRow("a folder reached through a link") << "drawings/kess.json" << true << true;
        QTest::newRow("a link out of the folder") << "../outside.json" << false << false;
        QTest::newRow("a link out, from a linked folder") << "../outside.json" << true << false;
        QTest::newRow("a link to a link out") << "drawings/hop.json" << false << false;
        QTest::newRow("an absolute link out") << "{root}/outside.json" << false << false;
    }
    void theCharacterFileStaysInTheFolder()
    {
        QFETCH(QString, linkTo);
        QFETCH(bool, folderLinked);
        QFETCH(bool, loads);
        QTemporaryDir root;
        const QString real = copyKess(root.path());
        const QString json = real + QStringLiteral("/character.json");
        QVERIFY(QFile::copy(json, real + QStringLiteral("/drawings/kess.json")));
        QVERIFY(QFile::copy(json, root.path() + QStringLiteral("/outside.json")));
        QVERIFY(QFile::link(QStringLiteral("../../outside.json"), real + QStringLiteral("/drawings/hop.json")));
        if (!linkTo.isEmpty()) {
            QVERIFY(QFile::remove(json));
            QVERIFY(QFile::link(QString(linkTo).replace(QStringLiteral("{root}"), root.path()), json));
        }
        QString folder = real;
        if (folderLinked) {
            // The link sits beside the folder, so "../outside.json" still
            // leads out of the folder it names.
            folder = root.path() + QStringLiteral("/linked");
            QVERIFY(QFile::link(real, folder));
        }
        QString error;
        const std::optional<CharacterModel> model = CharacterModel::load(folder, &error);
        QCOMPARE(model.has_value(), loads);
        if (loads) {
            QVERIFY(error.isEmpty());
            return;
        }
        const QList<CharacterProblem> problems = checkCharacterFolder(folder);
        QVERIFY2(error.startsWith(folder + QStringLiteral("/character.json: ")), qPrintable(error));
        QVERIFY2(error.contains(QStringLiteral("outside the character's folder")), qPrintable(error));
        // The checker says the same, and nothing of the file is looked at.
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems.first().message.contains(QStringLiteral("outside the character's folder")),
                 qPrintable(problems.first().message));
    }

    void soundsStayInTheFolder_data()
    {
        QTest::addColumn<QString>("sound");
        QTest::addColumn<bool>("played");
        QTest::newRow("a sound of the folder") << "chirp" << true;
        QTest::newRow("up and out") << "../../escape" << false;
        QTest::newRow("a link out of the folder") << "link" << false;
        QTest::newRow("larger than a sound may be") << "huge" << false;
        QTest::newRow("missing") << "nothing" << false;
        // Handed to the sound server, a file that is no WAV sound may keep
        // it loading for good: it is not handed over.
        QTest::newRow("empty") << "empty" << false;
        QTest::newRow("cut in its header") << "cut" << false;
        QTest::newRow("wrong magic") << "magic" << false;
        QTest::newRow("no WAVE") << "nowave" << false;
        // WAV files the sound server's reader takes badly (each measured:
        // the first ended the program, the second hung its end, the third
        // stayed loading), and the forms it plays.
        QTest::newRow("two samples a second") << "slow" << false;
        QTest::newRow("stereo data cut inside a frame") << "cutframe" << false;
        QTest::newRow("announces more data than it holds") << "overlong" << false;
        QTest::newRow("format part longer than the file") << "longformat" << false;
        QTest::newRow("no format part") << "noformat" << false;
        QTest::newRow("stereo at 44.1 kHz after a list part") << "stereo" << true;
    }
    void soundsStayInTheFolder()
    {
        QFETCH(QString, sound);
        QFETCH(bool, played);
        QTemporaryDir root;
        const QString folder = copyKess(root.path());
        QVERIFY(QFile::link(root.path() + QStringLiteral("/escape.wav"), folder + QStringLiteral("/sounds/link.wav")));
        {
            // Sparse: as large as it says, without the disk it would take.
            QFile huge(folder + QStringLiteral("/sounds/huge.wav"));
            QVERIFY(huge.open(QIODevice::WriteOnly));
            QVERIFY(huge.resize(MaxSoundBytes + 1));
        }
        {
            QFile chirp(folder + QStringLiteral("/sounds/chirp.wav"));
            QVERIFY(chirp.open(QIODevice::ReadOnly));
            const QByteArray wav = chirp.readAll();
            const QList<QPair<QString, QByteArray>> broken{
                {QStringLiteral("empty"), QByteArray()},
                {QStringLiteral("cut"), wav.left(20)},
                {QStringLiteral("magic"), QByteArray(wav).replace(0, 4, "RIFX")},
                {QStringLiteral("nowave"), QByteArray(wav).replace(8, 4, "AVI ")},
                {QStringLiteral("slow"), wavFile(1, 2, 16, QByteArray(4000, '\0'))},
                {QStringLiteral("cutframe"), wavFile(2, 16000, 16, QByteArray(16002, '\0'))},
                {QStringLiteral("overlong"), wavFile(1, 16000, 16, QByteArray(4000, '\0'), 0xfffffff0u)},
                {QStringLiteral("longformat"), QByteArray(wav).replace(16, 4, QByteArray("\xf0\xff\xff\x0f", 4))},
                {QStringLiteral("noformat"), QByteArray(wav).replace(12, 4, "LIST")},
                {QStringLiteral("stereo"), wavFile(2, 44100, 16, QByteArray(17640, '\1'), std::nullopt, true)}};
            for (const auto &[name, bytes] : broken) {
                QFile file(folder + QStringLiteral("/sounds/%1.wav").arg(name));
                QVERIFY(file.open(QIODevice::WriteOnly));
                QCOMPARE(file.write(bytes), bytes.size());
            }
        }
        // The checker names the frame and why its sound is not played.
        {
            QFile json(folder + QStringLiteral("/character.json"));
            QVERIFY(json.open(QIODevice::ReadWrite));
            QByteArray text = json.readAll();
            QVERIFY(text.contains("\"sound\": \"chirp\""));
            text.replace("\"sound\": \"chirp\"", "\"sound\": \"" + sound.toUtf8() + '"');
            QVERIFY(json.resize(0));
            json.write(text);
        }
        QStringList said;
        for (const CharacterProblem &p : checkCharacterFolder(folder))
            if (p.place.endsWith(QStringLiteral(".sound")))
                said << p.message;
        if (played) {
            QVERIFY2(said.isEmpty(), qPrintable(said.join(u'\n')));
        } else {
            QCOMPARE(said.size(), 1);
            QVERIFY2(said.first().contains(QStringLiteral("not played")) || sound == u"nothing",
                     qPrintable(said.first()));
        }

        CharacterSounds sounds(folder, QStringLiteral("Kess"));
        QStringList playedFiles;
        sounds.setPlayer([&](const QString &file) { playedFiles << file; });
        Frame frame;
        frame.sound = sound;
        if (!played)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^The sound .* is not played: ")));
        sounds.play(&frame);
        // Reported once, not at every frame.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("not played")));
        sounds.play(&frame);
        QCOMPARE(playedFiles.size(), played ? 2 : 0);
        if (played)
            QCOMPARE(QFileInfo(playedFiles.first()).canonicalFilePath(),
                     QFileInfo(folder + QStringLiteral("/sounds/%1.wav").arg(sound)).canonicalFilePath());
    }
};

QTEST_GUILESS_MAIN(TestCharacterFolderFaults)
#include "test_character_folder_faults.moc"
