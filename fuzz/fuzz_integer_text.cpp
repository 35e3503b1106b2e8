// Whole numbers typed into the options window and read back from the
// settings file (the mail check interval, counters).
#include "FuzzInput.h"
#include "IntegerText.h"

using namespace kestrova;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(fuzz::bytes(data, size));
    const std::optional<qint16> value = toInt16(text);
    qint16 target = 7;
    const bool converted = convertInto(text, &target);
    KESTROVA_FUZZ_ASSERT(converted == value.has_value());
    KESTROVA_FUZZ_ASSERT(converted ? target == *value : target == 7);
    if (value) {
        // A number reads back as itself.
        KESTROVA_FUZZ_ASSERT(toInt16(QString::number(*value)) == value);
        qint16 counted = *value;
        const bool incremented = incrementInt16(&counted);
        KESTROVA_FUZZ_ASSERT(incremented == (*value < 32767));
        KESTROVA_FUZZ_ASSERT(incremented ? counted == *value + 1 : counted == *value);
    }
    return 0;
}
