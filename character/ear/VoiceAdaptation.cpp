#include "VoiceAdaptation.h"

#include "ProgramModule.h"
#include "VoiceProfile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

namespace kestrova::character {

namespace {
const char TrainerFolder[] = "/usr/lib/sphinxtrain";
const char StockModel[] = "/usr/share/pocketsphinx/model/en-us/en-us";
const char StockDictionary[] = "/usr/share/pocketsphinx/model/en-us/cmudict-en-us.dict";
const char PrepareName[] = "kestrova-voice-prep";
const char *const TrainerPrograms[] = {"bw", "mllr_solve", "map_adapt", "mk_s2sendump"};
const char *const ModelFiles[] = {"mdef", "means", "variances", "sendump", "transition_matrices", "noisedict",
                                  "feat.params"};
// The aligner's beam for the recordings its default beam lost (see
// realignTheRest).
const char WideBeam[] = "1e-160";
// A step that has not ended by then has hung (the aligner, given a wrong
// file name, retries for minutes).
constexpr int StepTimeoutMs = 120'000;
} // namespace

QStringList enrolmentSentences()
{
    // Every phone of the model's set at least twice; the rarer ones (ZH,
    // OY, UH, NG) in sentences of their own.
    return {
        QStringLiteral("The quick brown fox jumps over the lazy dog"),
        QStringLiteral("She sells sea shells by the sea shore every summer"),
        QStringLiteral("A large fawn jumped quickly over white zinc boxes"),
        QStringLiteral("Please call Stella and ask her to bring these things with her from the store"),
        QStringLiteral("Six spoons of fresh snow peas and five thick slabs of blue cheese"),
        QStringLiteral("We also need a small plastic snake and a big toy frog for the kids"),
        QStringLiteral("The birch canoe slid on the smooth planks"),
        QStringLiteral("Glue the sheet to the dark blue background"),
        QStringLiteral("It is easy to tell the depth of a well"),
        QStringLiteral("These days a chicken leg is a rare dish"),
        QStringLiteral("Rice is often served in round bowls"),
        QStringLiteral("The juice of lemons makes fine punch"),
        QStringLiteral("The box was thrown beside the parked truck"),
        QStringLiteral("The hogs were fed chopped corn and garbage"),
        QStringLiteral("Four hours of steady work faced us"),
        QStringLiteral("A pot of tea helps to pass the evening"),
        QStringLiteral("The young girl gave no clear response"),
        QStringLiteral("Join the crowd and measure the usual pleasure"),
        QStringLiteral("Why should the boy enjoy the noisy toy"),
        QStringLiteral("The thin author thought that the theme was worth a thousand words"),
        QStringLiteral("Open the window and check my mail please"),
        QStringLiteral("What time is it and what is the date today"),
        QStringLiteral("Tell me a joke about a computer"),
        QStringLiteral("Show me the weather in the north and the south"),
        QStringLiteral("The engine of the old car would not start this morning"),
        QStringLiteral("George judged the huge orange garage"),
        QStringLiteral("Hold the hammer near the end to drive the nail"),
        QStringLiteral("Yellow leaves fell in the cool autumn wind"),
        QStringLiteral("Each vision of the azure ocean was a treasure"),
        QStringLiteral("Put the good book on the wooden shelf and look at the full moon"),
    };
}

VoiceAdaptation::Tools VoiceAdaptation::installedTools()
{
    Tools tools{QString::fromLatin1(TrainerFolder), {}, QString::fromLatin1(StockModel),
                QString::fromLatin1(StockDictionary)};
    for (const QString &folder : ProgramModule::programFolders()) {
        const QString candidate = QDir(folder).filePath(QString::fromLatin1(PrepareName));
        if (QFileInfo(candidate).isExecutable()) {
            tools.prepareProgram = candidate;
            break;
        }
    }
    return tools;
}

VoiceAdaptation::VoiceAdaptation(QObject *parent) : QObject(parent), m_tools(installedTools()) {}

VoiceAdaptation::~VoiceAdaptation()
{
    if (m_process) {
        m_process->disconnect(this);
        m_process->kill();
        m_process->waitForFinished(2000);
    }
}

QString VoiceAdaptation::trainer(const QString &name) const
{
    return QDir(m_tools.trainerFolder).filePath(name);
}

QString VoiceAdaptation::missing() const
{
    for (const char *name : TrainerPrograms) {
        if (!QFileInfo(trainer(QString::fromLatin1(name))).isExecutable())
            return QStringLiteral("Learning your voice needs the speech trainer's programs (%1 is missing): "
                                  "install the package \"sphinxtrain\".")
                .arg(trainer(QString::fromLatin1(name)));
    }
    for (const char *name : ModelFiles) {
        const QString path = QDir(m_tools.modelFolder).filePath(QString::fromLatin1(name));
        if (!QFileInfo(path).isFile())
            return QStringLiteral("The speech model is not installed (%1 is missing): "
                                  "install the package \"pocketsphinx-en-us\".")
                .arg(path);
    }
    if (!QFileInfo(m_tools.dictionary).isFile())
        return QStringLiteral("The speech model's dictionary is not installed (%1 is missing): "
                              "install the package \"pocketsphinx-en-us\".")
            .arg(m_tools.dictionary);
    if (m_tools.prepareProgram.isEmpty() || !QFileInfo(m_tools.prepareProgram).isExecutable())
        return QStringLiteral("This installation lacks its own helper for learning a voice (%1): "
                              "reinstall the program.")
            .arg(m_tools.prepareProgram.isEmpty() ? QString::fromLatin1(PrepareName) : m_tools.prepareProgram);
    return {};
}

QStringList VoiceAdaptation::alignArguments(const QString &control, const QString &transcription,
                                            const QString &counts, const QString &beam) const
{
    const QString work = m_work->path();
    const QString model = m_tools.modelFolder;
    auto in = [](const QString &folder, const char *name) { return folder + u'/' + QLatin1String(name); };
    QStringList arguments{QStringLiteral("-hmmdir"), model, QStringLiteral("-moddeffn"), in(work, "mdef.txt"),
                          QStringLiteral("-ts2cbfn"), QStringLiteral(".ptm."), QStringLiteral("-feat"),
                          QStringLiteral("1s_c_d_dd"), QStringLiteral("-svspec"), QStringLiteral("0-12/13-25/26-38"),
                          QStringLiteral("-cmn"), QStringLiteral("batch"), QStringLiteral("-agc"), QStringLiteral("none"),
                          QStringLiteral("-dictfn"), in(work, "dictionary"), QStringLiteral("-fdictfn"),
                          in(model, "noisedict"), QStringLiteral("-ctlfn"), control, QStringLiteral("-lsnfn"),
                          transcription, QStringLiteral("-accumdir"), counts, QStringLiteral("-cepdir"),
                          in(work, "feat"), QStringLiteral("-cepext"), QStringLiteral("mfc"), QStringLiteral("-mixwfn"),
                          in(work, "mixture_weights"), QStringLiteral("-meanfn"), in(model, "means"),
                          QStringLiteral("-varfn"), in(model, "variances"), QStringLiteral("-tmatfn"),
                          in(model, "transition_matrices")};
    if (!beam.isEmpty())
        arguments << QStringLiteral("-abeam") << beam << QStringLiteral("-bbeam") << beam;
    return arguments;
}

QList<VoiceAdaptation::Step> VoiceAdaptation::steps() const
{
    const QString work = m_work->path();
    const QString model = m_tools.modelFolder;
    const QString made = work + QStringLiteral("/profile");
    auto in = [](const QString &folder, const char *name) { return folder + u'/' + QLatin1String(name); };
    QList<Step> out;
    out << Step{m_tools.prepareProgram,
                {model, m_tools.dictionary, in(work, "recordings.tsv"), work},
                10,
                QStringLiteral("Reading the recordings"),
                Task::Prepare};
    out << Step{trainer(QStringLiteral("bw")),
                alignArguments(in(work, "control"), in(work, "transcription"), in(work, "counts"), {}),
                55,
                QStringLiteral("Matching the recordings with their sentences"),
                Task::Align};
    if (m_method == Method::Transform) {
        out << Step{trainer(QStringLiteral("mllr_solve")),
                    {QStringLiteral("-meanfn"), in(model, "means"), QStringLiteral("-varfn"), in(model, "variances"),
                     QStringLiteral("-outmllrfn"), in(made, "mllr_matrix"), QStringLiteral("-accumdir"),
                     QStringLiteral("counts")},
                    90,
                    QStringLiteral("Learning your voice"),
                    Task::Learn};
    } else {
        const QString adapted = in(made, "model");
        out << Step{trainer(QStringLiteral("map_adapt")),
                    {QStringLiteral("-moddeffn"), in(work, "mdef.txt"), QStringLiteral("-ts2cbfn"),
                     QStringLiteral(".ptm."), QStringLiteral("-meanfn"), in(model, "means"), QStringLiteral("-varfn"),
                     in(model, "variances"), QStringLiteral("-mixwfn"), in(work, "mixture_weights"),
                     QStringLiteral("-tmatfn"), in(model, "transition_matrices"), QStringLiteral("-accumdir"),
                     QStringLiteral("counts"), QStringLiteral("-mapmeanfn"), in(adapted, "means"),
                     QStringLiteral("-mapvarfn"), in(adapted, "variances"), QStringLiteral("-mapmixwfn"),
                     in(work, "adapted_weights"), QStringLiteral("-maptmatfn"), in(adapted, "transition_matrices")},
                    80,
                    QStringLiteral("Learning your voice")};
        // The decoder reads the weights in their compact form only (and
        // prefers it to any other): the adapted weights are put back into
        // it. The floor keeps the stock weights as they were.
        out << Step{trainer(QStringLiteral("mk_s2sendump")),
                    {QStringLiteral("-pocketsphinx"), QStringLiteral("yes"), QStringLiteral("-moddeffn"),
                     in(work, "mdef.txt"), QStringLiteral("-mixwfn"), in(work, "adapted_weights"),
                     QStringLiteral("-sendumpfn"), in(adapted, "sendump"), QStringLiteral("-mwfloor"),
                     QStringLiteral("1e-8")},
                    95,
                    QStringLiteral("Storing your voice")};
    }
    return out;
}

bool VoiceAdaptation::start(const QList<EnrolmentRecording> &recordings, const QString &profileFolder)
{
    if (isRunning())
        return false;
    m_step = 0;
    m_steps.clear();
    m_unaligned.clear();
    m_aligned.clear();
    m_realigned.clear();
    m_counts = QStringList{QStringLiteral("counts")};
    m_recordings = recordings;
    m_profileFolder = profileFolder;
    // Everything is reported from the event loop, as the later steps are.
    QTimer::singleShot(0, this, [this] {
        if (const QString why = missing(); !why.isEmpty())
            return fail(why);
        if (m_recordings.size() < MinimumAligned)
            return fail(QStringLiteral("Learning your voice needs at least %1 recorded sentences; there are %2.")
                            .arg(MinimumAligned)
                            .arg(m_recordings.size()));
        // The work is done beside the profile, so that the finished one is
        // moved into place rather than copied.
        const QString parent = QFileInfo(m_profileFolder).absolutePath();
        if (!QDir().mkpath(parent))
            return fail(QStringLiteral("Cannot make the folder %1").arg(parent));
        m_work = std::make_unique<QTemporaryDir>(parent + QStringLiteral("/voice-work-XXXXXX"));
        if (!m_work->isValid())
            return fail(QStringLiteral("Cannot make a working folder in %1: %2").arg(parent, m_work->errorString()));
        const QString work = m_work->path();
        QSaveFile list(work + QStringLiteral("/recordings.tsv"));
        bool ok = list.open(QIODevice::WriteOnly);
        for (int i = 0; ok && i < m_recordings.size(); ++i) {
            QString sentence = m_recordings[i].sentence;
            sentence.replace(u'\t', u' ').replace(u'\n', u' ');
            ok = list.write(QStringLiteral("s%1\t%2\t%3\n")
                                .arg(i + 1, 3, 10, QChar(u'0'))
                                .arg(QFileInfo(m_recordings[i].wav).absoluteFilePath(), sentence)
                                .toUtf8())
                 >= 0;
        }
        if (!ok || !list.commit())
            return fail(QStringLiteral("Cannot write the list of recordings: %1").arg(list.errorString()));
        for (const char *sub : {"counts", "profile", "profile/model"})
            QDir(work).mkpath(QString::fromLatin1(sub));
        if (m_method == Method::Model) {
            // The adapted model keeps the stock model's other files.
            for (const char *name : {"mdef", "noisedict", "feat.params"}) {
                const QString from = QDir(m_tools.modelFolder).filePath(QString::fromLatin1(name));
                if (!QFile::copy(from, work + QStringLiteral("/profile/model/") + QLatin1String(name)))
                    return fail(QStringLiteral("Cannot copy %1 into the new voice profile").arg(from));
            }
        } else {
            QDir(work).rmdir(QStringLiteral("profile/model"));
        }
        m_steps = steps();
        runNext();
    });
    return true;
}

void VoiceAdaptation::runNext()
{
    if (m_step >= m_steps.size())
        return finish();
    const Step &step = m_steps[m_step];
    Q_EMIT progress(m_step == 0 ? 0 : m_steps[m_step - 1].percent, step.what);
    m_output.clear();
    m_errors.clear();
    m_process = new QProcess(this);
    m_process->setWorkingDirectory(m_work->path());
    // Kept apart: the aligner's report is read line by line, and its
    // messages on the other channel would break into those lines. Both
    // bounded.
    connect(m_process, &QProcess::readyReadStandardOutput, this, [this] {
        m_output += QString::fromLocal8Bit(m_process->readAllStandardOutput());
        if (m_output.size() > 4'000'000)
            m_output = m_output.right(2'000'000);
    });
    connect(m_process, &QProcess::readyReadStandardError, this, [this] {
        m_errors += QString::fromLocal8Bit(m_process->readAllStandardError());
        if (m_errors.size() > 100'000)
            m_errors = m_errors.right(50'000);
    });
    connect(m_process, &QProcess::finished, this, &VoiceAdaptation::stepFinished);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            fail(QStringLiteral("%1 did not start: %2").arg(m_steps[m_step].program, m_process->errorString()));
    });
    if (!m_timeout) {
        m_timeout = new QTimer(this);
        m_timeout->setSingleShot(true);
        connect(m_timeout, &QTimer::timeout, this, [this] {
            if (m_process)
                fail(QStringLiteral("%1 did not finish in %2 s").arg(QFileInfo(m_steps[m_step].program).fileName())
                         .arg(StepTimeoutMs / 1000));
        });
    }
    m_timeout->start(StepTimeoutMs);
    m_process->start(step.program, step.arguments);
}

namespace {

// The recordings (by index) an aligner's report says it followed. It
// exits 0 even when nothing matched, and reports one line per recording
// ("utt> 3 s004 ..."); only for a recording it aligned does that line
// carry the likelihoods before its timings ("... -1.77e+02 -5.81e+04 utt
// 0.018x ..."). A recording left out says "s004 ignored" or "utt s004 too
// short" on the other channel. A recording too short for any sentence
// leaves its line unfinished, so the report is cut at each "utt>" rather
// than at line ends.
QSet<int> alignedIn(const QString &output)
{
    static const QRegularExpression report(QStringLiteral(R"(utt>\s+\d+\s+s(\d+)((?:(?!utt>)[^\n])*))"));
    static const QRegularExpression likelihood(QStringLiteral(R"(\s-?\d+(?:\.\d+)?e[-+]\d+\s+utt\s)"));
    QSet<int> matched;
    for (auto it = report.globalMatch(output); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (likelihood.match(m.captured(2) + u' ').hasMatch())
            matched.insert(m.captured(1).toInt() - 1);
    }
    return matched;
}

// The lines of a file whose key (as `keyOf` finds it) is among `keys`,
// each through `change` when given.
bool copyLines(const QString &from, const QString &to, const QSet<QString> &keys,
               const std::function<QString(const QString &)> &keyOf,
               const std::function<QString(const QString &)> &change = {})
{
    QFile in(from);
    QSaveFile out(to);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text) || !out.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    while (!in.atEnd()) {
        const QByteArray line = in.readLine();
        const QString text = QString::fromUtf8(line).trimmed();
        if (keys.contains(keyOf(text)))
            out.write(change ? (change(text) + u'\n').toUtf8() : line);
    }
    return out.commit();
}

} // namespace

