#include "app/ShellCommands.h"
#include "support/FakeShell.h"

#include <gtest/gtest.h>

namespace {

LinkRecord Link(const char* page, const char* email, const char* lastName)
{
    auto link = std::make_shared<rMonitorInfo>();
    link->PageUrl = page;
    link->Email = email;
    link->LastName = lastName;
    return link;
}

TEST(ShellCommands, OneMailPerLinkInOrderWithTheBodyUnencoded)
{
    InstalledFakeShell shell;
    SendEmailTo({Link("", "ann@a.example", "Smith"), Link("", "bob@b.example", "O'Neil & Sons"), Link("", "", ""),
                 Link("", "c\xc3\xa9@c.example", "M\xc3\xbcller")});
    EXPECT_EQ(shell.calls,
              (QStringList{
                  QStringLiteral("mail mailto:ann@a.example?body=Dear Mr.Smith"),
                  QStringLiteral("mail mailto:bob@b.example?body=Dear Mr.O'Neil & Sons"),
                  QStringLiteral("mail mailto:?body=Dear Mr."),
                  QStringLiteral("mail mailto:c\u00e9@c.example?body=Dear Mr.M\u00fcller"),
              }));
}

TEST(ShellCommands, PagesOpenInOrderAndOnlyWebAddressesReachTheShell)
{
    InstalledFakeShell shell;
    OpenPagesOf({Link("http://one.example/a b", "", ""), Link("file:///etc/passwd", "", ""),
                 Link("www.two.example/page", "", ""), Link("javascript:alert(1)", "", ""),
                 Link("HTTPS://three.example", "", ""), Link("", "", ""), Link("localhost:8080/x", "", "")});
    EXPECT_EQ(shell.calls,
              (QStringList{
                  QStringLiteral("url http://one.example/a b"),
                  QStringLiteral("url www.two.example/page"),
                  QStringLiteral("url HTTPS://three.example"),
                  QStringLiteral("url localhost:8080/x"),
              }));
}

TEST(ShellCommands, WebAddressesAreHttpHttpsOrWithoutScheme)
{
    EXPECT_TRUE(IsWebAddress(QStringLiteral("http://a.example")));
    EXPECT_TRUE(IsWebAddress(QStringLiteral(" https://a.example ")));
    EXPECT_TRUE(IsWebAddress(QStringLiteral("a.example/page?q=1")));
    EXPECT_TRUE(IsWebAddress(QStringLiteral("a.example:81")));
    EXPECT_FALSE(IsWebAddress(QStringLiteral("ftp://a.example")));
    EXPECT_FALSE(IsWebAddress(QStringLiteral("mailto:x@a.example")));
    EXPECT_FALSE(IsWebAddress(QStringLiteral("file:relative")));
    EXPECT_FALSE(IsWebAddress(QStringLiteral("smb://host/share")));
    EXPECT_FALSE(IsWebAddress(QStringLiteral("   ")));
}

}  // namespace
