#pragma once

#include "UserFiles.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTime>

#include <array>
#include <optional>

namespace kestrova {

class SettingsStore;

// The user's things, typed, for the whole run: the user's name, the jokes
// switch and lead-in, the accessory choices, the favourites and office
// lists, the mail account and interval, and the rest position. It reads and
// writes the settings store with the sections, keys and texts the program
// has always used, and owns the two list files. No windows: the options
// window is a view of it, and the menus, the toolbar and the command table
// follow its signals.
//
// Two copies are kept where the user edits before storing: the working copy
// (what the options window's boxes show, and what a menu entry or a spoken
// name uses at once) and what the menus show (changed only when the user
// saves, or when the stored lists are loaded and shown).
class UserModel : public QObject {
    Q_OBJECT
public:
    enum class List { Favourites, Office };
    enum Accessory { Calculator, CDPlayer, Notepad, Wordpad };
    static constexpr int AccessoryCount = 4;
    static constexpr int Slots = 10;
    struct Slot {
        QString name;    // the menu caption and spoken name; empty: undefined
        QString target;  // the address or command line
        bool operator==(const Slot &) const = default;
    };

    UserModel(SettingsStore &store, UserFiles files, QObject *parent = nullptr);

    SettingsStore &store() const { return m_store; }
    const UserFiles &files() const { return m_files; }

    // The user's name. Loaded from "User"/"Name"; empty when absent.
    const QString &userName() const { return m_userName; }
    void loadUserName();
    // Keeps and stores the name exactly as typed; returns whether it was
    // stored (the name is kept for this run either way).
    bool setUserName(const QString &name);

    // The character shown as the current one; the program's, kept here so
    // the options window can show it whenever it is made.
    const QString &characterName() const { return m_characterName; }
    void setCharacterName(const QString &name);

    // Jokes: told while on, as on a fresh start. Loading "Off" switches
    // them off as the user's switch does (stores "Off" again, the joke timer
    // stops); loading anything else, nothing included, switches them on
    // (jokesSwitched when they were off), as the unticked box then says.
    bool jokesOn() const { return m_jokesOn; }
    // The stored switch: on, off, or nothing for any other word.
    std::optional<bool> loadJokesSwitch();
    // The user's switch: stored at once ("On"/"Off"), and jokesSwitched.
    void switchJokes(bool on);
    // Sets the switch for this run only, nothing stored.
    void setJokesOn(bool on) { m_jokesOn = on; }
    // The working lead-in before each joke; stored with saveJokeLeadIn.
    const QString &jokeLeadIn() const { return m_jokeLeadIn; }
    void setJokeLeadIn(const QString &text) { m_jokeLeadIn = text; }
    void loadJokeLeadIn();
    bool saveJokeLeadIn();

    // The accessory choices: a flag "Sel" means chosen (exactly; "sel" is
    // not). The working flags follow the options window's boxes; loading
    // reads the stored flags into them and applies them (the menu entries
    // and the spoken commands follow accessoriesApplied).
    static QString accessoryKey(Accessory a);
    static QString accessoryCommand(Accessory a);
    static inline const QString Chosen = QStringLiteral("Sel");
    const QString &accessoryFlag(Accessory a) const { return m_accessoryFlags[a]; }
    void setAccessoryFlag(Accessory a, const QString &flag) { m_accessoryFlags[a] = flag; }
    bool accessoryShown(Accessory a) const { return m_accessoriesShown[a]; }
    // Whether the choices have been applied once this run.
    bool accessoriesLoaded() const { return m_accessoriesLoaded; }
    void loadAccessories();
    // Stores the working flags; returns whether every one was stored.
    bool saveAccessories();

    // The two lists of ten slots. The working slots are what the user's
    // menus and spoken names act on; the shown names are the menus'.
    const Slot &slot(List list, int k) const;
    void setSlot(List list, int k, const Slot &slot);
    void setSlotName(List list, int k, const QString &name);
    void setSlotTarget(List list, int k, const QString &target);
    // The first slot whose working name is exactly `name` (never for an
    // empty name); -1 when none.
    int findName(List list, const QString &name) const;
    QString listPlace(List list) const;
    bool listFileExists(List list) const;
    // Reads the list file into the working slots (listLoaded); false, and
    // the slots as they were, when there is no file.
    bool loadList(List list);
    // Writes the working slots (each made one line); returns whether the
    // file was written.
    bool saveList(List list);
    // The menus take the working names as they stand (listShown).
    void showList(List list);
    const QStringList &shownNames(List list) const;

    // The mail account as the options window's mail page edits it: the
    // working server is what a check and the menu's test use.
    const QString &mailServer() const { return m_mailServer; }
    void setMailServer(const QString &server) { m_mailServer = server; }
    const QString &mailUser() const { return m_mailUser; }
    void setMailUser(const QString &user) { m_mailUser = user; }
    // The stored interval in minutes: "0", missing or not a number read as 0.
    qint16 storedMailInterval() const;

    // The rest position: a stored text that is not a number leaves the
    // value as it was.
    void loadRestPosition(qint16 *x, qint16 *y) const;
    bool storeRestPosition(qint16 x, qint16 y);

    // The daily alarm, kept from one run to the next: its time (none while
    // disarmed), the words said before the event, the event and the mode.
    // A stored time that is not a time of day ("HH:mm:ss") reads as none.
    struct Alarm {
        std::optional<QTime> time;
        QString say;
        QString event;
        bool silent = false;
    };
    Alarm loadAlarm() const;
    // Returns whether every value reached the file.
    bool storeAlarm(const Alarm &alarm);
    bool storeAlarmSilent(bool silent);

    // Everything the program needs at start-up, in the order the options
    // window has always loaded it.
    void loadAll();

Q_SIGNALS:
    void userNameChanged(const QString &name);
    void characterNameChanged(const QString &name);
    void jokesSwitched(bool on);
    void accessoriesApplied();
    void listShown(UserModel::List list);
    // The working slots of a list were read from its file.
    void listLoaded(UserModel::List list);

private:
    QString read(const QString &section, const QString &key) const;
    bool write(const QString &section, const QString &key, const QString &text) const;
    int index(List list) const { return list == List::Favourites ? 0 : 1; }

    SettingsStore &m_store;
    UserFiles m_files;
    QString m_userName;
    QString m_characterName;
    bool m_jokesOn = true;
    QString m_jokeLeadIn;
    std::array<QString, AccessoryCount> m_accessoryFlags;
    std::array<bool, AccessoryCount> m_accessoriesShown{};
    bool m_accessoriesLoaded = false;
    std::array<std::array<Slot, Slots>, 2> m_slots;
    std::array<QStringList, 2> m_shown{QStringList(Slots), QStringList(Slots)};
    QString m_mailServer;
    QString m_mailUser;
};

} // namespace kestrova
