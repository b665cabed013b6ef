#include "card_export.h"
#include "card_folder.h"
#include "card_list.h"
#include "plain_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>

TEST(CardExport, ALargeSetIsWrittenInOrderAroundCardsThatCannotBeRead)
{
    // More cards than the worker threads take in a few batches, the first
    // and one in the middle no card files (FIFOs): the rest keep their order
    // and the JSON stays whole without its first card.
    CardFolder folder;
    const std::string bytes = cardFileBytes(Card{"3", "4", "1", 2, {}});
    std::vector<std::string> expected;
    for (int i = 0; i < 1000; ++i) {
        char id[8];
        std::snprintf(id, sizeof id, "%04d", i);
        if (i == 0 || i == 517) {
            ASSERT_EQ(::mkfifo(folder.file(std::string(id) + ".ini").c_str(), 0644), 0);
            continue;
        }
        folder.write(std::string(id) + ".ini", bytes);
        expected.push_back(id);
    }
    std::vector<CardFile> files;
    ASSERT_FALSE(findCardFiles(folder.path(), files));
    std::string csv, json;
    const std::vector<std::string> problems = exportCardSet(
        files, [&](std::string_view piece) { csv += piece; }, [&](std::string_view piece) { json += piece; });
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_NE(problems[0].find("0000.ini"), std::string::npos) << problems[0];
    EXPECT_NE(problems[1].find("0517.ini"), std::string::npos) << problems[1];

    std::vector<std::string> ids;
    for (std::size_t pos = csv.find("\r\n") + 2; pos < csv.size(); pos = csv.find("\r\n", pos) + 2)
        ids.push_back(csv.substr(pos, 4));
    EXPECT_EQ(ids, expected);
    EXPECT_TRUE(json.starts_with("[\n  {\"ID\": \"0001\", ")) << json.substr(0, 40);
    EXPECT_EQ(json.find("[,"), std::string::npos);
    EXPECT_TRUE(json.ends_with("}\n]\n"));

    CardListTable table;
    std::vector<std::string> unread;
    forEachCard(
        files, [&](const CardRow& row) { table.add(row); }, unread);
    EXPECT_EQ(unread.size(), 2u);
    std::string listed;
    table.write([&](std::string_view piece) { listed += piece; });
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 999);
}
