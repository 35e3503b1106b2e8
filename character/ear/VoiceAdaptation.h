#pragma once

// Learning the user's voice: from recordings of known sentences, a voice
// profile (VoiceProfile) that moves the speech model towards that voice.
// sphinxtrain's programs do the work, each run through QProcess one after
// the other, so nothing of it blocks the event loop; the profile replaces
// the old one only when every step went well.

#include <QList>
#include <QObject>
#include <QProcess>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

class QTemporaryDir;
class QTimer;

namespace kestrova::character {

// The sentences a user reads to teach the recogniser their voice: between
// them every phone of the US English model, most of them several times,
// in everyday words. The user's own commands are read after them.
QStringList enrolmentSentences();

// One recording of one sentence (16 kHz mono 16-bit WAV).
struct EnrolmentRecording {
    QString wav;
    QString sentence;
};

class VoiceAdaptation : public QObject {
    Q_OBJECT
public:
    // How the model is moved towards the voice: one transform of all the
    // means (MLLR: small, learns from few sentences), or the means,
    // variances and weights each moved as far as the recordings support
    // (MAP: an adapted copy of the model).
    enum class Method { Transform, Model };

    // Where the programs and the stock model are.
    struct Tools {
        QString trainerFolder; // sphinxtrain's programs
        QString prepareProgram; // kestrova-voice-prep
        QString modelFolder;
        QString dictionary;
    };
    // The installed ones: Debian's sphinxtrain and model, the helper beside
    // the program.
    static Tools installedTools();

    // Fewer recordings aligned with their sentences than this, or than two
    // thirds of those given, and no profile is made.
    static constexpr int MinimumAligned = 10;

    explicit VoiceAdaptation(QObject *parent = nullptr);
    ~VoiceAdaptation() override;

    void setTools(const Tools &tools) { m_tools = tools; }
    Tools tools() const { return m_tools; }
    void setMethod(Method method) { m_method = method; }
    Method method() const { return m_method; }

    // Empty when everything learning a voice needs is installed; otherwise
    // what is missing and the package to install, in a sentence.
    QString missing() const;

    // Starts making a profile for `profileFolder` from the recordings;
    // false (and failed() is not raised) while one is being made. Every
    // outcome after a true start is reported by finished() or failed().
    bool start(const QList<EnrolmentRecording> &recordings, const QString &profileFolder);
    // Stops the work; the old profile stays. Raises failed().
    void cancel();
    bool isRunning() const { return m_step >= 0; }

Q_SIGNALS:
    // 0-100 and what is being done.
    void progress(int percent, const QString &what);
    // The profile is in place. `unaligned`: sentences whose recordings did
    // not match them and were left out (few enough to go on without).
    void finished(const QString &profileFolder, const QStringList &unaligned);
    // No profile was made (the old one stays): why, and the sentences to
    // record again when that is the reason.
    void failed(const QString &message, const QStringList &sentencesToRedo);

private:
    // What a step does, where its outcome is read: the aligner's two runs
    // report which recordings they matched.
    enum class Task { Prepare, Align, Realign, Learn };
    struct Step {
        QString program;
        QStringList arguments;
        int percent;
        QString what;
        Task task = Task::Learn;
    };
    QString trainer(const QString &name) const;
    QList<Step> steps() const;
    void runNext();
    void stepFinished(int exitCode, QProcess::ExitStatus status);
    // The aligner's arguments for one run: its lists, its counts' folder
    // and its beam (empty: the aligner's own).
    QStringList alignArguments(const QString &control, const QString &transcription, const QString &counts,
                               const QString &beam) const;
    // After an alignment: the recordings it could not follow, run again
    // with a wider beam (and, with `pauses`, a pause between the words).
    // False when every recording matched.
    bool realignTheRest(bool pauses);
    // After the alignment: false (and failed()) when too few recordings matched.
    bool checkAlignment();
    void finish();
    void fail(const QString &message, const QStringList &redo = {});

    Tools m_tools;
    Method m_method = Method::Model;
    QList<EnrolmentRecording> m_recordings;
    QString m_profileFolder;
    std::unique_ptr<QTemporaryDir> m_work;
    QProcess *m_process = nullptr;
    QTimer *m_timeout = nullptr;
    QList<Step> m_steps;
    int m_step = -1;
    QString m_output; // the step's standard output
    QString m_errors; // and its messages
    QStringList m_unaligned;
    QSet<int> m_aligned; // indices into m_recordings
    QStringList m_realigned; // the counts' folders of the runs again
    // The counts' folders the learning reads, relative to the work folder:
    // the learners take a comma-separated list.
    QStringList m_counts;
};

} // namespace kestrova::character
