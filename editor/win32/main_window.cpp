#include "main_window.h"

#include "dpi_font.h"
#include "form_layout.h"
#include "system_path_windows.h"

#include <commctrl.h>
#include <objbase.h>

#include <cstring>

namespace win32 {
namespace {

constexpr wchar_t kWindowClass[] = L"frmVelmar";
constexpr int kIconResource = 1;  // app/windows/velmar.rc
// A fixed-size window that can be minimised, as the layout is fixed.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;

// The window's size for a client area of the table's size below the menu bar.
SIZE outerSize(UINT dpi)
{
    RECT frame{0, 0, pixels(form_layout::kClientWidth, dpi), pixels(form_layout::kClientHeight, dpi)};
    AdjustWindowRectExForDpi(&frame, kStyle, TRUE, kExStyle, dpi);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

HICON loadIcon(HINSTANCE instance, int size)
{
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, size, size, 0));
}

void registerClass(HINSTANCE instance, WNDPROC windowProc)
{
    WNDCLASSEXW wc{};
    if (GetClassInfoExW(instance, kWindowClass, &wc))
        return;
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hIcon = loadIcon(instance, GetSystemMetrics(SM_CXICON));
    wc.hIconSm = loadIcon(instance, GetSystemMetrics(SM_CXSMICON));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc);
}

}  // namespace

std::unique_ptr<frmVelmar> frmVelmar::create(HINSTANCE instance, std::string programFolder)
{
    registerClass(instance, &frmVelmar::windowProc);
    std::unique_ptr<frmVelmar> w(new frmVelmar);
    // Made at its size, centred and with its controls in place for the
    // system's DPI: every later move or resize costs start-up time.
    w->dpi_ = GetDpiForSystem();
    const SIZE outer = outerSize(w->dpi_);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    w->window_ = CreateWindowExW(kExStyle, kWindowClass, profile::sys::widen(form_layout::kCaption).c_str(), kStyle,
        work.left + (work.right - work.left - outer.cx) / 2, work.top + (work.bottom - work.top - outer.cy) / 2,
        outer.cx, outer.cy, nullptr, createMenuBar(), instance, nullptr);
    if (!w->window_)
        return nullptr;
    w->shortcuts_ = createShortcuts();
    w->font_ = createWindowFont(w->dpi_);
    w->table_ = std::make_unique<ControlTable>(w->window_, instance, w->dpi_, w->font_);
    w->suggestions_ = std::make_unique<IdSuggestionList>(w->window_, w->table_->find("txtID"), w->font_,
        IdSuggestionList::Calls{[self = w.get()](int row) { self->form_->suggestionPicked(std::size_t(row)); },
            [self = w.get()] { self->form_->suggestionsClosed(); },
            [self = w.get()](HWND list) {
                if (self->names_)
                    self->names_->name(list, "IDの候補");
            }});
    w->controls_ = std::make_unique<Win32FormControls>(w->window_, *w->table_, *w->suggestions_);
    w->form_ = std::make_unique<CardForm>(*w->controls_, std::move(programFolder));
    // From here on the window's messages reach this object.
    SetWindowLongPtrW(w->window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w.get()));
    // A window on a screen of another DPI than the system's is made again
    // for that DPI.
    if (const UINT dpi = GetDpiForWindow(w->window_); dpi && dpi != w->dpi_) {
        w->applyDpi(dpi);
        w->centreOnScreen();
    } else {
        w->fitClientArea();
    }
    w->form_->Form_Load();
    return w;
}

frmVelmar::~frmVelmar()
{
    if (IsWindow(window_)) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    if (font_)
        DeleteObject(font_);
    if (shortcuts_)
        DestroyAcceleratorTable(shortcuts_);
}

