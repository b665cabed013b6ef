#include "card_id.h"

#include "code_page.h"
#include "shown_name.h"

#include <array>
#include <cstdio>

namespace {

// The longest file name ext4 and NTFS take (NTFS counts UTF-16 units, which
// are never more than the UTF-8 bytes).
constexpr std::size_t kMaxFileNameBytes = 255;
constexpr std::string_view kExtension = ".ini";

// A control character in an ID is shown, not sent.
std::string bracketed(std::string_view text) { return "「" + shownName(text) + "」"; }

bool isControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

// Characters that take no room and show nothing (Unicode's format
// characters): a byte-order mark a spreadsheet leaves at the start of a
// cell, a zero-width space, direction marks.
bool isInvisibleFormat(char32_t c)
{
    return c == 0xAD || (c >= 0x600 && c <= 0x605) || c == 0x61C || c == 0x6DD || c == 0x70F || c == 0x180E
           || (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F)
           || c == 0xFEFF || (c >= 0xFFF9 && c <= 0xFFFB) || c == 0x110BD || c == 0x110CD
           || (c >= 0x1BCA0 && c <= 0x1BCA3) || (c >= 0x1D173 && c <= 0x1D17A) || c == 0xE0001
           || (c >= 0xE0020 && c <= 0xE007F);
}

// The names Windows keeps for its devices, in any letter case, also with
// more after a dot ("con.old"): such a file opens the device instead.
bool isDeviceName(std::string_view id)
{
    std::string base = foldedId(id.substr(0, id.find('.')));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    static constexpr std::array<std::string_view, 4> kPlain = {"CON", "PRN", "AUX", "NUL"};
    for (std::string_view name : kPlain)
        if (base == name)
            return true;
    return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) && base[3] >= '1' && base[3] <= '9';
}

std::string codeOf(char32_t c)
{
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    return code;
}

}  // namespace

std::optional<std::string> checkCardId(std::string_view id)
{
    const auto refuse
        = [&](const std::string& why) { return "ID" + bracketed(id) + "はカードのファイル名に使えません：" + why; };
    for (std::size_t pos = 0; pos < id.size();) {
        char32_t c;
        pos += profile::decodeUtf8(id, pos, c);
        if (c == U'/' || c == U'\\')
            return refuse("「/」や「\\」は使えません。");
        if (isControl(c))
            return refuse("制御文字は使えません。");
        if (std::u32string_view(U"<>:\"|?*").find(c) != std::u32string_view::npos) {
            std::string shown;
            profile::appendUtf8(shown, c);
            return refuse(bracketed(shown) + "はWindowsのファイル名に使えない文字です（< > : \" / \\ | ? *）。");
        }
        if (isInvisibleFormat(c))
            return refuse("目に見えない書式文字（" + codeOf(c)
                          + "）があります。表計算ソフトからコピーしたときに付くことがあります。");
    }
    if (!id.empty() && (id.back() == '.' || id.back() == ' '))
        return refuse("最後の「.」や空白はWindowsのファイル名では消えてしまうため使えません。");
    if (isDeviceName(id))
        return refuse(bracketed(id.substr(0, id.find('.')))
                      + "はWindowsが装置に使う名前です（CON、PRN、AUX、NUL、COM1〜COM9、LPT1〜LPT9）。");
    if (id.size() + kExtension.size() > kMaxFileNameBytes)
        return refuse("長すぎます。");
    return std::nullopt;
}

std::string foldedId(std::string_view id)
{
    // Windows compares names by their upper case: ASCII, Latin-1, Greek,
    // Cyrillic and the full-width Latin letters cover what card IDs use.
    std::string folded;
    folded.reserve(id.size());
    for (std::size_t pos = 0; pos < id.size();) {
        char32_t c;
        pos += profile::decodeUtf8(id, pos, c);
        if ((c >= U'a' && c <= U'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)
            || (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) || (c >= 0x430 && c <= 0x44F) || (c >= 0xFF41 && c <= 0xFF5A))
            c -= 0x20;
        else if (c >= 0x450 && c <= 0x45F)
            c -= 0x50;
        profile::appendUtf8(folded, c);
    }
    return folded;
}
