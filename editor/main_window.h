#pragma once

#include "form_layout.h"
#include "level_buffer.h"

#include <QMainWindow>
#include <string>
#include <functional>

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPushButton;

// The editor's one window: builds its controls from the layout table and
// wires them to the level and card commands.
class frmVelmar : public QMainWindow {
    Q_OBJECT

public:
    // Card files live in programFolder; empty means the folder of the executable.
    explicit frmVelmar(std::string programFolder = {}, QWidget* parent = nullptr);

    void cmdLoad_Click();
    void cmdSave_Click();
    void cmdClear_Click();
    void optLv_Click(LevelIndex Index);
    void StoreCurrentLevel();
    void mnuFileLoad_Click() { cmdLoad_Click(); }
    void mnuFileSave_Click() { cmdSave_Click(); }

    const LevelBuffer& levelData() const { return LevelData; }
    LevelIndex currentLevel() const { return CurrentLevel; }
    const std::string& programFolder() const { return programFolder_; }

    // Tells the user what went wrong; a message box unless replaced (tests do).
    std::function<void(const QString&)> reportProblem;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* createControl(const form_layout::Control& c, QWidget* container);
    void buildControls();
    void nameControls(QWidget* client);
    void buildMenu();
    void Form_Load();
    void centreOnScreen();
    void selectLevelOption(LevelIndex index);  // checks the option without raising its handler
    ExtMoveFields extMoveFields() const;
    void showExtMoveFields(const ExtMoveFields& fields);
    std::string cardPath() const;
    bool refusedId();

    std::string programFolder_;
    LevelBuffer LevelData;
    LevelIndex CurrentLevel = 0;

    QLineEdit* txtID = nullptr;
    QLineEdit* txtRarelity = nullptr;
    QLineEdit* txtMaxLv = nullptr;
    QLineEdit* txtMinLv = nullptr;
    QComboBox* cboSuperMode = nullptr;
    QButtonGroup* optLv = nullptr;
    QLineEdit* txtMaxHP = nullptr;
    QLineEdit* txtNomalWaza = nullptr;
    QLineEdit* txtPower = nullptr;
    QLineEdit* txtExtWaza = nullptr;
    QComboBox* cboExWaza1 = nullptr;
    QLineEdit* txtExtWaza2 = nullptr;
    QComboBox* cboExtWaza2 = nullptr;
    QLineEdit* txtExtWaza3 = nullptr;
};
