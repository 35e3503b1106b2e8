// kestrova-voice-prep: the parts of learning a voice that sphinxtrain's
// programs cannot do on Debian's model, done with the decoder's own
// libraries.
//
//   kestrova-voice-prep <model-dir> <dictionary> <list> <work-dir>
//
// <list> holds one recording a line: "id TAB file.wav TAB sentence" (16 kHz
// mono). Writes into <work-dir>:
//   mdef.txt         the model definition as text, which the trainer reads;
//   mixture_weights  the weights the model keeps only in its compact
//                    sendump form, in the trainer's format;
//   feat/<id>.mfc    each recording's features, made with the model's own
//                    front-end settings;
//   control, transcription, dictionary   the trainer's lists: the ids, the
//                    sentences' words, every reading of those words (a
//                    guessed one for words the dictionary lacks).
//
// Exit status 0 on success; otherwise one line on stderr says what failed.

#include "PronouncingDictionary.h"
#include "Pronunciation.h"
#include "WavFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QSaveFile>
#include <QTextStream>

#include <pocketsphinx.h>
#include <sphinxbase/cmd_ln.h>
#include <sphinxbase/err.h>
#include <sphinxbase/fe.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

extern "C" {
// Exported by libpocketsphinx, declared in a header Debian does not ship.
typedef struct bin_mdef_s bin_mdef_t;
bin_mdef_t *bin_mdef_read(cmd_ln_t *config, const char *filename);
int bin_mdef_write_text(bin_mdef_t *m, const char *filename);
int bin_mdef_free(bin_mdef_t *m);
}

namespace {

int fail(const QString &why)
{
    std::fprintf(stderr, "%s\n", qPrintable(why));
    return 1;
}

// The model's front-end settings (feat.params) that the feature maker
// knows, as arguments.
QList<QByteArray> frontEndArguments(const QString &modelDir)
{
    static const QList<QByteArray> known = {"-lowerf", "-upperf", "-nfilt", "-transform", "-lifter", "-ncep",
                                            "-wlen", "-frate", "-alpha", "-dither", "-nfft"};
    QList<QByteArray> args;
    QFile params(modelDir + QStringLiteral("/feat.params"));
    if (params.open(QIODevice::ReadOnly)) {
        while (!params.atEnd()) {
            const QList<QByteArray> words = params.readLine().simplified().split(' ');
            if (words.size() == 2 && known.contains(words[0]))
                args << words[0] << words[1];
        }
    }
    // The decoder runs with the noise removal off and 16 kHz input: the
    // features it learns from must be made alike.
    args << "-samprate" << "16000" << "-remove_noise" << "no";
    return args;
}

// The sendump's weights: per stream and codeword a byte per senone, the
// weight being 1.0001^-(v * 1024).
bool readSendump(const QString &path, int &streams, int &codewords, int &senones, std::vector<unsigned char> &values,
                 QString *why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray data = file.readAll();
    qsizetype at = 0;
    auto int32At = [&](qint32 &out) {
        if (at + 4 > data.size())
            return false;
        std::memcpy(&out, data.constData() + at, 4);
        at += 4;
        return true;
    };
    streams = 0;
    codewords = 0;
    senones = 0;
    int clusters = -1;
    for (int item = 0;; ++item) {
        qint32 length = 0;
        if (!int32At(length) || length < 0 || at + length > data.size()) {
            *why = QStringLiteral("%1 is not a weights file this program knows").arg(path);
            return false;
        }
        if (length == 0)
            break;
        const QByteArray text(data.constData() + at, qstrnlen(data.constData() + at, length));
        at += length;
        if (item < 2)
            continue; // title and format description
        const QList<QByteArray> words = text.split(' ');
        if (words.size() < 2)
            continue;
        if (words[0] == "feature_count")
            streams = words[1].toInt();
        else if (words[0] == "mixture_count")
            codewords = words[1].toInt();
        else if (words[0] == "model_count")
            senones = words[1].toInt();
        else if (words[0] == "cluster_count")
            clusters = words[1].toInt();
    }
    if (clusters == 0) {
        qint32 rows = 0, columns = 0;
        if (!int32At(rows) || !int32At(columns)) {
            *why = QStringLiteral("%1 ends early").arg(path);
            return false;
        }
        codewords = rows;
        senones = columns;
    }
    if (clusters != 0 || streams <= 0 || codewords <= 0 || senones <= 0) {
        *why = QStringLiteral("%1 is a kind of weights file this program does not read").arg(path);
        return false;
    }
    const qsizetype count = qsizetype(streams) * codewords * senones;
    if (at + count > data.size()) {
        *why = QStringLiteral("%1 ends early").arg(path);
        return false;
    }
    values.assign(data.constData() + at, data.constData() + at + count);
    return true;
}

// The weights in the trainer's own file format: senone, stream, codeword.
bool writeMixtureWeights(const QString &path, int streams, int codewords, int senones,
                         const std::vector<unsigned char> &values, QString *why)
{
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) {
        *why = QStringLiteral("%1: %2").arg(path, out.errorString());
        return false;
    }
    out.write("s3\nversion 1.0\nendhdr\n");
    auto put32 = [&out](quint32 v) { out.write(reinterpret_cast<const char *>(&v), 4); };
    put32(0x11223344u);
    put32(quint32(senones));
    put32(quint32(streams));
    put32(quint32(codewords));
    put32(quint32(senones * streams * codewords));
    std::vector<float> row(static_cast<std::size_t>(codewords));
    const double logBase = std::log(1.0001);
    for (int s = 0; s < senones; ++s) {
        for (int f = 0; f < streams; ++f) {
            for (int c = 0; c < codewords; ++c) {
                const unsigned v = values[(std::size_t(f) * codewords + c) * senones + s];
                row[std::size_t(c)] = float(std::exp(-double(v) * 1024.0 * logBase));
            }
            out.write(reinterpret_cast<const char *>(row.data()), qint64(row.size() * sizeof(float)));
        }
    }
    if (!out.commit()) {
        *why = QStringLiteral("%1: %2").arg(path, out.errorString());
        return false;
    }
    return true;
}

