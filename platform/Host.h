#pragma once

// What every window of the program may ask of the program itself: where it
// lives, its settings, the platform services, the loaded character, the
// window registry, the windows themselves and the host window's public
// operations. The program (app/Application) implements it; windows in
// settings/, launch/ and tools/ take a Host& so they need nothing of app/.

#include "PlatformServices.h"

#include <QPoint>
#include <QRect>
#include <QString>

#include <optional>

namespace kestrova {

class ActionRegistry;
class AlarmWatch;
class CharacterSink;
class UserModel;
class Timers;
class Forms;
class FrmAlarm;
class FrmCalender;
class FrmMain;
class FrmMenus;
class FrmOpen;
class FrmQuick;
class FrmSearch;
class FrmTour;
class FrmUser;
class MailChecker;
class MailWatch;
class WordControls;
class frmAbout;
class SettingsStore;
class PasswordStore;
namespace character { class CharacterRef; class CharacterService; class Request; }

// What the program is handed from outside. Not owned.
struct AppContext {
    QString programDir;
    // Where the program keeps the user's own files (lists, jokes); the
    // per-user data folder ~/.local/share/Kestrova when left empty.
    QString userDataDir;
    SettingsStore *settings = nullptr;
    // Where the mail password is kept; the plain setting when null.
    PasswordStore *passwords = nullptr;
    PlatformServices platform;
    character::CharacterService *characterService = nullptr;
    // What the mail timer counts its minutes on; the event loop's timers
    // when null.
    Timers *mailTimers = nullptr;
};

class Host {
public:
    virtual ~Host() = default;

    virtual const AppContext &context() const = 0;
    virtual Forms &forms() = 0;
    // The user's things, for the whole run.
    virtual UserModel &model() = 0;
    // Every action the user can ask for, by id.
    virtual ActionRegistry &actions() = 0;

    // The loaded character of the host window; empty while none is loaded.
    virtual character::CharacterRef &agent() = 0;
    // The character as the watches and the launches reach it: it speaks,
    // and tells the desktop's notifications while it is hidden.
    virtual CharacterSink &sink() = 0;
    // The host window's operations.
    virtual void AgentQuit() = 0;
    virtual void AgentVisible() = 0;
    // The character's rest position (screen pixels), kept by the program.
    virtual void setRestPosition(qint16 x, qint16 y) = 0;

    // The windows, each created and loaded on first use; after it has been
    // closed the next use creates it again and runs its load again.
    virtual FrmMain *frmMain() = 0;
    virtual FrmMenus *frmMenus() = 0;
    virtual FrmUser *frmUser() = 0;

    // The mail timer and its counters, kept for the whole run.
    virtual MailWatch &mailWatch() = 0;
    // One mail check with the account as it stands, for every way of asking.
    virtual MailChecker &mailChecker() = 0;
    virtual FrmQuick *frmQuick() = 0;
    virtual FrmCalender *frmCalender() = 0;
    virtual FrmAlarm *frmAlarm() = 0;
    virtual FrmSearch *frmSearch() = 0;
    virtual FrmOpen *frmOpen() = 0;
    virtual FrmTour *frmTour() = 0;
    virtual frmAbout *aboutBox() = 0;

    // The daily alarm and its watch (asleep until the alarm is due), kept
    // for the whole run.
    virtual AlarmWatch &alarm() = 0;

    // The word processor's operations and its reference, kept for the
    // whole run.
    virtual WordControls &wordControls() = 0;

    // The character's moves beside a window (its frame on the screen) and
    // back to its rest position. MoveToTarget returns the walk's request.
    virtual character::Request MoveToTarget(const QRect &windowFrame) = 0;
    // Where MoveToTarget would send the character for that frame; nothing
    // where it would not go.
    virtual std::optional<QPoint> targetBeside(const QRect &windowFrame) const = 0;
    virtual void MoveToRest() = 0;
};

} // namespace kestrova
