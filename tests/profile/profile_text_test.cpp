// The profile text in memory: the walk over its lines, look-ups that agree
// with it, and reading a file once without blocking or overreaching.
#include "code_page.h"
#include "file_io.h"
#include "profile_text.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <vector>

using namespace profile;
using testsupport::TempFolder;
using testsupport::writeBytes;

namespace {

std::vector<ProfileLine> walk(const ProfileText& text)
{
    std::vector<ProfileLine> lines;
    text.forEachLine([&](const ProfileLine& line) { lines.push_back(line); });
    return lines;
}

TEST(ProfileTextWalk, TellsEveryLineItsKindPlaceAndWholeValue)
{
    const std::string longValue(300, 'v');
    const ProfileText text(*utf8ToCp932("k=before\r\n; note\r\n\r\n [ カード ] x\r\n 名前 = \"スーパー\" \r\n"
                                        "garbage\r\nlong="
                                        + longValue + "\r\n[b]\nz=")
                           + "\x82\xA0");
    const auto lines = walk(text);
    ASSERT_EQ(lines.size(), 9u);
    const LineKind kinds[] = {LineKind::Key, LineKind::Comment, LineKind::Blank, LineKind::Section, LineKind::Key,
        LineKind::Other, LineKind::Key, LineKind::Section, LineKind::Key};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].kind, kinds[i]) << i;
        EXPECT_EQ(lines[i].number, i + 1);
    }
    EXPECT_EQ(lines[0].sectionLine, 0u);  // before any section
    EXPECT_EQ(lines[0].value, "before");
    EXPECT_EQ(lines[3].section, "カード");
    EXPECT_EQ(lines[4].section, "カード");
    EXPECT_EQ(lines[4].sectionLine, 4u);
    EXPECT_EQ(lines[4].key, "名前");
    EXPECT_EQ(lines[4].value, "スーパー");
    EXPECT_EQ(lines[4].valueCp932Bytes, 8u);
    EXPECT_EQ(lines[6].value, longValue);  // not cut
    EXPECT_EQ(lines[6].valueCp932Bytes, 300u);
    EXPECT_EQ(lines[8].section, "b");
    EXPECT_EQ(lines[8].value, "あ");  // a last line without a line end
}

TEST(ProfileTextWalk, TellsBytesNotValidInTheEncoding)
{
    auto lines = walk(ProfileText("[a\x80]\r\nk\xFF=ok\r\nj=x\x80y\r\nfine=\xEF\xBF\xBD\r\n"));
    EXPECT_FALSE(lines[0].nameValid);
    EXPECT_FALSE(lines[1].nameValid);
    EXPECT_TRUE(lines[1].valueValid);
    EXPECT_TRUE(lines[2].nameValid);
    EXPECT_FALSE(lines[2].valueValid);
    EXPECT_EQ(lines[2].value, "x\uFFFDy");
    EXPECT_EQ(lines[2].valueCp932Bytes, 3u);

    // A UTF-8 file: a real U+FFFD is valid, a stray byte is not. é counts as
    // one byte ("?"), カ as two.
    lines = walk(ProfileText("\xEF\xBB\xBF[a]\nk=\xEF\xBF\xBD\nj=\xC3\nv=éカ\n"));
    EXPECT_TRUE(lines[1].valueValid);
    EXPECT_FALSE(lines[2].valueValid);
    EXPECT_EQ(lines[3].valueCp932Bytes, 3u);

    // UTF-16 with a lone surrogate.
    lines = walk(ProfileText("\xFF\xFE" + utf8ToUtf16("[a]\nk=v", false) + std::string("\x00\xD8", 2)));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_FALSE(lines[1].valueValid);
}