int prepareModel(const QString &modelDir, const QString &outDir)
{
    QDir().mkpath(outDir);
    cmd_ln_t *config = cmd_ln_init(nullptr, ps_args(), FALSE, nullptr);
    bin_mdef_t *mdef = config ? bin_mdef_read(config, QFile::encodeName(modelDir + QStringLiteral("/mdef")).constData())
                              : nullptr;
    if (!mdef) {
        if (config)
            cmd_ln_free_r(config);
        return fail(QStringLiteral("The speech model's definition (%1/mdef) cannot be read").arg(modelDir));
    }
    const int wrote = bin_mdef_write_text(mdef, QFile::encodeName(outDir + QStringLiteral("/mdef.txt")).constData());
    bin_mdef_free(mdef);
    cmd_ln_free_r(config);
    if (wrote != 0)
        return fail(QStringLiteral("Cannot write %1/mdef.txt").arg(outDir));

    int streams = 0, codewords = 0, senones = 0;
    std::vector<unsigned char> values;
    QString why;
    if (!readSendump(modelDir + QStringLiteral("/sendump"), streams, codewords, senones, values, &why)
        || !writeMixtureWeights(outDir + QStringLiteral("/mixture_weights"), streams, codewords, senones, values, &why))
        return fail(why);
    return 0;
}

// A sentence's words as the dictionary spells them: lower case, letters,
// digits and apostrophes.
QStringList sentenceWords(const QString &sentence)
{
    QStringList words;
    for (QString w : sentence.toLower().split(QRegularExpression(QStringLiteral("[^a-z0-9']+")), Qt::SkipEmptyParts)) {
        while (w.startsWith(u'\''))
            w.remove(0, 1);
        while (w.endsWith(u'\''))
            w.chop(1);
        if (!w.isEmpty())
            words << w;
    }
    return words;
}

bool writeLines(const QString &path, const QStringList &lines)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (const QString &line : lines)
        file.write(line.toUtf8() + '\n');
    return file.commit();
}

