#include "JsgfGrammar.h"
#include "Pronunciation.h"
#include "SpeechRecognizer.h"
#include "VoiceGrammar.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLoggingCategory>

#include <cmath>

extern "C" {
#include <pocketsphinx.h>
#include <sphinxbase/ckd_alloc.h>
#include <sphinxbase/err.h>
}

Q_LOGGING_CATEGORY(lcSpeech, "kestrova.speech")

namespace kestrova::character {

namespace {

const char ModelDir[] = "/usr/share/pocketsphinx/model/en-us";
const char CommandSearch[] = "commands";
const char PhoneSearch[] = "phones";
const char ProbeSearch[] = "probe";

// The model's phones; each is also a one-phone garbage word.
const char *const Phones[] = {"AA", "AE", "AH", "AO", "AW", "AY", "B",  "CH", "D",  "DH", "EH", "ER", "EY",
                              "F",  "G",  "HH", "IH", "IY", "JH", "K",  "L",  "M",  "N",  "NG", "OW", "OY",
                              "P",  "R",  "S",  "SH", "T",  "TH", "UH", "UW", "V",  "W",  "Y",  "Z",  "ZH"};

QString garbageWord(const char *phone)
{
    return QStringLiteral("garbage") + QString::fromLatin1(phone).toLower();
}

// The per-frame gap between the grammar and the free phone loop, mapped
// to -100..100: at RejectGap the utterance is at the -60 rejection line,
// every GapPerPoint above it a point more.
constexpr double RejectGap = -1.0;
constexpr bool UseGarbagePaths = false;
constexpr double PointsPerGap = 80.0;

int confidenceForGap(double gap)
{
    const double c = -60.0 + (gap - RejectGap) * PointsPerGap;
    return int(std::lround(std::clamp(c, -100.0, 100.0)));
}

class PocketsphinxRecognizer final : public SpeechRecognizer {
public:
    PocketsphinxRecognizer(ps_decoder_t *ps, cmd_ln_t *config) : m_ps(ps), m_config(config)
    {
        for (const char *phone : Phones) {
            const QString word = garbageWord(phone);
            ps_add_word(m_ps, word.toLatin1().constData(), phone, FALSE);
            m_garbage << word;
        }
    }
    ~PocketsphinxRecognizer() override
    {
        ps_free(m_ps);
        cmd_ln_free_r(m_config);
    }

    bool setCommands(const std::vector<VoiceCommand> &commands, QStringList *problems) override;
    void startUtterance() override;
    void process(const std::int16_t *samples, std::size_t count) override;
    bool speechStarted() const override { return m_speechStarted; }
    bool inSpeech() const override { return m_inUtterance && ps_get_in_speech(m_ps); }
    Recognition endUtterance() override;

private:
    QString lookup(const QString &word) const
    {
        char *phones = ps_lookup_word(m_ps, word.toLatin1().constData());
        if (!phones)
            return {};
        const QString out = QString::fromLatin1(phones);
        ckd_free(phones);
        return out;
    }
    bool tryGrammar(const char *search, const std::vector<VoiceCommand> &commands, JsgfGrammar *built);

