#include "profile_text.h"

#include "code_page.h"
#include "name_index.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <list>
#include <new>

namespace profile {
namespace {

bool isBlank(int c) { return c == ' ' || c == '\t' || c == '\r'; }

// A piece of a block of text.
struct TextPiece {
    std::uint32_t at = 0, size = 0;
};

// Letter case folding for name matching: ASCII, Latin-1, Greek, Cyrillic,
// Roman numerals, circled and full-width Latin letters (the letters code page
// 932 holds in two cases), as Windows ignores their case too. No character
// outside ASCII folds into ASCII.
char32_t foldCase(char32_t c)
{
    if (c < 0x80)
        return c - U'A' < 26u ? c + 0x20 : c;
    if (c < 0xC0)
        return c;
    if (c <= 0xDE && c != 0xD7)
        return c + 0x20;
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2)
        return c + 0x20;
    if (c >= 0x410 && c <= 0x42F)
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    if (c >= 0x2160 && c <= 0x216F)
        return c + 0x10;
    if (c >= 0x24B6 && c <= 0x24CF)
        return c + 0x1A;
    if (c >= 0xFF21 && c <= 0xFF3A)
        return c + 0x20;
    return c;
}

// A name as the caller gives it: cut at a NUL (it ends a C string), blanks trimmed.
std::string_view cleanName(std::string_view name)
{
    name = name.substr(0, name.find('\0'));
    while (!name.empty() && isBlank(name.front()))
        name.remove_prefix(1);
    while (!name.empty() && isBlank(name.back()))
        name.remove_suffix(1);
    return name;
}

// Text (that code page 932 can hold) as the A function passes it on: in
// code page 932, where a look-alike is its character ("£" is "￡", "¥" "\\").
std::string heldText(std::string_view utf8) { return cp932ToUtf8(utf8ToCp932(utf8).value_or("")); }

// Text as heldText() gives it; plain ASCII, which it leaves as it is, is not copied.
std::string_view heldView(std::string_view text, std::deque<std::string>& held)
{
    if (std::all_of(text.begin(), text.end(), [](unsigned char c) { return c >= ' ' && c < 0x7F; }))
        return text;
    return held.emplace_back(heldText(text));
}

// A look-up's name as a line can hold it (cleaned and held), or empty when
// no line can: code page 932 cannot hold it, and the A function never
// wrote it. `held` keeps the names that are not the caller's own.
[[gnu::noinline]] std::string_view heldName(std::string_view raw, std::list<std::string>& held)
{
    const std::string_view name = cleanName(raw);
    if (name.empty() || firstUnencodable(name))
        return {};
    return held.emplace_back(heldText(name));
}

// The same, for most names at once: plain ASCII letters and digits, which it leaves as they are.
std::string_view findableName(std::string_view raw, std::list<std::string>& held)
{
    if (!raw.empty() && std::all_of(raw.begin(), raw.end(), [](unsigned char c) { return c > ' ' && c < 0x7F; }))
        return raw;
    return heldName(raw, held);
}

// Whether two views hold the same text; two views of one text are not compared.
bool sameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && (a.data() == b.data() || a == b);
}

// Whether two names (UTF-8) are one when folded; out of the way of the ASCII compare.
[[gnu::noinline]] bool foldedNameIs(const std::string& name, std::string_view wanted)
{
    return foldedName(name) == foldedName(wanted);
}

// Cuts `utf8` (valid UTF-8) to what a buffer of `limit` code page 932 bytes
// takes whole, ending at a NUL. Returns the bytes used.
std::size_t cutToWidth(std::string& utf8, std::size_t limit)
{
    std::size_t used = 0, pos = 0;
    while (pos < utf8.size()) {
        char32_t c;
        const std::size_t n = decodeUtf8(utf8, pos, c);
        if (c == 0)
            break;
        const std::size_t w = std::max<std::size_t>(1, cp932Width(c));  // "?" for what it cannot hold
        if (used + w > limit)
            break;
        used += w;
        pos += n;
    }
    utf8.resize(pos);
    return used;
}

