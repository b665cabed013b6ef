// UTF-8 <-> code page 932 conversion and the UTF helpers.
#include "code_page.h"

#include <gtest/gtest.h>

#include <map>

using namespace profile;

TEST(CodePage, JapaneseRoundTripsThroughCp932)
{
    const std::string text = "このカードはスーパーカード";
    auto bytes = utf8ToCp932(text);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->size(), 26u);                       // 13 two-byte characters
    EXPECT_EQ(bytes->substr(0, 4), "\x82\xB1\x82\xCC");  // こ の
    EXPECT_EQ(cp932ToUtf8(*bytes), text);
}

TEST(CodePage, TrailBytesThatLookLikeAsciiStayPartOfTheirCharacter)
{
    // ソ 表 end in 0x5C ("\"), ゾ in 0x5D ("]"); half-width カ is one byte.
    auto bytes = utf8ToCp932("ソ表ゾｶ");
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, "\x83\x5C\x95\x5C\x83\x5D\xB6");
    EXPECT_EQ(cp932ToUtf8(*bytes), "ソ表ゾｶ");
    EXPECT_EQ(cp932CharLength(*bytes, 0), 2u);
    EXPECT_EQ(cp932CharLength(*bytes, 6), 1u);
    EXPECT_EQ(cp932CharLength("\x83", 0), 1u);  // lead byte at the end
}

TEST(CodePage, FirstUnencodableNamesTheCharacter)
{
    EXPECT_EQ(firstUnencodable("カード ok ｶ ~\\"), std::nullopt);
    EXPECT_EQ(firstUnencodable(""), std::nullopt);
    EXPECT_EQ(firstUnencodable("caf\xC3\xA9"), U'\u00E9');
    EXPECT_EQ(firstUnencodable("スーパー\xF0\x9F\x98\x80カード"), U'\U0001F600');
    EXPECT_EQ(firstUnencodable("한국어"), U'한');
    // Invalid UTF-8 (stray byte, overlong "/", encoded surrogate) is U+FFFD.
    EXPECT_EQ(firstUnencodable("ok\xFF"), kReplacementChar);
    EXPECT_EQ(firstUnencodable("\xC0\xAF"), kReplacementChar);
    EXPECT_EQ(firstUnencodable("\xED\xA0\x80"), kReplacementChar);
    // An unencodable character before invalid bytes is named first.
    EXPECT_EQ(firstUnencodable("\xC3\xA9\xFF"), U'\u00E9');

    EXPECT_EQ(utf8ToCp932("caf\xC3\xA9"), std::nullopt);  // never "caf?"
    EXPECT_EQ(utf8ToCp932("a\xFF"), std::nullopt);
    EXPECT_EQ(utf8ToCp932(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(CodePage, InvalidCp932BytesBecomeReplacementCharacters)
{
    EXPECT_EQ(cp932ToUtf8("a\x80"
                          "b"),
        "a\uFFFD"
        "b");
    EXPECT_EQ(cp932ToUtf8("\xFF\xFF"), "\uFFFD\uFFFD");
    // An unmapped lead/trail pair is one character, as Windows reads it.
    EXPECT_EQ(cp932ToUtf8("x\x85\x40y"), "x\uFFFDy");
    // A lead byte without a trail byte does not swallow what follows.
    EXPECT_EQ(cp932ToUtf8("\x82 =\x82"), "\uFFFD =\uFFFD");
    EXPECT_EQ(cp932ToUtf8(std::string("\0\x82\xA0", 3)), std::string("\0", 1) + "あ");
}

TEST(CodePage, Widths)
{
    EXPECT_EQ(cp932Width(U'a'), 1u);
    EXPECT_EQ(cp932Width(U'ｶ'), 1u);
    EXPECT_EQ(cp932Width(U'カ'), 2u);
    EXPECT_EQ(cp932Width(U'\u00E9'), 0u);
    EXPECT_EQ(cp932Width(kReplacementChar), 0u);
}

TEST(CodePage, Utf16BothOrdersAndDamage)
{
    const std::string text = "A\xE3\x81\x82\xF0\x9F\x98\x80";  // A あ 😀
    EXPECT_EQ(utf8ToUtf16(text, false), std::string("A\0\x42\x30\x3D\xD8\x00\xDE", 8));
    EXPECT_EQ(utf8ToUtf16(text, true), std::string("\0A\x30\x42\xD8\x3D\xDE\x00", 8));
    EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(text, true), true), text);
    // Lone high and low surrogates, and a last odd byte.
    EXPECT_EQ(utf16ToUtf8(std::string("\x3D\xD8"
                                      "A\0\x00\xDE"
                                      "B",
                              7),
                  false),
        "\uFFFDA\uFFFD\uFFFD");
}

TEST(CodePage, DecodeUtf8RejectsMalformedSequences)
{
    char32_t c;
    EXPECT_EQ(decodeUtf8("\xE3\x81\x82", 0, c), 3u);
    EXPECT_EQ(c, U'あ');
    for (std::string bad : {"\xE3\x81", "\xC1\xBF", "\xF4\x90\x80\x80", "\x80", "\xE3\x41\x82"}) {
        EXPECT_EQ(decodeUtf8(bad, 0, c), 1u) << bad;
        EXPECT_EQ(c, kReplacementChar);
    }
    EXPECT_EQ(sanitizeUtf8("a\xE3\x81"
                           "b"),
        "a\uFFFD\uFFFD"
        "b");
}

TEST(CodePage, OnlyTheListedLookAlikesChangeAndNothingVanishesUnnoticed)
{
    // Every character code page 932 takes, written and read back: the ones
    // that come back as another character are exactly the listed look-alikes.
    std::map<char32_t, char32_t> changed;
    for (char32_t c = 1; c < 0x30000; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        std::string utf8;
        appendUtf8(utf8, c);
        const auto bytes = utf8ToCp932(utf8);
        if (!bytes)
            continue;
        ASSERT_FALSE(bytes->empty()) << std::hex << unsigned(c);
        const std::string back = cp932ToUtf8(*bytes);
        if (back != utf8) {
            char32_t readBack;
            decodeUtf8(back, 0, readBack);
            changed[c] = readBack;
        }
    }
    std::map<char32_t, char32_t> listed;
    for (const LookAlike& pair : cp932LookAlikes())
        listed[pair.written] = pair.readBack;
    EXPECT_EQ(changed, listed);
    EXPECT_EQ(listed.size(), 9u);

    // Tag characters would be dropped without a trace: refused instead.
    EXPECT_EQ(firstUnencodable("ok\xF3\xA0\x80\x81"), U'\U000E0001');
    EXPECT_EQ(firstUnencodable("\xF3\xA0\x81\xBF"), U'\U000E007F');
    EXPECT_EQ(utf8ToCp932("a\xF3\xA0\x80\x81"), std::nullopt);
}

TEST(CodePage, EveryTwoByteCharacterReadsAsIconvReadsItInAnyText)
{
    // Text with a byte that starts no character goes through iconv whole;
    // the characters before it must read as they read anywhere else.
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead > 0x9F && lead < 0xE0)
            continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
            bool valid = false, validInText = false;
            const std::string alone = cp932ToUtf8("a" + pair, &valid);
            const std::string inText = cp932ToUtf8("a" + pair + "\xFF", &validInText);
            ASSERT_TRUE(inText.starts_with(alone)) << std::hex << lead << " " << trail;
            ASSERT_FALSE(validInText);
            if (valid)
                ASSERT_EQ(inText, alone + "\xEF\xBF\xBD") << std::hex << lead << " " << trail;
        }
    }
}
