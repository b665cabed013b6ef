#pragma once

// The names a screen reader says for the window's controls: the same words
// as on Linux, from the one table of field names. They are set through the
// accessibility property service of Windows, reached through COM, so the
// program needs no import of oleacc.dll. Where the service is missing (or,
// as under Wine, does not keep names), the controls keep the names Windows
// gives them by itself: a label's text for the control after it.

#include "control_table.h"

#include <windows.h>

#include <vector>

struct IAccPropServices;

namespace win32 {

class AccessibleNames {
public:
    AccessibleNames();  // needs COM initialised on this thread
    ~AccessibleNames();
    AccessibleNames(const AccessibleNames&) = delete;
    AccessibleNames& operator=(const AccessibleNames&) = delete;

    // Every field's control by the field's name, each level option by its
    // level ("レベル2"). False when the service took no name.
    bool nameControls(const ControlTable& table);

    // Takes the names back; call while the controls still exist.
    void clear();

    // One control's name; false when the service took none.
    bool name(HWND control, const std::string& utf8);

private:
    IAccPropServices* services_ = nullptr;
    std::vector<HWND> named_;
};

}  // namespace win32
