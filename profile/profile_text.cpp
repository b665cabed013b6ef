#include "profile_text.h"

#include "code_page.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <forward_list>
#include <memory>
#include <new>
#include <optional>
#include <tuple>
#include <type_traits>
#include <vector>

namespace profile {

// The parse works on a read-only view of the text.
struct TextAccess {
    std::string_view bytes;
    Encoding encoding;
    std::size_t bodyStart, bodyEnd;
    bool wide;  // UTF-16: two bytes a unit; told once, not at every byte

    explicit TextAccess(const ProfileText& t)
        : bytes(t.bytes_)
        , encoding(t.encoding_)
        , bodyStart(t.bodyStart_)
        , bodyEnd(t.bodyEnd_)
        , wide(t.encoding_ == Encoding::Utf16LE || t.encoding_ == Encoding::Utf16BE)
    {
    }

    std::size_t unit() const { return wide ? 2 : 1; }

    // The ASCII character at byte offset `pos`, or -1 for anything else.
    int asciiAt(std::size_t pos) const
    {
        auto b = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
        if (!wide)
            return b(pos) < 0x80 ? b(pos) : -1;
        if (encoding == Encoding::Utf16LE)
            return b(pos + 1) == 0 && b(pos) < 0x80 ? b(pos) : -1;
        return b(pos) == 0 && b(pos + 1) < 0x80 ? b(pos + 1) : -1;
    }

    // Bytes of the character at `pos`, not reaching past `end`. In code page
    // 932 a lead byte takes its trail byte along, so a trail byte that looks
    // like "[" or "]" is never taken for one.
    std::size_t charLength(std::size_t pos, std::size_t end) const
    {
        if (encoding == Encoding::Cp932)
            return static_cast<unsigned char>(bytes[pos]) < 0x80 ? 1 : cp932CharLength(bytes.substr(0, end), pos);
        return unit();
    }

    std::string decode(std::size_t begin, std::size_t end, bool* valid = nullptr) const
    {
        std::string_view raw = bytes.substr(begin, end - begin);
        switch (encoding) {
        case Encoding::Cp932: return cp932ToUtf8(raw, valid);
        case Encoding::Utf8: return sanitizeUtf8(raw, valid);
        case Encoding::Utf16LE: return utf16ToUtf8(raw, false, valid);
        case Encoding::Utf16BE: return utf16ToUtf8(raw, true, valid);
        }
        return {};
    }

    // UTF-8 text (already checked to be code page 932 text) in the text's encoding.
    std::string encode(std::string_view utf8) const
    {
        switch (encoding) {
        case Encoding::Cp932: return utf8ToCp932(utf8).value_or(std::string());
        case Encoding::Utf8: return std::string(utf8);
        case Encoding::Utf16LE: return utf8ToUtf16(utf8, false);
        case Encoding::Utf16BE: return utf8ToUtf16(utf8, true);
        }
        return {};
    }

    // First byte of the line after the one that holds `pos`.
    std::size_t nextLine(std::size_t pos) const
    {
        if (unit() == 1) {
            const void* lf = std::memchr(bytes.data() + pos, '\n', bodyEnd - pos);
            return lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - bytes.data()) + 1 : bodyEnd;
        }
        while (pos < bodyEnd && asciiAt(pos) != '\n')
            pos += 2;
        return pos < bodyEnd ? pos + 2 : bodyEnd;
    }

    std::size_t nextHeaderCandidate(std::size_t pos) const;
};

