#include "form_fixture.h"
#include "form_layout.h"

#include <filesystem>

using enum TextBoxName;
using enum ComboBoxName;

namespace {

TEST_F(CardFormTest, ControlNamesAreThoseOfTheLayoutTable)
{
    const auto kindOf = [](const char* name) {
        for (const auto& c : form_layout::controls())
            if (std::string_view(c.name) == name)
                return std::optional(c.kind);
        return std::optional<form_layout::Kind>();
    };
    for (std::size_t i = 0; i < kTextBoxCount; ++i)
        EXPECT_EQ(kindOf(controlName(TextBoxName(i))), form_layout::Kind::TextBox) << controlName(TextBoxName(i));
    for (std::size_t i = 0; i < kComboBoxCount; ++i)
        EXPECT_EQ(kindOf(controlName(ComboBoxName(i))), form_layout::Kind::ComboBox) << controlName(ComboBoxName(i));
}

TEST_F(CardFormTest, LevelsKeepTheirValuesAndExtendedMoveSpec)
{
    type(txtMaxHP, "20");
    type(txtExtWaza, "Blast");
    type(txtExtWaza2, "30");
    type(txtExtWaza3, "2");
    controls.select(cboExWaza1, 1);
    controls.select(cboExtWaza2, 1);
    pickLevel(1);
    EXPECT_EQ(form.levelData()[0], (LevelRecord{"20", "", "1F/30D/2", "", "Blast"}));
    EXPECT_EQ(form.currentLevel(), 1);
    // A level never shown: empty texts, the four spec controls as they were.
    EXPECT_EQ(controls.text(txtMaxHP), "");
    EXPECT_EQ(controls.text(txtExtWaza2), "30");

    type(txtMaxHP, "30");
    type(txtExtWaza2, "5");
    type(txtExtWaza3, "1/2");  // a count with "/" gives a spec that does not decode
    controls.select(cboExWaza1, 4);
    pickLevel(0);
    EXPECT_EQ(form.levelData()[1].ExtWazaSpec, "AM/5D/1/2");
    EXPECT_EQ(controls.text(txtMaxHP), "20");
    EXPECT_EQ(controls.text(txtExtWaza2), "30");
    EXPECT_EQ(controls.text(txtExtWaza3), "2");
    EXPECT_EQ(controls.selectedIndex(cboExWaza1), 1);
    pickLevel(1);
    EXPECT_EQ(controls.text(txtMaxHP), "30");
    EXPECT_EQ(controls.text(txtExtWaza3), "2");  // level 1's, kept
}

TEST_F(CardFormTest, ClearEmptiesTheCardAndFocusesTheId)
{
    typeTwoLevelCard();
    pickLevel(2);
    type(txtMaxHP, "40");
    controls.saveAnswer = SaveChangesAnswer::DontSave;
    form.cmdClear_Click();
    EXPECT_EQ(controls.saveQuestions.size(), 1u);
    EXPECT_EQ(controls.checkedOption, 0);
    EXPECT_EQ(form.currentLevel(), 0);
    for (const auto& [box, text] : controls.texts)
        EXPECT_EQ(text, box == txtID ? "000" : "") << controlName(box);
    for (const auto& [list, index] : controls.selected)
        EXPECT_EQ(index, 0) << controlName(list);
    EXPECT_EQ(form.levelData()[1], LevelRecord{});
    EXPECT_EQ(form.levelData()[2], LevelRecord{});
    EXPECT_TRUE(controls.focusedWithTextSelected(txtID));
    EXPECT_TRUE(folder.names().empty());
}

TEST_F(CardFormTest, LoadShowsLevelOneAndStoresNothingShownBefore)
{
    folder.write("7.ini", kTwoLevelCard);
    type(txtID, "7");
    pickLevel(2);
    type(txtMaxHP, "before the load");
    controls.saveAnswer = SaveChangesAnswer::DontSave;
    form.cmdLoad_Click();
    EXPECT_EQ(form.levelData()[2], LevelRecord{});
    EXPECT_EQ(form.currentLevel(), 0);
    EXPECT_EQ(controls.checkedOption, 0);
    EXPECT_EQ(controls.text(txtRarelity), "3");
    EXPECT_EQ(controls.selectedIndex(cboSuperMode), 2);
    EXPECT_EQ(controls.text(txtMaxHP), "20");
    EXPECT_EQ(controls.focused, txtRarelity);
    EXPECT_FALSE(controls.wholeTextSelected.count(txtRarelity));
}

TEST_F(CardFormTest, SaveStoresTheLevelShownAndFocusesTheId)
{
    typeTwoLevelCard();  // level 2's hit points are only on screen
    form.cmdSave_Click();
    EXPECT_EQ(folder.read("000.ini"), kTwoLevelCard);
    EXPECT_EQ(form.levelData()[1].MaxHP, "30");
    EXPECT_TRUE(controls.focusedWithTextSelected(txtID));
    EXPECT_TRUE(controls.problems.empty());
}

TEST_F(CardFormTest, AnIdThatIsNoFileNameIsRefusedWithAMessage)
{
    type(txtRarelity, "kept");
    type(txtID, "../000");
    form.cmdSave_Click();
    form.cmdLoad_Click();
    ASSERT_EQ(controls.problems.size(), 2u);
    EXPECT_NE(controls.problems[0].find("「../000」"), std::string::npos) << controls.problems[0];
    EXPECT_EQ(controls.text(txtRarelity), "kept");
    EXPECT_TRUE(folder.names().empty());
}

// Two people, one card: a window's Save asks before it replaces what someone
// else wrote after this window last read or wrote the card.
TEST_F(CardFormTest, LoadOfAConflictedCardShowsOursAndNamesTheConflictsAndSaveResolvesThem)
{
    // What a merge of HP=25 against HP=30 and Strike against Slash leaves.
    folder.write("000.ini", "[head]\r\nrare=3\r\nmaxlv=4\r\nminlv=1\r\nsuper=2\r\n[Lv1]\r\n"
                            "<<<<<<< ours\r\nHP=25\r\n=======\r\nHP=30\r\n>>>>>>> theirs\r\nP=10\r\n"
                            "<<<<<<< ours\r\n1=Strike\r\n=======\r\n1=Slash\r\n>>>>>>> theirs\r\n");
    form.cmdLoad_Click();
    EXPECT_EQ(controls.text(txtMaxHP), "25");
    EXPECT_EQ(controls.text(txtNomalWaza), "Strike");
    EXPECT_EQ(controls.selectedIndex(cboSuperMode), 2);
    ASSERT_EQ(controls.problems.size(), 1u);
    const std::string& message = controls.problems[0];
    EXPECT_NE(message.find("マージの衝突が2か所"), std::string::npos) << message;
    EXPECT_NE(message.find("行7：レベル1のMaxHP（こちら「25」、相手「30」）"), std::string::npos) << message;
    EXPECT_NE(message.find("行13：レベル1の通常技（こちら「Strike」、相手「Slash」）"), std::string::npos) << message;

    type(txtMaxHP, "28");
    form.cmdSave_Click();
    EXPECT_TRUE(controls.questions.empty());  // nobody else wrote the file since this Load
    EXPECT_EQ(controls.problems.size(), 1u);
    EXPECT_EQ(folder.read("000.ini"), "[head]\r\nrare=3\r\nmaxlv=4\r\nminlv=1\r\nsuper=2\r\n[Lv1]\r\nHP=28\r\n"
                                      "P=10\r\n1=Strike\r\n");
    form.cmdLoad_Click();
    EXPECT_EQ(controls.problems.size(), 1u);  // nothing left to tell
}

class SharedCardTest : public CardFormTest {
protected:
    const std::string theirs = "[head]\r\nrare=theirs\r\nmaxlv=\r\nminlv=\r\nsuper=1\r\n";

