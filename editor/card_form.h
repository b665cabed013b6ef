#pragma once

// The editor's window without a toolkit: the level buffer, the level switch,
// Clear, Load and Save, where the focus goes and what the user is told or
// asked. A window (Qt, Win32) builds the controls, implements FormControls
// over them and calls these handlers from its events.

#include "card_file.h"
#include "card_fingerprint.h"
#include "card_index.h"
#include "form_controls.h"
#include "level_buffer.h"

#include <functional>
#include <map>
#include <optional>
#include <string>

class CardForm {
public:
    // Card files live in programFolder; empty means the folder of the executable.
    CardForm(FormControls& controls, std::string programFolder);

    void Form_Load();
    void optLv_Click(LevelIndex Index);
    void StoreCurrentLevel();
    void cmdClear_Click();
    void cmdLoad_Click();
    void cmdSave_Click();
    // The next and the previous card of the folder, in ID order, from the
    // card shown (or, when it has no file, the ID typed); none at the ends.
    void mnuFileNext_Click();
    void mnuFilePrevious_Click();
    // The report of the card folder, written into a folder of this window's
    // own in the system's temporary folder and handed to `openReport`.
    void mnuFileReport_Click();
    // Opens a written report; the system's opener (the default browser)
    // unless replaced (tests do).
    std::function<CardProblem(const std::string& path)> openReport;

    // The user changed a control of the card (anything but the ID box).
    void cardEdited();
    // The user changed the ID box's text: the list of suggestions follows it.
    void txtID_Change();
    // The user picked entry `index` of the suggestions shown.
    void suggestionPicked(std::size_t index);
    // The list of suggestions was closed (Esc, a shortcut, the focus gone).
    void suggestionsClosed();
    // Reads a few more cards' move names for the suggestions; true while
    // there are more to read.
    bool readSomeCards();
    // The window became active again; `fromAnotherProgram` when the user
    // comes back from another program, which may have changed the folder.
    void windowActivated(bool fromAnotherProgram);
    // Before the window closes or the session ends: true when it may.
    bool mayClose() { return maySetCardAside(); }

    // True when the card on screen differs from the card as last loaded or
    // saved, as a Save would write them.
    bool isModified() const;

    const LevelBuffer& levelData() const { return LevelData; }
    LevelIndex currentLevel() const { return CurrentLevel; }
    const std::string& programFolder() const { return programFolder_; }

private:
    class Command;
    // Every command that puts another card on screen asks first, when the
    // card shown has unsaved changes; true when the command may go on.
    bool maySetCardAside();
    bool saveCard(const std::string& id);
    void goToCard(const std::string& id);
    void stepCard(int direction);
    bool showCardFile(const std::string& id, LevelIndex level, bool tellProblems, std::optional<TextBoxName> focus);
    void reloadIfChangedOnDisk();
    void keepCardShown(std::string id);
    void showModifiedState();
    void showSuggestionList();
    void closeSuggestions();
    Card cardShownNow() const;
    ExtMoveFields extMoveFields() const;
    void showExtMoveFields(const ExtMoveFields& fields);
    void showHeader(const Card& card);
    Card cardOnScreen() const;
    bool refusedId(const std::string& id);
    bool mayOverwrite(const std::string& path, const Card& card, std::optional<CardFingerprint>& overwritten);

    FormControls& controls_;
    std::string programFolder_;
    LevelBuffer LevelData;
    LevelIndex CurrentLevel = 0;
    // What each card file held when this form last read or wrote it, by the
    // path as the system compares paths (without letter case on Windows).
    std::map<std::string, CardFingerprint> lastSeen_;

    // The card as it was last loaded or saved, as a Save would then write it,
    // and the ID of its file (empty at start and after Clear: no file yet).
    Card kept_;
    std::string keptId_;
    bool modifiedShown_ = false;
    int commandsRunning_ = 0;  // while one runs, its own changes to the controls are no edits

    std::string reportFolder_;  // made at the first report

    CardIndex index_;
    CardSuggestions suggestions_;
    bool listShown_ = false;
};
