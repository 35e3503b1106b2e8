#include "DisplayGone.h"

#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace kestrova::platform {

namespace {

QtMessageHandler g_next = nullptr;

// The status Qt's own exit() would have given.
constexpr int DisplayGoneStatus = 1;

void displayGoneHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (g_next)
        g_next(type, context, message);
    if (type == QtWarningMsg && tellsTheDisplayIsGone(message)) {
        std::fputs("Kestrova: the display is gone; ending at once.\n", stderr);
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(DisplayGoneStatus);
    }
}

} // namespace

bool tellsTheDisplayIsGone(const QString &message)
{
    return message.startsWith(u"The X11 connection broke");
}

void endAtOnceWhenTheDisplayGoes()
{
    QtMessageHandler previous = qInstallMessageHandler(displayGoneHandler);
    if (previous != displayGoneHandler)
        g_next = previous;
}

} // namespace kestrova::platform
