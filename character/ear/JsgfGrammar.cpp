#include "JsgfGrammar.h"

#include "VoiceGrammar.h"

namespace kestrova::character {

namespace {

// The most phones a filler ("...") and the garbage path take: a few words
// around a command, a sentence that is none.
constexpr int FillerPhones = 12;
constexpr int GarbagePhones = 40;

class Writer {
public:
    Writer(QStringList &words, int &fillers, bool fillerOn, const std::function<bool(const QString &)> &isWord)
        : m_words(words), m_fillers(fillers), m_fillerOn(fillerOn), m_isWord(isWord)
    {
    }

    // The node as a JSGF expansion; empty when nothing speakable is left.
    // `onlyFiller` tells whether the result can be said by garbage alone.
    QString write(const GrammarNode &node)
    {
        switch (node.kind) {
        case GrammarNode::Word: {
            const QString w = jsgfWord(node.text);
            if (!w.isEmpty() && !m_words.contains(w))
                m_words << w;
            return w;
        }
        case GrammarNode::AnyWords:
            // Each run of filler is a rule of its own: the decoder builds one
            // graph per rule, and a loop shared by two places would let a
            // path wander from one command into another.
            if (!m_fillerOn)
                return {};
            return QStringLiteral("[<filler%1>]").arg(m_fillers++);
        case GrammarNode::Optional: {
            const QString inner = node.children.empty() ? QString() : write(*node.children.front());
            if (inner.isEmpty())
                return {};
            return inner.startsWith(u"[<filler") && inner.count(u'[') == 1 ? inner : QStringLiteral("[%1]").arg(inner);
        }
        case GrammarNode::Choice: {
            QStringList parts;
            for (const auto &child : node.children) {
                const QString part = write(*child);
                if (!part.isEmpty() && !parts.contains(part))
                    parts << part;
            }
            if (parts.isEmpty())
                return {};
            return parts.size() == 1 ? parts.front() : QStringLiteral("(%1)").arg(parts.join(QStringLiteral(" | ")));
        }
        case GrammarNode::Sequence: {
            QStringList parts;
            const auto &c = node.children;
            for (std::size_t i = 0; i < c.size(); ++i) {
                // "[e] mail" / "inter net": the glued word too.
                if (i + 1 < c.size() && c[i + 1]->kind == GrammarNode::Word) {
                    const GrammarNode *first = c[i].get();
                    const bool optional = first->kind == GrammarNode::Optional && first->children.size() == 1
                                          && first->children.front()->kind == GrammarNode::Word;
                    if (optional)
                        first = first->children.front().get();
                    if (first->kind == GrammarNode::Word) {
                        const QString a = jsgfWord(first->text), b = jsgfWord(c[i + 1]->text);
                        if (!a.isEmpty() && !b.isEmpty() && m_isWord(a + b)) {
                            write(*first);
                            write(*c[i + 1]);
                            const QString glued = a + b;
                            if (!m_words.contains(glued))
                                m_words << glued;
                            parts << (optional ? QStringLiteral("([%1] %2 | %3)") : QStringLiteral("(%1 %2 | %3)"))
                                         .arg(a, b, glued);
                            ++i;
                            continue;
                        }
                    }
                }
                const QString part = write(*c[i]);
                if (!part.isEmpty())
                    parts << part;
            }
            if (parts.isEmpty())
                return {};
            return parts.size() == 1 ? parts.front() : QStringLiteral("(%1)").arg(parts.join(u' '));
        }
        }
        return {};
    }

private:
    QStringList &m_words;
    int &m_fillers;
    bool m_fillerOn;
    const std::function<bool(const QString &)> &m_isWord;
};

// Whether every reading of the expansion may be empty or garbage only: such
// a command would swallow silence and noise.
bool saysSomething(const GrammarNode &node)
{
    switch (node.kind) {
    case GrammarNode::Word:
        return !jsgfWord(node.text).isEmpty();
    case GrammarNode::AnyWords:
    case GrammarNode::Optional:
        return false;
    case GrammarNode::Choice:
        for (const auto &child : node.children)
            if (!saysSomething(*child))
                return false;
        return !node.children.empty();
    case GrammarNode::Sequence:
        for (const auto &child : node.children)
            if (saysSomething(*child))
                return true;
        return false;
    }
    return false;
}

} // namespace

QString jsgfWord(const QString &word)
{
    QString out;
    for (const QChar ch : word.toLower())
        if ((ch >= u'a' && ch <= u'z') || (ch >= u'0' && ch <= u'9'))
            out += ch;
    return out;
}

// The phone words, each weighted so that a run of phones costs more than
// the words it would stand for.
QString weighted(const QStringList &garbageWords)
{
    const QString weight = QStringLiteral("1e-3");
    QStringList out;
    for (const QString &w : garbageWords)
        out << QStringLiteral("/%1/ %2").arg(weight, w);
    return out.join(QStringLiteral(" | "));
}

JsgfGrammar buildJsgf(const std::vector<VoiceCommand> &commands, const QStringList &garbageWords,
                      const std::function<bool(const QString &)> &isWord, const FillerWords &filler)
{
    QStringList fillerWords;
    if (garbageWords.isEmpty())
        for (const QString &w : filler.words)
            if (!jsgfWord(w).isEmpty() && !fillerWords.contains(jsgfWord(w)))
                fillerWords << jsgfWord(w);
    const bool fillerOn = !garbageWords.isEmpty() || (!fillerWords.isEmpty() && filler.most > 0);
    JsgfGrammar out;
    QStringList rules, alternatives;
    int fillers = 0;
    for (const VoiceCommand &command : commands) {
        // A slot the user left empty has nothing to say.
        if (command.grammar.trimmed().isEmpty())
            continue;
        const ParsedGrammar parsed = parseVoiceGrammar(command.grammar);
        if (!parsed.ok()) {
            out.problems << QStringLiteral("%1: %2").arg(command.name, parsed.error);
            continue;
        }
        if (!saysSomething(*parsed.root)) {
            out.problems << QStringLiteral("%1: nothing to say in \"%2\"").arg(command.name, command.grammar);
            continue;
        }
        QStringList words;
        Writer writer(words, fillers, fillerOn, isWord);
        const QString expansion = writer.write(*parsed.root);
        if (expansion.isEmpty()) {
            out.problems << QStringLiteral("%1: nothing to say in \"%2\"").arg(command.name, command.grammar);
            continue;
        }
        for (const QString &w : words)
            if (!out.words.contains(w))
                out.words << w;
        const QString rule = QStringLiteral("c%1").arg(out.commands++);
        rules << QStringLiteral("<%1> = %2;").arg(rule, expansion);
        alternatives << QStringLiteral("<%1>").arg(rule);
    }
    if (!garbageWords.isEmpty())
        alternatives << QStringLiteral("<garbage>");
    // A loop that opens an alternative leaks into the others: one word
    // first, then the loop.
    // Runs of phones are written as nested options, not as loops: the
    // decoder turns a loop into empty transitions that join the paths of
    // all commands, after which no command is recognised any more.
    auto phones = [](int most) {
        QString run = QStringLiteral("<phone>");
        for (int i = 1; i < most; ++i)
            run = QStringLiteral("<phone> [%1]").arg(run);
        return run;
    };
    // A run of filler words is nested options as well, the words written
    // out in every filler so that each filler is a piece of graph of its own.
    QStringList weightedWords;
    if (fillers > 0 && garbageWords.isEmpty()) {
        for (const QString &w : fillerWords) {
            weightedWords << QStringLiteral("/%1/ %2").arg(filler.weight, w);
            if (!out.words.contains(w))
                out.words << w;
        }
    }
    const QString fillerWord = QStringLiteral("(%1)").arg(weightedWords.join(QStringLiteral(" | ")));
    auto fillerRun = [&fillerWord](int most) {
        QString run = fillerWord;
        for (int i = 1; i < most; ++i)
            run = QStringLiteral("%1 [%2]").arg(fillerWord, run);
        return run;
    };
    for (int i = 0; i < fillers; ++i)
        rules << QStringLiteral("<filler%1> = %2;")
                     .arg(i)
                     .arg(garbageWords.isEmpty() ? fillerRun(filler.most) : phones(FillerPhones));
    QString text = QStringLiteral("#JSGF V1.0;\ngrammar kestrova;\npublic <command> = %1;\n%2\n")
                       .arg(alternatives.join(QStringLiteral(" | ")), rules.join(u'\n'));
    if (!garbageWords.isEmpty())
        text += QStringLiteral("<phone> = %1;\n<garbage> = %2;\n").arg(weighted(garbageWords), phones(GarbagePhones));
    out.text = text;
    return out;
}

} // namespace kestrova::character
