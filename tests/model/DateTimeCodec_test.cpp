#include "model/DateTime.h"
#include "model/DateTimeCodec.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <random>

namespace {

// What the codec reads: what Qt reads, as long as it can be written back.
std::optional<double> expectedRead(QByteArrayView text, const LocaleFormats& formats)
{
    const std::optional<double> value = TextToDateTime(text, formats);
    return value && DecodeDate(*value).isValid() ? value : std::nullopt;
}

}  // namespace

// The fast codec must write and read exactly what DateTimeToText and TextToDateTime do, under the
// formats of many locales, for random values and for texts that are almost but not quite right.
TEST(DateTimeCodec, AgreesWithTheLocaleFunctionsUnderManyLocales)
{
    std::vector<LocaleFormats> all = {
        {QStringLiteral("M/d/yyyy"), QStringLiteral("h:mm:ss AP")},
        {QStringLiteral("dd.MM.yyyy"), QStringLiteral("HH:mm:ss")},
        {QStringLiteral("yyyy-MM-dd"), QStringLiteral("H:mm:ss")},
        {QStringLiteral("d 'de' M 'de' yyyy"), QStringLiteral("hh:mm:ss ap")},
        {QStringLiteral("dddd, MMMM d, yyyy"), QStringLiteral("HH:mm:ss")},  // long names: never compiled
        {QStringLiteral("d MMM yyyy"), QStringLiteral("HH:mm:ss")},          // the C locale's
    };
    for (const char* name : {"en_US", "de_DE", "fr_FR", "ja_JP", "ko_KR", "cs_CZ", "ar_EG", "fa_IR", "hu_HU", "en_GB",
                             "zh_CN", "hi_IN", "sv_SE", "nl_NL", "pl_PL", "he_IL", "th_TH"})
        all.push_back(LocaleFormats::fromLocale(QLocale(QString::fromLatin1(name))));

    std::mt19937 rng(3);
    int compiled = 0;
    for (const LocaleFormats& formats : all) {
        const DateTimeCodec codec(formats);
        compiled += codec.compiled();
        for (int i = 0; i < 400; ++i) {
            double value;
            switch (i % 4) {
            case 0: value = 0; break;
            case 1: value = static_cast<double>(rng() % 3000000) - 690000; break;
            default:
                value = EncodeDateTime(QDate(1, 1, 1).addDays(rng() % 3652000),
                                       QTime::fromMSecsSinceStartOfDay(static_cast<int>(rng() % 86400000)));
            }
            const QByteArray text = DateTimeToText(value, formats);
            ASSERT_EQ(codec.toText(value), text) << formats.shortDate.toStdString() << " " << value;
            ASSERT_EQ(codec.fromText(text), expectedRead(text, formats)) << text.toStdString();
            // Damaged variants go the same way as well.
            QByteArray damaged = text;
            damaged[static_cast<qsizetype>(rng() % static_cast<unsigned>(damaged.size()))] =
                "0123456789 /.:-APMapmJnuy\xff"[rng() % 26];
            ASSERT_EQ(codec.fromText(damaged), expectedRead(damaged, formats)) << damaged.toStdString();
            ASSERT_EQ(codec.fromText(text + " "), expectedRead(text + " ", formats));
            ASSERT_EQ(codec.fromText(text.left(text.size() - 1)), expectedRead(text.left(text.size() - 1), formats));
        }
    }
    EXPECT_GE(compiled, 4) << "the common numeric formats should take the fast path";
    EXPECT_FALSE(DateTimeCodec(all[4]).compiled());
    EXPECT_TRUE(DateTimeCodec(all[5]).compiled());
}

TEST(DateTimeCodec, YearsBeforeOneFailBecauseTheyCannotBeWrittenBack)
{
    const LocaleFormats us{QStringLiteral("M/d/yyyy"), QStringLiteral("h:mm:ss AP")};
    const DateTimeCodec codec(us);
    EXPECT_EQ(codec.fromText("4/5/-2024 2:05:09 PM"), std::nullopt);
    EXPECT_EQ(codec.fromText("4/5/0001"), EncodeDateTime(QDate(1, 4, 5), QTime(0, 0)));
}
