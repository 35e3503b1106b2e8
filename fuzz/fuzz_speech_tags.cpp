// Speech texts: what the program hands the character to say, with "|"
// alternatives and backslash tags (\Map="spoken"="shown"\, \Pau=200\ ...),
// including texts made from mail subjects and senders.
#include "FuzzInput.h"
#include "SpeechText.h"

using namespace kestrova;
using namespace kestrova::character;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(fuzz::bytes(data, size));
    const QStringList alternatives = speechAlternatives(text);
    KESTROVA_FUZZ_ASSERT(!alternatives.isEmpty());
    for (const QString &alternative : alternatives) {
        const SpeechText parsed = parseSpeechTags(alternative);
        KESTROVA_FUZZ_ASSERT(parsed.spoken.size() <= alternative.size() * 2 + 16);
    }
    // Every alternative can be picked, and a text written literally is said
    // and shown exactly as it stands.
    const int last = int(alternatives.size()) - 1;
    parseSpeech(text, [last](int count) { return count > 0 ? std::min(last, count - 1) : 0; });
    const SpeechText literal = parseSpeech(literalSpeech(text), [](int) { return 0; });
    KESTROVA_FUZZ_ASSERT(literal.shown == text);
    KESTROVA_FUZZ_ASSERT(literal.spoken == text);
    return 0;
}
