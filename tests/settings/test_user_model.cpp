#include "FileOperations.h"
#include "SettingsStore.h"
#include "UserModel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrova;
using List = UserModel::List;

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A settings file as the program wrote it before the model existed (the
// options window, the user-name window and the rest button each wrote
// their own keys through the store).
const QByteArray Stored = "[Accessories]\n"
                          "CD=\n"
                          "Calc=Sel\n"
                          "Notepad=sel\n"
                          "Wordpad=Sel\n"
                          "\n"
                          "[Jokes]\n"
                          "Say=Here's one:\n"
                          "Status=Off\n"
                          "\n"
                          "[Mail]\n"
                          "1=pop.example.org\n"
                          "2=robin\n"
                          "4=10\n"
                          "\n"
                          "[Rest]\n"
                          "X=640\n"
                          "Y=abc\n"
                          "\n"
                          "[Run]\n"
                          "Number=7\n"
                          "\n"
                          "[User]\n"
                          "Name=\"Robin \"\n";

} // namespace

// The user's things read from and written to the store and the list files.
class TestUserModel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void readsWhatTheProgramStored();
    void writesTheSameKeys();
    void freshUser();
    void jokesSwitch();
    void listsWorkingAndShown();
    void loadAllDropsUnsavedEdits();
    void unreadableMailInterval();
    void alarmTimeAsStoredOrTyped();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<UserModel> m_model;
    QString dataDir() const { return m_dir->path() + "/data"; }
};

void TestUserModel::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_store = std::make_unique<SettingsStore>(m_dir->path() + "/settings");
    m_model = std::make_unique<UserModel>(*m_store, UserFiles(m_dir->path() + "/bin", dataDir()));
}

void TestUserModel::readsWhatTheProgramStored()
{
    QVERIFY(writeFile(m_store->fileOf("Kestrova"), Stored));
    QSignalSpy applied(m_model.get(), &UserModel::accessoriesApplied);
    m_model->loadAll();
    QCOMPARE(m_model->userName(), QString("Robin "));
    QVERIFY(!m_model->jokesOn());
    QCOMPARE(m_model->jokeLeadIn(), QString("Here's one:"));
    QCOMPARE(applied.count(), 1);
    QVERIFY(m_model->accessoryShown(UserModel::Calculator));
    QVERIFY(!m_model->accessoryShown(UserModel::CDPlayer));
    QVERIFY(!m_model->accessoryShown(UserModel::Notepad)); // "sel" is not "Sel"
    QVERIFY(m_model->accessoryShown(UserModel::Wordpad));
    QCOMPARE(m_model->accessoryFlag(UserModel::Notepad), QString("sel"));
    QCOMPARE(m_model->mailServer(), QString("pop.example.org"));
    QCOMPARE(m_model->storedMailInterval(), qint16(10));
    qint16 x = 1, y = 2;
    // "abc" leaves the value as it was, and the log says so.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Rest/Y holds \"abc\".*2 is used"));
    m_model->loadRestPosition(&x, &y);
    QCOMPARE(x, qint16(640));
    QCOMPARE(y, qint16(2));
    // Values the model does not own are left alone.
    QCOMPARE(m_store->read("Kestrova", "Run", "Number"), QString("7"));
}

void TestUserModel::writesTheSameKeys()
{
    m_model->setUserName("Sam");
    m_model->switchJokes(true);
    m_model->setJokeLeadIn("Listen:");
    QVERIFY(m_model->saveJokeLeadIn());
    m_model->setAccessoryFlag(UserModel::CDPlayer, UserModel::Chosen);
    QVERIFY(m_model->saveAccessories());
    QVERIFY(m_model->storeRestPosition(-12, 480));
    const auto read = [this](const char *section, const char *key) { return m_store->read("Kestrova", section, key); };
    QCOMPARE(read("User", "Name"), QString("Sam"));
    QCOMPARE(read("Jokes", "Status"), QString("On"));
    QCOMPARE(read("Jokes", "Say"), QString("Listen:"));
    QCOMPARE(read("Accessories", "CD"), QString("Sel"));
    QCOMPARE(read("Accessories", "Calc"), QString());
    QCOMPARE(read("Rest", "X"), QString("-12"));
    QCOMPARE(read("Rest", "Y"), QString("480"));
    // Stored, not yet applied: the menus change when the choices are loaded.
    QVERIFY(!m_model->accessoryShown(UserModel::CDPlayer));
    m_model->loadAccessories();
    QVERIFY(m_model->accessoryShown(UserModel::CDPlayer));
}

