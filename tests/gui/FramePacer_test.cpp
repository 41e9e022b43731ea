#include "app/FramePacer.h"

#include "support/CheckFixture.h"

#include <gtest/gtest.h>

namespace {

TEST(FramePacer, StepsAskedForRunOnceAFrameInTheirOrder)
{
    FramePacer pacer;
    QByteArray ran;
    const int sort = pacer.addStep([&] { ran += 's'; });
    const int paint = pacer.addStep([&] { ran += 'p'; });
    // A step may ask for one that comes earlier: that one runs in the next frame.
    const int count = pacer.addStep([&] {
        ran += 'c';
        if (ran.size() == 3)
            pacer.request(sort);
    });
    for (int i = 0; i < 100; ++i) {
        pacer.request(count);
        pacer.request(paint);
        pacer.request(sort);
    }
    EXPECT_TRUE(ran.isEmpty()) << "nothing runs before the event loop turns";
    ASSERT_TRUE(RunUntil([&] { return !pacer.pending(); }));
    EXPECT_EQ(ran, QByteArray("spcs"));

    pacer.request(paint);
    pacer.flush();
    EXPECT_EQ(ran, QByteArray("spcsp"));
    EXPECT_FALSE(pacer.pending());
    pacer.flush();
    EXPECT_EQ(ran, QByteArray("spcsp"));
}

}  // namespace
