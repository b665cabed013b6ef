#include "form_fixture.h"

#include <filesystem>

namespace {

using enum TextBoxName;
using Answer = SaveChangesAnswer;

std::string cardWithMoves(const std::string& normal, const std::string& extended, const std::string& level2 = "")
{
    return "[head]\r\nrare=1\r\n[Lv1]\r\nHP=10\r\nP=1\r\n1=" + normal + "\r\nS=N/1P/1\r\n2=" + extended
           + "\r\n[Lv2]\r\nHP=20\r\nP=2\r\n1=" + level2 + "\r\n";
}

class CardNavigationTest : public CardFormTest {
protected:
    void readEveryCard()
    {
        while (form.readSomeCards()) { }
    }
};

TEST_F(CardNavigationTest, NextAndPreviousGoThroughTheFolderInIdOrder)
{
    for (const char* name : {"010.ini", "002.ini", "B.ini", "a.ini"})
        folder.write(name, "[head]\r\nrare=" + std::string(name, 3) + "\r\n");
    type(txtID, "005");  // no card shown yet: from the ID typed
    form.mnuFileNext_Click();
    EXPECT_EQ(controls.text(txtID), "010");
    form.mnuFileNext_Click();
    EXPECT_EQ(controls.text(txtID), "B");  // byte order, as velmar-cards lists them
    form.mnuFileNext_Click();
    form.mnuFileNext_Click();  // the last card: nothing happens
    EXPECT_EQ(controls.text(txtID), "a");
    EXPECT_EQ(controls.text(txtRarelity), "a.i");

    type(txtRarelity, "changed");
    form.mnuFilePrevious_Click();  // Cancel
    EXPECT_EQ(controls.text(txtID), "a");
    controls.saveAnswer = Answer::DontSave;
    type(txtID, "zzz");  // the card shown counts, not the ID typed since
    form.mnuFilePrevious_Click();
    EXPECT_EQ(controls.text(txtID), "B");
    form.mnuFilePrevious_Click();
    form.mnuFilePrevious_Click();
    form.mnuFilePrevious_Click();
    EXPECT_EQ(controls.text(txtID), "002");
    EXPECT_EQ(controls.saveQuestions.size(), 2u);
    EXPECT_EQ(folder.read("a.ini"), "[head]\r\nrare=a.i\r\n");
}

TEST_F(CardNavigationTest, SuggestionsByIdComeFirstThenByMoveNameAsTheCardsAreRead)
{
    folder.write("100.ini", cardWithMoves("Strike", "Blast"));
    folder.write("101.ini", cardWithMoves("\x93\xcb\x82\xab", "Fire"));  // 突き in Shift-JIS
    folder.write("200.ini", cardWithMoves("Kick", "Flame", "Headbutt"));
    folder.write("310.ini", cardWithMoves("Tail", "Claw 10"));

    typeInIdBox("10");
    EXPECT_EQ(controls.suggestions, (std::vector<std::string>{"100　Strike / Blast", "101　突き / Fire"}));
    EXPECT_TRUE(controls.idleWorkWanted);
    readEveryCard();
    EXPECT_EQ(controls.suggestions,
        (std::vector<std::string>{"100　Strike / Blast", "101　突き / Fire", "310　Tail / Claw 10"}));

    typeInIdBox("HEAD");  // any level's move, letter case aside
    EXPECT_EQ(controls.suggestions, (std::vector<std::string>{"200　Kick / Flame"}));
    typeInIdBox("突");
    EXPECT_EQ(controls.suggestions, (std::vector<std::string>{"101　突き / Fire"}));
    typeInIdBox("");
    EXPECT_TRUE(controls.suggestions.empty());

    // A card saved here is found at once by its new name.
    type(txtID, "400");
    type(txtMaxHP, "5");
    type(txtNomalWaza, "Thunder");
    form.cmdSave_Click();
    typeInIdBox("thu");
    EXPECT_EQ(controls.suggestions, (std::vector<std::string>{"400　Thunder"}));

    // Back from another program the folder is listed afresh; a list the user
    // closed stays closed while the cards are read.
    form.windowActivated(true);
    EXPECT_TRUE(controls.suggestions.empty());
    typeInIdBox("10");
    form.suggestionsClosed();
    readEveryCard();
    EXPECT_EQ(controls.suggestions, (std::vector<std::string>{"100　Strike / Blast", "101　突き / Fire"}));
}

TEST_F(CardNavigationTest, APickedSuggestionLoadsThroughTheQuestion)
{
    folder.write("100.ini", cardWithMoves("Strike", "Blast"));
    folder.write("200.ini", cardWithMoves("Kick", "Flame"));
    type(txtRarelity, "typed");
    typeInIdBox("2");
    form.suggestionPicked(0);  // Cancel: all stays, the text typed too
    EXPECT_EQ(controls.text(txtID), "2");
    EXPECT_EQ(controls.text(txtRarelity), "typed");
    EXPECT_TRUE(controls.suggestions.empty());

    controls.saveAnswer = Answer::DontSave;
    typeInIdBox("2");
    form.suggestionPicked(0);
    EXPECT_EQ(controls.text(txtID), "200");
    EXPECT_EQ(controls.text(txtNomalWaza), "Kick");
    EXPECT_EQ(controls.focused, txtRarelity);
    EXPECT_EQ(controls.saveQuestions.size(), 2u);
}

TEST_F(CardNavigationTest, TheReportIsWrittenIntoAPrivateFolderAndHandedToTheOpener)
{
    folder.write("100.ini", cardWithMoves("Strike", "Blast"));
    std::vector<std::string> opened;
    form.openReport = [&](const std::string& path) -> CardProblem {
        opened.push_back(path);
        return opened.size() == 1 ? std::nullopt : CardProblem("ブラウザーを開けませんでした");
    };
    form.mnuFileReport_Click();
    ASSERT_EQ(opened.size(), 1u);
    const std::filesystem::path page(opened[0]);
    // (Windows gives the temporary folder with a separator at its end.)
    EXPECT_EQ(page.parent_path().parent_path(), (std::filesystem::temp_directory_path() / "").parent_path());
    // Windows keeps a user's temporary folder private by its own access list;
    // elsewhere the folder's mode does it.
    if (std::filesystem::path::preferred_separator == '/')
        EXPECT_EQ(std::filesystem::status(page.parent_path()).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_all);
    const std::string html = testsupport::readBytes(opened[0]);
    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(html.find("Strike"), std::string::npos);

    form.mnuFileReport_Click();  // the same page again; the opener fails
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1], opened[0]);
    EXPECT_EQ(controls.problems, (std::vector<std::string>{"ブラウザーを開けませんでした"}));
    std::filesystem::remove_all(page.parent_path());
}

}  // namespace
