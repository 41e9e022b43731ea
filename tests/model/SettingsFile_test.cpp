#include "model/AppError.h"
#include "model/IniText.h"
#include "model/LinkColumns.h"
#include "model/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

void writeFile(const QString& path, QByteArrayView contents)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(contents.data(), contents.size()), contents.size());
}

std::optional<QByteArray> iniRead(QByteArrayView contents, const char* section, const char* key)
{
    return IniText::readValue(contents, section, key);
}

}  // namespace

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path() const { return dir.filePath(QStringLiteral("config.ini")); }
    void givenFile(QByteArrayView contents) { writeFile(path(), contents); }

    QTemporaryDir dir;
};

TEST_F(SettingsFileTest, MissingFileGivesEveryDefault)
{
    const SettingsFile settings(path());
    EXPECT_EQ(settings.read(Keys::ThreadCount), 3);
    EXPECT_FALSE(settings.read(Keys::UseProxy));
    EXPECT_EQ(settings.read(Keys::ProxyServer), QByteArray());
    EXPECT_EQ(settings.read(Keys::ProxyPort), 80);
    EXPECT_EQ(settings.read(Keys::ConnectTimeout), 10);
    EXPECT_EQ(settings.read(Keys::CurrentSite), 0);
    EXPECT_FALSE(settings.read(Keys::WindowMax));
    EXPECT_EQ(settings.read(Keys::WindowWidth), 799);
    EXPECT_EQ(settings.read(Keys::WindowHeight), 535);
    for (int column = 0; column < 7; ++column)
        EXPECT_EQ(settings.read(Keys::ColumnWidth(column)), 50) << column;
    EXPECT_EQ(settings.read(Keys::ColumnWidth(ColAnchorText)), 160);
    EXPECT_EQ(settings.read(Keys::ColumnVisible(ColWebsite)), Keys::NoChoice);
    EXPECT_FALSE(settings.read(Keys::ShowDetails));
    EXPECT_EQ(QByteArray(Keys::ColumnWidth(6).key), QByteArray("6"));
    EXPECT_FALSE(QFile::exists(path())) << "reading must not create the file";
}

TEST_F(SettingsFileTest, HandWrittenNumbersAndBooleans)
{
    givenFile("[Common]\r\nThreadCount=0x0A\r\nWindowMax=2\r\nCurrentSite=-4\r\n"
              "[Proxy]\r\nProxyPort=$1F90\r\nUseProxy=yes\r\n[Connect]\r\nTimeout= \"25\" \r\n");
    const SettingsFile settings(path());
    EXPECT_EQ(settings.read(Keys::ThreadCount), 10);
    EXPECT_TRUE(settings.read(Keys::WindowMax));
    EXPECT_EQ(settings.read(Keys::CurrentSite), -4);
    EXPECT_EQ(settings.read(Keys::ProxyPort), 8080);
    EXPECT_FALSE(settings.read(Keys::UseProxy));
    EXPECT_EQ(settings.read(Keys::ConnectTimeout), 25);

    givenFile("[Common]\nThreadCount=ten\nWindowMax=yes\n");
    EXPECT_EQ(settings.read(Keys::ThreadCount), 3);
    EXPECT_FALSE(settings.read(Keys::WindowMax));
    EXPECT_TRUE(settings.readBool("Common", "WindowMax", true));
}

TEST(IniInteger, AcceptsSignedDecimalAndPrefixedHexWithinRangeOnly)
{
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"0", 0},
        {"+7", 7},
        {"-12", -12},
        {"007", 7},
        {"0x0A", 10},
        {"0XfF", 255},
        {"$ff", 255},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"0x7FFFFFFF", 2147483647},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"0x80000000", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"0x", std::nullopt},
        {"$", std::nullopt},
        {"-0x5", std::nullopt},
        {"12abc", std::nullopt},
        {"1 2", std::nullopt},
        {" 5", std::nullopt},
        {"0b101", std::nullopt},
        {"ten", std::nullopt},
        {"1.5", std::nullopt},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(IniText::parseInteger(text), expected) << text;
}

