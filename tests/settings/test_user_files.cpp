#include "FileOperations.h"
#include "TextLines.h"
#include "UserFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <csignal>

#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrova;

namespace {

// Set in a child process: the process is killed at its next rename, the
// moment a save puts its new file in the old one's place.
std::atomic<bool> killAtRename{false};

} // namespace

// Every rename of this process, Qt's own included, passes here.
extern "C" int rename(const char *from, const char *to) noexcept
{
    if (killAtRename)
        ::raise(SIGKILL);
    using Rename = int (*)(const char *, const char *);
    static const auto next = reinterpret_cast<Rename>(::dlsym(RTLD_NEXT, "rename"));
    return next(from, to);
}

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList listed(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList favourites(const QString &first, const QString &url)
{
    QStringList values(FileOperations::ListLines);
    values[0] = first;
    values[1] = url;
    return values;
}

} // namespace

// The user's lists and jokes in the user's own folder, and the lists of
// earlier versions (beside the program's folder) taken over once.
class TestUserFiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void folderIsNamedKestrova();
    void oldListTakenOverOnce();
    void rootThenUser();
    void nothingWrittenBesideTheProgram();
    void unreadableOldListLosesNothing();
    void jokesEditedCopySurvivesRebuild();
    void jokesWithoutShippedFile();
    void jokesCopyThatCannotBeMade();
    void killedSaveLeavesNothingBehind();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString programDir() const { return m_dir->path() + "/opt/bin"; }
    QString oldFavourites() const { return m_dir->path() + "/opt/binfavourites.txt"; }
    QString userDir() const { return m_dir->path() + "/home/.local/share/Kestrova"; }
};

void TestUserFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir().mkpath(programDir()));
}

void TestUserFiles::folderIsNamedKestrova()
{
    const QByteArray home = qgetenv("HOME"), xdg = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir->path() + "/xdg"));
    QCOMPARE(UserFiles::defaultDataDir(), m_dir->path() + "/xdg/Kestrova");
    qunsetenv("XDG_DATA_HOME");
    qputenv("HOME", QFile::encodeName(m_dir->path() + "/home"));
    QCOMPARE(UserFiles::defaultDataDir(), m_dir->path() + "/home/.local/share/Kestrova");
    // Left empty, the folder is the default one.
    QCOMPARE(UserFiles(programDir(), QString()).dataDir(), m_dir->path() + "/home/.local/share/Kestrova");
    qputenv("HOME", home);
    qputenv("XDG_DATA_HOME", xdg);
}

void TestUserFiles::oldListTakenOverOnce()
{
    QVERIFY(writeFile(oldFavourites(), "Old\r\nhttps://old.example.org/\r\n"));
    const UserFiles files(programDir(), userDir());
    const QString place = files.listFile(FileOperations::FavouritesFile);
    QCOMPARE(place, userDir() + "/favourites.txt");
    QCOMPARE(FileOperations::LoadListFile(place)->mid(0, 2), QStringList({"Old", "https://old.example.org/"}));

    // Changed at the old place afterwards (another user, an old version):
    // the user's list stays theirs.
    QVERIFY(writeFile(oldFavourites(), "Other\r\nhttps://other.example.org/\r\n"));
    QCOMPARE(files.listFile(FileOperations::FavouritesFile), place);
    QCOMPARE(FileOperations::LoadListFile(place)->at(0), QString("Old"));
    // Saved by the user: their folder only.
    QVERIFY(FileOperations::SaveListFile(place, favourites("Mine", "https://mine.example.org/")));
    QCOMPARE(readFile(oldFavourites()), QByteArray("Other\r\nhttps://other.example.org/\r\n"));
    QCOMPARE(FileOperations::LoadListFile(files.listFile(FileOperations::FavouritesFile))->at(0), QString("Mine"));

    // No old file and none of the user's: nothing is made until a save.
    QCOMPARE(files.listFile(FileOperations::OfficeFile), userDir() + "/Office.txt");
    QVERIFY(!QFileInfo::exists(userDir() + "/Office.txt"));
}

