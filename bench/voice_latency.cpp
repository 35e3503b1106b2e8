// How long after the speaker stops a spoken command is known: plays clean
// command recordings of a corpus (bench/speech/make_corpus.sh), and those
// with pauses of 0.3-0.4 s between the words, through the program's speech
// listener, each followed by the silence a speaker leaves, and measures
// from the end of the speech in the recording to the listener's result;
// counts the commands heard right, wrong and not taken (at -60 or below),
// and those taken before the last word was spoken ("early": a pause
// between words taken for the end), which have no such latency.
//   bench_voice_latency [--pulse | --sink <sink>] [--lead <ms>] [--live-loop] <corpus-dir> [files]
// Without --pulse the recordings come at the pace of a microphone, 20 ms a
// chunk. A second passes between one result and the next recording, as
// between a user's commands. With --pulse the bench starts a PulseAudio
// server of its own (its own HOME and runtime folder) with a null sink
// "microphone" whose monitor, remapped as the source "mic", is the default
// source; the recordings are played into that sink and the listener records
// from the default source through the program's own microphone path. With
// --sink they are played into <sink> of the sound server already running.
// The time to the result then includes the sound server's latency both
// ways. Beside it the bench prints where the time went: from the end of the
// speech being played to its sound reaching the listener (the sound server
// and the capture's buffering), from there to the end of speech being
// detected, and the decode after it with its processor time on all the
// threads it runs on (which a busy machine does not stretch).
// files: how many recordings of each kind (default 40; each takes its own
// length plus about a second). --lead puts that much of a quiet
// microphone's hiss before each recording, as when the user waits a moment
// after pressing the key. --live-loop has the phone loop hear each
// utterance while it is spoken (PhoneLoopDecoder::Live).

#include "MicrophoneSource.h"
#include "SpeechListener.h"
#include "WavFile.h"

#include "CommandTable.h"

#include "BenchAudio.h"
#include "BenchCommands.h"

#include <QApplication>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

using namespace kestrova::character;

namespace {

constexpr int Chunk = 320; // 20 ms, as the program reads its microphone
constexpr int TargetMs = 300;

// A recording delivered like a microphone: each chunk when its last
// sample has been "spoken". Plays what `next` holds when it starts (the
// listener keeps its source from one listening to the next).
class PacedSource : public AudioSource {
public:
    explicit PacedSource(const std::vector<std::int16_t> &next) : m_next(next)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, &PacedSource::next);
    }
    bool start() override
    {
        m_samples = m_next;
        m_at = 0;
        m_clock.start();
        m_timer.start(5);
        return true;
    }
    void stop() override { m_timer.stop(); }
    // When sample `index` was spoken, on the clock started with start().
    qint64 spokenAtMs(std::size_t index) const { return qint64(index / 16); }
    const QElapsedTimer &clock() const { return m_clock; }

private:
    void next()
    {
        // Every chunk whose time has come, as a sound card hands them over.
        while (m_at < m_samples.size() && qint64((m_at + Chunk) / 16) <= m_clock.elapsed()) {
            const std::size_t n = std::min<std::size_t>(Chunk, m_samples.size() - m_at);
            Q_EMIT samples(QByteArray(reinterpret_cast<const char *>(m_samples.data() + m_at), qsizetype(n * 2)));
            m_at += n;
        }
        if (m_at >= m_samples.size()) {
            m_timer.stop();
            Q_EMIT finished();
        }
    }
    const std::vector<std::int16_t> &m_next;
    std::vector<std::int16_t> m_samples;
    std::size_t m_at = 0;
    QTimer m_timer;
    QElapsedTimer m_clock;
};