// The bytes the decoded `utf8` takes in code page 932, "?" counting as one.
std::size_t cp932Bytes(std::string_view utf8)
{
    std::size_t used = 0;
    for (std::size_t pos = 0; pos < utf8.size();) {
        char32_t c;
        pos += decodeUtf8(utf8, pos, c);
        used += std::max<std::size_t>(1, cp932Width(c));
    }
    return used;
}

}  // namespace

std::string foldedName(std::string_view utf8)
{
    std::string folded;
    folded.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        if (const auto byte = static_cast<unsigned char>(utf8[pos]); byte < 0x80) {
            folded += static_cast<char>(foldCase(byte));
            ++pos;
            continue;
        }
        char32_t c;
        pos += decodeUtf8(utf8, pos, c);
        appendUtf8(folded, foldCase(c));
    }
    return folded;
}

ProfileText::ProfileText(std::string bytes)
    : bytes_(std::move(bytes))
{
    findBody();
}

std::size_t ProfileText::unit() const { return encoding_ < Encoding::Utf16LE ? 1 : 2; }

// The ASCII character at byte offset `pos`, or -1 for anything else.
int ProfileText::asciiAt(std::size_t pos) const
{
    const auto b = [this](std::size_t i) { return static_cast<unsigned char>(bytes_[i]); };
    if (encoding_ < Encoding::Utf16LE)
        return b(pos) < 0x80 ? b(pos) : -1;
    if (encoding_ == Encoding::Utf16LE)
        return b(pos + 1) == 0 && b(pos) < 0x80 ? b(pos) : -1;
    return b(pos) == 0 && b(pos + 1) < 0x80 ? b(pos + 1) : -1;
}

// Bytes of the character at `pos`, not reaching past `end`. In code page 932
// a lead byte takes its trail byte along, so a trail byte that looks like "["
// or "]" is never taken for one; a UTF-8 byte beyond ASCII never looks like
// ASCII, so one byte at a time will do.
std::size_t ProfileText::charLength(std::size_t pos, std::size_t end) const
{
    if (encoding_ == Encoding::Cp932)
        return cp932CharLength(std::string_view(bytes_).substr(0, end), pos);
    return unit();
}

std::string ProfileText::decode(std::size_t begin, std::size_t end, bool* valid) const
{
    const std::string_view raw = std::string_view(bytes_).substr(begin, end - begin);
    switch (encoding_) {
    case Encoding::Cp932: return cp932ToUtf8(raw, valid);
    case Encoding::Utf8: return sanitizeUtf8(raw, valid);
    case Encoding::Utf16LE: return utf16ToUtf8(raw, false, valid);
    case Encoding::Utf16BE: return utf16ToUtf8(raw, true, valid);
    }
    return {};
}

// UTF-8 text (already checked to be code page 932 text) in the text's encoding.
std::string ProfileText::encode(std::string_view utf8) const
{
    switch (encoding_) {
    case Encoding::Cp932: return utf8ToCp932(utf8).value_or(std::string());
    case Encoding::Utf8: return std::string(utf8);
    case Encoding::Utf16LE: return utf8ToUtf16(utf8, false);
    case Encoding::Utf16BE: return utf8ToUtf16(utf8, true);
    }
    return {};
}

// The same, appended to `out`; ASCII is itself in the one-byte encodings.
void ProfileText::appendEncoded(std::string& out, std::string_view utf8) const
{
    if (unit() == 1 && std::all_of(utf8.begin(), utf8.end(), [](unsigned char c) { return c < 0x80; }))
        out += utf8;
    else
        out += encode(utf8);
}

