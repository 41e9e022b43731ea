#include "model/AppError.h"
#include "model/DataFiles.h"
#include "model/LinkList.h"
#include "model/LinksSaver.h"

#include "support/TempAppDir.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

LocaleFormats Formats()
{
    return {u"M/d/yyyy"_s, u"h:mm:ss AP"_s, u'.'};
}

LinkRecord Link(std::int32_t siteId, const QByteArray& page)
{
    auto link = std::make_shared<rMonitorInfo>();
    link->SiteId = siteId;
    link->PageUrl = page;
    link->FirstName = "Ann";
    link->Created = 45000.5;
    link->LastCheck = 45001.25;
    link->Status = lsFound;  // never stored
    link->SiteUrl = "site.example";
    return link;
}

// Runs the event loop until `done` holds or a generous bound passes; the result says which.
template <typename Condition>
bool Eventually(Condition done, int boundMs = 10000)
{
    const QDeadlineTimer deadline(boundMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Runs the event loop for a while, for what must not happen.
void RunEventsFor(int ms)
{
    Eventually([] { return false; }, ms);
}

class LinksSaverTest : public ::testing::Test {
protected:
    LinksSaverTest()
    {
        LinkList::Update update(links);
        links.append(Link(1, "http://a.example/"));
        links.append(Link(2, "http://b.example/"));
    }

    QByteArray expected() const { return LinksFileText(links, Formats()); }
    QByteArray onDisk() const { return dir.read(u"Items.txt"_s); }

    TempAppDir dir;
    LinkList links;
    LinksSaver saver{links, dir.path(), Formats()};
};

TEST_F(LinksSaverTest, AnEditReachesTheFileSoonAsTheCloseWouldWriteIt)
{
    saver.setDelays({5, 60000});
    saver.noteChange(LinksSaver::Change::Edit);
    EXPECT_TRUE(saver.pending());
    ASSERT_TRUE(Eventually([&] { return !saver.pending() && !saver.writing() && !onDisk().isEmpty(); }));
    EXPECT_EQ(onDisk(), expected());

    // Changes made meanwhile go in one write, the latest state.
    links.updateFields(links.record(0), *Link(7, "http://changed.example/"));
    {
        LinkList::Update update(links);
        links.append(Link(3, "http://c.example/"));
    }
    saver.noteChange(LinksSaver::Change::Edit);
    saver.noteChange(LinksSaver::Change::Edit);
    ASSERT_TRUE(Eventually([&] { return onDisk() == expected(); }));
    EXPECT_TRUE(onDisk().startsWith("7|||http://changed.example/|||Ann|||"));
    EXPECT_FALSE(saver.pending());
}

TEST_F(LinksSaverTest, CheckResultsWaitWhileChecksRunAndGoWhenTheyStop)
{
    bool running = true;
    saver.setChecksRunning([&running] { return running; });
    saver.setDelays({5, 60000});
    saver.saveNow();
    // Check results and a new order go at most once in a long while, while checks run.
    links.setVerdict(links.record(1), lsNotFound, 45999.0);
    saver.noteChange(LinksSaver::Change::CheckResult);
    saver.noteChange(LinksSaver::Change::Order);
    RunEventsFor(150);
    EXPECT_NE(onDisk(), expected());
    EXPECT_TRUE(saver.pending());

    // An edit does not wait for the checks.
    saver.noteChange(LinksSaver::Change::Edit);
    ASSERT_TRUE(Eventually([&] { return onDisk() == expected(); }));

    links.setVerdict(links.record(1), lsNotFound, 46000.0);
    saver.noteChange(LinksSaver::Change::CheckResult);
    RunEventsFor(100);
    EXPECT_NE(onDisk(), expected());
    running = false;
    ASSERT_TRUE(Eventually([&] { return onDisk() == expected(); }));

    // While checks go on for long, their results are written every so often all the same.
    running = true;
    saver.setDelays({5, 50});
    links.setVerdict(links.record(0), lsNotFound, 46001.0);
    saver.noteChange(LinksSaver::Change::CheckResult);
    ASSERT_TRUE(Eventually([&] { return onDisk() == expected(); }));
}

TEST_F(LinksSaverTest, AFailedWriteIsAnnouncedStaysPendingAndIsMadeGoodLater)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"Items.txt"_s));
    QStringList failed;
    int recovered = 0;
    QObject::connect(&saver, &LinksSaver::saveFailed, &saver, [&failed](const QString& text) { failed.append(text); });
    QObject::connect(&saver, &LinksSaver::saveRecovered, &saver, [&recovered] { ++recovered; });
    saver.setDelays({5, 60000});
    saver.noteChange(LinksSaver::Change::Edit);
    ASSERT_TRUE(Eventually([&] { return failed.count() == 1; }));
    EXPECT_TRUE(failed.at(0).startsWith(u"Cannot create file \"%1\". "_s.arg(saver.path())));
    EXPECT_EQ(saver.failure(), failed.at(0));
    EXPECT_TRUE(saver.pending());
    EXPECT_THROW(saver.saveNow(), AppError);

    // Not tried again every moment; the next edit tries at once.
    RunEventsFor(100);
    EXPECT_EQ(failed.count(), 2);  // the one of saveNow
    ASSERT_TRUE(QDir(dir.path()).rmdir(u"Items.txt"_s));
    saver.noteChange(LinksSaver::Change::Edit);
    ASSERT_TRUE(Eventually([&] { return recovered == 1; }));
    EXPECT_EQ(onDisk(), expected());
    EXPECT_TRUE(saver.failure().isEmpty());
    EXPECT_FALSE(saver.pending());

    // A list loaded anew from the file (a restore) ends a failure as well.
    ASSERT_TRUE(QFile::remove(saver.path()));
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"Items.txt"_s));
    EXPECT_THROW(saver.saveNow(), AppError);
    saver.discardPending();
    EXPECT_EQ(recovered, 2);
    EXPECT_TRUE(saver.failure().isEmpty());
    EXPECT_FALSE(saver.pending());
}

