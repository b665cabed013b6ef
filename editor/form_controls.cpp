#include "form_controls.h"

const char* controlName(TextBoxName box)
{
    switch (box) {
    case TextBoxName::txtID: return "txtID";
    case TextBoxName::txtRarelity: return "txtRarelity";
    case TextBoxName::txtMaxLv: return "txtMaxLv";
    case TextBoxName::txtMinLv: return "txtMinLv";
    case TextBoxName::txtMaxHP: return "txtMaxHP";
    case TextBoxName::txtNomalWaza: return "txtNomalWaza";
    case TextBoxName::txtPower: return "txtPower";
    case TextBoxName::txtExtWaza: return "txtExtWaza";
    case TextBoxName::txtExtWaza2: return "txtExtWaza2";
    case TextBoxName::txtExtWaza3: return "txtExtWaza3";
    }
    return "";
}

const char* controlName(ComboBoxName list)
{
    switch (list) {
    case ComboBoxName::cboSuperMode: return "cboSuperMode";
    case ComboBoxName::cboExWaza1: return "cboExWaza1";
    case ComboBoxName::cboExtWaza2: return "cboExtWaza2";
    }
    return "";
}
