// How well the spoken-command recogniser hears the command table: decodes
// every file of a synthetic corpus (bench/speech/make_corpus.sh) and prints
// the share of commands heard right and wrong, the share of other speech,
// silence and noise taken for a command (and for one that starts a program
// or quits), and the time to a result, each beside its target (and beside
// it the processor time of that work, on all the threads it runs on).
//   bench_voice_commands [--dump <file.tsv>] [--live-loop | --loop-after] [--listener] [--readings] <corpus-dir>
// A corpus folder without an index is filled with the bench set first.
// --dump writes one line per file (gap, confidence, words, command, whether
// that command starts a program or quits, the measures behind the
// confidence) for bench/speech/tune.py. The phone loop runs after the end
// of each recording, as in the program (PhoneLoopDecoder::Own, or
// --loop-after); --live-loop runs it while each recording is fed, as the
// listener would with PhoneLoopDecoder::Live. --readings adds the measures
// of the grammar's next best readings of each recording (seconds more each).
// --listener hears each recording as the program does: through the speech
// listener, followed by the pause a speaker leaves, which ends the
// utterance where the listener finds its end (not at the end of the file),
// handed over at once rather than at a microphone's pace. The bench then
// also counts the commands whose end was taken before their speech's end
// (cut in two at a pause between words).

#include "CommandTable.h"
#include "SpeechListener.h"
#include "SpeechRecognizer.h"
#include "VoiceAdaptation.h"
#include "VoiceGrammar.h"
#include "WavFile.h"

#include "BenchAudio.h"
#include "BenchCommands.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QSet>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

namespace {

using kestrova::character::Recognition;

// The favourite names the corpus phrases were written for.
const QString OfficeName = QStringLiteral("Writer");
const QStringList SiteNames = {QStringLiteral("BBC News"), QStringLiteral("Weather"), QStringLiteral("Gmail")};

// The recogniser's rejection line: at or below it an utterance is not taken.
constexpr int RejectAt = kestrova::GuardedConfidence;

struct Item {
    QString file, kind, command, phrase, voice, variant;
    Recognition heard;
    double decodeMs = 0;
    bool accepted() const { return !heard.command.isEmpty() && heard.confidence > RejectAt; }
    // Not acted on, the user is asked about the recogniser's guesses.
    bool asked() const { return !accepted() && !heard.guesses.isEmpty(); }
    bool offeredRight() const { return asked() && heard.guesses.contains(command); }
    bool right() const { return accepted() && heard.command == command; }
    bool wrong() const { return accepted() && heard.command != command; }
    // The top hypothesis is the command said, whether taken or not.
    bool heardRight() const { return !heard.command.isEmpty() && heard.command == command; }
};

// Counts of one group of files: how the commands said in it ended (taken
// right, taken as another command, not taken though the right command was
// the top hypothesis, not taken with another one on top, no command heard
// at all) and how much of its other speech, silence and noise was taken.
struct Tally {
    int commands = 0, right = 0, wrong = 0, rejectedRight = 0, rejectedOther = 0, nothing = 0;
    int others = 0, othersAccepted = 0;
    // Asked about instead: commands with the right one among the guesses,
    // commands with only others offered, and other speech.
    int askedRight = 0, askedOther = 0, othersAsked = 0;
    void add(const Item &item)
    {
        if (item.kind == u"command") {
            ++commands;
            askedRight += item.offeredRight();
            askedOther += item.asked() && !item.offeredRight();
            if (item.right())
                ++right;
            else if (item.wrong())
                ++wrong;
            else if (item.heard.command.isEmpty())
                ++nothing;
            else if (item.heardRight())
                ++rejectedRight;
            else
                ++rejectedOther;
        } else {
            ++others;
            othersAccepted += item.accepted();
            othersAsked += item.asked();
        }
    }
};

void print(const QString &line)
{
    std::printf("%s\n", line.toLocal8Bit().constData());
}

QString percent(int part, int whole)
{
    return whole == 0 ? QStringLiteral("-") : QString::number(100.0 * part / whole, 'f', 1) + u'%';
}

// The value at the given fraction of the sorted values (nearest rank).
double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t rank = std::size_t(std::max(1.0, std::ceil(fraction * double(values.size()))));
    return values[std::min(rank, values.size()) - 1];
}

