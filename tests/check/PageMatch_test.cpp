#include "check/PageMatch.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <random>

namespace {

// The rule as it reads: both upper-cased in ASCII, then a plain search.
qsizetype Naive(const QByteArray& page, const QByteArray& address)
{
    if (address.isEmpty())
        return -1;
    const auto upper = [](QByteArray text) {
        for (char& c : text)
            c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        return text;
    };
    return upper(page).indexOf(upper(address));
}

TEST(PageMatch, FindsTheFirstOccurrenceAsTheUpperCasedSearchWould)
{
    EXPECT_EQ(FindAddress("see WWW.My-Site.test and www.my-site.test", "www.my-site.test"), 4);
    EXPECT_EQ(FindAddress("mysite.exampl", "mysite.example"), -1);
    EXPECT_EQ(FindAddress("x", ""), -1);

    // Few letters, NUL bytes and bytes above 127, so that near misses and overlaps are frequent.
    const char alphabet[] = {'a', 'A', 'b', 'B', '\0', '\xe9', '\xc9', '@', '`'};
    std::mt19937 random(12);
    const auto text = [&](int most) {
        QByteArray out;
        for (int n = static_cast<int>(random() % static_cast<unsigned>(most + 1)); n > 0; --n)
            out += alphabet[random() % sizeof alphabet];
        return out;
    };
    for (int round = 0; round < 20000; ++round) {
        const QByteArray page = text(40);
        const QByteArray address = text(4);
        ASSERT_EQ(FindAddress(page, address), Naive(page, address))
            << page.toHex().constData() << " / " << address.toHex().constData();
    }
}

}  // namespace