int makeFeatures(const QString &modelDir, const QString &dictionaryPath, const QString &listPath, const QString &workDir)
{
    const QString featureDir = workDir + QStringLiteral("/feat");
    QStringList ids, transcripts;
    QSet<QString> vocabulary;
    QFile list(listPath);
    if (!list.open(QIODevice::ReadOnly | QIODevice::Text))
        return fail(QStringLiteral("%1: %2").arg(listPath, list.errorString()));
    QDir().mkpath(featureDir);

    const QList<QByteArray> args = frontEndArguments(modelDir);
    std::vector<const char *> argv;
    for (const QByteArray &a : args)
        argv.push_back(a.constData());
    cmd_ln_t *config = cmd_ln_parse_r(nullptr, fe_get_args(), int(argv.size()), const_cast<char **>(argv.data()), FALSE);
    fe_t *fe = config ? fe_init_auto_r(config) : nullptr;
    if (!fe) {
        if (config)
            cmd_ln_free_r(config);
        return fail(QStringLiteral("The feature maker refused the model's settings (%1/feat.params)").arg(modelDir));
    }
    const int ceps = fe_get_output_size(fe);
    int status = 0;
    QTextStream lines(&list);
    while (!lines.atEnd() && status == 0) {
        const QString line = lines.readLine();
        if (line.trimmed().isEmpty())
            continue;
        const QStringList fields = line.split(u'\t');
        if (fields.size() != 3 || fields[0].isEmpty() || fields[0].contains(u'/')
            || fields[0].contains(QRegularExpression(QStringLiteral("\\s")))) {
            status = fail(QStringLiteral("%1: a line is not \"id TAB file TAB sentence\": %2").arg(listPath, line.left(80)));
            break;
        }
        const QStringList words = sentenceWords(fields[2]);
        if (words.isEmpty()) {
            status = fail(QStringLiteral("%1: the sentence for %2 has no words").arg(listPath, fields[0]));
            break;
        }
        ids << fields[0];
        transcripts << QStringLiteral("<s> %1 </s> (%2)").arg(words.join(u' '), fields[0]);
        for (const QString &w : words)
            vocabulary.insert(w);
        QString error;
        const auto samples = kestrova::character::readWav16kMono(fields[1], &error);
        if (!samples) {
            status = fail(error);
            break;
        }
        fe_start_utt(fe);
        mfcc_t **cep = nullptr;
        int32 frames = 0;
        if (fe_process_utt(fe, samples->data(), samples->size(), &cep, &frames) < 0) {
            status = fail(QStringLiteral("%1: no features could be made").arg(fields[1]));
            break;
        }
        std::vector<float> out(std::size_t(frames) * ceps);
        for (int32 i = 0; i < frames; ++i)
            for (int c = 0; c < ceps; ++c)
                out[std::size_t(i) * ceps + c] = float(cep[i][c]);
        fe_free_2d(cep);
        std::vector<mfcc_t> last(static_cast<std::size_t>(ceps));
        int32 tail = 0;
        fe_end_utt(fe, last.data(), &tail);
        if (tail > 0)
            for (int c = 0; c < ceps; ++c)
                out.push_back(float(last[std::size_t(c)]));

        QSaveFile file(featureDir + u'/' + fields[0] + QStringLiteral(".mfc"));
        const qint32 count = qint32(out.size());
        if (!file.open(QIODevice::WriteOnly) || file.write(reinterpret_cast<const char *>(&count), 4) != 4
            || file.write(reinterpret_cast<const char *>(out.data()), qint64(out.size() * sizeof(float)))
                   != qint64(out.size() * sizeof(float))
            || !file.commit())
            status = fail(QStringLiteral("%1: %2").arg(file.fileName(), file.errorString()));
    }
    fe_free(fe);
    cmd_ln_free_r(config);
    if (status != 0)
        return status;
    if (ids.isEmpty())
        return fail(QStringLiteral("%1 lists no recordings").arg(listPath));

    kestrova::character::PronouncingDictionary dictionary;
    QString error;
    if (!dictionary.load(dictionaryPath, &error))
        return fail(error);
    QStringList sorted(vocabulary.begin(), vocabulary.end());
    sorted.sort();
    QStringList entries;
    for (const QString &word : std::as_const(sorted)) {
        QStringList readings = dictionary.readings(word);
        if (readings.isEmpty())
            readings << kestrova::character::guessPronunciation(
                word, [&dictionary](const QString &w) { return dictionary.phones(w); });
        for (int i = 0; i < readings.size(); ++i)
            entries << (i == 0 ? word : QStringLiteral("%1(%2)").arg(word).arg(i + 1)) + u' ' + readings[i];
    }
    if (!writeLines(workDir + QStringLiteral("/control"), ids)
        || !writeLines(workDir + QStringLiteral("/transcription"), transcripts)
        || !writeLines(workDir + QStringLiteral("/dictionary"), entries))
        return fail(QStringLiteral("Cannot write the trainer's lists into %1").arg(workDir));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    err_set_logfp(nullptr);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 4)
        return fail(QStringLiteral("usage: kestrova-voice-prep <model-dir> <dictionary> <list> <work-dir>"));
    if (const int status = prepareModel(args[0], args[3]))
        return status;
    return makeFeatures(args[0], args[1], args[2], args[3]);
}
