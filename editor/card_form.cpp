#include "card_form.h"

#include "file_io.h"

#include "profile_service.h"

#include <initializer_list>
#include <utility>
#include <vector>

using enum TextBoxName;
using enum ComboBoxName;

namespace {

std::string quoted(const std::string& text) { return "「" + text + "」"; }

std::string changedElsewhereQuestion(const std::string& path, const CardFingerprint& now)
{
    const char* what = now.state == CardFingerprint::State::NoFile ? "削除" : "変更";
    return quoted(path) + "は、このウィンドウで読み込んだ（または保存した）後に、ほかの人か別のウィンドウが" + what
           + "しました。\n上書きしますか？\n\n「いいえ」なら何も保存しません。入力した内容は画面に残ります。";
}

// What Load tells of a card that a merge left with conflicts: the side it
// shows, each field with both values, and how to resolve them.
std::string unresolvedConflicts(const std::string& path, const std::vector<CardConflict>& conflicts)
{
    std::string text
        = quoted(path) + "には、解決されていないマージの衝突が" + std::to_string(conflicts.size())
          + "か所あります。\n画面には、各衝突の「こちら」側（<<<<<<< と ======= の間）を読み込みました。\n";
    for (const CardConflict& conflict : conflicts) {
        text += "\n行" + std::to_string(conflict.line) + "：";
        if (conflict.fields.empty())
            text += "カードの値は両側で同じです。";
        for (std::size_t i = 0; i < conflict.fields.size(); ++i) {
            const ConflictField& field = conflict.fields[i];
            text += (i ? "、" : "") + conflictFieldName(field) + "（こちら" + quoted(field.ours) + "、相手"
                    + quoted(field.theirs) + "）";
        }
    }
    return text + "\n\n値を直して保存すると、衝突の印のないカードになります。";
}

}  // namespace

CardForm::CardForm(FormControls& controls, std::string programFolder)
    : controls_(controls)
    , programFolder_(programFolder.empty() ? profile::programFolder() : std::move(programFolder))
{
}

void CardForm::Form_Load()
{
    controls_.select(cboExtWaza2, 0);
    controls_.select(cboExWaza1, 0);
    controls_.select(cboSuperMode, 0);
    controls_.setFocus(txtID);
    controls_.selectAll(txtID);
}

ExtMoveFields CardForm::extMoveFields() const
{
    return {controls_.selectedIndex(cboExWaza1), controls_.text(txtExtWaza2), controls_.selectedIndex(cboExtWaza2),
        controls_.text(txtExtWaza3)};
}

void CardForm::showExtMoveFields(const ExtMoveFields& fields)
{
    controls_.select(cboExWaza1, fields.rangeIndex);
    controls_.setText(txtExtWaza2, fields.amount);
    controls_.select(cboExtWaza2, fields.effectIndex);
    controls_.setText(txtExtWaza3, fields.count);
}

void CardForm::StoreCurrentLevel()
{
    if (CurrentLevel < 0 || CurrentLevel >= LevelIndex(LevelData.size()))
        return;
    LevelRecord& r = LevelData[CurrentLevel];
    r.MaxHP = controls_.text(txtMaxHP);
    r.Power = controls_.text(txtPower);
    r.NomalWaza = controls_.text(txtNomalWaza);
    r.ExtWaza = controls_.text(txtExtWaza);
    r.ExtWazaSpec = encodeExtMoveSpec(extMoveFields());
}

void CardForm::optLv_Click(LevelIndex Index)
{
    if (Index < 0 || Index >= LevelIndex(LevelData.size()))
        return;
    StoreCurrentLevel();
    const LevelRecord& r = LevelData[Index];
    controls_.setText(txtMaxHP, r.MaxHP);
    controls_.setText(txtPower, r.Power);
    controls_.setText(txtNomalWaza, r.NomalWaza);
    controls_.setText(txtExtWaza, r.ExtWaza);
    ExtMoveFields fields = extMoveFields();
    if (decodeExtMoveSpec(r.ExtWazaSpec, fields))
        showExtMoveFields(fields);
    CurrentLevel = Index;
}

void CardForm::cmdClear_Click()
{
    controls_.select(cboExtWaza2, 0);
    controls_.select(cboExWaza1, 0);
    controls_.select(cboSuperMode, 0);
    for (TextBoxName box : {txtRarelity, txtMinLv, txtMaxLv})
        controls_.setText(box, {});
    LevelData.fill(LevelRecord{});
    for (TextBoxName box : {txtMaxHP, txtNomalWaza, txtPower, txtExtWaza, txtExtWaza2, txtExtWaza3})
        controls_.setText(box, {});
    CurrentLevel = 0;
    controls_.checkLevelOption(0);
    optLv_Click(0);
    controls_.setFocus(txtID);
    controls_.selectAll(txtID);
}

std::string CardForm::cardPath() const { return cardFilePath(programFolder_, controls_.text(txtID)); }

bool CardForm::refusedId()
{
    if (const auto problem = checkCardId(controls_.text(txtID))) {
        controls_.tellProblem(*problem);
        return true;
    }
    return false;
}

void CardForm::showHeader(const Card& card)
{
    controls_.setText(txtRarelity, card.Rarity);
    controls_.setText(txtMaxLv, card.MaxLv);
    controls_.setText(txtMinLv, card.MinLv);
    if (card.SuperMode)
        controls_.select(cboSuperMode, *card.SuperMode);
}

Card CardForm::cardOnScreen() const
{
    return {controls_.text(txtRarelity), controls_.text(txtMaxLv), controls_.text(txtMinLv),
        controls_.selectedIndex(cboSuperMode), LevelData};
}

void CardForm::cmdLoad_Click()
{
    if (refusedId())
        return;
    const std::string path = cardPath();
    Card card;
    CardFingerprint read;
    std::vector<CardConflict> conflicts;
    if (const auto problem = readCard(path, card, &read, nullptr, &conflicts)) {
        controls_.tellProblem(*problem);
        return;
    }
    lastSeen_[profile::samePathKey(path)] = read;
    showHeader(card);
    LevelData = card.Levels;
    CurrentLevel = -1;  // what the level controls show now belongs to no level
    controls_.checkLevelOption(0);
    optLv_Click(0);
    controls_.setFocus(txtRarelity);
    if (!conflicts.empty())
        controls_.tellProblem(unresolvedConflicts(path, conflicts));
}

// A card file this form read or wrote may have been written since by someone
// else (another window, another computer on a shared folder): that change is
// only overwritten when the user says so.
bool CardForm::mayOverwrite(const std::string& path, const Card& card)
{
    const auto seen = lastSeen_.find(profile::samePathKey(path));
    if (seen == lastSeen_.end())
        return true;
    const CardFingerprint now = currentFingerprint(path);
    if (unchangedSince(seen->second, now))
        return true;
    // Save refuses such a card before writing anything; no need to ask first.
    if (!refusedValues(card).empty())
        return true;
    return controls_.askYesNo(changedElsewhereQuestion(path, now));
}

void CardForm::cmdSave_Click()
{
    if (refusedId())
        return;
    StoreCurrentLevel();
    const Card card = cardOnScreen();
    const std::string path = cardPath();
    if (!mayOverwrite(path, card))
        return;
    CardFingerprint written;
    if (const auto problem = writeCard(path, card, &written)) {
        controls_.tellProblem(*problem);
        return;
    }
    lastSeen_[profile::samePathKey(path)] = written;
    controls_.setFocus(txtID);
    controls_.selectAll(txtID);
}