// On any text the look-up finds what the walk shows: the first key of that
// name in the first section of that name.
TEST(ProfileTextLookup, AgreesWithTheWalkOnArbitraryText)
{
    const auto fold = [](std::string s) {
        for (char& c : s)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    std::mt19937 rng(2024);
    const char* pieces[] = {"[", "]", "=", ";", " ", "\t", "\r\n", "\n", "a", "A", "b", "k", "K", "x", "\x83\x5D",
        "\x82\xA0", "\x82\x9F", "\x82", "\"", "\x80"};
    const std::string boms[] = {"", "\xEF\xBB\xBF", "\xFF\xFE"};
    const std::string sections[] = {"a", "A", "b", "a]", "ぁ"};
    const std::string keys[] = {"k", "K", "[b", "x", "a b", "ぁ"};
    for (int round = 0; round < 3000; ++round) {
        std::string body;
        for (int i = 0, n = int(rng() % 40); i < n; ++i)
            body += pieces[rng() % std::size(pieces)];
        const std::string& bom = boms[round % 3];
        const ProfileText text(bom + (bom == "\xFF\xFE" ? utf8ToUtf16(cp932ToUtf8(body), false) : body));
        const auto lines = walk(text);
        std::vector<ProfileText::Lookup> all;
        std::vector<std::string> expectations;
        for (const std::string& section : sections) {
            std::size_t header = 0;
            for (const ProfileLine& line : lines)
                if (!header && line.kind == LineKind::Section && fold(line.section) == fold(section))
                    header = line.number;
            for (const std::string& key : keys) {
                std::string expected = "-";  // the default
                for (const ProfileLine& line : lines)
                    if (header && line.sectionLine == header && line.kind == LineKind::Key
                        && fold(line.key) == fold(key)) {
                        expected = line.value.substr(0, line.value.find('\0'));
                        break;
                    }
                std::string value;
                text.get(section, key, "-", value);
                ASSERT_EQ(value, expected) << "round " << round << " [" << section << "] " << key;
                all.push_back({section, key, "-"});
                expectations.push_back(expected);
            }
        }
        // All of them at once give the same.
        text.getAll(all);
        for (std::size_t i = 0; i < all.size(); ++i)
            ASSERT_EQ(all[i].value, expectations[i]) << "round " << round << " look-up " << i;
    }

    // A look-up that can find nothing (a blank key) does not hide the next
    // one of the same section.
    std::vector<ProfileText::Lookup> some{{"a", " ", "-"}, {"a", "k", "-"}};
    ProfileText("[a]\r\nk=1\r\n").getAll(some);
    EXPECT_EQ(some[0].value, "-");
    EXPECT_EQ(some[1].value, "1");

    // The same key asked for many times, in any letter case, each gets the value.
    std::vector<ProfileText::Lookup> many;
    for (int i = 0; i < 20; ++i) {
        many.push_back({i % 2 ? "A" : "a", i % 3 ? "k" : "K", "-"});
        many.push_back({"b", "x", "-"});
    }
    ProfileText("[a]\r\nk=1\r\n[b]\r\nx=2\r\nk=3\r\n").getAll(many);
    for (std::size_t i = 0; i < many.size(); ++i)
        EXPECT_EQ(many[i].value, i % 2 ? "2" : "1") << "look-up " << i;
}

TEST(ProfileTextEdit, SetThenGetInMemory)
{
    ProfileText text("[a]\r\nk=1\r\n");
    EXPECT_EQ(text.set("a", "k", "カ"), 0);
    EXPECT_EQ(text.set("b", "j", "2"), 0);
    EXPECT_EQ(text.bytes(), "[a]\r\nk=\x83\x4A\r\n[b]\r\nj=2\r\n");
    std::string value;
    EXPECT_EQ(text.get("A", "K", "", value), 2u);
    EXPECT_EQ(value, "カ");
    EXPECT_EQ(text.set("a", "k", "\xF3\xA0\x80\x81"), EILSEQ);  // a tag character would vanish
    EXPECT_EQ(text.set("", "k", "v"), EINVAL);
    EXPECT_EQ(text.bytes(), "[a]\r\nk=\x83\x4A\r\n[b]\r\nj=2\r\n");
}

// A program's text reaches the file through code page 932, whatever the
// file's encoding: a character it holds only as a look-alike is written as one.
TEST(ProfileTextEdit, UnicodeTextGetsTheValueAsCodePage932HoldsIt)
{
    for (const std::string bom : {"\xEF\xBB\xBF", "\xFF\xFE"}) {
        ProfileText text(bom);
        EXPECT_EQ(text.set("a", "k", "\u00A3\u30AB"), 0);  // POUND SIGN, KATAKANA KA
        const std::string line = "[a]\r\nk=\uFFE1\u30AB\r\n";
        EXPECT_EQ(text.bytes(), bom + (bom == "\xFF\xFE" ? utf8ToUtf16(line, false) : line));
        std::string value;
        text.get("a", "k", "", value);
        EXPECT_EQ(value, "\uFFE1\u30AB");
    }
}

TEST(ProfileTextLookup, NamesMatchAsCodePage932HoldsThem)
{
    const ProfileText text("[\x81\x92)]\r\n\\=yen\r\n");  // [￡)] and a key "\\"
    std::string value;
    EXPECT_EQ(text.get("\u00A3)", "\u00A5", "", value), 3u);  // POUND SIGN ")", YEN SIGN
    EXPECT_EQ(value, "yen");
    ProfileText edited(text.bytes());
    EXPECT_EQ(edited.set("\u00A3)", "\u00A5", "2"), 0);
    EXPECT_EQ(edited.bytes(), "[\x81\x92)]\r\n\\=2\r\n");
}

// Many edits of one text (as a card is composed) give what the same edits
// give one at a time on the text read afresh, lines and all.
TEST(ProfileTextEdit, EditsInARowAgreeWithEditsOfAFreshText)
{
    std::mt19937 rng(7);
    const char* pieces[] = {"[a]", "[b]", "k=1", "x", "=", " ", "\r\n", "\n", ";c", "\x83\x5D"};
    const char* names[] = {"a", "b", "B", "k", "K", "j"};
    const std::string boms[] = {"", "\xEF\xBB\xBF", "\xFF\xFE"};
    for (int round = 0; round < 500; ++round) {
        std::string body;
        for (int i = 0, n = int(rng() % 12); i < n; ++i)
            body += pieces[rng() % std::size(pieces)];
        const std::string& bom = boms[round % 3];
        ProfileText edited(bom + (bom == "\xFF\xFE" ? utf8ToUtf16(cp932ToUtf8(body), false) : body));
        std::string fresh = edited.bytes();
        for (int e = 0; e < 6; ++e) {
            const char* section = names[rng() % 3];
            const char* key = names[3 + rng() % 3];
            const std::string value = "v" + std::to_string(e);
            ASSERT_EQ(edited.set(section, key, value), 0);
            ProfileText once(fresh);
            ASSERT_EQ(once.set(section, key, value), 0);
            fresh = once.bytes();
            ASSERT_EQ(edited.bytes(), fresh) << "round " << round << " edit " << e;
        }
        const auto lines = walk(edited), freshLines = walk(ProfileText(fresh));
        ASSERT_EQ(lines.size(), freshLines.size()) << "round " << round;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            ASSERT_EQ(lines[i].kind, freshLines[i].kind) << "round " << round << " line " << i;
            ASSERT_EQ(lines[i].key, freshLines[i].key) << "round " << round << " line " << i;
            ASSERT_EQ(lines[i].value, freshLines[i].value) << "round " << round << " line " << i;
        }
    }
}

