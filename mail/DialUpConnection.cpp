#include "DialUpConnection.h"

#include "MessageBox.h"
#include "PlatformServices.h"

#include <QNetworkInterface>

namespace kestrova {

std::optional<bool> NetworkDialUp::firstConnectionUp()
{
    for (const QNetworkInterface &i : QNetworkInterface::allInterfaces()) {
        const auto flags = i.flags();
        const bool dialUp = i.type() == QNetworkInterface::Ppp
                            || (flags.testFlag(QNetworkInterface::IsPointToPoint) && i.name().startsWith(u"ppp"));
        if (!dialUp)
            continue;
        // Only the first dial-up connection is looked at.
        return flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning);
    }
    return false;
}

bool DialUpConnection::IsOnline(const PlatformServices &platform)
{
    if (!platform.dialUp)
        return false;
    const std::optional<bool> up = platform.dialUp->firstConnectionUp();
    if (!up) {
        if (platform.messageBox)
            platform.messageBox->show(QStringLiteral("ERROR"), QStringLiteral("Kestrova"));
        return false;
    }
    return *up;
}

} // namespace kestrova
