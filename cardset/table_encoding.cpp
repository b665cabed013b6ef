#include "table_encoding.h"

#include "code_page.h"

#include <algorithm>

namespace {

bool isAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

const char* encodingName(TableEncoding encoding)
{
    switch (encoding) {
    case TableEncoding::Utf8: return "UTF-8";
    case TableEncoding::Cp932: return "Shift-JIS（コードページ932）";
    default: return "不明";
    }
}

bool decodeField(std::string& field, TableEncoding encoding)
{
    if (isAscii(field))
        return true;
    bool valid = false;
    std::string text
        = encoding == TableEncoding::Cp932 ? profile::cp932ToUtf8(field, &valid) : profile::sanitizeUtf8(field, &valid);
    if (encoding == TableEncoding::Cp932 || !valid)
        field = std::move(text);
    return valid;
}

void EncodingEvidence::look(std::string_view field, Place place)
{
    if (isAscii(field))
        return;
    bool utf8 = false, cp932 = false;
    profile::sanitizeUtf8(field, &utf8);
    std::string asCp932 = profile::cp932ToUtf8(field, &cp932);
    if (!utf8 && !notUtf8_)
        notUtf8_ = place;
    if (!cp932 && !notCp932_)
        notCp932_ = place;
    if (utf8 && cp932 && asCp932 != field && !difference_)
        difference_ = Difference{place, std::string(field), std::move(asCp932)};
}

std::optional<TableEncoding> EncodingEvidence::verdict() const
{
    if (!notUtf8_ && !notCp932_ && difference_)
        return std::nullopt;
    if (!notUtf8_)
        return TableEncoding::Utf8;
    if (!notCp932_)
        return TableEncoding::Cp932;
    return TableEncoding::Other;
}