TEST(IniRead, NamesFoldCaseAndValuesAreTrimmedAndUnquotedOnce)
{
    const QByteArray ini = "; comment=not a key\r\n"
                           "Stray=before any section\r\n"
                           "  [ common ]  \r\n"
                           "\tthreadcount\t = \t 5 \t\r\n"
                           "Url=http://a.example/?x=1&y=2\r\n"
                           "Both=\"quoted\"\r\n"
                           "Single=' spaced '\r\n"
                           "Nested='\"x\"'\r\n"
                           "Uneven=\"abc'\r\n"
                           "Lone=\"\r\n"
                           "Empty=\r\n"
                           ";Hidden=1\r\n"
                           "NoEquals\r\n";
    EXPECT_EQ(iniRead(ini, "COMMON", "ThreadCount"), QByteArray("5"));
    EXPECT_EQ(iniRead(ini, "Common", "url"), QByteArray("http://a.example/?x=1&y=2"));
    EXPECT_EQ(iniRead(ini, "Common", "Both"), QByteArray("quoted"));
    EXPECT_EQ(iniRead(ini, "Common", "Single"), QByteArray(" spaced "));
    EXPECT_EQ(iniRead(ini, "Common", "Nested"), QByteArray("\"x\""));
    EXPECT_EQ(iniRead(ini, "Common", "Uneven"), QByteArray("\"abc'"));
    EXPECT_EQ(iniRead(ini, "Common", "Lone"), QByteArray("\""));
    EXPECT_EQ(iniRead(ini, "Common", "Empty"), QByteArray(""));
    EXPECT_EQ(iniRead(ini, "Common", "Hidden"), std::nullopt);
    EXPECT_EQ(iniRead(ini, "Common", "NoEquals"), std::nullopt);
    EXPECT_EQ(iniRead(ini, "Common", "Stray"), std::nullopt);
    EXPECT_EQ(iniRead(ini, "", "Stray"), std::nullopt);
    EXPECT_EQ(iniRead(ini, "Common", "; comment"), std::nullopt);
    EXPECT_EQ(iniRead(ini, "Other", "ThreadCount"), std::nullopt);
}

TEST(IniRead, FoldingIsAsciiOnlyAndFirstEntryWins)
{
    const QByteArray ini = "[A]\nk=first\nK=second\n[b]\nx=1\n[a]\nk=third\nonly=later\n[\xc3\xa9]\nk=e\n";
    EXPECT_EQ(iniRead(ini, "a", "k"), QByteArray("first"));
    EXPECT_EQ(iniRead(ini, "A", "only"), QByteArray("later"));
    EXPECT_EQ(iniRead(ini, "\xc3\xa9", "k"), QByteArray("e"));
    EXPECT_EQ(iniRead(ini, "\xc3\x89", "k"), std::nullopt);
    const QByteArray written = IniText::writeValue(ini, "a", "only", "new");
    EXPECT_EQ(iniRead(written, "A", "only"), QByteArray("new"));
    EXPECT_EQ(written, QByteArray(ini).replace("only=later", "only=new"));
}

TEST(IniRead, ValuesStopAt2047Bytes)
{
    const QByteArray exact(2047, 'x');
    const QByteArray longer = QByteArray(2047, 'y') + "TAIL";
    const QByteArray ini = "[S]\nexact=" + exact + "\nlonger=" + longer + "\nquoted=\"" + exact + "\"\n";
    EXPECT_EQ(iniRead(ini, "S", "exact"), exact);
    EXPECT_EQ(iniRead(ini, "S", "longer"), QByteArray(2047, 'y'));
    EXPECT_EQ(iniRead(ini, "S", "quoted"), exact) << "quotes come off before the cut";
}

TEST(IniWrite, KeepsEveryOtherLineByteForByte)
{
    const QByteArray before = "; settings\r\n"
                              "\r\n"
                              "[Common]\r\n"
                              "  ThreadCount =  4   ; old\r\n"
                              "weird line without equals\n"
                              "WindowMax=0\r"
                              "\r\n"
                              "\r\n"
                              "[Proxy]\r\n"
                              "ProxyServer = \"proxy.example\"\r\n"
                              "\r\n";
    // Replaced in place: the key's spelling and the blanks around "=" stay.
    EXPECT_EQ(IniText::writeValue(before, "common", "threadcount", "7"), QByteArray(before).replace("4   ; old", "7"));
    // Added after the last non-blank line of its section, before the blank lines.
    EXPECT_EQ(IniText::writeValue(before, "Common", "CurrentSite", "2"),
              QByteArray(before).replace("WindowMax=0\r", "WindowMax=0\rCurrentSite=2\r\n"));
    // Added with its section at the end of the file.
    EXPECT_EQ(IniText::writeValue(before, "Connect", "Timeout", "30"), before + "[Connect]\r\nTimeout=30\r\n");
}

