#pragma once

// Voice grammars in the notation of the command table:
//   [optional words]   (one|of|these)   a|b at the top   ...  (any words)
// Words may be glued to brackets ("quit[program|application]"). A grammar
// is parsed once into a tree; from the tree come the matcher that scores a
// typed or recognised phrase, and later the grammar handed to a speech
// recogniser. Knows nothing of widgets.

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace kestrova::character {

struct GrammarNode {
    enum Kind {
        Word,         // text
        AnyWords,     // "..."
        Sequence,     // children in order
        Choice,       // one of the children
        Optional,     // its one child, or nothing
    };
    Kind kind = Sequence;
    QString text;                                  // Word: lower case
    std::vector<std::unique_ptr<GrammarNode>> children;
};

struct ParsedGrammar {
    std::unique_ptr<GrammarNode> root;
    QString error;   // empty when parsed
    bool ok() const { return root != nullptr; }
};

// Parses a grammar. An unbalanced bracket, an empty choice or an empty
// grammar gives an error that says what and where.
ParsedGrammar parseVoiceGrammar(const QString &grammar);

// The grammar as text in the same notation, normalised (for logs and tests).
QString grammarToText(const GrammarNode &node);

// A phrase reduced to what matching looks at: lower-case words of letters
// and digits, one blank apart, with hyphens and punctuation dropped
// ("Check E-mail!" -> "check email").
QString normalisePhrase(const QString &phrase);

// How far the phrase is from the nearest sentence the grammar accepts: the
// least number of letters to insert, delete or change (words may be split or
// glued freely; "..." takes any letters at no cost). 0 is an exact match.
int grammarDistance(const GrammarNode &grammar, const QString &normalisedPhrase);

// The confidence -100..100 of a match `distance` letters off, relative to
// the letters that had to match: 100 for an exact match.
int confidenceFor(int distance, int reference);

// The confidence of a phrase (normalised) against one grammar.
int phraseConfidence(const GrammarNode &grammar, const QString &normalisedPhrase);

// The sentences the grammar accepts, each as its words in order, "..."
// standing as a word of its own; at most `limit` of them.
QList<QStringList> grammarSentences(const GrammarNode &grammar, int limit = 1000);

// Whether the phrase (normalised) holds every word of the grammar that
// carries meaning, in one of the grammar's sentences: each as typed, with a
// slip of the fingers, or split or glued to its neighbours. Short words and
// articles may be left out. "tell me a joke" is close in letters to "tell
// me the time" but lacks "time": it says something else.
bool phraseSaysGrammar(const GrammarNode &grammar, const QString &normalisedPhrase);

// Matches a phrase against many grammars at once.
class CommandMatcher {
public:
    // Adds a grammar under a command name; false (and *error set) when the
    // grammar does not parse, in which case the command is not matched.
    bool add(const QString &name, const QString &grammar, QString *error = nullptr);
    void clear() { m_entries.clear(); }

    struct Match {
        QString name;       // empty when nothing is close
        int confidence = -100;
    };
    // The best command for the phrase. Only names in `allowed` take part when
    // it is given (the enabled commands). A phrase that names a word of
    // another command's grammar (every command's, allowed or not), or a
    // word nearer to one of those than to any of the best command's own,
    // gets nothing: "open calculator" never runs the calendar because the
    // letters are close. Grammars that take any words ("...") take such
    // words too. Nor does a phrase that lacks a word the best command needs
    // (phraseSaysGrammar): a sentence that is not a command is not taken
    // for the nearest one.
    Match match(const QString &phrase, const std::optional<QStringList> &allowed = std::nullopt) const;

private:
    struct Entry {
        QString name;
        std::unique_ptr<GrammarNode> root;
        QStringList words;       // the grammar's words
        bool anyWords = false;   // it has "..."
    };
    // Whether a word of the phrase speaks for another command than `best`.
    bool namesAnotherCommand(const Entry &best, const QString &word) const;
    std::vector<Entry> m_entries;
};

} // namespace kestrova::character
