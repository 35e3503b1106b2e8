// The voice grammar's notation: its parser, its text, and how far a phrase
// is from what a grammar accepts (a small automaton over letters). Which
// command a phrase names, typed or heard, is in CommandMatcher.cpp.
#include "VoiceGrammar.h"

#include <QRegularExpression>
#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace kestrova::character {

namespace {

// ---- Tokens and parsing -------------------------------------------------

struct Token {
    enum Kind { Word, Any, OpenOptional, CloseOptional, OpenGroup, CloseGroup, Bar, End };
    Kind kind;
    QString text;
    qsizetype at; // position in the grammar, for messages
};

QString wordKey(QStringView raw)
{
    QString out;
    for (QChar c : raw)
        if (c.isLetterOrNumber())
            out += c.toLower();
    return out;
}

std::vector<Token> tokenise(const QString &g)
{
    std::vector<Token> tokens;
    qsizetype i = 0;
    while (i < g.size()) {
        const QChar c = g.at(i);
        if (c.isSpace()) { ++i; continue; }
        if (g.mid(i, 3) == u"...") { tokens.push_back({Token::Any, {}, i}); i += 3; continue; }
        Token::Kind k = Token::End;
        switch (c.unicode()) {
        case '[': k = Token::OpenOptional; break;
        case ']': k = Token::CloseOptional; break;
        case '(': k = Token::OpenGroup; break;
        case ')': k = Token::CloseGroup; break;
        case '|': k = Token::Bar; break;
        default: break;
        }
        if (k != Token::End) { tokens.push_back({k, {}, i}); ++i; continue; }
        const qsizetype start = i;
        while (i < g.size() && !g.at(i).isSpace() && !QStringView(u"[]()|").contains(g.at(i))
               && g.mid(i, 3) != u"...")
            ++i;
        const QString key = wordKey(QStringView(g).mid(start, i - start));
        if (!key.isEmpty()) // a lone hyphen or full stop says nothing to match
            tokens.push_back({Token::Word, key, start});
    }
    tokens.push_back({Token::End, {}, g.size()});
    return tokens;
}

class Parser {
public:
    explicit Parser(const QString &grammar) : m_tokens(tokenise(grammar)) {}

    std::unique_ptr<GrammarNode> parse(QString *error)
    {
        auto root = alternatives(Token::End);
        if (!m_error.isEmpty()) { *error = m_error; return nullptr; }
        if (peek().kind != Token::End) {
            fail(QStringLiteral("unexpected \"%1\"").arg(symbol(peek())), peek().at);
            *error = m_error;
            return nullptr;
        }
        return root;
    }

private:
    const Token &peek() const { return m_tokens[m_pos]; }
    const Token &next() { return m_tokens[m_pos++]; }

    static QString symbol(const Token &t)
    {
        switch (t.kind) {
        case Token::OpenOptional: return QStringLiteral("[");
        case Token::CloseOptional: return QStringLiteral("]");
        case Token::OpenGroup: return QStringLiteral("(");
        case Token::CloseGroup: return QStringLiteral(")");
        case Token::Bar: return QStringLiteral("|");
        case Token::Any: return QStringLiteral("...");
        case Token::Word: return t.text;
        case Token::End: return QStringLiteral("end");
        }
        return {};
    }

    void fail(const QString &what, qsizetype at)
    {
        if (m_error.isEmpty())
            m_error = QStringLiteral("%1 at character %2").arg(what).arg(at + 1);
    }

    std::unique_ptr<GrammarNode> alternatives(Token::Kind closing)
    {
        std::vector<std::unique_ptr<GrammarNode>> choices;
        for (;;) {
            const qsizetype at = peek().at;
            auto seq = sequence();
            if (!seq) {
                fail(closing == Token::CloseOptional ? QStringLiteral("empty optional part")
                     : closing == Token::CloseGroup  ? QStringLiteral("empty choice")
                                                     : QStringLiteral("empty grammar or choice"),
                     at);
                return nullptr;
            }
            choices.push_back(std::move(seq));
            if (peek().kind != Token::Bar)
                break;
            next();
        }
        if (choices.size() == 1)
            return std::move(choices.front());
        auto choice = std::make_unique<GrammarNode>();
        choice->kind = GrammarNode::Choice;
        choice->children = std::move(choices);
        return choice;
    }

