#include "model/Clock.h"
#include "model/DateTime.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <thread>

namespace {

const LocaleFormats us{QStringLiteral("M/d/yyyy"), QStringLiteral("h:mm:ss AP"), u'.'};
const LocaleFormats german{QStringLiteral("dd.MM.yyyy"), QStringLiteral("HH:mm:ss"), u','};

double at(int y, int m, int d, int h = 0, int min = 0, int s = 0, int ms = 0)
{
    return EncodeDateTime(QDate(y, m, d), QTime(h, min, s, ms));
}

}  // namespace

TEST(DayCount, CountsDaysFromTheLastDaysOf1899)
{
    EXPECT_EQ(at(1899, 12, 30), 0.0);
    EXPECT_EQ(at(1899, 12, 31), 1.0);
    EXPECT_EQ(at(1900, 1, 1), 2.0);
    EXPECT_EQ(at(1900, 3, 1), 61.0);  // 1900 is no leap year
    EXPECT_EQ(at(2000, 1, 1), 36526.0);
    EXPECT_EQ(at(2099, 12, 31), 73050.0);
    EXPECT_EQ(at(1899, 12, 30, 12), 0.5);
    EXPECT_EQ(at(2000, 1, 1, 18), 36526.75);
    EXPECT_EQ(at(1, 1, 1), -693593.0);
    EXPECT_EQ(at(9999, 12, 31), 2958465.0);
}

TEST(DayCount, BeforeTheEpochTheTimeCountsAwayFromZero)
{
    EXPECT_EQ(at(1899, 12, 29, 6), -1.25);
    EXPECT_EQ(DecodeDate(-1.25), QDate(1899, 12, 29));
    EXPECT_EQ(DecodeTime(-1.25), QTime(6, 0));
    EXPECT_EQ(DecodeDate(-0.25), QDate(1899, 12, 30));
    EXPECT_EQ(DecodeTime(-0.25), QTime(6, 0));
}

TEST(DayCount, DecodesBackToTheSameMillisecond)
{
    for (const QDate& date : {QDate(1, 1, 1), QDate(1899, 12, 29), QDate(1899, 12, 30), QDate(1900, 2, 28),
                              QDate(2024, 2, 29), QDate(2099, 12, 31), QDate(9999, 12, 31)}) {
        for (const QTime& time : {QTime(0, 0), QTime(0, 0, 0, 1), QTime(14, 5, 9, 750), QTime(23, 59, 59, 999)}) {
            const double value = EncodeDateTime(date, time);
            EXPECT_EQ(DecodeDate(value), date) << value;
            EXPECT_EQ(DecodeTime(value), time) << value;
        }
    }
    // A fraction that rounds up to a whole day belongs to the next day, not to 24:00 of this one.
    EXPECT_EQ(DecodeDate(2.9999999999), QDate(1900, 1, 2));
    EXPECT_EQ(DecodeTime(2.9999999999), QTime(0, 0));
}

TEST(DayCount, ValuesOutsideTheCalendarDecodeToNothingAndWriteAsNever)
{
    for (double bad : {1e300, -1e300, 3e6, -7e5, std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::infinity()}) {
        EXPECT_FALSE(DecodeDate(bad).isValid()) << bad;
        EXPECT_EQ(DateTimeToText(bad, us), QByteArray("12/30/1899")) << bad;
    }
}

TEST(DateTimeText, WritesTheDateAloneAtMidnightAndDropsMilliseconds)
{
    EXPECT_EQ(DateTimeToText(0, us), QByteArray("12/30/1899"));
    EXPECT_EQ(DateTimeToText(0, german), QByteArray("30.12.1899"));
    EXPECT_EQ(DateTimeToText(at(2024, 3, 5), us), QByteArray("3/5/2024"));
    EXPECT_EQ(DateTimeToText(at(2024, 3, 5, 14, 5, 9), us), QByteArray("3/5/2024 2:05:09 PM"));
    EXPECT_EQ(DateTimeToText(at(2024, 3, 5, 14, 5, 9), german), QByteArray("05.03.2024 14:05:09"));
    EXPECT_EQ(DateTimeToText(at(2024, 3, 5, 14, 5, 9, 999), us), QByteArray("3/5/2024 2:05:09 PM"));
    EXPECT_EQ(DateTimeToText(at(2024, 3, 5, 0, 0, 0, 500), us), QByteArray("3/5/2024"));
    EXPECT_EQ(DateTimeToText(at(2024, 3, 5, 0, 0, 1), us), QByteArray("3/5/2024 12:00:01 AM"));
    EXPECT_EQ(DateTimeToText(at(1899, 12, 29, 6), german), QByteArray("29.12.1899 06:00:00"));
}

