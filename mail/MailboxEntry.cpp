#include "CurlMailbox.h"

// The entry point the program looks up when it loads this module
// (MailboxModule).
extern "C" Q_DECL_EXPORT kestrova::Mailbox *kestrovaCreateMailbox()
{
    return new kestrova::CurlMailbox();
}