// Many keys written in one pass give the bytes of writing them one at a time.
TEST(ProfileTextEdit, ManyEditsInOnePassAgreeWithEditsOneAtATime)
{
    std::mt19937 rng(11);
    const char* pieces[] = {"[a]", "[b]", "[A]", "k=1", "K =2", " j=3", "x", "=", " ", "\r\n", "\n", ";c", "\x83\x5D"};
    const char* sections[] = {"a", "b", "B", "c", "\u00A3"};
    const char* keys[] = {"k", "K", "j", "\u00A5", "\u30AB"};
    const std::string boms[] = {"", "\xEF\xBB\xBF", "\xFF\xFE"};
    for (int round = 0; round < 1000; ++round) {
        std::string body;
        for (int i = 0, n = int(rng() % 14); i < n; ++i)
            body += pieces[rng() % std::size(pieces)];
        const std::string& bom = boms[round % 3];
        const std::string bytes = bom + (bom == "\xFF\xFE" ? utf8ToUtf16(cp932ToUtf8(body), false) : body);
        ProfileText oneByOne(bytes);
        std::vector<std::string> values;
        std::vector<ProfileText::Setting> settings;
        for (int e = 0, n = int(rng() % 8); e < n; ++e)
            values.push_back(e % 3 ? "v" + std::to_string(e) : "\u00A3" + std::to_string(e));
        for (const std::string& value : values) {
            settings.push_back({sections[rng() % std::size(sections)], keys[rng() % std::size(keys)], value});
            ASSERT_EQ(oneByOne.set(settings.back().section, settings.back().key, value), 0);
        }
        ProfileText inOnePass(bytes);
        ASSERT_EQ(inOnePass.setAll(settings), 0);
        ASSERT_EQ(inOnePass.bytes(), oneByOne.bytes()) << "round " << round;
        ASSERT_EQ(inOnePass.set("a", "k", "after"), 0);  // its lines are found anew
        ASSERT_EQ(oneByOne.set("a", "k", "after"), 0);
        ASSERT_EQ(inOnePass.bytes(), oneByOne.bytes()) << "round " << round;
    }
    // A setting that cannot be written is named, and nothing is written.
    ProfileText text("[a]\r\nk=1\r\n");
    const ProfileText::Setting settings[] = {{"a", "k", "2"}, {"a", "j", "\xF3\xA0\x80\x81"}};
    std::size_t failed = 9;
    EXPECT_EQ(text.setAll(settings, &failed), EILSEQ);
    EXPECT_EQ(failed, 1u);
    EXPECT_EQ(text.bytes(), "[a]\r\nk=1\r\n");
}

TEST(ReadFileOnce, OnlyRegularFilesWithinTheLimit)
{
    TempFolder dir;
    std::string bytes = "stale";
    dir.write("card.ini", "[a]\r\nk=1\r\n");
    EXPECT_EQ(readFileOnce(dir.file("card.ini"), bytes), 0);
    EXPECT_EQ(bytes, "[a]\r\nk=1\r\n");
    EXPECT_EQ(readFileOnce(dir.file("card.ini"), bytes, 9), EFBIG);
    EXPECT_EQ(bytes, "");
    EXPECT_EQ(readFileOnce(dir.file("card.ini"), bytes, 10), 0);

    EXPECT_EQ(readFileOnce(dir.file("none.ini"), bytes), ENOENT);
    EXPECT_EQ(readFileOnce(dir.path(), bytes), EISDIR);

    // A sparse file just over the limit is refused before anything is read.
    dir.write("huge.ini", "");
    std::filesystem::resize_file(testsupport::fsPath(dir.file("huge.ini")), kMaxProfileFileBytes + 1);
    EXPECT_EQ(readFileOnce(dir.file("huge.ini"), bytes), EFBIG);
    EXPECT_LT(bytes.capacity(), 1024u);
}

}  // namespace
