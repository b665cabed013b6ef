#include "form_layout.h"

namespace form_layout {
namespace {

constexpr Control kControls[] = {
    {"Label1", Kind::Label, "", "ID:", 120, 120, 735, 255, 0},
    {"txtID", Kind::TextBox, "", "000", 960, 112, 975, 270, 1},
    {"cmdLoad", Kind::Button, "", "&Load", 2040, 120, 975, 255, 2},
    {"cmdSave", Kind::Button, "", "&Save", 3000, 120, 975, 255, 3},
    {"Frame1", Kind::Frame, "", "Header", 120, 480, 5055, 1335, 4},
    {"Label2", Kind::Label, "Frame1", "星：", 120, 240, 735, 255, 5},
    {"txtRarelity", Kind::TextBox, "Frame1", "", 960, 232, 495, 270, 6},
    {"Label3", Kind::Label, "Frame1", "最大LV：", 120, 600, 735, 255, 7},
    {"txtMaxLv", Kind::TextBox, "Frame1", "", 960, 600, 495, 270, 8},
    {"Label4", Kind::Label, "Frame1", "最低LV：", 120, 960, 735, 255, 9},
    {"txtMinLv", Kind::TextBox, "Frame1", "", 960, 960, 495, 270, 10},
    {"cboSuperMode", Kind::ComboBox, "Frame1", "", 1680, 240, 3255, 300, 11},
    {"Frame2", Kind::Frame, "", "Level", 120, 1920, 5055, 2775, 12},
    {"optLv", Kind::Option, "Frame2", "1", 120, 240, 495, 255, 13},
    {"optLv", Kind::Option, "Frame2", "2", 720, 240, 495, 255, 14},
    {"optLv", Kind::Option, "Frame2", "3", 1320, 240, 495, 255, 15},
    {"optLv", Kind::Option, "Frame2", "4", 1920, 240, 495, 255, 16},
    {"Label7", Kind::Label, "Frame2", "MaxHP", 120, 720, 735, 255, 17},
    {"txtMaxHP", Kind::TextBox, "Frame2", "", 840, 712, 495, 270, 18},
    {"Label5", Kind::Label, "Frame2", "！", 120, 1200, 255, 255, 19},
    {"txtNomalWaza", Kind::TextBox, "Frame2", "", 360, 1185, 2055, 270, 20},
    {"txtPower", Kind::TextBox, "Frame2", "", 1560, 1560, 495, 270, 21},
    {"Label8", Kind::Label, "Frame2", "P", 2160, 1608, 255, 175, 22},
    {"Label6", Kind::Label, "Frame2", "●", 2640, 1200, 255, 255, 23},
    {"txtExtWaza", Kind::TextBox, "Frame2", "", 2880, 1185, 2055, 270, 24},
    {"cboExWaza1", Kind::ComboBox, "Frame2", "", 2880, 1560, 2055, 300, 25},
    {"txtExtWaza2", Kind::TextBox, "Frame2", "", 2880, 1935, 975, 270, 26},
    {"cboExtWaza2", Kind::ComboBox, "Frame2", "", 3960, 1920, 975, 300, 27},
    {"txtExtWaza3", Kind::TextBox, "Frame2", "", 2880, 2280, 975, 270, 28},
    {"Label9", Kind::Label, "Frame2", "コ", 3960, 2325, 255, 180, 29},
    {"cmdClear", Kind::Button, "", "Clear", 4200, 120, 975, 255, 30},
};

constexpr Line kLines[] = {
    {"Line1", "Frame1", 1560, 240, 1560, 1200},
    {"Line2", "Frame2", 120, 600, 4920, 600},
    {"Line4", "Frame2", 120, 1080, 4920, 1080},
    {"Line3", "Frame2", 2520, 1080, 2520, 2640},
};

constexpr FieldControl kFieldControls[] = {
    {"txtID", CardField::Id, "Label1"}, {"txtRarelity", CardField::Rarity, "Label2"},
    {"txtMaxLv", CardField::MaxLv, "Label3"}, {"txtMinLv", CardField::MinLv, "Label4"},
    {"cboSuperMode", CardField::SuperMode, ""}, {"txtMaxHP", CardField::MaxHP, "Label7"},
    {"txtNomalWaza", CardField::NomalWaza, ""},  // "！"
    {"txtPower", CardField::Power, ""},          // "P"
    {"txtExtWaza", CardField::ExtWaza, ""},      // "●"
    {"cboExWaza1", CardField::ExtRange, ""}, {"txtExtWaza2", CardField::ExtAmount, ""},
    {"cboExtWaza2", CardField::ExtEffect, ""}, {"txtExtWaza3", CardField::ExtCount, ""},  // "コ"
};

constexpr const char* kReach[] = {
    "通常",
    "一つ飛び",
    "二つ飛び",
    "どこでも",
    "どこでもモンスター",
    "馬飛び",
    "それ以外",
};

}  // namespace

std::span<const Control> controls() { return kControls; }
std::span<const Line> lines() { return kLines; }
std::span<const FieldControl> fieldControls() { return kFieldControls; }
std::span<const char* const> superModeEntries() { return superModeNames(); }
std::span<const char* const> reachEntries() { return kReach; }

}  // namespace form_layout
