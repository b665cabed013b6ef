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

TEST(Csv, ARecordCutAcrossReadsAnywhereReadsTheSame)
{
    // Every way of cutting: a byte-order mark, a CR LF, a doubled quote and
    // a quoted line break each split between two reads.
    const std::string text = std::string(kUtf8Bom) + "ID,1\r\n\r\n000,\"Strike, \"\"Blast\"\"\"\r\n"
                             + "\"001\",\"二行\r\nの技\"\r\n002,a\rb\r\n003,end\r";
    const CsvTable whole = parseCsv(text);
    ASSERT_FALSE(whole.error);
    ASSERT_EQ(whole.records.size(), 5u);
    EXPECT_EQ(whole.records[4].fields, (Fields{"003", "end"}));
    for (std::size_t piece = 1; piece <= 8; ++piece) {
        TextInput input(text, piece);
        CsvReader reader(input);
        EXPECT_TRUE(reader.startsWithBom());
        CsvRecord record;
        std::vector<CsvRecord> records;
        while (reader.next(record))
            records.push_back(record);
        EXPECT_FALSE(reader.error()) << piece;
        ASSERT_EQ(records.size(), whole.records.size()) << piece;
        for (std::size_t r = 0; r < records.size(); ++r) {
            EXPECT_EQ(records[r].fields, whole.records[r].fields) << piece;
            EXPECT_EQ(records[r].row, whole.records[r].row) << piece;
        }
    }
}

TEST(Csv, ARecordOverTheLimitStopsTheReadingWhereItIs)
{
    // A record of exactly the limit is read; one byte more is refused at its
    // row and field, and a quote left open stops there, not at the end.
    const auto firstError = [](const std::string& text, std::size_t limit) {
        TextInput input(text, 3);
        CsvReader reader(input, limit);
        CsvRecord record;
        std::size_t records = 0;
        while (reader.next(record))
            ++records;
        return std::make_pair(records, reader.error());
    };
    const auto [fits, none] = firstError("a,b\r\n12345,\"6789\"\r\nx,y\r\n", 12);
    EXPECT_EQ(fits, 3u);
    EXPECT_FALSE(none);

    const auto [before, tooLong] = firstError("a,b\r\n12345,\"67890\"\r\nx,y\r\n", 12);
    EXPECT_EQ(before, 1u);
    ASSERT_TRUE(tooLong);
    EXPECT_EQ(tooLong->row, 2u);
    EXPECT_EQ(tooLong->field, 2u);
    EXPECT_NE(tooLong->reason.find("12バイト"), std::string::npos) << tooLong->reason;

    const auto [open, unclosed] = firstError("a,b\r\nc,\"open" + std::string(100, 'x'), 40);
    EXPECT_EQ(open, 1u);
    ASSERT_TRUE(unclosed);
    EXPECT_NE(unclosed->reason.find("閉じられていない"), std::string::npos) << unclosed->reason;
}
