#include "card_export.h"
#include "card_folder.h"
#include "card_list.h"
#include "plain_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>

namespace {

CardRow sampleRow()
{
    CardRow row{"000", {"3", "4", "1", 2, {}}};
    row.card.Levels[0] = {"20", "10", "N/30P/1", "たいあたり", "Blast"};
    row.card.Levels[2] = {"40", "", "", "", ""};
    return row;
}

}  // namespace

TEST(CardColumns, ValuesGoInColumnOrderAndBack)
{
    const auto& columns = cardColumns();
    const std::vector<std::string> values = rowValues(sampleRow());
    ASSERT_EQ(values.size(), columns.size());
    EXPECT_EQ(columns[5].name, "Lv1.HP");
    EXPECT_EQ(columns[24].name, "Lv4.2");
    EXPECT_EQ((std::vector<std::string>(values.begin(), values.begin() + 10)),
        (std::vector<std::string>{"000", "3", "4", "1", "2", "20", "10", "たいあたり", "N/30P/1", "Blast"}));

    CardRow back;
    for (std::size_t i = 0; i < columns.size(); ++i)
        ASSERT_FALSE(setRowValue(back, columns[i], values[i])) << columns[i].name;
    EXPECT_EQ(rowValues(back), values);

    // A super mode Load would not select is exported empty; only 0 to 3 or empty come back.
    back.card.SuperMode.reset();
    EXPECT_EQ(rowValues(back)[4], "");
    for (const char* bad : {"4", "-1", "02", "x"}) {
        EXPECT_TRUE(setRowValue(back, columns[4], bad)) << bad;
        EXPECT_FALSE(back.card.SuperMode) << bad;
    }
    EXPECT_EQ(columnOf("Lv3", "S"), &columns[18]);
    EXPECT_EQ(columnOf("Lv5", "S"), nullptr);
}

TEST(CardExport, CsvAndJsonHoldEveryCard)
{
    CardRow quoted = sampleRow();
    quoted.id = "001";
    quoted.card.Levels[0].NomalWaza = "a \"b\", c\\d\te";
    const std::vector<CardRow> rows{sampleRow(), quoted};

    const std::string csv = cardsCsv(rows);
    EXPECT_TRUE(csv.starts_with("\xEF\xBB\xBFID,rare,maxlv,minlv,super,Lv1.HP,Lv1.P,Lv1.1,Lv1.S,Lv1.2,Lv2.HP,"));
    EXPECT_NE(csv.find("\r\n001,3,4,1,2,20,10,\"a \"\"b\"\", c\\d\te\",N/30P/1,"), std::string::npos);

    const std::string json = cardsJson(rows);
    EXPECT_TRUE(json.starts_with("[\n  {\"ID\": \"000\", \"rare\": \"3\", "));
    EXPECT_NE(json.find("\"Lv1.1\": \"a \\\"b\\\", c\\\\d\\te\""), std::string::npos);
    EXPECT_NE(json.find("\"Lv1.1\": \"たいあたり\""), std::string::npos);
    EXPECT_TRUE(json.ends_with("}\n]\n"));
    EXPECT_EQ(cardsJson({}), "[]\n");
    EXPECT_EQ(jsonString(std::string("\x01\xff", 2)), "\"\\u0001\xEF\xBF\xBD\"");
}

TEST(CardList, LinesUpJapaneseAndLeavesOutEmptyColumns)
{
    CardRow wide = sampleRow();
    wide.id = "かな";
    const std::string table = cardListTable({sampleRow(), wide});

    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < table.size();) {
        const auto end = table.find('\n', pos);
        lines.push_back(table.substr(pos, end - pos));
        pos = end + 1;
    }
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].find("Lv2."), std::string::npos);  // no card has level 2
    EXPECT_NE(lines[0].find("Lv3.HP"), std::string::npos);
    // "rare" starts in the same screen column on every line.
    const auto column
        = [](const std::string& line, std::string_view word) { return displayWidth(line.substr(0, line.find(word))); };
    EXPECT_EQ(column(lines[1], "3  "), column(lines[0], "rare"));
    EXPECT_EQ(column(lines[2], "3  "), column(lines[0], "rare"));
    EXPECT_EQ(column(lines[2], "たいあたり"), column(lines[0], "Lv1.1"));
    EXPECT_EQ(displayWidth("かなA"), 5u);
}

TEST(OutputFile, TheOldFileStaysUntilTheNewOneIsComplete)
{
    CardFolder folder;
    folder.write("cards.csv", "old");
    {
        OutputFile out(folder.file("cards.csv"));
        out.append("new ");
        out.append(std::string(3 << 20, 'x'));  // more than is held before writing
        EXPECT_EQ(folder.read("cards.csv"), "old");
    }  // dropped unfinished: the old file stays, nothing else
    EXPECT_EQ(folder.names(), std::set<std::string>{"cards.csv"});

    OutputFile out(folder.file("cards.csv"));
    out.append("new");
    EXPECT_FALSE(out.finish());
    EXPECT_EQ(folder.read("cards.csv"), "new");
    EXPECT_EQ(folder.names(), std::set<std::string>{"cards.csv"});

    OutputFile nowhere(folder.file("missing/cards.csv"));
    nowhere.append("x");
    const CardProblem problem = nowhere.finish();
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("missing/cards.csv"), std::string::npos) << *problem;
}