namespace {

struct Line {
    std::size_t start = 0;  // first byte of the line
    std::size_t end = 0;    // where its line end (LF) starts, or the body end
    std::size_t next = 0;   // first byte of the following line
    LineKind kind = LineKind::Blank;
    std::size_t nameBegin = 0, nameEnd = 0;    // section or key name, blanks trimmed
    std::size_t valueBegin = 0, valueEnd = 0;  // value, blanks and quotes removed
};

bool isBlank(int c) { return c == ' ' || c == '\t' || c == '\r'; }

// Finds the line starting at `pos` (< bodyEnd) and sorts it. A line is a
// section header when its first non-blank character is "[" and a "]" follows
// (the name runs to the first "]"), a comment when it is ";", a key when it
// holds "="; everything else is no key at all. Compiled once for texts of
// one-byte units and once for UTF-16, so no byte read asks which it is.
template <bool Wide> [[gnu::always_inline]] inline Line readLineAs(const TextAccess& t, std::size_t pos)
{
    constexpr std::size_t u = Wide ? 2 : 1;
    // In a one-byte text a byte beyond ASCII never equals the ASCII
    // characters the line is searched for, so the byte itself will do.
    const char* const d = t.bytes.data();
    const auto at = [&t, d](std::size_t p) { return Wide ? t.asciiAt(p) : static_cast<unsigned char>(d[p]); };
    const bool cp932 = t.encoding == Encoding::Cp932;
    const auto charLength = [&](std::size_t p, std::size_t end) -> std::size_t {
        if (Wide)
            return 2;
        return static_cast<unsigned char>(t.bytes[p]) < 0x80 || !cp932 ? 1 : cp932CharLength(t.bytes.substr(0, end), p);
    };
    Line line;
    line.start = pos;
    line.next = t.nextLine(pos);
    line.end = line.next;
    if (line.end > pos && at(line.end - u) == '\n')
        line.end -= u;

    std::size_t b = line.start, e = line.end;
    while (b < e && isBlank(at(b)))
        b += u;
    while (e > b && isBlank(at(e - u)))
        e -= u;  // blanks are never trail bytes
    if (b == e)
        return line;

    const int first = at(b);
    if (first == ';') {
        line.kind = LineKind::Comment;
        return line;
    }
    if (first == '[') {
        std::size_t p = b + u;
        while (p < e && at(p) != ']')
            p += charLength(p, e);
        if (p < e) {
            line.kind = LineKind::Section;
            std::size_t nb = b + u, ne = p;
            while (nb < ne && isBlank(at(nb)))
                nb += u;
            while (ne > nb && isBlank(at(ne - u)))
                ne -= u;
            line.nameBegin = nb, line.nameEnd = ne;
            return line;
        }
        // Without its "]" the line is no section header.
    }
    std::size_t eq = b;
    if constexpr (Wide) {
        while (eq < e && at(eq) != '=')
            eq += u;
    } else {
        // "=" is below every trail byte of code page 932 and every byte UTF-8
        // continues a character with, so its first byte is the first "=".
        while (eq < e && d[eq] != '=')
            ++eq;
    }
    if (eq >= e) {
        line.kind = LineKind::Other;
        return line;
    }
    line.kind = LineKind::Key;
    std::size_t ne = eq;
    while (ne > b && isBlank(at(ne - u)))
        ne -= u;
    line.nameBegin = b, line.nameEnd = ne;
    std::size_t vb = eq + u;
    while (vb < e && isBlank(at(vb)))
        vb += u;
    if (e - vb >= 2 * u) {
        int q = at(vb);
        if ((q == '"' || q == '\'') && at(e - u) == q)
            vb += u, e -= u;
    }
    line.valueBegin = vb, line.valueEnd = std::max(vb, e);
    return line;
}

[[gnu::always_inline]] inline Line readLine(const TextAccess& t, std::size_t pos)
{
    return t.wide ? readLineAs<true>(t, pos) : readLineAs<false>(t, pos);
}

// ---------------------------------------------------------------- names

// Letter case folding for name matching: ASCII, Latin-1, Greek, Cyrillic,
// Roman numerals, circled and full-width Latin letters (the letters code page
// 932 holds in two cases), as Windows ignores their case too. No character
// outside ASCII folds into ASCII.
inline char32_t foldCase(char32_t c)
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

// The folded characters of names beyond ASCII. Each name's stay where they
// are while more are added, so the names can view them.
using FoldedNames = std::forward_list<std::u32string>;

bool isAscii(std::string_view utf8)
{
    bool plain = true;
    for (char b : utf8)
        plain &= static_cast<unsigned char>(b) < 0x80;
    return plain;
}

// A name looked for, folded once. A plain-ASCII name is compared with the
// file's bytes directly: only a name of the same ASCII characters can match
// it, and no conversion is needed. A few words, made and dropped for nothing.
struct WantedName {
    bool ascii = true;
    std::string_view text;       // as given (blanks trimmed); must outlive the look-up
    std::u32string_view folded;  // when not ascii; held by a FoldedNames