void VoiceAdaptation::stepFinished(int exitCode, QProcess::ExitStatus status)
{
    m_timeout->stop();
    m_output += QString::fromLocal8Bit(m_process->readAllStandardOutput());
    m_errors += QString::fromLocal8Bit(m_process->readAllStandardError());
    m_process->deleteLater();
    m_process = nullptr;
    const Task task = m_steps[m_step].task;
    const bool ended = status == QProcess::NormalExit && exitCode == 0;
    if (task == Task::Realign) {
        // The wider beam is a second chance, not a condition: where the
        // aligner gives out on it, the first run's counts stand alone.
        const QSet<int> more = ended ? alignedIn(m_output) : QSet<int>{};
        if (!more.isEmpty()) {
            m_aligned.unite(more);
            m_counts << m_realigned.last();
            for (qsizetype k = m_step + 1; k < m_steps.size(); ++k) {
                QStringList &arguments = m_steps[k].arguments;
                const qsizetype at = arguments.indexOf(QStringLiteral("-accumdir"));
                if (at >= 0 && at + 1 < arguments.size())
                    arguments[at + 1] = m_counts.join(u',');
            }
        }
        if (m_realigned.size() < 2 && realignTheRest(true)) {
            ++m_step;
            return runNext();
        }
        if (!checkAlignment())
            return;
        ++m_step;
        return runNext();
    }
    const QString name = QFileInfo(m_steps[m_step].program).fileName();
    if (!ended) {
        // The last lines say why.
        QStringList lines = (m_errors + u'\n' + m_output).trimmed().split(u'\n');
        lines.removeIf([](const QString &l) {
            return l.trimmed().isEmpty() || l.startsWith(QLatin1String("INFO:"));
        });
        const QString why = lines.mid(std::max<qsizetype>(0, lines.size() - 3)).join(u' ').simplified();
        return fail(QStringLiteral("%1 failed%2").arg(name, why.isEmpty() ? QString() : QStringLiteral(": ") + why));
    }
    if (task == Task::Align) {
        m_aligned = alignedIn(m_output);
        if (!realignTheRest(false) && !checkAlignment())
            return;
    }
    ++m_step;
    runNext();
}

