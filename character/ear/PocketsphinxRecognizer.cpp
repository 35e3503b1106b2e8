// The recogniser of spoken commands over pocketsphinx. Its passes over an
// utterance (the grammar's, the sound-alikes' and the rivals') share one
// decoder, the cepstral mean carried from one pass to the next and the
// beams, which nothing else in the program may see. The phone loop's own
// decoder (PhoneLoop), what every decoder does (PocketsphinxDecoder), the
// grammar, the pronunciations and the scoring are in files of their own.
#include "CommonWords.h"
#include "JsgfGrammar.h"
#include "PhoneLoop.h"
#include "PocketsphinxDecoder.h"
#include "Pronunciation.h"
#include "PronouncingDictionary.h"
#include "SpeechRecognizer.h"
#include "UtteranceScores.h"
#include "VoiceProfile.h"
#include "VoiceGrammar.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSet>
#include <QTemporaryFile>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <future>
#include <map>
#include <optional>
#include <system_error>
#include <string_view>
#include <unordered_set>
#include <utility>

extern "C" {
#include <pocketsphinx.h>
#include <sphinxbase/ckd_alloc.h>
#include <sphinxbase/cmd_ln.h>
#include <sphinxbase/err.h>
#include <sphinxbase/feat.h>
}

namespace kestrova::character {

namespace {

// The listener's category; this file is also built into the recogniser's
// module, which has a copy of its own.
Q_LOGGING_CATEGORY(lcSpeech, "kestrova.speech")

const char ModelDir[] = "/usr/share/pocketsphinx/model/en-us";
const char CommandSearch[] = "commands";
const char ProbeSearch[] = "probe";
const char SoundAlikeSearch[] = "soundalikes";

// A word of a command that starts a program or quits is offered, in a
// second decode, beside the common words that sound like it: one phone
// away ("calculate" for "calculator", "quick" for "quit"), or another
// ending on a long word's stem ("calculation"); when one of them is
// heard instead, the command is not taken. Each sound-alike is taken at
// this JSGF weight against the command's own word at 1: its reading must
// fit the sound clearly better (with 1, right commands lost to a
// sound-alike almost as often as the near misses did).
const char SoundAlikeWeight[] = "0.001";
// A command heard as one word rests on that word alone: nothing else said
// backs it, so a sound-alike that reads the sound as well as the word does
// leaves it a guess. ("calculation" said in a large room, its ending
// smeared by the echo, read the sound some 8 nats better than
// "calculator": far short of the 45 the weight above asks for at the
// decoder's language weight, so "calculator" was heard and acted on.)
// Its sound-alikes are offered on an equal footing.
const char LoneSoundAlikeWeight[] = "1";
// The decoder's names for the sound-alikes: "alike" and the word.
const char SoundAlikePrefix[] = "alike";
// A word in this many commands' grammars or more ("open", "run",
// "program") says nothing of which command was meant: it gets none.
constexpr int CarrierCommands = 3;

// The model's phones; each is also a one-phone garbage word.
const char *const Phones[] = {"AA", "AE", "AH", "AO", "AW", "AY", "B",  "CH", "D",  "DH", "EH", "ER", "EY",
                              "F",  "G",  "HH", "IH", "IY", "JH", "K",  "L",  "M",  "N",  "NG", "OW", "OY",
                              "P",  "R",  "S",  "SH", "T",  "TH", "UH", "UW", "V",  "W",  "Y",  "Z",  "ZH"};

QString garbageWord(const char *phone)
{
    return QStringLiteral("garbage") + QString::fromLatin1(phone).toLower();
}

// Garbage paths of one-phone words out-score the commands in this decoder
// and leave most utterances without a result: off.
constexpr bool UseGarbagePaths = false;

// The words "..." in a command stands for: what is said around a command
// in a short request ("show me the general menu please"). The grammar has
// them under names of their own, so that the decoded words tell filler
// from the command's words.
const char *const FillerVocabulary[] = {"the", "a",    "my", "me", "please", "show",
                                        "open", "go", "to", "start", "can", "you"};
const char FillerPrefix[] = "filler";

// The command grammar is searched with wider beams than the decoder's
// defaults: with the filler words in it, the default beams prune the
// right path often enough to leave a fifth of the commands without any
// result. The rival and phone-loop passes keep the defaults (they only
// score, and run after the end of speech).
constexpr double CommandBeam = 1e-80, CommandWordBeam = 1e-60, CommandPhoneBeam = 1e-80;

// Beam widths a search is made with: the decoder reads them from the
// settings when a search is created, so each search can have its own.
struct Beams {
    double beam, wordBeam, phoneBeam;
};

Beams currentBeams(cmd_ln_t *config)
{
    return {cmd_ln_float_r(config, "-beam"), cmd_ln_float_r(config, "-wbeam"), cmd_ln_float_r(config, "-pbeam")};
}

void setBeams(cmd_ln_t *config, const Beams &b)
{
    cmd_ln_set_float_r(config, "-beam", b.beam);
    cmd_ln_set_float_r(config, "-wbeam", b.wordBeam);
    cmd_ln_set_float_r(config, "-pbeam", b.phoneBeam);
}

// Every sentence a grammar accepts, one blank between its words ("check e
// mail"); "..." stands for nothing here. Stops growing past `most`
// sentences. Runs of blanks are left for the caller to fold.
QStringList sentencesOf(const GrammarNode &node, int most = 512)
{
    switch (node.kind) {
    case GrammarNode::Word:
        return {node.text};
    case GrammarNode::AnyWords:
        return {QString()};
    case GrammarNode::Optional: {
        QStringList out{QString()};
        for (const auto &child : node.children)
            out += sentencesOf(*child, most);
        return out;
    }
    case GrammarNode::Choice: {
        QStringList out;
        for (const auto &child : node.children)
            out += sentencesOf(*child, most);
        return out.mid(0, most);
    }
    case GrammarNode::Sequence: {
        QStringList out{QString()};
        for (const auto &child : node.children) {
            const QStringList tails = sentencesOf(*child, most);
            QStringList next;
            for (const QString &head : std::as_const(out))
                for (const QString &tail : tails)
                    if (next.size() < most)
                        next << head + u' ' + tail;
            out = next;
        }
        return out;
    }
    }
    return {};
}

// Whether a word begins with two consonant letters no English word begins
// with ("gmail", "mp3", "bbc"): the dictionary reads such a start letter by
// letter, where a reader may well say it as written.
bool readAsLetters(const QString &word)
{
    static const QStringList onsets = {"bl", "br", "ch", "cl", "cr", "dr", "dw", "fl", "fr", "gh", "gl", "gn", "gr",
                                       "kn", "kr", "ph", "pl", "pr", "ps", "qu", "rh", "sc", "sh", "sk", "sl", "sm",
                                       "sn", "sp", "sq", "st", "sv", "sw", "th", "tr", "tw", "wh", "wr", "xy"};
    static const QString vowels = QStringLiteral("aeiouy");
    if (word.size() < 3 || !word.at(0).isLetter() || !word.at(1).isLetter())
        return false;
    if (vowels.contains(word.at(0)) || vowels.contains(word.at(1)))
        return false;
    return !onsets.contains(word.left(2));
}

// Whether a sentence (words one blank apart) goes on after the words whose
// letters, run together, are `letters`, and goes on at the end of one of
// its words: "open word doc" after "openword", where "open wordpad" does
// not (the decoder hears whole words: "word" heard is not "wordpad" begun).
// Every place two of the grammar's words meet counts as a word's end, also
// where the decoder may hear the two as one ("e mail" and "email").
bool goesOnAfterWords(const QString &sentence, const QString &letters)
{
    qsizetype matched = 0, at = 0;
    for (; at < sentence.size() && matched < letters.size(); ++at) {
        if (sentence.at(at) == u' ')
            continue;
        if (sentence.at(at) != letters.at(matched))
            return false;
        ++matched;
    }
    if (matched < letters.size())
        return false;
    while (at < sentence.size() && sentence.at(at) == u' ')
        ++at;
    return at < sentence.size() && at > 0 && sentence.at(at - 1) == u' ';
}

class PocketsphinxRecognizer final : public SpeechRecognizer {
public:
    PocketsphinxRecognizer(ps_decoder_t *ps, cmd_ln_t *config, const QString &dictionary,
                           std::future<std::unique_ptr<PhoneLoop>> phoneLoop, bool loopWhileSpeaking,
                           SpeechModel model)
        : m_ps(ps), m_config(config), m_dictionaryPath(dictionary), m_phoneLoopMaking(std::move(phoneLoop)),
          m_loopWhileSpeaking(loopWhileSpeaking), m_model(model)
    {
        for (const char *phone : Phones) {
            const QString word = garbageWord(phone);
            if (!hasWord(word))
                ps_add_word(m_ps, word.toLatin1().constData(), phone, FALSE);
            m_garbage << word;
        }
    }
    ~PocketsphinxRecognizer() override
    {
        if (m_phoneLoopMaking.valid())
            m_phoneLoopMaking.wait();
        if (m_meanCatchingUp.valid())
            m_meanCatchingUp.wait();
        if (m_loopLive && m_phoneLoop)
            m_phoneLoop->cancelLive();
        ps_free(m_ps);
        cmd_ln_free_r(m_config);
    }

