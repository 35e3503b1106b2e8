#include "UserModel.h"

#include "FileOperations.h"
#include "IntegerText.h"
#include "SettingsStore.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcSettings)

namespace kestrova {

namespace {
const QString App = QStringLiteral("Kestrova");
} // namespace

UserModel::UserModel(SettingsStore &store, UserFiles files, QObject *parent)
    : QObject(parent), m_store(store), m_files(std::move(files))
{
}

QString UserModel::read(const QString &section, const QString &key) const
{
    return m_store.read(App, section, key);
}

bool UserModel::write(const QString &section, const QString &key, const QString &text) const
{
    return m_store.write(App, section, key, text);
}

void UserModel::loadUserName()
{
    m_userName = read(QStringLiteral("User"), QStringLiteral("Name"));
    Q_EMIT userNameChanged(m_userName);
}

bool UserModel::setUserName(const QString &name)
{
    m_userName = name;
    const bool stored = write(QStringLiteral("User"), QStringLiteral("Name"), name);
    Q_EMIT userNameChanged(m_userName);
    return stored;
}

void UserModel::setCharacterName(const QString &name)
{
    m_characterName = name;
    Q_EMIT characterNameChanged(name);
}

std::optional<bool> UserModel::loadJokesSwitch()
{
    const QString status = read(QStringLiteral("Jokes"), QStringLiteral("Status"));
    if (status == u"Off") {
        switchJokes(false);
        return false;
    }
    // "On", nothing stored (a new user) or any other word: the box "Turn
    // the Jokes off." shows unticked, and jokes are told, as it says.
    if (!m_jokesOn) {
        m_jokesOn = true;
        Q_EMIT jokesSwitched(true);
    }
    if (status == u"On")
        return true;
    return std::nullopt;
}

void UserModel::switchJokes(bool on)
{
    write(QStringLiteral("Jokes"), QStringLiteral("Status"), on ? QStringLiteral("On") : QStringLiteral("Off"));
    m_jokesOn = on;
    Q_EMIT jokesSwitched(on);
}

void UserModel::loadJokeLeadIn()
{
    m_jokeLeadIn = read(QStringLiteral("Jokes"), QStringLiteral("Say"));
}

bool UserModel::saveJokeLeadIn()
{
    return write(QStringLiteral("Jokes"), QStringLiteral("Say"), m_jokeLeadIn);
}

QString UserModel::accessoryKey(Accessory a)
{
    static const char *const keys[] = {"Calc", "CD", "Notepad", "Wordpad"};
    return QString::fromLatin1(keys[a]);
}

QString UserModel::accessoryCommand(Accessory a)
{
    static const char *const commands[] = {"Calculator", "CD Player", "Notepad", "Wordpad"};
    return QString::fromLatin1(commands[a]);
}

void UserModel::loadAccessories()
{
    for (int a = 0; a < AccessoryCount; ++a)
        m_accessoryFlags[a] = read(QStringLiteral("Accessories"), accessoryKey(Accessory(a)));
    for (int a = 0; a < AccessoryCount; ++a)
        m_accessoriesShown[a] = m_accessoryFlags[a] == Chosen;
    m_accessoriesLoaded = true;
    Q_EMIT accessoriesApplied();
}

bool UserModel::saveAccessories()
{
    bool all = true;
    for (int a = 0; a < AccessoryCount; ++a)
        all = write(QStringLiteral("Accessories"), accessoryKey(Accessory(a)), m_accessoryFlags[a]) && all;
    return all;
}

const UserModel::Slot &UserModel::slot(List list, int k) const
{
    static const Slot none;
    if (k < 0 || k >= Slots)
        return none;
    return m_slots[index(list)][k];
}

void UserModel::setSlot(List list, int k, const Slot &slot)
{
    if (k >= 0 && k < Slots)
        m_slots[index(list)][k] = slot;
}

void UserModel::setSlotName(List list, int k, const QString &name)
{
    if (k >= 0 && k < Slots)
        m_slots[index(list)][k].name = name;
}

void UserModel::setSlotTarget(List list, int k, const QString &target)
{
    if (k >= 0 && k < Slots)
        m_slots[index(list)][k].target = target;
}

int UserModel::findName(List list, const QString &name) const
{
    if (name.isEmpty())
        return -1;
    for (int k = 0; k < Slots; ++k)
        if (m_slots[index(list)][k].name == name)
            return k;
    return -1;
}

QString UserModel::listPlace(List list) const
{
    return m_files.listFile(list == List::Favourites ? FileOperations::FavouritesFile : FileOperations::OfficeFile);
}

bool UserModel::listFileExists(List list) const
{
    return FileOperations::FileExists(listPlace(list));
}

bool UserModel::loadList(List list)
{
    const auto values = FileOperations::LoadListFile(listPlace(list));
    if (!values)
        return false;
    for (int k = 0; k < Slots; ++k)
        m_slots[index(list)][k] = {values->at(2 * k), values->at(2 * k + 1)};
    Q_EMIT listLoaded(list);
    return true;
}

bool UserModel::saveList(List list)
{
    QStringList lines;
    for (Slot &s : m_slots[index(list)]) {
        s.name = FileOperations::SingleLine(s.name);
        s.target = FileOperations::SingleLine(s.target);
        lines << s.name << s.target;
    }
    return FileOperations::SaveListFile(listPlace(list), lines);
}

void UserModel::showList(List list)
{
    for (int k = 0; k < Slots; ++k)
        m_shown[index(list)][k] = m_slots[index(list)][k].name;
    Q_EMIT listShown(list);
}

const QStringList &UserModel::shownNames(List list) const
{
    return m_shown[index(list)];
}

qint16 UserModel::storedMailInterval() const
{
    qint16 minutes = 0;
    convertStoredInto(read(QStringLiteral("Mail"), QStringLiteral("4")), &minutes, QStringLiteral("Mail/4"));
    return minutes;
}

void UserModel::loadRestPosition(qint16 *x, qint16 *y) const
{
    convertStoredInto(read(QStringLiteral("Rest"), QStringLiteral("X")), x, QStringLiteral("Rest/X"));
    convertStoredInto(read(QStringLiteral("Rest"), QStringLiteral("Y")), y, QStringLiteral("Rest/Y"));
}

bool UserModel::storeRestPosition(qint16 x, qint16 y)
{
    const bool a = write(QStringLiteral("Rest"), QStringLiteral("X"), QString::number(x));
    const bool b = write(QStringLiteral("Rest"), QStringLiteral("Y"), QString::number(y));
    return a && b;
}

namespace {
const QString AlarmSection = QStringLiteral("Alarm");
const QString AlarmTimeForm = QStringLiteral("HH:mm:ss");
} // namespace

UserModel::Alarm UserModel::loadAlarm() const
{
    Alarm alarm;
    const QString stored = read(AlarmSection, QStringLiteral("Time")).trimmed();
    // As the program writes it, or as a hand-edited file may hold it,
    // without the seconds ("7:30", "07:30").
    for (const QString &form : {AlarmTimeForm, QStringLiteral("H:mm")}) {
        const QTime time = QTime::fromString(stored, form);
        if (time.isValid()) {
            alarm.time = time;
            break;
        }
    }
    if (!alarm.time && !stored.isEmpty())
        qCWarning(lcSettings).noquote()
            << QStringLiteral("The alarm time \"%1\" in the settings file is no time of day (HH:mm:ss); the alarm is off.")
                   .arg(stored.left(40));
    alarm.say = read(AlarmSection, QStringLiteral("Say"));
    alarm.event = read(AlarmSection, QStringLiteral("Event"));
    alarm.silent = read(AlarmSection, QStringLiteral("Silent")) == u"On";
    return alarm;
}

bool UserModel::storeAlarm(const Alarm &alarm)
{
    const bool a = write(AlarmSection, QStringLiteral("Time"), alarm.time ? alarm.time->toString(AlarmTimeForm) : QString());
    const bool b = write(AlarmSection, QStringLiteral("Say"), alarm.say);
    const bool c = write(AlarmSection, QStringLiteral("Event"), alarm.event);
    const bool d = storeAlarmSilent(alarm.silent);
    return a && b && c && d;
}

bool UserModel::storeAlarmSilent(bool silent)
{
    return write(AlarmSection, QStringLiteral("Silent"), silent ? QStringLiteral("On") : QStringLiteral("Off"));
}

void UserModel::loadAll()
{
    loadUserName();
    loadJokesSwitch();
    loadJokeLeadIn();
    loadAccessories();
    // A list without a file is empty, whatever was typed and not saved.
    for (List list : {List::Favourites, List::Office}) {
        if (!loadList(list)) {
            m_slots[index(list)].fill(Slot());
            Q_EMIT listLoaded(list);
        }
    }
    m_mailServer = read(QStringLiteral("Mail"), QStringLiteral("1"));
    m_mailUser = read(QStringLiteral("Mail"), QStringLiteral("2"));
}

} // namespace kestrova
