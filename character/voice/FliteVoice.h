#pragma once

#include "Voice.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

class QAudioSink;
class QBuffer;

namespace kestrova::character {

class FliteWorker;

// A voice of flite's own, synthesised in the program: it knows when every
// phone and word is said, so the mouth and the balloon follow the speech
// exactly (timed()). Synthesis runs on a thread of its own; the sound plays
// through the desktop's default output with Qt Multimedia. With nowhere to
// play it the utterance fails and the text is shown instead.
//
// Voices: "slt" (US English, female) and "rms" (US English, male), chosen
// by the character's gender unless a name is given; rate and pitch from the
// character's voice settings.
class FliteVoice : public Voice {
    Q_OBJECT
public:
    explicit FliteVoice(const VoiceSettings &settings, QObject *parent = nullptr);
    ~FliteVoice() override;

    bool isAvailable() const override { return true; }
    // With nowhere to play sound the words are shown from the first.
    bool isWorking() const override;
    int say(const QString &text) override;
    void stop() override;

    // The voice picked for these settings.
    static QString voiceNameFor(const VoiceSettings &settings);

private:
    void synthesised(int utterance, const QByteArray &pcm, int sampleRate, const SpeechTiming &timing);
    void play(int utterance, const QByteArray &pcm, int sampleRate, const SpeechTiming &timing);
    void release();
    // Follows the stream while it plays: when its sound really begins, and
    // when all of it has played.
    void watchPlayback();
    void playedOut(int utterance);

    QThread *m_thread = nullptr;
    FliteWorker *m_worker = nullptr;
    int m_nextUtterance = 1;
    int m_current = 0;
    bool m_lastFailed = false;
    QAudioSink *m_sink = nullptr;
    QBuffer *m_buffer = nullptr;
    QByteArray m_pcm;
    SpeechTiming m_timing;
    QTimer m_watch;
    QElapsedTimer m_playing;
    bool m_flowing = false;
    qint64 m_handedOverAt = -1;
    static constexpr int WatchMs = 20;
    // A sound that begins later than this after the stream started moves
    // the mouth and the Speak's time along with it.
    static constexpr int LateStartMs = 200;
};

// The words and phones of an utterance as flite says it, and its samples:
// what FliteVoice plays, for tests and tools. False when flite could not
// say the text.
bool synthesiseWithFlite(const QString &voiceName, const VoiceSettings &settings, const QString &text,
                         QByteArray *pcm, int *sampleRate, SpeechTiming *timing);

// How far a phone (flite's names, "aa" .. "zh", "pau") opens the mouth, on
// the four-step scale of SpeechTiming.
int mouthOpeningForPhone(const QString &phone);

} // namespace kestrova::character
