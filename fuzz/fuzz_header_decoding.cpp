// Mail headers as a server sends them: encoded words in any charset, folded
// lines, raw 8-bit bytes, From values in every shape.
#include "FuzzInput.h"
#include "HeaderDecoding.h"

using namespace kestrova;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    const QString decoded = mail::decodeHeader(input);
    // Decoding never makes more characters than there were bytes.
    KESTROVA_FUZZ_ASSERT(decoded.size() <= input.size());
    const QByteArray from = mail::headerField(input, "From");
    KESTROVA_FUZZ_ASSERT(from.size() <= input.size());
    mail::senderName(from);
    mail::senderName(input);
    mail::decodeHeader(mail::headerField(input, "Subject"));
    return 0;
}
