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

TEST(FramePacer, FramesComeFurtherApartWhileTheyAreDearAndBackToEveryFrameOnceTheyAreCheap)
{
    using std::chrono::milliseconds;
    FramePacer pacer;
    const int step = pacer.addStep([] {});
    EXPECT_EQ(pacer.gapMs(), FramePacer::FrameMs);

    // The repaint after a frame costs what a long list on a busy machine may.
    pacer.request(step);
    pacer.flush();
    pacer.addCost(milliseconds(5));
    EXPECT_EQ(pacer.gapMs(), 5 * FramePacer::GapPerCost);
    pacer.addCost(milliseconds(20));
    EXPECT_EQ(pacer.gapMs(), FramePacer::LongestGapMs);
    // A repaint cannot give time back.
    pacer.addCost(milliseconds(-50));
    EXPECT_EQ(pacer.gapMs(), FramePacer::LongestGapMs);

    // The next frame's repaint has not come yet when the changes ask for the one after it: the dear
    // frame still counts. Two cheap frames on, frames come at the full rate again.
    pacer.request(step);
    pacer.flush();
    EXPECT_EQ(pacer.gapMs(), FramePacer::LongestGapMs);
    pacer.request(step);
    pacer.flush();
    EXPECT_EQ(pacer.gapMs(), FramePacer::FrameMs);
}

}  // namespace
