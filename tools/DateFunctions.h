#pragma once

#include <QLocale>
#include <QString>

#include "Translations.h"

namespace kestrova {

class Clock;

// Phrases for the present moment, read from the clock at each call. The
// weekday and month names follow the given language (by default that of the
// texts, see Translations::locale); the date's order and its ordinal
// suffixes come from the catalogue; the clock time is English.
namespace DateFunctions {

// "Sunday"
QString GetDayName(const Clock &clock, const QLocale &locale = Translations::locale());
// "December 6th, 2026"
QString GetSpokenDate(const Clock &clock, const QLocale &locale = Translations::locale());
// "9:05 AM", "12:05 AM"
QString GetSpokenTime(const Clock &clock);
// "Morning" before 12:00, "Afternoon" before 17:00, else "Evening".
QString GetPartOfDay(const Clock &clock);

// The ordinal suffix of a day of the month written as text: "th" for "11",
// "12" and "13", else by the last digit ("st", "nd", "rd", "th"), as the
// catalogue gives each.
QString ordinalSuffix(const QString &dayText);

} // namespace DateFunctions
} // namespace kestrova