// The encoding and where the body of lines starts and ends.
void ProfileText::findBody()
{
    const std::string_view b = bytes_;
    encoding_ = Encoding::Cp932;
    bodyStart_ = 0;
    if (b.starts_with("\xEF\xBB\xBF"))
        encoding_ = Encoding::Utf8, bodyStart_ = 3;
    else if (b.starts_with("\xFF\xFE"))
        encoding_ = Encoding::Utf16LE, bodyStart_ = 2;
    else if (b.starts_with("\xFE\xFF"))
        encoding_ = Encoding::Utf16BE, bodyStart_ = 2;
    bodyEnd_ = bytes_.size();
    if (unit() == 2 && (bodyEnd_ - bodyStart_) % 2)
        --bodyEnd_;
}

// The lines again from the byte `edit` on, where the text changed: a line
// that ends before it stays as it was found.
void ProfileText::reparseFrom(std::size_t edit)
{
    while (!lines_.empty() && (lines_.back().next > edit || lines_.back().end == edit))
        lines_.pop_back();
    for (std::size_t pos = lines_.empty() ? bodyStart_ : lines_.back().next; pos < bodyEnd_;) {
        lines_.push_back(readLine(pos));
        pos = lines_.back().next;
    }
}

// The line starting at `pos` (< bodyEnd_), sorted. It is a section header
// when its first non-blank character is "[" and a "]" follows (the name runs
// to the first "]"), a comment when it is ";", a key when it holds "=";
// anything else is no key at all.
ProfileText::Line ProfileText::readLine(std::size_t pos) const
{
    const std::size_t u = unit();
    Line line;
    line.start = pos;
    if (u == 1) {
        const void* lf = std::memchr(bytes_.data() + pos, '\n', bodyEnd_ - pos);
        line.next = lf ? std::size_t(static_cast<const char*>(lf) - bytes_.data()) + 1 : bodyEnd_;
    } else {
        std::size_t p = pos;
        while (p < bodyEnd_ && asciiAt(p) != '\n')
            p += 2;
        line.next = p < bodyEnd_ ? p + 2 : bodyEnd_;
    }
    line.end = line.next > pos && asciiAt(line.next - u) == '\n' ? line.next - u : line.next;

    // Blanks are never trail bytes, so they are trimmed from either end.
    std::size_t b = line.start, e = line.end;
    while (b < e && isBlank(asciiAt(b)))
        b += u;
    while (e > b && isBlank(asciiAt(e - u)))
        e -= u;
    if (b == e)
        return line;
    const auto trimmed = [&](std::size_t& from, std::size_t& to) {
        while (from < to && isBlank(asciiAt(from)))
            from += u;
        while (to > from && isBlank(asciiAt(to - u)))
            to -= u;
    };
    // The scan to a name's end sees every byte of the name, and blanks are ASCII.
    bool ascii = u == 1;
    const auto named = [&](LineKind kind, std::size_t from, std::size_t to) {
        line.kind = kind;
        line.nameBegin = from, line.nameEnd = to;
        line.asciiName = ascii;
    };

    if (asciiAt(b) == ';') {
        line.kind = LineKind::Comment;
        return line;
    }
    if (asciiAt(b) == '[') {
        std::size_t p = b + u;
        for (int c; p < e && (c = asciiAt(p)) != ']'; p += charLength(p, e))
            ascii &= c >= 0;
        if (p < e) {
            std::size_t from = b + u, to = p;
            trimmed(from, to);
            named(LineKind::Section, from, to);
            return line;
        }
        // Without its "]" the line is no section header.
    }
    // "=" is never a trail byte of code page 932.
    std::size_t eq = b;
    ascii = u == 1;
    for (int c; eq < e && (c = asciiAt(eq)) != '='; eq += u)
        ascii &= c >= 0;
    if (eq == e) {
        line.kind = LineKind::Other;
        return line;
    }
    // The line's ends are trimmed already: the name's end and the value's start are left.
    std::size_t nameEnd = eq;
    while (nameEnd > b && isBlank(asciiAt(nameEnd - u)))
        nameEnd -= u;
    named(LineKind::Key, b, nameEnd);
    std::size_t vb = eq + u;
    while (vb < e && isBlank(asciiAt(vb)))
        vb += u;
    if (e - vb >= 2 * u) {
        const int q = asciiAt(vb);
        if ((q == '"' || q == '\'') && asciiAt(e - u) == q)
            vb += u, e -= u;
    }
    line.valueBegin = vb, line.valueEnd = e;
    return line;
}

