#include "check/CheckChannel.h"
#include "check/CheckPool.h"
#include "model/LinkList.h"

#include "support/CheckFixture.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <system_error>
#include <thread>

#include <pthread.h>

namespace {

using namespace std::chrono_literals;

// A gate the tasks of a test wait at until it opens.
class Gate {
public:
    void wait()
    {
        std::unique_lock lock(m_mutex);
        ++m_waiting;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
    }
    void open()
    {
        const std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    bool waiting(int count)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 60s, [&] { return m_waiting >= count; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_waiting = 0;
    bool m_open = false;
};

// A task with nothing to do once its thread is free again.
CheckPool::Task Plain(std::function<void()> work)
{
    return [work = std::move(work)] {
        work();
        return std::function<void()>();
    };
}

bool Eventually(const std::function<bool()>& done)
{
    for (int i = 0; i < 60000 && !done(); ++i)
        std::this_thread::sleep_for(1ms);
    return done();
}

TEST(CheckPool, ThreadsAreStartedOnlyWhenNoneIsFree)
{
    CheckPool pool(3600s);
    Gate gate;
    std::atomic<int> ran{0};
    for (int i = 0; i < 5; ++i)
        pool.start(Plain([&] {
            gate.wait();
            ++ran;
        }));
    ASSERT_TRUE(gate.waiting(5));
    EXPECT_EQ(pool.threads(), 5);
    gate.open();
    ASSERT_TRUE(Eventually([&] { return pool.idleThreads() == 5; }));

    // One after another, each started by what the previous one set off once its thread was free:
    // every one finds a free thread, and none is added.
    for (int i = 0; i < 20; ++i) {
        std::promise<void> done;
        pool.start([&] {
            ++ran;
            return std::function<void()>([&] { done.set_value(); });
        });
        done.get_future().wait();
    }
    EXPECT_EQ(pool.threads(), 5);
    EXPECT_EQ(ran, 25);
    EXPECT_TRUE(pool.stop(60s));
    EXPECT_EQ(pool.threads(), 0);
    pool.start(Plain([&] { ++ran; }));
    EXPECT_EQ(ran, 25) << "nothing starts after stop";
}

TEST(CheckPool, ThreadsThatHaveNothingToDoForAWhileEnd)
{
    CheckPool pool(50ms);
    std::atomic<int> ran{0};
    for (int i = 0; i < 3; ++i)
        pool.start(Plain([&] { ++ran; }));
    EXPECT_TRUE(Eventually([&] { return ran == 3 && pool.threads() == 0; }));
    std::promise<void> done;
    pool.start(Plain([&] { done.set_value(); }));
    done.get_future().wait();
    EXPECT_TRUE(pool.stop(60s));
}

TEST(CheckPool, ATaskThatNeedsAThreadNoneCanStartIsRefusedUnrun)
{
    CheckPool pool;
    bool ran = false;
    pthread_attr_t old;
    pthread_getattr_default_np(&old);
    pthread_attr_t huge;
    pthread_attr_init(&huge);
    pthread_attr_setstacksize(&huge, SIZE_MAX & ~std::size_t{0xFFFF});
    pthread_setattr_default_np(&huge);
    EXPECT_THROW(pool.start(Plain([&] { ran = true; })), std::system_error);
    pthread_setattr_default_np(&old);
    pthread_attr_destroy(&huge);
    pthread_attr_destroy(&old);
    EXPECT_FALSE(ran);
    EXPECT_EQ(pool.threads(), 0);
    EXPECT_TRUE(pool.stop(60s));
}

class ChannelTest : public ::testing::Test {
protected:
    LinkList m_links;
    std::shared_ptr<CheckChannel> m_channel = std::make_shared<CheckChannel>(m_links, nullptr);
};

TEST_F(ChannelTest, RoutinesRunOnTheUiThreadInTheOrderTheyCameAndNoneAfterShutDown)
{
    std::vector<int> order;
    std::atomic<bool> posted{false};
    const std::thread::id ui = std::this_thread::get_id();
    bool elsewhere = false;
    m_channel->startCheck(Plain([&, channel = m_channel] {
        for (int i = 0; i < 1000; ++i)
            channel->post([&, i] {
                elsewhere = elsewhere || std::this_thread::get_id() != ui;
                order.push_back(i);
            });
        posted = true;
    }));
    ASSERT_TRUE(RunUntil([&] { return posted && order.size() == 1000; }));
    EXPECT_FALSE(elsewhere);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(order[static_cast<std::size_t>(i)], i);

    // Handed over, not yet run: dropped by the shut-down, and so is whatever comes later.
    bool ran = false;
    EXPECT_TRUE(m_channel->post([&] { ran = true; }));
    EXPECT_TRUE(m_channel->shutDown(60000));
    EXPECT_FALSE(m_channel->post([&] { ran = true; }));
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

TEST_F(ChannelTest, APausingCheckEndsAtTheShutDown)
{
    std::promise<bool> paused;
    m_channel->startCheck(Plain([&, channel = m_channel] { paused.set_value(channel->pause(3600s)); }));
    EXPECT_TRUE(m_channel->pause(1ms));
    ASSERT_TRUE(Eventually([&] { return m_channel->pool().idleThreads() == 0 && m_channel->pool().threads() == 1; }));
    // The bound is the window's own: a quarter of a second for every check thread to end.
    EXPECT_TRUE(m_channel->shutDown(250));
    EXPECT_FALSE(paused.get_future().get());
    EXPECT_FALSE(m_channel->pause(1ms));
}

}  // namespace
