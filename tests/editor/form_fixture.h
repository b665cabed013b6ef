#pragma once

// The form against controls of the test's own, which remember what the form
// did to them; the user's answers to questions are set beforehand.

#include "card_folder.h"
#include "card_form.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

class FakeControls final : public FormControls {
public:
    using enum TextBoxName;
    using enum ComboBoxName;

    std::map<TextBoxName, std::string> texts{{txtID, "000"}};
    std::map<ComboBoxName, int> selected;
    LevelIndex checkedOption = 0;
    std::optional<TextBoxName> focused;
    std::set<TextBoxName> wholeTextSelected;
    std::vector<std::string> problems;
    std::vector<std::string> questions;
    bool answer = false;
    std::function<void()> whileAsking;  // what happens elsewhere while a question is shown
    // The question before unsaved changes are dropped: each one asked, with
    // whether Save was offered, and the answer given.
    std::vector<std::pair<std::string, bool>> saveQuestions;
    SaveChangesAnswer saveAnswer = SaveChangesAnswer::Cancel;
    bool modifiedShown = false;
    std::vector<std::string> suggestions;
    bool idleWorkWanted = false;

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
    bool askYesNo(const std::string& question) override
    {
        questions.push_back(question);
        if (whileAsking)
            whileAsking();
        return answer;
    }
    SaveChangesAnswer askSaveChanges(const std::string& question, bool canSave) override
    {
        saveQuestions.emplace_back(question, canSave);
        return saveAnswer;
    }
    void showModified(bool modified) override
    {
        EXPECT_NE(modified, modifiedShown) << "told what the caption already shows";
        modifiedShown = modified;
    }
    void showSuggestions(const std::vector<std::string>& entries) override { suggestions = entries; }
    void workWhenIdle() override { idleWorkWanted = true; }

    bool focusedWithTextSelected(TextBoxName box) const { return focused == box && wholeTextSelected.count(box); }
};

class CardFormTest : public ::testing::Test {
protected:
    using enum TextBoxName;
    using enum ComboBoxName;

    CardFolder folder;
    FakeControls controls;
    CardForm form{controls, folder.path()};

    CardFormTest() { form.Form_Load(); }

    // What the user types, as the window tells the form of it.
    void type(TextBoxName box, const std::string& text)
    {
        controls.setText(box, text);
        if (box != txtID)
            form.cardEdited();
    }
    void typeInIdBox(const std::string& text)
    {
        controls.setText(txtID, text);
        form.txtID_Change();
    }
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
