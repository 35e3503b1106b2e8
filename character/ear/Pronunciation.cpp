#include "Pronunciation.h"

#include <QHash>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <array>
#include <functional>
#include <vector>

extern "C" {
#include <cst_lexicon.h>
#include <cst_lts.h>
#include <cst_val.h>

// Provided by libflite_cmulex; no installed header declares it.
cst_lexicon *cmu_lex_init(void);
}

namespace kestrova::character {

namespace {

// The phones of the US English acoustic model (its mdef, less the silence
// and noise units). Nothing outside this set may reach the recogniser's
// dictionary: an unknown phone makes the word unusable.
const QSet<QString> &modelPhones()
{
    static const QSet<QString> phones{
        u"AA"_qs, u"AE"_qs, u"AH"_qs, u"AO"_qs, u"AW"_qs, u"AY"_qs, u"B"_qs,
        u"CH"_qs, u"D"_qs,  u"DH"_qs, u"EH"_qs, u"ER"_qs, u"EY"_qs, u"F"_qs,
        u"G"_qs,  u"HH"_qs, u"IH"_qs, u"IY"_qs, u"JH"_qs, u"K"_qs,  u"L"_qs,
        u"M"_qs,  u"N"_qs,  u"NG"_qs, u"OW"_qs, u"OY"_qs, u"P"_qs,  u"R"_qs,
        u"S"_qs,  u"SH"_qs, u"T"_qs,  u"TH"_qs, u"UH"_qs, u"UW"_qs, u"V"_qs,
        u"W"_qs,  u"Y"_qs,  u"Z"_qs,  u"ZH"_qs};
    return phones;
}

// flite's letter-to-sound rules for US English. cmu_lex_init() fills in a
// static lexicon the first time; the function-local static makes that happen
// exactly once even when recognisers are set up on several threads. After
// that the rules are only read, and lts_apply keeps no state of its own.
const cst_lts_rules *ltsRules()
{
    static const cst_lts_rules *const rules = [] {
        const cst_lexicon *lexicon = cmu_lex_init();
        return lexicon ? lexicon->lts_rule_set : nullptr;
    }();
    return rules;
}

// One flite phone ("ax0", "ey1", "pau") in the model's set, or empty when it
// stands for silence or is something the model lacks.
QString modelPhone(const char *flitePhone)
{
    QString phone = QString::fromLatin1(flitePhone).toUpper();
    while (!phone.isEmpty() && phone.back().isDigit())
        phone.chop(1);  // stress marks
    if (phone == u"AX")
        phone = u"AH"_qs;  // flite's reduced vowel is the model's AH
    return modelPhones().contains(phone) ? phone : QString();
}

// The letter names, as the recogniser's dictionary writes them (the
// dictionary's first entry for "a" is the article, so they live here).
QString letterName(QChar letter)
{
    static const std::array<const char *, 26> names{
        "EY",     "B IY",  "S IY", "D IY",  "IY",   "EH F", "JH IY",
        "EY CH",  "AY",    "JH EY", "K EY", "EH L", "EH M", "EH N",
        "OW",     "P IY",  "K Y UW", "AA R", "EH S", "T IY", "Y UW",
        "V IY",   "D AH B AH L Y UW", "EH K S", "W AY", "Z IY"};
    const int index = letter.unicode() - 'a';
    if (index < 0 || index >= int(names.size()))
        return {};
    return QString::fromLatin1(names[size_t(index)]);
}

QString spelled(const QString &letters)
{
    QStringList phones;
    for (QChar letter : letters) {
        const QString name = letterName(letter);
        if (!name.isEmpty())
            phones << name;
    }
    return phones.join(u' ');
}

bool hasVowel(const QString &letters)
{
    for (QChar c : letters) {
        if (QStringView(u"aeiouy").contains(c))
            return true;
    }
    return false;
}

const char *const kOnes[] = {"zero",    "one",     "two",       "three",    "four",
                             "five",    "six",     "seven",     "eight",    "nine",
                             "ten",     "eleven",  "twelve",    "thirteen", "fourteen",
                             "fifteen", "sixteen", "seventeen", "eighteen", "nineteen"};
const char *const kTens[] = {"",      "",      "twenty",  "thirty", "forty",
                             "fifty", "sixty", "seventy", "eighty", "ninety"};

// 1..999 as words ("three hundred sixty five"; US style, no "and").
void belowThousand(int n, QStringList &words)
{
    if (n >= 100) {
        words << QString::fromLatin1(kOnes[n / 100]) << u"hundred"_qs;
        n %= 100;
    }
    if (n >= 20) {
        words << QString::fromLatin1(kTens[n / 10]);
        n %= 10;
        if (n > 0)
            words << QString::fromLatin1(kOnes[n]);
    } else if (n > 0) {
        words << QString::fromLatin1(kOnes[n]);
    }
}

// The words a run of digits is read as: the number it spells, or digit by
// digit when it has a leading zero ("007") or is too long to be read as a
// number ("5551234").
QStringList numberWords(const QString &digits)
{
    QStringList words;
    if (digits.size() > 6 || (digits.size() > 1 && digits.front() == u'0')) {
        for (QChar d : digits)
            words << QString::fromLatin1(kOnes[d.unicode() - '0']);
        return words;
    }
    const int n = digits.toInt();
    if (n == 0)
        return {u"zero"_qs};
    if (n >= 1000) {
        belowThousand(n / 1000, words);
        words << u"thousand"_qs;
    }
    belowThousand(n % 1000, words);
    return words;
}

// The best split of `letters` into 2..4 words the lookup knows (of three
// letters or more, or a common short word): fewest parts,
// then the longest shortest part (short dictionary entries are mostly
// abbreviations, the likeliest wrong reading), then the longer leading part.
QString compound(const QString &letters, const PhoneLookup &lookup)
{
    constexpr int kMaxParts = 4;
    const int n = int(letters.size());
    if (n < 2)
        return {};

    // Phones of every substring the lookup knows, asked once each.
    QHash<QPair<int, int>, QString> known;
    auto partPhones = [&](int from, int length) -> QString {
        const auto key = qMakePair(from, length);
        auto it = known.constFind(key);
        if (it != known.constEnd())
            return *it;
        const QString part = letters.mid(from, length);
        QString phones;
        // Two-letter dictionary entries are mostly abbreviations and odd
        // spellings ("calen" + "dar"): only common short words take part.
        static const QStringList shortWords = {u"a"_qs,  u"i"_qs,  u"my"_qs, u"in"_qs, u"on"_qs, u"up"_qs,
                                               u"go"_qs, u"to"_qs, u"of"_qs, u"no"_qs, u"me"_qs, u"we"_qs,
                                               u"tv"_qs, u"pc"_qs, u"it"_qs, u"is"_qs, u"at"_qs, u"by"_qs};
        if (length >= 3 || shortWords.contains(part))
            phones = lookup(part);
        known.insert(key, phones);
        return phones;
    };

    for (int parts = 2; parts <= kMaxParts && parts <= n; ++parts) {
        std::vector<int> lengths, best;
        int bestShortest = 0;
        // Depth-first over the cut points; `lengths` holds the parts so far.
        std::function<void(int, int)> search = [&](int from, int left) {
            if (left == 1) {
                const int length = n - from;
                if (partPhones(from, length).isEmpty())
                    return;
                lengths.push_back(length);
                int shortest = n;
                for (int l : lengths)
                    shortest = std::min(shortest, l);
                // Earlier candidates have longer leading parts, so only a
                // strictly better shortest part replaces one.
                if (best.empty() || shortest > bestShortest) {
                    best = lengths;
                    bestShortest = shortest;
                }
                lengths.pop_back();
                return;
            }
            for (int length = n - from - (left - 1); length >= 1; --length) {
                if (partPhones(from, length).isEmpty())
                    continue;
                lengths.push_back(length);
                search(from + length, left - 1);
                lengths.pop_back();
            }
        };
        search(0, parts);
        if (!best.empty()) {
            QStringList phones;
            int from = 0;
            for (int length : best) {
                phones << partPhones(from, length);
                from += length;
            }
            return phones.join(u' ');
        }
    }
    return {};
}

// A run of letters read as a word.
QString letterRun(const QString &letters, const PhoneLookup &lookup)
{
    if (QString phones = lookup(letters); !phones.isEmpty())
        return phones;
    if (QString phones = compound(letters, lookup); !phones.isEmpty())
        return phones;
    // A lone letter, or a short run with no vowel ("vlc", "hp"), is an
    // initialism; the rules would run its consonants together.
    if (letters.size() == 1 || (letters.size() <= 4 && !hasVowel(letters)))
        return spelled(letters);
    if (QString phones = letterToSound(letters); !phones.isEmpty())
        return phones;
    return spelled(letters);
}

} // namespace

QString letterToSound(const QString &word)
{
    // The rules index their tables by letter; anything outside a-z would
    // read past them.
    QByteArray letters;
    letters.reserve(word.size());
    for (QChar c : word.toLower()) {
        if (c >= u'a' && c <= u'z')
            letters.append(char(c.unicode()));
    }
    const cst_lts_rules *rules = ltsRules();
    if (letters.isEmpty() || !rules)
        return {};

    cst_val *flitePhones = lts_apply(letters.constData(), "", rules);
    QStringList phones;
    for (const cst_val *p = flitePhones; p; p = val_cdr(p)) {
        const QString phone = modelPhone(val_string(val_car(p)));
        if (!phone.isEmpty())
            phones << phone;
    }
    delete_val(flitePhones);
    return phones.join(u' ');
}

QString guessPronunciation(const QString &word, const PhoneLookup &lookup)
{
    QString clean;
    for (QChar c : word.toLower()) {
        if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
            clean.append(c);
    }
    if (clean.isEmpty())
        return {};
    if (QString phones = lookup(clean); !phones.isEmpty())
        return phones;

    // Alternating runs of letters and digits.
    QStringList runs;
    for (QChar c : clean) {
        if (!runs.isEmpty() && runs.back().back().isDigit() == c.isDigit())
            runs.back().append(c);
        else
            runs << QString(c);
    }
    if (runs.size() == 1 && !clean.front().isDigit())
        return letterRun(clean, lookup);

    QStringList phones;
    for (const QString &run : std::as_const(runs)) {
        if (run.front().isDigit()) {
            for (const QString &number : numberWords(run)) {
                QString numberPhones = lookup(number);
                phones << (numberPhones.isEmpty() ? letterToSound(number) : numberPhones);
            }
        } else if (run.size() <= 3) {
            // Next to digits a short run is a name's letters ("mp3", "ps4")
            // unless it is a word ("win10").
            const QString known = hasVowel(run) ? lookup(run) : QString();
            phones << (known.isEmpty() ? spelled(run) : known);
        } else {
            phones << letterRun(run, lookup);
        }
    }
    phones.removeAll(QString());
    return phones.join(u' ');
}

} // namespace kestrova::character
