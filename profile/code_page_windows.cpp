// Code page 932 through Windows' own tables (MultiByteToWideChar and
// WideCharToMultiByte), never with a best fit or a default character.
#include "code_page.h"
#include "code_page_system.h"
#include "system_path_windows.h"

#include <windows.h>

namespace profile::sys {
namespace {

constexpr UINT kCodePage = 932;

// Single bytes Windows maps to C1 controls or private-use characters; the
// card files' readers on Linux take them as invalid, and so does this.
bool isUnassignedSingleByte(unsigned char b) { return b == 0x80 || b == 0xA0 || b >= 0xFD; }

}  // namespace

std::ptrdiff_t toCp932(std::string_view utf8, char* out)
{
    if (utf8.empty())
        return 0;
    const std::wstring wide = widen(utf8);
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(
        kCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), out, int(utf8.size()), nullptr, &usedDefault);
    if (n <= 0 || usedDefault)
        return -1;
    const std::string_view bytes(out, std::size_t(n));
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t len = cp932CharLength(bytes, pos);
        if (len == 1 && isUnassignedSingleByte(static_cast<unsigned char>(bytes[pos])))
            return -1;
        pos += len;
    }
    return n;
}

char32_t cp932Character(std::string_view bytes)
{
    wchar_t wide[2];
    if ((bytes.size() == 1 && isUnassignedSingleByte(static_cast<unsigned char>(bytes[0])))
        || MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes.data(), int(bytes.size()), wide, 2) != 1)
        return 0;
    return wide[0];
}

}  // namespace profile::sys
