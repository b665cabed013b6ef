#include "table_encoding.h"

#include "code_page.h"
#include "csv.h"

TableText decodeTable(std::string_view bytes)
{
    bool valid = false;
    if (bytes.starts_with(kUtf8Bom))
        return {std::string(bytes), TableEncoding::Utf8};
    profile::sanitizeUtf8(bytes, &valid);
    if (valid)
        return {std::string(bytes), TableEncoding::Utf8};
    std::string converted = profile::cp932ToUtf8(bytes, &valid);
    if (valid)
        return {std::move(converted), TableEncoding::Cp932};
    return {std::string(bytes), TableEncoding::Other};
}

const char* encodingName(TableEncoding encoding)
{
    switch (encoding) {
    case TableEncoding::Utf8: return "UTF-8";
    case TableEncoding::Cp932: return "Shift-JIS（コードページ932）";
    default: return "不明";
    }
}
