#pragma once

#include "Character.h"
#include "Voice.h"
#include "SpeechListener.h"

#include <QHash>
#include <QPointer>
#include <QString>

#include <memory>

namespace kestrova::character {

class DesktopCharacter;
class ListeningKey;

// The character service of the desktop: loads characters from the
// character folders (the user's first, then the program's) and shows them
// as DesktopCharacters.
//
// The user's default character is remembered in the service's own settings,
// <settingsDir>/CharacterService.ini, key Default (a character folder's
// name). Loading falls back to "kess" when that is missing or broken, then
// to any character there is.
//
// Spoken commands: the service listens through the default microphone
// with the pocketsphinx recogniser (both made on first use) for whichever
// character listens. The listening key (setting ListeningKey, an X keysym
// name, default Scroll_Lock, "None" for none) opens and closes listening
// for the character shown, wherever the keyboard focus is.
class DesktopCharacterService : public CharacterService {
    Q_OBJECT
public:
    DesktopCharacterService(const QString &programDir, const QString &settingsDir,
                            QObject *parent = nullptr);
    ~DesktopCharacterService() override;

    bool load(const QString &id) override;
    Character *character(const QString &id) const override;
    void unload(const QString &id) override;

    void showPropertySheet() override;
    void showDefaultCharacterProperties() override;

    // The user's default character (a folder name), empty when none is set.
    QString defaultCharacter() const;
    void setDefaultCharacter(const QString &folderName);

    // Makes the voices of characters loaded from now on. Default: QtVoice.
    void setVoiceFactory(VoiceFactory factory) { m_voiceFactory = std::move(factory); }

    // Where spoken commands come from, for characters loaded from now on
    // and the ones loaded already. Tests hand in WAV files; null factories
    // turn speech off (typing only).
    void setSpeechInput(SpeechListener::RecognizerFactory recognizer, SpeechListener::SourceFactory source);
    SpeechListener *speechListener() const { return m_speech.get(); }
    ListeningKey *listeningKey() const { return m_listeningKey; }

    // What the listening key does: the shown character starts listening,
    // or stops when it listens already.
    void toggleListening();

    static constexpr const char *FallbackCharacter = "kess";

private:
    DesktopCharacter *loadFolder(const QString &folder);
    QString settingsFile() const;

    QString m_programDir;
    QString m_settingsDir;
    VoiceFactory m_voiceFactory;
    QHash<QString, QPointer<DesktopCharacter>> m_characters;
    std::unique_ptr<SpeechListener> m_speech;
    ListeningKey *m_listeningKey = nullptr;
};

} // namespace kestrova::character
