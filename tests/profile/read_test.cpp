// Reading keys the way GetPrivateProfileStringA does.
#include "code_page.h"
#include "profile_service.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace profile;
using testsupport::TempFolder;
using testsupport::writeBytes;

namespace {

class Read : public ::testing::Test {
protected:
    TempFolder dir;
    std::string path = dir.file("card.ini");

    // Writes `content` as the file and reads section/key from it.
    std::string get(const std::string& content, const std::string& section, const std::string& key,
        std::size_t size = kDefaultBufferSize, std::size_t* count = nullptr)
    {
        writeBytes(path, content);
        std::string value = "stale";
        std::size_t n = getProfileString(section, key, "", value, size, path);
        if (count)
            *count = n;
        return value;
    }
};

TEST_F(Read, NamesMatchWithoutRegardToCase)
{
    const std::string file = *utf8ToCp932("[HeAd]\r\nMaxHp=12\r\n[ＡＢＣ]\r\nΣ=3\r\n");
    EXPECT_EQ(get(file, "head", "MAXHP"), "12");
    EXPECT_EQ(get(file, "ａｂｃ", "σ"), "3");
    EXPECT_EQ(get(file, "head", "MaxH"), "");
    EXPECT_EQ(get(file, "hea", "MaxHp"), "");
}

TEST_F(Read, BlanksAndQuotesAroundNamesAndValuesAreIgnored)
{
    const std::string file = "  [ head ]  \r\n"
                             "\t key  =  two  words \t\r\n"
                             "q1=\" quoted \"\r\n"
                             "q2='single'\r\n"
                             "q3=\"unmatched'\r\n"
                             "q4=\"\r\n"
                             "q5=\"\"\r\n"
                             "q6= \"in\"side\r\n";
    EXPECT_EQ(get(file, "head", "key"), "two  words");
    EXPECT_EQ(get(file, " head ", " key "), "two  words");
    EXPECT_EQ(get(file, "head", "q1"), " quoted ");
    EXPECT_EQ(get(file, "head", "q2"), "single");
    EXPECT_EQ(get(file, "head", "q3"), "\"unmatched'");
    EXPECT_EQ(get(file, "head", "q4"), "\"");
    EXPECT_EQ(get(file, "head", "q5"), "");
    EXPECT_EQ(get(file, "head", "q6"), "\"in\"side");
}

TEST_F(Read, LineEndsCommentsAndLinesWithoutEquals)
{
    EXPECT_EQ(get("[a]\nk=lf\n", "a", "k"), "lf");
    EXPECT_EQ(get("[a]\r\nk=crlf", "a", "k"), "crlf");  // last line without line end
    EXPECT_EQ(get("[a]\r\nx=1\nk=mixed\r\n", "a", "k"), "mixed");
    EXPECT_EQ(get("[a]\n;k=comment\n", "a", ";k"), "");
    EXPECT_EQ(get("[a]\n ; k=comment\n", "a", "; k"), "");
    EXPECT_EQ(get("[a]\nk\nk=real\n", "a", "k"), "real");
    EXPECT_EQ(get("k=outside\n[a]\n", "a", "k"), "");   // keys before any section
    EXPECT_EQ(get("[a]\nk==x=y\n", "a", "k"), "=x=y");  // the first "=" splits
    EXPECT_EQ(get("[a] trailing text\nk=1\n", "a", "k"), "1");
    EXPECT_EQ(get("[a]\n[b\nk=2\n", "a", "k"), "2");  // "[b" opens no section
    EXPECT_EQ(get("[b\nk=2\n", "b", "k"), "");
}

TEST_F(Read, FirstSectionAndFirstKeyCount)
{
    const std::string file = "[a]\r\nk=first\r\nk=second\r\n[b]\r\nk=b\r\n[A]\r\nk=third\r\nj=later\r\n";
    EXPECT_EQ(get(file, "a", "k"), "first");
    EXPECT_EQ(get(file, "a", "j"), "");
    EXPECT_EQ(get(file, "b", "k"), "b");
}

TEST_F(Read, Cp932TrailBytesAreNotStructure)
{
    // ゾ is 83 5D: its trail byte is "]"; ソ ends in "\".
    const std::string file = "[\x83\x5D]\r\n\x83\x5C=\x95\x5C\r\n";
    EXPECT_EQ(get(file, "ゾ", "ソ"), "表");
    EXPECT_EQ(get(file, "\x83", "ソ"), "");  // not a cut-off section name
}

TEST_F(Read, ValueIsCutTo255Cp932Bytes)
{
    std::size_t n = 0;
    EXPECT_EQ(get("[a]\r\nk=" + std::string(300, 'x') + "\r\n", "a", "k", 256, &n), std::string(255, 'x'));
    EXPECT_EQ(n, 255u);
    // A two-byte character split by the cut is dropped whole, not halved.
    const std::string ka = "\x83\x4A";  // カ
    EXPECT_EQ(get("[a]\r\nk=" + std::string(254, 'x') + ka + "\r\n", "a", "k", 256, &n), std::string(254, 'x'));
    EXPECT_EQ(n, 254u);
    EXPECT_EQ(get("[a]\r\nk=" + std::string(253, 'x') + ka + "y\r\n", "a", "k", 256, &n), std::string(253, 'x') + "カ");
    EXPECT_EQ(n, 255u);
    EXPECT_EQ(get("[a]\r\nk=abcdef\r\n", "a", "k", 4, &n), "abc");
    EXPECT_EQ(get("[a]\r\nk=abcdef\r\n", "a", "k", 1, &n), "");
    EXPECT_EQ(n, 0u);
}

TEST_F(Read, MissingValuesGiveTheDefaultWithoutTrailingBlanks)
{
    writeBytes(path, "[a]\r\nempty=\r\n");
    std::string value;
    EXPECT_EQ(getProfileString("a", "none", "dflt  \t", value, 256, path), 4u);
    EXPECT_EQ(value, "dflt");
    EXPECT_EQ(getProfileString("a", "empty", "dflt", value, 256, path), 0u);
    EXPECT_EQ(value, "");
    EXPECT_EQ(getProfileString("zz", "empty", "d", value, 256, path), 1u);
    EXPECT_EQ(getProfileString("a", "", "d", value, 256, path), 1u);
    EXPECT_EQ(value, "d");
    EXPECT_EQ(getProfileString("a", "k", "d", value, 256, dir.file("missing.ini")), 1u);
    EXPECT_EQ(getProfileString("a", "k", "d", value, 256, dir.path()), 1u);  // a folder
    EXPECT_FALSE(pathExists(dir.file("missing.ini")));
}

TEST_F(Read, ByteOrderMarksChooseTheEncoding)
{
    EXPECT_EQ(get("\xEF\xBB\xBF[カード]\r\n名前=スーパー\r\n", "カード", "名前"), "スーパー");
    const std::string le = std::string("\xFF\xFE") + utf8ToUtf16("[a]\r\nk = \"é カ\"\r\n", false);
    const std::string be = std::string("\xFE\xFF") + utf8ToUtf16("[a]\nk=é カ", true);
    EXPECT_EQ(get(le, "a", "k"), "é カ");  // é is returned, though code page 932 lacks it
    EXPECT_EQ(get(be, "A", "K"), "é カ");
    // The cut counts code page 932 bytes: é as one ("?"), カ as two.
    std::size_t n = 0;
    EXPECT_EQ(
        get("\xEF\xBB\xBF[a]\nk=" + std::string(253, 'x') + "éカ\n", "a", "k", 256, &n), std::string(253, 'x') + "é");
    EXPECT_EQ(n, 254u);
}

TEST_F(Read, DamagedBytesReadAsReplacementCharacters)
{
    EXPECT_EQ(get("[a]\r\nk=x\x80y\xFD\r\n", "a", "k"), "x\uFFFDy\uFFFD");
    EXPECT_EQ(get("\xEF\xBB\xBF[a]\nk=\xC3(\xF8\n", "a", "k"), "\uFFFD(\uFFFD");
    EXPECT_EQ(get(std::string("[a]\r\nk=ab\0cd\r\n", 14), "a", "k"), "ab");
    // Odd-length UTF-16 with a lone surrogate in the value.
    std::string le = std::string("\xFF\xFE") + utf8ToUtf16("[a]\nk=v", false) + std::string("\x00\xD8\x01", 3);
    EXPECT_EQ(get(le, "a", "k"), "v\uFFFD");
    EXPECT_EQ(get("[a]\r\nk=\x82", "a", "k"), "\uFFFD");  // lead byte at the end of the file
}

TEST_F(Read, HugeLinesAreReadInFullButReturnedCut)
{
    std::string junk;
    for (int i = 0; i < 1'500'000; ++i)
        junk += "\x82\x82";  // full-width ｂ, no line end
    std::string expected;
    for (int i = 0; i < 127; ++i)
        expected += "ｂ";
    EXPECT_EQ(get("[a]\r\nk=" + junk, "a", "k"), expected);
    EXPECT_EQ(get(std::string(2'000'000, '[') + "\n[a]\nk=ok\n", "a", "k"), "ok");
}

TEST_F(Read, ArbitraryBytesNeverBreakReadOrWrite)
{
    // Random files under each byte-order mark; after writing a key, it reads back.
    std::mt19937 rng(12345);
    const char* alphabet = "[]=;\"' \t\r\n\x82\x83\x5D\xA0\x80\xFF\xFE\xEF\xBB\xBF\xD8\xDC"
                           "abAB";
    const std::string boms[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
    for (int round = 0; round < 400; ++round) {
        std::string content = boms[round % 4];
        std::size_t len = rng() % 200;
        for (std::size_t i = 0; i < len; ++i)
            content += rng() % 4 ? alphabet[rng() % std::strlen(alphabet)] : char(rng());
        writeBytes(path, content);
        std::string value;
        getProfileString("a", "b", "", value, 256, path);
        const std::string written = "v" + std::to_string(round) + "カ";
        ASSERT_TRUE(writeProfileString("a", "b", written, path)) << round << " " << lastError();
        ASSERT_EQ(getProfileString("a", "b", "", value, 256, path), written.size() - 1) << round;
        ASSERT_EQ(value, written) << round;
    }
}

}  // namespace
