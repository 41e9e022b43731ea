#include "cli/HistoryRun.h"
#include "cli/Notifier.h"
#include "model/LinkList.h"
#include "model/WebsiteTree.h"

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

// Rows announced as the list changes: a link going to "checking" is no check, and one check
// announced twice (its verdict, then a repaint) is recorded once.
TEST(HistoryRun, RecordsEachVerdictOnceAndFindsTheLostLinks)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("History.db"));
    {
        HistoryStore store(path);
        store.record({3, "http://a.example/"}, {45000.5, lsFound, {}, false});
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
        run.watch(links);
        for (const LinkRecord& link : {a, b, c})
            links.setStatus(*link, lsChecking);
        links.setVerdict(*a, lsNotFound, 45001.5);
        links.setVerdict(*b, lsFound, 45001.5);
        links.setVerdict(*c, lsConnectionError, 45001.5);
        links.setStatus(*a, lsNotFound);
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
    EXPECT_EQ(store.summary({3, "http://a.example/"}).checkCount, 2);
    EXPECT_EQ(store.summary({3, "http://c.example/"}).checkCount, 1);
}

}  // namespace