TEST(DateTimeText, RoundTripsUnderEachSetOfFormats)
{
    const LocaleFormats c = LocaleFormats::fromLocale(QLocale::c());
    const double values[] = {0,
                             at(1899, 12, 30, 0, 0, 1),
                             at(1899, 12, 31, 23, 59, 59),
                             at(1900, 1, 1),
                             at(1900, 1, 1, 14, 5, 9),
                             at(1999, 12, 31, 12, 0, 0),
                             at(2024, 2, 29, 0, 30),
                             at(2099, 12, 31, 14, 5, 9),
                             at(1899, 12, 29, 6)};
    for (const LocaleFormats& formats : {us, german, c}) {
        for (double value : values) {
            const QByteArray text = DateTimeToText(value, formats);
            EXPECT_EQ(TextToDateTime(text, formats), value) << text.constData();
        }
        const QByteArray withMs = DateTimeToText(at(2099, 12, 31, 14, 5, 9, 750), formats);
        EXPECT_EQ(TextToDateTime(withMs, formats), at(2099, 12, 31, 14, 5, 9));
    }
    EXPECT_EQ(TextToDateTime("30 Dec 1899", c), 0.0);
    EXPECT_EQ(TextToDateTime("5 Mar 2024 14:05:09", c), at(2024, 3, 5, 14, 5, 9));
}

TEST(DateTimeText, AnythingButADateOrADateAndATimeFails)
{
    for (const char* text :
         {"", " ", "0", "hello", "12/30/1899 ", " 12/30/1899", "12/30/1899x", "13/1/2024", "2/30/2024",
          "3/5/2024 2:05:09", "3/5/2024 14:05:09 PM", "3/5/2024  2:05:09 PM", "3/5/2024 2:05:09 PM junk", "3/5/2024|||",
          "05.03.2024 14:05:09", "3/5/24", "4/5/-2024", "4/5/0000 1:00:00 AM"}) {
        EXPECT_EQ(TextToDateTime(text, us), std::nullopt) << text;
    }
    EXPECT_EQ(TextToDateTime("3/5/2024 14:05:09", german), std::nullopt);
    EXPECT_EQ(TextToDateTime(QByteArray(100000, ' '), us), std::nullopt);
    EXPECT_EQ(TextToDateTime("3/5/2024 2:05:09 pm", us), at(2024, 3, 5, 14, 5, 9));
}

TEST(LocaleFormats, AdaptsTheLocalesFormatsToRoundTrip)
{
    const LocaleFormats enUs = LocaleFormats::fromLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(enUs.shortDate, QStringLiteral("M/d/yyyy"));
    EXPECT_EQ(enUs.longTime, QStringLiteral("h:mm:ss AP"));
    EXPECT_EQ(enUs.decimalSeparator, u'.');

    const LocaleFormats de = LocaleFormats::fromLocale(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(de.shortDate, QStringLiteral("dd.MM.yyyy"));
    EXPECT_EQ(de.longTime, QStringLiteral("HH:mm:ss"));
    EXPECT_EQ(de.decimalSeparator, u',');

    const LocaleFormats c = LocaleFormats::fromLocale(QLocale::c());
    EXPECT_EQ(c.shortDate, QStringLiteral("d MMM yyyy"));
    EXPECT_EQ(c.longTime, QStringLiteral("HH:mm:ss"));

    // The zone may lead, and quoted literals are kept as they are.
    EXPECT_EQ(LocaleFormats::fromLocale(QLocale(QLocale::Chinese, QLocale::China)).longTime,
              QStringLiteral("HH:mm:ss"));
    const LocaleFormats bg = LocaleFormats::fromLocale(QLocale(QLocale::Bulgarian, QLocale::Bulgaria));
    EXPECT_EQ(bg.shortDate, QStringLiteral("d.MM.yyyy 'г'."));
    EXPECT_EQ(bg.longTime, QStringLiteral("H:mm:ss 'ч'."));
}

// Every locale Qt knows must give formats that read back what they wrote, blanks inside them included.
TEST(LocaleFormats, EveryLocaleRoundTrips)
{
    const QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    ASSERT_GT(locales.size(), 100);
    const double values[] = {0, at(1900, 1, 1, 0, 0, 1), at(2024, 3, 5, 14, 5, 9), at(2099, 12, 31, 23, 59, 59),
                             at(2010, 10, 10, 10, 10, 10)};
    for (const QLocale& locale : locales) {
        const LocaleFormats formats = LocaleFormats::fromLocale(locale);
        for (double value : values) {
            const QByteArray text = DateTimeToText(value, formats);
            ASSERT_EQ(TextToDateTime(text, formats), value)
                << locale.name().toStdString() << ": " << text.constData() << " with "
                << formats.shortDate.toStdString() << " + " << formats.longTime.toStdString();
        }
    }
}

TEST(Clock, ScopedClocksNestAndRestore)
{
    struct Fixed : Clock {
        explicit Fixed(double v) : value(v) {}
        double now() const override { return value; }
        double value;
    };
    const Fixed outer(100.5);
    const Fixed inner(200.25);
    const double before = Now();
    EXPECT_GT(before, at(2020, 1, 1));
    {
        const ScopedClock a(outer);
        EXPECT_EQ(Now(), 100.5);
        {
            const ScopedClock b(inner);
            EXPECT_EQ(Now(), 200.25);
            double seen = 0;
            std::thread([&] { seen = Now(); }).join();
            EXPECT_EQ(seen, 200.25);
        }
        EXPECT_EQ(Now(), 100.5);
    }
    EXPECT_GE(Now(), before);
}
