#include "IntegerText.h"
#include "PeakMemory.h"
#include "Sanitizers.h"
#include "SettingsFiles.h"
#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrova;

class TestSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void conversion_data();
    void conversion();
    void failedConversionKeepsTheValue();
    void incrementSaturates();

    void absentReadsEmptyOrDefault();
    void writeThenReadAcrossStores();
    void sectionsAndApplicationsAreApart();
    void textsSurviveAsWritten_data();
    void textsSurviveAsWritten();
    void unreadableFileBehavesAsEmpty();
    void readOnlyFileLosesOnlyThatWrite();
    void damagedFileIsKeptBeforeRewrite();
    void crashLeftoversAreKeptBeforeRewrite_data();
    void crashLeftoversAreKeptBeforeRewrite();
    void impossibleWritesFailCleanly();
    void filesAreOwnerOnly_data();
    void filesAreOwnerOnly();
    void hugeFileIsSetAsideUnread();
    void programNameInAnyCaseIsOneFile();
};

void TestSettings::conversion_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "640" << true << 640;
    QTest::newRow("negative") << "-12" << true << -12;
    QTest::newRow("plus sign") << "+3" << true << 3;
    QTest::newRow("blanks around") << "  42 \t" << true << 42;
    QTest::newRow("leading zeros") << "007" << true << 7;
    QTest::newRow("max") << "32767" << true << 32767;
    QTest::newRow("min") << "-32768" << true << -32768;
    QTest::newRow("half to even down") << "2.5" << true << 2;
    QTest::newRow("half to even up") << "3.5" << true << 4;
    QTest::newRow("negative half") << "-2.5" << true << -2;
    QTest::newRow("just below half") << "2.4999" << true << 2;
    QTest::newRow("just above half") << "2.5000001" << true << 3;
    QTest::newRow("point five alone") << ".5" << true << 0;
    QTest::newRow("trailing point") << "5." << true << 5;
    QTest::newRow("minus zero half") << "-0.5" << true << 0;
    QTest::newRow("rounds into range") << "-32768.4" << true << -32768;
    QTest::newRow("rounds out of range") << "32767.5" << false << 0;
    QTest::newRow("too big") << "32768" << false << 0;
    QTest::newRow("too small") << "-32769" << false << 0;
    QTest::newRow("huge") << "99999999999999999999" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("blank") << "   " << false << 0;
    QTest::newRow("word") << "abc" << false << 0;
    QTest::newRow("number then word") << "12abc" << false << 0;
    QTest::newRow("two signs") << "--1" << false << 0;
    QTest::newRow("sign alone") << "-" << false << 0;
    QTest::newRow("point alone") << "." << false << 0;
    QTest::newRow("inner blank") << "1 2" << false << 0;
    QTest::newRow("comma") << "1,5" << false << 0;
    QTest::newRow("arabic-indic digits") << QString::fromUtf8("\u0661\u0662") << false << 0;
}

void TestSettings::conversion()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, value);
    const auto result = toInt16(text);
    QCOMPARE(result.has_value(), ok);
    if (ok)
        QCOMPARE(int(*result), value);
}

void TestSettings::failedConversionKeepsTheValue()
{
    qint16 v = 17;
    QVERIFY(!convertInto(QStringLiteral("ten"), &v));
    QCOMPARE(v, qint16(17));
    QVERIFY(convertInto(QStringLiteral("-4"), &v));
    QCOMPARE(v, qint16(-4));
}

void TestSettings::incrementSaturates()
{
    qint16 v = 32766;
    QVERIFY(incrementInt16(&v));
    QCOMPARE(v, qint16(32767));
    QVERIFY(!incrementInt16(&v));
    QCOMPARE(v, qint16(32767));
}

void TestSettings::absentReadsEmptyOrDefault()
{
    QTemporaryDir dir;
    SettingsStore store(dir.path() + "/Kestrova");
    QCOMPARE(store.read("Kestrova", "User", "Name"), QString());
    QCOMPARE(store.read("kestrova", "Options", "Show Tips at Startup", "1"), QString("1"));
    // Reading creates nothing.
    QVERIFY(!QFile::exists(store.fileOf("Kestrova")));
}

