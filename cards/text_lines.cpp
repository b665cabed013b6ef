#include "text_lines.h"

#include "code_page.h"

#include <cstring>

TextLines::TextLines(std::string_view bytes)
    : bytes_(bytes)
{
    using profile::Encoding;
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        encoding_ = Encoding::Utf8;
        bodyStart_ = 3;
    } else if (bytes.starts_with("\xFF\xFE")) {
        encoding_ = Encoding::Utf16LE;
        bodyStart_ = 2;
    } else if (bytes.starts_with("\xFE\xFF")) {
        encoding_ = Encoding::Utf16BE;
        bodyStart_ = 2;
    }
    wide_ = encoding_ == Encoding::Utf16LE || encoding_ == Encoding::Utf16BE;
    const std::size_t u = unit();
    for (std::size_t pos = bodyStart_; pos < bytes.size();) {
        TextLine line{pos, bytes.size(), bytes.size()};
        if (!wide_) {
            // LF is never a trail byte of code page 932 nor part of a UTF-8 sequence.
            if (const void* lf = std::memchr(bytes.data() + pos, '\n', bytes.size() - pos)) {
                line.end = std::size_t(static_cast<const char*>(lf) - bytes.data());
                line.next = line.end + 1;
            }
        } else {
            for (std::size_t p = pos; p + 1 < bytes.size(); p += 2)
                if (asciiAt(p) == '\n') {
                    line.end = p;
                    line.next = p + 2;
                    break;
                }
        }
        // A CR before the LF belongs to the line end; a last line without LF has none.
        if (line.next > line.end && line.end >= pos + u && asciiAt(line.end - u) == '\r')
            line.end -= u;
        lines_.push_back(line);
        pos = line.next;
    }
    if (!lines_.empty() && lines_.front().next != lines_.front().end)
        crlf_ = lines_.front().next - lines_.front().end == 2 * u;
}

int TextLines::asciiAt(std::size_t pos) const
{
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(bytes_[i]); };
    if (pos >= bytes_.size())
        return -1;
    if (!wide_)
        return b(pos) < 0x80 ? b(pos) : -1;
    if (pos + 1 >= bytes_.size())
        return -1;
    if (encoding_ == profile::Encoding::Utf16LE)
        return b(pos + 1) == 0 && b(pos) < 0x80 ? b(pos) : -1;
    return b(pos) == 0 && b(pos + 1) < 0x80 ? b(pos + 1) : -1;
}

std::optional<std::string> TextLines::encode(std::string_view utf8) const
{
    using profile::Encoding;
    switch (encoding_) {
    case Encoding::Cp932: return profile::utf8ToCp932(utf8);
    case Encoding::Utf8: return std::string(utf8);
    case Encoding::Utf16LE: return profile::utf8ToUtf16(utf8, false);
    case Encoding::Utf16BE: return profile::utf8ToUtf16(utf8, true);
    }
    return std::nullopt;
}
