#include "profile_service.h"

#include "code_page.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace profile {
namespace {

thread_local int tLastError = 0;

// ---------------------------------------------------------------- file text

enum class Encoding { Cp932, Utf8, Utf16LE, Utf16BE };

// The file's bytes with what their byte-order mark says about them. Lines are
// parsed in the file's own encoding and only the names and value a call needs
// are decoded, so the lines a write does not touch are copied byte for byte.
struct FileText {
    std::string bytes;
    Encoding encoding = Encoding::Cp932;
    std::size_t bodyStart = 0;  // after the byte-order mark
    std::size_t bodyEnd = 0;    // a last odd byte of a UTF-16 file is left out

    std::size_t unit() const {
        return encoding == Encoding::Utf16LE || encoding == Encoding::Utf16BE ? 2 : 1;
    }

    // The ASCII character at byte offset `pos`, or -1 for anything else.
    int asciiAt(std::size_t pos) const {
        auto b = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
        switch (encoding) {
        case Encoding::Utf16LE:
            return b(pos + 1) == 0 && b(pos) < 0x80 ? b(pos) : -1;
        case Encoding::Utf16BE:
            return b(pos) == 0 && b(pos + 1) < 0x80 ? b(pos + 1) : -1;
        default:
            return b(pos) < 0x80 ? b(pos) : -1;
        }
    }

    // Bytes of the character at `pos`, not reaching past `end`. In code page
    // 932 a lead byte takes its trail byte along, so a trail byte that looks
    // like "[" or "]" is never taken for one.
    std::size_t charLength(std::size_t pos, std::size_t end) const {
        if (encoding == Encoding::Cp932)
            return cp932CharLength(std::string_view(bytes).substr(0, end), pos);
        return unit();
    }

    std::string decode(std::size_t begin, std::size_t end) const {
        std::string_view raw = std::string_view(bytes).substr(begin, end - begin);
        switch (encoding) {
        case Encoding::Cp932: return cp932ToUtf8(raw);
        case Encoding::Utf8: return sanitizeUtf8(raw);
        case Encoding::Utf16LE: return utf16ToUtf8(raw, false);
        case Encoding::Utf16BE: return utf16ToUtf8(raw, true);
        }
        return {};
    }

    // UTF-8 text (already checked to be code page 932 text) in the file's
    // encoding.
    std::string encode(std::string_view utf8) const {
        switch (encoding) {
        case Encoding::Cp932: return utf8ToCp932(utf8).value_or(std::string());
        case Encoding::Utf8: return std::string(utf8);
        case Encoding::Utf16LE: return utf8ToUtf16(utf8, false);
        case Encoding::Utf16BE: return utf8ToUtf16(utf8, true);
        }
        return {};
    }
};

void detectEncoding(FileText& text) {
    std::string_view b = text.bytes;
    text.encoding = Encoding::Cp932;
    text.bodyStart = 0;
    if (b.starts_with("\xEF\xBB\xBF")) {
        text.encoding = Encoding::Utf8;
        text.bodyStart = 3;
    } else if (b.starts_with("\xFF\xFE")) {
        text.encoding = Encoding::Utf16LE;
        text.bodyStart = 2;
    } else if (b.starts_with("\xFE\xFF")) {
        text.encoding = Encoding::Utf16BE;
        text.bodyStart = 2;
    }
    text.bodyEnd = b.size();
    if (text.unit() == 2 && (text.bodyEnd - text.bodyStart) % 2) --text.bodyEnd;
}

// ---------------------------------------------------------------- lines

bool isBlank(int c) { return c == ' ' || c == '\t' || c == '\r'; }

enum class LineKind { Blank, Comment, Section, Key, Other };

struct Line {
    std::size_t start = 0;    // first byte of the line
    std::size_t end = 0;      // where its line end (LF) starts, or the body end
    std::size_t next = 0;     // first byte of the following line
    LineKind kind = LineKind::Blank;
    std::size_t nameBegin = 0, nameEnd = 0;    // section or key name, blanks trimmed
    std::size_t valueBegin = 0, valueEnd = 0;  // value, blanks and quotes removed
};

// Finds the line starting at `pos` (< bodyEnd) and sorts it. A line is a
// section header when its first non-blank character is "[" and a "]" follows
// (the name runs to the first "]"), a comment when it is ";", a key when it
// holds "="; everything else is no key at all.
Line readLine(const FileText& t, std::size_t pos) {
    const std::size_t u = t.unit();
    Line line;
    line.start = pos;
    if (u == 1) {
        const void* lf = std::memchr(t.bytes.data() + pos, '\n', t.bodyEnd - pos);
        line.end = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - t.bytes.data())
                      : t.bodyEnd;
    } else {
        line.end = pos;
        while (line.end < t.bodyEnd && t.asciiAt(line.end) != '\n') line.end += u;
    }
    line.next = line.end < t.bodyEnd ? line.end + u : t.bodyEnd;

