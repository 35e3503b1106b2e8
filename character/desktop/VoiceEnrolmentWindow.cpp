#include "VoiceEnrolmentWindow.h"
#include "ApplicationChooser.h"

#include "DesktopCharacterLog.h"
#include "SpeechRecognizer.h"

#include <QScreen>
#include <QGuiApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>
#include <QtEndian>

#include <cmath>
#include <cstdlib>

namespace kestrova::character {

namespace {
// A recording shorter than this is no sentence (a click of the button).
constexpr int MinimumRecordingMs = 500;
constexpr int SamplesPerMs = 16;

bool writeWav(const QString &path, const QByteArray &pcm, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    QByteArray head("RIFF");
    auto u32 = [&head](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        head.append(b, 4);
    };
    auto u16 = [&head](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        head.append(b, 2);
    };
    u32(quint32(36 + pcm.size()));
    head += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(16000);
    u32(32000);
    u16(2);
    u16(16);
    head += "data";
    u32(quint32(pcm.size()));
    file.write(head);
    file.write(pcm);
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
} // namespace

QString commandPhrase(const QString &grammar)
{
    // Walks the grammar: at a '|' the rest of that group (or of the whole
    // grammar) is skipped; brackets and "..." go.
    QString out;
    int depth = 0;
    int skipTo = -1; // skipping until back at this depth
    for (int i = 0; i < grammar.size(); ++i) {
        const QChar c = grammar[i];
        if (c == u'[' || c == u'(') {
            if (skipTo < 0)
                out += u' ';
            ++depth;
        } else if (c == u']' || c == u')') {
            --depth;
            if (skipTo >= 0 && depth < skipTo)
                skipTo = -1;
            if (skipTo < 0)
                out += u' ';
        } else if (c == u'|') {
            if (skipTo < 0)
                skipTo = depth;
        } else if (skipTo < 0) {
            out += c;
        }
    }
    out.replace(QStringLiteral("..."), QStringLiteral(" "));
    return out.simplified();
}

VoiceEnrolmentWindow::VoiceEnrolmentWindow(SourceFactory source, QString recordingsFolder, QString profileFolder,
                                           QWidget *parent)
    : QDialog(parent), m_sourceFactory(std::move(source)), m_recordingsFolder(std::move(recordingsFolder)),
      m_profileFolder(std::move(profileFolder))
{
    setObjectName(QStringLiteral("kestrovaVoiceEnrolment"));
    setWindowTitle(tr("Learn My Voice"));
    m_adaptation = new VoiceAdaptation(this);
    connect(m_adaptation, &VoiceAdaptation::progress, this, [this](int percent, const QString &what) {
        m_progress->setValue(percent);
        setMessage(what + QStringLiteral("…"));
    });
    connect(m_adaptation, &VoiceAdaptation::failed, this, &VoiceEnrolmentWindow::onFailed);
    connect(m_adaptation, &VoiceAdaptation::finished, this, &VoiceEnrolmentWindow::onFinished);

    auto *intro = new QLabel(tr("Read each sentence aloud as you normally speak. The character then "
                                            "learns how you say the sounds of English."));
    intro->setWordWrap(true);
    m_counter = new QLabel;
    m_sentence = new QLabel;
    m_sentence->setObjectName(QStringLiteral("kestrovaEnrolSentence"));
    m_sentence->setWordWrap(true);
    m_sentence->setMinimumHeight(60);
    QFont big = m_sentence->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    m_sentence->setFont(big);
    m_level = new QProgressBar;
    m_level->setObjectName(QStringLiteral("kestrovaEnrolLevel"));
    m_level->setRange(0, 100);
    m_level->setTextVisible(false);
    m_level->setMaximumHeight(12);
    m_record = new QPushButton(tr("&Record"));
    m_record->setObjectName(QStringLiteral("kestrovaEnrolRecord"));
    m_redo = new QPushButton(tr("Re&do"));
    m_redo->setObjectName(QStringLiteral("kestrovaEnrolRedo"));
    m_next = new QPushButton(tr("&Next"));
    m_next->setObjectName(QStringLiteral("kestrovaEnrolNext"));
    m_learn = new QPushButton(tr("&Learn My Voice"));
    m_learn->setObjectName(QStringLiteral("kestrovaEnrolLearn"));
    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("kestrovaEnrolProgress"));
    m_progress->setRange(0, 100);
    m_message = new QLabel;
    m_message->setObjectName(QStringLiteral("kestrovaEnrolMessage"));
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // The sentence's buttons, then learning with its progress: two rows,
    // so that the window can be narrow enough to stand beside the
    // character on a small screen.
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_record);
    buttons->addWidget(m_redo);
    buttons->addWidget(m_next);
    buttons->addStretch(1);
    auto *learning = new QHBoxLayout;
    learning->addWidget(m_learn);
    learning->addWidget(m_progress, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_counter);
    layout->addWidget(m_sentence);
    layout->addWidget(new QLabel(tr("Level:")));
    layout->addWidget(m_level);
    layout->addLayout(buttons);
    layout->addLayout(learning);
    layout->addWidget(m_message);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        resize(fittedSize(QSize(560, 320), screen->availableGeometry().size()));