LRESULT CALLBACK frmVelmar::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<frmVelmar*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->handle(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT frmVelmar::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND: onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)); return 0;
    case WM_ACTIVATE:
        // What a dialog box does for itself: the focus leaves with the window
        // and comes back to the same control.
        if (LOWORD(wParam) == WA_INACTIVE) {
            suggestions_->hide();
            if (HWND focus = GetFocus(); focus && IsChild(window_, focus))
                controls_->rememberFocus(focus);
        } else {
            form_->windowActivated(false);
            if (!HIWORD(wParam) && IsWindow(controls_->focusOnActivation())) {
                SetFocus(controls_->focusOnActivation());
                return 0;
            }
        }
        break;
    case WM_ACTIVATEAPP:
        // Back from another program, which may have changed the card or the folder.
        if (wParam)
            form_->windowActivated(true);
        break;
    case WM_MOVE: suggestions_->hide(); break;
    case WM_CLOSE:
        if (form_->mayClose())
            DestroyWindow(window_);
        return 0;
    case WM_QUERYENDSESSION:
        // Logging off or shutting down: unsaved changes are asked about as on closing.
        return form_->mayClose() ? TRUE : FALSE;
    case WM_SETFOCUS:
        if (IsWindow(controls_->focusOnActivation()))
            SetFocus(controls_->focusOnActivation());
        return 0;
    case WM_DPICHANGED: {
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        applyDpi(HIWORD(wParam));
        SetWindowPos(
            window_, nullptr, suggested->left, suggested->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_DESTROY:
        if (names_)
            names_->clear();
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void frmVelmar::onCommand(int id, int code, HWND control)
{
    if (!control || code == BN_CLICKED)
        suggestions_->hide();  // a menu item or a shortcut acts as if the list were not there
    switch (id) {
    case mnuFileSave: mnuFileSave_Click(); return;
    case mnuFileLoad: mnuFileLoad_Click(); return;
    case mnuFileClear: cmdClear_Click(); return;
    case mnuFileNext: mnuFileNext_Click(); return;
    case mnuFilePrevious: mnuFilePrevious_Click(); return;
    case mnuFileReport: mnuFileReport_Click(); return;
    }
    const form_layout::Control* row = table_->rowOf(id);
    if (!row)
        return;
    if (row->kind == form_layout::Kind::TextBox && code == EN_CHANGE) {
        // The ID box's typing drives the list; the other boxes are the card.
        // Texts the form sets itself are no edits.
        if (std::strcmp(row->name, "txtID") != 0)
            form_->cardEdited();
        else if (!controls_->settingText())
            form_->txtID_Change();
        return;
    }
    if (row->kind == form_layout::Kind::TextBox && code == EN_KILLFOCUS && std::strcmp(row->name, "txtID") == 0) {
        suggestions_->hide();
        return;
    }
    if (row->kind == form_layout::Kind::ComboBox && code == CBN_SELCHANGE) {
        form_->cardEdited();
        return;
    }
    if (code != BN_CLICKED)
        return;  // also Enter and Esc (IDOK, IDCANCEL): no button is the default or the cancel button
    if (row->kind == form_layout::Kind::Option) {
        if (const auto level = controls_->levelOptionChanged())
            optLv_Click(*level);
    } else if (std::strcmp(row->name, "cmdLoad") == 0) {
        cmdLoad_Click();
    } else if (std::strcmp(row->name, "cmdSave") == 0) {
        cmdSave_Click();
    } else if (std::strcmp(row->name, "cmdClear") == 0) {
        cmdClear_Click();
    }
}

// Reading a large card set takes a few seconds: the pointer says so.
void frmVelmar::mnuFileReport_Click()
{
    const HCURSOR before = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    form_->mnuFileReport_Click();
    SetCursor(before);
}

void frmVelmar::applyDpi(UINT dpi)
{
    dpi_ = dpi ? dpi : USER_DEFAULT_SCREEN_DPI;
    HFONT font = createWindowFont(dpi_);
    table_->place(dpi_, font);
    suggestions_->setFont(font);
    if (font_)
        DeleteObject(font_);
    font_ = font;
    SetWindowPos(
        window_, nullptr, 0, 0, outerSize(dpi_).cx, outerSize(dpi_).cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    fitClientArea();
    InvalidateRect(window_, nullptr, TRUE);
}

// The system works the window's size out from the client area's; a menu bar
// of another height than it reckons with, say, leaves the client area off:
// corrected by what it really got.
void frmVelmar::fitClientArea()
{
    const SIZE client{pixels(form_layout::kClientWidth, dpi_), pixels(form_layout::kClientHeight, dpi_)};
    for (int attempt = 0; attempt < 2; ++attempt) {
        RECT got{}, outer{};
        GetClientRect(window_, &got);
        if (got.right == client.cx && got.bottom == client.cy)
            return;
        GetWindowRect(window_, &outer);
        SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left + client.cx - got.right,
            outer.bottom - outer.top + client.cy - got.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void frmVelmar::nameControls()
{
    names_ = std::make_unique<AccessibleNames>();
    names_->nameControls(*table_);
    if (suggestions_->list())
        names_->name(suggestions_->list(), "IDの候補");
}

MessageLoopHooks frmVelmar::messageLoopHooks()
{
    return {[this](const MSG& msg) {
                return msg.message == WM_KEYDOWN && msg.hwnd == table_->find("txtID")
                       && suggestions_->handleKey(msg.wParam);
            },
        [this] {
            if (!controls_->idleWorkWanted())
                return false;
            if (!form_->readSomeCards())
                controls_->idleWorkDone();
            return controls_->idleWorkWanted();
        }};
}

void frmVelmar::centreOnScreen()
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor);
    RECT r{};
    GetWindowRect(window_, &r);
    const RECT& work = monitor.rcWork;
    const int x = work.left + (work.right - work.left - (r.right - r.left)) / 2;
    const int y = work.top + (work.bottom - work.top - (r.bottom - r.top)) / 2;
    SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int runEditor(HINSTANCE instance, int show)
{
    const INITCOMMONCONTROLSEX common{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&common);
    auto window = frmVelmar::create(instance);
    if (!window)
        return 1;
    ShowWindow(window->hwnd(), show);
    RedrawWindow(window->hwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    // COM, for the names, once the window is drawn: under Wine every control
    // made in a COM apartment takes several times as long to make.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    window->nameControls();
    const int status = runMessageLoop(window->hwnd(), window->shortcuts(), window->messageLoopHooks());
    window.reset();
    if (SUCCEEDED(com))
        CoUninitialize();
    return status;
}

}  // namespace win32
