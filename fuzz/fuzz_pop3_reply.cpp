// What a POP3 server answers at each step of a check: the log-on
// conversation and STAT, the UIDL listing, and a message's headers (TOP).
// Input: conversation NUL listing NUL headers.
#include "FuzzInput.h"
#include "HeaderDecoding.h"
#include "Pop3Replies.h"

#include <QSet>

using namespace kestrova;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> in = fuzz::pieces(fuzz::bytes(data, size), 3);
    const QByteArray status = mail::lastStatusLine(in[0]);
    KESTROVA_FUZZ_ASSERT(!status.contains('\n'));
    if (const std::optional<long> count = mail::statCount(status))
        KESTROVA_FUZZ_ASSERT(*count >= 0);
    for (const mail::UidLine &line : mail::uidList(in[1])) {
        KESTROVA_FUZZ_ASSERT(line.number > 0);
        KESTROVA_FUZZ_ASSERT(!line.uid.isEmpty() && !line.uid.contains(' ') && !line.uid.contains('\n'));
    }
    mail::senderName(mail::headerField(in[2], "From"));
    mail::decodeHeader(mail::headerField(in[2], "Subject"));
    return 0;
}