    connect(m_record, &QPushButton::clicked, this, &VoiceEnrolmentWindow::toggleRecording);
    connect(m_redo, &QPushButton::clicked, this, &VoiceEnrolmentWindow::redo);
    connect(m_next, &QPushButton::clicked, this, &VoiceEnrolmentWindow::next);
    connect(m_learn, &QPushButton::clicked, this, &VoiceEnrolmentWindow::learn);
    setCommands({});
    if (const QString why = m_adaptation->missing(); !why.isEmpty())
        setMessage(why);
}

VoiceEnrolmentWindow::~VoiceEnrolmentWindow()
{
    if (m_source)
        m_source->stop();
}

void VoiceEnrolmentWindow::setCommands(const std::vector<VoiceCommand> &commands)
{
    stopRecording();
    m_sentences = enrolmentSentences();
    for (const VoiceCommand &c : commands) {
        const QString phrase = commandPhrase(c.grammar);
        if (!phrase.isEmpty() && !m_sentences.contains(phrase, Qt::CaseInsensitive))
            m_sentences << phrase;
    }
    m_files = QStringList(m_sentences.size(), QString());
    // Recordings of an earlier session for the same sentences are kept.
    for (int i = 0; i < m_sentences.size(); ++i)
        if (QFileInfo::exists(fileFor(i)) && QFileInfo(fileFor(i) + QStringLiteral(".txt")).exists()) {
            QFile text(fileFor(i) + QStringLiteral(".txt"));
            if (text.open(QIODevice::ReadOnly) && QString::fromUtf8(text.readAll()) == m_sentences[i])
                m_files[i] = fileFor(i);
        }
    m_again.clear();
    goTo(0);
}

QString VoiceEnrolmentWindow::fileFor(int index) const
{
    return QDir(m_recordingsFolder).filePath(QStringLiteral("sentence-%1.wav").arg(index + 1, 2, 10, QChar(u'0')));
}

QString VoiceEnrolmentWindow::message() const
{
    return m_message->text();
}

void VoiceEnrolmentWindow::setMessage(const QString &text)
{
    m_message->setText(text);
}

void VoiceEnrolmentWindow::goTo(int index)
{
    m_current = std::clamp(index, 0, int(m_sentences.size()) - 1);
    showSentence();
}

void VoiceEnrolmentWindow::showSentence()
{
    const int recorded = int(m_files.size() - m_files.count(QString()));
    m_counter->setText(m_again.isEmpty()
                           ? QStringLiteral("Sentence %1 of %2 (%3 recorded)")
                                 .arg(m_current + 1)
                                 .arg(m_sentences.size())
                                 .arg(recorded)
                           : QStringLiteral("Please read this one again (%1 left)").arg(m_again.size()));
    if (m_sentence->text() != m_sentences.value(m_current))
        qCDebug(lcCharacter).noquote()
            << QStringLiteral("Enrolment sentence %1: %2").arg(m_current + 1).arg(m_sentences.value(m_current));
    m_sentence->setText(m_sentences.value(m_current));
    const bool busy = m_adaptation->isRunning();
    m_record->setText(isRecording() ? QStringLiteral("&Stop") : QStringLiteral("&Record"));
    m_record->setEnabled(!busy);
    m_redo->setEnabled(!busy && !isRecording() && !m_files.value(m_current).isEmpty());
    m_next->setEnabled(!busy && !isRecording());
    m_learn->setEnabled(!busy && !isRecording() && recorded >= VoiceAdaptation::MinimumAligned
                        && m_adaptation->missing().isEmpty());
}

void VoiceEnrolmentWindow::toggleRecording()
{
    if (isRecording())
        stopRecording();
    else
        startRecording();
}

void VoiceEnrolmentWindow::startRecording()
{
    if (isRecording() || m_adaptation->isRunning())
        return;
    std::unique_ptr<AudioSource> source = m_sourceFactory ? m_sourceFactory() : nullptr;
    if (!source) {
        setMessage(tr("No microphone was found"));
        return;
    }
    connect(source.get(), &AudioSource::samples, this, &VoiceEnrolmentWindow::onSamples);
    connect(source.get(), &AudioSource::finished, this, &VoiceEnrolmentWindow::stopRecording);
    m_pcm.clear();
    if (!source->start()) {
        setMessage(source->errorString().isEmpty() ? QStringLiteral("No microphone was found") : source->errorString());
        return;
    }
    m_source = std::move(source);
    setMessage(tr("Recording: read the sentence, then press Stop."));
    showSentence();
}

