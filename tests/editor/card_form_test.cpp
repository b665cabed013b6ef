#include "card_folder.h"
#include "card_form.h"
#include "form_layout.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <vector>

using enum TextBoxName;
using enum ComboBoxName;

namespace {

// Controls that remember what the form did to them.
class FakeControls final : public FormControls {
public:
    std::map<TextBoxName, std::string> texts{{txtID, "000"}};
    std::map<ComboBoxName, int> selected;
    LevelIndex checkedOption = 0;
    std::optional<TextBoxName> focused;
    std::set<TextBoxName> wholeTextSelected;
    std::vector<std::string> problems;

    std::string text(TextBoxName box) const override
    {
        const auto found = texts.find(box);
        return found == texts.end() ? std::string() : found->second;
    }
    void setText(TextBoxName box, const std::string& utf8) override
    {
        texts[box] = utf8;
        wholeTextSelected.erase(box);
    }
    int selectedIndex(ComboBoxName list) const override
    {
        const auto found = selected.find(list);
        return found == selected.end() ? 0 : found->second;
    }
    void select(ComboBoxName list, int index) override { selected[list] = index; }
    void checkLevelOption(LevelIndex index) override { checkedOption = index; }
    void setFocus(TextBoxName box) override { focused = box; }
    void selectAll(TextBoxName box) override { wholeTextSelected.insert(box); }
    void tellProblem(const std::string& message) override { problems.push_back(message); }

    bool focusedWithTextSelected(TextBoxName box) const { return focused == box && wholeTextSelected.count(box); }
};

class CardFormTest : public ::testing::Test {
protected:
    CardFolder folder;
    FakeControls controls;
    CardForm form{controls, folder.path()};

    void type(TextBoxName box, const std::string& text) { controls.setText(box, text); }
    void pickLevel(LevelIndex index)
    {
        controls.checkLevelOption(index);
        form.optLv_Click(index);
    }
    void typeTwoLevelCard()
    {
        type(txtRarelity, "3");
        type(txtMaxLv, "4");
        type(txtMinLv, "1");
        controls.select(cboSuperMode, 2);
        type(txtMaxHP, "20");
        type(txtPower, "10");
        type(txtNomalWaza, "Strike");
        type(txtExtWaza, "Blast");
        type(txtExtWaza2, "30");
        type(txtExtWaza3, "1");
        pickLevel(1);
        type(txtMaxHP, "30");
    }
};

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
    form.cmdClear_Click();
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

}  // namespace