    std::size_t b = line.start, e = line.end;
    while (b < e && isBlank(t.asciiAt(b))) b += u;
    while (e > b && isBlank(t.asciiAt(e - u))) e -= u;  // blanks are never trail bytes
    if (b == e) return line;

    const int first = t.asciiAt(b);
    if (first == ';') {
        line.kind = LineKind::Comment;
        return line;
    }
    if (first == '[') {
        std::size_t p = b + u;
        while (p < e && t.asciiAt(p) != ']') p += t.charLength(p, e);
        if (p < e) {
            line.kind = LineKind::Section;
            std::size_t nb = b + u, ne = p;
            while (nb < ne && isBlank(t.asciiAt(nb))) nb += u;
            while (ne > nb && isBlank(t.asciiAt(ne - u))) ne -= u;
            line.nameBegin = nb, line.nameEnd = ne;
            return line;
        }
        // Without its "]" the line is no section header.
    }
    std::size_t eq = b;
    while (eq < e && t.asciiAt(eq) != '=') eq += t.charLength(eq, e);
    if (eq >= e) {
        line.kind = LineKind::Other;
        return line;
    }
    line.kind = LineKind::Key;
    std::size_t ne = eq;
    while (ne > b && isBlank(t.asciiAt(ne - u))) ne -= u;
    line.nameBegin = b, line.nameEnd = ne;
    std::size_t vb = eq + u;
    while (vb < e && isBlank(t.asciiAt(vb))) vb += u;
    if (e - vb >= 2 * u) {
        int q = t.asciiAt(vb);
        if ((q == '"' || q == '\'') && t.asciiAt(e - u) == q) vb += u, e -= u;
    }
    line.valueBegin = vb, line.valueEnd = std::max(vb, e);
    return line;
}

// ---------------------------------------------------------------- names

// Letter case folding for name matching: ASCII, Latin-1, Greek, Cyrillic,
// Roman numerals, circled and full-width Latin letters (the letters code page
// 932 holds in two cases), as Windows ignores their case too.
char32_t foldCase(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + 0x20;
    if (c < 0xC0) return c;
    if (c <= 0xDE && c != 0xD7) return c + 0x20;
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    if (c >= 0x2160 && c <= 0x216F) return c + 0x10;
    if (c >= 0x24B6 && c <= 0x24CF) return c + 0x1A;
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;
    return c;
}

std::u32string foldedName(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        char32_t c;
        pos += decodeUtf8(utf8, pos, c);
        out += foldCase(c);
    }
    return out;
}

bool nameMatches(const FileText& t, std::size_t begin, std::size_t end, const std::u32string& want) {
    // A name never takes fewer bytes in the file than it has characters, and
    // never more than four per character: skip the decoding when it cannot match.
    std::size_t bytes = end - begin;
    if (bytes < want.size() || bytes > 4 * want.size()) return false;
    std::string utf8 = t.decode(begin, end);
    std::size_t i = 0;
    for (std::size_t pos = 0; pos < utf8.size(); ++i) {
        char32_t c;
        pos += decodeUtf8(utf8, pos, c);
        if (i >= want.size() || foldCase(c) != want[i]) return false;
    }
    return i == want.size();
}

// Cuts a name at a NUL (it ends a C string) and trims its blanks.
std::string_view cleanName(std::string_view name) {
    name = name.substr(0, name.find('\0'));
    while (!name.empty() && isBlank(name.front())) name.remove_prefix(1);
    while (!name.empty() && isBlank(name.back())) name.remove_suffix(1);
    return name;
}

// Where a section and a key stand in the file.
struct Location {
    bool sectionFound = false;
    std::optional<Line> key;
    std::size_t insertAt = 0;     // after the section's last non-blank line
    bool insertNeedsEol = false;  // that line is the last one and has no line end
};

