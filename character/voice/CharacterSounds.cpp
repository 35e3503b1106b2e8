#include "CharacterSounds.h"

#include "CharacterModel.h"
#include "DesktopCharacterLog.h"
#include "SoundModule.h"


namespace kestrova::character {

CharacterSounds::CharacterSounds(QString folder, QString characterName, QObject *parent)
    : QObject(parent), m_folder(std::move(folder)), m_name(std::move(characterName))
{
}

QString CharacterSounds::file(const QString &name) const
{
    return soundFile(m_folder, name);
}

void CharacterSounds::play(const Frame *frame)
{
    if (!frame || frame->sound.isEmpty() || !m_on)
        return;
    if (const QString problem = soundProblem(m_folder, frame->sound); !problem.isEmpty()) {
        if (!m_refused.contains(frame->sound)) {
            m_refused.insert(frame->sound);
            qCWarning(lcCharacter).noquote()
                << QStringLiteral("The sound \"%1\" of %2 is not played: %3").arg(frame->sound, m_name, problem);
        }
        return;
    }
    const QString path = file(frame->sound);
    if (m_player) {
        m_player(path);
        return;
    }
    // The sound module is loaded by the first sound if the voice has not
    // loaded it yet; without it the character is silent, as with sounds off.
    QString error;
    if (const SoundApi *api = soundApi(&error)) {
        api->playSound(this, path, Volume);
    } else if (!m_noModule) {
        m_noModule = true;
        qCWarning(lcCharacter).noquote() << error;
    }
}

} // namespace kestrova::character