    // One or more items; null when there are none.
    std::unique_ptr<GrammarNode> sequence()
    {
        auto seq = std::make_unique<GrammarNode>();
        seq->kind = GrammarNode::Sequence;
        for (;;) {
            const Token &t = peek();
            if (t.kind == Token::Word) {
                auto w = std::make_unique<GrammarNode>();
                w->kind = GrammarNode::Word;
                w->text = next().text;
                seq->children.push_back(std::move(w));
            } else if (t.kind == Token::Any) {
                next();
                auto a = std::make_unique<GrammarNode>();
                a->kind = GrammarNode::AnyWords;
                seq->children.push_back(std::move(a));
            } else if (t.kind == Token::OpenOptional || t.kind == Token::OpenGroup) {
                const Token open = next();
                const Token::Kind closing =
                    open.kind == Token::OpenOptional ? Token::CloseOptional : Token::CloseGroup;
                auto inner = alternatives(closing);
                if (!inner)
                    return nullptr;
                if (peek().kind != closing) {
                    fail(QStringLiteral("\"%1\" is not closed").arg(symbol(open)), open.at);
                    return nullptr;
                }
                next();
                if (closing == Token::CloseOptional) {
                    auto opt = std::make_unique<GrammarNode>();
                    opt->kind = GrammarNode::Optional;
                    opt->children.push_back(std::move(inner));
                    seq->children.push_back(std::move(opt));
                } else {
                    seq->children.push_back(std::move(inner));
                }
            } else if (t.kind == Token::CloseOptional || t.kind == Token::CloseGroup) {
                // Belongs to an enclosing bracket, or is unmatched (reported
                // by the caller that finds it left over).
                break;
            } else {
                break; // "|" or the end
            }
            if (!m_error.isEmpty())
                return nullptr;
        }
        if (seq->children.empty())
            return nullptr;
        if (seq->children.size() == 1)
            return std::move(seq->children.front());
        return seq;
    }

    std::vector<Token> m_tokens;
    size_t m_pos = 0;
    QString m_error;
};

// ---- The grammar as a letter automaton ----------------------------------

struct Automaton {
    // letter 0: no letter (free). A boundary edge (into or out of "...")
    // is only taken between words of the phrase, so "..." swallows whole
    // words and never the first letters of a command word.
    struct Edge { int to; QChar letter; bool boundary = false; };
    std::vector<std::vector<Edge>> edges;
    std::vector<bool> anyLoop; // takes any letter at no cost and stays
    int start = 0;
    int end = 0;

    int add()
    {
        edges.emplace_back();
        anyLoop.push_back(false);
        return int(edges.size()) - 1;
    }
    void link(int from, int to, QChar letter = QChar(), bool boundary = false)
    {
        edges[from].push_back({to, letter, boundary});
    }

    // Builds the node from state `from`; returns the state after it.
    int build(const GrammarNode &n, int from)
    {
        switch (n.kind) {
        case GrammarNode::Word: {
            int s = from;
            for (QChar c : n.text) {
                const int t = add();
                link(s, t, c);
                s = t;
            }
            return s;
        }
        case GrammarNode::AnyWords: {
            const int s = add();
            anyLoop[s] = true;
            link(from, s, QChar(), true);
            const int out = add();
            link(s, out, QChar(), true);
            return out;
        }
        case GrammarNode::Sequence: {
            int s = from;
            for (const auto &c : n.children)
                s = build(*c, s);
            return s;
        }
        case GrammarNode::Choice: {
            const int out = add();
            for (const auto &c : n.children) {
                const int in = add();
                link(from, in);
                link(build(*c, in), out);
            }
            return out;
        }
        case GrammarNode::Optional: {
            const int in = add();
            link(from, in);
            const int out = build(*n.children.front(), in);
            link(from, out);
            return out;
        }
        }
        return from;
    }
};

constexpr int Infinite = INT_MAX / 4;

// Spreads costs along free edges (cost 0) and along letters the phrase
// lacks (cost 1 each) until nothing improves.
void settle(const Automaton &a, std::vector<int> &cost, bool atBoundary)
{
    bool changed = true;
    while (changed) {
        changed = false;
        for (int s = 0; s < int(cost.size()); ++s) {
            if (cost[s] >= Infinite)
                continue;
            for (const auto &e : a.edges[s]) {
                if (e.boundary && !atBoundary)
                    continue;
                const int c = cost[s] + (e.letter.isNull() ? 0 : 1);
                if (c < cost[e.to]) {
                    cost[e.to] = c;
                    changed = true;
                }
            }
        }
    }
}

} // namespace

