#include "model/AppDir.h"
#include "model/Clock.h"
#include "model/Seam.h"

#include <gtest/gtest.h>

namespace {

struct Greeter {
    virtual ~Greeter() = default;
    virtual const char* hello() const = 0;
};

struct Fixed : Greeter {
    explicit Fixed(const char* text) : text(text) {}
    const char* hello() const override { return text; }
    const char* text;
};

struct FixedClock : Clock {
    explicit FixedClock(double value) : value(value) {}
    double now() const override { return value; }
    double value;
};

}  // namespace

TEST(Seam, ScopesNestAndPutThePreviousReplacementBack)
{
    Fixed fallback("default"), outer("outer"), inner("inner");
    using GreeterSeam = Seam<Greeter>;
    EXPECT_STREQ(GreeterSeam::current(fallback).hello(), "default");
    {
        GreeterSeam::Scope first(outer);
        EXPECT_STREQ(GreeterSeam::current(fallback).hello(), "outer");
        {
            GreeterSeam::Scope second(inner);
            EXPECT_STREQ(GreeterSeam::current(fallback).hello(), "inner");
        }
        EXPECT_STREQ(GreeterSeam::current(fallback).hello(), "outer");
    }
    EXPECT_EQ(GreeterSeam::installed(), nullptr);
}

TEST(Seam, SeamsOfTheProgramAreIndependent)
{
    const FixedClock clock(45000.5);
    const ScopedClock useClock(clock);
    {
        const ScopedAppDir dir(QStringLiteral("/tmp/somewhere"));
        EXPECT_EQ(AppDir(), QStringLiteral("/tmp/somewhere/"));
        const ScopedAppDir nested(QStringLiteral("/tmp/other/"));
        EXPECT_EQ(AppDir(), QStringLiteral("/tmp/other/"));
        EXPECT_EQ(Now(), 45000.5);
    }
    EXPECT_NE(AppDir(), QStringLiteral("/tmp/somewhere/"));
    EXPECT_EQ(Now(), 45000.5);
}