bool VoiceAdaptation::realignTheRest(bool pauses)
{
    // The aligner keeps, at each frame, the paths within its beam of the
    // best. A voice far from the model's (an accent it never heard) drops
    // out of the default beam (1e-100) on some sentences it reads plainly,
    // most often where the speaker pauses or says a word otherwise than
    // the dictionary; a wider beam follows most of those. Wider than about
    // 1e-170 the aligner's own arithmetic gives out (it aborts), and on
    // recordings the default beam follows a wide one can lose its way: so
    // only the rest are run again, into counts of their own. The aligner
    // reads a sentence's words one after the other with no pause between
    // them; what it still loses is run once more with a short pause
    // between every two words.
    QSet<QString> rest;
    for (int i = 0; i < m_recordings.size(); ++i)
        if (!m_aligned.contains(i))
            rest.insert(QStringLiteral("s%1").arg(i + 1, 3, 10, QChar(u'0')));
    if (rest.isEmpty())
        return false;
    // "<s> a b </s> (s004)" -> "<s> a <sil> b </s> (s004)"
    const auto withPauses = [](const QString &line) {
        const qsizetype from = line.indexOf(QLatin1String("<s> ")), to = line.indexOf(QLatin1String(" </s>"));
        if (from < 0 || to < from + 4)
            return line;
        const QStringList words = line.mid(from + 4, to - from - 4).split(u' ', Qt::SkipEmptyParts);
        return line.left(from + 4) + words.join(QLatin1String(" <sil> ")) + line.mid(to);
    };
    const QString work = m_work->path();
    const QString name = pauses ? QStringLiteral("pauses") : QStringLiteral("wide");
    const QString control = work + QStringLiteral("/control-") + name;
    const QString transcription = work + QStringLiteral("/transcription-") + name;
    const QString counts = QStringLiteral("counts-") + name;
    // "<s> words </s> (s004)": the id in the last brackets.
    const auto idOfTranscript = [](const QString &line) {
        const qsizetype open = line.lastIndexOf(u'(');
        return open >= 0 && line.endsWith(u')') ? line.mid(open + 1, line.size() - open - 2) : QString();
    };
    if (!copyLines(work + QStringLiteral("/control"), control, rest, [](const QString &line) { return line; })
        || !copyLines(work + QStringLiteral("/transcription"), transcription, rest, idOfTranscript,
                      pauses ? withPauses : std::function<QString(const QString &)>{})
        || !QDir(work).mkpath(counts))
        return false;
    m_realigned << counts;
    m_steps.insert(m_step + 1, Step{trainer(QStringLiteral("bw")),
                                    alignArguments(control, transcription, work + u'/' + counts,
                                                   QString::fromLatin1(WideBeam)),
                                    pauses ? 65 : 60,
                                    QStringLiteral("Matching the recordings with their sentences"),
                                    Task::Realign});
    return true;
}

