// Speech texts: what the program hands the character to say, with "|"
// alternatives and backslash tags (\Map="spoken"="shown"\, \Pau=200\ ...),
// made of the program's own phrases and of text from outside it (mail
// subjects and senders, the clipboard, names). The input is cut into the
// program's text and an outside piece.
#include "FuzzInput.h"
#include "SpeechText.h"

using namespace kestrova;
using namespace kestrova::character;

namespace {

// Nothing that steers a terminal, a voice or the direction of text, and no
// broken UTF-16.
bool clean(const QString &s)
{
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || (u >= 0x7F && u <= 0x9F))
            return false;
        if ((u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069) || u == 0x200E || u == 0x200F
            || u == 0x061C)
            return false;
        if ((u >= 0xFDD0 && u <= 0xFDEF) || u == 0xFFFE || u == 0xFFFF)
            return false;
        if (c.isHighSurrogate() && (i + 1 >= s.size() || !s.at(i + 1).isLowSurrogate()))
            return false;
        if (c.isLowSurrogate() && (i == 0 || !s.at(i - 1).isHighSurrogate()))
            return false;
        if (c.isHighSurrogate())
            ++i;
    }
    return true;
}

bool hasMarks(const QString &s)
{
    return s.contains(QChar(0xFDD0)) || s.contains(QChar(0xFDD1));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> parts = fuzz::pieces(fuzz::bytes(data, size), 2);
    const QString own = QString::fromUtf8(parts.at(0));
    const QString outside = QString::fromUtf8(parts.at(1));

    // Any text at all: alternatives, and nothing unclean comes out of any.
    const QStringList alternatives = speechAlternatives(own);
    KESTROVA_FUZZ_ASSERT(!alternatives.isEmpty());
    for (const QString &alternative : alternatives) {
        const SpeechText parsed = parseSpeechTags(alternative);
        KESTROVA_FUZZ_ASSERT(parsed.spoken.size() <= alternative.size() * 2 + 16);
        KESTROVA_FUZZ_ASSERT(clean(parsed.spoken) && clean(parsed.shown));
    }
    const int last = int(alternatives.size()) - 1;
    parseSpeech(own, [last](int count) { return count > 0 ? std::min(last, count - 1) : 0; });
    KESTROVA_FUZZ_ASSERT(clean(speechForLog(own)));

    // An outside piece alone is said and shown as one text, cleaned, no
    // longer than a balloon takes.
    const QString piece = cleanOutsideText(outside);
    KESTROVA_FUZZ_ASSERT(clean(piece));
    KESTROVA_FUZZ_ASSERT(!piece.contains(u'\t') && !piece.contains(u'\n') && !piece.contains(u'\r'));
    KESTROVA_FUZZ_ASSERT(piece.size() <= MaxOutsideChars);
    KESTROVA_FUZZ_ASSERT(cleanOutsideText(piece) == piece);
    const SpeechText literal = parseSpeech(outsideText(outside), [](int) { return 0; });
    KESTROVA_FUZZ_ASSERT(literal.spoken == piece && literal.shown == piece);
    KESTROVA_FUZZ_ASSERT(speechAlternatives(outsideText(outside)).size() == 1);

    // Put after the program's text, the piece adds no alternative and
    // leaves the program's tags as they were.
    if (!hasMarks(own)) {
        const QString text = own + outsideText(outside);
        const QStringList together = speechAlternatives(text);
        KESTROVA_FUZZ_ASSERT(together.size() == alternatives.size());
        for (qsizetype i = 0; i + 1 < together.size(); ++i)
            KESTROVA_FUZZ_ASSERT(together.at(i) == alternatives.at(i));
        const SpeechText before = parseSpeechTags(alternatives.last());
        const SpeechText both = parseSpeechTags(together.last());
        KESTROVA_FUZZ_ASSERT(both.spoken == before.spoken + piece);
        KESTROVA_FUZZ_ASSERT(both.shown == before.shown + piece);
        KESTROVA_FUZZ_ASSERT(speechForLog(text) == speechForLog(own) + piece);
    }
    return 0;
}
