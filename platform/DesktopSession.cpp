#include "DesktopSession.h"

#include <QStringList>

namespace kestrova::DesktopSession {

bool names(const QString &desktops, const QString &name)
{
    const QStringList list = desktops.split(u':', Qt::SkipEmptyParts);
    for (const QString &desktop : list)
        if (desktop.trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

Session of(const QProcessEnvironment &environment)
{
    const QString desktops = environment.value(QStringLiteral("XDG_CURRENT_DESKTOP"));
    Session session;
    session.kde = !environment.value(QStringLiteral("KDE_FULL_SESSION")).isEmpty()
        || names(desktops, QStringLiteral("KDE"));
    const bool tilingSocket = !environment.value(QStringLiteral("SWAYSOCK")).isEmpty()
        || !environment.value(QStringLiteral("I3SOCK")).isEmpty();
    if (tilingSocket || names(desktops, QStringLiteral("sway")) || names(desktops, QStringLiteral("i3")))
        session.family = Family::Tiling;
    else if (session.kde)
        session.family = Family::Kde;
    else if (names(desktops, QStringLiteral("GNOME")))
        session.family = Family::Gnome;
    else if (desktops.trimmed().isEmpty()
             && (!environment.value(QStringLiteral("GNOME_DESKTOP_SESSION_ID")).isEmpty()
                 || environment.value(QStringLiteral("DESKTOP_SESSION")) == u"gnome"))
        session.family = Family::Gnome;
    return session;
}

Session current()
{
    return of(QProcessEnvironment::systemEnvironment());
}

} // namespace kestrova::DesktopSession
