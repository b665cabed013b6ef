#include "card_form.h"

#include "card_report.h"
#include "card_set.h"
#include "file_io.h"
#include "open_with_system.h"
#include "profile_service.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <initializer_list>
#include <random>
#include <utility>
#include <vector>

using enum TextBoxName;
using enum ComboBoxName;

namespace {

// Enough to choose from; more are found by typing on.
constexpr std::size_t kMostSuggestions = 50;
// How long one idle step reads cards: short enough that typing never waits
// on it, even on a busy machine.
constexpr auto kIdleStep = std::chrono::milliseconds(8);
constexpr std::size_t kCardsBetweenLooksAtTheClock = 4;

std::string quoted(const std::string& text) { return "「" + text + "」"; }

std::string changedElsewhereQuestion(const std::string& path, const CardFingerprint& now)
{
    const char* what = now.state == CardFingerprint::State::NoFile ? "削除" : "変更";
    return quoted(path) + "は、このウィンドウで読み込んだ（または保存した）後に、ほかの人か別のウィンドウが" + what
           + "しました。\n上書きしますか？\n\n「いいえ」なら何も保存しません。入力した内容は画面に残ります。";
}

// What Load tells of a card that a merge left with conflicts: the side it
// shows, each field with both values, and how to resolve them.
std::string conflictsToResolve(const std::string& path, const std::vector<CardConflict>& conflicts)
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

std::string asUtf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// A new folder that only this user can enter, in the system's temporary
// folder: a report written there cannot be put anywhere else by a file of
// that name that someone else made first.
CardProblem makePrivateFolder(std::string& folder)
{
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    std::random_device random;
    for (int attempt = 0; !error && attempt < 100; ++attempt) {
        const std::filesystem::path made = temporary / ("velmar-report-" + std::to_string(random()));
        if (std::filesystem::create_directory(made, error)) {
            std::filesystem::permissions(made, std::filesystem::perms::owner_all, error);
            folder = asUtf8(made);
            return std::nullopt;
        }
    }
    return "レポートを書くフォルダーを一時フォルダーに作れませんでした：" + error.message();
}

std::string saveChangesQuestion(const std::string& id)
{
    if (id.empty())
        return "このカードには保存していない変更があります。\nこのカードはまだどのIDにも保存されていません。"
               "残すには「キャンセル」を選び、IDを入力して保存してください。\n\n変更を破棄しますか？";
    return "カード" + quoted(id)
           + "には保存していない変更があります。\n保存しますか？\n\n"
             "「保存しない」を選ぶと、変更は失われます。";
}

}  // namespace

CardForm::CardForm(FormControls& controls, std::string programFolder)
    : openReport(openWithSystem)
    , controls_(controls)
    , programFolder_(programFolder.empty() ? profile::programFolder() : std::move(programFolder))
    , index_(programFolder_)
{
}

// The window's own changes to the controls while a command runs are not the
// user's edits; the command shows the outcome once it is done.
class CardForm::Command {
public:
    explicit Command(CardForm& form)
        : form_(form)
    {
        ++form_.commandsRunning_;
    }
    ~Command()
    {
        if (--form_.commandsRunning_ == 0)
            form_.showModifiedState();
    }
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

private:
    CardForm& form_;
};

void CardForm::Form_Load()
{
    const Command command(*this);
    controls_.select(cboExtWaza2, 0);
    controls_.select(cboExWaza1, 0);
    controls_.select(cboSuperMode, 0);
    keepCardShown({});
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
    const Command command(*this);
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
    const Command command(*this);
    if (!maySetCardAside())
        return;
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
    keepCardShown({});
    controls_.setFocus(txtID);
    controls_.selectAll(txtID);
}