    void assign(std::string_view utf8, bool plain, FoldedNames& store)
    {
        text = utf8;
        ascii = plain;
        folded = plain ? std::u32string_view() : fold(utf8, store);
    }
    [[gnu::noinline]] static std::u32string_view fold(std::string_view utf8, FoldedNames& store)
    {
        std::u32string& chars = store.emplace_front();
        chars.reserve(utf8.size());
        for (std::size_t pos = 0; pos < utf8.size();) {
            char32_t c;
            pos += decodeUtf8(utf8, pos, c);
            chars += foldCase(c);
        }
        return chars;
    }
    std::size_t asciiAt(std::size_t i) const { return foldCase(static_cast<unsigned char>(text[i])); }
    bool operator==(const WantedName& other) const
    {
        if (ascii != other.ascii)
            return false;
        if (!ascii)
            return folded == other.folded;
        if (text.size() != other.text.size())
            return false;
        for (std::size_t i = 0; i < text.size(); ++i)
            if (asciiAt(i) != other.asciiAt(i))
                return false;
        return true;
    }
};

// The slow path of nameMatches: a name with characters beyond ASCII is
// compared decoded, each character folded.
bool decodedNameMatches(const TextAccess& t, std::size_t begin, std::size_t end, const WantedName& want)
{
    // A name never takes fewer bytes in the file than it has characters, and
    // never more than four per character: skip the decoding when it cannot match.
    const std::size_t bytes = end - begin;
    const std::size_t n = want.folded.size();
    if (bytes < n || bytes > 4 * n)
        return false;
    std::string utf8 = t.decode(begin, end);
    std::size_t i = 0;
    for (std::size_t pos = 0; pos < utf8.size(); ++i) {
        char32_t c;
        pos += decodeUtf8(utf8, pos, c);
        if (i >= n || foldCase(c) != want.folded[i])
            return false;
    }
    return i == n;
}

inline bool nameMatches(const TextAccess& t, std::size_t begin, std::size_t end, const WantedName& want)
{
    if (!want.ascii)
        return decodedNameMatches(t, begin, end, want);
    const std::size_t n = want.text.size();
    if (end - begin != (t.wide ? 2 * n : n))
        return false;
    // A byte beyond ASCII folds to itself and so never equals an ASCII letter.
    const auto fold = [](unsigned char c) { return unsigned(c - 'A') < 26u ? c + 0x20 : int(c); };
    if (!t.wide) {
        const char* name = t.bytes.data() + begin;
        for (std::size_t i = 0; i < n; ++i) {
            const auto a = static_cast<unsigned char>(name[i]), b = static_cast<unsigned char>(want.text[i]);
            if (a != b && fold(a) != fold(b))
                return false;
        }
        return true;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const int c = t.asciiAt(begin + 2 * i);
        if (c < 0 || fold(static_cast<unsigned char>(c)) != fold(static_cast<unsigned char>(want.text[i])))
            return false;
    }
    return true;
}

// Cuts a name at a NUL (it ends a C string) and trims its blanks.
std::string_view cleanName(std::string_view name)
{
    name = name.substr(0, name.find('\0'));
    while (!name.empty() && isBlank(name.front()))
        name.remove_prefix(1);
    while (!name.empty() && isBlank(name.back()))
        name.remove_suffix(1);
    return name;
}

// A name that can be in the text: not empty, and code page 932 can hold it
// (a name it cannot hold was never written by the A function). Fills `want`
// in place (a plain-ASCII name is a view, nothing is copied) and tells
// whether the name can be found.
[[gnu::always_inline]] inline bool wanted(std::string_view name, WantedName& want, FoldedNames& store)
{
    // cleanName and the ASCII test in one pass over the name.
    const char* p = name.data();
    std::size_t e = 0;
    bool ascii = true;
    for (; e < name.size(); ++e) {
        const auto c = static_cast<unsigned char>(p[e]);
        if (c - 1u < 0x7Fu)
            continue;  // ASCII, not NUL
        if (c == 0)
            break;
        ascii = false;
    }
    std::size_t b = 0;
    while (b < e && isBlank(p[b]))
        ++b;
    while (e > b && isBlank(p[e - 1]))
        --e;
    if (b == e)
        return false;
    name = std::string_view(p + b, e - b);
    want.assign(name, ascii, store);
    return ascii || !firstUnencodable(name);
}

// Where a section and a key stand in the text, for an edit.
struct Location {
    bool sectionFound = false;
    std::optional<Line> key;
    std::size_t insertAt = 0;     // after the section's last non-blank line
    bool insertNeedsEol = false;  // that line is the last one and has no line end
};

// The first section named `section` and the first key named `key` in it.
// Later sections of the same name are not looked at, as Windows does.
Location locate(const TextAccess& t, const WantedName& section, const WantedName& key)
{
    Location loc;
    bool inSection = false;
    for (std::size_t pos = t.bodyStart; pos < t.bodyEnd;) {
        Line line = readLine(t, pos);
        pos = line.next;
        if (line.kind == LineKind::Section) {
            if (inSection)
                break;
            inSection = nameMatches(t, line.nameBegin, line.nameEnd, section);
            loc.sectionFound = inSection;
        } else if (inSection && line.kind == LineKind::Key && nameMatches(t, line.nameBegin, line.nameEnd, key)) {
            loc.key = line;
            return loc;
        }
        if (inSection && line.kind != LineKind::Blank) {
            loc.insertAt = line.next;
            loc.insertNeedsEol = line.end == line.next;
        }
    }
    return loc;
}

// Cuts `utf8` (no longer holding invalid sequences) to what a buffer of
// `limit` code page 932 bytes takes whole, ending at a NUL. Returns the bytes used.
std::size_t cutToWidth(std::string& utf8, std::size_t limit)
{
    std::size_t used = 0, pos = 0;
    while (pos < utf8.size()) {
        char32_t c;
        std::size_t n = decodeUtf8(utf8, pos, c);
        if (c == 0)
            break;
        std::size_t w = c < 0x80 ? 1 : cp932Width(c);
        if (w == 0)
            w = 1;  // the A function would return "?"
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
        used += c < 0x80 ? 1 : std::max<std::size_t>(1, cp932Width(c));
    }
    return used;
}

}  // namespace

