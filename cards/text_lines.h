#pragma once

// A card file's bytes as lines, in the file's own encoding (code page 932,
// or UTF-8 / UTF-16 told by a byte-order mark, as the profile store tells
// it): where each line starts and ends, so that a line can be looked at,
// left out or replaced without decoding the rest. Line numbers are those of
// ProfileLine: the first line after the byte-order mark is line 1.

#include "profile_text.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TextLine {
    std::size_t start = 0;  // first byte
    std::size_t end = 0;    // where its line end (CR LF or LF) starts
    std::size_t next = 0;   // first byte of the following line
};

class TextLines {
public:
    explicit TextLines(std::string_view bytes);

    profile::Encoding encoding() const { return encoding_; }
    std::size_t bodyStart() const { return bodyStart_; }  // after the byte-order mark
    // Every line; together they cover the bytes after the byte-order mark.
    const std::vector<TextLine>& lines() const { return lines_; }

    // The ASCII character at byte offset `pos` of a line, or -1 for anything else.
    int asciiAt(std::size_t pos) const;
    // Bytes of one character unit: 2 in UTF-16, 1 otherwise.
    std::size_t unit() const { return wide_ ? 2 : 1; }

    // The line end the file uses: that of its first line, CR LF when it has none.
    std::string_view lineEnd() const { return crlf_ ? "\r\n" : "\n"; }

    // UTF-8 text in the file's encoding; nullopt when code page 932 cannot hold it.
    std::optional<std::string> encode(std::string_view utf8) const;

private:
    std::string_view bytes_;
    profile::Encoding encoding_ = profile::Encoding::Cp932;
    std::size_t bodyStart_ = 0;
    bool wide_ = false;
    bool crlf_ = true;
    std::vector<TextLine> lines_;
};