// The source the listener records from, wrapped: notes when each piece
// of sound reached the listener, on the bench's own clock, and keeps the
// sound, to find where the recording's speech lies in it.
class TimedSource : public AudioSource {
public:
    struct Arrival {
        std::size_t samplesSoFar; // after this piece
        qint64 atMs;
    };
    TimedSource(std::unique_ptr<AudioSource> inner, const QElapsedTimer &wall)
        : m_inner(std::move(inner)), m_wall(wall)
    {
        connect(m_inner.get(), &AudioSource::samples, this, [this](const QByteArray &pcm) {
            const auto *p = reinterpret_cast<const std::int16_t *>(pcm.constData());
            m_pcm.insert(m_pcm.end(), p, p + pcm.size() / 2);
            m_arrivals.push_back({m_pcm.size(), m_wall.elapsed()});
            Q_EMIT samples(pcm);
        });
        connect(m_inner.get(), &AudioSource::finished, this, &AudioSource::finished);
    }
    bool start() override
    {
        m_pcm.clear();
        m_arrivals.clear();
        return m_inner->start();
    }
    void stop() override { m_inner->stop(); }
    QString errorString() const override { return m_inner->errorString(); }
    const std::vector<std::int16_t> &recorded() const { return m_pcm; }
    // When sample `index` of what was recorded reached the listener; -1
    // when it has not.
    qint64 arrivalOf(std::size_t index) const
    {
        for (const Arrival &a : m_arrivals)
            if (a.samplesSoFar > index)
                return a.atMs;
        return -1;
    }
    const std::vector<Arrival> &arrivals() const { return m_arrivals; }

private:
    std::unique_ptr<AudioSource> m_inner;
    const QElapsedTimer &m_wall;
    std::vector<std::int16_t> m_pcm;
    std::vector<Arrival> m_arrivals;
};

// A PulseAudio server of the bench's own: its own HOME and runtime folder
// (so no other sound server is met), a null sink "microphone" whose
// monitor, remapped as the source "mic", is the default source. The sink
// is made without rewinds: a null sink renders up to 2 s of silence ahead,
// and its monitor has already passed that on when a recording starts to
// play (a microphone has no such delay). Without rewinds the sink renders
// no further ahead than its streams ask.
class PulseServer {
public:
    ~PulseServer()
    {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(3000))
                m_server.kill();
            m_server.waitForFinished(1000);
        }
    }
    // Before the first use of the sound devices; false with *error.
    bool start(QString *error)
    {
        if (!m_dir.isValid() || !QDir(m_dir.path()).mkpath(QStringLiteral("home"))
            || !QDir(m_dir.path()).mkpath(QStringLiteral("runtime"))) {
            *error = QStringLiteral("no folder for the sound server");
            return false;
        }
        QFile::setPermissions(m_dir.filePath(QStringLiteral("runtime")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("HOME", m_dir.filePath(QStringLiteral("home")).toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", m_dir.filePath(QStringLiteral("runtime")).toLocal8Bit());
        qunsetenv("PULSE_SERVER");
        const QString pulse = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        if (pulse.isEmpty()) {
            *error = QStringLiteral("pulseaudio is not installed");
            return false;
        }
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.setStandardOutputFile(m_dir.filePath(QStringLiteral("pulse.log")));
        m_server.start(pulse, {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                               QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1"),
                               QStringLiteral("--load=module-null-sink sink_name=microphone norewinds=1"),
                               QStringLiteral("--load=module-remap-source master=microphone.monitor source_name=mic")});
        if (!m_server.waitForStarted(5000)) {
            *error = QStringLiteral("pulseaudio did not start");
            return false;
        }
        for (int k = 0; k < 100; ++k) {
            if (QProcess::execute(QStringLiteral("pactl"), {QStringLiteral("info")}) == 0)
                return QProcess::execute(QStringLiteral("pactl"), {QStringLiteral("set-default-source"), QStringLiteral("mic")}) == 0
                    || (*error = QStringLiteral("the source \"mic\" cannot be made the default"), false);
            if (m_server.state() == QProcess::NotRunning)
                break;
            QThread::msleep(100);
        }
        *error = QStringLiteral("pulseaudio did not answer (its log: %1)").arg(m_dir.filePath(QStringLiteral("pulse.log")));
        m_dir.setAutoRemove(false);
        return false;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_server;
};

// A recording played into a PulseAudio sink whose monitor is the default
// source. The clock starts when the sound starts to flow.
class SinkPlayer {
public:
    explicit SinkPlayer(const QAudioDevice &device) : m_device(device) {}
    void play(const std::vector<std::int16_t> &samples)
    {
        stop();
        m_bytes = QByteArray(reinterpret_cast<const char *>(samples.data()), qsizetype(samples.size() * 2));
        m_buffer = std::make_unique<QBuffer>(&m_bytes);
        m_buffer->open(QIODevice::ReadOnly);
        QAudioFormat format;
        format.setSampleRate(16000);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        m_sink = std::make_unique<QAudioSink>(m_device, format);
        m_sink->setBufferSize(16000 * 2 / 10); // 100 ms
        m_clock.start();
        m_sink->start(m_buffer.get());
        if (m_sink->error() != QAudio::NoError)
            std::fprintf(stderr, "the sound output does not play (error %d)\n", int(m_sink->error()));
    }
    void stop()
    {
        if (m_sink)
            m_sink->stop();
        m_sink.reset();
        m_buffer.reset();
    }
    const QElapsedTimer &clock() const { return m_clock; }

private:
    QAudioDevice m_device;
    QByteArray m_bytes;
    std::unique_ptr<QBuffer> m_buffer;
    std::unique_ptr<QAudioSink> m_sink;
    QElapsedTimer m_clock;
};

// The start of the speech: the first 10 ms frame within 30 dB of the
// loudest frame.
std::size_t speechStart(const std::vector<std::int16_t> &s)
{
    double loudest = 0;
    const std::vector<double> rms = frameLevels(s, &loudest);
    for (std::size_t f = 0; f < rms.size(); ++f)
        if (loudest > 0 && rms[f] >= loudest * 0.0316)
            return f * 160;
    return 0;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(std::ceil(p * double(v.size())) - 1))];
}

} // namespace

