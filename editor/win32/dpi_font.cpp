#include "dpi_font.h"

#include <algorithm>
#include <cwchar>
#include <initializer_list>
#include <string>

namespace win32 {
namespace {

constexpr int kPointSize = 9;
constexpr int kTwipsPerInch = 1440;
constexpr int kPointsPerInch = 72;
constexpr int kNarrowestPercent = 75;  // narrower than this is hard to read
constexpr int kEntryPadding = 4;       // the entry field's text keeps off its edges

int CALLBACK noteFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found)
{
    *reinterpret_cast<bool*>(found) = true;
    return 0;  // one is enough
}

// Whether the system has a font of that family with Japanese characters.
bool hasJapaneseFace(const wchar_t* face)
{
    LOGFONTW wanted{};
    wanted.lfCharSet = SHIFTJIS_CHARSET;
    wcsncpy(wanted.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(screen, &wanted, noteFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

}  // namespace

int pixels(int twips, UINT dpi) { return MulDiv(twips, int(dpi), kTwipsPerInch); }

const wchar_t* japaneseUiFace()
{
    static const wchar_t* const face = [] {
        for (const wchar_t* candidate : {L"Yu Gothic UI", L"Meiryo UI", L"MS UI Gothic"})
            if (hasJapaneseFace(candidate))
                return candidate;
        return L"";
    }();
    return face;
}

HFONT createWindowFont(UINT dpi)
{
    LOGFONTW font{};
    font.lfHeight = -MulDiv(kPointSize, int(dpi), kPointsPerInch);
    font.lfWeight = FW_NORMAL;
    // With no face named, the Shift-JIS character set makes the font mapper
    // take a font that has Japanese.
    font.lfCharSet = SHIFTJIS_CHARSET;
    wcsncpy(font.lfFaceName, japaneseUiFace(), LF_FACESIZE - 1);
    return CreateFontIndirectW(&font);
}

HFONT createFontToFitList(HWND comboBox, HFONT font)
{
    COMBOBOXINFO box{};
    box.cbSize = sizeof box;
    if (!GetComboBoxInfo(comboBox, &box))
        return nullptr;
    const int room = box.rcItem.right - box.rcItem.left - kEntryPadding;
    HDC dc = GetDC(comboBox);
    const auto widest = [&](HFONT f) {
        HGDIOBJ old = SelectObject(dc, f);
        int width = 0;
        const int count = int(SendMessageW(comboBox, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            std::wstring entry(std::size_t(SendMessageW(comboBox, CB_GETLBTEXTLEN, WPARAM(i), 0)), L'\0');
            SendMessageW(comboBox, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(entry.data()));
            SIZE size{};
            GetTextExtentPoint32W(dc, entry.c_str(), int(entry.size()), &size);
            width = std::max(width, int(size.cx));
        }
        SelectObject(dc, old);
        return width;
    };
    HFONT narrow = nullptr;
    if (const int natural = widest(font); natural > room && room > 0) {
        LOGFONTW wanted{};
        GetObjectW(font, sizeof wanted, &wanted);
        TEXTMETRICW metrics{};
        HGDIOBJ old = SelectObject(dc, font);
        GetTextMetricsW(dc, &metrics);
        SelectObject(dc, old);
        // Start from the proportion, then narrow on until the widest fits:
        // widths round to whole pixels.
        const int narrowest = metrics.tmAveCharWidth * kNarrowestPercent / 100;
        for (int width = metrics.tmAveCharWidth * room / natural; width >= narrowest && width > 0; --width) {
            if (narrow)
                DeleteObject(narrow);
            wanted.lfWidth = width;
            narrow = CreateFontIndirectW(&wanted);
            if (widest(narrow) <= room)
                break;
        }
    }
    ReleaseDC(comboBox, dc);
    return narrow;
}

}  // namespace win32