    bool setCommands(const std::vector<VoiceCommand> &commands, QStringList *problems) override;
    void startUtterance() override;
    void process(const std::int16_t *samples, std::size_t count) override;
    bool speechStarted() const override { return m_speechStarted; }
    bool inSpeech() const override { return m_inUtterance && ps_get_in_speech(m_ps); }
    bool commandComplete() const override;
    bool wordsHeard() const override;
    Recognition endUtterance() override;
    void discardUtterance() override;
    void setMeasureReadings(bool on) override { m_measureReadings = on; }

private:
    bool isStrict(const QString &command) const
    {
        for (const VoiceCommand &c : m_usable)
            if (c.name == command)
                return c.strict;
        return false;
    }
    bool hasWord(const QString &word) const
    {
        char *phones = ps_lookup_word(m_ps, word.toLatin1().constData());
        ckd_free(phones);
        return phones != nullptr;
    }
    // A word's phones: from the whole dictionary while a grammar is built,
    // else from the decoder's own words.
    QString lookup(const QString &word) const
    {
        if (m_dictionary.isLoaded()) {
            const QString phones = m_dictionary.phones(word);
            if (!phones.isEmpty())
                return phones;
        }
        char *phones = ps_lookup_word(m_ps, word.toLatin1().constData());
        if (!phones)
            return {};
        const QString out = QString::fromLatin1(phones);
        ckd_free(phones);
        return out;
    }
    // A hypothesis's words without garbage and filler, one blank apart.
    QString commandWords(const char *hyp) const
    {
        QStringList words;
        for (const QString &w : QString::fromLatin1(hyp).split(u' ', Qt::SkipEmptyParts))
            if (!m_garbage.contains(w) && !m_fillers.contains(w))
                words << w;
        return words.join(u' ');
    }
    // The command grammar's best readings of the utterance just decoded,
    // each told apart by its words, the best first (from the decode's
    // lattice: before another search decodes the audio again).
    std::vector<DecodedUtterance::Reading> readings()
    {
        constexpr std::size_t MaxReadings = 10;
        constexpr int MaxPaths = 12;
        std::vector<DecodedUtterance::Reading> out;
        QSet<QString> seen;
        ps_nbest_t *nbest = ps_nbest(m_ps);
        for (int paths = 0; nbest && paths < MaxPaths && out.size() < MaxReadings; ++paths) {
            nbest = ps_nbest_next(nbest);
            if (!nbest)
                break;
            int32 score = 0;
            const char *hyp = ps_nbest_hyp(nbest, &score);
            if (!hyp)
                continue;
            QStringList words = commandWords(hyp).split(u' ', Qt::SkipEmptyParts);
            words.removeIf([](const QString &w) { return w.startsWith(u'<') || w.startsWith(u'+') || w.startsWith(u'['); });
            const QString said = words.join(u' ');
            if (said.isEmpty() || seen.contains(said))
                continue;
            seen.insert(said);
            out.push_back({m_matcher.match(said).name, score});
        }
        if (nbest)
            ps_nbest_free(nbest);
        return out;
    }
    // Gives the decoder a word with all its readings (or a guessed one);
    // false when there is none.
    bool addWord(const QString &word, const QString &as = {});
    void addFillers();
    bool tryGrammar(const char *search, const std::vector<VoiceCommand> &commands, JsgfGrammar *built);
    // The grammar search of the rivals of the commands named (every other
    // command); null when there is none.
    const char *rivalSearch(const QStringList &commands);
    // The phone loop's own decoder once it is made (it is made beside the
    // first listening); null when there is none.
    PhoneLoop *phoneLoop();
    // Gives the decoder the mean it would have after the passes of the last
    // utterance, once the phone loop's decoder has worked it out.
    void catchUpMean();
    // The utterance's whole audio decoded again by a search (the current
    // one when none is named); false when the decode did not start.
    bool decodeAgain(const char *search = nullptr);
    // Gives the decoder the common words that sound like the words of the
    // commands that start a program or quit (while the dictionary is here).
    void addSoundAlikes(const std::vector<VoiceCommand> &usable);
    // Finds the words of each command that another command's word ends
    // with ("email" and "mail" in "gmail"), and the words so many commands
    // share that they name none of them.
    void findWordsEndingOthers(const std::vector<VoiceCommand> &usable);
    // The word heard instead of one of the command's own when each of them
    // may be a common word that sounds like it; empty when the command's own
    // words are heard.
    QString soundAlikeHeard(const std::vector<DecodedSegment> &heard, const CepstralMean &mean);
    // Makes the grammar of the commands' rivals unless there is one.
    bool makeRival(const QStringList &commands);

