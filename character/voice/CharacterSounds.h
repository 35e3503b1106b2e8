#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <functional>

namespace kestrova::character {

struct Frame;

// A character's sound effects: a frame's sound is sounds/<name>.wav in the
// character's folder, played when the frame shows and sounds are on. A
// missing file, one whose name or link leads out of the folder, and one
// too large (soundProblem()) are not played, and written to the log once.
class CharacterSounds : public QObject {
    Q_OBJECT
public:
    CharacterSounds(QString folder, QString characterName, QObject *parent = nullptr);

    void setOn(bool on) { m_on = on; }
    bool isOn() const { return m_on; }
    // What plays a sound file; by default the sound module, which makes one
    // sound per file on first use and keeps it for the next play.
    using Player = std::function<void(const QString &file)>;
    void setPlayer(Player player) { m_player = std::move(player); }
    QString file(const QString &name) const;
    void play(const Frame *frame);

    static constexpr qreal Volume = 0.5;

private:
    QString m_folder;
    QString m_name;
    bool m_on = true;
    Player m_player;
    QSet<QString> m_refused; // reported already
    bool m_noModule = false; // reported already
};

} // namespace kestrova::character