// The start of the first line at or after `pos` (a line start) whose first
// non-blank character is "[", or bodyEnd. Only such a line can open a
// section, so the lines between are passed over in one search for "[".
// In code page 932 a "[" preceded on its line by blanks alone is never a
// trail byte: blanks are no lead bytes.
std::size_t TextAccess::nextHeaderCandidate(std::size_t pos) const
{
    if (unit() == 1) {
        const char* data = bytes.data();
        while (pos < bodyEnd) {
            const void* found = std::memchr(data + pos, '[', bodyEnd - pos);
            if (!found)
                return bodyEnd;
            const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(found) - data);
            std::size_t b = at;
            while (b > bodyStart && isBlank(static_cast<unsigned char>(data[b - 1])))
                --b;
            if (b == bodyStart || data[b - 1] == '\n')
                return b;
            pos = at + 1;
        }
        return bodyEnd;
    }
    for (; pos < bodyEnd; pos = nextLine(pos)) {
        std::size_t first = pos;
        while (first < bodyEnd && isBlank(asciiAt(first)))
            first += 2;
        if (first < bodyEnd && asciiAt(first) == '[')
            return pos;
    }
    return bodyEnd;
}

ProfileText::ProfileText(std::string bytes)
    : bytes_(std::move(bytes))
{
    std::string_view b = bytes_;
    if (b.starts_with("\xEF\xBB\xBF")) {
        encoding_ = Encoding::Utf8;
        bodyStart_ = 3;
    } else if (b.starts_with("\xFF\xFE")) {
        encoding_ = Encoding::Utf16LE;
        bodyStart_ = 2;
    } else if (b.starts_with("\xFE\xFF")) {
        encoding_ = Encoding::Utf16BE;
        bodyStart_ = 2;
    }
    bodyEnd_ = b.size();
    if (TextAccess(*this).unit() == 2 && (bodyEnd_ - bodyStart_) % 2)
        --bodyEnd_;
}

std::size_t ProfileText::get(std::string_view section, std::string_view key, std::string_view defaultValue,
    std::string& value, std::size_t bufferSize) const
{
    Lookup lookup{section, key, defaultValue, {}, 0};
    getAll({&lookup, 1}, bufferSize);
    value = std::move(lookup.value);
    return lookup.length;
}

namespace {

// A list of at most `capacity` elements that lives on the stack when that is
// at most N, so a call with a few look-ups allocates nothing for it.
template <class T, std::size_t N> class ScratchList {
public:
    explicit ScratchList(std::size_t capacity)
        : heap_(capacity > N ? std::make_unique<unsigned char[]>(capacity * sizeof(T)) : nullptr)
        , data_(reinterpret_cast<T*>(heap_ ? heap_.get() : storage_))
    {
        static_assert(alignof(T) <= alignof(std::max_align_t));
    }
    ~ScratchList()
    {
        if constexpr (!std::is_trivially_destructible_v<T>)
            for (std::size_t i = 0; i < size_; ++i)
                data_[i].~T();
    }
    ScratchList(const ScratchList&) = delete;
    ScratchList& operator=(const ScratchList&) = delete;

    // No more than `capacity` in all.
    template <class... Args> T& emplace_back(Args&&... args)
    {
        T* made = new (data_ + size_) T{std::forward<Args>(args)...};
        ++size_;
        return *made;
    }
    // All `capacity` elements, to be set by the caller: for plain data only.
    T* takeAll(std::size_t capacity)
    {
        static_assert(std::is_trivially_destructible_v<T>);
        size_ = capacity;
        return data_;
    }
    std::size_t size() const { return size_; }
    T& operator[](std::size_t i) { return data_[i]; }
    T* data() { return data_; }  // the same throughout the list's life

private:
    alignas(T) unsigned char storage_[N * sizeof(T)];
    std::unique_ptr<unsigned char[]> heap_;
    T* data_;
    std::size_t size_ = 0;
};

}  // namespace

