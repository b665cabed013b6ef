#pragma once

// A profile file's text held in memory: parsed the way the Windows profile
// service parses it, looked up and edited without touching the disk. The
// profile service (profile_service.h) reads and writes files through it, and
// a caller that needs many keys reads the file once and asks this copy.
//
// Names, values and defaults are UTF-8. The text is code page 932 unless a UTF-8
// or UTF-16 byte-order mark starts it; only what is asked for is decoded.

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace profile {

inline constexpr std::size_t kDefaultBufferSize = 256;

// A UTF-8 name folded as names match: letter case ignored in ASCII, Latin-1, Greek,
// Cyrillic, Roman numerals, circled and full-width Latin letters, as Windows does.
std::string foldedName(std::string_view utf8);

enum class Encoding { Cp932, Utf8, Utf16LE, Utf16BE };  // the one-byte encodings first

enum class LineKind {
    Blank,    // nothing but blanks
    Comment,  // first non-blank character ";"
    Section,  // "[" name "]", anything after the "]" ignored
    Key,      // name "=" value
    Other,    // none of these: never read, kept as it is by edits
};

// One line of the text as the walk reports it.
struct ProfileLine {
    LineKind kind = LineKind::Blank;
    std::size_t number = 0;           // 1-based
    std::string section;              // the section the line belongs to (a header: its own name)
    std::size_t sectionLine = 0;      // that section's header line; 0 before the first header
    std::string key;                  // a key line's name
    std::string value;                // a key line's whole value (not cut; a NUL is kept)
    std::size_t valueCp932Bytes = 0;  // bytes the value takes in code page 932 ("?" counts one)
    bool nameValid = true;            // the line's own name was all valid bytes in the encoding
    bool valueValid = true;           // the value's bytes were all valid in the text's encoding
};

class ProfileText {
public:
    // The bytes of a profile file; its encoding is told by its byte-order mark.
    explicit ProfileText(std::string bytes = {});

    const std::string& bytes() const { return bytes_; }
    Encoding encoding() const { return encoding_; }

    // The value of `key` in `section`, as GetPrivateProfileStringA gives it.
    //
    // Section and key names match without regard to letter case; blanks around
    // names and values are ignored; a value enclosed in a matching pair of
    // quotes ("..." or '...') is read without them. The first occurrence of a
    // section, and of a key within it, counts. When the section or key is
    // missing, or a name is empty, the result is `defaultValue` without
    // trailing blanks.
    //
    // The result is cut to bufferSize - 1 bytes as code page 932 would hold
    // it: a two-byte character that does not fit whole is dropped whole. For
    // a UTF-8 or UTF-16 text the cut counts each character as the bytes code
    // page 932 needs for it (one for a character it cannot hold, as "?"
    // would take), yet the character itself is returned. The value ends at a
    // NUL character, as a C string does. Bytes not valid in the text's
    // encoding read as U+FFFD.
    //
    // Returns the length of the result in those code page 932 bytes (0 when
    // bufferSize is 0 or 1).
    std::size_t get(std::string_view section, std::string_view key, std::string_view defaultValue, std::string& value,
        std::size_t bufferSize = kDefaultBufferSize) const;

    // Many look-ups: each value is what get() gives for its section, key and default.
    struct Lookup {
        std::string_view section = {};
        std::string_view key = {};
        std::string_view defaultValue = {};
        std::string value = {};  // the result
        std::size_t length = 0;  // get()'s return value
    };
    void getAll(std::span<Lookup> lookups, std::size_t bufferSize = kDefaultBufferSize) const;

    // Writes key=value into `section` as WritePrivateProfileStringA does: an
    // existing key's value is replaced where it stands, keeping the key's
    // spelling; a new key goes after the last non-blank line of its section,
    // a new section at the end. Written lines end in CR LF; every other line
    // stays byte for byte. Names and value end at a NUL; names are trimmed.
    // Returns 0, or EINVAL (an empty name), EILSEQ (text code page 932
    // cannot hold; nothing changes), ENOMEM.
    int set(std::string_view section, std::string_view key, std::string_view value);

    // Many writes in one pass over the text, for as many keys as a file
    // holds: the bytes set() gives when called for each in turn, as long as
    // no value written turns its own line into a header (a key "[a" given a
    // value with "]"). A key given twice is written where its first setting
    // puts it, with its last value. Returns 0, or set()'s error for the first
    // setting that has one, its index in `failed`; nothing changes then.
    struct Setting {
        std::string_view section, key, value;
    };
    int setAll(std::span<const Setting> settings, std::size_t* failed = nullptr);

    // Every line in file order.
    void forEachLine(const std::function<void(const ProfileLine&)>& visit) const;

private:
    // A line as the parse finds it: byte offsets into bytes_.
    struct Line {
        std::size_t start = 0;  // its first byte
        std::size_t end = 0;    // where its line end (LF) starts, or the body's end
        std::size_t next = 0;   // the next line's first byte
        LineKind kind = LineKind::Blank;
        std::size_t nameBegin = 0, nameEnd = 0;    // a section's or key's name, blanks trimmed
        std::size_t valueBegin = 0, valueEnd = 0;  // a key's value, blanks and quotes removed
        bool asciiName = false;                    // the name's bytes are ASCII in a text of one-byte units
    };

    void findBody();
    void reparseFrom(std::size_t edit);
    Line readLine(std::size_t pos) const;
    std::string decode(std::size_t begin, std::size_t end, bool* valid = nullptr) const;
    std::string encode(std::string_view utf8) const;
    void appendEncoded(std::string& out, std::string_view utf8) const;
    int asciiAt(std::size_t pos) const;
    std::size_t charLength(std::size_t pos, std::size_t end) const;
    std::size_t unit() const;
    bool nameIs(const Line& line, std::string_view wanted) const;
    std::size_t readValue(std::size_t begin, std::size_t end, std::size_t limit, std::string& value) const;

    std::string bytes_;
    Encoding encoding_ = Encoding::Cp932;
    std::size_t bodyStart_ = 0;  // after the byte-order mark
    std::size_t bodyEnd_ = 0;    // a last odd byte of a UTF-16 text is left out
    std::vector<Line> lines_;    // kept by set() only
};

}  // namespace profile