    ps_decoder_t *m_ps;
    cmd_ln_t *m_config;
    QString m_dictionaryPath;
    PronouncingDictionary m_dictionary;
    bool m_normalised = false; // an utterance with speech has been decoded
    QStringList m_garbage;
    QStringList m_fillers;
    bool m_haveGrammar = false;
    bool m_inUtterance = false;
    bool m_measureReadings = false;
    bool m_speechStarted = false;
    std::vector<std::int16_t> m_audio;
    CommandMatcher m_matcher;
    std::vector<VoiceCommand> m_usable;
    // Per command, the sentences it accepts: their letters run together
    // ("checkemail", however the decoder splits the words), and their words
    // one blank apart.
    struct Sentences {
        QString command;
        QStringList letters;
        QStringList words;
    };
    std::vector<Sentences> m_sentences;
    // Per command (or commands, one unit separator apart), the search of
    // all the others, made the first time that command is heard.
    std::map<QString, QByteArray> m_rivalSearch;
    int m_rivalsMade = 0;
    // Per word of a command that starts a program or quits, the decoder's
    // names of the common words that sound like it.
    std::map<QString, QStringList> m_soundAlikes;
    // Per word of a command, the other commands with a word that ends in
    // its phones.
    std::map<QString, QStringList> m_endOf;
    // The words in CarrierCommands commands' grammars or more ("open",
    // "run", "new", "application"): they say nothing of which was meant.
    QSet<QString> m_carriers;
    // The sound-alikes' readings the decoder has been given ("name PH ON").
    QSet<QString> m_soundAlikeReadings;
    // The cepstral mean as the utterance began.
    CepstralMean m_meanAtStart;
    std::future<std::unique_ptr<PhoneLoop>> m_phoneLoopMaking;
    std::unique_ptr<PhoneLoop> m_phoneLoop;
    // The phone loop hears each utterance as it comes (from the second on).
    bool m_loopWhileSpeaking = false;
    // The phone loop hears this utterance as it comes.
    bool m_loopLive = false;
    // The mean this decoder is to go on from, worked out after the last
    // utterance's result on the phone loop's decoder.
    std::future<CepstralMean> m_meanCatchingUp;
    // Stock, or adapted to the user's voice: the confidence's scale.
    SpeechModel m_model;
};

bool PocketsphinxRecognizer::addWord(const QString &word, const QString &as)
{
    const QString name = as.isEmpty() ? word : as;
    if (hasWord(name))
        return true;
    QStringList readings = m_dictionary.isLoaded() ? m_dictionary.readings(word) : QStringList();
    if (!readings.isEmpty() && readAsLetters(word)) {
        // "gmail": said "gee mail" by most, "g-mail" as written by others.
        const QString written = letterToSound(word);
        if (!written.isEmpty() && !readings.contains(written))
            readings << written;
    }
    bool guessed = false;
    if (readings.isEmpty()) {
        const QString phones = guessPronunciation(word, [this](const QString &w) { return lookup(w); });
        if (phones.isEmpty())
            return false;
        readings << phones;
        guessed = true;
    }
    bool ok = false;
    for (qsizetype i = 0; i < readings.size(); ++i) {
        const QString entry = i == 0 ? name : QStringLiteral("%1(%2)").arg(name).arg(i + 1);
        if (ps_add_word(m_ps, entry.toLatin1().constData(), readings[i].toLatin1().constData(), FALSE) >= 0)
            ok = true;
    }
    if (ok && guessed)
        qCDebug(lcSpeech).noquote() << QStringLiteral("Pronounced \"%1\" as %2").arg(word, readings.first());
    return ok;
}

void PocketsphinxRecognizer::addFillers()
{
    if (!m_fillers.isEmpty())
        return;
    for (const char *word : FillerVocabulary) {
        const QString name = QString::fromLatin1(FillerPrefix) + QString::fromLatin1(word);
        if (addWord(QString::fromLatin1(word), name))
            m_fillers << name;
    }
}

bool PocketsphinxRecognizer::wordsHeard() const
{
    if (!m_inUtterance)
        return false;
    const char *hyp = ps_get_hyp(m_ps, nullptr);
    if (!hyp)
        return false;
    for (const QString &w : QString::fromLatin1(hyp).split(u' ', Qt::SkipEmptyParts))
        if (!m_garbage.contains(w))
            return true;
    return false;
}

bool PocketsphinxRecognizer::commandComplete() const
{
    if (!m_inUtterance || m_sentences.empty())
        return false;
    const char *hyp = ps_get_hyp(m_ps, nullptr);
    if (!hyp)
        return false;
    QString heard;
    for (const QString &w : QString::fromLatin1(hyp).split(u' ', Qt::SkipEmptyParts))
        if (!m_garbage.contains(w) && !m_fillers.contains(w))
            heard += w.section(u'(', 0, 0);
    if (heard.isEmpty())
        return false;
    // A whole sentence of some command, and the start of no longer one of
    // another ("word" waits: "word doc" is New Document).
    QString whose;
    for (const Sentences &c : m_sentences)
        if (c.letters.contains(heard)) {
            whose = c.command;
            break;
        }
    if (whose.isEmpty())
        return false;
    for (const Sentences &c : m_sentences) {
        if (c.command == whose)
            continue;
        for (qsizetype i = 0; i < c.letters.size(); ++i)
            if (c.letters[i].size() > heard.size() && c.letters[i].startsWith(heard)
                && goesOnAfterWords(c.words[i], heard))
                return false;
    }
    return true;
}

bool PocketsphinxRecognizer::tryGrammar(const char *search, const std::vector<VoiceCommand> &commands,
                                        JsgfGrammar *built)
{
    // Garbage paths of one-phone words out-score the commands in this
    // decoder and leave most utterances without a result; commands are
    // decoded by their own words and "..." by a few filler words, and other
    // speech is told apart afterwards (see UtteranceScores).
    FillerWords filler;
    filler.words = m_fillers;
    *built = buildJsgf(commands, UseGarbagePaths ? m_garbage : QStringList(),
                       [this](const QString &w) { return !lookup(w).isEmpty(); }, filler);
    // Words the dictionary lacks get a pronunciation first: one unknown
    // word makes the whole grammar fail.
    for (const QString &word : built->words)
        if (!addWord(word))
            qCWarning(lcSpeech).noquote() << QStringLiteral("No pronunciation for \"%1\"").arg(word);
    return ps_set_jsgf_string(m_ps, search, built->text.toLatin1().constData()) == 0;
}

bool PocketsphinxRecognizer::setCommands(const std::vector<VoiceCommand> &commands, QStringList *problems)
{
    if (m_inUtterance)
        endUtterance();
    // The whole dictionary only while the grammar is built: the decoder
    // keeps the words it needs.
    QString dictionaryError;
    if (!m_dictionary.load(m_dictionaryPath, &dictionaryError))
        qCWarning(lcSpeech).noquote() << "The pronouncing dictionary cannot be read:" << dictionaryError;
    addFillers();
    JsgfGrammar built;
    std::vector<VoiceCommand> usable = commands;
    const Beams normal = currentBeams(m_config);
    setBeams(m_config, {CommandBeam, CommandWordBeam, CommandPhoneBeam});
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
    setBeams(m_config, normal);
    if (problems)
        *problems = found;
    if (!ok) {
        m_dictionary.release();
        return false;
    }
    // The grammars of the rivals of each command are made when it is first
    // heard (most commands never are in a run).
    for (const auto &[name, search] : m_rivalSearch)
        ps_unset_search(m_ps, search.constData());
    m_rivalSearch.clear();
    m_usable = usable;
    // Their words are given to the decoder now, while the dictionary is here.
    ps_set_search(m_ps, CommandSearch);
    m_haveGrammar = true;
    m_matcher.clear();
    m_sentences.clear();
    for (const VoiceCommand &c : usable) {
        m_matcher.add(c.name, c.grammar);
        const ParsedGrammar parsed = parseVoiceGrammar(c.grammar);
        if (!parsed.ok())
            continue;
        Sentences sentences{c.name, {}, {}};
        for (const QString &sentence : sentencesOf(*parsed.root)) {
            sentences.words << sentence.simplified();
            sentences.letters << QString(sentence).remove(u' ');
        }
        m_sentences.push_back(std::move(sentences));
    }
    addSoundAlikes(usable);
    findWordsEndingOthers(usable);
    m_dictionary.release();
    qCDebug(lcSpeech) << "Grammar of" << built.commands << "commands," << built.words.size() << "words";
    return true;
}

void PocketsphinxRecognizer::startUtterance()
{
    catchUpMean();
    m_audio.clear();
    m_speechStarted = false;
    m_meanAtStart = cepstralMean(m_ps);
    m_inUtterance = m_haveGrammar && ps_start_utt(m_ps) == 0;
    // Once the decoder has learnt the microphone, the phone loop hears
    // the utterance while the user speaks, from the same mean.
    m_loopLive = false;
    if (m_inUtterance && m_normalised && m_loopWhileSpeaking)
        if (PhoneLoop *loop = phoneLoop())
            m_loopLive = loop->startLive(m_meanAtStart);
}

void PocketsphinxRecognizer::process(const std::int16_t *samples, std::size_t count)
{
    if (!m_inUtterance)
        return;
    m_audio.insert(m_audio.end(), samples, samples + count);
    // In pieces of 50 ms, so that speech in a long piece is not missed
    // when it has ended by the piece's end. The phone loop is given the
    // same pieces: how audio is cut into pieces moves the running mean on
    // at other frames.
    constexpr std::size_t Piece = 800;
    for (std::size_t at = 0; at < count; at += Piece) {
        if (m_loopLive)
            m_phoneLoop->feedLive(samples + at, std::min(Piece, count - at));
        ps_process_raw(m_ps, samples + at, std::min(Piece, count - at), FALSE, FALSE);
        if (ps_get_in_speech(m_ps))
            m_speechStarted = true;
    }
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
    const bool loopLive = std::exchange(m_loopLive, false);
    ps_end_utt(m_ps);
    out.speech = m_speechStarted;
    // The mean the hypothesis is decoded with.
    CepstralMean decodedWith = m_meanAtStart;
    if (m_speechStarted && !m_normalised) {
        // The decoder's first speech was heard with the model's idea of the
        // input's level and colour, not this microphone's ("check mail"
        // came out as "open a c o"): decoded again, now that it has
        // adapted to the input.
        m_normalised = true;
        decodedWith = cepstralMean(m_ps);
        decodeAgain();
    }
    int32 score = 0;
    const char *hyp = ps_get_hyp(m_ps, &score);
    const int frames = ps_get_n_frames(m_ps);
    out.words = hyp ? commandWords(hyp) : QString();
    if (!out.words.isEmpty() && frames > 0) {
        const CommandMatcher::Match match = m_matcher.match(out.words);
        out.command = match.name;
        DecodedUtterance decoded;
        decoded.score = score;
        decoded.frames = frames;
        decoded.heard = segments(m_ps);
        for (DecodedSegment &s : decoded.heard) {
            if (s.word.startsWith(u'<') || s.word.startsWith(u'+') || s.word.startsWith(u'[') || s.word.startsWith(u'(')
                || m_garbage.contains(s.word))
                continue;
            // "the(2)" is a reading of "the".
            QString phones = lookup(s.word);
            if (phones.isEmpty())
                phones = lookup(s.word.section(u'(', 0, 0));
            s.phones = phones.split(u' ', Qt::SkipEmptyParts);
            s.filler = m_fillers.contains(s.word);
            s.carrier = m_carriers.contains(s.word.section(u'(', 0, 0));
        }
        decoded.command = match.name;
        if (m_measureReadings)
            decoded.readings = readings();
        const qint64 decodedAt = clock.elapsed();
        // The best reading of another command: how close a rival came; and
        // the same audio through a free loop of phones: how much better the
        // grammar explains it tells a command from other speech. The loop
        // hears the audio after the rivals' pass, on a decoder of its own
        // while there is one; it starts first, so that it runs beside the
        // sound-alikes' pass as well as the rivals'. (That pass leaves the
        // mean as it found it: the loop starts from the same one.)
        const char *rivals = match.name.isEmpty() ? nullptr : rivalSearch({match.name});
        PhoneLoop *loop = phoneLoop();
        std::future<PhoneLoop::Result> looped;
        // The mean the loop would start from on this decoder; it moves on
        // from there as if the loop had run here.
        const CepstralMean beforePasses = cepstralMean(m_ps);
        const int passes = rivals ? 1 : 0;
        if (loop) {
            try {
                looped = loopLive ? std::async(std::launch::async, &PhoneLoop::finishLive, loop)
                                  : std::async(std::launch::async, &PhoneLoop::decode, loop, std::cref(m_audio),
                                               beforePasses, passes);
            } catch (const std::system_error &) {
                // No thread to be had: the loop runs here after the rivals.
                if (loopLive)
                    loop->cancelLive();
            }
        }
        // For a command that starts a program or quits: whether a word
        // that sounds like one of its own was said instead.
        QString alike;
        const bool strict = isStrict(match.name);
        if (strict)
            alike = soundAlikeHeard(decoded.heard, decodedWith);
        const qint64 alikeAt = clock.elapsed();
        // The command the rivals' pass read, the runner-up to ask about.
        QString runnerUp;
        if (rivals && decodeAgain(rivals)) {
            int32 s = 0;
            if (const char *rivalHyp = ps_get_hyp(m_ps, &s)) {
                decoded.rivalScore = s;
                runnerUp = m_matcher.match(commandWords(rivalHyp)).name;
            }
        }
        const qint64 rivalAt = clock.elapsed();
        if (looped.valid()) {
            PhoneLoop::Result r = looped.get();
            if (r.decoded) {
                decoded.loopScore = r.score;
                decoded.loop = std::move(r.phones);
                // The command decoder counts frames from where the speech
                // began in the microphone's stream, and its decode covers
                // the utterance from that frame on; the loop's decoder
                // counts from the utterance's start when given it whole,
                // and in a stream of its own when it hears it live. Both
                // cover the same frames.
                const auto firstFrame = [](const std::vector<DecodedSegment> &segs) {
                    int first = -1;
                    for (const DecodedSegment &s : segs)
                        if (s.start >= 0 && (first < 0 || s.start < first))
                            first = s.start;
                    return std::max(0, first);
                };
                const int shift = firstFrame(decoded.heard) - (loopLive ? firstFrame(decoded.loop) : 0);
                for (DecodedSegment &p : decoded.loop) {
                    p.start += shift;
                    p.end += shift;
                }
            }
            if (!loopLive) {
                // The mean moves on as if the loop had run here.
                setCepstralMean(m_ps, r.after);
            } else {
                // The same, worked out on the loop's decoder while the
                // result goes to the listener.
                try {
                    m_meanCatchingUp = std::async(std::launch::async, &PhoneLoop::advance, loop, m_audio,
                                                  beforePasses, passes + 1);
                } catch (const std::system_error &) {
                    setCepstralMean(m_ps, loop->advance(m_audio, beforePasses, passes + 1));
                }
            }
        } else if (decodeAgain(PhoneSearch)) {
            ps_get_hyp(m_ps, &decoded.loopScore);
            decoded.loop = segments(m_ps);
        }
        ps_set_search(m_ps, CommandSearch);
        qCDebug(lcSpeech).noquote() << QStringLiteral("Decoded in %1 ms, sound-alikes %2 ms, rivals %3 ms, phone loop %4 ms after the rivals")
                                           .arg(decodedAt)
                                           .arg(alikeAt - decodedAt)
                                           .arg(rivalAt - alikeAt)
                                           .arg(clock.elapsed() - rivalAt);
        out.scores = measureUtterance(decoded);
        if (strict)
            out.scores[QStringLiteral("alike")] = alike.isEmpty() ? 0.0 : 1.0;
        out.gap = out.scores.value(QStringLiteral("gap"));
        out.confidence = match.name.isEmpty() ? -100 : confidenceFromMeasures(out.scores, m_model);
        // The hearing before the rules below hold it back.
        const int measured = out.confidence;
        // A command that starts a program or quits is not taken on a
        // middling hearing: a sentence in the room that sounds a little like
        // "run notepad" must not start it.
        if (out.confidence > NotUnderstoodConfidence && out.confidence <= StrictConfidence && strict)
            out.confidence = NotUnderstoodConfidence;
        // Nor on a lone short word, which everyday speech says in passing.
        if (out.confidence > NotUnderstoodConfidence && strict && tooShortToStartAProgram(out.scores, m_model))
            out.confidence = NotUnderstoodConfidence;
        // Nor, short of a sure hearing, when the words that name it are as
        // short: "run" and "application" fit any sentence's start and end,
        // "new" any "new ...", so "run wordpad application" or "new email"
        // rests on "wordpad" or "email" alone. (A model adapted to its
        // speaker reads those words apart: on the tune voices' enrolled
        // decodes no other speech so named came above -87.)
        if (out.confidence > NotUnderstoodConfidence && out.confidence <= ShortNameConfidence && strict
            && m_model == SpeechModel::Stock && namedTooBriefly(out.scores))
            out.confidence = NotUnderstoodConfidence;
        // Nor when a common word that sounds like it was heard instead
        // ("calculate" is no request to start the calculator).
        if (out.confidence > NotUnderstoodConfidence && !alike.isEmpty()
            && !soundAlikeOutweighed(out.scores, out.confidence, m_model)) {
            qCInfo(lcSpeech).noquote() << QStringLiteral("Heard \"%1\" rather than %2: not taken").arg(alike, match.name);
            out.confidence = NotUnderstoodConfidence;
        }
        // Nor on a word alone that another command's word ends with ("email"
        // heard where "gmail" may have been said): where a word begins, the
        // decoder's bounds are loose, so which was meant is asked.
        if (out.confidence > NotUnderstoodConfidence && out.scores.value(QStringLiteral("words")) == 1) {
            for (const DecodedSegment &s : decoded.heard) {
                const auto ending = s.phones.isEmpty() || s.filler ? m_endOf.end()
                                                                    : m_endOf.find(s.word.section(u'(', 0, 0));
                if (ending != m_endOf.end()) {
                    qCInfo(lcSpeech).noquote()
                        << QStringLiteral("\"%1\" may be the end of %2: asked").arg(s.word, ending->second.first());
                    out.confidence = NotUnderstoodConfidence;
                    runnerUp = ending->second.first();
                }
            }
        }
        // Not sure enough to act on, yet plausible and like a command said
        // unclearly rather than other speech: the user is asked.
        // Heard surely enough to act on, and held back only by a rule: the
        // shorter way to the question.
        const bool held = measured > NotUnderstoodConfidence;
        if (held && out.confidence <= NotUnderstoodConfidence)
            out.scores[QStringLiteral("held")] = 1.0;
        if (!match.name.isEmpty() && out.confidence <= NotUnderstoodConfidence
            && (held ? heldWorthAsking(out.scores)
                     : unboundedConfidence(out.scores, m_model) > GuessConfidence && worthAsking(out.scores))) {
            out.guesses << match.name;
            if (!runnerUp.isEmpty() && runnerUp != match.name) {
                out.guesses << runnerUp;
                // The third guess: the best reading of the commands left.
                // Only when asking, so what is acted on waits for no more
                // than before.
                catchUpMean();
                const CepstralMean keep = cepstralMean(m_ps);
                const char *third = rivalSearch({match.name, runnerUp});
                if (third && decodeAgain(third)) {
                    if (const char *hyp = ps_get_hyp(m_ps, nullptr)) {
                        const QString name = m_matcher.match(commandWords(hyp)).name;
                        if (!name.isEmpty() && !out.guesses.contains(name))
                            out.guesses << name;
                    }
                }
                setCepstralMean(m_ps, keep);
                ps_set_search(m_ps, CommandSearch);
            }
        }
    } else if (loopLive) {
        // No words: the loop heard nothing that is measured.
        m_phoneLoop->cancelLive();
    }
    out.finishMs = int(clock.elapsed());
    return out;
}

void PocketsphinxRecognizer::discardUtterance()
{
    if (!m_inUtterance)
        return;
    m_inUtterance = false;
    ps_end_utt(m_ps);
    if (std::exchange(m_loopLive, false))
        m_phoneLoop->cancelLive();
    // Hiss or a click would otherwise become the decoder's idea of the
    // microphone, and the words after it would be heard against that.
    setCepstralMean(m_ps, m_meanAtStart);
    m_audio.clear();
}

bool PocketsphinxRecognizer::makeRival(const QStringList &commands)
{
    const QString key = commands.join(u'\x1f');
    if (m_rivalSearch.count(key))
        return true;
    if (m_inUtterance)
        return false;
    std::vector<VoiceCommand> others;
    for (const VoiceCommand &c : m_usable)
        if (!commands.contains(c.name))
            others.push_back(c);
    if (others.empty())
        return false;
    const QByteArray name = "rival" + QByteArray::number(++m_rivalsMade);
    JsgfGrammar rival;
    const bool made = tryGrammar(name.constData(), others, &rival);
    ps_set_search(m_ps, CommandSearch);
    if (made)
        m_rivalSearch.emplace(key, name);
    return made;
}

const char *PocketsphinxRecognizer::rivalSearch(const QStringList &commands)
{
    if (!makeRival(commands))
        return nullptr;
    const auto search = m_rivalSearch.find(commands.join(u'\x1f'));
    return search == m_rivalSearch.end() ? nullptr : search->second.constData();
}

void PocketsphinxRecognizer::catchUpMean()
{
    if (m_meanCatchingUp.valid())
        setCepstralMean(m_ps, m_meanCatchingUp.get());
}

PhoneLoop *PocketsphinxRecognizer::phoneLoop()
{
    if (m_phoneLoopMaking.valid()) {
        m_phoneLoop = m_phoneLoopMaking.get();
        if (!m_phoneLoop)
            qCWarning(lcSpeech) << "No decoder of its own for the phone loop: it runs after the rivals";
    }
    return m_phoneLoop.get();
}

bool PocketsphinxRecognizer::decodeAgain(const char *search)
{
    return decodeWhole(m_ps, search, m_audio);
}

void PocketsphinxRecognizer::addSoundAlikes(const std::vector<VoiceCommand> &usable)
{
    m_soundAlikes.clear();
    if (!m_dictionary.isLoaded())
        return;
    // The words of each command as the decoder has them, and how many
    // commands use each.
    std::map<QString, int> usedBy;
    QStringList strictWords;
    FillerWords filler;
    filler.words = m_fillers;
    const auto known = [this](const QString &w) { return !lookup(w).isEmpty(); };
    for (const VoiceCommand &c : usable) {
        const JsgfGrammar one = buildJsgf({c}, {}, known, filler);
        for (const QString &w : one.words) {
            if (m_fillers.contains(w))
                continue;
            ++usedBy[w];
            if (c.strict && !strictWords.contains(w))
                strictWords << w;
        }
    }
    QStringList readings;
    std::vector<QString> readingOf;
    for (const QString &w : std::as_const(strictWords)) {
        if (usedBy[w] >= CarrierCommands)
            continue;
        for (const QString &r : m_dictionary.readings(w)) {
            readings << r;
            readingOf.push_back(w);
        }
    }
    if (readings.isEmpty())
        return;
    std::unordered_set<std::string_view> common;
    for (const char *p = CommonWordsText; *p;) {
        const char *end = std::strchr(p, '\n');
        if (!end)
            break;
        common.emplace(p, std::size_t(end - p));
        p = end + 1;
    }
    const auto found = m_dictionary.wordsSoundingLike(readings, [&](std::string_view w) { return common.count(w) > 0; });
    for (std::size_t i = 0; i < found.size(); ++i) {
        const QString &word = readingOf[i];
        const QStringList own = m_dictionary.readings(word);
        QStringList &names = m_soundAlikes[word];
        for (const auto &[other, phones] : found[i]) {
            // Not the word itself, nor a word that may be read just as it
            // ("whether" for "weather": the sound cannot tell them apart),
            // nor the word with one more phone at its end (an ending or a
            // breath: "quits", "calculators"), nor one with a phone more or
            // less at its start: where a word begins, the decoder's bounds
            // are loose, and a stop is easily taken for the silence before
            // it or a breath for a consonant ("wit" for "quit", "brighter"
            // for "writer", "layer" for "player").
            const QString &reading = readings[qsizetype(i)];
            if (other == word || phones.startsWith(reading + u' ') || phones.endsWith(u' ' + reading)
                || reading.endsWith(u' ' + phones))
                continue;
            const QStringList theirs = m_dictionary.readings(other);
            if (std::any_of(theirs.begin(), theirs.end(), [&](const QString &r) { return own.contains(r); }))
                continue;
            const QString name = QLatin1String(SoundAlikePrefix) + other;
            // The decoder keeps its words: one made before (the commands
            // were set before) is there still.
            const QString key = name + u' ' + phones;
            if (!m_soundAlikeReadings.contains(key)) {
                QString entry = name;
                for (int k = 2; hasWord(entry); ++k)
                    entry = QStringLiteral("%1(%2)").arg(name).arg(k);
                if (ps_add_word(m_ps, entry.toLatin1().constData(), phones.toLatin1().constData(), FALSE) < 0)
                    continue;
                m_soundAlikeReadings.insert(key);
            }
            if (!names.contains(name))
                names << name;
        }
    }
    for (auto it = m_soundAlikes.begin(); it != m_soundAlikes.end();) {
        QStringList words;
        for (const QString &name : std::as_const(it->second))
            words << name.mid(qsizetype(std::strlen(SoundAlikePrefix)));
        qCDebug(lcSpeech).noquote() << "Sound-alikes of" << it->first << words.join(u' ');
        it = it->second.isEmpty() ? m_soundAlikes.erase(it) : std::next(it);
    }
}

void PocketsphinxRecognizer::findWordsEndingOthers(const std::vector<VoiceCommand> &usable)
{
    m_endOf.clear();
    m_carriers.clear();
    FillerWords filler;
    filler.words = m_fillers;
    const auto known = [this](const QString &w) { return !lookup(w).isEmpty(); };
    // Each command's own words with their phones.
    std::vector<std::pair<QString, std::vector<std::pair<QString, QString>>>> words;
    for (const VoiceCommand &c : usable) {
        auto &own = words.emplace_back(c.name, std::vector<std::pair<QString, QString>>{}).second;
        for (const QString &w : buildJsgf({c}, {}, known, filler).words)
            if (!m_fillers.contains(w))
                own.emplace_back(w, lookup(w));
    }
    std::map<QString, int> usedBy;
    for (const auto &[name, own] : words) {
        QSet<QString> once;
        for (const auto &[word, phones] : own)
            if (!once.contains(word)) {
                once.insert(word);
                if (++usedBy[word] == CarrierCommands)
                    m_carriers.insert(word);
            }
    }
    for (const auto &[name, own] : words) {
        for (const auto &[word, phones] : own) {
            if (phones.isEmpty())
                continue;
            for (const auto &[other, theirs] : words) {
                if (other == name)
                    continue;
                for (const auto &[otherWord, otherPhones] : theirs) {
                    QStringList &ends = m_endOf[word];
                    if (otherPhones.endsWith(u' ' + phones) && !ends.contains(other))
                        ends << other;
                }
            }
            if (m_endOf[word].isEmpty())
                m_endOf.erase(word);
        }
    }
}

QString PocketsphinxRecognizer::soundAlikeHeard(const std::vector<DecodedSegment> &heard, const CepstralMean &mean)
{
    QStringList sentence;
    bool offered = false;
    // The command's own words heard, as the "words" measure counts them.
    const auto words = std::count_if(heard.begin(), heard.end(),
                                     [](const DecodedSegment &s) { return !s.phones.isEmpty() && !s.filler; });
    const bool lone = words == 1;
    for (const DecodedSegment &s : heard) {
        if (s.phones.isEmpty())
            continue;
        const QString word = s.word.section(u'(', 0, 0);
        const auto alikes = m_soundAlikes.find(word);
        if (s.filler || alikes == m_soundAlikes.end()) {
            sentence << word;
            continue;
        }
        offered = true;
        const QString weighted =
            QStringLiteral(" | /%1/ ").arg(QLatin1String(lone ? LoneSoundAlikeWeight : SoundAlikeWeight));
        sentence << QStringLiteral("(/1/ %1%2%3)").arg(word, weighted, alikes->second.join(weighted));
    }
    if (!offered)
        return {};
    // The whole audio again, from the mean the hypothesis was heard with;
    // the mean is left as the command's decode moved it.
    const QByteArray jsgf = "#JSGF V1.0;\ngrammar alikes;\npublic <s> = " + sentence.join(u' ').toLatin1() + ";\n";
    QString out;
    const CepstralMean after = cepstralMean(m_ps);
    if (ps_set_jsgf_string(m_ps, SoundAlikeSearch, jsgf.constData()) == 0) {
        setCepstralMean(m_ps, mean);
        if (decodeAgain(SoundAlikeSearch)) {
            if (const char *hyp = ps_get_hyp(m_ps, nullptr)) {
                for (const QString &w : QString::fromLatin1(hyp).split(u' ', Qt::SkipEmptyParts))
                    if (w.startsWith(QLatin1String(SoundAlikePrefix)) && out.isEmpty())
                        out = w.section(u'(', 0, 0).mid(qsizetype(std::strlen(SoundAlikePrefix)));
            }
        }
        setCepstralMean(m_ps, after);
    }
    ps_set_search(m_ps, CommandSearch);
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

std::unique_ptr<SpeechRecognizer> createPocketsphinxRecognizer(QString *error, PhoneLoopDecoder loop,
                                                               const QString &profileFolder)
{
    QString hmm = QString::fromLatin1(ModelDir) + QStringLiteral("/en-us");
    // The user's voice profile: its adapted model and its transform, for
    // both decoders (the phone loop measures the commands against the same
    // model as they are heard with).
    QString mllr;
    if (!profileFolder.isEmpty()) {
        const VoiceProfile profile(profileFolder);
        if (!profile.modelFolder().isEmpty())
            hmm = profile.modelFolder();
        mllr = profile.transformFile();
        if (profile.exists())
            qCInfo(lcSpeech).noquote() << QStringLiteral("Listening with the voice profile in %1 (%2)")
                                              .arg(profileFolder, profile.describe());
        else
            qCInfo(lcSpeech).noquote() << "Listening with the stock speech model";
    }
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
    // The decoder starts with one word; the commands' words are added from
    // the whole dictionary when the grammar is built (a tenth of the memory
    // and start-up time of loading it all).
    QTemporaryFile seed;
    if (!writeSeedDictionary(seed)) {
        if (error)
            *error = QStringLiteral("No temporary file for the speech decoder: %1").arg(seed.errorString());
        return nullptr;
    }
    cmd_ln_t *config = decoderSettings(hmm.toLocal8Bit(), seed.fileName().toLocal8Bit(), mllr.toLocal8Bit());
    if (!config) {
        if (error)
            *error = QStringLiteral("The speech decoder refused its settings");
        return nullptr;
    }
    ps_decoder_t *ps = ps_init(config);
    if (!ps && (!mllr.isEmpty() || !hmm.startsWith(QLatin1String(ModelDir)))) {
        // A damaged profile does not take the spoken commands away.
        cmd_ln_free_r(config);
        qCWarning(lcSpeech).noquote()
            << QStringLiteral("The voice profile in %1 does not load; listening with the stock speech model")
                   .arg(profileFolder);
        return createPocketsphinxRecognizer(error, loop);
    }
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
    // The phone loop's decoder is made on another core while the grammar
    // is built.
    std::future<std::unique_ptr<PhoneLoop>> phoneLoop;
    try {
        if (loop != PhoneLoopDecoder::Shared)
            phoneLoop = std::async(std::launch::async, &PhoneLoop::make, hmm.toLocal8Bit(), phoneLm.toLocal8Bit(),
                                   mllr.toLocal8Bit());
    } catch (const std::system_error &) {
        // No thread to be had: the command decoder runs the loop too.
    }
    const bool adapted = !mllr.isEmpty() || !hmm.startsWith(QLatin1String(ModelDir));
    return std::make_unique<PocketsphinxRecognizer>(ps, config, dict, std::move(phoneLoop),
                                                    loop == PhoneLoopDecoder::Live,
                                                    adapted ? SpeechModel::Adapted : SpeechModel::Stock);
}

} // namespace kestrova::character
