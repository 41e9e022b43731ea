#include "cli/HistoryRun.h"
#include "cli/Notifier.h"
#include "model/LinkList.h"
#include "model/WebsiteTree.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class FakeNotifier : public DesktopNotifier {
public:
    QString notify(const QString& summary, const QString& body) override
    {
        shown.append({summary, body});
        return answer;
    }

    QList<std::pair<QString, QString>> shown;
    QString answer;
};

WebsiteTree Websites()
{
    WebsiteTree websites;
    websites.AddRootWebsite();
    websites.append({"Garden <&> Co", "garden.example", 3});
    return websites;
}

LinkRecord Link(const QByteArray& page)
{
    auto link = std::make_shared<rMonitorInfo>();
    link->SiteId = 3;
    link->PageUrl = page;
    return link;
}

// The body is markup for most notification servers: a page's "&" or "<" must show as typed, and a
// long list must not flood the screen.
TEST(LostLinksNotification, ListsTheFirstTenEscapedAndCountsTheRest)
{
    const WebsiteTree websites = Websites();
    FakeNotifier notifier;
    EXPECT_EQ(NotifyLostLinks(notifier, {}, websites), QString());
    EXPECT_TRUE(notifier.shown.isEmpty());

    EXPECT_EQ(NotifyLostLinks(notifier, {Link("http://a.example/?x=1&y=<2>")}, websites), QString());
    ASSERT_EQ(notifier.shown.size(), 1);
    EXPECT_EQ(notifier.shown[0].first, QStringLiteral("1 inbound link lost"));
    EXPECT_EQ(notifier.shown[0].second,
              QStringLiteral("Garden &lt;&amp;&gt; Co: http://a.example/?x=1&amp;y=&lt;2&gt;"));

    std::vector<LinkRecord> many;
    for (int i = 0; i < 12; ++i)
        many.push_back(Link("http://p" + QByteArray::number(i) + ".example/"));
    notifier.answer = QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown");
    EXPECT_EQ(NotifyLostLinks(notifier, many, websites), notifier.answer);
    const QStringList lines = notifier.shown[1].second.split(u'\n');
    EXPECT_EQ(notifier.shown[1].first, QStringLiteral("12 inbound links lost"));
    ASSERT_EQ(lines.size(), 11);
    EXPECT_TRUE(lines[9].endsWith(QStringLiteral("http://p9.example/")));
    EXPECT_EQ(lines[10], QStringLiteral("and 2 more"));
}

// Before the walk each link takes its latest recorded check, so that a loss of a link found before
// is confirmed. The checks then record through the run, a confirmed loss as both its fetches, and
// the rows it watches tell what changed: a link going to "checking" is no check, and one check
// announced twice (its verdict, then a repaint) is taken in once.
TEST(HistoryRun, GivesTheLinksTheirLatestChecksRecordsEveryFetchAndFindsTheLostLinks)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("History.db"));
    const LinkKey keyA{3, "http://a.example/"};
    {
        HistoryStore store(path);
        store.record(keyA, {45000.5, lsFound, {}, false});
        store.record({3, "http://b.example/"}, {45000.5, lsNotFound, {}, false});
    }
    LinkList links;
    const LinkRecord a = Link("http://a.example/");
    const LinkRecord b = Link("http://b.example/");
    const LinkRecord c = Link("http://c.example/");
    links.appendMany({a, b, c});

    QStringList problems;
    {
        HistoryRun run(path, true, [&](const QString& text) { problems.append(text); });
        run.restore(links);
        EXPECT_EQ(a->Status, lsFound);
        EXPECT_EQ(a->LastCheck, 45000.5);
        EXPECT_EQ(b->Status, lsNotFound);
        EXPECT_EQ(c->Status, lsUnchecked);
        run.watch(links);
        EXPECT_EQ(run.checkedCount(), 0);
        for (const LinkRecord& link : {a, b, c})
            links.setStatus(*link, lsChecking);
        run.recordCheck(keyA, {45001.5, lsNotFound, {}, false});
        run.recordCheck(keyA, {45001.6, lsNotFound, {}, true});
        links.setVerdict(*a, lsNotFound, 45001.6);
        run.recordCheck({3, "http://b.example/"}, {45001.5, lsFound, {}, false});
        links.setVerdict(*b, lsFound, 45001.5);
        run.recordCheck({3, "http://c.example/"}, {45001.5, lsConnectionError, {}, false});
        links.setVerdict(*c, lsConnectionError, 45001.5);
        links.setStatus(*a, lsNotFound);
        EXPECT_EQ(run.checkedCount(), 3);
        EXPECT_EQ(run.changesOf(*a), ChangeLost);
        EXPECT_EQ(run.changesOf(*b), ChangeBack);
        EXPECT_EQ(run.changesOf(*c), 0);
        ASSERT_EQ(run.lost().size(), 1u);
        EXPECT_EQ(run.lost()[0], a);
        run.unwatch();
        run.flush();
    }
    EXPECT_TRUE(problems.isEmpty());
    HistoryStore store(path);
    const std::vector<HistoryEntry> history = store.history(keyA);
    ASSERT_EQ(history.size(), 3u);
    EXPECT_TRUE(history[0].check.confirmation);
    EXPECT_EQ(history[0].changes & ChangeLost, ChangeLost);
    EXPECT_EQ(history[1].changes & ChangeLost, ChangeLost);
    EXPECT_EQ(store.summary({3, "http://c.example/"}).checkCount, 1);
}

// Told not to record, the run reads the history to tell what changed and leaves the file exactly as
// it is, a damaged one included.
TEST(HistoryRun, WithoutRecordingTheFileIsNeverWritten)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("History.db"));
    {
        HistoryStore store(path);
        store.record({3, "http://a.example/"}, {45000.5, lsFound, {}, false});
    }
    LinkList links;
    const LinkRecord a = Link("http://a.example/");
    links.appendMany({a});
    {
        HistoryRun run(path, false, {});
        run.restore(links);
        run.watch(links);
        run.recordCheck({3, "http://a.example/"}, {45001.5, lsNotFound, {}, false});
        links.setVerdict(*a, lsNotFound, 45001.5);
        EXPECT_EQ(run.changesOf(*a), ChangeLost);
        run.unwatch();
    }
    EXPECT_EQ(HistoryStore(path).summary({3, "http://a.example/"}).checkCount, 1);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray(8192, 'x'));
    file.close();
    QStringList problems;
    {
        HistoryRun run(path, false, [&](const QString& text) { problems.append(text); });
        run.restore(links);
    }
    EXPECT_EQ(problems.size(), 1);
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("*damaged*")}, QDir::Files).isEmpty());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray(8192, 'x'));
}

}  // namespace
