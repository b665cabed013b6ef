#include "accessible_names.h"

#include "card_fields.h"
#include "form_layout.h"
#include "system_path_windows.h"

#include <oleacc.h>

namespace win32 {
namespace {

// Defined here so that nothing links oleacc's import library.
constexpr CLSID kAccPropServices{0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr IID kIAccPropServices{0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr MSAAPROPID kAccName{0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};

}  // namespace

AccessibleNames::AccessibleNames()
{
    void* services = nullptr;
    if (SUCCEEDED(CoCreateInstance(kAccPropServices, nullptr, CLSCTX_INPROC_SERVER, kIAccPropServices, &services)))
        services_ = static_cast<IAccPropServices*>(services);
}

AccessibleNames::~AccessibleNames()
{
    clear();
    if (services_)
        services_->Release();
}

bool AccessibleNames::name(HWND control, const std::string& utf8)
{
    if (!services_ || !control)
        return false;
    const std::wstring text = profile::sys::widen(utf8);
    if (FAILED(services_->SetHwndPropStr(control, DWORD(OBJID_CLIENT), CHILDID_SELF, kAccName, text.c_str())))
        return false;
    named_.push_back(control);
    return true;
}

bool AccessibleNames::nameControls(const ControlTable& table)
{
    bool named = true;
    for (const auto& f : form_layout::fieldControls())
        named = name(table.find(f.control), std::string(fieldName(f.field))) && named;
    const auto options = table.levelOptions();
    for (std::size_t i = 0; i < options.size(); ++i)
        named = name(options[i], levelName(int(i) + 1)) && named;
    return named;
}

void AccessibleNames::clear()
{
    for (HWND control : named_)
        services_->ClearHwndProps(control, DWORD(OBJID_CLIENT), CHILDID_SELF, &kAccName, 1);
    named_.clear();
}

}  // namespace win32
