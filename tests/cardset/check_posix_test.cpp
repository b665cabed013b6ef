// File names that only Linux can hold.
#include "card_check.h"
#include "card_folder.h"

#include <gtest/gtest.h>

namespace {

TEST(CardCheck, NamesNoIdCanHaveOrNotInUtf8)
{
    CardFolder folder;
    const std::string head = "[head]\r\nrare=3\r\nmaxlv=4\r\nminlv=1\r\nsuper=2\r\n";
    folder.write("a\x01id.ini", head);
    folder.write("\xff.ini", head);
    std::vector<CardFile> files;
    ASSERT_FALSE(findCardFiles(folder.path(), files));
    const CheckReport report = checkCardSet(files);
    EXPECT_EQ(report.cardsWithFindings, 2u) << report.text;
    EXPECT_NE(report.text.find("ファイル名に使えません"), std::string::npos) << report.text;
    EXPECT_NE(report.text.find("UTF-8の文字になっていない"), std::string::npos) << report.text;
}

}  // namespace

namespace {

TEST(CardCheck, IdsThatDifferOnlyInLetterCaseAreOneFileOnWindows)
{
    CardFolder folder;
    const std::string head = "[head]\r\nrare=3\r\nmaxlv=4\r\nminlv=1\r\nsuper=2\r\n";
    for (const char* id : {"card", "CARD", "Card2", "ｃａｒｄ"})
        folder.write(std::string(id) + ".ini", head);
    std::vector<CardFile> files;
    ASSERT_FALSE(findCardFiles(folder.path(), files));
    const CheckReport report = checkCardSet(files);
    EXPECT_EQ(report.cardsWithFindings, 2u) << report.text;
    EXPECT_NE(report.text.find("card.ini: 「CARD.ini」と大文字と小文字だけが違う"), std::string::npos) << report.text;
    EXPECT_NE(report.text.find("CARD.ini: 「card.ini」と"), std::string::npos) << report.text;
}

}  // namespace
