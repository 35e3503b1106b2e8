// How long after the speaker stops a spoken command is known: plays clean
// command recordings of a corpus (bench/speech/make_corpus.sh) at the pace
// of a microphone, 100 ms a chunk, through the program's speech listener,
// each followed by the silence a speaker leaves, and measures from the end
// of the speech in the recording to the listener's result.
//   bench_voice_latency <corpus-dir> [files]
// files: how many recordings (default 40; each takes its own length plus
// about a second).

#include "SpeechListener.h"
#include "WavFile.h"

#include "CommandTable.h"

#include "BenchCommands.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace kestrova::character;

namespace {

constexpr int Chunk = 1600; // 100 ms
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

// The end of the speech: the end of the last 10 ms frame whose level is
// within 30 dB of the loudest frame.
std::size_t speechEnd(const std::vector<std::int16_t> &s)
{
    constexpr std::size_t Frame = 160;
    std::vector<double> rms;
    for (std::size_t at = 0; at + Frame <= s.size(); at += Frame) {
        double sum = 0;
        for (std::size_t k = at; k < at + Frame; ++k)
            sum += double(s[k]) * s[k];
        rms.push_back(std::sqrt(sum / Frame));
    }
    const double loudest = rms.empty() ? 0 : *std::max_element(rms.begin(), rms.end());
    for (std::size_t f = rms.size(); f-- > 0;)
        if (rms[f] >= loudest * 0.0316)
            return (f + 1) * Frame;
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
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.size() > 2) {
        std::fprintf(stderr, "usage: bench_voice_latency <corpus-dir> [files]\n");
        return 2;
    }
    const QDir corpus(args[0]);
    const int wanted = args.size() > 1 ? args[1].toInt() : 40;
    QFile index(corpus.filePath(QStringLiteral("index.tsv")));
    if (!index.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "no index.tsv in %s (bench/speech/make_corpus.sh makes one)\n", qPrintable(args[0]));
        return 1;
    }
    // Clean command recordings, spread over the corpus's voices.
    QStringList files, expected;
    QTextStream in(&index);
    in.readLine();
    while (!in.atEnd()) {
        const QStringList f = in.readLine().split(u'\t');
        if (f.size() >= 6 && f[1] == u"command" && f[5] == u"clean") {
            files << f[0];
            expected << f[2];
        }
    }
    if (files.isEmpty()) {
        std::fprintf(stderr, "the corpus has no clean command recordings\n");
        return 1;
    }
    const int step = std::max<qsizetype>(1, files.size() / std::max(1, wanted));

    std::vector<VoiceCommand> commands;
    for (const kestrova::CommandEntry &e : benchCommandTable(QStringLiteral("Writer"), {QStringLiteral("BBC News"), QStringLiteral("Weather"), QStringLiteral("Gmail")}))
        if (!e.voice.isEmpty())
            commands.push_back({e.name, e.voice});

    PacedSource *current = nullptr;
    std::vector<std::int16_t> next;
    SpeechListener listener([](QString *error) { return createPocketsphinxRecognizer(error); },
                            [&]() -> std::unique_ptr<AudioSource> {
                                auto s = std::make_unique<PacedSource>(next);
                                current = s.get();
                                return s;
                            });
    listener.setCommands(commands);

    std::vector<double> latencies;
    int ended = 0, failed = 0, right = 0;
    for (int k = 0, done = 0; k < files.size() && done < wanted; k += int(step), ++done) {
        QString error;
        std::optional<std::vector<std::int16_t>> samples = readWav16kMono(corpus.filePath(files[k]), &error);
        if (!samples) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        const std::size_t end = speechEnd(*samples);
        next = *samples;
        next.insert(next.end(), 16 * 1200, 0); // the pause after a command
        qint64 heardAt = -1;
        QString heardCommand;
        int heardConfidence = -100;
        QEventLoop loop;
        QObject::connect(&listener, &SpeechListener::heard, &loop, [&](const Recognition &r) {
            heardAt = current->clock().elapsed();
            heardCommand = r.command;
            heardConfidence = r.confidence;
            loop.quit();
        });
        QObject::connect(&listener, &SpeechListener::stopped, &loop, &QEventLoop::quit);
        QObject::connect(&listener, &SpeechListener::failed, &loop, [&](const QString &why) {
            std::fprintf(stderr, "%s\n", qPrintable(why));
            loop.quit();
        });
        if (!listener.start())
            return 1;
        loop.exec();
        listener.disconnect(&loop);
        // A result that came only because the file ran out is no measure
        // of the end-of-speech detection.
        const qint64 lastSpoken = current->spokenAtMs(next.size());
        if (heardAt < 0 || heardAt >= lastSpoken) {
            ++failed;
            continue;
        }
        ++ended;
        // Heard through the listener, utterance ends found as it goes: a
        // pause inside a command taken for its end shows here.
        if (heardCommand == expected[k] && heardConfidence > -60)
            ++right;
        latencies.push_back(double(heardAt - current->spokenAtMs(end)));
    }
    double mean = 0;
    for (double l : latencies)
        mean += l / double(latencies.size());
    std::printf("recordings %d; ended by the end of speech %d, not %d; the right command above -60: %d\n",
                ended + failed, ended, failed, right);
    std::printf("%-44s %10s %10s\n", "end of speech to result", "measured", "target");
    std::printf("%-44s %8.0f ms %7d ms\n", "  mean", mean, TargetMs);
    std::printf("%-44s %8.0f ms %7d ms\n", "  95th percentile", percentile(latencies, 0.95), TargetMs);
    std::printf("%-44s %8.0f ms\n", "  largest", percentile(latencies, 1.0));
    return 0;
}
