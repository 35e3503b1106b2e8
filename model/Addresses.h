#pragma once

#include <QString>

namespace kestrova {

// Kestrova's own addresses, kept here only: the home page the "Kestrova"
// favourite opens, and where users write for help.
inline const QString HomePageAddress = QStringLiteral("https://kestrova.org/");
inline const QString SupportAddress = QStringLiteral("mailto:support@kestrova.org");

} // namespace kestrova