// The first section named `section` and the first key named `key` in it.
// Later sections of the same name are not looked at, as Windows does.
Location locate(const FileText& t, const std::u32string& section, const std::u32string& key) {
    Location loc;
    bool inSection = false;
    for (std::size_t pos = t.bodyStart; pos < t.bodyEnd;) {
        Line line = readLine(t, pos);
        pos = line.next;
        if (line.kind == LineKind::Section) {
            if (inSection) break;
            inSection = nameMatches(t, line.nameBegin, line.nameEnd, section);
            loc.sectionFound = inSection;
        } else if (inSection && line.kind == LineKind::Key &&
                   nameMatches(t, line.nameBegin, line.nameEnd, key)) {
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

// ---------------------------------------------------------------- files

// Reads a whole regular file. Opening without blocking keeps a FIFO or device
// at the path from hanging the call; it is refused as no regular file.
int readFile(const std::string& path, std::string& out, struct stat* info = nullptr) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st;
    int err = 0;
    if (::fstat(fd, &st) != 0) {
        err = errno;
    } else if (S_ISDIR(st.st_mode)) {
        err = EISDIR;
    } else if (!S_ISREG(st.st_mode)) {
        err = EINVAL;
    } else {
        try {
            out.clear();
            out.reserve(static_cast<std::size_t>(st.st_size));
            char chunk[65536];
            for (;;) {
                ssize_t n = ::read(fd, chunk, sizeof chunk);
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) {
                    err = errno;
                    break;
                }
                if (n == 0) break;
                out.append(chunk, static_cast<std::size_t>(n));
            }
        } catch (const std::bad_alloc&) {
            err = ENOMEM;
        }
        if (info) *info = st;
    }
    ::close(fd);
    return err;
}

bool isReadOnly(const struct stat& st) { return (st.st_mode & 0222) == 0; }

std::string folderOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

int writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

// Replaces `path` with `content` through a temporary file in the same folder
// and a rename, so the file is either the old one or the new one, never half
// of each. The temporary file gets the old file's mode (and owner, where we
// may set it). No fsync here: a card Save writes a dozen keys one after the
// other and flushes the finished card once itself; flushing every key would
// only multiply the disk waits.
int replaceFile(const std::string& path, std::string_view content, const struct stat* old) {
    static std::atomic<unsigned> counter{0};
    std::string folder = folderOf(path);
    std::string base = path.substr(path.find_last_of('/') + 1);
    mode_t mode = old ? (old->st_mode & 07777) : 0666;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = joinPath(folder, "." + base + ".tmp" + std::to_string(::getpid()) + "." +
                                    std::to_string(counter++));
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) return errno;
    }
    if (fd < 0) return EEXIST;

    int err = 0;
    if (old) {
        if (::fchown(fd, old->st_uid, old->st_gid) != 0) { /* not ours to give away */ }
        if (::fchmod(fd, mode) != 0) err = errno;
    }
    if (!err) err = writeAll(fd, content);
    if (::close(fd) != 0 && !err) err = errno;
    if (!err && ::rename(temp.c_str(), path.c_str()) != 0) err = errno;
    if (err) ::unlink(temp.c_str());
    return err;
}

// The file text with key=value written into section, as writeProfileString
// writes it.
std::string edited(const FileText& text, std::string_view sectionName, std::string_view keyName,
                   std::string_view value) {
    Location loc = locate(text, foldedName(sectionName), foldedName(keyName));
    const std::string_view bytes = text.bytes;
    const std::string eol = text.encode("\r\n");
    std::string out;
    out.reserve(bytes.size() + 4 * (sectionName.size() + keyName.size() + value.size()) + 32);
    if (loc.key) {
        // Replace the line where it stands, keeping the key as the file spells it.
        out.append(bytes.substr(0, loc.key->start));
        out.append(bytes.substr(loc.key->nameBegin, loc.key->nameEnd - loc.key->nameBegin));
        out += text.encode("=");
        out += text.encode(value);
        out += eol;
        out.append(bytes.substr(loc.key->next));
    } else {
        std::string line = std::string(keyName) + "=" + std::string(value) + "\r\n";
        std::size_t at = loc.insertAt;
        bool needsEol = loc.insertNeedsEol;
        if (!loc.sectionFound) {
            line = "[" + std::string(sectionName) + "]\r\n" + line;
            at = text.bodyEnd;
            needsEol = at > text.bodyStart &&
                       !(text.asciiAt(at - text.unit()) == '\n');
        }
        out.append(bytes.substr(0, at));
        if (needsEol) out += eol;
        out += text.encode(line);
        out.append(bytes.substr(at));
    }
    return out;
}

// A key to write: names cut at a NUL and trimmed, the value cut at a NUL.
struct KeyWrite {
    std::string_view section, key, value;
};

// Checks a key before anything is written; 0 or an errno value.
int prepareKey(std::string_view section, std::string_view key, std::string_view value, KeyWrite& out) {
    out = {cleanName(section), cleanName(key), value.substr(0, value.find('\0'))};
    if (out.section.empty() || out.key.empty()) return EINVAL;
    if (firstUnencodable(out.section) || firstUnencodable(out.key) || firstUnencodable(out.value))
        return EILSEQ;
    return 0;
}