// Root ran an earlier version, which left a list beside the program's folder
// that only root may write; then a user starts the program. The user part
// runs as "nobody" when the test runs as root, so the permissions are real.
void TestUserFiles::rootThenUser()
{
    // Root's run: root's own folder.
    const QString rootDir = m_dir->path() + "/root/.local/share/Kestrova";
    QVERIFY(writeFile(oldFavourites(), "Root's\r\nhttps://root.example.org/\r\n"));
    QVERIFY(QFile::setPermissions(oldFavourites(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                       | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    const UserFiles root(programDir(), rootDir);
    QVERIFY(FileOperations::SaveListFile(root.listFile(FileOperations::FavouritesFile),
                                         favourites("Root's", "https://root.example.org/")));
    QVERIFY(QFileInfo::exists(rootDir + "/favourites.txt"));

    // The user's run.
    const QString home = m_dir->path() + "/user";
    QVERIFY(QDir().mkpath(home));
    const auto userPart = [&]() -> bool {
        const UserFiles user(programDir(), home + "/.local/share/Kestrova");
        const QString place = user.listFile(FileOperations::FavouritesFile);
        if (place != home + "/.local/share/Kestrova/favourites.txt")
            return false;
        const auto taken = FileOperations::LoadListFile(place);
        if (!taken || taken->at(0) != u"Root's")
            return false;
        if (!FileOperations::SaveListFile(place, favourites("User's", "https://user.example.org/")))
            return false;
        const auto back = FileOperations::LoadListFile(user.listFile(FileOperations::FavouritesFile));
        return back && back->at(0) == u"User's";
    };
    if (geteuid() != 0) {
        QVERIFY(userPart());
    } else {
        // Let "nobody" through to its home; everything else stays root's.
        for (QString d = home; d.startsWith(m_dir->path()); d = QFileInfo(d).absolutePath())
            QCOMPARE(::chmod(QFile::encodeName(d).constData(), 0755), 0);
        QCOMPARE(::chown(QFile::encodeName(home).constData(), 65534, 65534), 0);
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(3);
            // Really unable to write root's file now.
            if (QFile(oldFavourites()).open(QIODevice::WriteOnly | QIODevice::Append))
                _exit(4);
            _exit(userPart() ? 0 : 1);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
    }
    // Root's file and root's own list are as root left them.
    QCOMPARE(readFile(oldFavourites()), QByteArray("Root's\r\nhttps://root.example.org/\r\n"));
    QCOMPARE(FileOperations::LoadListFile(rootDir + "/favourites.txt")->at(0), QString("Root's"));
}

void TestUserFiles::nothingWrittenBesideTheProgram()
{
    const QString parent = m_dir->path() + "/opt";
    const QStringList before = listed(parent), inside = listed(programDir());
    const UserFiles files(programDir(), userDir());
    QVERIFY(FileOperations::SaveListFile(files.listFile(FileOperations::FavouritesFile), favourites("a", "b")));
    QVERIFY(FileOperations::SaveListFile(files.listFile(FileOperations::OfficeFile), favourites("c", "d")));
    QVERIFY(!files.jokesToEdit().isEmpty());
    QCOMPARE(listed(parent), before);
    QCOMPARE(listed(programDir()), inside);
    QCOMPARE(listed(userDir()), QStringList({"JOKES.TXT", "Office.txt", "favourites.txt"}));
}

void TestUserFiles::unreadableOldListLosesNothing()
{
    // A folder where the old file was: nothing to take over, nothing made.
    QVERIFY(QDir().mkpath(oldFavourites()));
    const UserFiles files(programDir(), userDir());
    const QString place = files.listFile(FileOperations::FavouritesFile);
    QVERIFY(!QFileInfo::exists(place));
    QVERIFY(FileOperations::SaveListFile(place, favourites("New", "https://new.example.org/")));
    QCOMPARE(FileOperations::LoadListFile(place)->at(0), QString("New"));
    QVERIFY(QFileInfo(oldFavourites()).isDir());
}

void TestUserFiles::jokesEditedCopySurvivesRebuild()
{
    const QString shipped = programDir() + "/JOKES.TXT";
    QVERIFY(writeFile(shipped, "Shipped one\r\nShipped two\r\n"));
    const UserFiles files(programDir(), userDir());
    // Nothing of the user's yet: the shipped jokes are read.
    QCOMPARE(files.jokesToRead(), shipped);

    // "Edit Jokes": the user's copy, made from the shipped file.
    const QString mine = files.jokesToEdit();
    QCOMPARE(mine, userDir() + "/JOKES.TXT");
    QCOMPARE(readFile(mine), readFile(shipped));
    QVERIFY(writeFile(mine, "Shipped one\r\nMy own joke\r\n"));

    // A rebuild replaces the shipped file.
    QVERIFY(QFile::remove(shipped));
    QVERIFY(writeFile(shipped, "Rebuilt\r\n"));
    QCOMPARE(files.jokesToRead(), mine);
    QCOMPARE(*readTextLines(files.jokesToRead()), QStringList({"Shipped one", "My own joke"}));
    // Editing again opens the same copy, untouched.
    QCOMPARE(files.jokesToEdit(), mine);
    QCOMPARE(readFile(mine), QByteArray("Shipped one\r\nMy own joke\r\n"));
}

void TestUserFiles::jokesWithoutShippedFile()
{
    const UserFiles files(programDir(), userDir());
    QVERIFY(!QFileInfo::exists(files.jokesToRead()));
    const QString mine = files.jokesToEdit();
    QCOMPARE(mine, userDir() + "/JOKES.TXT");
    QCOMPARE(readFile(mine), QByteArray());
    QCOMPARE(files.jokesToRead(), mine);
}

void TestUserFiles::jokesCopyThatCannotBeMade()
{
    QVERIFY(writeFile(programDir() + "/JOKES.TXT", "One\r\n"));
    // A file where the user's folder should be.
    QVERIFY(writeFile(userDir(), "in the way"));
    const UserFiles files(programDir(), userDir());
    QCOMPARE(files.jokesToEdit(), QString());
    QCOMPARE(files.jokesToRead(), programDir() + "/JOKES.TXT");
    QCOMPARE(readFile(userDir()), QByteArray("in the way"));
}

// A save killed at the moment it renames its new file over the list: the
// list is as it was, and the next load and save leave nothing else beside it.
void TestUserFiles::killedSaveLeavesNothingBehind()
{
    const UserFiles files(programDir(), userDir());
    const QString place = files.listFile(FileOperations::FavouritesFile);
    QVERIFY(FileOperations::SaveListFile(place, favourites("Old", "https://old.example.org/")));
    for (int round = 0; round < 2; ++round) {
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            killAtRename = true;
            FileOperations::SaveListFile(place, favourites("New", "https://new.example.org/"));
            ::_exit(3);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    }
    QCOMPARE(FileOperations::LoadListFile(place)->at(0), QString("Old"));
    QVERIFY(FileOperations::SaveListFile(place, favourites("Mine", "https://mine.example.org/")));
    QCOMPARE(listed(userDir()), QStringList({"favourites.txt"}));
    QCOMPARE(FileOperations::LoadListFile(place)->at(0), QString("Mine"));
}

QTEST_GUILESS_MAIN(TestUserFiles)
#include "test_user_files.moc"
