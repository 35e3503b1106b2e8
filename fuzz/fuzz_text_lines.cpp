// The line reader behind the jokes, the tips and the list files: any bytes,
// in UTF-8 or Windows-1252, with any line ends.
#include "FuzzInput.h"
#include "TextLines.h"

using namespace kestrova;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    const QStringList lines = splitTextLines(input);
    KESTROVA_FUZZ_ASSERT(lines.size() <= input.size());
    qsizetype characters = 0;
    for (const QString &line : lines) {
        KESTROVA_FUZZ_ASSERT(!line.contains(u'\n') && !line.contains(u'\r'));
        characters += line.size();
    }
    KESTROVA_FUZZ_ASSERT(characters <= input.size());
    return 0;
}