int main(int argc, char **argv)
{
    // The command table comes from a real (offscreen) application.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString sinkName;
    bool ownServer = false;
    int leadMs = 0;
    PhoneLoopDecoder loopDecoder = PhoneLoopDecoder::Own;
    for (bool more = true; more && !args.isEmpty();) {
        more = false;
        if (args[0] == u"--live-loop") {
            loopDecoder = PhoneLoopDecoder::Live;
            args = args.mid(1);
            more = true;
            continue;
        }
        if (args[0] == u"--pulse") {
            ownServer = true;
            sinkName = QStringLiteral("microphone");
            args = args.mid(1);
            more = true;
        } else if (args[0] == u"--sink" && args.size() >= 2) {
            sinkName = args[1];
            args = args.mid(2);
            more = true;
        } else if (args[0] == u"--lead" && args.size() >= 2) {
            leadMs = std::max(0, args[1].toInt());
            args = args.mid(2);
            more = true;
        }
    }
    if (args.isEmpty() || args.size() > 2 || args[0].startsWith(u'-')) {
        std::fprintf(stderr, "usage: bench_voice_latency [--pulse | --sink <sink>] [--lead <ms>] [--live-loop] <corpus-dir> [files]\n");
        return 2;
    }
    PulseServer server;
    if (ownServer) {
        QString error;
        if (!server.start(&error)) {
            std::fprintf(stderr, "no sound server: %s\n", qPrintable(error));
            return 1;
        }
    }
    const QDir corpus(args[0]);
    const int wanted = args.size() > 1 ? args[1].toInt() : 40;
    QFile index(corpus.filePath(QStringLiteral("index.tsv")));
    if (!index.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "no index.tsv in %s (bench/speech/make_corpus.sh makes one)\n", qPrintable(args[0]));
        return 1;
    }
    // Command recordings, clean and with pauses between the words, spread
    // over the corpus's voices.
    struct Recording {
        QString file, expected, variant;
    };
    QMap<QString, QList<Recording>> byVariant;
    QTextStream in(&index);
    in.readLine();
    while (!in.atEnd()) {
        const QStringList f = in.readLine().split(u'\t');
        if (f.size() >= 6 && f[1] == u"command" && (f[5] == u"clean" || f[5] == u"pauses"))
            byVariant[f[5]].append({f[0], f[2], f[5]});
    }
    if (byVariant.value(QStringLiteral("clean")).isEmpty()) {
        std::fprintf(stderr, "the corpus has no clean command recordings\n");
        return 1;
    }
    QList<Recording> chosen;
    for (const QList<Recording> &all : std::as_const(byVariant)) {
        const qsizetype step = std::max<qsizetype>(1, all.size() / std::max(1, wanted));
        for (qsizetype k = 0, done = 0; k < all.size() && done < wanted; k += step, ++done)
            chosen << all[k];
    }

    std::vector<VoiceCommand> commands;
    for (const kestrova::CommandEntry &e : benchCommandTable(QStringLiteral("Writer"), {QStringLiteral("BBC News"), QStringLiteral("Weather"), QStringLiteral("Gmail")}))
        if (!e.voice.isEmpty())
            commands.push_back({e.name, e.voice, e.drastic});

    // The bench's clock, on which every arrival and result is noted.
    QElapsedTimer wall;
    wall.start();
    PacedSource *current = nullptr;
    TimedSource *timedSource = nullptr;
    std::vector<std::int16_t> next;
    std::unique_ptr<SinkPlayer> player;
    SpeechListener::SourceFactory sourceFactory = [&]() -> std::unique_ptr<AudioSource> {
        auto s = std::make_unique<PacedSource>(next);
        current = s.get();
        auto timed = std::make_unique<TimedSource>(std::move(s), wall);
        timedSource = timed.get();
        return timed;
    };
    if (!sinkName.isEmpty()) {
        QAudioDevice sink;
        for (const QAudioDevice &d : QMediaDevices::audioOutputs())
            if (QString::fromUtf8(d.id()) == sinkName || d.description() == sinkName)
                sink = d;
        if (sink.isNull()) {
            std::fprintf(stderr, "no sound output \"%s\" (is the sound server running?)\n", qPrintable(sinkName));
            return 1;
        }
        player = std::make_unique<SinkPlayer>(sink);
        sourceFactory = [&]() -> std::unique_ptr<AudioSource> {
            auto timed = std::make_unique<TimedSource>(std::make_unique<MicrophoneSource>(), wall);
            timedSource = timed.get();
            return timed;
        };
    }
    SpeechListener listener([loopDecoder](QString *error) { return createPocketsphinxRecognizer(error, loopDecoder); },
                            sourceFactory);
    listener.setCommands(commands);

    struct Counts {
        int recordings = 0, ended = 0, early = 0, right = 0, wrong = 0, rejected = 0;
        std::vector<double> latencies;
    };
    // Where the time of each ended result went: the end of the speech on
    // its way to the listener, the wait for its end to be detected, the
    // decode after it; and how the sound came (samples a piece, ms between
    // pieces).
    std::vector<double> transportMs, detectMs, decodeMs, decodeCpuMs, pieceSamples, pieceGapMs;
    QMap<QString, Counts> counts;
    QString first;
    // Every timed result, to name the slowest: latency, file, variant, outcome.
    struct Timed {
        double ms;
        QString file, variant, expected, outcome;
    };
    std::vector<Timed> timed;
    for (const Recording &r : std::as_const(chosen)) {
        QString error;
        {
            QEventLoop between;
            QTimer::singleShot(1000, &between, &QEventLoop::quit);
            between.exec();
        }
        std::optional<std::vector<std::int16_t>> samples = readWav16kMono(corpus.filePath(r.file), &error);
        if (!samples) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        // The user's hesitation before speaking: the hiss of a quiet
        // microphone (a fixed pseudo-random sequence, the same every run).
        std::vector<std::int16_t> lead(std::size_t(leadMs) * 16);
        std::uint32_t noise = 12345;
        for (std::int16_t &v : lead) {
            noise = noise * 1664525u + 1013904223u;
            v = std::int16_t(int(noise >> 24) % 51 - 25);
        }
        samples->insert(samples->begin(), lead.begin(), lead.end());
        const std::size_t end = speechEnd(*samples);
        next = *samples;
        next.insert(next.end(), 16 * 1200, 0); // the pause after a command
        qint64 heardAt = -1, heardAtWall = -1, playAtWall = -1;
        int heardFinishMs = 0;
        double heardFinishCpuMs = 0;
        QString heardCommand;
        int heardConfidence = -100;
        QEventLoop loop;
        QTimer giveUp;
        giveUp.setSingleShot(true);
        QObject::connect(&giveUp, &QTimer::timeout, &loop, &QEventLoop::quit);
        const QElapsedTimer *clock = nullptr;
        QObject::connect(&listener, &SpeechListener::heard, &loop, [&](const Recognition &heard) {
            heardAt = clock ? clock->elapsed() : -1;
            heardAtWall = wall.elapsed();
            heardFinishMs = heard.finishMs;
            heardFinishCpuMs = heard.finishCpuMs;
            heardCommand = heard.command;
            heardConfidence = heard.confidence;
            loop.quit();
        });
        QObject::connect(&listener, &SpeechListener::stopped, &loop, &QEventLoop::quit);
        QObject::connect(&listener, &SpeechListener::failed, &loop, [&](const QString &why) {
            std::fprintf(stderr, "%s\n", qPrintable(why));
            loop.quit();
        });
        if (!player)
            playAtWall = wall.elapsed();
        if (!listener.start()) {
            std::fprintf(stderr, "cannot listen: %s\n", qPrintable(listener.errorString()));
            return 1;
        }
        const qint64 lastSpoken = qint64(next.size() / 16);
        if (player) {
            // The recorder running first, as when the user presses the key
            // and then speaks.
            QTimer::singleShot(300, &loop, [&] {
                playAtWall = wall.elapsed();
                player->play(next);
                clock = &player->clock();
            });
        } else {
            clock = &current->clock();
        }
        giveUp.start(int(lastSpoken) + 3000);
        loop.exec();
        listener.disconnect(&loop);
        listener.stop();
        if (player)
            player->stop();
        Counts &c = counts[r.variant];
        ++c.recordings;
        const bool taken = !heardCommand.isEmpty() && heardConfidence > -60;
        const QString outcome = !taken ? QStringLiteral("not taken")
            : heardCommand == r.expected ? QStringLiteral("right")
                                         : QStringLiteral("wrong (%1)").arg(heardCommand);
        if (first.isEmpty())
            first = QStringLiteral("%1: %2").arg(r.expected, outcome);
        (!taken ? c.rejected : heardCommand == r.expected ? c.right : c.wrong)++;
        // A result that came only because the recording ran out is no
        // measure of the end-of-speech detection.
        if (heardAt < 0 || heardAt >= lastSpoken)
            continue;
        // A result before the last word was spoken: the listener took a
        // pause between words for the end. No latency of the end of speech
        // (it would flatter the figures); counted on its own.
        if (heardAt < qint64(end / 16)) {
            ++c.early;
            timed.push_back({double(heardAt - qint64(end / 16)), r.file, r.variant, r.expected,
                             outcome + QStringLiteral(", before the last word")});
            continue;
        }
        ++c.ended;
        c.latencies.push_back(double(heardAt - qint64(end / 16)));
        decodeCpuMs.push_back(heardFinishCpuMs);
        QString parts;
        if (timedSource && playAtWall >= 0) {
            // Where the recording's speech lies in what was recorded: the
            // same onset found in both.
            const std::vector<std::int16_t> &recorded = timedSource->recorded();
            const qint64 shift = qint64(speechStart(recorded)) - qint64(speechStart(next));
            const qint64 endRecorded = qint64(end) + shift;
            const qint64 arrived = endRecorded >= 0 ? timedSource->arrivalOf(std::size_t(endRecorded)) : -1;
            if (arrived >= 0) {
                transportMs.push_back(double(arrived - (playAtWall + qint64(end / 16))));
                detectMs.push_back(double(heardAtWall - heardFinishMs - arrived));
                decodeMs.push_back(double(heardFinishMs));
                parts = QStringLiteral(" (heard after %1 ms, detected after %2, decoded in %3)")
                            .arg(transportMs.back())
                            .arg(detectMs.back())
                            .arg(decodeMs.back());
            }
            const auto &pieces = timedSource->arrivals();
            for (std::size_t k = 1; k < pieces.size(); ++k) {
                pieceSamples.push_back(double(pieces[k].samplesSoFar - pieces[k - 1].samplesSoFar));
                pieceGapMs.push_back(double(pieces[k].atMs - pieces[k - 1].atMs));
            }
        }
        timed.push_back({c.latencies.back(), r.file, r.variant, r.expected, outcome + parts});
    }
    std::printf("%s, %d recordings\n",
                player ? qPrintable(QStringLiteral("Through PulseAudio (played into \"%1\", recorded from the default source)").arg(sinkName))
                       : "Paced like a microphone, 20 ms a chunk",
                int(chosen.size()));
    std::printf("first command after start-up: %s\n", qPrintable(first));
    std::printf("%-28s %6s %6s %6s %6s %6s %9s %9s\n", "recordings", "right", "wrong", "not", "early", "ended", "mean",
                "95th");
    std::vector<double> all;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const Counts &c = it.value();
        double mean = 0;
        for (double l : c.latencies)
            mean += l / double(c.latencies.size());
        all.insert(all.end(), c.latencies.begin(), c.latencies.end());
        std::printf("%-28s %6d %6d %6d %6d %6d %6.0f ms %6.0f ms\n",
                    qPrintable(QStringLiteral("%1 (%2)").arg(it.key()).arg(c.recordings)), c.right, c.wrong, c.rejected,
                    c.early, c.ended, mean, percentile(c.latencies, 0.95));
    }
    double mean = 0;
    for (double l : all)
        mean += l / double(all.size());
    std::printf("%-44s %10s %10s\n", "end of speech to result", "measured", "target");
    std::printf("%-44s %8.0f ms %7d ms\n", "  mean", mean, TargetMs);
    std::printf("%-44s %8.0f ms %7d ms %s\n", "  95th percentile", percentile(all, 0.95), TargetMs,
                !all.empty() && percentile(all, 0.95) <= TargetMs ? "met" : "NOT MET");
    std::printf("%-44s %8.0f ms\n", "  largest", percentile(all, 1.0));
    // The parts of it.
    const auto part = [](const char *what, const std::vector<double> &v, const char *unit) {
        double m = 0;
        for (double x : v)
            m += x / double(v.size());
        std::printf("%-44s %8.0f %s  95th %6.0f %s  (%zu)\n", what, m, unit, percentile(v, 0.95), unit, v.size());
    };
    std::printf("where the time went, mean:\n");
    part("  end of speech played to its sound heard", transportMs, "ms");
    part("  sound heard to end of speech detected", detectMs, "ms");
    part("  decode after the end of speech", decodeMs, "ms");
    part("    its processor time, all threads", decodeCpuMs, "ms");
    part("  sound a piece from the source", pieceSamples, "samples");
    part("  time between pieces", pieceGapMs, "ms");
    // The slowest results, to see what made them slow (a command that is
    // the start of a longer one waits out a pause; a long decode), and the
    // results that came before the last word.
    std::sort(timed.begin(), timed.end(), [](const Timed &a, const Timed &b) { return a.ms > b.ms; });
    const auto list = [](const Timed &t) {
        std::printf("  %6.0f ms  %s %s %s: %s\n", t.ms, qPrintable(t.file), qPrintable(t.variant), qPrintable(t.expected),
                    qPrintable(t.outcome));
    };
    std::printf("slowest:\n");
    for (std::size_t k = 0; k < std::min<std::size_t>(10, timed.size()) && timed[k].ms >= 0; ++k)
        list(timed[k]);
    if (!timed.empty() && timed.back().ms < 0)
        std::printf("before the last word (ms before its end):\n");
    for (const Timed &t : timed)
        if (t.ms < 0)
            list(t);
    return 0;
}