// One measured figure beside its target; `met` says whether it is reached.
void row(const QString &what, const QString &value, const QString &target, bool met)
{
    print(QStringLiteral("  %1 %2 %3 %4")
              .arg(what, -52)
              .arg(value, 9)
              .arg(target, 9)
              .arg(met ? QStringLiteral("met") : QStringLiteral("NOT MET")));
}

// A recording handed to the listener all at once, as fast as it decodes;
// it plays what `next` holds when it starts (the listener keeps its source
// from one listening to the next).
class RecordingSource : public kestrova::character::AudioSource {
public:
    explicit RecordingSource(const std::vector<std::int16_t> &next) : m_next(next) {}
    bool start() override
    {
        const QByteArray pcm(reinterpret_cast<const char *>(m_next.data()), qsizetype(m_next.size() * 2));
        QTimer::singleShot(0, this, [this, pcm] {
            Q_EMIT samples(pcm);
            Q_EMIT finished();
        });
        return true;
    }
    void stop() override {}

private:
    const std::vector<std::int16_t> &m_next;
};

bool readIndex(const QString &dir, std::vector<Item> *items, QString *error)
{
    QFile file(QDir(dir).filePath(QStringLiteral("index.tsv")));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = file.fileName() + QStringLiteral(": ") + file.errorString();
        return false;
    }
    QTextStream in(&file);
    const QStringList header = in.readLine().split(u'\t');
    const QStringList wanted = {"file", "kind", "command", "phrase", "voice", "variant"};
    std::vector<int> column;
    for (const QString &name : wanted) {
        column.push_back(int(header.indexOf(name)));
        if (column.back() < 0) {
            *error = QStringLiteral("%1 has no column \"%2\"").arg(file.fileName(), name);
            return false;
        }
    }
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.trimmed().isEmpty())
            continue;
        const QStringList f = line.split(u'\t');
        Item item;
        QString *fields[] = {&item.file, &item.kind, &item.command, &item.phrase, &item.voice, &item.variant};
        for (qsizetype k = 0; k < wanted.size(); ++k)
            *fields[k] = f.value(column[std::size_t(k)]);
        items->push_back(item);
    }
    return true;
}

// The corpus's own mistakes: a command phrase its grammar does not accept,
// or an "other" sentence or near miss some grammar accepts, would blame the
// recogniser for the phrase list.
int checkPhrases(const std::vector<Item> &items, const QList<kestrova::CommandEntry> &table)
{
    std::map<QString, std::unique_ptr<kestrova::character::GrammarNode>> grammars;
    for (const kestrova::CommandEntry &e : table)
        if (!e.voice.isEmpty())
            grammars[e.name] = kestrova::character::parseVoiceGrammar(e.voice).root;
    int problems = 0;
    QMap<QString, bool> seen;
    for (const Item &item : items) {
        if (item.kind != u"command" && item.kind != u"other" && item.kind != u"near")
            continue;
        if (seen.contains(item.kind + item.command + item.phrase))
            continue;
        seen.insert(item.kind + item.command + item.phrase, true);
        const QString phrase = kestrova::character::normalisePhrase(item.phrase);
        if (item.kind == u"command") {
            const auto g = grammars.find(item.command);
            if (g == grammars.end() || !g->second) {
                print(QStringLiteral("corpus: no command \"%1\" in the table").arg(item.command));
                ++problems;
            } else if (kestrova::character::grammarDistance(*g->second, phrase) != 0) {
                print(QStringLiteral("corpus: \"%1\" is not a sentence of %2").arg(item.phrase, item.command));
                ++problems;
            }
        } else {
            for (const auto &[name, root] : grammars)
                if (root && kestrova::character::grammarDistance(*root, phrase) == 0) {
                    print(QStringLiteral("corpus: \"%1\" is command %2").arg(item.phrase, name));
                    ++problems;
                }
        }
    }
    return problems;
}

