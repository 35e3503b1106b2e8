#include "DateFunctions.h"
#include "Fakes.h"

#include <QTest>

using namespace kestrova;
using namespace kestrova::DateFunctions;

class TestDateFunctions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void spokenDate_data();
    void spokenDate();
    void partOfDay_data();
    void partOfDay();
    void spokenTime_data();
    void spokenTime();
    void namesFollowTheLanguage();
    void greetingSentence();
};

void TestDateFunctions::spokenDate_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("phrase");
    const int days[] = {1, 2, 3, 4, 11, 12, 13, 21, 22, 23, 31};
    const char *parts[] = {"1st", "2nd", "3rd", "4th", "11th", "12th", "13th", "21st", "22nd", "23rd", "31st"};
    for (int i = 0; i < 11; ++i)
        QTest::newRow(parts[i]) << QDate(2026, 12, days[i]) << QString("December %1, 2026").arg(parts[i]);
    QTest::newRow("march") << QDate(2027, 3, 1) << "March 1st, 2027";
    QTest::newRow("may") << QDate(2026, 5, 22) << "May 22nd, 2026";
    QTest::newRow("june") << QDate(2026, 6, 11) << "June 11th, 2026";
    QTest::newRow("year 999") << QDate(999, 1, 20) << "January 20th, 0999";
}

void TestDateFunctions::spokenDate()
{
    QFETCH(QDate, date);
    QFETCH(QString, phrase);
    test::FakeClock clock;
    clock.time = QDateTime(date, QTime(10, 0));
    QCOMPARE(GetSpokenDate(clock, QLocale(QLocale::English, QLocale::UnitedStates)), phrase);
}

void TestDateFunctions::partOfDay_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("part");
    QTest::newRow("midnight") << QTime(0, 0) << "Morning";
    QTest::newRow("11:59") << QTime(11, 59, 59) << "Morning";
    QTest::newRow("noon") << QTime(12, 0) << "Afternoon";
    QTest::newRow("16:59") << QTime(16, 59, 59) << "Afternoon";
    QTest::newRow("17:00") << QTime(17, 0) << "Evening";
    QTest::newRow("23:59") << QTime(23, 59) << "Evening";
}

void TestDateFunctions::partOfDay()
{
    QFETCH(QTime, time);
    QFETCH(QString, part);
    test::FakeClock clock;
    clock.time = QDateTime(QDate(2026, 12, 8), time);
    QCOMPARE(GetPartOfDay(clock), part);
}

void TestDateFunctions::spokenTime_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("spoken");
    QTest::newRow("00:05") << QTime(0, 5) << "12:05 AM";
    QTest::newRow("09:05") << QTime(9, 5) << "9:05 AM";
    QTest::newRow("12:00") << QTime(12, 0) << "12:00 PM";
    QTest::newRow("12:30") << QTime(12, 30) << "12:30 PM";
    QTest::newRow("13:07") << QTime(13, 7, 59) << "1:07 PM";
    QTest::newRow("23:59") << QTime(23, 59) << "11:59 PM";
}

void TestDateFunctions::spokenTime()
{
    QFETCH(QTime, time);
    QFETCH(QString, spoken);
    test::FakeClock clock;
    clock.time = QDateTime(QDate(2026, 12, 8), time);
    QCOMPARE(GetSpokenTime(clock), spoken);
}

void TestDateFunctions::namesFollowTheLanguage()
{
    test::FakeClock clock;
    clock.time = QDateTime(QDate(2026, 12, 6), QTime(9, 5)); // a Sunday
    QCOMPARE(GetDayName(clock, QLocale(QLocale::English)), QString("Sunday"));
    QCOMPARE(GetDayName(clock, QLocale(QLocale::German)), QString("Sonntag"));
    QCOMPARE(GetSpokenDate(clock, QLocale(QLocale::German)), QString("Dezember 6th, 2026"));
    // The clock time stays English whatever the language.
    QCOMPARE(GetSpokenTime(clock), QString("9:05 AM"));
}

void TestDateFunctions::greetingSentence()
{
    test::FakeClock clock;
    clock.time = QDateTime(QDate(2026, 12, 6), QTime(9, 5));
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    QCOMPARE("The time is " + GetSpokenTime(clock) + " on " + GetDayName(clock, en) + " " + GetSpokenDate(clock, en),
             QString("The time is 9:05 AM on Sunday December 6th, 2026"));
}

QTEST_GUILESS_MAIN(TestDateFunctions)
#include "test_date_functions.moc"
