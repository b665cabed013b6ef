#include "csv.h"

#include <gtest/gtest.h>

namespace {

using Fields = std::vector<std::string>;

std::vector<Fields> fieldsOf(const CsvTable& table)
{
    std::vector<Fields> out;
    for (const CsvRecord& r : table.records)
        out.push_back(r.fields);
    return out;
}

}  // namespace

TEST(Csv, ReadsWhatSpreadsheetProgramsSave)
{
    const std::string body = "ID,1\r\n"
                             "000,\"Strike, then \"\"Blast\"\"\"\r\n"
                             "\r\n"
                             "\"001\",\"二行\r\nの技\"\r\n"
                             "002,\r\n";
    const std::vector<Fields> expected{
        {"ID", "1"}, {"000", "Strike, then \"Blast\""}, {"001", "二行\r\nの技"}, {"002", ""}};
    for (const std::string& text : {std::string(kUtf8Bom) + body, body}) {
        const CsvTable table = parseCsv(text);
        ASSERT_FALSE(table.error) << table.error->reason;
        EXPECT_EQ(fieldsOf(table), expected);
        // Rows are numbered as a spreadsheet shows them: the empty line is row 3,
        // the line break inside quotes starts no row of its own.
        ASSERT_EQ(table.records.size(), 4u);
        EXPECT_EQ(table.records[2].row, 4u);
        EXPECT_EQ(table.records[3].row, 5u);
    }
    // Bare LF line ends and no line end at the end read the same.
    EXPECT_EQ(fieldsOf(parseCsv("a,b\n\"c\",d")), (std::vector<Fields>{{"a", "b"}, {"c", "d"}}));
}

TEST(Csv, WhatItWritesReadsBack)
{
    const Fields tricky{"", "a,b", "say \"hi\"", "line\r\nbreak", "lf\nonly", "表示", "\t"};
    const std::string line = csvRecord(tricky);
    EXPECT_EQ(line, ",\"a,b\",\"say \"\"hi\"\"\",\"line\r\nbreak\",\"lf\nonly\",表示,\t\r\n");
    const CsvTable table = parseCsv(line + line);
    ASSERT_FALSE(table.error);
    EXPECT_EQ(fieldsOf(table), (std::vector<Fields>{tricky, tricky}));
}

TEST(Csv, BrokenQuotingNamesRowAndField)
{
    CsvTable table = parseCsv("a,b\r\nc,\"open\r\n");
    ASSERT_TRUE(table.error);
    EXPECT_EQ(table.error->row, 2u);
    EXPECT_EQ(table.error->field, 2u);
    EXPECT_EQ(table.records.size(), 1u);

    table = parseCsv("a,b\r\n\"x\"y,z\r\n");
    ASSERT_TRUE(table.error);
    EXPECT_EQ(table.error->row, 2u);
    EXPECT_EQ(table.error->field, 1u);
}