bool VoiceAdaptation::checkAlignment()
{
    m_unaligned.clear();
    for (int i = 0; i < m_recordings.size(); ++i)
        if (!m_aligned.contains(i))
            m_unaligned << m_recordings[i].sentence;
    const int aligned = int(m_recordings.size()) - int(m_unaligned.size());
    if (aligned < MinimumAligned || aligned * 3 < m_recordings.size() * 2) {
        fail(QStringLiteral("Only %1 of the %2 recordings matched their sentences; please record again: %3")
                 .arg(aligned)
                 .arg(m_recordings.size())
                 .arg(m_unaligned.mid(0, 5).join(QStringLiteral("; "))
                      + (m_unaligned.size() > 5 ? QStringLiteral("; …") : QString())),
             m_unaligned);
        return false;
    }
    return true;
}

void VoiceAdaptation::finish()
{
    Q_EMIT progress(98, QStringLiteral("Storing your voice"));
    const QString made = m_work->path() + QStringLiteral("/profile");
    const VoiceProfile check(made);
    if (!check.exists())
        return fail(QStringLiteral("The trainer's programs made no profile"));
    QString error;
    if (!VoiceProfile(m_profileFolder).install(made, &error))
        return fail(error);
    m_work.reset();
    m_step = -1;
    const QStringList unaligned = m_unaligned;
    Q_EMIT progress(100, QStringLiteral("Done"));
    Q_EMIT finished(m_profileFolder, unaligned);
}

void VoiceAdaptation::cancel()
{
    if (isRunning())
        fail(QStringLiteral("Stopped: your voice profile was not changed"));
}

void VoiceAdaptation::fail(const QString &message, const QStringList &redo)
{
    if (m_timeout)
        m_timeout->stop();
    if (m_process) {
        m_process->disconnect(this);
        m_process->kill();
        m_process->waitForFinished(2000);
        m_process->deleteLater();
        m_process = nullptr;
    }
    m_work.reset();
    m_step = -1;
    Q_EMIT failed(message, redo);
}

} // namespace kestrova::character