void TestSettings::writeThenReadAcrossStores()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + "/not/yet/there";
    QVERIFY(SettingsStore(folder).write("Kestrova", "Run", "Number", "1"));
    QVERIFY(QFile::exists(folder + "/Kestrova.ini"));
    // Another store on the same folder, as a later run, sees it at once.
    SettingsStore later(folder);
    QCOMPARE(later.read("Kestrova", "Run", "Number"), QString("1"));
    QVERIFY(later.write("Kestrova", "Run", "Number", "2"));
    QCOMPARE(SettingsStore(folder).read("Kestrova", "Run", "Number"), QString("2"));

    // The file is plain INI with sections as groups.
    QFile f(folder + "/Kestrova.ini");
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray ini = f.readAll();
    QVERIFY2(ini.contains("[Run]\nNumber=2"), ini.constData());
}

void TestSettings::sectionsAndApplicationsAreApart()
{
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    store.write("Kestrova", "Mail", "1", "pop.example.org");
    store.write("Kestrova", "Rest", "1", "other");
    store.write("kestrova-renamed", "Mail", "1", "elsewhere");
    QCOMPARE(store.read("Kestrova", "Mail", "1"), QString("pop.example.org"));
    QCOMPARE(store.read("Kestrova", "Rest", "1"), QString("other"));
    QCOMPARE(store.read("kestrova-renamed", "Mail", "1"), QString("elsewhere"));
    QCOMPARE(store.read("Kestrova", "mail", "1"), QString()); // letter case counts
}

void TestSettings::textsSurviveAsWritten_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("blank around") << "  padded  ";
    QTest::newRow("comma list") << "a, b, c";
    QTest::newRow("equals and semicolon") << "x=1; y=2";
    QTest::newRow("quotes and backslash") << "say \"hi\" \\ there";
    QTest::newRow("brackets") << "[Section]";
    QTest::newRow("unicode") << QString::fromUtf8("Zoë 日本 ✓");
    QTest::newRow("newline") << "two\nlines";
    QTest::newRow("variant lookalike") << "@Variant(abc)";
    QTest::newRow("empty") << "";
}

void TestSettings::textsSurviveAsWritten()
{
    QFETCH(QString, text);
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    QVERIFY(store.write("Kestrova", "User", "Name", text));
    QCOMPARE(SettingsStore(dir.path()).read("Kestrova", "User", "Name"), text);
}

void TestSettings::unreadableFileBehavesAsEmpty()
{
    QTemporaryDir dir;
    QFile f(dir.path() + "/Kestrova.ini");
    QVERIFY(f.open(QIODevice::WriteOnly));
    static const char bytes[] = "\x00\xff\xfe garbage \x01\n[Run\nNumber";
    f.write(QByteArray(bytes, sizeof bytes - 1));
    f.close();
    SettingsStore store(dir.path());
    QCOMPARE(store.read("Kestrova", "Run", "Number"), QString());
    QCOMPARE(store.read("Kestrova", "Jokes", "Status"), QString());
}

void TestSettings::readOnlyFileLosesOnlyThatWrite()
{
    if (geteuid() == 0)
        QSKIP("root writes read-only files anyway");
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    QVERIFY(store.write("Kestrova", "User", "Name", "Ada"));
    QFile::setPermissions(store.fileOf("Kestrova"), QFileDevice::ReadOwner);
    QVERIFY(!store.write("Kestrova", "Run", "Number", "5"));
    QFile::setPermissions(store.fileOf("Kestrova"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(SettingsStore(dir.path()).read("Kestrova", "User", "Name"), QString("Ada"));
}

void TestSettings::damagedFileIsKeptBeforeRewrite()
{
    QTemporaryDir dir;
    const QString file = dir.path() + "/Kestrova.ini";
    const QByteArray original = "[User]\nName=Ada\n[Run\nNumber=4\n";
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(original);
    }
    SettingsStore store(dir.path());
    QVERIFY(store.write("Kestrova", "Run", "Number", "5"));
    QCOMPARE(store.read("Kestrova", "Run", "Number"), QString("5"));
    QFile kept(file + ".damaged");
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), original);
}