void VoiceEnrolmentWindow::onSamples(const QByteArray &pcm)
{
    m_pcm += pcm;
    // The meter shows the chunk's peak on a decibel scale, -60 dB to 0.
    int peak = 0;
    const auto *s = reinterpret_cast<const qint16 *>(pcm.constData());
    for (qsizetype i = 0; i < pcm.size() / 2; ++i)
        peak = std::max(peak, std::abs(int(qFromLittleEndian(s[i]))));
    const double db = peak > 0 ? 20.0 * std::log10(peak / 32768.0) : -60.0;
    m_level->setValue(int(std::clamp((db + 60.0) / 60.0 * 100.0, 0.0, 100.0)));
}

void VoiceEnrolmentWindow::stopRecording()
{
    if (!m_source)
        return;
    std::unique_ptr<AudioSource> source = std::move(m_source);
    source->disconnect(this);
    source->stop();
    source.release()->deleteLater();
    m_level->setValue(0);
    if (m_pcm.size() / 2 < MinimumRecordingMs * SamplesPerMs) {
        setMessage(tr("That was too short to be the sentence: press Record and read it."));
        showSentence();
        return;
    }
    QString error;
    if (!QDir().mkpath(m_recordingsFolder) || !writeWav(fileFor(m_current), m_pcm, &error)) {
        setMessage(tr("The recording could not be kept in %1: %2").arg(m_recordingsFolder, error));
        showSentence();
        return;
    }
    QSaveFile text(fileFor(m_current) + QStringLiteral(".txt"));
    if (text.open(QIODevice::WriteOnly)) {
        text.write(m_sentences[m_current].toUtf8());
        text.commit();
    }
    m_files[m_current] = fileFor(m_current);
    qCDebug(lcCharacter).noquote() << QStringLiteral("Recorded sentence %1 (%2 ms)")
                                          .arg(m_current + 1)
                                          .arg(m_pcm.size() / 2 / SamplesPerMs);
    m_pcm.clear();
    setMessage(tr("Recorded. Press Next for the next sentence, or Redo to read this one again."));
    showSentence();
}

void VoiceEnrolmentWindow::next()
{
    if (!m_again.isEmpty()) {
        m_again.removeAll(m_current);
        if (!m_again.isEmpty())
            return goTo(m_again.first());
        setMessage(tr("All read again: press Learn My Voice."));
        return showSentence();
    }
    if (m_current + 1 < m_sentences.size())
        return goTo(m_current + 1);
    // The end: back to the first sentence not recorded yet, if any.
    const int missing = int(m_files.indexOf(QString()));
    if (missing >= 0)
        return goTo(missing);
    setMessage(tr("Every sentence is recorded: press Learn My Voice."));
    showSentence();
}

void VoiceEnrolmentWindow::redo()
{
    startRecording();
}

void VoiceEnrolmentWindow::learn()
{
    QList<EnrolmentRecording> recordings;
    for (int i = 0; i < m_sentences.size(); ++i)
        if (!m_files[i].isEmpty())
            recordings.append({m_files[i], m_sentences[i]});
    m_progress->setValue(0);
    if (m_adaptation->start(recordings, m_profileFolder))
        showSentence();
}

void VoiceEnrolmentWindow::onFailed(const QString &message, const QStringList &redo)
{
    qCWarning(lcCharacter).noquote() << QStringLiteral("Learning the voice failed: %1").arg(message);
    setMessage(message);
    m_again.clear();
    for (const QString &s : redo)
        if (const int i = int(m_sentences.indexOf(s)); i >= 0)
            m_again << i;
    if (!m_again.isEmpty())
        return goTo(m_again.first());
    showSentence();
}

void VoiceEnrolmentWindow::onFinished(const QString &folder, const QStringList &unaligned)
{
    // The few that did not match are offered again: read once more, they
    // make the next Learn My Voice better.
    m_again.clear();
    for (const QString &s : unaligned)
        if (const int i = int(m_sentences.indexOf(s)); i >= 0)
            m_again << i;
    setMessage(unaligned.isEmpty()
                   ? QStringLiteral("Your voice is learnt: the character listens with it from now on.")
                   : QStringLiteral("Your voice is learnt: the character listens with it from now on. %1 of the "
                                    "sentences did not match and were left out; read them again and press Learn "
                                    "My Voice to do better.")
                         .arg(unaligned.size()));
    if (!m_again.isEmpty())
        goTo(m_again.first());
    else
        showSentence();
    Q_EMIT learnt(folder);
}

void VoiceEnrolmentWindow::closeEvent(QCloseEvent *event)
{
    stopRecording();
    // Closing does not stop the learning: it finishes in the background.
    QDialog::closeEvent(event);
}

} // namespace kestrova::character
