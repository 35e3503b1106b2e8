#include "LogLines.h"

#include <QtGlobal>

#include <algorithm>

namespace kestrova::platform {

namespace {

QtMessageHandler g_next = nullptr;

bool reordersText(char16_t c)
{
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool needsEscape(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || reordersText(c);
}

void printableHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (g_next)
        g_next(type, context, printableLogText(message));
}

} // namespace

QString printableLogText(const QString &text)
{
    if (std::none_of(text.cbegin(), text.cend(), [](QChar c) { return needsEscape(c.unicode()); }))
        return text;
    QString out;
    out.reserve(text.size() + 16);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!needsEscape(u))
            out += c;
        else if (u <= 0xFF)
            out += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            out += QStringLiteral("\\u%1").arg(u, 4, 16, QLatin1Char('0'));
    }
    return out;
}

void installPrintableLogs()
{
    QtMessageHandler previous = qInstallMessageHandler(printableHandler);
    // A second call must not put the handler in front of itself.
    if (previous != printableHandler)
        g_next = previous;
}

} // namespace kestrova::platform
