#include "model/Csv.h"
#include "model/CsvImport.h"

#include <gtest/gtest.h>

using Rows = std::vector<std::vector<QByteArray>>;

TEST(Csv, ReadsQuotedCommasQuotesAndLineBreaksOfEveryKind)
{
    const QByteArray text = "\xEF\xBB\xBFurl,note\r\n"
                            "http://a.test/,\"one, two\"\r\n"
                            "\r\n"
                            "http://b.test/,\"say \"\"hi\"\"\"\n"
                            "http://c.test/,\"two\r\nlines\"\r"
                            "http://d.test/,\"lf\nand cr\rinside\"\n"
                            "\xc3\xa4,,\n"
                            "last,\"\"";
    CsvReader reader(text);
    Rows rows;
    std::vector<qsizetype> lines;
    std::vector<QByteArray> fields;
    while (reader.next(fields)) {
        rows.push_back(fields);
        lines.push_back(reader.line());
    }
    EXPECT_EQ(reader.error(), QString());
    EXPECT_EQ(rows,
              (Rows{{"url", "note"},
                    {"http://a.test/", "one, two"},
                    {"http://b.test/", "say \"hi\""},
                    {"http://c.test/", "two\r\nlines"},
                    {"http://d.test/", "lf\nand cr\rinside"},
                    {"\xc3\xa4", "", ""},
                    {"last", ""}}));
    EXPECT_EQ(lines, (std::vector<qsizetype>{1, 2, 4, 5, 7, 10, 11}));
}

// Spreadsheets write these; they are read as they stand rather than refused.
TEST(Csv, TakesStrayQuotesAsTheyStand)
{
    EXPECT_EQ(ReadCsv("ab\"c,\"x\"y,\"\"\"\"\n").rows, (Rows{{"ab\"c", "xy", "\""}}));
    EXPECT_EQ(ReadCsv("  spaced  , \"q\" \n").rows, (Rows{{"  spaced  ", " \"q\" "}}));
}

TEST(Csv, StopsAtHostileInputWithTheLineAndKeepsTheRowsBefore)
{
    CsvTable open = ReadCsv("a,b\nc,d\n\"never closed,\ne,f\n");
    EXPECT_EQ(open.rows, (Rows{{"a", "b"}, {"c", "d"}}));
    EXPECT_EQ(open.error, QStringLiteral("Line 3: a quoted field is not closed."));

    CsvLimits limits;
    limits.maxFieldBytes = 10;
    limits.maxRowBytes = 25;
    limits.maxFieldsPerRow = 4;
    EXPECT_EQ(ReadCsv("ok\n\"0123456789A\"\n", limits).error,
              QStringLiteral("Line 2: a field is longer than 10 bytes."));
    EXPECT_EQ(ReadCsv("0123456789,0123456789,0123456789\n", limits).error,
              QStringLiteral("Line 1: a row is longer than 25 bytes."));
    EXPECT_EQ(ReadCsv("a,b,c,d,e\n", limits).error, QStringLiteral("Line 1: a row has more than 4 fields."));
    EXPECT_EQ(ReadCsv("a,b,c,d\n", limits).rows.size(), 1u);

    // A file that is one endless quoted field ends at the limit, not at the end of memory.
    const QByteArray endless = '"' + QByteArray(8 << 20, 'x');
    const CsvTable table = ReadCsv(endless);
    EXPECT_TRUE(table.rows.empty());
    EXPECT_EQ(table.error, QStringLiteral("Line 1: a field is longer than 65536 bytes."));
}

TEST(Csv, WritesWhatItReadsBackQuotingOnlyWhereNeeded)
{
    const Rows rows = {{"plain", "with,comma", "with \"quote\"", "", " lead", "trail\t"},
                       {"two\r\nlines", "cr\ronly", "lf\nonly", "\xe2\x80\x93 dash", "'=1+1"},
                       {""}};
    CsvWriter writer;
    for (const std::vector<QByteArray>& row : rows)
        writer.addRow(row);
    EXPECT_EQ(writer.bytes(),
              "plain,\"with,comma\",\"with \"\"quote\"\"\",,\" lead\",\"trail\t\"\r\n"
              "\"two\r\nlines\",\"cr\ronly\",\"lf\nonly\",\xe2\x80\x93 dash,'=1+1\r\n"
              "\"\"\r\n");
    EXPECT_EQ(ReadCsv(writer.bytesWithBom()).rows, rows);
}

TEST(Csv, DefusesTextThatASpreadsheetWouldRun)
{
    EXPECT_EQ(DefusedCsvText("=HYPERLINK(\"http://evil.test\")"), "'=HYPERLINK(\"http://evil.test\")");
    for (const char* risky : {"+1", "-2", "@SUM(A1)", "\tx", "\rx"})
        EXPECT_EQ(DefusedCsvText(risky), '\'' + QByteArray(risky)) << risky;
    EXPECT_EQ(DefusedCsvText("My site"), "My site");
    EXPECT_EQ(DefusedCsvText(""), "");
}

TEST(CsvImport, FindsTheColumnsByTheirNamesInAnyOrderAndCase)
{
    const CsvImport import =
        ReadImportCsv("\xEF\xBB\xBF\"E-Mail\",Notes,\"Last_Name\",FIRST NAME,Page URL,url\r\n"
                      "anna@partner.test,met in May,Smith,Anna, http://partner.test/links ,x\r\n"
                      ",,,,\r\n"
                      "john@travel.test,\"likes, commas\",\"Miller \"\"Jr\"\"\",John,travel.test/a\r\n"
                      "only@mail.test\r\n");
    EXPECT_TRUE(import.hasHeader);
    EXPECT_EQ(import.error, QString());
    EXPECT_EQ(import.links,
              (std::vector<ImportedLink>{
                  {"http://partner.test/links", "Anna", "Smith", "anna@partner.test"},
                  {"travel.test/a", "John", "Miller \"Jr\"", "john@travel.test"},
              }));

    const CsvImport bare = ReadImportCsv("Link\nhttp://a.test/\nhttp://b.test/");
    EXPECT_TRUE(bare.hasHeader);
    EXPECT_EQ(bare.links, (std::vector<ImportedLink>{{"http://a.test/", {}, {}, {}}, {"http://b.test/", {}, {}, {}}}));
}

// Such a file is read one address a line, as a plain text file always was.
TEST(CsvImport, AFileWithoutAnAddressHeaderIsLeftToTheLineReader)
{
    for (const char* text : {"http://a.test/\nhttp://b.test/\n", "name,e-mail\nAnna,anna@a.test\n", "", "\n\n",
                             "homepage,first name\nhttp://a.test/,Anna\n"}) {
        const CsvImport import = ReadImportCsv(text);
        EXPECT_FALSE(import.hasHeader) << text;
        EXPECT_TRUE(import.links.empty()) << text;
    }
}

TEST(CsvImport, KeepsTheRowsBeforeABrokenOneAndSaysWhere)
{
    const CsvImport import = ReadImportCsv("url,email\nhttp://a.test/,a@a.test\n\"http://b.test/,b@b.test\n");
    EXPECT_TRUE(import.hasHeader);
    EXPECT_EQ(import.links, (std::vector<ImportedLink>{{"http://a.test/", {}, {}, "a@a.test"}}));
    EXPECT_EQ(import.error, QStringLiteral("Line 3: a quoted field is not closed."));
}