// Whether the line's name is `wanted` (valid UTF-8). An ASCII name is itself
// in code page 932 and UTF-8, and no character beyond ASCII folds into
// ASCII, so it is compared as it stands.
inline bool ProfileText::nameIs(const Line& line, std::string_view wanted) const
{
    if (!line.asciiName)
        return foldedNameIs(decode(line.nameBegin, line.nameEnd), wanted);
    const std::size_t size = line.nameEnd - line.nameBegin;
    if (size != wanted.size())
        return false;
    // A byte of `wanted` beyond ASCII matches no byte of the name, folded or not.
    const auto lower = [](unsigned char c) { return c - unsigned('A') < 26u ? c + 0x20 : c; };
    const char* name = bytes_.data() + line.nameBegin;
    for (std::size_t i = 0; i < size; ++i)
        if (name[i] != wanted[i] && lower(name[i]) != lower(wanted[i]))
            return false;
    return true;
}

// A key's value (the bytes b to e) cut as the A function cuts it into a buffer of `limit`
// bytes and a NUL; returns the bytes it takes there.
std::size_t ProfileText::readValue(std::size_t b, std::size_t e, std::size_t limit, std::string& value) const
{
    // ASCII without a NUL that fits is itself in both one-byte encodings, as most values are.
    const char* const raw = bytes_.data();
    if (unit() == 1 && e - b <= limit
        && std::all_of(raw + b, raw + e, [](unsigned char c) { return c != 0 && c < 0x80; })) {
        value.assign(raw + b, e - b);
        return e - b;
    }
    if (encoding_ != Encoding::Cp932) {
        // Decode no more than the cut can keep: a character takes at most
        // four bytes here and at least one code page 932 byte.
        const std::size_t span = std::min(e - b, (4 * limit + 4) / unit() * unit());
        value = decode(b, b + span);
        return cutToWidth(value, limit);
    }
    // The bytes are the A function's own: cut at a character boundary, so a
    // two-byte character that does not fit is dropped whole, and at a NUL.
    std::size_t p = e;
    if (e - b > limit || std::memchr(bytes_.data() + b, '\0', e - b)) {
        p = b;
        for (std::size_t n; p < e && bytes_[p] != '\0' && p + (n = charLength(p, e)) - b <= limit;)
            p += n;
    }
    value = cp932ToUtf8(std::string_view(bytes_).substr(b, p - b));
    return p - b;
}

std::size_t ProfileText::get(std::string_view section, std::string_view key, std::string_view defaultValue,
    std::string& value, std::size_t bufferSize) const
{
    Lookup lookup{section, key, defaultValue};
    getAll({&lookup, 1}, bufferSize);
    value = std::move(lookup.value);
    return lookup.length;
}

