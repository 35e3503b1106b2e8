#pragma once

#include "Character.h"
#include "CharacterServiceSettings.h"
#include "Voice.h"
#include "SoundModule.h"
#include "SpeechListener.h"

#include <QHash>
#include "VoiceEnrolmentWindow.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

namespace kestrova::character {

class CharacterOptionsDialog;
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
//
// The service's own windows: the options sheet (showPropertySheet(), also
// from the character's popup menu), whose settings (see
// CharacterServiceSettings) apply to the characters loaded and to those
// loaded later; and the chooser of the default character
// (showDefaultCharacterProperties()), modal, whose choice is the character
// loaded the next time the program starts. Ticking its "use it now" box
// (remembered, key SwitchNow) also asks the program to switch at once
// (switchRequested()); the choice is then stored only when the switch could
// be prepared, so a character that cannot be used never becomes the
// default.
//
// A switch loads the new character aside (prepareSwitch) as a start would
// load it, with the voice, options and speech input of the others; the
// prepared one raises no events and is not the one the listening key
// reaches until it takes its place (commitSwitch).
class DesktopCharacterService : public CharacterService {
    Q_OBJECT
public:
    DesktopCharacterService(const QString &programDir, const QString &settingsDir,
                            QObject *parent = nullptr);
    ~DesktopCharacterService() override;

    bool load(const QString &id) override;
    Character *character(const QString &id) const override;
    void unload(const QString &id) override;
    QString refusal() const override { return m_refusal; }

    void showPropertySheet() override;
    void showDefaultCharacterProperties() override;

    bool prepareSwitch(const QString &name, QString *why) override;
    Character *preparedCharacter() const override;
    bool commitSwitch(const QString &id) override;
    void cancelSwitch() override;

    // The user's default character (a folder name), empty when none is set.
    QString defaultCharacter() const;
    void setDefaultCharacter(const QString &folderName);
    // Whether the chooser's "use it now" box starts ticked.
    bool switchNow() const;

    // The service's options as they are in force; applying writes them to
    // the settings file and hands them to every loaded character. False,
    // with *error, when something could not be done (the file could not be
    // written, the listening key not grabbed); what could, is.
    const CharacterServiceSettings &settings() const { return m_settings; }
    bool applySettings(const CharacterServiceSettings &settings, QString *error = nullptr);
    // The options sheet; null until first shown.
    CharacterOptionsDialog *optionsDialog() const;
    // Says a short sentence with a voice made for these settings, as the
    // character shown would say it (the sheet's Test button).
    void testVoice(const CharacterServiceSettings &settings);
    // The voice of the last Test; null before one.
    Voice *lastTestVoice() const { return m_testVoice.get(); }
    static inline const QString TestSentence = QStringLiteral("Hello! This is how I sound.");

    // Makes the voices of characters loaded from now on. Default: QtVoice.
    void setVoiceFactory(VoiceFactory factory) { m_voiceFactory = std::move(factory); }
    // Lists the system's voices for the options sheet, on a thread of its
    // own (default: the sound module's engines). Tests hand in their own.
    using VoiceListing = std::function<QList<SystemVoice>()>;
    void setVoiceListing(VoiceListing listing) { m_listVoices = std::move(listing); }

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

    // "Learn my voice…": the enrolment window, made on first use; its
    // recordings are kept in the user's data folder. Null before.
    void showVoiceEnrolment();
    VoiceEnrolmentWindow *voiceEnrolment() const { return m_enrolment.data(); }
    // "Forget my voice": the stock model from the next listening on.
    bool forgetVoice(QString *error = nullptr);

private:
    void updateVoiceProfileState();
    DesktopCharacter *loadFolder(const QString &folder, QString *error);
    QString settingsFile() const;
    std::unique_ptr<Voice> makeVoice(const CharacterModel &model, const CharacterServiceSettings &settings) const;
    void applyTo(DesktopCharacter *character, bool newVoice);
    bool grabKey(const QString &key, QString *error);
    DesktopCharacter *shownCharacter() const;
    void placeOnCharacterScreen(QWidget *window) const;
    // Narrows a window that would cover the character wherever it stood
    // whole on its screen, where that lets it stand beside the character
    // (its text wrapping onto more lines still fits the screen's height).
    void narrowBesideCharacter(QWidget *window) const;
    // The microphone the options name (the sound module's), or null with a
    // warning where there is no sound module.
    std::unique_ptr<AudioSource> chosenMicrophone() const;
    void listSystemVoices();

    QString m_programDir;
    QString m_settingsDir;
    VoiceFactory m_voiceFactory;
    QHash<QString, QPointer<DesktopCharacter>> m_characters;
    // Loaded for a switch, not yet in place.
    QPointer<DesktopCharacter> m_prepared;
    // The name of the last character prepared, kept after it took its place.
    QString m_lastPrepared;
    std::unique_ptr<SpeechListener> m_speech;
    ListeningKey *m_listeningKey = nullptr;
    CharacterServiceSettings m_settings;
    QPointer<CharacterOptionsDialog> m_options;
    QPointer<VoiceEnrolmentWindow> m_enrolment;
    std::unique_ptr<Voice> m_testVoice;
    // Lists the system's voices for the options, while it runs.
    QThread *m_voiceLister = nullptr;
    VoiceListing m_listVoices;
    QString m_refusal;
};

} // namespace kestrova::character