namespace {

// The look-ups sorted out before any text is read: which can be found, in
// which section, and which ask again for a key asked before. Made at every
// getAll, or once for PreparedLookups.
constexpr std::size_t kNone = std::string::npos;
struct PlanSection {
    WantedName name;
    std::size_t first = kNone;  // its first key, linked through PlanKey::next
};
struct PlanKey {
    WantedName key;
    std::string_view defaultValue;
    std::size_t section = kNone;  // none: it can find nothing, its default is its value
    std::size_t next = kNone;     // the next key asked of the same section
    std::size_t sameAs = kNone;   // an earlier look-up of the same section and key: its value is this one's
};

// What one pass finds; it starts from the plan's lists, which stay as they are for the next text.
struct KeyState {
    std::size_t next = kNone;            // the next key of its section still to be found
    std::size_t begin = kNone, end = 0;  // the value found
    bool convert = false;                // code page 932 bytes still to convert
};
struct SectionState {
    std::size_t first = kNone;  // its keys still to be found
    bool seen = false;          // only the first section of a name counts
};
constexpr std::size_t kOnStack = 32;  // look-ups whose lists live on the stack

// Fills `keys` and `sections` (empty) for `n` look-ups, `at(i)` giving the
// i-th's section, key and default. Returns how many keys are to be found: the
// keys of one section are told apart once here, so a key line of the text
// matches at most one of them.
template <class At, class Keys, class Sections>
std::size_t makePlan(std::size_t n, At at, Keys& keys, Sections& sections, FoldedNames& folds)
{
    std::size_t open = 0;
    std::string_view lastSection;
    std::size_t lastIndex = kNone;  // the section lastSection resolved to (none: not a name to look for)
    WantedName section;
    for (std::size_t i = 0; i < n; ++i) {
        const auto [sectionName, keyName, defaultValue] = at(i);
        PlanKey& k = keys.emplace_back();
        k.defaultValue = defaultValue;
        if (!wanted(keyName, k.key, folds))
            continue;
        std::size_t s = kNone;
        // Look-ups usually come section by section, often naming it with the same characters.
        if (lastIndex != kNone && sectionName.size() == lastSection.size()
            && (sectionName.data() == lastSection.data() || sectionName == lastSection)) {
            s = lastIndex;
        } else if (wanted(sectionName, section, folds)) {
            s = 0;
            while (s < sections.size() && !(sections[s].name == section))
                ++s;
            if (s == sections.size())
                sections.emplace_back(PlanSection{section});
            lastSection = sectionName;
            lastIndex = s;
        }
        if (s == kNone)
            continue;
        k.section = s;
        std::size_t* link = &sections[s].first;
        while (*link != kNone && !(keys[*link].key == k.key))
            link = &keys[*link].next;
        if (*link != kNone) {
            k.sameAs = *link;
        } else {
            *link = i;
            ++open;
        }
    }
    return open;
}

}  // namespace

struct ProfileText::PreparedLookups::Plan {
    std::forward_list<std::string> names;  // the names and defaults the plan views; nodes never move
    FoldedNames folds;
    std::vector<PlanKey> keys;
    std::vector<PlanSection> sections;
    std::vector<KeyState> keyStart;  // the lists as each pass starts them, copied in one go
    std::vector<SectionState> sectionStart;
    std::size_t open = 0;
};

ProfileText::PreparedLookups::PreparedLookups(std::span<const Lookup> lookups)
    : plan_(std::make_unique<Plan>())
{
    Plan& p = *plan_;
    p.keys.reserve(lookups.size());
    p.sections.reserve(lookups.size());
    const auto keep = [&p](std::string_view s) { return std::string_view(p.names.emplace_front(s)); };
    p.open = makePlan(
        lookups.size(),
        [&](std::size_t i) {
            const Lookup& l = lookups[i];
            return std::tuple{keep(l.section), keep(l.key), keep(l.defaultValue)};
        },
        p.keys, p.sections, p.folds);
    for (const PlanKey& k : p.keys)
        p.keyStart.push_back(KeyState{k.next});
    for (const PlanSection& s : p.sections)
        p.sectionStart.push_back(SectionState{s.first});
}

ProfileText::PreparedLookups::~PreparedLookups() = default;

