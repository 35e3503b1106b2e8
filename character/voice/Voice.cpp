#include "Voice.h"

#include "DesktopCharacterLog.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <unistd.h>

namespace kestrova::character {


namespace {

bool soundOutputFound()
{
    if (!qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        return true;
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        runtime = QStringLiteral("/run/user/%1").arg(::getuid());
    for (const QString &socket : {QStringLiteral("/pulse/native"), QStringLiteral("/pipewire-0")})
        if (QFileInfo::exists(runtime + socket))
            return true;
    // A sound card that something could play through directly (ALSA).
    const QStringList playback = QDir(QStringLiteral("/dev/snd")).entryList({QStringLiteral("pcm*p")}, QDir::System);
    return !playback.isEmpty();
}

} // namespace

void relayVoice(Voice *inner, Voice *outer, std::shared_ptr<QHash<int, int>> utterances)
{
    QObject::connect(inner, &Voice::started, outer, [outer, utterances](int u) {
        if (const int o = utterances->value(u))
            Q_EMIT outer->started(o);
    });
    QObject::connect(inner, &Voice::timed, outer, [outer, utterances](int u, const SpeechTiming &timing) {
        if (const int o = utterances->value(u))
            Q_EMIT outer->timed(o, timing);
    });
    QObject::connect(inner, &Voice::finished, outer, [outer, utterances](int u) {
        if (const int o = utterances->take(u))
            Q_EMIT outer->finished(o);
    });
    QObject::connect(inner, &Voice::failed, outer, [outer, utterances](int u) {
        if (const int o = utterances->take(u))
            Q_EMIT outer->failed(o);
    });
}

bool soundOutputLikely()
{
    // Looked for once a run: every voice asks before each sentence.
    static const bool found = soundOutputFound();
    return found;
}

namespace {

// Rate -1 .. 1 as a speed factor: 0.5 .. 2.
double speedOf(double rate)
{
    return std::pow(2.0, std::clamp(rate, -1.0, 1.0));
}

bool isVowel(QChar c)
{
    static const QString vowels = QStringLiteral("aeiouyàáâãäåæèéêëìíîïòóôõöøùúûüý");
    return vowels.contains(c.toLower());
}

} // namespace

int readingTimeMs(const QString &text, double rate)
{
    const qsizetype chars = text.trimmed().size();
    const double stretch = rate < 0 ? 1.0 - std::max(rate, -1.0) : 1.0;
    const double ms = (500.0 + 80.0 * double(chars)) * stretch;
    return int(std::min(ms, 20000.0));
}

int speakingTimeMs(const QString &text, double rate)
{
    return int(62.0 * double(text.trimmed().size()) / speedOf(rate));
}

QList<MouthStep> mouthMotion(const QString &spoken, int shapeCount, int totalMs)
{
    QList<MouthStep> steps;
    if (shapeCount < 2 || totalMs <= 0)
        return steps;
    const int widest = shapeCount - 1;
    const int half = std::max(1, shapeCount / 2);
    const int small = 1;
    const int nearlyClosed = shapeCount > 3 ? 1 : 0;

    // Weighted steps first, scaled to totalMs afterwards.
    struct Weighted {
        int shape;
        double weight;
    };
    QList<Weighted> raw;
    auto add = [&raw](int shape, double weight) {
        if (!raw.isEmpty() && raw.last().shape == shape)
            raw.last().weight += weight;
        else
            raw.append({shape, weight});
    };
    const QString text = spoken.trimmed();
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text.at(i);
        if (isVowel(c)) {
            const QChar first = c.toLower();
            qsizetype n = 0;
            while (i < text.size() && isVowel(text.at(i))) {
                ++n;
                ++i;
            }
            const int shape = (first == u'a' || first == u'o' || first == u'à' || first == u'á'
                               || first == u'ò' || first == u'ó' || first == u'ö')
                ? widest
                : first == u'u' || first == u'ü' || first == u'ù' || first == u'ú' ? small : half;
            add(shape, 1.0 + 0.6 * double(n - 1));
        } else if (c.isLetterOrNumber()) {
            add(nearlyClosed, 0.6);
            ++i;
        } else if (c.isSpace()) {
            add(0, 0.3);
            ++i;
        } else if (c == u'.' || c == u'!' || c == u'?') {
            add(0, 3.0);
            ++i;
        } else if (c == u',' || c == u';' || c == u':') {
            add(0, 2.0);
            ++i;
        } else {
            add(0, 0.3);
            ++i;
        }
    }
    if (raw.isEmpty())
        return steps;
    if (raw.last().shape != 0)
        raw.append({0, 0.5});

    double total = 0;
    for (const Weighted &w : raw)
        total += w.weight;
    // Steps under 40 ms are not seen; fold them into the next one.
    double carry = 0;
    int used = 0;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const double ms = raw[i].weight / total * totalMs + carry;
        const bool last = i + 1 == raw.size();
        if (ms < 40 && !last) {
            carry = ms;
            continue;
        }
        carry = 0;
        const int whole = last ? std::max(0, totalMs - used) : int(ms);
        used += whole;
        if (!steps.isEmpty() && steps.last().shape == raw[i].shape)
            steps.last().ms += whole;
        else
            steps.append({raw[i].shape, whole});
    }
    return steps;
}

} // namespace kestrova::character

