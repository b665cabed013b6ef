#include "form_fixture.h"

#include <filesystem>

namespace {

using enum TextBoxName;
using enum ComboBoxName;
using Answer = SaveChangesAnswer;

// A card that a Save rewrites: a power without a normal move, and level 1's
// spec with a range code the list does not know.
const std::string kRewrittenCard = "[head]\r\nrare=3\r\nmaxlv=4\r\nminlv=1\r\nsuper=2\r\n"
                                   "[Lv1]\r\nHP=20\r\nP=5\r\nS=X/30D/1\r\n2=Blast\r\n[Lv2]\r\nHP=30\r\n";

class UnsavedChangesTest : public CardFormTest {
protected:
    void loadCard(const std::string& id)
    {
        type(txtID, id);
        form.cmdLoad_Click();
    }
};

TEST_F(UnsavedChangesTest, AChangeIsWhatASaveWouldWriteDifferently)
{
    folder.write("001.ini", kRewrittenCard);
    loadCard("001");
    EXPECT_FALSE(form.isModified());  // even though a Save would rewrite the file
    pickLevel(1);
    pickLevel(0);
    EXPECT_FALSE(form.isModified());
    type(txtPower, "99");  // not saved without a normal move
    EXPECT_FALSE(form.isModified());

    type(txtMaxHP, "99");
    EXPECT_TRUE(form.isModified());
    EXPECT_TRUE(controls.modifiedShown);
    type(txtMaxHP, "20");  // typed back
    EXPECT_FALSE(form.isModified());
    EXPECT_FALSE(controls.modifiedShown);

    pickLevel(1);
    type(txtMaxHP, "31");  // on a level not shown any more, still a change
    pickLevel(3);
    EXPECT_TRUE(controls.modifiedShown);
    controls.select(cboSuperMode, 1);
    form.cardEdited();
    type(txtMaxHP, "");  // level 4 stays empty
    form.cmdSave_Click();
    EXPECT_FALSE(controls.modifiedShown);
    EXPECT_TRUE(controls.saveQuestions.empty());
}

TEST_F(UnsavedChangesTest, LoadAsksAndEachAnswerDoesWhatItSays)
{
    folder.write("001.ini", kTwoLevelCard);
    folder.write("002.ini", "[head]\r\nrare=2\r\n");
    loadCard("001");
    type(txtMaxHP, "99");
    type(txtID, "002");

    controls.saveAnswer = Answer::Cancel;
    form.cmdLoad_Click();
    ASSERT_EQ(controls.saveQuestions.size(), 1u);
    EXPECT_NE(controls.saveQuestions[0].first.find("「001」"), std::string::npos) << controls.saveQuestions[0].first;
    EXPECT_TRUE(controls.saveQuestions[0].second);
    EXPECT_EQ(controls.text(txtMaxHP), "99");
    EXPECT_EQ(controls.text(txtID), "002");
    EXPECT_EQ(folder.read("001.ini"), kTwoLevelCard);

    // Save writes the card the changes belong to, not the ID typed since.
    controls.saveAnswer = Answer::Save;
    form.cmdLoad_Click();
    EXPECT_NE(folder.read("001.ini").find("[Lv1]\r\nHP=99\r\n"), std::string::npos);
    EXPECT_EQ(folder.read("002.ini"), "[head]\r\nrare=2\r\n");
    EXPECT_EQ(controls.text(txtRarelity), "2");
    EXPECT_FALSE(controls.modifiedShown);

    type(txtRarelity, "7");
    controls.saveAnswer = Answer::DontSave;
    type(txtID, "001");
    form.cmdLoad_Click();
    EXPECT_EQ(controls.saveQuestions.size(), 3u);
    EXPECT_EQ(folder.read("002.ini"), "[head]\r\nrare=2\r\n");
    EXPECT_EQ(controls.text(txtMaxHP), "99");

    form.cmdLoad_Click();  // nothing changed: no question
    EXPECT_EQ(controls.saveQuestions.size(), 3u);
}

TEST_F(UnsavedChangesTest, ASaveThatFailsOrIsRefusedKeepsEverything)
{
    folder.write("001.ini", kTwoLevelCard);
    loadCard("001");
    type(txtNomalWaza, "\x01");  // a control character: Save refuses it
    type(txtID, "002");
    controls.saveAnswer = Answer::Save;
    form.cmdLoad_Click();
    EXPECT_EQ(controls.problems.size(), 1u);
    EXPECT_EQ(controls.text(txtNomalWaza), "\x01");
    EXPECT_EQ(folder.read("001.ini"), kTwoLevelCard);

    // Someone else wrote the card meanwhile, and the user keeps their version.
    type(txtNomalWaza, "Slash");
    folder.write("001.ini", "[head]\r\nrare=theirs\r\n");
    controls.answer = false;
    form.cmdClear_Click();
    EXPECT_EQ(controls.questions.size(), 1u);
    EXPECT_EQ(controls.text(txtNomalWaza), "Slash");
    EXPECT_EQ(folder.read("001.ini"), "[head]\r\nrare=theirs\r\n");
    EXPECT_TRUE(controls.modifiedShown);
}

TEST_F(UnsavedChangesTest, ACardWithoutAFileCanOnlyBeDroppedOrKept)
{
    type(txtRarelity, "5");
    form.cmdClear_Click();  // Cancel
    ASSERT_EQ(controls.saveQuestions.size(), 1u);
    EXPECT_FALSE(controls.saveQuestions[0].second);
    EXPECT_EQ(controls.text(txtRarelity), "5");

    controls.saveAnswer = Answer::Save;  // not offered: nothing is written, nothing dropped
    form.cmdClear_Click();
    EXPECT_EQ(controls.text(txtRarelity), "5");
    EXPECT_TRUE(folder.names().empty());

    controls.saveAnswer = Answer::DontSave;
    EXPECT_TRUE(form.mayClose());
    form.cmdClear_Click();
    EXPECT_EQ(controls.text(txtRarelity), "");
    EXPECT_TRUE(form.mayClose());
    EXPECT_EQ(controls.saveQuestions.size(), 4u);
}

TEST_F(UnsavedChangesTest, AChangedFileIsShownAgainUnlessTheWindowHasChanges)
{
    folder.write("001.ini", kTwoLevelCard);
    loadCard("001");
    pickLevel(1);
    folder.write("001.ini", "[head]\r\nrare=9\r\n[Lv2]\r\nHP=77\r\n");
    form.windowActivated(true);
    EXPECT_EQ(controls.text(txtRarelity), "9");
    EXPECT_EQ(controls.text(txtMaxHP), "77");
    EXPECT_EQ(controls.checkedOption, 1);
    EXPECT_EQ(form.currentLevel(), 1);

    type(txtMaxHP, "mine");
    folder.write("001.ini", kTwoLevelCard);
    form.windowActivated(false);
    EXPECT_EQ(controls.text(txtMaxHP), "mine");
    EXPECT_EQ(controls.text(txtRarelity), "9");

    type(txtMaxHP, "77");  // no change left: the file's version comes
    form.windowActivated(false);
    EXPECT_EQ(controls.text(txtMaxHP), "30");
    std::filesystem::remove(folder.file("001.ini"));
    form.windowActivated(false);
    EXPECT_EQ(controls.text(txtMaxHP), "30");
    EXPECT_TRUE(controls.problems.empty());
    EXPECT_TRUE(controls.saveQuestions.empty());
}

}  // namespace
