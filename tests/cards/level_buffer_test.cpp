#include "level_buffer.h"

#include <gtest/gtest.h>

TEST(ExtMoveSpec, EncodesCodesAmountAndCount)
{
    EXPECT_EQ(encodeExtMoveSpec({1, "30", 1, "2"}), "1F/30D/2");
    EXPECT_EQ(encodeExtMoveSpec({}), "N/P/");
    EXPECT_EQ(encodeExtMoveSpec({4, "120", 2, "3"}), "AM/120E/3");
    EXPECT_EQ(encodeExtMoveSpec({6, "", 0, ""}), "E/P/");
}

TEST(ExtMoveSpec, DecodesEveryRangeCode)
{
    const char* codes[] = {"N", "1F", "2F", "A", "AM", "U", "E"};
    for (int i = 0; i < 7; ++i) {
        ExtMoveFields fields{3, "", 2, ""};
        ASSERT_TRUE(decodeExtMoveSpec(std::string(codes[i]) + "/7D/1", fields)) << codes[i];
        EXPECT_EQ(fields, (ExtMoveFields{i, "7", 1, "1"})) << codes[i];
    }
}

TEST(ExtMoveSpec, RoundTripsThroughEncode)
{
    const ExtMoveFields typed{5, "三十", 2, "２回"};
    ExtMoveFields shown{0, "x", 0, "y"};
    ASSERT_TRUE(decodeExtMoveSpec(encodeExtMoveSpec(typed), shown));
    EXPECT_EQ(shown, typed);
}

TEST(ExtMoveSpec, UnknownCodesKeepTheSelection)
{
    ExtMoveFields fields{2, "old", 1, "old"};
    ASSERT_TRUE(decodeExtMoveSpec("a/5P/1", fields));  // letter case matters
    EXPECT_EQ(fields, (ExtMoveFields{2, "5", 0, "1"}));

    fields = {3, "old", 2, "old"};
    ASSERT_TRUE(decodeExtMoveSpec("N/5X/1", fields));
    EXPECT_EQ(fields, (ExtMoveFields{0, "5", 2, "1"}));

    fields = {3, "old", 2, "old"};
    ASSERT_TRUE(decodeExtMoveSpec("AM/5p/1", fields));
    EXPECT_EQ(fields, (ExtMoveFields{4, "5", 2, "1"}));
}

TEST(ExtMoveSpec, EffectLetterIsOneWholeCharacter)
{
    // A full-width Ｄ is not the letter D, and is dropped whole, not byte by byte.
    ExtMoveFields fields{0, "", 2, ""};
    ASSERT_TRUE(decodeExtMoveSpec("1F/３０Ｄ/2", fields));
    EXPECT_EQ(fields, (ExtMoveFields{1, "３０", 2, "2"}));
}

TEST(ExtMoveSpec, EmptyAmountPartKeepsTheEffect)
{
    ExtMoveFields fields{3, "old", 1, "old"};
    ASSERT_TRUE(decodeExtMoveSpec("N//2", fields));
    EXPECT_EQ(fields, (ExtMoveFields{0, "", 1, "2"}));

    ASSERT_TRUE(decodeExtMoveSpec("//", fields));
    EXPECT_EQ(fields, (ExtMoveFields{0, "", 1, ""}));
}

TEST(ExtMoveSpec, OnlyThreePartsAreDecoded)
{
    const ExtMoveFields before{3, "amount", 2, "count"};
    for (const char* spec : {"", "N", "N/5P", "N/5P/1/2", "N/5P/1/", "////"}) {
        ExtMoveFields fields = before;
        EXPECT_FALSE(decodeExtMoveSpec(spec, fields)) << spec;
        EXPECT_EQ(fields, before) << spec;
    }
}
