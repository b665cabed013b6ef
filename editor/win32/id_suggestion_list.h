#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace win32 {

// The list that drops down under the ID box: a list box in a popup window of
// its own, shown without taking the activation or the focus from the box.
// The box keeps every key; Down, Up, Enter and Esc reach the list through
// handleKey. A click picks an entry.
class IdSuggestionList {
public:
    // What the list tells its window: the row of the entry picked, that the
    // list closed (Esc, a pick, a shortcut, the focus gone), and the list's
    // window when it is first shown (the window starts without it).
    struct Calls {
        std::function<void(int row)> picked;
        std::function<void()> closed;
        std::function<void(HWND)> made;
    };
    IdSuggestionList(HWND owner, HWND idBox, HFONT font, Calls calls);
    ~IdSuggestionList();
    IdSuggestionList(const IdSuggestionList&) = delete;
    IdSuggestionList& operator=(const IdSuggestionList&) = delete;

    // Shows the entries (UTF-8) in this order under the box; none hide it.
    void show(const std::vector<std::string>& entries);
    void hide();
    bool isShown() const { return list_ && IsWindowVisible(list_); }
    HWND list() const { return list_; }  // null until first shown
    void setFont(HFONT font);

    // A key pressed in the ID box while the list is shown; true when the
    // list took it.
    bool handleKey(WPARAM key);

private:
    static LRESULT CALLBACK listProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self);
    void pick(int row);
    void make();

    HWND owner_;
    HWND idBox_;
    HWND list_ = nullptr;
    HFONT font_;
    Calls calls_;
};

}  // namespace win32