// Every look-up in one walk over the lines. Each finds the first key of its
// name in the first section of its name; later sections of the same name are
// not looked at, as Windows does.
void ProfileText::getAll(std::span<Lookup> lookups, std::size_t bufferSize) const
{
    // The sections by the names the look-ups give (two spellings of one name
    // are two entries that the same header opens), each with its look-ups.
    constexpr std::size_t kNone = std::size_t(-1);
    struct Section {
        std::string_view name;
        std::size_t first = kNone;  // its first look-up
        enum { Ahead, Inside, Passed } state = Ahead;
    };
    struct Wanted {
        std::string_view key;
        std::size_t next = kNone;                      // the next look-up in the same section
        std::size_t valueBegin = kNone, valueEnd = 0;  // the found line's value
    };
    std::vector<Section> sections;
    std::vector<Wanted> wanted(lookups.size());
    sections.reserve(lookups.size());
    // Look-ups in a row mostly share a section: it is cleaned and found once.
    std::list<std::string> held;
    std::string_view raw, section;
    std::size_t s = kNone;                            // its place in `sections`, once a look-up needs it
    for (std::size_t i = lookups.size(); i-- > 0;) {  // from the last, so each list is in order
        if (i + 1 == lookups.size() || !sameText(lookups[i].section, raw))
            section = findableName(raw = lookups[i].section, held), s = kNone;
        const std::string_view key = findableName(lookups[i].key, held);
        if (bufferSize == 0 || section.empty() || key.empty())
            continue;  // a name that no line can have
        if (s == kNone) {
            s = 0;
            while (s < sections.size() && sections[s].name != section)
                ++s;
            if (s == sections.size())
                sections.push_back({section});
        }
        wanted[i] = {key, sections[s].first};
        sections[s].first = i;
    }

    std::size_t open = sections.size();  // sections not yet read through
    for (std::size_t pos = bodyStart_; pos < bodyEnd_;) {
        const Line line = readLine(pos);
        pos = line.next;
        if (line.kind == LineKind::Section) {
            if (open == 0)
                break;
            for (Section& s : sections) {
                if (s.state == Section::Inside)
                    s.state = Section::Passed, --open;
                else if (s.state == Section::Ahead && nameIs(line, s.name))
                    s.state = Section::Inside;
            }
        } else if (line.kind == LineKind::Key) {
            for (const Section& s : sections)
                if (s.state == Section::Inside)
                    for (std::size_t i = s.first; i != kNone; i = wanted[i].next)
                        if (wanted[i].valueBegin == kNone && nameIs(line, wanted[i].key))
                            wanted[i].valueBegin = line.valueBegin, wanted[i].valueEnd = line.valueEnd;
        }
    }

    for (std::size_t i = 0; i < lookups.size(); ++i) {
        Lookup& l = lookups[i];
        l.value.clear();
        l.length = 0;
        if (bufferSize == 0)
            continue;
        if (wanted[i].valueBegin != kNone) {
            l.length = readValue(wanted[i].valueBegin, wanted[i].valueEnd, bufferSize - 1, l.value);
            continue;
        }
        std::string_view d = l.defaultValue.substr(0, l.defaultValue.find('\0'));
        while (!d.empty() && (d.back() == ' ' || d.back() == '\t'))
            d.remove_suffix(1);
        l.value = sanitizeUtf8(d);
        l.length = cutToWidth(l.value, bufferSize - 1);
    }
}