TEST(IniWrite, StartsALineWhereTheFileHasNoFinalBreak)
{
    EXPECT_EQ(IniText::writeValue("", "S", "k", "v"), QByteArray("[S]\r\nk=v\r\n"));
    EXPECT_EQ(IniText::writeValue("[S]", "S", "k", "v"), QByteArray("[S]\r\nk=v\r\n"));
    EXPECT_EQ(IniText::writeValue("[S]\na=1", "S", "k", "v"), QByteArray("[S]\na=1\r\nk=v\r\n"));
    EXPECT_EQ(IniText::writeValue("[S]\na=1", "T", "k", "v"), QByteArray("[S]\na=1\r\n[T]\r\nk=v\r\n"));
    EXPECT_EQ(IniText::writeValue("[S]\rk=1", "S", "k", "22"), QByteArray("[S]\rk=22"));
}

TEST(IniWrite, RewritingTheSameValueChangesNothing)
{
    const QByteArray once = IniText::writeValue("[S]\r\nk = 1\r\n", "S", "k", "  padded ");
    EXPECT_EQ(once, QByteArray("[S]\r\nk =  padded \r\n"));
    EXPECT_EQ(IniText::writeValue(once, "S", "k", "  padded "), once);
    EXPECT_EQ(iniRead(once, "S", "k"), QByteArray("padded"));
}

TEST(IniWrite, LineBreaksInATextCannotStartLinesOfTheirOwn)
{
    const QByteArray written = IniText::writeValue("[Proxy]\n", "Proxy", "ProxyUser", "me\r\n[Common]\nThreadCount=99");
    EXPECT_EQ(iniRead(written, "Common", "ThreadCount"), std::nullopt);
    EXPECT_EQ(iniRead(written, "Proxy", "ProxyUser"), QByteArray("me  [Common] ThreadCount=99"));
}

// Whatever the bytes around it, a write changes only its own key.
TEST(IniWrite, HostileContentsAreSurvivedAndKept)
{
    static constexpr char nulBytes[] = "[Common]\0\nThreadCount=5\0junk\n[Pro\0xy]\nUseProxy=1\n";
    QByteArray nul(nulBytes, sizeof nulBytes - 1);
    QByteArray crOnly("[Common]\rThreadCount=6\r\r[Proxy]\rUseProxy=1");
    QByteArray huge = "[Common]\n" + QByteArray(3'000'000, 'z') + "\nThreadCount=7\n";
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(char((i * 131 + 7) % 256));
    binary.append("\n[Common]\nThreadCount=8\n");

    for (const QByteArray& before : {nul, crOnly, huge, binary}) {
        const std::optional<QByteArray> proxy = iniRead(before, "Proxy", "UseProxy");
        const QByteArray after = IniText::writeValue(before, "Common", "CurrentSite", "12");
        EXPECT_EQ(iniRead(after, "Common", "CurrentSite"), QByteArray("12"));
        EXPECT_EQ(iniRead(after, "Proxy", "UseProxy"), proxy);
        EXPECT_EQ(iniRead(after, "Common", "ThreadCount"), iniRead(before, "Common", "ThreadCount"));
        EXPECT_EQ(after.size(), before.size() + qsizetype(sizeof("CurrentSite=12\r\n") - 1));
    }
    EXPECT_EQ(iniRead(nul, "Common", "ThreadCount"), QByteArray("5\0junk", 6));
    EXPECT_EQ(IniText::parseInteger(*iniRead(nul, "Common", "ThreadCount")), std::nullopt);
    EXPECT_EQ(iniRead(crOnly, "Proxy", "UseProxy"), QByteArray("1"));
    EXPECT_EQ(iniRead(huge, "Common", "ThreadCount"), QByteArray("7"));
}

TEST_F(SettingsFileTest, WritesEachTypeAndReadsItBack)
{
    SettingsFile settings(path());
    settings.write(Keys::ThreadCount, 12);
    settings.write(Keys::CurrentSite, -3);
    settings.write(Keys::WindowMax, true);
    settings.write(Keys::UseProxy, false);
    settings.write(Keys::ProxyServer, "proxy.example");
    settings.write(Keys::ColumnWidth(4), 120);
    EXPECT_EQ(readFile(path()),
              QByteArray("[Common]\r\nThreadCount=12\r\nCurrentSite=-3\r\nWindowMax=1\r\n"
                         "[Proxy]\r\nUseProxy=0\r\nProxyServer=proxy.example\r\n"
                         "[ColumnWidth]\r\n4=120\r\n"));
    const SettingsFile other(path());
    EXPECT_EQ(other.read(Keys::ThreadCount), 12);
    EXPECT_EQ(other.read(Keys::CurrentSite), -3);
    EXPECT_TRUE(other.read(Keys::WindowMax));
    EXPECT_EQ(other.read(Keys::ProxyServer), QByteArray("proxy.example"));
    EXPECT_EQ(other.read(Keys::ColumnWidth(4)), 120);
    EXPECT_EQ(other.read(Keys::ColumnWidth(3)), 50);
}

