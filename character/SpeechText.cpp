#include "SpeechText.h"

#include <QRandomGenerator>
#include <QStringView>

#include <algorithm>
#include <QStringList>

namespace kestrova::character {

namespace {

// Where an outside piece starts and ends: two noncharacters, which no text
// has any business holding and which the cleaning removes from every text.
constexpr QChar OpenMark(0xFDD0);
constexpr QChar CloseMark(0xFDD1);

bool isNonCharacter(char32_t c)
{
    return (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
}

bool isBidiControl(char32_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E)
        || (c >= 0x2066 && c <= 0x2069);
}

// Characters that break a line or a run of words.
bool isBreak(char32_t c)
{
    return c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r' || c == 0x85 || c == 0x2028
        || c == 0x2029;
}

// The end of a control string (OSC, DCS, SOS, PM, APC) whose text starts at
// from: after its BEL, ESC \ or ST; -1 when it has none.
qsizetype controlStringEnd(const QString &s, qsizetype from, qsizetype to)
{
    for (qsizetype j = from; j < to; ++j) {
        const char16_t c = s.at(j).unicode();
        if (c == 0x07 || c == 0x9C)
            return j + 1;
        if (c == 0x1B && j + 1 < to && s.at(j + 1) == u'\\')
            return j + 2;
    }
    return -1;
}

// After a CSI's parameters, intermediates and final character.
qsizetype csiEnd(const QString &s, qsizetype j, qsizetype to)
{
    while (j < to && s.at(j).unicode() >= 0x20 && s.at(j).unicode() <= 0x3F)
        ++j;
    if (j < to && s.at(j).unicode() >= 0x40 && s.at(j).unicode() <= 0x7E)
        ++j;
    return j;
}

// s[i] is ESC or a C1 control: where the sequence it starts ends. A control
// string without its end loses only its introducer, not the text after it.
qsizetype controlEnd(const QString &s, qsizetype i, qsizetype to)
{
    const char16_t c = s.at(i).unicode();
    if (c == 0x1B) {
        if (i + 1 >= to)
            return i + 1;
        const char16_t n = s.at(i + 1).unicode();
        if (n == u'[')
            return csiEnd(s, i + 2, to);
        if (n == u']' || n == u'P' || n == u'X' || n == u'^' || n == u'_') {
            const qsizetype end = controlStringEnd(s, i + 2, to);
            return end < 0 ? i + 2 : end;
        }
        qsizetype j = i + 1;
        while (j < to && s.at(j).unicode() >= 0x20 && s.at(j).unicode() <= 0x2F)
            ++j;
        if (j < to && s.at(j).unicode() >= 0x30 && s.at(j).unicode() <= 0x7E)
            return j + 1;
        return i + 1;
    }
    if (c == 0x9B)
        return csiEnd(s, i + 1, to);
    if (c == 0x90 || c == 0x98 || c == 0x9D || c == 0x9E || c == 0x9F) {
        const qsizetype end = controlStringEnd(s, i + 1, to);
        return end < 0 ? i + 1 : end;
    }
    return i + 1;
}

// Appends s[from, to) to out without control characters, bidirectional
// controls, noncharacters (the piece marks among them) and broken
// surrogates. The program's own text keeps its tabs and line breaks; in an
// outside piece each run of them is one space. Spaces stay as they are.
void appendClean(QString &out, const QString &s, qsizetype from, qsizetype to, bool outside)
{
    bool inBreak = false; // the last character appended stands for a break
    qsizetype i = from;
    while (i < to) {
        const QChar c = s.at(i);
        const char16_t u = c.unicode();
        if (c.isHighSurrogate()) {
            if (i + 1 < to && s.at(i + 1).isLowSurrogate()
                && !isNonCharacter(QChar::surrogateToUcs4(c, s.at(i + 1)))) {
                out += c;
                out += s.at(i + 1);
            }
            i += (i + 1 < to && s.at(i + 1).isLowSurrogate()) ? 2 : 1;
            continue;
        }
        if (c.isLowSurrogate() || isNonCharacter(u) || isBidiControl(u)) {
            ++i;
            continue;
        }
        if (u == 0x1B || (u >= 0x80 && u <= 0x9F && u != 0x85)) {
            i = controlEnd(s, i, to);
            continue;
        }
        if (isBreak(u)) {
            if (!outside)
                out += (u == u'\t' || u == u'\n' || u == u'\r') ? c : QChar(u' ');
            else if (!inBreak)
                out += u' ';
            inBreak = true;
            ++i;
            continue;
        }
        if (u < 0x20 || u == 0x7F) {
            ++i;
            continue;
        }
        out += c;
        inBreak = false;
        ++i;
    }
}

// The program's own parts of a text cleaned, its outside pieces left as
// they are between their marks; a piece without its end mark runs to the
// end of the text.
QString cleanOwnParts(const QString &text)
{
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype open = text.indexOf(OpenMark, i);
        appendClean(out, text, i, open < 0 ? text.size() : open, false);
        if (open < 0)
            break;
        qsizetype close = text.indexOf(CloseMark, open + 1);
        if (close < 0)
            close = text.size();
        out += OpenMark;
        out += QStringView(text).mid(open + 1, close - open - 1);
        out += CloseMark;
        i = close + 1;
    }
    return out;
}

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

QString outsideText(const QString &text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += OpenMark;
    for (const QChar c : text)
        if (c != OpenMark && c != CloseMark)
            out += c;
    out += CloseMark;
    return out;
}

QString cleanOutsideText(const QString &text)
{
    // The marks go first, as outsideText() drops them before anything else:
    // a mark after an ESC must not be taken for the end of its sequence, or
    // a piece would clean one way alone and another way marked.
    QString unmarked = text;
    unmarked.remove(OpenMark);
    unmarked.remove(CloseMark);
    QString out;
    out.reserve(std::min(unmarked.size(), MaxOutsideChars + 1));
    appendClean(out, unmarked, 0, unmarked.size(), true);
    if (out.size() <= MaxOutsideChars)
        return out;
    // Cut between words where one ends near the limit, never inside a
    // surrogate pair.
    qsizetype cut = MaxOutsideChars - 1;
    if (out.at(cut - 1).isHighSurrogate())
        --cut;
    const qsizetype space = out.lastIndexOf(u' ', cut);
    if (space > cut - 40 && space > 0)
        cut = space;
    out.truncate(cut);
    out += QChar(0x2026);
    return out;
}

QStringList speechAlternatives(const QString &text)
{
    QStringList parts;
    QString current;
    bool inTag = false;
    bool inQuote = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == OpenMark) {
            // An outside piece, whole: its "|" and backslashes are text, and
            // no tag of the program's reaches into it.
            qsizetype close = text.indexOf(CloseMark, i + 1);
            if (close < 0)
                close = text.size() - 1;
            current += QStringView(text).mid(i, close - i + 1);
            i = close;
            inTag = inQuote = false;
            continue;
        }
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

SpeechText parseSpeechTags(const QString &alternative)
{
    const QString text = cleanOwnParts(alternative);
    SpeechText out;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (c == OpenMark) {
            const qsizetype close = text.indexOf(CloseMark, i + 1); // there is one
            const QString piece = cleanOutsideText(text.mid(i + 1, close - i - 1));
            out.spoken += piece;
            out.shown += piece;
            i = close + 1;
            continue;
        }
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
        // A tag: its name runs to '=' or to the closing backslash. It ends,
        // closed or not, where an outside piece starts.
        const qsizetype open = text.indexOf(OpenMark, i);
        const QString tag = open < 0 ? text : text.left(open);
        ++i;
        qsizetype nameStart = i;
        while (i < tag.size() && tag.at(i) != u'=' && tag.at(i) != u'\\')
            ++i;
        const QString name = tag.mid(nameStart, i - nameStart).trimmed();
        QStringList args;
        while (i < tag.size() && tag.at(i) == u'=') {
            ++i;
            if (i < tag.size() && tag.at(i) == u'"') {
                args << quoted(tag, i);
            } else {
                qsizetype s = i;
                while (i < tag.size() && tag.at(i) != u'=' && tag.at(i) != u'\\')
                    ++i;
                args << tag.mid(s, i - s);
            }
        }
        // Skip to and past the closing backslash.
        while (i < tag.size() && tag.at(i) != u'\\')
            ++i;
        if (i < tag.size())
            ++i;
        if (name.compare(u"Map", Qt::CaseInsensitive) == 0 && args.size() >= 2) {
            out.spoken += args.at(0);
            out.shown += args.at(1);
        }
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

QString speechForLog(const QString &text)
{
    const QString own = cleanOwnParts(text);
    QString out;
    out.reserve(own.size());
    qsizetype i = 0;
    while (i < own.size()) {
        const qsizetype open = own.indexOf(OpenMark, i);
        if (open < 0) {
            out += QStringView(own).mid(i);
            break;
        }
        out += QStringView(own).mid(i, open - i);
        const qsizetype close = own.indexOf(CloseMark, open + 1);
        out += cleanOutsideText(own.mid(open + 1, close - open - 1));
        i = close + 1;
    }
    return out;
}

} // namespace kestrova::character
