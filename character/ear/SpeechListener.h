#pragma once

#include "AudioSource.h"
#include "SpeechRecognizer.h"

#include <QMetaType>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QThread;

namespace kestrova::character {

class SpeechWorker;
struct ListenerLink;

// Listens for one spoken command at a time. Audio comes from an AudioSource
// (the microphone in the program, WAV files in tests); a SpeechRecognizer
// decodes it on a thread of its own, so the character keeps moving while it
// listens. Results come back on the thread the listener lives in.
//
// start() opens the source and begins an utterance; the utterance ends on
// its own when the recogniser detects the end of speech, or when speech has
// gone on for maxUtteranceMs; then heard() is raised once and the listener
// stops. stop() ends listening without a result. A source that runs dry
// (a file played to its end, a microphone that went away) ends the
// utterance too: heard() if speech had begun, otherwise just stopped().
//
// The recogniser is made on first use, on the worker thread (the decoder
// takes a tenth of a second and some 40 MB to start), and kept. When it
// cannot be made, failed() says why and the listener stays stopped.
//
// The listener's end waits for its worker only a moment: a recogniser still
// being made then (the model loads for seconds on a busy machine) is left
// to be made on its thread, which ends by itself and tells no one; the
// program's end knows such a thread runs on.
class SpeechListener : public QObject {
    Q_OBJECT
public:
    using RecognizerFactory = std::function<std::unique_ptr<SpeechRecognizer>(QString *error)>;
    using SourceFactory = std::function<std::unique_ptr<AudioSource>()>;
    // What the recogniser is made from beyond the factory (the voice
    // profile's stamp): asked at every start, on the worker; when it
    // differs from the one the recogniser was made with, it is made again.
    using RecognizerKey = std::function<QString()>;

    SpeechListener(RecognizerFactory recognizer, SourceFactory source, QObject *parent = nullptr);
    ~SpeechListener() override;

    // The commands to listen for. The grammar is rebuilt (on the worker)
    // only when the set differs from the one it was built from.
    void setCommands(const std::vector<VoiceCommand> &commands);
    void setRecognizerKey(RecognizerKey key);

    // Starts listening; false, with errorString(), when the source cannot
    // record (no microphone). Listening again while listening starts over.
    bool start();
    void stop();
    // Between start() and the end of that listening (heard, stopped,
    // failed or stop()).
    bool isListening() const { return m_active != 0; }
    QString errorString() const { return m_error; }

    int maxUtteranceMs() const { return m_maxUtteranceMs; }
    void setMaxUtteranceMs(int ms) { m_maxUtteranceMs = ms; }
    static constexpr int MaxUtteranceMs = 8000;

    // Blocks until the worker has handled everything asked of it so far
    // (tests and shut-down).
    void waitForWorker();

Q_SIGNALS:
    // Speech began in the current utterance.
    void hearingStarted();
    // The utterance ended: what was heard (an empty command when nothing
    // command-like was).
    void heard(const kestrova::character::Recognition &recognition);
    // Listening ended without speech (the source ran dry).
    void stopped();
    // The recogniser could not be made or refused every command.
    void failed(const QString &why);

private:
    friend class SpeechWorker;
    void hearingIn(int session);
    void heardIn(int session, const Recognition &recognition);
    void stoppedIn(int session);
    void failedIn(int session, const QString &why);
    void onSamples(const QByteArray &pcm);
    void onSourceFinished();
    void stopRecording();

    SourceFactory m_sourceFactory;
    std::unique_ptr<AudioSource> m_source;
    std::shared_ptr<ListenerLink> m_link;
    QThread *m_thread = nullptr;
    SpeechWorker *m_worker = nullptr;
    QString m_commandsKey;
    QString m_error;
    bool m_recording = false; // the source is delivering
    int m_session = 0;        // the last session started
    int m_active = 0;         // the session a result is awaited for
    int m_maxUtteranceMs = MaxUtteranceMs;
};

} // namespace kestrova::character

Q_DECLARE_METATYPE(kestrova::character::Recognition)
