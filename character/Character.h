#pragma once

#include "Commands.h"
#include "Request.h"

#include <QList>

#include <QObject>
#include <QString>

namespace kestrova::character {

// What the user said or chose from the character's command menu.
struct UserInput {
    QString name;        // the command's name
    int confidence = 0;  // -100 .. 100
    QString voice;       // the words heard, or the caption chosen
};

// Mouse buttons as the character's Click and DblClick events report them.
enum MouseButton { LeftButton = 1, RightButton = 2, MiddleButton = 4 };

// The one loaded character: everything the program asks of it. Every queued
// operation returns a request handle; completion is reported through
// requestComplete with the same handle. Requests play strictly one after
// another in the order they were made. Handles are unique across every
// character of the run, so a handle kept from one character never matches
// a request of the one that replaced it.
class Character : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Character() override = default;

    // Queued requests. Text from outside the program goes into a speech
    // text as outsideText() pieces (see SpeechText.h).
    virtual Request speak(const QString &text) = 0;
    virtual Request think(const QString &text) = 0;
    virtual Request play(const QString &animation) = 0;
    virtual Request show() = 0;
    virtual Request hide() = 0;
    virtual Request moveTo(int x, int y) = 0;
    virtual Request gestureAt(int x, int y) = 0;

    // Immediate operations. A request ended or dropped by them reports
    // requestComplete all the same, at once and in the order made.
    virtual void stop() = 0;     // ends the request that is playing now
    virtual void stopAll() = 0;  // ends it and drops everything queued
    // Ends those of the requests still playing or queued; the others play
    // on. Each ended one reports, in the order it was made.
    virtual void stopRequests(const QList<Request> &requests) = 0;
    virtual void listen(bool on) = 0;
    // Puts the character at x, y now, as the user's drag does: no request,
    // no animation; what it is saying goes on where it stands. A glide under
    // way ends there.
    virtual void placeAt(int x, int y) = 0;
    // Something is playing: a request made now waits behind it.
    virtual bool busy() const = 0;

    // Properties.
    virtual QString name() const = 0;
    virtual bool visible() const = 0;
    virtual int left() const = 0;   // screen pixels
    virtual int top() const = 0;
    virtual int languageId() const = 0;
    virtual void setLanguageId(int id) = 0;
    virtual int balloonStyle() const = 0;
    virtual void setBalloonStyle(int style) = 0;
    virtual Commands &commands() = 0;
    // While held, what the balloon shows stays after its request has ended,
    // until another request shows something else, the character hides, or
    // the hold is released: a question stays on screen while it waits for
    // the answer.
    virtual void holdBalloon(bool held) { Q_UNUSED(held); }
    virtual bool balloonHeld() const { return false; }

    // Bit 0 of the balloon style: the word balloon is shown while speaking.
    static constexpr int BalloonOn = 0x1;

Q_SIGNALS:
    void requestComplete(kestrova::character::Request request);
    void click(int button, int shift, int x, int y);
    void dblClick(int button, int shift, int x, int y);
    void command(const kestrova::character::UserInput &input);
};

// The character service control: loads and unloads characters by ID and
// raises their events, tagged with the character's ID. Characters it loads
// belong to it.
class CharacterService : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~CharacterService() override = default;

    // Loads the user's default character under the given ID. Returns false
    // when no character could be loaded; the ID then names nothing.
    virtual bool load(const QString &id) = 0;
    virtual Character *character(const QString &id) const = 0;
    virtual void unload(const QString &id) = 0;
    // When the last load refused a character: which one, why, and what was
    // loaded instead, as sentences the user can read. Empty otherwise.
    virtual QString refusal() const { return {}; }

    // The service's own windows.
    virtual void showPropertySheet() = 0;
    virtual void showDefaultCharacterProperties() = 0;

    // Another character in place of a loaded one, while the program runs,
    // in steps the program takes: prepareSwitch loads the named character
    // (a character folder's name) beside the loaded ones, hidden and
    // raising no events; commitSwitch unloads the character of the ID and
    // puts the prepared one under that ID; cancelSwitch lets the prepared
    // one go. A failed prepareSwitch gives the reason as a sentence the
    // user can read and keeps what was prepared before. A service that
    // cannot switch refuses every switch.
    virtual bool prepareSwitch(const QString &name, QString *why);
    // The prepared character; null when none is.
    virtual Character *preparedCharacter() const { return nullptr; }
    // False, changing nothing, when none is prepared.
    virtual bool commitSwitch(const QString &id);
    virtual void cancelSwitch() {}

Q_SIGNALS:
    // The user chose, in the service's chooser, to have this character
    // (a folder name) now instead of the one loaded.
    void switchRequested(const QString &name);
    void requestComplete(kestrova::character::Request request);
    void click(const QString &characterId, int button, int shift, int x, int y);
    void dblClick(const QString &characterId, int button, int shift, int x, int y);
    void command(const kestrova::character::UserInput &input);

protected:
    // Forwards a loaded character's events as the service's own.
    void connectCharacter(const QString &id, Character *character);
};

} // namespace kestrova::character
