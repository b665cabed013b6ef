// Code page 932 through Windows' own tables (MultiByteToWideChar and
// WideCharToMultiByte), never with a best fit or a default character.
#include "code_page.h"
#include "code_page_system.h"
#include "system_path_windows.h"

#include <cerrno>
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

int fromCp932(const char*& in, std::size_t& inLeft, char32_t*& out, std::size_t room)
{
    const std::string_view bytes(in, inLeft);
    std::size_t pos = 0;
    int result = 0;
    for (; pos < bytes.size(); ++out, --room) {
        if (room == 0) {
            result = E2BIG;
            break;
        }
        const auto lead = static_cast<unsigned char>(bytes[pos]);
        if (lead < 0x80) {  // ASCII is itself in code page 932
            *out = lead;
            ++pos;
            continue;
        }
        const std::size_t len = cp932CharLength(bytes, pos);
        wchar_t wide[2];
        if ((len == 1 && isUnassignedSingleByte(lead))
            || MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes.data() + pos, int(len), wide, 2) != 1) {
            result = EILSEQ;
            break;
        }
        *out = wide[0];
        pos += len;
    }
    in += pos;
    inLeft -= pos;
    return result;
}

}  // namespace profile::sys