TEST_F(LinksSaverTest, SaveNowAndFlushWriteTheLatestStateAfterTheWriteInFlight)
{
    {
        LinkList::Update update(links);
        for (int i = 0; i < 20000; ++i)
            links.append(Link(i % 5, "http://p" + QByteArray::number(i) + ".example/"));
    }
    saver.setDelays({0, 60000});
    saver.noteChange(LinksSaver::Change::Edit);
    ASSERT_TRUE(Eventually([&] { return saver.writing(); }));
    // The rows change under the write in flight, which works on its own copy.
    links.updateFields(links.record(5), *Link(9, "http://late.example/"));
    saver.saveNow();
    EXPECT_FALSE(saver.writing());
    EXPECT_EQ(onDisk(), expected());
    RunEventsFor(20);
    EXPECT_EQ(onDisk(), expected()) << "the earlier write must not land after the later one";

    // flush writes only what is pending, or a file that is not there.
    QFile::remove(dir.file(u"Items.txt"_s));
    saver.flush();
    EXPECT_EQ(onDisk(), expected());
    saver.discardPending();
    EXPECT_FALSE(saver.pending());
}

// Another program (the headless checker, a backup tool) reading the file while it is written
// finds one whole version or another, never a part.
TEST_F(LinksSaverTest, AReaderAlwaysFindsAWholeFile)
{
    {
        LinkList::Update update(links);
        for (int i = 0; i < 5000; ++i)
            links.append(Link(1, "http://r" + QByteArray::number(i) + ".example/"));
    }
    const QString path = dir.file(u"Items.txt"_s);
    saver.saveNow();
    std::atomic<bool> stop = false;
    std::atomic<int> torn = 0;
    std::atomic<int> reads = 0;
    std::thread reader([&] {
        while (!stop) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray text = file.readAll();
            ++reads;
            if (!text.endsWith("|||\r\n") || !text.startsWith("1|||"))
                ++torn;
        }
    });
    saver.setDelays({0, 60000});
    for (int round = 0; round < 30; ++round) {
        links.updateFields(links.record(0), *Link(1, "http://round" + QByteArray::number(round) + ".example/"));
        saver.noteChange(LinksSaver::Change::Edit);
        ASSERT_TRUE(Eventually([&] { return !saver.pending() && !saver.writing(); }));
    }
    stop = true;
    reader.join();
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    EXPECT_EQ(onDisk(), expected());
}

}  // namespace
