// Data files as users and accidents leave them: a list file of 100 MB, lines
// of a megabyte, binary bytes and NULs, a jokes file far too long. Reading
// stays bounded in memory and ends; what is read saves whole and reads back.

#include "FileOperations.h"
#include "Jokes.h"
#include "TextLines.h"

#include "PeakMemory.h"
#include "Sanitizers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace kestrova;
using kestrova::test::peakKb;
using kestrova::test::resetPeak;

namespace {


// Writes `total` bytes made of `line` repeated.
bool writeRepeated(const QString &path, const QByteArray &line, qint64 total)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block;
    while (block.size() < 1024 * 1024)
        block += line;
    for (qint64 written = 0; written < total; written += block.size())
        if (file.write(block) != block.size())
            return false;
    return true;
}

} // namespace

class TestDataFileFaults : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lineBreaksInValuesKeepEverySlot_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("saved");
        QTest::newRow("LF") << "a\nb" << "a b";
        QTest::newRow("CR LF is one break") << "a\r\nb" << "a b";
        QTest::newRow("lone CR") << "a\rb" << "a b";
        QTest::newRow("LF CR is two") << "a\n\rb" << "a  b";
        QTest::newRow("trailing") << "a\r\n" << "a ";
        QTest::newRow("only breaks") << "\n\n" << "  ";
        // Not line ends to the reader: they stay, so a file reads back whole.
        QTest::newRow("VT FF NEL stay") << QString("a\vb\fc") + QChar(0x85) + "d" << QString("a\vb\fc") + QChar(0x85) + "d";
        QTest::newRow("line separator stays") << QString("a") + QChar(0x2028) + "b" << QString("a") + QChar(0x2028) + "b";
        QTest::newRow("tab stays") << "a\tb" << "a\tb";
        QTest::newRow("no break") << "plain" << "plain";
    }
    void lineBreaksInValuesKeepEverySlot()
    {
        QFETCH(QString, value);
        QFETCH(QString, saved);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("favourites.txt"));
        QStringList values;
        for (int i = 0; i < FileOperations::ListLines; ++i)
            values << QStringLiteral("slot %1").arg(i);
        // A break in the first value and in one in the middle.
        values[0] = value;
        values[7] = value;
        QVERIFY(FileOperations::SaveListFile(path, values));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count("\r\n"), FileOperations::ListLines);
        const std::optional<QStringList> back = FileOperations::LoadListFile(path);
        QVERIFY(back);
        QStringList expected = values;
        expected[0] = saved;
        expected[7] = saved;
        QCOMPARE(*back, expected);
    }

    void hugeListFileReadsInBoundedMemory()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("favourites.txt"));
        QVERIFY(writeRepeated(path, "Some site\r\nhttps://example.org/some/long/path/to/a/page\r\n", 100LL * 1024 * 1024));
        resetPeak();
        const long before = peakKb();
        QElapsedTimer clock;
        clock.start();
        const std::optional<QStringList> values = FileOperations::LoadListFile(path);
        const qint64 ms = clock.elapsed();
        QVERIFY(values);
        QCOMPARE(values->size(), FileOperations::ListLines);
        QCOMPARE(values->at(0), QStringLiteral("Some site"));
        QCOMPARE(values->at(1), QStringLiteral("https://example.org/some/long/path/to/a/page"));
        if (!KESTROVA_ASAN)
            QVERIFY2(peakKb() - before < 16 * 1024, qPrintable(QString::number(peakKb() - before)));
        // A hang would show here; reading 100 MB takes about a second.
        QVERIFY2(ms < 30000, qPrintable(QString::number(ms)));
        // Saving replaces it with the slots, whole.
        QVERIFY(FileOperations::SaveListFile(path, *values));
        QCOMPARE(FileOperations::LoadListFile(path), values);
        QCOMPARE(QFileInfo(path).size(), qint64(values->join(QStringLiteral("\r\n")).toUtf8().size() + 2));
    }

    void megabyteLinesKeepTheirStart()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Office.txt"));
        QByteArray big;
        // A line of 1 MB of "é" (two bytes each), cut mid-character at the
        // limit unless the cut respects characters.
        for (int i = 0; i < 512 * 1024 + 1; ++i)
            big += "\xC3\xA9";
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("Writer\n" + big + "\n" + big + "x\nlast\n");
        }
        resetPeak();
        const long before = peakKb();
        const std::optional<QStringList> values = FileOperations::LoadListFile(path);
        QVERIFY(values);
        QCOMPARE(values->at(0), QStringLiteral("Writer"));
        QCOMPARE(values->at(1).size(), MaxLineBytes / 2);
        QVERIFY(values->at(1).count(QChar(0xE9)) == values->at(1).size());
        QCOMPARE(values->at(2), values->at(1));
        QCOMPARE(values->at(3), QStringLiteral("last"));
        if (!KESTROVA_ASAN)
            QVERIFY2(peakKb() - before < 8 * 1024, qPrintable(QString::number(peakKb() - before)));
    }

    void binaryFileWithNulsReadsAndSavesWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("favourites.txt"));
        QByteArray bytes(200000, Qt::Uninitialized);
        QRandomGenerator random(11);
        for (char &b : bytes)
            b = char(random.bounded(256));
        bytes[5] = '\0';
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        const std::optional<QStringList> values = FileOperations::LoadListFile(path);
        QVERIFY(values);
        QCOMPARE(values->size(), FileOperations::ListLines);
        QVERIFY(FileOperations::SaveListFile(path, *values));
        QCOMPARE(FileOperations::LoadListFile(path), values);
    }

    // A list file the user made read-only is left exactly as it is: the save
    // says it failed, and no half-written or temporary file is left behind.
    // Root writes read-only files anyway, so there the file is made immutable.
    void readOnlyListFileIsLeftWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("favourites.txt"));
        const QByteArray before = "Kestrel\r\nhttps://kestrel.example/\r\n";
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(before);
        }
        const bool root = ::geteuid() == 0;
        const QStringList lockArgs{root ? QStringLiteral("+i") : QStringLiteral("a-w"), path};
        if (QProcess::execute(root ? QStringLiteral("chattr") : QStringLiteral("chmod"), lockArgs) != 0)
            QSKIP("this file system cannot make the file read-only");
        const auto unlock = qScopeGuard([&] {
            QProcess::execute(root ? QStringLiteral("chattr") : QStringLiteral("chmod"),
                              {root ? QStringLiteral("-i") : QStringLiteral("u+w"), path});
        });

        QStringList values(FileOperations::ListLines);
        values[0] = QStringLiteral("Changed");
        QVERIFY(!FileOperations::SaveListFile(path, values));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("favourites.txt")});
    }

    void endlessJokesFileIsCut()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("JOKES.TXT"));
        QVERIFY(writeRepeated(path, "Why did the kestrel cross the road? To hover on the other side.\n", 100LL * 1024 * 1024));
        resetPeak();
        const long before = peakKb();
        Jokes jokes;
        QVERIFY(jokes.LoadJokes(path));
        QCOMPARE(jokes.JokeList.size(), MaxLines);
        QCOMPARE(jokes.JokeList.first(), QStringLiteral("Why did the kestrel cross the road? To hover on the other side."));
        // 100,000 jokes of 64 characters, and no more.
        if (!KESTROVA_ASAN)
            QVERIFY2(peakKb() - before < 48 * 1024, qPrintable(QString::number(peakKb() - before)));
    }

    void linesSplitTheSameInPiecesAndWhole()
    {
        // Line ends and a byte-order mark falling across the 64 KB pieces
        // the file is read in.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.txt"));
        QByteArray bytes = "\xEF\xBB\xBF";
        bytes += QByteArray(64 * 1024 - 4, 'a') + "\r\n" + "b\r" + "\r\n" + "caf\xE9\n" + "end";
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        const QStringList expected{QString(64 * 1024 - 4, u'a'), QStringLiteral("b"), QString(),
                                   QString::fromUtf8("caf\xC3\xA9"), QStringLiteral("end")};
        QCOMPARE(readTextLines(path), std::optional<QStringList>(expected));
        QCOMPARE(splitTextLines(bytes), expected);
        QVERIFY(!readTextLines(dir.filePath(QStringLiteral("missing.txt"))));
    }
};

QTEST_GUILESS_MAIN(TestDataFileFaults)
#include "test_data_file_faults.moc"