void TestSettings::crashLeftoversAreKeptBeforeRewrite_data()
{
    QTest::addColumn<QByteArray>("original");
    QTest::addColumn<bool>("kept");
    QTest::newRow("zeroed after a crash") << (QByteArray("[User]\nName=Ada\n") + QByteArray(4096, '\0')) << true;
    QTest::newRow("not UTF-8") << QByteArray("[User]\nName=Jos\xe9\n") << true;
    QByteArray noise(2048, Qt::Uninitialized);
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + 13) % 251 + 1);
    QTest::newRow("binary noise") << noise << true;
    QTest::newRow("a sound file") << (QByteArray("[User]\nName=Ada\n") + QByteArray(5 * 1024 * 1024, 'x')) << true;
    QTest::newRow("sound") << QByteArray("[User]\nName=Ada\n[Run]\nNumber=4\n") << false;
}

void TestSettings::crashLeftoversAreKeptBeforeRewrite()
{
    QFETCH(QByteArray, original);
    QFETCH(bool, kept);
    QTemporaryDir dir;
    const QString file = dir.path() + "/Kestrova.ini";
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(original);
    }
    SettingsStore store(dir.path());
    QVERIFY(store.write("Kestrova", "Run", "Number", "5"));
    QCOMPARE(store.read("Kestrova", "Run", "Number"), QString("5"));
    // What could still be read is in the fresh file.
    // A file too large to be settings is not read at all.
    if (original.startsWith("[User]\nName=Ada\n"))
        QCOMPARE(store.read("Kestrova", "User", "Name"), original.size() > SettingsFileLimit ? QString() : QString("Ada"));
    QFile copy(file + ".damaged");
    QCOMPARE(copy.exists(), kept);
    if (kept) {
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), original);
    }
}

void TestSettings::impossibleWritesFailCleanly()
{
    QTemporaryDir dir;
    // The settings folder's place is taken by a file.
    QFile blocker(dir.path() + "/Kestrova");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SettingsStore blocked(dir.path() + "/Kestrova");
    QVERIFY(!blocked.write("Kestrova", "Run", "Number", "1"));
    QCOMPARE(blocked.read("Kestrova", "Run", "Number"), QString());

    // The settings file's place is taken by a folder; the other
    // application's file is untouched.
    SettingsStore store(dir.path() + "/ok");
    QVERIFY(store.write("tips", "Options", "Show Tips at Startup", "0"));
    QVERIFY(QDir().mkpath(store.fileOf("Kestrova")));
    QVERIFY(!store.write("Kestrova", "Run", "Number", "1"));
    QCOMPARE(SettingsStore(dir.path() + "/ok").read("tips", "Options", "Show Tips at Startup"), QString("0"));
}

namespace {
mode_t modeOf(const QString &file)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(file).constData(), &info) == 0 ? info.st_mode & 0777 : 0;
}
} // namespace

// The settings file may hold the mail password: whatever the store writes,
// the repaired file and the copy of the damaged one included, is readable by
// its owner only, under the usual umask.
void TestSettings::filesAreOwnerOnly_data()
{
    QTest::addColumn<QByteArray>("original");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("repaired");
    QTest::newRow("new file") << QByteArray() << 0 << false;
    QTest::newRow("one byte not UTF-8") << QByteArray("[Mail]\n3=s3cret\n[User]\nName=Jos\xe9\n") << 0600 << true;
    QTest::newRow("damaged and readable by all")
        << QByteArray("[Mail]\n3=s3cret\n[Run\nNumber=4\n") << 0644 << true;
    QTest::newRow("readable by all from before") << QByteArray("[Mail]\n3=s3cret\n") << 0644 << false;
}

void TestSettings::filesAreOwnerOnly()
{
    QFETCH(QByteArray, original);
    QFETCH(int, mode);
    QFETCH(bool, repaired);
    const mode_t before = ::umask(022);
    QTemporaryDir dir;
    const QString file = dir.path() + "/Kestrova.ini";
    if (mode != 0) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(original);
        f.close();
        QVERIFY(::chmod(QFile::encodeName(file).constData(), mode_t(mode)) == 0);
    }
    SettingsStore store(dir.path());
    const bool written = store.write("Kestrova", "Run", "Number", "5");
    ::umask(before);
    QVERIFY(written);
    QCOMPARE(modeOf(file), mode_t(0600));
    QCOMPARE(QFile::exists(file + ".damaged"), repaired);
    if (repaired) {
        QCOMPARE(modeOf(file + ".damaged"), mode_t(0600));
        QFile kept(file + ".damaged");
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), original);
    }
    if (mode != 0)
        QCOMPARE(store.read("Kestrova", "Mail", "3"), QString("s3cret"));
    // Nothing else was left in the folder.
    QStringList expected{"Kestrova.ini"};
    if (repaired)
        expected << "Kestrova.ini.damaged";
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name), expected);
}

