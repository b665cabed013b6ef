#pragma once

// The editor's window without a toolkit: the level buffer, the level switch,
// Clear, Load and Save, where the focus goes and what the user is told or
// asked. A window (Qt, Win32) builds the controls, implements FormControls
// over them and calls these handlers from its events.

#include "card_file.h"
#include "card_fingerprint.h"
#include "form_controls.h"
#include "level_buffer.h"

#include <map>
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

    const LevelBuffer& levelData() const { return LevelData; }
    LevelIndex currentLevel() const { return CurrentLevel; }
    const std::string& programFolder() const { return programFolder_; }

private:
    ExtMoveFields extMoveFields() const;
    void showExtMoveFields(const ExtMoveFields& fields);
    void showHeader(const Card& card);
    Card cardOnScreen() const;
    std::string cardPath() const;
    bool refusedId();
    bool mayOverwrite(const std::string& path, const Card& card);

    FormControls& controls_;
    std::string programFolder_;
    LevelBuffer LevelData;
    LevelIndex CurrentLevel = 0;
    // What each card file held when this form last read or wrote it, by the
    // path as the system compares paths (without letter case on Windows).
    std::map<std::string, CardFingerprint> lastSeen_;
};
