#pragma once

#include "Voice.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace kestrova::character {

class AudioSource;

// A voice of a Qt text-to-speech engine: the value for the Voice key
// ("qt:<engine>:<name>"), what the user reads, and the voice's language as
// a locale name ("en_US"; empty when the engine does not say).
struct SystemVoice {
    QString setting;
    QString caption;
    QString language;
};

// Everything that makes or takes sound — the voices (flite in the program,
// the Qt text-to-speech engines), the frame sounds and the microphone — is
// kept in a module of its own, libkestrova_sound.so, beside the program.
// Those libraries (flite and its voices, Qt Multimedia, Qt TextToSpeech)
// cost the start-up their loading and relocation; the character is on the
// screen before they are needed, and they are loaded in the background
// while it appears (ModuleVoice), or by the first sound or listening.
//
// The module's entry point, kestrovaSoundApi, answers this table.
struct SoundApi {
    // Raised when the table changes shape: a module of another version is
    // not used.
    static constexpr int CurrentVersion = 2;
    int version = CurrentVersion;

    Voice *(*fliteVoice)(const VoiceSettings &settings) = nullptr;
    // The Qt text-to-speech engines, tried in order.
    Voice *(*systemVoice)(const VoiceSettings &settings, const QStringList &engines) = nullptr;
    // The microphone: `device` is asked at every start (see MicrophoneSource).
    AudioSource *(*microphone)(std::function<QString()> device) = nullptr;
    // Plays a sound file at `volume`; the sound is kept as a child of
    // `owner` for the next time.
    void (*playSound)(QObject *owner, const QString &file, qreal volume) = nullptr;
    // The audio inputs: (description, id).
    QList<QPair<QString, QString>> (*audioInputs)() = nullptr;
    // The voices of every Qt text-to-speech engine. Slow (engines take
    // their time to start): not for the UI thread.
    QList<SystemVoice> (*systemVoices)() = nullptr;
};

// The module's table, loading the module on first use (any thread; a second
// caller waits for the first). Null when the module is missing or of
// another version; *error then says why, in words for the user.
const SoundApi *soundApi(QString *error = nullptr);

// A voice from the sound module, usable at once: the module is loaded in the
// background and the real voice made when it is there. Texts given before
// that are spoken in order once it is; without the module every text fails
// (and so shows in the balloon). Utterance numbers are this voice's own.
class ModuleVoice : public Voice {
    Q_OBJECT
public:
    using Make = std::function<Voice *(const SoundApi &api)>;
    // `load` finds the table (default: soundApi); it runs on a thread of its own.
    explicit ModuleVoice(Make make, std::function<const SoundApi *()> load = {}, QObject *parent = nullptr);
    ~ModuleVoice() override;

    void prepare() override;
    bool isAvailable() const override;
    bool isWorking() const override;
    int say(const QString &text) override;
    void stop() override;

    // The voice made from the module; null before it is loaded, or without it.
    Voice *voice() const { return m_voice.get(); }

private:
    void loaded(const SoundApi *api);
    void sayNow(int utterance, const QString &text);

    Make m_make;
    std::function<const SoundApi *()> m_load;
    bool m_loading = false;
    bool m_missing = false;
    std::unique_ptr<Voice> m_voice;
    QList<QPair<int, QString>> m_waiting;
    std::shared_ptr<QHash<int, int>> m_ours = std::make_shared<QHash<int, int>>(); // the module voice's utterance -> ours
    int m_next = 1;
};

} // namespace kestrova::character