ParsedGrammar parseVoiceGrammar(const QString &grammar)
{
    ParsedGrammar out;
    Parser parser(grammar);
    out.root = parser.parse(&out.error);
    return out;
}

QString grammarToText(const GrammarNode &n)
{
    switch (n.kind) {
    case GrammarNode::Word: return n.text;
    case GrammarNode::AnyWords: return QStringLiteral("...");
    case GrammarNode::Sequence: {
        QStringList parts;
        for (const auto &c : n.children)
            parts << grammarToText(*c);
        return parts.join(u' ');
    }
    case GrammarNode::Choice: {
        QStringList parts;
        for (const auto &c : n.children)
            parts << grammarToText(*c);
        return u'(' + parts.join(u'|') + u')';
    }
    case GrammarNode::Optional: {
        QString inner = grammarToText(*n.children.front());
        if (inner.startsWith(u'(') && inner.endsWith(u')') && n.children.front()->kind == GrammarNode::Choice)
            inner = inner.mid(1, inner.size() - 2);
        return u'[' + inner + u']';
    }
    }
    return {};
}

QString normalisePhrase(const QString &phrase)
{
    QStringList words;
    for (const QString &w : phrase.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        const QString key = wordKey(w);
        if (!key.isEmpty())
            words << key;
    }
    return words.join(u' ');
}

namespace {

struct Distance {
    int letters = 0;     // letters inserted, deleted or changed
    int shortest = 0;    // letters of the shortest sentence the grammar accepts
    bool hasAnyWords = false;
};

Distance measure(const GrammarNode &grammar, const QString &phrase)
{
    Automaton a;
    a.start = a.add();
    a.end = a.build(grammar, a.start);

    std::vector<int> cost(a.edges.size(), Infinite);
    cost[a.start] = 0;
    settle(a, cost, true);
    Distance out;
    out.shortest = cost[a.end];
    out.hasAnyWords = std::find(a.anyLoop.begin(), a.anyLoop.end(), true) != a.anyLoop.end();

    for (qsizetype i = 0; i < phrase.size(); ++i) {
        const QChar x = phrase.at(i);
        if (x == u' ') {
            // Word breaks cost nothing: "e mail" is "email".
            settle(a, cost, true);
            continue;
        }
        std::vector<int> next(cost.size(), Infinite);
        for (int s = 0; s < int(cost.size()); ++s) {
            if (cost[s] >= Infinite)
                continue;
            // A letter the grammar does not have: skip it ("..." takes it free).
            next[s] = std::min(next[s], cost[s] + (a.anyLoop[s] ? 0 : 1));
            for (const auto &e : a.edges[s])
                if (!e.letter.isNull())
                    next[e.to] = std::min(next[e.to], cost[s] + (e.letter == x ? 0 : 1));
        }
        const bool boundary = i + 1 == phrase.size() || phrase.at(i + 1) == u' ';
        settle(a, next, boundary);
        cost.swap(next);
    }
    out.letters = cost[a.end];
    return out;
}

int letterCount(const QString &normalised)
{
    return int(normalised.size() - normalised.count(u' '));
}

} // namespace

int grammarDistance(const GrammarNode &grammar, const QString &phrase)
{
    return measure(grammar, phrase).letters;
}

int confidenceFor(int distance, int reference)
{
    if (reference <= 0)
        return -100;
    const double c = 100.0 - 300.0 * distance / reference;
    return std::clamp(int(std::lround(c)), -100, 100);
}

int phraseConfidence(const GrammarNode &grammar, const QString &normalisedPhrase)
{
    const int letters = letterCount(normalisedPhrase);
    if (letters == 0)
        return -100;
    const Distance d = measure(grammar, normalisedPhrase);
    // Errors count against what had to match: the phrase, or where "..."
    // takes words freely, the grammar's own words.
    const int reference = d.hasAnyWords ? std::max(d.shortest, 1) : std::max(d.shortest, letters);
    return confidenceFor(d.letters, reference);
}

} // namespace kestrova::character
