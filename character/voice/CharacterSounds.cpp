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

QString CharacterSounds::refusal(const QString &name, const QString &path) const
{
    if (name.split(u'/').contains(QStringLiteral("..")))
        return QStringLiteral("its name leads out of the character's folder");
    const QFileInfo info(path);
    if (!info.isFile())
        return QStringLiteral("there is no %1").arg(path);
    // A link may lead anywhere: where it ends must be in the folder too.
    if (!info.canonicalFilePath().startsWith(QFileInfo(m_folder).canonicalFilePath() + u'/'))
        return QStringLiteral("%1 leads out of the character's folder").arg(path);
    // The whole file is read into memory to be played.
    if (info.size() > MaxSoundBytes)
        return QStringLiteral("%1 is %2 MB, more than the %3 MB a character's sound may have")
            .arg(path)
            .arg(double(info.size()) / (1024 * 1024), 0, 'f', 1)
            .arg(MaxSoundBytes / (1024 * 1024));
    return {};
}

void CharacterSounds::play(const Frame *frame)
{
    if (!frame || frame->sound.isEmpty() || !m_on)
        return;
    const QString path = file(frame->sound);
    if (const QString problem = refusal(frame->sound, path); !problem.isEmpty()) {
        if (!m_refused.contains(frame->sound)) {
            m_refused.insert(frame->sound);
            qCWarning(lcCharacter).noquote()
                << QStringLiteral("The sound \"%1\" of %2 is not played: %3").arg(frame->sound, m_name, problem);
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