// Makes a voice profile from <dir>/enrol.tsv (file TAB sentence, the files
// relative to <dir>) with the program's own enrolment; false with a message.
bool enrol(const QString &dir, kestrova::character::VoiceAdaptation::Method method, const QString &profileFolder)
{
    QFile list(QDir(dir).filePath(QStringLiteral("enrol.tsv")));
    if (!list.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(list.fileName()), qPrintable(list.errorString()));
        return false;
    }
    QList<kestrova::character::EnrolmentRecording> recordings;
    while (!list.atEnd()) {
        const QStringList fields = QString::fromUtf8(list.readLine()).trimmed().split(u'\t');
        if (fields.size() == 2 && !fields[0].isEmpty())
            recordings.append({QDir(dir).filePath(fields[0]), fields[1]});
    }
    kestrova::character::VoiceAdaptation adaptation;
    adaptation.setMethod(method);
    // The helper is built beside this benchmark.
    auto tools = adaptation.tools();
    if (tools.prepareProgram.isEmpty())
        tools.prepareProgram = QCoreApplication::applicationDirPath() + QStringLiteral("/kestrova-voice-prep");
    adaptation.setTools(tools);
    QEventLoop loop;
    bool ok = false;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&adaptation, &kestrova::character::VoiceAdaptation::finished, &loop,
                     [&](const QString &, const QStringList &unaligned) {
                         print(QStringLiteral("Enrolled with %1 of %2 sentences (%3) in %4 ms")
                                   .arg(recordings.size() - unaligned.size())
                                   .arg(recordings.size())
                                   .arg(method == kestrova::character::VoiceAdaptation::Method::Model
                                            ? QStringLiteral("adapted model")
                                            : QStringLiteral("transform"))
                                   .arg(clock.elapsed()));
                         for (const QString &s : unaligned)
                             print(QStringLiteral("  not aligned: %1").arg(s));
                         ok = true;
                         loop.quit();
                     });
    QObject::connect(&adaptation, &kestrova::character::VoiceAdaptation::failed, &loop,
                     [&](const QString &why, const QStringList &) {
                         std::fprintf(stderr, "enrolment failed: %s\n", qPrintable(why));
                         loop.quit();
                     });
    if (!adaptation.start(recordings, profileFolder))
        return false;
    loop.exec();
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    // The command table comes from a real (offscreen) application.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bool readings = false;
    QString corpus, dumpPath, enrolDir;
    bool throughListener = false;
    auto loop = kestrova::character::PhoneLoopDecoder::Own;
    auto method = kestrova::character::VoiceAdaptation::Method::Model;
    const QStringList args = app.arguments().mid(1);
    for (int k = 0; k < args.size(); ++k) {
        if (args[k] == u"--prompts") {
            for (const QString &sentence : kestrova::character::enrolmentSentences())
                std::printf("%s\n", sentence.toUtf8().constData());
            return 0;
        }
        if (args[k] == u"--dump" && k + 1 < args.size())
            dumpPath = args[++k];
        else if (args[k] == u"--live-loop")
            loop = kestrova::character::PhoneLoopDecoder::Live;
        else if (args[k] == u"--loop-after")
            loop = kestrova::character::PhoneLoopDecoder::Own;
        else if (args[k] == u"--listener")
            throughListener = true;
        else if (args[k] == u"--readings")
            readings = true;
        else if (args[k] == u"--enrol" && k + 1 < args.size())
            enrolDir = args[++k];
        else if (args[k] == u"--method" && k + 1 < args.size() && (args[k + 1] == u"transform" || args[k + 1] == u"model"))
            method = args[++k] == u"transform" ? kestrova::character::VoiceAdaptation::Method::Transform
                                                : kestrova::character::VoiceAdaptation::Method::Model;
        else if (!args[k].startsWith(u'-') && corpus.isEmpty())
            corpus = args[k];
        else {
            std::fprintf(stderr, "usage: bench_voice_commands [--dump <file.tsv>] [--live-loop | --loop-after] [--listener] [--readings] [--enrol <dir> [--method transform|model]] <corpus-dir>\n"
                                 "       bench_voice_commands --prompts\n");
            return 2;
        }
    }
    if (corpus.isEmpty()) {
        std::fprintf(stderr, "usage: bench_voice_commands [--dump <file.tsv>] [--live-loop | --loop-after] [--listener] [--readings] [--enrol <dir> [--method transform|model]] <corpus-dir>\n"
                                 "       bench_voice_commands --prompts\n");
        return 2;
    }

    if (!QFileInfo::exists(QDir(corpus).filePath(QStringLiteral("index.tsv")))) {
        const QString script = QStringLiteral(KESTROVA_BENCH_DIR "/speech/make_corpus.sh");
        print(QStringLiteral("No index in %1: making the bench set with %2").arg(corpus, script));
        QProcess make;
        make.setProcessChannelMode(QProcess::ForwardedChannels);
        make.start(QStringLiteral("bash"), {script, corpus, QStringLiteral("bench")});
        if (!make.waitForFinished(-1) || make.exitStatus() != QProcess::NormalExit || make.exitCode() != 0) {
            std::fprintf(stderr, "making the corpus failed\n");
            return 1;
        }
    }
    std::vector<Item> items;
    QString error;
    if (!readIndex(corpus, &items, &error)) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return 1;
    }

    const QList<kestrova::CommandEntry> table = benchCommandTable(OfficeName, SiteNames);
    const int phraseProblems = checkPhrases(items, table);

    // With --enrol, a voice profile from <dir>/enrol.tsv first, made as the
    // program makes it; the corpus is then decoded with it.
    QTemporaryDir profileHome;
    QString profileFolder;
    if (!enrolDir.isEmpty()) {
        profileFolder = profileHome.path() + QStringLiteral("/voice");
        if (!enrol(enrolDir, method, profileFolder))
            return 1;
    }

    QElapsedTimer clock;
    clock.start();
    auto recognizer = kestrova::character::createPocketsphinxRecognizer(
        &error, loop, profileFolder);
    if (!recognizer) {
        std::fprintf(stderr, "no recogniser: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    const qint64 startMs = clock.elapsed();
    std::vector<kestrova::character::VoiceCommand> commands;
    for (const kestrova::CommandEntry &e : table)
        if (!e.voice.isEmpty())
            commands.push_back({e.name, e.voice, e.drastic});
    QStringList problems;
    clock.restart();
    recognizer->setMeasureReadings(readings);
    if (!recognizer->setCommands(commands, &problems)) {
        std::fprintf(stderr, "the recogniser took none of the commands\n");
        return 1;
    }
    const qint64 grammarMs = clock.elapsed();
    // Commands that start a program or quit: taken only on a sure hearing.
    QSet<QString> strictCommands;
    for (const kestrova::character::VoiceCommand &c : commands)
        if (c.strict)
            strictCommands.insert(c.name);
    for (const QString &p : problems)
        print(QStringLiteral("grammar: ") + p);

    std::unique_ptr<QFile> dump;
    QTextStream dumpOut;
    if (!dumpPath.isEmpty()) {
        dump = std::make_unique<QFile>(dumpPath);
        if (!dump->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(dumpPath), qPrintable(dump->errorString()));
            return 1;
        }
        dumpOut.setDevice(dump.get());
        dumpOut << "file\tkind\texpected\tvoice\tvariant\tgap\tconfidence\tspeech\twords\tcommand\taudio_ms\tfinish_ms"
                   "\tdecode_ms\tstrict\tscores\tguesses\n";
    }

    // With --listener, the program's listener and a recogniser of its own.
    std::vector<std::int16_t> next;
    std::unique_ptr<kestrova::character::SpeechListener> listener;
    if (throughListener) {
        listener = std::make_unique<kestrova::character::SpeechListener>(
            [loop, profileFolder](QString *e) { return kestrova::character::createPocketsphinxRecognizer(e, loop, profileFolder); },
            [&next]() -> std::unique_ptr<kestrova::character::AudioSource> { return std::make_unique<RecordingSource>(next); });
        listener->setCommands(commands);
    }
    // Commands whose end the listener took before their speech's end.
    QStringList cut;

    double decodeMs = 0, audioMs = 0;
    int unreadable = 0;
    for (Item &item : items) {
        const auto samples = kestrova::character::readWav16kMono(QDir(corpus).filePath(item.file), &error);
        if (!samples) {
            print(QStringLiteral("skipped: ") + error);
            item.kind = QStringLiteral("unreadable");
            ++unreadable;
            continue;
        }
        QElapsedTimer t;
        t.start();
        if (listener) {
            next = *samples;
            next.insert(next.end(), 16 * 1200, 0); // the pause after a command
            item.heard = {};
            QEventLoop wait;
            const auto heard = QObject::connect(listener.get(), &kestrova::character::SpeechListener::heard, &wait,
                                                [&](const Recognition &r) {
                                                    item.heard = r;
                                                    wait.quit();
                                                });
            const auto stopped = QObject::connect(listener.get(), &kestrova::character::SpeechListener::stopped, &wait,
                                                  &QEventLoop::quit);
            const auto failed = QObject::connect(listener.get(), &kestrova::character::SpeechListener::failed, &wait,
                                                 [&](const QString &why) {
                                                     print(QStringLiteral("the listener failed: ") + why);
                                                     wait.quit();
                                                 });
            if (listener->start())
                wait.exec();
            else
                print(QStringLiteral("the listener did not start: ") + listener->errorString());
            QObject::disconnect(heard);
            QObject::disconnect(stopped);
            QObject::disconnect(failed);
            const int endMs = int(speechEnd(*samples) / 16);
            if (item.kind == u"command" && item.heard.speech && item.heard.audioMs < endMs)
                cut << QStringLiteral("%1 (%2, ended %3 ms before the speech's end, heard \"%4\")")
                           .arg(item.file, item.phrase)
                           .arg(endMs - item.heard.audioMs)
                           .arg(item.heard.words);
        } else {
            item.heard = kestrova::character::recognizeSamples(*recognizer, *samples);
        }
        item.decodeMs = double(t.nsecsElapsed()) / 1e6;
        decodeMs += item.decodeMs;
        audioMs += double(samples->size()) / 16.0;
        if (dump) {
            const Recognition &r = item.heard;
            dumpOut << item.file << '\t' << item.kind << '\t' << item.command << '\t' << item.voice << '\t'
                    << item.variant << '\t' << QString::number(r.gap, 'f', 4) << '\t' << r.confidence << '\t'
                    << (r.speech ? 1 : 0) << '\t' << r.words << '\t' << r.command << '\t' << r.audioMs << '\t'
                    << r.finishMs << '\t' << QString::number(item.decodeMs, 'f', 1) << '\t'
                    << (strictCommands.contains(r.command) ? 1 : 0) << '\t';
            // The measures behind the confidence, name=value;...
            QStringList scores;
            for (auto s = r.scores.cbegin(); s != r.scores.cend(); ++s)
                scores << s.key() + u'=' + QString::number(s.value(), 'g', 5);
            dumpOut << scores.join(u';') << '\t' << r.guesses.join(u';') << '\n';
        }
    }
    if (dump)
        dumpOut.flush();

    // The figures, overall and by voice and variant.
    Tally all;
    // By voice and variant, by voice over its variants, by variant over the
    // voices, and by the command said.
    std::map<QString, Tally> byVoice, byEngineVoice, byVariant, byCommand;
    std::map<QString, std::pair<int, int>> byKind; // accepted, total for non-commands
    std::vector<double> finish, finishHeard, finishHeardCpu;
    for (const Item &item : items) {
        if (item.kind == u"unreadable")
            continue;
        finish.push_back(item.heard.finishMs);
        // Only utterances with words get the rival and phone-loop passes.
        if (!item.heard.words.isEmpty()) {
            finishHeard.push_back(item.heard.finishMs);
            finishHeardCpu.push_back(item.heard.finishCpuMs);
        }
        for (Tally *t : {&all, &byVoice[item.voice + u' ' + item.variant], &byEngineVoice[item.voice],
                         &byVariant[item.variant]})
            t->add(item);
        if (item.kind == u"command") {
            byCommand[item.command].add(item);
        } else {
            byKind[item.kind].first += item.accepted();
            ++byKind[item.kind].second;
        }
    }
    double finishMean = 0;
    for (double f : finish)
        finishMean += f;
    finishMean = finish.empty() ? 0 : finishMean / double(finish.size());
    const double finish95 = percentile(finish, 0.95);
    const double rtf = audioMs > 0 ? decodeMs / audioMs : 0;
    auto share = [](int part, int whole) { return whole == 0 ? 0.0 : 100.0 * part / whole; };

    print(QString());
    print(QStringLiteral("Spoken commands: %1 files in %2, %3 commands registered (office \"%4\", sites %5)")
              .arg(items.size())
              .arg(corpus)
              .arg(commands.size())
              .arg(OfficeName, SiteNames.join(QStringLiteral(", "))));
    print(QStringLiteral("Accepted = a command above confidence %1. Decoder start %2 ms, grammar %3 ms.")
              .arg(RejectAt)
              .arg(startMs)
              .arg(grammarMs));
    if (listener) {
        print(QStringLiteral("Heard through the listener: %1 commands ended before their speech's end")
                  .arg(cut.size()));
        for (const QString &c : std::as_const(cut))
            print(QStringLiteral("  cut: ") + c);
    }
    if (phraseProblems || unreadable)
        print(QStringLiteral("Corpus problems: %1 phrases, %2 unreadable files (see above)")
                  .arg(phraseProblems)
                  .arg(unreadable));
    print(QString());
    print(QStringLiteral("  %1 %2 %3").arg(QStringLiteral("measure"), -52).arg(QStringLiteral("measured"), 9).arg(QStringLiteral("target"), 9));
    row(QStringLiteral("commands recognised as the right command (%1)").arg(all.commands),
        percent(all.right, all.commands), QStringLiteral(">= 95%"), share(all.right, all.commands) >= 95.0);
    row(QStringLiteral("commands recognised as a wrong command"), percent(all.wrong, all.commands),
        QStringLiteral("<= 1%"), share(all.wrong, all.commands) <= 1.0);
    row(QStringLiteral("other speech, silence and noise accepted (%1)").arg(all.others),
        percent(all.othersAccepted, all.others), QStringLiteral("<= 2%"),
        share(all.othersAccepted, all.others) <= 2.0);
    // Below the bar to act on, a plausible command is asked about rather
    // than refused.
    print(QStringLiteral("  %1 %2").arg(QStringLiteral("commands asked about, right command offered"), -52)
              .arg(percent(all.askedRight, all.commands), 9));
    print(QStringLiteral("    %1 %2").arg(QStringLiteral("commands asked about, only others offered"), -50)
              .arg(percent(all.askedOther, all.commands), 9));
    row(QStringLiteral("commands acted on right or asked with it offered"),
        percent(all.right + all.askedRight, all.commands), QStringLiteral(">= 98%"),
        share(all.right + all.askedRight, all.commands) >= 98.0);
    row(QStringLiteral("other speech asked about"), percent(all.othersAsked, all.others), QStringLiteral("<= 5%"),
        share(all.othersAsked, all.others) <= 5.0);
    for (const auto &[kind, counts] : byKind)
        print(QStringLiteral("    %1 %2 (%3 of %4)")
                  .arg(kind + QStringLiteral(" accepted"), -50)
                  .arg(percent(counts.first, counts.second), 9)
                  .arg(counts.first)
                  .arg(counts.second));
    row(QStringLiteral("end of audio to result, mean"), QString::number(finishMean, 'f', 0) + QStringLiteral(" ms"),
        QStringLiteral("<= 300 ms"), finishMean <= 300);
    row(QStringLiteral("end of audio to result, 95th percentile"), QString::number(finish95, 'f', 0) + QStringLiteral(" ms"),
        QStringLiteral("<= 300 ms"), finish95 <= 300);
    double heardMean = 0;
    for (double f : finishHeard)
        heardMean += f;
    heardMean = finishHeard.empty() ? 0 : heardMean / double(finishHeard.size());
    print(QStringLiteral("    %1 %2").arg(QStringLiteral("the same for the %1 with words heard, mean / 95%").arg(finishHeard.size()), -50)
              .arg(QStringLiteral("%1 / %2 ms").arg(heardMean, 0, 'f', 0).arg(percentile(finishHeard, 0.95), 0, 'f', 0), 9));
    double cpuMean = 0;
    for (double f : finishHeardCpu)
        cpuMean += f / double(finishHeardCpu.size());
    print(QStringLiteral("    %1 %2").arg(QStringLiteral("its processor time on all threads, mean / 95%"), -50)
              .arg(QStringLiteral("%1 / %2 ms").arg(cpuMean, 0, 'f', 0).arg(percentile(finishHeardCpu, 0.95), 0, 'f', 0), 9));
    row(QStringLiteral("real-time factor (decode time / audio time)"), QString::number(rtf, 'f', 3),
        QStringLiteral("<= 0.1"), rtf <= 0.1);
    print(QStringLiteral("    %1 %2").arg(QStringLiteral("decode time per file, mean"), -50)
              .arg(QString::number(items.empty() ? 0 : decodeMs / double(items.size()), 'f', 0) + QStringLiteral(" ms"), 9));

    // The commands that start a program or quit, heard only on strong
    // evidence: how many of them are still heard, and how much other
    // speech, silence and noise starts something.
    QStringList drastic;
    for (const kestrova::CommandEntry &e : table)
        if (e.drastic && !e.voice.isEmpty())
            drastic << e.name;
    int drasticSaid = 0, drasticRight = 0, othersStarting = 0;
    for (const Item &item : items) {
        if (item.kind == u"command" && drastic.contains(item.command)) {
            ++drasticSaid;
            drasticRight += item.right();
        } else if (item.kind != u"command" && item.kind != u"unreadable") {
            othersStarting += item.accepted() && drastic.contains(item.heard.command);
        }
    }
    print(QStringLiteral("    %1 %2").arg(QStringLiteral("commands that start a program or quit, right (%1)").arg(drasticSaid), -50)
              .arg(percent(drasticRight, drasticSaid), 9));
    row(QStringLiteral("other speech, silence and noise starting a program"),
        QStringLiteral("%1 of %2").arg(othersStarting).arg(all.others), QStringLiteral("0"), othersStarting == 0);

    // Where the commands not heard right went: taken as another command
    // ("wrong"), not taken though the top hypothesis was right ("rejected
    // right"), not taken with another command on top ("rejected other"), or
    // no command heard at all ("none"). "asked": not taken, and asked about
    // with the right command offered (part of the rejected).
    const auto breakdown = [](const QString &title, const std::map<QString, Tally> &groups, bool withOthers) {
        print(QString());
        print(QStringLiteral("  %1 %2 %3 %4 %5 %6 %7 %8 %9")
                  .arg(title, -32)
                  .arg(QStringLiteral("commands"), 8)
                  .arg(QStringLiteral("right"), 7)
                  .arg(QStringLiteral("asked"), 7)
                  .arg(QStringLiteral("wrong"), 7)
                  .arg(QStringLiteral("rej.right"), 9)
                  .arg(QStringLiteral("rej.other"), 9)
                  .arg(QStringLiteral("none"), 6)
                  .arg(withOthers ? QStringLiteral("others accepted") : QString(), 16));
        for (const auto &[name, t] : groups)
            print(QStringLiteral("  %1 %2 %3 %4 %5 %6 %7 %8 %9")
                      .arg(name, -32)
                      .arg(t.commands, 8)
                      .arg(percent(t.right, t.commands), 7)
                      .arg(percent(t.askedRight, t.commands), 7)
                      .arg(percent(t.wrong, t.commands), 7)
                      .arg(percent(t.rejectedRight, t.commands), 9)
                      .arg(percent(t.rejectedOther, t.commands), 9)
                      .arg(percent(t.nothing, t.commands), 6)
                      .arg(withOthers ? QStringLiteral("%1 of %2 (%3 asked)").arg(t.othersAccepted).arg(t.others).arg(t.othersAsked)
                                      : QString(),
                           16));
    };
    breakdown(QStringLiteral("all"), {{QStringLiteral("all files"), all}}, true);
    breakdown(QStringLiteral("voice"), byEngineVoice, true);
    breakdown(QStringLiteral("variant"), byVariant, true);
    breakdown(QStringLiteral("voice variant"), byVoice, true);
    breakdown(QStringLiteral("command said"), byCommand, false);

    // What went wrong, to look at and listen to.
    print(QString());
    print(QStringLiteral("Wrong commands and accepted non-commands:"));
    int listed = 0;
    for (const Item &item : items) {
        const bool bad = item.kind == u"command" ? item.wrong() : (item.kind != u"unreadable" && item.accepted());
        if (!bad)
            continue;
        if (++listed > 40)
            continue;
        print(QStringLiteral("  %1 %2 %3 \"%4\" heard \"%5\" as %6 (%7)")
                  .arg(item.file, item.voice, item.variant, item.phrase, item.heard.words, item.heard.command)
                  .arg(item.heard.confidence));
    }
    if (listed == 0)
        print(QStringLiteral("  none"));
    else if (listed > 40)
        print(QStringLiteral("  and %1 more (all of them in the --dump file)").arg(listed - 40));
    return 0;
}