void TestUserModel::freshUser()
{
    QSignalSpy switched(m_model.get(), &UserModel::jokesSwitched);
    m_model->loadAll();
    QCOMPARE(m_model->userName(), QString());
    // Jokes are on, as the unticked "Turn the Jokes off." says.
    QVERIFY(m_model->jokesOn());
    QCOMPARE(switched.count(), 0);
    for (int a = 0; a < UserModel::AccessoryCount; ++a)
        QVERIFY(!m_model->accessoryShown(UserModel::Accessory(a)));
    QTest::failOnWarning(QRegularExpression("Mail/4"));
    QCOMPARE(m_model->storedMailInterval(), qint16(0));
    QCOMPARE(m_model->slot(List::Favourites, 0), UserModel::Slot());
    // Loading wrote nothing: no settings file, no list files.
    QVERIFY(!QFile::exists(m_store->fileOf("Kestrova")));
    QVERIFY(!QDir(dataDir()).exists());
}

void TestUserModel::jokesSwitch()
{
    QSignalSpy switched(m_model.get(), &UserModel::jokesSwitched);
    m_store->write("Kestrova", "Jokes", "Status", "On");
    QCOMPARE(m_model->loadJokesSwitch(), std::optional<bool>(true));
    QVERIFY(m_model->jokesOn());
    QCOMPARE(switched.count(), 0);
    // "Off" switches them off as the user's switch does: stored again, the
    // joke timer told.
    m_store->write("Kestrova", "Jokes", "Status", "Off");
    QCOMPARE(m_model->loadJokesSwitch(), std::optional<bool>(false));
    QVERIFY(!m_model->jokesOn());
    QCOMPARE(switched.count(), 1);
    QCOMPARE(switched.at(0).at(0).toBool(), false);
    // Another word is not "Off": the box shows unticked, and jokes are
    // switched on again, the joke timer told.
    m_store->write("Kestrova", "Jokes", "Status", "off");
    QCOMPARE(m_model->loadJokesSwitch(), std::nullopt);
    QVERIFY(m_model->jokesOn());
    QCOMPARE(switched.count(), 2);
    QCOMPARE(switched.at(1).at(0).toBool(), true);
    QCOMPARE(m_store->read("Kestrova", "Jokes", "Status"), QString("off"));
}

void TestUserModel::listsWorkingAndShown()
{
    QVERIFY(writeFile(dataDir() + "/favourites.txt", "News\r\nhttps://news.example.org/\r\n\r\nhttps://nameless.example.org/\r\n"));
    QSignalSpy loaded(m_model.get(), &UserModel::listLoaded);
    QSignalSpy shown(m_model.get(), &UserModel::listShown);
    QVERIFY(m_model->loadList(List::Favourites));
    QVERIFY(!m_model->loadList(List::Office));
    QCOMPARE(loaded.count(), 1);
    QCOMPARE(m_model->slot(List::Favourites, 1).target, QString("https://nameless.example.org/"));
    // The menus show names only when told.
    QCOMPARE(m_model->shownNames(List::Favourites).value(0), QString());
    m_model->showList(List::Favourites);
    QCOMPARE(shown.count(), 1);
    QCOMPARE(m_model->shownNames(List::Favourites).value(0), QString("News"));
    // An edit is used at once, shown only after the next showList.
    m_model->setSlotTarget(List::Favourites, 0, "https://edited.example.org/");
    m_model->setSlotName(List::Favourites, 0, "Edited");
    QCOMPARE(m_model->findName(List::Favourites, "Edited"), 0);
    QCOMPARE(m_model->findName(List::Favourites, "News"), -1);
    QCOMPARE(m_model->findName(List::Favourites, ""), -1); // slot 1 has no name
    QCOMPARE(m_model->shownNames(List::Favourites).value(0), QString("News"));
    // Out of range slots are refused.
    m_model->setSlotName(List::Favourites, 10, "x");
    QCOMPARE(m_model->slot(List::Favourites, 10), UserModel::Slot());
    // A pasted line break becomes one line in the file and in the slot.
    m_model->setSlotName(List::Office, 2, "Two\r\nlines");
    QVERIFY(m_model->saveList(List::Office));
    QCOMPARE(m_model->slot(List::Office, 2).name, QString("Two lines"));
    const auto back = FileOperations::LoadListFile(dataDir() + "/Office.txt");
    QVERIFY(back);
    QCOMPARE(back->at(4), QString("Two lines"));
}

