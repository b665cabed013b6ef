// The Win32 window itself, in one process under Wine and an X server: every
// control where the layout table puts it, at the screen's DPI and after a
// change to twice that; the level options run the level switch once per
// change of the checked option, whose tab stop goes with it.
#include "form_layout.h"
#include "main_window.h"
#include "temp_folder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

namespace {

using form_layout::Kind;

int px(int twips, UINT dpi) { return MulDiv(twips, int(dpi), 1440); }

// Where a control sits in its window's client area.
RECT placeOf(HWND control)
{
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

const form_layout::Control* rowNamed(const char* name)
{
    for (const auto& row : form_layout::controls())
        if (std::strcmp(row.name, name) == 0)
            return &row;
    return nullptr;
}

class Win32Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = win32::frmVelmar::create(GetModuleHandleW(nullptr), folder.path());
        ASSERT_TRUE(window);
        ShowWindow(window->hwnd(), SW_SHOW);
        SetForegroundWindow(window->hwnd());
    }

    // Every control against the table at `dpi`, and the client area's size.
    void expectLayoutAt(UINT dpi)
    {
        RECT client{};
        GetClientRect(window->hwnd(), &client);
        EXPECT_EQ(client.right, px(form_layout::kClientWidth, dpi));
        EXPECT_EQ(client.bottom, px(form_layout::kClientHeight, dpi));
        int option = 0;
        for (const auto& c : form_layout::controls()) {
            HWND control
                = c.kind == Kind::Option ? window->levelOptions()[std::size_t(option++)] : window->control(c.name);
            const form_layout::Control* frame = *c.container ? rowNamed(c.container) : nullptr;
            const RECT r = placeOf(control);
            SCOPED_TRACE(c.name);
            EXPECT_EQ(r.left, (frame ? px(frame->left, dpi) : 0) + px(c.left, dpi));
            EXPECT_EQ(r.top, (frame ? px(frame->top, dpi) : 0) + px(c.top, dpi));
            EXPECT_EQ(r.right - r.left, px(c.width, dpi));
            // A list-only combo box is as high as its font needs, at least
            // the table's height.
            if (c.kind == Kind::ComboBox)
                EXPECT_GE(r.bottom - r.top, px(c.height, dpi));
            else
                EXPECT_EQ(r.bottom - r.top, px(c.height, dpi));
        }
    }

    void click(HWND button) { SendMessageW(button, BM_CLICK, 0, 0); }
    void setText(const char* box, const wchar_t* text) { SetWindowTextW(window->control(box), text); }

    testsupport::TempFolder folder;
    std::unique_ptr<win32::frmVelmar> window;
};

TEST_F(Win32Window, PlacesEveryControlFromTheTableAtItsDpiAndAgainWhenTheDpiChanges)
{
    const UINT dpi = GetDpiForWindow(window->hwnd());
    expectLayoutAt(dpi);

    RECT suggested{};
    GetWindowRect(window->hwnd(), &suggested);
    SendMessageW(window->hwnd(), WM_DPICHANGED, MAKEWPARAM(2 * dpi, 2 * dpi), reinterpret_cast<LPARAM>(&suggested));
    expectLayoutAt(2 * dpi);
    RECT moved{};
    GetWindowRect(window->hwnd(), &moved);
    EXPECT_EQ(moved.left, suggested.left);
    EXPECT_EQ(moved.top, suggested.top);
}

TEST_F(Win32Window, ALevelOptionSwitchesLevelsOncePerChangeOfTheCheckedOption)
{
    const auto options = window->levelOptions();
    setText("txtMaxHP", L"20");
    click(options[1]);
    EXPECT_EQ(window->currentLevel(), 1);
    EXPECT_EQ(window->levelData()[0].MaxHP, "20");

    // Clicked again, or only given the focus, the checked option switches
    // nothing: what level 2 shows stays on screen, unstored.
    setText("txtMaxHP", L"40");
    click(options[1]);
    SetFocus(options[2]);
    EXPECT_EQ(window->currentLevel(), 1);
    EXPECT_EQ(window->levelData()[1].MaxHP, "");
    EXPECT_EQ(SendMessageW(options[2], BM_GETCHECK, 0, 0), BST_UNCHECKED);

    click(options[0]);
    EXPECT_EQ(window->currentLevel(), 0);
    EXPECT_EQ(window->levelData()[1].MaxHP, "40");
}

// Tab enters the level options at the checked one: it alone is a tab stop,
// whether the user checked it or the form did (Clear checks level 1).
TEST_F(Win32Window, TheCheckedLevelOptionIsTheGroupsOneTabStop)
{
    const auto options = window->levelOptions();
    const auto expectChecked = [&](std::size_t checked) {
        for (std::size_t i = 0; i < options.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(SendMessageW(options[i], BM_GETCHECK, 0, 0), i == checked ? BST_CHECKED : BST_UNCHECKED);
            EXPECT_EQ((GetWindowLongPtrW(options[i], GWL_STYLE) & WS_TABSTOP) != 0, i == checked);
        }
    };
    click(options[2]);
    expectChecked(2);
    window->cmdClear_Click();
    EXPECT_EQ(window->currentLevel(), 0);
    expectChecked(0);
}

}  // namespace
