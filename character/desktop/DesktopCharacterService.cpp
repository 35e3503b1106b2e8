#include "DesktopCharacterService.h"

#include "DesktopCharacter.h"
#include "DesktopCharacterLog.h"
#include "FliteVoice.h"
#include "ListeningKey.h"
#include "MicrophoneSource.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace kestrova::character {

DesktopCharacterService::DesktopCharacterService(const QString &programDir, const QString &settingsDir,
                                                 QObject *parent)
    : CharacterService(parent), m_programDir(programDir), m_settingsDir(settingsDir)
{
    m_voiceFactory = [](const CharacterModel &model) -> std::unique_ptr<Voice> {
        if (model.voice.engine == u"flite")
            return std::make_unique<FliteVoice>(model.voice);
        return std::make_unique<QtVoice>(model.voice);
    };
    setSpeechInput([](QString *error) { return createPocketsphinxRecognizer(error); },
                   []() -> std::unique_ptr<AudioSource> { return std::make_unique<MicrophoneSource>(); });

    m_listeningKey = new ListeningKey(this);
    const QSettings settings(settingsFile(), QSettings::IniFormat);
    const QString key = settings.value(QStringLiteral("ListeningKey"), ListeningKey::DefaultKey).toString();
    if (!m_listeningKey->setKey(key))
        qCWarning(lcCharacter).noquote() << QStringLiteral("No listening key \"%1\": %2").arg(key, m_listeningKey->errorString());
    else if (m_listeningKey->isActive())
        qCDebug(lcCharacter).noquote() << QStringLiteral("Listening key \"%1\"").arg(key);
    connect(m_listeningKey, &ListeningKey::pressed, this, &DesktopCharacterService::toggleListening);
}

void DesktopCharacterService::setSpeechInput(SpeechListener::RecognizerFactory recognizer,
                                             SpeechListener::SourceFactory source)
{
    std::unique_ptr<SpeechListener> old = std::move(m_speech);
    if (recognizer && source)
        m_speech = std::make_unique<SpeechListener>(std::move(recognizer), std::move(source));
    for (const QPointer<DesktopCharacter> &c : std::as_const(m_characters))
        if (c)
            c->setSpeechListener(m_speech.get());
}

void DesktopCharacterService::toggleListening()
{
    for (const QPointer<DesktopCharacter> &c : std::as_const(m_characters)) {
        if (c && c->visible()) {
            qCDebug(lcCharacter) << "Listening key";
            c->listen(!c->isListening());
            return;
        }
    }
}

DesktopCharacterService::~DesktopCharacterService()
{
    for (const QPointer<DesktopCharacter> &c : std::as_const(m_characters))
        delete c.data();
    m_speech.reset();
}

QString DesktopCharacterService::settingsFile() const
{
    return QDir(m_settingsDir).filePath(QStringLiteral("CharacterService.ini"));
}

QString DesktopCharacterService::defaultCharacter() const
{
    const QSettings settings(settingsFile(), QSettings::IniFormat);
    return settings.value(QStringLiteral("Default")).toString();
}

void DesktopCharacterService::setDefaultCharacter(const QString &folderName)
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("Default"), folderName);
}

DesktopCharacter *DesktopCharacterService::loadFolder(const QString &folder)
{
    QString error;
    std::optional<CharacterModel> model = CharacterModel::load(folder, &error);
    if (!model) {
        qCWarning(lcCharacter).noquote() << "Cannot load the character:" << error;
        return nullptr;
    }
    std::unique_ptr<Voice> voice = m_voiceFactory ? m_voiceFactory(*model) : nullptr;
    auto *character = new DesktopCharacter(std::move(*model), std::move(voice), this);
    if (!character->isValid()) {
        qCWarning(lcCharacter).noquote() << "Cannot draw the character in" << folder;
        delete character;
        return nullptr;
    }
    character->setSpeechListener(m_speech.get());
    return character;
}

bool DesktopCharacterService::load(const QString &id)
{
    if (m_characters.value(id))
        return true;

    // Folder names to try, in order, without repeats.
    QStringList wanted;
    const QString stored = defaultCharacter();
    if (!stored.isEmpty())
        wanted << stored;
    if (!wanted.contains(QLatin1String(FallbackCharacter)))
        wanted << QLatin1String(FallbackCharacter);
    const QHash<QString, QString> available = availableCharacters(m_programDir);
    QStringList others = available.keys();
    others.sort();
    for (const QString &name : std::as_const(others)) {
        if (!wanted.contains(name))
            wanted << name;
    }

    const QStringList folders = characterFolders(m_programDir);
    for (const QString &name : std::as_const(wanted)) {
        // The user's folder first: a character there hides the program's.
        for (const QString &base : folders) {
            const QString folder = QDir(base).filePath(name);
            if (!QFileInfo(QDir(folder).filePath(QStringLiteral("character.json"))).isFile())
                continue;
            if (DesktopCharacter *character = loadFolder(folder)) {
                if (!stored.isEmpty() && name != stored)
                    qCWarning(lcCharacter).noquote()
                        << QStringLiteral("The default character \"%1\" is not available; loaded \"%2\"")
                               .arg(stored, name);
                qCDebug(lcCharacter).noquote()
                    << QStringLiteral("Loaded %1 from %2 as \"%3\"").arg(character->name(), folder, id);
                m_characters.insert(id, character);
                connectCharacter(id, character);
                return true;
            }
        }
    }
    qCWarning(lcCharacter).noquote()
        << QStringLiteral("No character could be loaded: none of %1 holds one that loads")
               .arg(folders.join(QStringLiteral(", ")));
    return false;
}

Character *DesktopCharacterService::character(const QString &id) const
{
    return m_characters.value(id).data();
}

void DesktopCharacterService::unload(const QString &id)
{
    QPointer<DesktopCharacter> character = m_characters.take(id);
    if (!character)
        return;
    qCDebug(lcCharacter).noquote() << QStringLiteral("Unloaded \"%1\"").arg(id);
    character->close();
    character->deleteLater();
}

// The property sheets are windows of their own that come later; until then
// the calls only say so.
void DesktopCharacterService::showPropertySheet()
{
    qCWarning(lcCharacter) << "The character service's property sheet is not available yet";
}

void DesktopCharacterService::showDefaultCharacterProperties()
{
    qCWarning(lcCharacter) << "The default character's properties are not available yet";
}

} // namespace kestrova::character
