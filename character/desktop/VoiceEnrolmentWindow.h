#pragma once

// "Learn my voice": the user reads sentences one at a time into the chosen
// microphone, then the recogniser's model is adapted to that voice in the
// background (VoiceAdaptation). Sentences whose recordings do not match
// them are asked for again.

#include "AudioSource.h"
#include "VoiceAdaptation.h"

#include <QDialog>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kestrova::character {

struct VoiceCommand;

// A phrase that says a command, read from its voice grammar: the first of
// each set of choices, optional words said ("quit[program|application]" is
// "quit program"); empty when nothing is left to say.
QString commandPhrase(const QString &grammar);

// Object names: the window "kestrovaVoiceEnrolment", its buttons
// "kestrovaEnrolRecord", "...Redo", "...Next", "...Learn", the sentence
// "kestrovaEnrolSentence", the level "kestrovaEnrolLevel", the progress
// "kestrovaEnrolProgress", the message "kestrovaEnrolMessage".
class VoiceEnrolmentWindow : public QDialog {
    Q_OBJECT
public:
    using SourceFactory = std::function<std::unique_ptr<AudioSource>()>;

    // Recordings are kept in `recordingsFolder`, the profile is made for
    // `profileFolder`.
    VoiceEnrolmentWindow(SourceFactory source, QString recordingsFolder, QString profileFolder,
                         QWidget *parent = nullptr);
    ~VoiceEnrolmentWindow() override;

    // The sentences to read: the enrolment sentences, then a phrase for each
    // of these commands. Starts over.
    void setCommands(const std::vector<VoiceCommand> &commands);
    QStringList sentences() const { return m_sentences; }
    int current() const { return m_current; }
    bool isRecording() const { return m_source != nullptr; }
    VoiceAdaptation *adaptation() const { return m_adaptation; }
    QString message() const;

    // The sentences' recordings so far (empty where none).
    QStringList recordings() const { return m_files; }

Q_SIGNALS:
    // A profile was made and is in place.
    void learnt(const QString &profileFolder);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void toggleRecording();
    void startRecording();
    void stopRecording();
    void onSamples(const QByteArray &pcm);
    void goTo(int index);
    void next();
    void redo();
    void learn();
    void onFailed(const QString &message, const QStringList &redo);
    void onFinished(const QString &folder, const QStringList &unaligned);
    void showSentence();
    void setMessage(const QString &text);
    QString fileFor(int index) const;

    SourceFactory m_sourceFactory;
    QString m_recordingsFolder;
    QString m_profileFolder;
    QStringList m_sentences;
    QStringList m_files;
    // The sentences still to be read again (they did not match); empty when
    // going through them all in order.
    QList<int> m_again;
    int m_current = 0;
    std::unique_ptr<AudioSource> m_source;
    QByteArray m_pcm;
    VoiceAdaptation *m_adaptation = nullptr;

    QLabel *m_counter = nullptr;
    QLabel *m_sentence = nullptr;
    QProgressBar *m_level = nullptr;
    QPushButton *m_record = nullptr;
    QPushButton *m_redo = nullptr;
    QPushButton *m_next = nullptr;
    QPushButton *m_learn = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_message = nullptr;
};

} // namespace kestrova::character