int ProfileText::set(std::string_view sectionArg, std::string_view keyArg, std::string_view valueArg)
{
    const std::string_view sectionGiven = cleanName(sectionArg);
    const std::string_view keyGiven = cleanName(keyArg);
    const std::string_view given = valueArg.substr(0, valueArg.find('\0'));
    if (sectionGiven.empty() || keyGiven.empty())
        return EINVAL;
    if (firstUnencodable(sectionGiven) || firstUnencodable(keyGiven) || firstUnencodable(given))
        return EILSEQ;

    try {
        // Names and value as the A function hands them on, whatever the
        // text's encoding: a UTF-8 or UTF-16 text gets a look-alike's character too.
        const std::string sectionHeld = heldText(sectionGiven), keyHeld = heldText(keyGiven),
                          valueHeld = heldText(given);
        const std::string_view sectionName = sectionHeld, keyName = keyHeld, value = valueHeld;
        // The lines are kept from the first edit on: a text only read needs none kept.
        if (lines_.empty()) {
            if (unit() == 1)  // room for every line at once
                lines_.reserve(std::size_t(std::count(bytes_.begin() + bodyStart_, bytes_.end(), '\n')) + 1);
            reparseFrom(bodyStart_);
        }
        // The key's line, or where a new one goes: after the last non-blank
        // line of the first section of that name, or at the end in a new section.
        const Line* key = nullptr;
        bool sectionFound = false, inSection = false;
        std::size_t at = bodyEnd_;
        bool needsEol = at > bodyStart_ && asciiAt(at - unit()) != '\n';
        for (const Line& line : lines_) {
            if (line.kind == LineKind::Section) {
                if (inSection)
                    break;
                inSection = nameIs(line, sectionName);
                sectionFound |= inSection;
            } else if (inSection && line.kind == LineKind::Key && nameIs(line, keyName)) {
                key = &line;
                break;
            }
            if (inSection && line.kind != LineKind::Blank) {
                at = line.next;
                needsEol = line.end == line.next;
            }
        }
        const std::string_view bytes = bytes_;
        const std::size_t edit = key ? key->start : at;  // the first byte that changes
        std::string out;
        out.reserve(bytes.size() + 4 * (sectionName.size() + keyName.size() + value.size()) + 32);
        if (key) {
            // Replaced where it stands, the key as the file spells it.
            out.append(bytes.substr(0, key->start));
            out.append(bytes.substr(key->nameBegin, key->nameEnd - key->nameBegin));
            out += encode("=");
            out += encode(value);
            out += encode("\r\n");
            out.append(bytes.substr(key->next));
        } else {
            std::string line;
            if (!sectionFound)
                line.append("[").append(sectionName).append("]\r\n");
            line.append(keyName).append("=").append(value).append("\r\n");
            out.append(bytes.substr(0, at));
            if (needsEol)
                out += encode("\r\n");
            out += encode(line);
            out.append(bytes.substr(at));  // a last odd byte of a UTF-16 text stays last
        }
        bytes_ = std::move(out);
        findBody();
        reparseFrom(edit);
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    }
    return 0;
}