bool CardForm::refusedId(const std::string& id)
{
    if (const auto problem = checkCardId(id)) {
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

// The card on screen with the level shown as its controls show it, as Save
// would store it, without storing it.
Card CardForm::cardShownNow() const
{
    Card card = cardOnScreen();
    if (CurrentLevel >= 0 && CurrentLevel < LevelIndex(card.Levels.size())) {
        LevelRecord& r = card.Levels[CurrentLevel];
        r.MaxHP = controls_.text(txtMaxHP);
        r.Power = controls_.text(txtPower);
        r.NomalWaza = controls_.text(txtNomalWaza);
        r.ExtWaza = controls_.text(txtExtWaza);
        r.ExtWazaSpec = encodeExtMoveSpec(extMoveFields());
    }
    return card;
}

bool CardForm::isModified() const { return !sameWhenSaved(kept_, cardShownNow()); }

void CardForm::keepCardShown(std::string id)
{
    kept_ = cardShownNow();
    keptId_ = std::move(id);
}

void CardForm::showModifiedState()
{
    const bool modified = isModified();
    if (modified != modifiedShown_)
        controls_.showModified(modified);
    modifiedShown_ = modified;
}

void CardForm::cardEdited()
{
    if (commandsRunning_ == 0)
        showModifiedState();
}

bool CardForm::maySetCardAside()
{
    if (!isModified())
        return true;
    const bool hasFile = !keptId_.empty();
    switch (controls_.askSaveChanges(saveChangesQuestion(keptId_), hasFile)) {
    case SaveChangesAnswer::Save: return hasFile && saveCard(keptId_);
    case SaveChangesAnswer::DontSave: return true;
    case SaveChangesAnswer::Cancel: break;
    }
    return false;
}

// Reads the card file of `id` into the window, showing `level`, with the
// focus on `focus` when given. A problem with the file is told only when
// `tellProblems`; the screen then stays as it was.
bool CardForm::showCardFile(
    const std::string& id, LevelIndex level, bool tellProblems, std::optional<TextBoxName> focus)
{
    const std::string path = cardFilePath(programFolder_, id);
    Card card;
    CardFingerprint read;
    std::vector<CardConflict> conflicts;
    if (const auto problem = readCard(path, card, &read, nullptr, &conflicts)) {
        if (tellProblems)
            controls_.tellProblem(*problem);
        return false;
    }
    lastSeen_[profile::samePathKey(path)] = read;
    showHeader(card);
    LevelData = card.Levels;
    CurrentLevel = -1;  // what the level controls show now belongs to no level
    controls_.checkLevelOption(level);
    optLv_Click(level);
    keepCardShown(id);
    if (focus)
        controls_.setFocus(*focus);
    if (!conflicts.empty())
        controls_.tellProblem(conflictsToResolve(path, conflicts));
    return true;
}

void CardForm::goToCard(const std::string& id)
{
    const Command command(*this);
    if (refusedId(id) || !maySetCardAside())
        return;
    if (controls_.text(txtID) != id)
        controls_.setText(txtID, id);
    showCardFile(id, 0, true, txtRarelity);
}

void CardForm::cmdLoad_Click() { goToCard(controls_.text(txtID)); }

// A card file this form read or wrote may have been written since by someone
// else (another window, another computer on a shared folder): that change is
// only overwritten when the user says so. `overwritten` is what the Save may
// replace (nullopt: a card this form never read or wrote, saved as before).
bool CardForm::mayOverwrite(const std::string& path, const Card& card, std::optional<CardFingerprint>& overwritten)
{
    const auto seen = lastSeen_.find(profile::samePathKey(path));
    if (seen == lastSeen_.end())
        return true;
    overwritten = seen->second;
    const CardFingerprint now = currentFingerprint(path);
    if (unchangedSince(seen->second, now))
        return true;
    // Save refuses such a card before writing anything; no need to ask first.
    if (!refusedValues(card).empty())
        return true;
    // A file that cannot be read now is never known to be the same again: "yes" overwrites it as it is.
    overwritten = now.state == CardFingerprint::State::Unreadable ? std::nullopt : std::optional(now);
    return controls_.askYesNo(changedElsewhereQuestion(path, now));
}

bool CardForm::saveCard(const std::string& id)
{
    StoreCurrentLevel();
    const Card card = cardOnScreen();
    const std::string path = cardFilePath(programFolder_, id);
    std::optional<CardFingerprint> overwritten;
    if (!mayOverwrite(path, card, overwritten))
        return false;
    // Written only while the file is still what was looked at (or answered
    // for): a save landing between that look and this one is never lost.
    CardFingerprint written;
    if (const auto problem = writeCard(path, card, &written, overwritten ? &*overwritten : nullptr)) {
        controls_.tellProblem(*problem);
        return false;
    }
    lastSeen_[profile::samePathKey(path)] = written;
    keepCardShown(id);
    closeSuggestions();  // the list's cards may move in the index now
    index_.update(id, card);
    return true;
}

void CardForm::cmdSave_Click()
{
    const Command command(*this);
    const std::string id = controls_.text(txtID);
    if (refusedId(id) || !saveCard(id))
        return;
    controls_.setFocus(txtID);
    controls_.selectAll(txtID);
}

void CardForm::mnuFileNext_Click() { stepCard(+1); }

void CardForm::mnuFilePrevious_Click() { stepCard(-1); }

// The folder is listed afresh, as cards come and go; the card wanted is the
// nearest ID after (or before) the one shown, byte for byte, as velmar-cards
// lists them.
void CardForm::stepCard(int direction)
{
    const Command command(*this);
    reloadIfChangedOnDisk();
    const std::string from = keptId_.empty() ? controls_.text(txtID) : keptId_;
    std::optional<std::string> nearest;
    const auto closer
        = [direction](std::string_view id, std::string_view than) { return direction > 0 ? id < than : id > than; };
    if (const auto problem = listCardIds(programFolder_, [&](std::string_view id) {
            if (closer(from, id) && (!nearest || closer(id, *nearest)))
                nearest = id;
        })) {
        controls_.tellProblem(*problem);
        return;
    }
    if (nearest)
        goToCard(*nearest);
}

// A card shown without unsaved changes follows its file: after a git pull,
// an import or another window's Save the window shows what the file holds.
void CardForm::reloadIfChangedOnDisk()
{
    if (keptId_.empty() || isModified())
        return;
    const std::string path = cardFilePath(programFolder_, keptId_);
    const auto seen = lastSeen_.find(profile::samePathKey(path));
    if (seen == lastSeen_.end())
        return;
    const CardFingerprint now = currentFingerprint(path);
    // A deleted card stays on screen, to be saved again or left; a file that
    // cannot be read is not told of at every return to the window.
    if (now.state != CardFingerprint::State::Bytes || unchangedSince(seen->second, now))
        return;
    showCardFile(keptId_, std::max<LevelIndex>(CurrentLevel, 0), false, std::nullopt);
}

void CardForm::windowActivated(bool fromAnotherProgram)
{
    if (commandsRunning_ > 0)
        return;  // a message of the form's own has closed
    const Command command(*this);
    if (fromAnotherProgram) {
        closeSuggestions();
        index_.forget();
    }
    reloadIfChangedOnDisk();
}

void CardForm::txtID_Change()
{
    std::string typed = controls_.text(txtID);
    if (typed.empty() || (!index_.listed() && index_.list())) {
        closeSuggestions();
        return;
    }
    suggestions_ = index_.suggest(std::move(typed), kMostSuggestions);
    showSuggestionList();
    if (!index_.allRead())
        controls_.workWhenIdle();
}

bool CardForm::readSomeCards()
{
    if (!index_.listed())
        return false;
    const auto end = std::chrono::steady_clock::now() + kIdleStep;
    bool more = true;
    while (more && std::chrono::steady_clock::now() < end)
        more = index_.readMore(kCardsBetweenLooksAtTheClock);
    // Matches found by move name fill in while the list is open; closed, it
    // stays closed until the user types again.
    if (listShown_ && index_.extend(suggestions_, kMostSuggestions))
        showSuggestionList();
    return more;
}

void CardForm::suggestionsClosed() { listShown_ = false; }

void CardForm::closeSuggestions()
{
    suggestions_ = {};
    controls_.showSuggestions({});
    listShown_ = false;
}

void CardForm::showSuggestionList()
{
    std::vector<std::string> entries;
    entries.reserve(suggestions_.cards.size());
    for (const std::uint32_t card : suggestions_.cards)
        entries.push_back(index_.label(card));
    controls_.showSuggestions(entries);
    listShown_ = !entries.empty();
}

void CardForm::suggestionPicked(std::size_t index)
{
    if (index >= suggestions_.cards.size())
        return;
    const std::string id = index_.id(suggestions_.cards[index]);
    closeSuggestions();
    goToCard(id);
}

void CardForm::mnuFileReport_Click()
{
    const Command command(*this);
    if (reportFolder_.empty()) {
        if (const auto problem = makePrivateFolder(reportFolder_)) {
            controls_.tellProblem(*problem);
            return;
        }
    }
    const std::string path = profile::joinPath(reportFolder_, "velmar-report.html");
    if (auto problem = writeCardSetReport(programFolder_, path); problem || (problem = openReport(path)))
        controls_.tellProblem(*problem);
}