// A settings file of megabytes (here 16 MB of lines the reader takes for
// settings): not parsed on any read or write, set aside whole by renaming
// (nothing of that size is written), and the settings start afresh.
void TestSettings::hugeFileIsSetAsideUnread()
{
    QTemporaryDir dir;
    const QString file = dir.path() + "/Kestrova.ini";
    QByteArray original = "[User]\nName=Ada\n[Mail]\n3=s3cret\n[Junk]\n";
    for (int i = 0; original.size() < 16 * 1024 * 1024; ++i)
        original += "key" + QByteArray::number(i) + "=some value of the junk\n";
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(original), original.size());
    }
    QVERIFY(::chmod(QFile::encodeName(file).constData(), 0644) == 0);
    struct stat before {};
    QVERIFY(::stat(QFile::encodeName(file).constData(), &before) == 0);

    test::resetPeak();
    const long start = test::peakKb();
    SettingsStore store(dir.path());
    QCOMPARE(store.read("Kestrova", "User", "Name"), QString());
    QCOMPARE(store.read("Kestrova", "Options", "Show", "1"), QString("1"));
    QVERIFY(store.write("Kestrova", "Run", "Number", "1"));
    QCOMPARE(store.read("Kestrova", "Run", "Number"), QString("1"));
    QCOMPARE(store.read("Kestrova", "Mail", "3"), QString());
    const long growth = test::peakKb() - start;
    if (!KESTROVA_ASAN)
        QVERIFY2(growth < 8 * 1024, qPrintable(QString::number(growth)));

    // The same file, moved aside: not copied, owner-only.
    struct stat kept {};
    QVERIFY(::stat(QFile::encodeName(file + ".damaged").constData(), &kept) == 0);
    QCOMPARE(kept.st_ino, before.st_ino);
    QCOMPARE(qint64(kept.st_size), qint64(original.size()));
    QCOMPARE(kept.st_mode & 0777, mode_t(0600));
    QVERIFY(QFileInfo(file).size() < 1024);
}

// The tip option goes under the program file's base name, "kestrova": the
// same settings file as every other setting, and a second file of that
// spelling from before is merged into it.
void TestSettings::programNameInAnyCaseIsOneFile()
{
    QTemporaryDir dir;
    const auto files = [&dir] { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); };
    SettingsStore store(dir.path());
    QVERIFY(store.write("Kestrova", "Run", "Number", "3"));
    QVERIFY(store.write("kestrova", "Options", "Show Tips at Startup", "0"));
    QCOMPARE(store.read("kestrova", "Options", "Show Tips at Startup", "1"), QString("0"));
    QCOMPARE(store.read("KESTROVA", "Run", "Number"), QString("3"));
    QCOMPARE(files(), QStringList{"Kestrova.ini"});

    // What an earlier version left: its own file for the tip option.
    QTemporaryDir before;
    QFile stray(before.path() + "/kestrova.ini");
    QVERIFY(stray.open(QIODevice::WriteOnly));
    stray.write("[Options]\nShow Tips at Startup=0\n");
    stray.close();
    SettingsStore old(before.path());
    QVERIFY(old.write("Kestrova", "Run", "Number", "4"));
    QCOMPARE(old.read("kestrova", "Options", "Show Tips at Startup", "1"), QString("0"));
    QCOMPARE(old.read("Kestrova", "Run", "Number"), QString("4"));
    QCOMPARE(QDir(before.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), QStringList{"Kestrova.ini"});

    // One with a byte that is not UTF-8: what can be read is merged, and
    // the file is kept as it was.
    QTemporaryDir damaged;
    const QByteArray bytes = "[Options]\nShow Tips at Startup=0\n[User]\nName=Jos\xe9\n";
    QFile bad(damaged.path() + "/kestrova.ini");
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write(bytes);
    bad.close();
    QCOMPARE(SettingsStore(damaged.path()).read("kestrova", "Options", "Show Tips at Startup", "1"), QString("0"));
    QCOMPARE(QDir(damaged.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             (QStringList{"Kestrova.ini", "kestrova.ini.damaged"}));
    QFile kept(damaged.path() + "/kestrova.ini.damaged");
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), bytes);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