// The key lines found by name in one walk over the text, the text written
// anew in a second; a few bytes kept per setting, none per line.
int ProfileText::setAll(std::span<const Setting> settings, std::size_t* failed)
{
    constexpr std::uint32_t kNone = UINT32_MAX;
    struct Section {
        TextPiece folded;
        std::size_t header = SIZE_MAX;  // its first header's first byte, when the text has one
        std::size_t last = 0;           // the first byte of its last line that is not blank
        std::vector<std::uint32_t> added;
    };
    struct Key {
        std::uint32_t section = 0;
        TextPiece folded;
        std::uint32_t hash = 0;
        std::uint32_t valueFrom = 0;  // the setting whose value it gets: the last of its name
        bool repeated = false;        // a later setting of a key given before
        bool found = false;           // its line is in the text
    };
    try {
        std::string folded;  // every folded name, one after the other
        const auto piece = [&](TextPiece p) { return std::string_view(folded).substr(p.at, p.size); };
        const auto keep = [&](std::string_view name) {
            if (folded.size() + name.size() > UINT32_MAX)
                throw std::bad_alloc();
            const TextPiece p{std::uint32_t(folded.size()), std::uint32_t(name.size())};
            folded += name;
            return p;
        };
        const auto keyHash = [](std::uint32_t section, std::string_view name) {
            return NameIndex::hashOf(name) ^ (section * 0x9E3779B9u);
        };
        std::vector<Section> sections;
        std::vector<Key> keys(settings.size());
        NameIndex sectionIndex, keyIndex;
        keyIndex.reserve(settings.size());
        const auto findSection = [&](std::string_view name) {
            return sectionIndex.find(
                NameIndex::hashOf(name), [&](std::uint32_t s) { return piece(sections[s].folded) == name; });
        };
        const auto findKey = [&](std::uint32_t section, std::string_view name) {
            return keyIndex.find(keyHash(section, name),
                [&](std::uint32_t k) { return keys[k].section == section && piece(keys[k].folded) == name; });
        };
        std::deque<std::string> held;
        std::string_view lastSection;
        for (std::size_t i = 0; i < settings.size(); ++i) {
            const std::string_view section = cleanName(settings[i].section), key = cleanName(settings[i].key);
            const std::string_view value = settings[i].value.substr(0, settings[i].value.find('\0'));
            const int err = section.empty() || key.empty()                                                  ? EINVAL
                            : firstUnencodable(section) || firstUnencodable(key) || firstUnencodable(value) ? EILSEQ
                                                                                                            : 0;
            if (err) {
                if (failed)
                    *failed = i;
                return err;
            }
            Key& k = keys[i];
            k.valueFrom = std::uint32_t(i);
            // Settings in a row mostly share a section: it is found once.
            if (i > 0 && sameText(section, lastSection)) {
                k.section = keys[i - 1].section;
            } else {
                const std::string name = foldedName(heldView(section, held));
                const auto found = findSection(name);
                k.section = found ? *found : std::uint32_t(sections.size());
                if (!found) {
                    sections.push_back({keep(name), SIZE_MAX, 0, {}});
                    sectionIndex.insert(NameIndex::hashOf(name), k.section);
                }
                lastSection = section;
            }
            held.clear();
            const std::string name = foldedName(heldView(key, held));
            k.folded = keep(name);
            k.hash = keyHash(k.section, name);
        }
        // A key given again takes the place of the first; the index is read
        // a few keys ahead, so that its slots are at hand when looked up.
        constexpr std::size_t kAhead = 16;
        for (std::uint32_t i = 0; i < keys.size(); ++i) {
            if (i + kAhead < keys.size())
                keyIndex.prefetch(keys[i + kAhead].hash);
            const std::uint32_t first = keyIndex.findOrInsert(
                keys[i].hash,
                [&](std::uint32_t k) {
                    return keys[k].section == keys[i].section && piece(keys[k].folded) == piece(keys[i].folded);
                },
                i);
            if (first != i) {
                keys[first].valueFrom = i;
                keys[i].repeated = true;
            }
        }

        // Each key's line in the first section of its name, as set() finds it.
        std::string name;
        const auto foldedLineName = [&](const Line& line) -> const std::string& {
            if (!line.asciiName) {
                name = foldedName(decode(line.nameBegin, line.nameEnd));
                return name;
            }
            name.assign(bytes_, line.nameBegin, line.nameEnd - line.nameBegin);
            for (char& c : name)
                c = static_cast<char>(foldCase(static_cast<unsigned char>(c)));
            return name;
        };
        std::vector<std::pair<std::size_t, std::uint32_t>> replaced;  // a line's first byte, its key, in order
        std::uint32_t inside = kNone, next = 0;
        replaced.reserve(keys.size());
        for (std::size_t pos = bodyStart_; pos < bodyEnd_;) {
            const Line line = readLine(pos);
            pos = line.next;
            if (line.kind == LineKind::Section) {
                const auto found = findSection(foldedLineName(line));
                inside = found && sections[*found].header == SIZE_MAX ? *found : kNone;
                if (inside != kNone)
                    sections[inside].header = line.start;
            } else if (inside != kNone && line.kind == LineKind::Key) {
                // Settings mostly come in the order of the lines: the one
                // after the setting found last is tried first, with no look-up.
                const std::string& lineName = foldedLineName(line);
                const bool isNext = next < keys.size() && !keys[next].repeated && keys[next].section == inside
                                    && piece(keys[next].folded) == lineName;
                const auto found = isNext ? std::optional(next) : findKey(inside, lineName);
                if (found && !keys[*found].found) {
                    keys[*found].found = true;
                    replaced.push_back({line.start, *found});
                    next = *found + 1;
                }
            }
            if (inside != kNone && line.kind != LineKind::Blank)
                sections[inside].last = line.start;
        }
        std::vector<std::pair<std::size_t, std::uint32_t>> insertions;  // a line's first byte, the section after it
        for (std::uint32_t i = 0; i < keys.size(); ++i)
            if (!keys[i].repeated && !keys[i].found)
                sections[keys[i].section].added.push_back(i);
        for (std::uint32_t s = 0; s < sections.size(); ++s)
            if (sections[s].header != SIZE_MAX && !sections[s].added.empty())
                insertions.push_back({sections[s].last, s});
        std::sort(insertions.begin(), insertions.end());

        const auto heldOf = [&](std::string_view text) { return heldView(cleanName(text), held); };
        const auto valueOf = [&](const Key& k) {
            const std::string_view value = settings[k.valueFrom].value;
            return heldView(value.substr(0, value.find('\0')), held);
        };
        const std::string eol = encode("\r\n");
        std::string out;
        out.reserve(bytes_.size() + bytes_.size() / 4 + 64);
        out.append(bytes_, 0, bodyStart_);
        bool endsWithEol = true;  // what is written so far ends a line (or is empty)
        auto replacement = replaced.begin();
        auto insertion = insertions.begin();
        for (std::size_t pos = bodyStart_; pos < bodyEnd_;) {
            const Line line = readLine(pos);
            pos = line.next;
            held.clear();
            if (replacement != replaced.end() && replacement->first == line.start) {
                // Replaced where it stands, the key as the file spells it.
                out.append(bytes_, line.nameBegin, line.nameEnd - line.nameBegin);
                appendEncoded(out, "=");
                appendEncoded(out, valueOf(keys[replacement->second]));
                appendEncoded(out, "\r\n");
                endsWithEol = true;
                ++replacement;
            } else {
                out.append(bytes_, line.start, line.next - line.start);
                endsWithEol = line.end != line.next;
            }
            if (insertion == insertions.end() || insertion->first != line.start)
                continue;
            if (!endsWithEol)
                out += eol;
            for (const std::uint32_t k : sections[insertion->second].added) {
                held.clear();
                appendEncoded(out, heldOf(settings[k].key));
                appendEncoded(out, "=");
                appendEncoded(out, valueOf(keys[k]));
                appendEncoded(out, "\r\n");
            }
            endsWithEol = true;
            ++insertion;
        }
        for (const Section& section : sections) {
            if (section.header != SIZE_MAX || section.added.empty())
                continue;
            if (!endsWithEol)
                out += eol;
            held.clear();
            std::string lines = "[" + std::string(heldOf(settings[section.added.front()].section)) + "]\r\n";
            for (const std::uint32_t k : section.added) {
                held.clear();
                lines.append(heldOf(settings[k].key)).append("=").append(valueOf(keys[k])).append("\r\n");
            }
            out += encode(lines);
            endsWithEol = true;
        }
        out.append(bytes_, bodyEnd_);  // a last odd byte of a UTF-16 text stays last
        bytes_ = std::move(out);
        findBody();
        lines_.clear();  // parsed again by the next set()
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    }
    return 0;
}

void ProfileText::forEachLine(const std::function<void(const ProfileLine&)>& visit) const
{
    ProfileLine out;  // one for every line: its section stays until the next header
    for (std::size_t pos = bodyStart_; pos < bodyEnd_;) {
        const Line line = readLine(pos);
        pos = line.next;
        out.kind = line.kind;
        ++out.number;
        out.key.clear();
        out.value.clear();
        out.valueCp932Bytes = 0;
        out.nameValid = out.valueValid = true;
        if (line.kind == LineKind::Section) {
            out.section = decode(line.nameBegin, line.nameEnd, &out.nameValid);
            out.sectionLine = out.number;
        } else if (line.kind == LineKind::Key) {
            out.key = decode(line.nameBegin, line.nameEnd, &out.nameValid);
            out.value = decode(line.valueBegin, line.valueEnd, &out.valueValid);
            out.valueCp932Bytes
                = encoding_ == Encoding::Cp932 ? line.valueEnd - line.valueBegin : cp932Bytes(out.value);
        }
        visit(out);
    }
}

}  // namespace profile