int write(std::string_view sectionArg, std::string_view keyArg, std::string_view valueArg,
          const std::string& fileName) {
    KeyWrite k;
    if (fileName.empty()) return EINVAL;
    if (int err = prepareKey(sectionArg, keyArg, valueArg, k)) return err;

    // Write through a symbolic link to the file it names.
    std::string path = fileName.substr(0, fileName.find('\0'));
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            path = real;
            std::free(real);
        }
    }

    FileText text;
    struct stat old;
    bool exists = false;
    if (::stat(path.c_str(), &old) == 0) {
        if (S_ISDIR(old.st_mode)) return EISDIR;
        if (!S_ISREG(old.st_mode)) return EINVAL;
        if (isReadOnly(old)) return EACCES;
        exists = true;
    } else if (errno != ENOENT) {
        return errno;
    }
    struct stat folder;
    if (::stat(folderOf(path).c_str(), &folder) != 0) return errno;
    if (!S_ISDIR(folder.st_mode)) return ENOTDIR;
    if (isReadOnly(folder)) return EACCES;
    if (exists) {
        if (int err = readFile(path, text.bytes, &old)) return err;
    }
    detectEncoding(text);

    try {
        return replaceFile(path, edited(text, k.section, k.key, k.value), exists ? &old : nullptr);
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    }
}

// Cuts `utf8` (no longer holding invalid sequences) to what a buffer of
// `limit` code page 932 bytes takes whole, ending at a NUL. Returns the bytes used.
std::size_t cutToWidth(std::string& utf8, std::size_t limit) {
    std::size_t used = 0, pos = 0;
    while (pos < utf8.size()) {
        char32_t c;
        std::size_t n = decodeUtf8(utf8, pos, c);
        if (c == 0) break;
        std::size_t w = cp932Width(c);
        if (w == 0) w = 1;  // the A function would return "?"
        if (used + w > limit) break;
        used += w;
        pos += n;
    }
    utf8.resize(pos);
    return used;
}

}  // namespace

std::size_t getProfileString(std::string_view sectionArg, std::string_view keyArg,
                             std::string_view defaultValue, std::string& value,
                             std::size_t bufferSize, const std::string& fileName) {
    value.clear();
    if (bufferSize == 0) return 0;
    const std::size_t limit = bufferSize - 1;

    const auto useDefault = [&] {
        std::string_view d = defaultValue.substr(0, defaultValue.find('\0'));
        while (!d.empty() && (d.back() == ' ' || d.back() == '\t')) d.remove_suffix(1);
        value = sanitizeUtf8(d);
        return cutToWidth(value, limit);
    };

    std::string_view sectionName = cleanName(sectionArg);
    std::string_view keyName = cleanName(keyArg);
    if (sectionName.empty() || keyName.empty() || fileName.empty()) return useDefault();
    // Names code page 932 cannot hold cannot be in a file it wrote.
    if (firstUnencodable(sectionName) || firstUnencodable(keyName)) return useDefault();

    FileText text;
    try {
        if (readFile(fileName.substr(0, fileName.find('\0')), text.bytes) != 0) return useDefault();
        detectEncoding(text);
        Location loc = locate(text, foldedName(sectionName), foldedName(keyName));
        if (!loc.key) return useDefault();

        std::size_t b = loc.key->valueBegin, e = loc.key->valueEnd;
        if (text.encoding == Encoding::Cp932) {
            // The bytes are the A function's own: cut them at a character
            // boundary, so a two-byte character that does not fit is dropped whole.
            std::size_t p = b;
            while (p < e && text.bytes[p] != '\0') {
                std::size_t n = text.charLength(p, e);
                if (p + n - b > limit) break;
                p += n;
            }
            value = text.decode(b, p);
            return p - b;
        }
        value = text.decode(b, e);
        return cutToWidth(value, limit);
    } catch (const std::bad_alloc&) {
        return useDefault();
    }
}

bool writeProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& fileName) {
    tLastError = write(section, key, value, fileName);
    return tLastError == 0;
}

int lastError() { return tLastError; }

int editProfileText(std::string& bytes, std::string_view sectionArg, std::string_view keyArg,
                    std::string_view valueArg) {
    KeyWrite k;
    if (int err = prepareKey(sectionArg, keyArg, valueArg, k)) return err;
    FileText text;
    text.bytes = std::move(bytes);
    detectEncoding(text);
    try {
        bytes = edited(text, k.section, k.key, k.value);
    } catch (const std::bad_alloc&) {
        bytes = std::move(text.bytes);
        return ENOMEM;
    }
    return 0;
}

bool pathExists(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) return false;
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::string programFolder() {
    std::string buffer(256, '\0');
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(n));
            break;
        }
        if (buffer.size() > (1u << 20)) return {};
        buffer.resize(buffer.size() * 2);
    }
    return buffer.find('/') == std::string::npos ? std::string() : folderOf(buffer);
}

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/') path += '/';
    path += name;
    return path;
}

}  // namespace profile
