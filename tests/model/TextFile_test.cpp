#include "model/AppError.h"
#include "model/TextFile.h"
#include "support/QtPrinters.h"
#include "support/TempAppDir.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

QString FailureOf(const QString& path)
{
    try {
        ReadTextFile(path);
    } catch (const AppError& error) {
        return error.text();
    }
    return QStringLiteral("no failure");
}

TEST(ReadTextFile, ReadsEveryByte)
{
    TempAppDir dir;
    const QByteArray bytes("one\r\ntwo\0three\xff", 15);
    dir.write(QStringLiteral("a.txt"), bytes);
    EXPECT_EQ(ReadTextFile(dir.file(QStringLiteral("a.txt"))), bytes);
    dir.write(QStringLiteral("empty.txt"), {});
    EXPECT_EQ(ReadTextFile(dir.file(QStringLiteral("empty.txt"))), QByteArray());
}

TEST(ReadTextFile, FailuresNameTheAbsolutePathAndTheSystemsReason)
{
    TempAppDir dir;
    const QString missing = dir.file(QStringLiteral("missing.txt"));
    EXPECT_EQ(FailureOf(missing), QStringLiteral("Cannot open file \"%1\". No such file or directory").arg(missing));

    const QString relative = QStringLiteral("no-such-file-here.txt");
    EXPECT_EQ(FailureOf(relative),
              QStringLiteral("Cannot open file \"%1\". No such file or directory")
                  .arg(QDir::current().absoluteFilePath(relative)));

    EXPECT_EQ(FailureOf(dir.path()), QStringLiteral("Cannot open file \"%1\". Is a directory").arg(dir.path()));
    EXPECT_EQ(FailureOf(QString()), QStringLiteral("Cannot open file \"\". No such file or directory"));
}

TEST(ReadTextFile, ADeviceThatNeverEndsIsRefused)
{
    EXPECT_EQ(FailureOf(QStringLiteral("/dev/zero")),
              QStringLiteral("Cannot open file \"/dev/zero\". Invalid argument"));
}

}  // namespace
