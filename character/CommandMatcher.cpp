// Which command a phrase names, typed or heard: the sentences a grammar
// accepts, a typed word's slips, and the matcher over all the commands.
// The grammar's notation and the distance of a phrase to it are in
// VoiceGrammar.cpp.
#include "VoiceGrammar.h"

#include <algorithm>
#include <vector>

namespace kestrova::character {

namespace {

void collectWords(const GrammarNode &node, QStringList &words, bool &anyWords)
{
    if (node.kind == GrammarNode::Word && !words.contains(node.text))
        words << node.text;
    anyWords = anyWords || node.kind == GrammarNode::AnyWords;
    for (const auto &child : node.children)
        collectWords(*child, words, anyWords);
}

// Letters to insert, delete, change or swap with their neighbour to turn one
// word into the other.
int typoDistance(const QString &a, const QString &b)
{
    const qsizetype n = a.size(), m = b.size();
    std::vector<std::vector<int>> d(n + 1, std::vector<int>(m + 1));
    for (qsizetype i = 0; i <= n; ++i)
        d[i][0] = int(i);
    for (qsizetype j = 0; j <= m; ++j)
        d[0][j] = int(j);
    for (qsizetype i = 1; i <= n; ++i)
        for (qsizetype j = 1; j <= m; ++j) {
            const int change = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[n][m];
}

// The slips of the fingers a word of this length may take and still be
// that word: one letter in a short word (up to five letters), two in a
// middling one, three in a long one.
int slipsAllowed(qsizetype length)
{
    return length <= 5 ? 1 : length <= 9 ? 2 : 3;
}

// A slip of the fingers rather than another word.
bool typoOf(const QString &typed, const QString &word)
{
    const int allowed = slipsAllowed(std::max(typed.size(), word.size()));
    return std::abs(typed.size() - word.size()) <= allowed && typoDistance(typed, word) <= allowed;
}

// The fewest slips (letters inserted, deleted, changed or swapped with
// their neighbour) with which the word stands anywhere in the letters.
int slipsToFind(const QString &word, const QString &letters)
{
    const qsizetype n = word.size(), m = letters.size();
    // d[i][j]: the first i letters of the word ending at letter j, starting
    // wherever they like.
    std::vector<std::vector<int>> d(n + 1, std::vector<int>(m + 1, 0));
    for (qsizetype i = 1; i <= n; ++i) {
        d[i][0] = int(i);
        for (qsizetype j = 1; j <= m; ++j) {
            const int change = word[i - 1] == letters[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && word[i - 1] == letters[j - 2] && word[i - 2] == letters[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return *std::min_element(d[n].begin(), d[n].end());
}

// Short words ("a", "to", "my", letters of "a c o") say too little, and so
// do the articles and question words some grammars hold: "open the
// calendar" is the calendar though "what is the time" has a "the". So does
// the menus' "menu": "my office" names the menu by its caption.
bool saysLittle(const QString &word)
{
    static const QStringList words = {QStringLiteral("the"),  QStringLiteral("this"), QStringLiteral("that"),
                                      QStringLiteral("what"), QStringLiteral("whats"), QStringLiteral("now"),
                                      QStringLiteral("menu")};
    return word.size() < 3 || words.contains(word);
}

void addSentences(const GrammarNode &node, QList<QStringList> &out, int limit)
{
    // `out` holds the sentences so far; each grows by what the node says.
    switch (node.kind) {
    case GrammarNode::Word:
    case GrammarNode::AnyWords:
        for (QStringList &sentence : out)
            sentence << (node.kind == GrammarNode::Word ? node.text : QStringLiteral("..."));
        return;
    case GrammarNode::Sequence:
        for (const auto &child : node.children)
            addSentences(*child, out, limit);
        return;
    case GrammarNode::Choice:
    case GrammarNode::Optional: {
        QList<QStringList> all;
        if (node.kind == GrammarNode::Optional)
            all = out;
        for (const auto &child : node.children) {
            QList<QStringList> grown = out;
            addSentences(*child, grown, limit);
            all += grown;
            if (all.size() >= limit)
                break;
        }
        out = all.mid(0, limit);
        return;
    }
    }
}

} // namespace

QList<QStringList> grammarSentences(const GrammarNode &grammar, int limit)
{
    QList<QStringList> sentences{QStringList()};
    addSentences(grammar, sentences, limit);
    return sentences;
}

bool phraseSaysGrammar(const GrammarNode &grammar, const QString &normalisedPhrase)
{
    QString letters = normalisedPhrase;
    letters.remove(u' ');
    const QList<QStringList> sentences = grammarSentences(grammar);
    return std::any_of(sentences.begin(), sentences.end(), [&letters](const QStringList &sentence) {
        return std::all_of(sentence.begin(), sentence.end(), [&letters](const QString &word) {
            return word == u"..." || saysLittle(word) || slipsToFind(word, letters) <= slipsAllowed(word.size());
        });
    });
}

bool CommandMatcher::add(const QString &name, const QString &grammar, QString *error)
{
    ParsedGrammar parsed = parseVoiceGrammar(grammar);
    if (!parsed.ok()) {
        if (error)
            *error = parsed.error;
        return false;
    }
    Entry entry{name, std::move(parsed.root), {}, false};
    collectWords(*entry.root, entry.words, entry.anyWords);
    m_entries.push_back(std::move(entry));
    return true;
}

bool CommandMatcher::namesAnotherCommand(const Entry &best, const QString &word) const
{
    if (saysLittle(word) || best.words.contains(word))
        return false;
    for (const Entry &e : m_entries)
        if (&e != &best && e.words.contains(word))
            return true;
    for (const QString &own : best.words)
        if (typoOf(word, own))
            return false;
    for (const Entry &e : m_entries) {
        if (&e == &best)
            continue;
        for (const QString &other : e.words)
            if (typoOf(word, other))
                return true;
    }
    return false;
}

CommandMatcher::Match CommandMatcher::match(const QString &phrase,
                                            const std::optional<QStringList> &allowed) const
{
    const QString p = normalisePhrase(phrase);
    Match best;
    const Entry *bestEntry = nullptr;
    for (const Entry &e : m_entries) {
        if (allowed && !allowed->contains(e.name))
            continue;
        const int conf = phraseConfidence(*e.root, p);
        // Ties go to the command registered first.
        if (conf > best.confidence) {
            best.confidence = conf;
            best.name = e.name;
            bestEntry = &e;
        }
    }
    if (best.confidence <= -100 || !bestEntry)
        return Match{};
    if (best.confidence < 100 && !phraseSaysGrammar(*bestEntry->root, p))
        return Match{};
    if (best.confidence < 100 && !bestEntry->anyWords) {
        const QStringList words = p.split(u' ', Qt::SkipEmptyParts);
        for (const QString &word : words)
            if (namesAnotherCommand(*bestEntry, word))
                return Match{};
    }
    return best;
}

} // namespace kestrova::character