    ps_decoder_t *m_ps;
    cmd_ln_t *m_config;
    QStringList m_garbage;
    bool m_haveGrammar = false;
    bool m_inUtterance = false;
    bool m_speechStarted = false;
    std::vector<std::int16_t> m_audio;
    CommandMatcher m_matcher;
};

bool PocketsphinxRecognizer::tryGrammar(const char *search, const std::vector<VoiceCommand> &commands,
                                        JsgfGrammar *built)
{
    // Garbage paths of one-phone words out-score the commands in this
    // decoder and leave most utterances without a result; commands are
    // decoded by their own words, and other speech is told apart by the
    // phone-loop score alone.
    *built = buildJsgf(commands, UseGarbagePaths ? m_garbage : QStringList(), [this](const QString &w) { return !lookup(w).isEmpty(); });
    // Words the dictionary lacks get a pronunciation first: one unknown
    // word makes the whole grammar fail.
    for (const QString &word : built->words) {
        if (!lookup(word).isEmpty())
            continue;
        const QString phones = guessPronunciation(word, [this](const QString &w) { return lookup(w); });
        if (phones.isEmpty() || ps_add_word(m_ps, word.toLatin1().constData(), phones.toLatin1().constData(), FALSE) < 0)
            qCWarning(lcSpeech).noquote() << QStringLiteral("No pronunciation for \"%1\"").arg(word);
        else
            qCDebug(lcSpeech).noquote() << QStringLiteral("Pronounced \"%1\" as %2").arg(word, phones);
    }
    return ps_set_jsgf_string(m_ps, search, built->text.toLatin1().constData()) == 0;
}

bool PocketsphinxRecognizer::setCommands(const std::vector<VoiceCommand> &commands, QStringList *problems)
{
    if (m_inUtterance)
        endUtterance();
    JsgfGrammar built;
    std::vector<VoiceCommand> usable = commands;
    bool ok = tryGrammar(CommandSearch, usable, &built);
    QStringList found = built.problems;
    if (!ok) {
        // Find the commands the decoder refuses, one by one, and leave them out.
        std::vector<VoiceCommand> kept;
        for (const VoiceCommand &c : commands) {
            JsgfGrammar single;
            if (tryGrammar(ProbeSearch, {c}, &single))
                kept.push_back(c);
            else
                found << QStringLiteral("%1: the decoder refuses \"%2\"").arg(c.name, c.grammar);
        }
        ps_unset_search(m_ps, ProbeSearch);
        usable = kept;
        ok = tryGrammar(CommandSearch, usable, &built);
    }
    if (problems)
        *problems = found;
    if (!ok)
        return false;
    ps_set_search(m_ps, CommandSearch);
    m_haveGrammar = true;
    m_matcher.clear();
    for (const VoiceCommand &c : usable)
        m_matcher.add(c.name, c.grammar);
    qCDebug(lcSpeech) << "Grammar of" << built.commands << "commands," << built.words.size() << "words";
    return true;
}

void PocketsphinxRecognizer::startUtterance()
{
    m_audio.clear();
    m_speechStarted = false;
    m_inUtterance = m_haveGrammar && ps_start_utt(m_ps) == 0;
}

void PocketsphinxRecognizer::process(const std::int16_t *samples, std::size_t count)
{
    if (!m_inUtterance)
        return;
    m_audio.insert(m_audio.end(), samples, samples + count);
    ps_process_raw(m_ps, samples, count, FALSE, FALSE);
    if (ps_get_in_speech(m_ps))
        m_speechStarted = true;
}

Recognition PocketsphinxRecognizer::endUtterance()
{
    Recognition out;
    out.audioMs = int(m_audio.size() / 16);
    if (!m_inUtterance)
        return out;
    QElapsedTimer clock;
    clock.start();
    m_inUtterance = false;
    ps_end_utt(m_ps);
    out.speech = m_speechStarted;
    int32 score = 0;
    const char *hyp = ps_get_hyp(m_ps, &score);
    const int frames = ps_get_n_frames(m_ps);
    QStringList words;
    if (hyp) {
        for (const QString &w : QString::fromLatin1(hyp).split(u' ', Qt::SkipEmptyParts))
            if (!m_garbage.contains(w))
                words << w;
    }
    out.words = words.join(u' ');
    if (!out.words.isEmpty() && frames > 0) {
        // The same audio through a free loop of phones: how much better the
        // grammar explains it tells a command from other speech.
        int32 loopScore = 0;
        if (ps_set_search(m_ps, PhoneSearch) == 0 && ps_start_utt(m_ps) == 0) {
            ps_process_raw(m_ps, m_audio.data(), m_audio.size(), FALSE, TRUE);
            ps_end_utt(m_ps);
            ps_get_hyp(m_ps, &loopScore);
        }
        ps_set_search(m_ps, CommandSearch);
        out.gap = double(score - loopScore) * 1024.0 * std::log(1.0001) / frames;
        const CommandMatcher::Match match = m_matcher.match(out.words);
        out.command = match.name;
        out.confidence = match.name.isEmpty() ? -100 : confidenceForGap(out.gap);
    }
    out.finishMs = int(clock.elapsed());
    return out;
}

} // namespace

Recognition recognizeSamples(SpeechRecognizer &recognizer, const std::vector<std::int16_t> &samples)
{
    recognizer.startUtterance();
    constexpr std::size_t Chunk = 1600; // 100 ms
    for (std::size_t at = 0; at < samples.size(); at += Chunk)
        recognizer.process(samples.data() + at, std::min(Chunk, samples.size() - at));
    return recognizer.endUtterance();
}

std::unique_ptr<SpeechRecognizer> createPocketsphinxRecognizer(QString *error)
{
    const QString hmm = QString::fromLatin1(ModelDir) + QStringLiteral("/en-us");
    const QString dict = QString::fromLatin1(ModelDir) + QStringLiteral("/cmudict-en-us.dict");
    const QString phoneLm = QString::fromLatin1(ModelDir) + QStringLiteral("/en-us-phone.lm.bin");
    for (const QString &path : {hmm, dict, phoneLm}) {
        if (!QFileInfo::exists(path)) {
            if (error)
                *error = QStringLiteral("The speech model is not installed (%1 is missing; Debian: pocketsphinx-en-us)").arg(path);
            return nullptr;
        }
    }
    err_set_logfp(nullptr);
    const QByteArray hmmA = hmm.toLocal8Bit(), dictA = dict.toLocal8Bit();
    // The end of speech is taken after 0.25 s of silence, half the default.
    const char *argv[] = {"-hmm", hmmA.constData(), "-dict", dictA.constData(), "-allphone_ci", "yes",
                          "-vad_postspeech", "25", "-samprate", "16000"};
    cmd_ln_t *config = cmd_ln_parse_r(nullptr, ps_args(), int(std::size(argv)), const_cast<char **>(argv), FALSE);
    if (!config) {
        if (error)
            *error = QStringLiteral("The speech decoder refused its settings");
        return nullptr;
    }
    ps_decoder_t *ps = ps_init(config);
    if (!ps) {
        cmd_ln_free_r(config);
        if (error)
            *error = QStringLiteral("The speech decoder did not start");
        return nullptr;
    }
    if (ps_set_allphone_file(ps, PhoneSearch, phoneLm.toLocal8Bit().constData()) != 0) {
        ps_free(ps);
        cmd_ln_free_r(config);
        if (error)
            *error = QStringLiteral("The phone loop did not load");
        return nullptr;
    }
    return std::make_unique<PocketsphinxRecognizer>(ps, config);
}

} // namespace kestrova::character