void TestUserModel::loadAllDropsUnsavedEdits()
{
    QVERIFY(writeFile(dataDir() + "/favourites.txt", "News\r\nhttps://news.example.org/\r\n"));
    m_store->write("Kestrova", "Jokes", "Say", "Stored:");
    m_store->write("Kestrova", "Mail", "1", "pop.example.org");
    m_model->loadAll();
    m_model->setSlotTarget(List::Favourites, 0, "https://unsaved.example.org/");
    m_model->setSlotName(List::Office, 0, "Unsaved");
    m_model->setJokeLeadIn("Unsaved:");
    m_model->setMailServer("");
    m_model->setAccessoryFlag(UserModel::Calculator, UserModel::Chosen);
    m_model->loadAll();
    QCOMPARE(m_model->slot(List::Favourites, 0).target, QString("https://news.example.org/"));
    // No office file: the unsaved slot is gone too.
    QCOMPARE(m_model->slot(List::Office, 0), UserModel::Slot());
    QCOMPARE(m_model->jokeLeadIn(), QString("Stored:"));
    QCOMPARE(m_model->mailServer(), QString("pop.example.org"));
    QCOMPARE(m_model->accessoryFlag(UserModel::Calculator), QString());
}

QTEST_GUILESS_MAIN(TestUserModel)
// The alarm set in an earlier run: as the program writes its time, or as
// a hand-edited file holds it; a time it cannot read leaves the alarm off
// and says so, and the file keeps it.
// An interval the program cannot read turns timed checks off, and the log
// says which setting held what; the file keeps it.
void TestUserModel::unreadableMailInterval()
{
    for (const QString stored : {"ten", "99999", "5 minutes"}) {
        QVERIFY(m_store->write("Kestrova", "Mail", "4", stored));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Mail/4 holds \"" + QRegularExpression::escape(stored)
                                                              + "\".*0 is used"));
        QCOMPARE(m_model->storedMailInterval(), qint16(0));
        QCOMPARE(m_store->read("Kestrova", "Mail", "4"), stored);
    }
    QVERIFY(m_store->write("Kestrova", "Mail", "4", " -3 "));
    QTest::failOnWarning(QRegularExpression("Mail/4"));
    QCOMPARE(m_model->storedMailInterval(), qint16(-3));
}

void TestUserModel::alarmTimeAsStoredOrTyped()
{
    const QList<std::pair<QString, QTime>> read = {
        {"07:30:15", QTime(7, 30, 15)}, {"07:30", QTime(7, 30)}, {" 7:30 ", QTime(7, 30)}, {"23:59", QTime(23, 59)}};
    for (const auto &[stored, time] : read) {
        QVERIFY(m_store->write("Kestrova", "Alarm", "Time", stored));
        const UserModel::Alarm alarm = m_model->loadAlarm();
        QVERIFY2(alarm.time && *alarm.time == time, qPrintable(stored));
    }
    for (const QString stored : {"25:99", "7.30 tomorrow", "-1:00"}) {
        QVERIFY(m_store->write("Kestrova", "Alarm", "Time", stored));
        QVERIFY(m_store->write("Kestrova", "Alarm", "Say", "Wake up"));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("alarm time \"" + QRegularExpression::escape(stored) + "\".*alarm is off"));
        const UserModel::Alarm alarm = m_model->loadAlarm();
        QVERIFY(!alarm.time);
        QCOMPARE(alarm.say, QString("Wake up"));
        QCOMPARE(m_store->read("Kestrova", "Alarm", "Time"), stored);
    }
    // No alarm set is no fault.
    QVERIFY(m_store->write("Kestrova", "Alarm", "Time", ""));
    QVERIFY(!m_model->loadAlarm().time);
}

#include "test_user_model.moc"
