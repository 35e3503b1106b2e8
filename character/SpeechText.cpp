#include "SpeechText.h"

#include <QRandomGenerator>
#include <QStringList>

namespace kestrova::character {

namespace {

// Reads a double-quoted argument starting at text[i] == '"'. Returns the
// text between the quotes and leaves i after the closing quote; an argument
// without its closing quote runs to the end of the text.
QString quoted(const QString &text, qsizetype &i)
{
    QString out;
    ++i; // opening quote
    while (i < text.size()) {
        const QChar c = text.at(i++);
        if (c == u'"') {
            if (i < text.size() && text.at(i) == u'"') { // "" is a quote inside
                out += u'"';
                ++i;
                continue;
            }
            return out;
        }
        out += c;
    }
    return out;
}

} // namespace

QStringList speechAlternatives(const QString &text)
{
    QStringList parts;
    QString current;
    bool inTag = false;
    bool inQuote = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!inTag && c == u'\\' && i + 1 < text.size() && text.at(i + 1) == u'\\') {
            current += u"\\\\";
            ++i;
            continue;
        }
        if (c == u'\\' && !inQuote)
            inTag = !inTag;
        else if (c == u'"' && inTag)
            inQuote = !inQuote;
        if (c == u'|' && !inTag) {
            parts << current;
            current.clear();
            continue;
        }
        current += c;
    }
    parts << current;
    return parts;
}

SpeechText parseSpeechTags(const QString &text)
{
    SpeechText out;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (c != u'\\') {
            out.spoken += c;
            out.shown += c;
            ++i;
            continue;
        }
        if (i + 1 < text.size() && text.at(i + 1) == u'\\') { // literal backslash
            out.spoken += u'\\';
            out.shown += u'\\';
            i += 2;
            continue;
        }
        // A tag: its name runs to '=' or to the closing backslash.
        ++i;
        qsizetype nameStart = i;
        while (i < text.size() && text.at(i) != u'=' && text.at(i) != u'\\')
            ++i;
        const QString name = text.mid(nameStart, i - nameStart).trimmed();
        QStringList args;
        while (i < text.size() && text.at(i) == u'=') {
            ++i;
            if (i < text.size() && text.at(i) == u'"') {
                args << quoted(text, i);
            } else {
                qsizetype s = i;
                while (i < text.size() && text.at(i) != u'=' && text.at(i) != u'\\')
                    ++i;
                args << text.mid(s, i - s);
            }
        }
        // Skip to and past the closing backslash.
        while (i < text.size() && text.at(i) != u'\\')
            ++i;
        if (i < text.size())
            ++i;
        if (name.compare(u"Map", Qt::CaseInsensitive) == 0 && args.size() >= 2) {
            out.spoken += args.at(0);
            out.shown += args.at(1);
        }
    }
    return out;
}

QString literalSpeech(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'\\')
            out += u"\\\\";
        else if (c == u'|')
            out += u"\\Map=\"|\"=\"|\"\\";
        else
            out += c;
    }
    return out;
}

SpeechText parseSpeech(const QString &text, const PickIndex &pick)
{
    const QStringList alternatives = speechAlternatives(text);
    int index = 0;
    if (alternatives.size() > 1) {
        index = pick ? pick(int(alternatives.size()))
                     : int(QRandomGenerator::global()->bounded(int(alternatives.size())));
        index = qBound(0, index, int(alternatives.size()) - 1);
    }
    return parseSpeechTags(alternatives.at(index));
}

} // namespace kestrova::character
