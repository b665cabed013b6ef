#pragma once

#include "card_form.h"
#include "form_layout.h"
#include "level_buffer.h"
#include "qt_form_controls.h"

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>

class IdSuggestions;
class QButtonGroup;

// The editor's one window on Qt: builds its controls from the layout table,
// lends them to the form and runs the form's handlers on their events.
class frmVelmar : public QMainWindow {
    Q_OBJECT

public:
    // Card files live in programFolder; empty means the folder of the executable.
    explicit frmVelmar(std::string programFolder = {}, QWidget* parent = nullptr);

    void cmdLoad_Click() { form_->cmdLoad_Click(); }
    void cmdSave_Click() { form_->cmdSave_Click(); }
    void cmdClear_Click() { form_->cmdClear_Click(); }
    void optLv_Click(LevelIndex Index) { form_->optLv_Click(Index); }
    void StoreCurrentLevel() { form_->StoreCurrentLevel(); }
    void mnuFileLoad_Click() { cmdLoad_Click(); }
    void mnuFileSave_Click() { cmdSave_Click(); }
    void mnuFileNext_Click() { form_->mnuFileNext_Click(); }
    void mnuFilePrevious_Click() { form_->mnuFilePrevious_Click(); }
    void mnuFileReport_Click();

    const LevelBuffer& levelData() const { return form_->levelData(); }
    LevelIndex currentLevel() const { return form_->currentLevel(); }
    const std::string& programFolder() const { return form_->programFolder(); }
    // The form, for what a test replaces in it (the report's opener).
    CardForm& form() { return *form_; }

    // Tells the user what went wrong; a message box unless replaced (tests do).
    std::function<void(const QString&)> reportProblem;
    // Asks a yes/no question, true for yes; a message box with No as the
    // default and the Esc button unless replaced.
    std::function<bool(const QString&)> askYesNo;
    // Asks before unsaved changes are dropped (保存 / 保存しない / キャンセル,
    // the first only when `canSave`); a message box unless replaced.
    std::function<SaveChangesAnswer(const QString& question, bool canSave)> askSaveChanges;

    // The list of suggestions under the ID box.
    IdSuggestions* idSuggestions() const { return suggestions_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* createControl(const form_layout::Control& c, QWidget* container);
    QWidget* buildControls();
    void nameControls(QWidget* client);
    void buildMenu();
    void connectEdits(QWidget* client);
    void centreOnScreen();

    QButtonGroup* optLv = nullptr;
    IdSuggestions* suggestions_ = nullptr;
    std::unique_ptr<QtFormControls> controls_;
    std::unique_ptr<CardForm> form_;  // made once the controls exist
};
