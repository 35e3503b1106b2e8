#pragma once

#include <QLocale>
#include <QString>

namespace kestrova {

class Clock;

// Phrases for the present moment, read from the clock at each call. The
// weekday and month names follow the given language (the system's by
// default); the clock time and the ordinal suffixes are English.
namespace DateFunctions {

// "Sunday"
QString GetDayName(const Clock &clock, const QLocale &locale = QLocale::system());
// "December 6th, 2026"
QString GetSpokenDate(const Clock &clock, const QLocale &locale = QLocale::system());
// "9:05 AM", "12:05 AM"
QString GetSpokenTime(const Clock &clock);
// "Morning" before 12:00, "Afternoon" before 17:00, else "Evening".
QString GetPartOfDay(const Clock &clock);

// The ordinal suffix of a day of the month written as text: "th" for "11",
// "12" and "13", else by the last digit ("st", "nd", "rd", "th").
QString ordinalSuffix(const QString &dayText);

} // namespace DateFunctions
} // namespace kestrova