// The file holds the proxy password in plain text.
TEST_F(SettingsFileTest, TheFileIsTheOwnersAloneAndAStricterModeStays)
{
    const mode_t oldMask = umask(022);
    const auto modeOf = [this] {
        struct stat status {};
        EXPECT_EQ(stat(QFile::encodeName(path()).constData(), &status), 0);
        return status.st_mode & 07777;
    };
    SettingsFile settings(path());
    settings.write(Keys::ProxyPass, "secret");
    EXPECT_EQ(modeOf(), 0600u);

    ASSERT_EQ(chmod(QFile::encodeName(path()).constData(), 0644), 0);
    settings.write(Keys::ThreadCount, 9);
    EXPECT_EQ(modeOf(), 0600u);
    ASSERT_EQ(chmod(QFile::encodeName(path()).constData(), 0400), 0);
    settings.write(Keys::ThreadCount, 8);
    EXPECT_EQ(modeOf(), 0400u);
    umask(oldMask);

    EXPECT_EQ(settings.read(Keys::ThreadCount), 8);
    EXPECT_EQ(settings.read(Keys::ProxyPass), QByteArray("secret"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("config.ini")})
        << "no temporary file is left behind";
}

TEST_F(SettingsFileTest, RefusedWriteNamesTheFullPathAndChangesNothing)
{
    givenFile("not a directory");
    const QString impossible = dir.filePath(QStringLiteral("config.ini/config.ini"));
    SettingsFile settings(impossible);
    try {
        settings.write(Keys::ThreadCount, 5);
        FAIL() << "the write should have been refused";
    } catch (const AppError& error) {
        EXPECT_EQ(error.text(), QStringLiteral("Unable to write to ") + impossible);
    }
    EXPECT_EQ(readFile(path()), QByteArray("not a directory"));
    EXPECT_EQ(settings.read(Keys::ThreadCount), 3);

    // A config.ini that is there but cannot be read is not replaced by a file holding one key.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub/config.ini")));
    SettingsFile directory(dir.filePath(QStringLiteral("sub/config.ini")));
    EXPECT_THROW(directory.write(Keys::ThreadCount, 5), AppError);
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("sub/config.ini"))).isDir());
}

// A full disk, which stops root as well: a file-size limit makes the write fail part-way.
TEST_F(SettingsFileTest, WriteThatRunsOutOfSpaceLeavesTheOldFileWhole)
{
    const QByteArray before = "[Common]\r\nThreadCount=4\r\n; keep me\r\n";
    givenFile(before);
    SettingsFile settings(path());

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool threw = false;
    try {
        settings.write(Keys::ProxyPass, QByteArray(256 * 1024, 'p'));
    } catch (const AppError& error) {
        threw = true;
        EXPECT_TRUE(error.text().startsWith(QStringLiteral("Unable to write to "))) << error.what();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(threw);
    EXPECT_EQ(readFile(path()), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("config.ini")});
}

// Writers on several threads must not lose each other's keys, and readers must only ever see whole
// values that some writer wrote.
TEST_F(SettingsFileTest, ConcurrentReadersAndWritersSeeWholeValuesAndLoseNothing)
{
    constexpr int writers = 3;
    constexpr int writesEach = 60;
    const auto valueOf = [](int writer, int n) {
        return QByteArray::number(writer) + '-' + QByteArray::number(n) + '-' + QByteArray(300, char('a' + writer));
    };
    std::atomic<int> running{writers};
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < writers; ++w) {
        threads.emplace_back([&, w] {
            try {
                SettingsFile settings(path());  // an object of its own: the lock is the process's
                for (int n = 1; n <= writesEach; ++n)
                    settings.writeString("Threads", "Key" + QByteArray::number(w), valueOf(w, n));
            } catch (...) {
                ++failures;
            }
            --running;
        });
    }
    for (int r = 0; r < 2; ++r) {
        threads.emplace_back([&, r] {
            const SettingsFile settings(path());
            try {
                while (running > 0) {
                    for (int w = 0; w < writers; ++w) {
                        const QByteArray value = settings.readString("Threads", "Key" + QByteArray::number(w), "none");
                        if (value == "none")
                            continue;
                        const QList<QByteArray> parts = value.split('-');
                        if (parts.size() != 3 || parts[0].toInt() != w || value != valueOf(w, parts[1].toInt()))
                            ++failures;
                    }
                    if (r == 0)
                        std::this_thread::yield();
                }
            } catch (...) {
                ++failures;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
    const SettingsFile settings(path());
    for (int w = 0; w < writers; ++w)
        EXPECT_EQ(settings.readString("Threads", "Key" + QByteArray::number(w), ""), valueOf(w, writesEach));
}