std::size_t ProfileText::PreparedLookups::size() const { return plan_->keys.size(); }

namespace {

// One pass over the text for a plan's look-ups, `ks` and `ss` set to the
// plan's lists; `out(i)` is the i-th's result (value and length members).
// Out of memory, no result has changed.
template <class Out>
void runPlan(const TextAccess& t, const std::string& bytes, const PlanKey* keys, KeyState* const ks, std::size_t n,
    const PlanSection* secs, SectionState* const ss, std::size_t sectionCount, std::size_t open, std::size_t bufferSize,
    std::size_t results, Out out)
{
    results = std::min(results, n);
    if (bufferSize == 0 || n == 0) {
        for (std::size_t i = 0; i < results; ++i) {
            auto&& o = out(i);
            o.value.clear();
            o.length = 0;
        }
        return;
    }
    const std::size_t limit = bufferSize - 1;

    std::size_t live = kNone;  // the section whose lines are being read
    std::size_t unseen = sectionCount;
    for (std::size_t pos = t.bodyStart; pos < t.bodyEnd && open > 0 && (live != kNone || unseen > 0);) {
        if (live == kNone) {
            pos = t.nextHeaderCandidate(pos);
            if (pos >= t.bodyEnd)
                break;
        }
        const Line line = readLine(t, pos);
        pos = line.next;
        if (line.kind == LineKind::Section) {
            live = kNone;
            for (std::size_t s = 0; s < sectionCount; ++s)
                if (!ss[s].seen && nameMatches(t, line.nameBegin, line.nameEnd, secs[s].name)) {
                    ss[s].seen = true;
                    --unseen;
                    live = s;
                    break;
                }
        } else if (live != kNone && line.kind == LineKind::Key) {
            // A key found leaves its section's list: only the first key of a
            // name counts. The keys of a list differ, so one at most matches.
            std::size_t* link = &ss[live].first;
            while (*link != kNone) {
                const std::size_t k = *link;
                if (nameMatches(t, line.nameBegin, line.nameEnd, keys[k].key)) {
                    ks[k].begin = line.valueBegin;
                    ks[k].end = line.valueEnd;
                    --open;
                    *link = ks[k].next;
                    break;
                }
                link = &ks[k].next;
            }
        }
    }

    // The values, cut as the A function cuts them. They are worked out first
    // and given last, each given room before any changes: running out of
    // memory leaves every result as it was.
    struct Result {
        const char* data = nullptr;  // the value: in the text, the converted values or `made`
        std::size_t size = 0;
        std::size_t length = 0;  // in code page 932 bytes
    };
    ScratchList<Result, kOnStack> resultList(results);
    Result* const res = resultList.takeAll(results);
    std::forward_list<std::string> made;  // values made apart: defaults, values of other encodings
    const auto keep = [&made](std::string value, std::size_t length) {
        const std::string& kept = made.emplace_front(std::move(value));
        return Result{kept.data(), kept.size(), length};
    };
    std::size_t joinedBytes = 0;  // code page 932 bytes still to convert, a NUL after each
    for (std::size_t i = 0; i < results; ++i) {
        res[i] = Result{};
        if (keys[i].sameAs != kNone) {
            ks[i].begin = ks[keys[i].sameAs].begin;
            ks[i].end = ks[keys[i].sameAs].end;
        }
        if (ks[i].begin == kNone) {
            const std::string_view defaultValue = keys[i].defaultValue;
            if (defaultValue.empty())
                continue;
            std::string_view d = defaultValue.substr(0, defaultValue.find('\0'));
            while (!d.empty() && (d.back() == ' ' || d.back() == '\t'))
                d.remove_suffix(1);
            std::string value = sanitizeUtf8(d);
            const std::size_t length = cutToWidth(value, limit);
            res[i] = keep(std::move(value), length);
            continue;
        }
        const std::size_t b = ks[i].begin, e = ks[i].end;
        if (t.encoding == Encoding::Cp932) {
            // The bytes are the A function's own: cut them at a character
            // boundary, so a two-byte character that does not fit is dropped
            // whole, and at a NUL.
            const std::size_t stop = e - b > limit ? b + limit : e;
            const std::string_view text(bytes.data(), e);
            std::size_t p = b;
            bool ascii = true;
            if (stop == e) {
                // Nothing to cut but at a NUL: a NUL is never a trail byte.
                // Eight bytes at a time, told apart only when one is a NUL.
                constexpr std::uint64_t ones = 0x0101010101010101u, highs = 0x8080808080808080u;
                std::uint64_t high = 0;
                for (std::uint64_t v; p + 8 <= e; p += 8) {
                    std::memcpy(&v, text.data() + p, 8);
                    if ((v - ones) & ~v & highs)
                        break;  // a NUL among them
                    high |= v;
                }
                for (; p < e && text[p] != '\0'; ++p)
                    high |= static_cast<unsigned char>(text[p]);
                ascii = (high & highs) == 0;
            }
            while (p < stop && static_cast<unsigned char>(text[p]) - 1u < 0x7Fu)
                ++p;  // ASCII, not NUL
            while (p < stop) {
                const auto c = static_cast<unsigned char>(text[p]);
                if (c - 1u < 0x7Fu) {  // ASCII, not NUL
                    ++p;
                    continue;
                }
                if (c == 0)
                    break;
                const std::size_t len = cp932CharLength(text, p);
                if (p + len > stop)
                    break;
                ascii = false;
                p += len;
            }
            res[i].length = p - b;
            if (ascii) {
                res[i].data = bytes.data() + b;  // ASCII is itself in code page 932
                res[i].size = p - b;
            } else {
                ks[i].end = p;
                ks[i].convert = true;
                joinedBytes += p - b + 1;
            }
            continue;
        }
        // Decode no more than the cut can keep: a character takes at most
        // four bytes here and at least one code page 932 byte.
        std::size_t span = e - b;
        if (limit < span / 4)
            span = (4 * limit + 4) / t.unit() * t.unit();
        std::string value = t.decode(b, b + span);
        const std::size_t length = cutToWidth(value, limit);
        res[i] = keep(std::move(value), length);
    }

    // Code page 932 values are converted together, NUL between them (a value
    // holds none: the cut stops at one): one conversion, not one per value.
    // A card's few values fit in buffers on the stack.
    constexpr std::size_t kStackBytes = 512;
    char joinedLocal[kStackBytes], utf8Local[cp932ToUtf8Room(kStackBytes)];
    std::string joinedHeap, utf8Heap;
    if (joinedBytes > 0) {
        char* joined = joinedLocal;
        char* utf8 = utf8Local;
        if (joinedBytes > kStackBytes) {
            joinedHeap.resize(joinedBytes);
            utf8Heap.resize(cp932ToUtf8Room(joinedBytes));
            joined = joinedHeap.data();
            utf8 = utf8Heap.data();
        }
        char* put = joined;
        for (std::size_t i = 0; i < results; ++i) {
            if (!ks[i].convert)
                continue;
            const std::size_t len = ks[i].end - ks[i].begin;
            std::memcpy(put, bytes.data() + ks[i].begin, len);
            put += len;
            *put++ = '\0';
        }
        const char* const utf8End = cp932ToUtf8(std::string_view(joined, joinedBytes), utf8);
        const char* from = utf8;
        for (std::size_t i = 0; i < results; ++i) {
            if (!ks[i].convert)
                continue;
            const char* nul
                = static_cast<const char*>(std::memchr(from, '\0', static_cast<std::size_t>(utf8End - from)));
            res[i].data = from;
            res[i].size = static_cast<std::size_t>(nul - from);
            from = nul + 1;
        }
    }

    for (std::size_t i = 0; i < results; ++i)
        out(i).value.reserve(res[i].size);
    // Nothing can fail from here on: each value fits its string's room.
    for (std::size_t i = 0; i < results; ++i) {
        auto&& o = out(i);
        o.value.clear();
        o.value.append(res[i].data, res[i].size);
        o.length = res[i].length;
    }
}

}  // namespace