    void loadThenTheyWrite()
    {
        folder.write("000.ini", kTwoLevelCard);
        form.cmdLoad_Click();
        folder.write("000.ini", theirs);
    }
};

TEST_F(SharedCardTest, TheirChangeIsKeptWhenTheAnswerIsNo)
{
    loadThenTheyWrite();
    pickLevel(1);
    type(txtMaxHP, "typed");
    type(txtRarelity, "mine");
    controls.answer = false;
    form.cmdSave_Click();
    ASSERT_EQ(controls.questions.size(), 1u);
    EXPECT_NE(controls.questions[0].find(folder.file("000.ini")), std::string::npos) << controls.questions[0];
    EXPECT_NE(controls.questions[0].find("が変更しました"), std::string::npos) << controls.questions[0];
    EXPECT_EQ(folder.read("000.ini"), theirs);
    EXPECT_EQ(controls.text(txtRarelity), "mine");
    EXPECT_EQ(controls.text(txtMaxHP), "typed");
    EXPECT_FALSE(controls.focused == txtID);

    // Asked again on the next Save; a Load that drops the changes shows their version.
    form.cmdSave_Click();
    EXPECT_EQ(controls.questions.size(), 2u);
    controls.saveAnswer = SaveChangesAnswer::DontSave;
    form.cmdLoad_Click();
    EXPECT_EQ(controls.text(txtRarelity), "theirs");
}

TEST_F(SharedCardTest, TheirChangeIsOverwrittenWhenTheAnswerIsYes)
{
    loadThenTheyWrite();
    controls.answer = true;
    form.cmdSave_Click();
    EXPECT_EQ(controls.questions.size(), 1u);
    EXPECT_EQ(folder.read("000.ini"), kTwoLevelCard);
    EXPECT_TRUE(controls.focusedWithTextSelected(txtID));
}

// "Yes" overwrites the change the question named, never one saved while the
// question was shown: that one is told, and the next Save asks about it.
TEST_F(SharedCardTest, AChangeSavedWhileTheQuestionIsShownIsNotOverwritten)
{
    loadThenTheyWrite();
    const std::string later = theirs + "[Lv1]\r\nHP=1\r\n";
    controls.answer = true;
    controls.whileAsking = [&] { folder.write("000.ini", later); };
    form.cmdSave_Click();
    EXPECT_EQ(folder.read("000.ini"), later);
    ASSERT_EQ(controls.problems.size(), 1u);
    EXPECT_NE(controls.problems[0].find("確かめた直後にほかで書き換えられた"), std::string::npos)
        << controls.problems[0];

    controls.whileAsking = nullptr;
    form.cmdSave_Click();
    EXPECT_EQ(controls.questions.size(), 2u);
    EXPECT_EQ(folder.read("000.ini"), kTwoLevelCard);
}

TEST_F(SharedCardTest, NoQuestionWhenNobodyElseWroteOrTheCardIsNewHere)
{
    folder.write("000.ini", kTwoLevelCard);
    form.cmdLoad_Click();
    form.cmdSave_Click();
    type(txtRarelity, "again");
    form.cmdSave_Click();  // over this window's own Save
    EXPECT_NE(folder.read("000.ini").find("rare=again"), std::string::npos);

    folder.write("001.ini", theirs);  // never loaded here: saved as before, without asking
    type(txtID, "001");
    form.cmdSave_Click();
    EXPECT_NE(folder.read("001.ini").find("rare=again"), std::string::npos);

    type(txtID, "002");  // loaded as missing, still missing
    form.cmdLoad_Click();
    form.cmdSave_Click();
    EXPECT_EQ(folder.names(), (std::set<std::string>{"000.ini", "001.ini", "002.ini"}));
    EXPECT_TRUE(controls.questions.empty());
    EXPECT_TRUE(controls.problems.empty());
}

TEST_F(SharedCardTest, ACardDeletedOrCreatedElsewhereIsAskedAbout)
{
    folder.write("000.ini", kTwoLevelCard);
    form.cmdLoad_Click();
    std::filesystem::remove(folder.file("000.ini"));
    form.cmdSave_Click();
    ASSERT_EQ(controls.questions.size(), 1u);
    EXPECT_NE(controls.questions[0].find("が削除しました"), std::string::npos) << controls.questions[0];
    EXPECT_TRUE(folder.names().empty());
    controls.answer = true;
    form.cmdSave_Click();
    EXPECT_EQ(folder.read("000.ini"), kTwoLevelCard);

    type(txtID, "404");  // no file when loaded, someone made it since
    form.cmdLoad_Click();
    folder.write("404.ini", theirs);
    controls.answer = false;
    form.cmdSave_Click();
    EXPECT_EQ(controls.questions.size(), 3u);
    EXPECT_EQ(folder.read("404.ini"), theirs);
}

TEST_F(SharedCardTest, AValueSaveRefusesIsToldWithoutAQuestion)
{
    loadThenTheyWrite();
    type(txtRarelity, "\x01");
    form.cmdSave_Click();
    EXPECT_TRUE(controls.questions.empty());
    EXPECT_EQ(controls.problems.size(), 1u);
    EXPECT_EQ(folder.read("000.ini"), theirs);
}

}  // namespace
