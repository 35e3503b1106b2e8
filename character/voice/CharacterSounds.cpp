#include "CharacterSounds.h"

#include "CharacterModel.h"
#include "DesktopCharacterLog.h"
#include "SoundModule.h"

#include <QDir>
#include <QFileInfo>

namespace kestrova::character {

CharacterSounds::CharacterSounds(QString folder, QString characterName, QObject *parent)
    : QObject(parent), m_folder(std::move(folder)), m_name(std::move(characterName))
{
}

QString CharacterSounds::file(const QString &name) const
{
    return QDir(m_folder).filePath(QStringLiteral("sounds/%1.wav").arg(name));
}

void CharacterSounds::play(const Frame *frame)
{
    if (!frame || frame->sound.isEmpty() || !m_on)
        return;
    const QString path = file(frame->sound);
    if (!QFileInfo(path).isFile()) {
        if (!m_missing.contains(frame->sound)) {
            m_missing.insert(frame->sound);
            qCWarning(lcCharacter).noquote()
                << QStringLiteral("The sound \"%1\" of %2 is missing: there is no %3").arg(frame->sound, m_name, path);
        }
        return;
    }
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
