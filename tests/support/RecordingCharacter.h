#pragma once

#include "Character.h"

#include <functional>

#include <QHash>
#include <QList>
#include <QStringList>

namespace kestrova::test {

// A character that plays nothing: it writes every call down in order as
// text ("Play Greet", "Speak Hello", "MoveTo 0 0", "Hide", "StopAll") and
// keeps queued requests pending until the test completes them. Like the
// desktop character, Stop completes the request playing (the oldest
// pending) and StopAll completes every pending one, oldest first.
//
// A Speak or Think is logged as the desktop character logs it: the
// program's own text as written, text from outside (outsideText()) as it is
// said. The texts themselves, as handed over, are kept in `speech`.
class RecordingCharacter : public character::Character {
    Q_OBJECT
public:
    explicit RecordingCharacter(QString name = QStringLiteral("Kess"), QObject *parent = nullptr);

    character::Request speak(const QString &text) override;
    character::Request think(const QString &text) override;
    character::Request play(const QString &animation) override;
    character::Request show() override;
    character::Request hide() override;
    character::Request moveTo(int x, int y) override;
    character::Request gestureAt(int x, int y) override;
    void stop() override;
    void stopAll() override;
    void stopRequests(const QList<character::Request> &requests) override;
    void listen(bool on) override;
    void placeAt(int x, int y) override;
    bool busy() const override { return !pending.isEmpty(); }

    QString name() const override { return m_name; }
    bool visible() const override { return m_visible; }
    int left() const override { return m_left; }
    int top() const override { return m_top; }
    int languageId() const override { return m_languageId; }
    void setLanguageId(int id) override { m_languageId = id; }
    int balloonStyle() const override { return m_balloonStyle; }
    void setBalloonStyle(int style) override { m_balloonStyle = style; }
    void holdBalloon(bool held) override { m_balloonHeld = held; }
    bool balloonHeld() const override { return m_balloonHeld; }
    character::Commands &commands() override { return m_commands; }

    void setName(const QString &name) { m_name = name; }

    // Every call so far, in order.
    QStringList log;
    // The texts of every Speak and Think, exactly as the character got them.
    QStringList speech;
    // The queued requests that have not completed, oldest first, with the
    // text they were logged as.
    struct Pending {
        character::Request request;
        QString text;
    };
    QList<Pending> pending;

    // Completes the oldest pending request (false when none is pending).
    bool completeNext();
    // Completes requests until none is pending, including ones queued by
    // handlers of the completions; gives up after `limit` completions.
    int completeAll(int limit = 1000);
    // Completes the given request; false when it is not pending.
    bool complete(const character::Request &request);
    // The pending request logged as `text`, or a null request.
    character::Request pendingRequest(const QString &text) const;

private:
    character::Request queue(const QString &text);
    void finish(const Pending &p);

    QString m_name;
    bool m_visible = false;
    int m_left = 0;
    int m_top = 0;
    int m_languageId = 0;
    int m_balloonStyle = character::Character::BalloonOn | 0x2;
    bool m_balloonHeld = false;
    character::Commands m_commands;
};

// The character service double: hands out one RecordingCharacter, or none
// when loading is set to fail. A switch prepares another RecordingCharacter
// for a folder name listed in `switchable` and refuses any other name.
class RecordingCharacterService : public character::CharacterService {
    Q_OBJECT
public:
    explicit RecordingCharacterService(QString characterName = QStringLiteral("Kess"),
                                       QObject *parent = nullptr);
    ~RecordingCharacterService() override;

    bool load(const QString &id) override;
    character::Character *character(const QString &id) const override;
    void unload(const QString &id) override;
    void showPropertySheet() override { calls << QStringLiteral("PropertySheet"); }
    void showDefaultCharacterProperties() override
    {
        calls << QStringLiteral("DefaultCharacterProperties");
        if (whileChoosing)
            whileChoosing();
    }
    // What happens while the chooser waits for the user, where a test sets it.
    std::function<void()> whileChoosing;

    QString refusal() const override { return refusalText; }

    bool prepareSwitch(const QString &name, QString *why) override;
    character::Character *preparedCharacter() const override { return m_prepared; }
    bool commitSwitch(const QString &id) override;
    void cancelSwitch() override;
    // Folder name -> the name of the character a switch to it prepares.
    QHash<QString, QString> switchable;
    // Why a name not in `switchable` is refused.
    QString switchRefusal = QStringLiteral("Its art.svg cannot be read.");
    RecordingCharacter *prepared() const { return m_prepared; }

    bool loadFails = false;
    // What load() says it refused, as the desktop service says it.
    QString refusalText;
    QString characterName;
    // Service calls: "Load default", "Unload default", ...
    QStringList calls;
    // The loaded character; null before load and after unload.
    RecordingCharacter *loaded() const { return m_character; }
    // The character loaded last, also after it was unloaded.
    RecordingCharacter *last() const { return m_character ? m_character : m_unloaded.value(m_unloaded.size() - 1); }

private:
    QString m_id;
    RecordingCharacter *m_character = nullptr;
    RecordingCharacter *m_prepared = nullptr;
    QList<RecordingCharacter *> m_unloaded;
    QList<RecordingCharacter *> m_cancelled;
};

} // namespace kestrova::test
