// Voice grammars come from the command table and from the names users give
// their favourite sites and office programs; phrases from typing and from
// the recogniser. Input: grammar NUL phrase.
#include "FuzzInput.h"
#include "VoiceGrammar.h"

using namespace kestrova;
using namespace kestrova::character;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> in = fuzz::pieces(fuzz::bytes(data, size), 2);
    const QString grammarText = QString::fromUtf8(in[0]);
    const ParsedGrammar grammar = parseVoiceGrammar(grammarText);
    KESTROVA_FUZZ_ASSERT(grammar.ok() != !grammar.error.isEmpty());
    const QString phrase = normalisePhrase(QString::fromUtf8(in[1]));
    KESTROVA_FUZZ_ASSERT(!phrase.startsWith(u' ') && !phrase.endsWith(u' ') && !phrase.contains(QStringLiteral("  ")));
    KESTROVA_FUZZ_ASSERT(normalisePhrase(phrase) == phrase);
    if (!grammar.ok())
        return 0;
    // The normalised text reads back as the same grammar.
    const QString text = grammarToText(*grammar.root);
    const ParsedGrammar again = parseVoiceGrammar(text);
    KESTROVA_FUZZ_ASSERT(again.ok());
    KESTROVA_FUZZ_ASSERT(grammarToText(*again.root) == text);
    const int distance = grammarDistance(*grammar.root, phrase);
    KESTROVA_FUZZ_ASSERT(distance >= 0);
    const int confidence = phraseConfidence(*grammar.root, phrase);
    KESTROVA_FUZZ_ASSERT(confidence >= -100 && confidence <= 100);
    return 0;
}