void ProfileText::getAll(std::span<Lookup> lookups, std::size_t bufferSize) const
{
    ScratchList<PlanKey, kOnStack> keys(lookups.size());
    ScratchList<PlanSection, kOnStack> sections(lookups.size());
    FoldedNames folds;
    const std::size_t open = makePlan(
        lookups.size(),
        [lookups](std::size_t i) {
            const Lookup& l = lookups[i];
            return std::tuple{l.section, l.key, l.defaultValue};
        },
        keys, sections, folds);
    ScratchList<KeyState, kOnStack> keyStates(keys.size());
    ScratchList<SectionState, kOnStack> sectionStates(sections.size());
    KeyState* const ks = keyStates.takeAll(keys.size());
    SectionState* const ss = sectionStates.takeAll(sections.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        ks[i] = KeyState{keys[i].next};
    for (std::size_t s = 0; s < sections.size(); ++s)
        ss[s] = SectionState{sections[s].first};
    runPlan(TextAccess(*this), bytes_, keys.data(), ks, keys.size(), sections.data(), ss, sections.size(), open,
        bufferSize, lookups.size(), [lookups](std::size_t i) -> Lookup& { return lookups[i]; });
}

void ProfileText::getAll(
    const PreparedLookups& lookups, std::span<std::string* const> values, std::size_t bufferSize) const
{
    const PreparedLookups::Plan& p = *lookups.plan_;
    const std::size_t n = p.keys.size(), sectionCount = p.sections.size();
    ScratchList<KeyState, kOnStack> keyStates(n);
    ScratchList<SectionState, kOnStack> sectionStates(sectionCount);
    KeyState* const ks = keyStates.takeAll(n);
    SectionState* const ss = sectionStates.takeAll(sectionCount);
    if (n > 0)
        std::memcpy(ks, p.keyStart.data(), n * sizeof(KeyState));
    if (sectionCount > 0)
        std::memcpy(ss, p.sectionStart.data(), sectionCount * sizeof(SectionState));
    runPlan(TextAccess(*this), bytes_, p.keys.data(), ks, n, p.sections.data(), ss, sectionCount, p.open, bufferSize,
        values.size(), [values](std::size_t i) {
            struct Result {
                std::string& value;
                std::size_t length;  // not asked for
            };
            return Result{*values[i], 0};
        });
}

int ProfileText::set(std::string_view sectionArg, std::string_view keyArg, std::string_view valueArg)
{
    const std::string_view sectionName = cleanName(sectionArg);
    const std::string_view keyName = cleanName(keyArg);
    const std::string_view value = valueArg.substr(0, valueArg.find('\0'));
    if (sectionName.empty() || keyName.empty())
        return EINVAL;
    if (firstUnencodable(sectionName) || firstUnencodable(keyName) || firstUnencodable(value))
        return EILSEQ;

    try {
        const TextAccess t(*this);
        FoldedNames folds;
        WantedName section, key;
        section.assign(sectionName, isAscii(sectionName), folds);
        key.assign(keyName, isAscii(keyName), folds);
        const Location loc = locate(t, section, key);
        const std::string_view bytes = bytes_;
        const std::string eol = t.encode("\r\n");
        std::string out;
        out.reserve(bytes.size() + 4 * (sectionName.size() + keyName.size() + value.size()) + 32);
        if (loc.key) {
            // Replace the line where it stands, keeping the key as the file spells it.
            out.append(bytes.substr(0, loc.key->start));
            out.append(bytes.substr(loc.key->nameBegin, loc.key->nameEnd - loc.key->nameBegin));
            out += t.encode("=");
            out += t.encode(value);
            out += eol;
            out.append(bytes.substr(loc.key->next));
        } else {
            std::string line;
            if (!loc.sectionFound)
                line.append("[").append(sectionName).append("]\r\n");
            line.append(keyName).append("=").append(value).append("\r\n");
            std::size_t at = loc.insertAt;
            bool needsEol = loc.insertNeedsEol;
            if (!loc.sectionFound) {
                at = bodyEnd_;
                needsEol = at > bodyStart_ && t.asciiAt(at - t.unit()) != '\n';
            }
            out.append(bytes.substr(0, at));
            if (needsEol)
                out += eol;
            out += t.encode(line);
            out.append(bytes.substr(at));
        }
        // A last odd byte of a UTF-16 text stays after the body.
        bodyEnd_ = bodyEnd_ + out.size() - bytes_.size();
        bytes_ = std::move(out);
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    }
    return 0;
}

void ProfileText::forEachLine(const std::function<void(const ProfileLine&)>& visit) const
{
    const TextAccess t(*this);
    ProfileLine out;
    std::string section;
    std::size_t sectionLine = 0;
    std::size_t number = 0;
    for (std::size_t pos = bodyStart_; pos < bodyEnd_;) {
        const Line line = readLine(t, pos);
        pos = line.next;
        out = ProfileLine{};
        out.kind = line.kind;
        out.number = ++number;
        if (line.kind == LineKind::Section) {
            section = t.decode(line.nameBegin, line.nameEnd, &out.nameValid);
            sectionLine = number;
        }
        out.section = section;
        out.sectionLine = sectionLine;
        if (line.kind == LineKind::Key) {
            out.key = t.decode(line.nameBegin, line.nameEnd, &out.nameValid);
            out.value = t.decode(line.valueBegin, line.valueEnd, &out.valueValid);
            out.valueCp932Bytes
                = encoding_ == Encoding::Cp932 ? line.valueEnd - line.valueBegin : cp932Bytes(out.value);
        }
        visit(out);
    }
}

}  // namespace profile
