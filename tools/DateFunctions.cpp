#include "DateFunctions.h"

#include "Clock.h"

#include <QCoreApplication>

namespace kestrova::DateFunctions {

QString GetDayName(const Clock &clock, const QLocale &locale)
{
    return locale.dayName(clock.now().date().dayOfWeek(), QLocale::LongFormat);
}

QString ordinalSuffix(const QString &day)
{
    // Each suffix with a note that tells it apart from other short texts.
    if (day == u"11" || day == u"12" || day == u"13")
        return QCoreApplication::translate("kestrova::DateFunctions", "th", "ordinal suffix of a day: 4th, 11th");
    if (day.endsWith(u'1'))
        return QCoreApplication::translate("kestrova::DateFunctions", "st", "ordinal suffix of a day: 1st, 21st");
    if (day.endsWith(u'2'))
        return QCoreApplication::translate("kestrova::DateFunctions", "nd", "ordinal suffix of a day: 2nd, 22nd");
    if (day.endsWith(u'3'))
        return QCoreApplication::translate("kestrova::DateFunctions", "rd", "ordinal suffix of a day: 3rd, 23rd");
    return QCoreApplication::translate("kestrova::DateFunctions", "th", "ordinal suffix of a day: 4th, 11th");
}

QString GetSpokenDate(const Clock &clock, const QLocale &locale)
{
    const QDate today = clock.now().date();
    // The standalone form is the month's name on its own ("December"), as
    // opposed to the inflected form some languages use inside a date.
    const QString month = locale.standaloneMonthName(today.month(), QLocale::LongFormat);
    const QString day = QString::number(today.day());
    //: A date as the character says it: %1 the month's name, %2 the day of the month, %3 its ordinal suffix, %4 the year ("December 6th, 2026").
    return QCoreApplication::translate("kestrova::DateFunctions", "%1 %2%3, %4")
        .arg(month, day, ordinalSuffix(day), QStringLiteral("%1").arg(today.year(), 4, 10, QLatin1Char('0')));
}

QString GetSpokenTime(const Clock &clock)
{
    const QTime time = clock.now().time();
    const int hour12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    return QStringLiteral("%1:%2 %3")
        .arg(hour12)
        .arg(time.minute(), 2, 10, QLatin1Char('0'))
        .arg(time.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM"));
}

QString GetPartOfDay(const Clock &clock)
{
    const int hour = clock.now().time().hour();
    if (hour < 12)
        return QStringLiteral("Morning");
    if (hour < 17)
        return QStringLiteral("Afternoon");
    return QStringLiteral("Evening");
}

} // namespace kestrova::DateFunctions
