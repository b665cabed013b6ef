// The three-way merge of card files: clean merges as Save writes them,
// conflicts marked around their key lines only, the cards of Windows
// programs kept whole, and what Load reads of every result.

#include "card_merge.h"
#include "code_page.h"
#include "profile_text.h"

#include <gtest/gtest.h>

namespace {

Card baseCard()
{
    Card card{"3", "4", "1", 2, {}};
    card.Levels[0] = {"20", "10", "1F/30D/2", "ひっかく", "Blast"};
    card.Levels[1] = {"30", "", "", "", ""};
    return card;
}

MergeOutcome merge(const Card& base, const Card& ours, const Card& theirs, std::size_t markerSize = 7)
{
    return mergeCardFiles(cardFileBytes(base), cardFileBytes(ours), cardFileBytes(theirs), markerSize);
}

std::string cp932(const std::string& utf8) { return profile::utf8ToCp932(utf8).value(); }

TEST(CardMerge, ChangesToDifferentFieldsAndSpecPartsGiveWhatSaveWrites)
{
    Card ours = baseCard(), theirs = baseCard(), merged = baseCard();
    ours.Levels[0].MaxHP = merged.Levels[0].MaxHP = "25";  // HP against P: adjacent lines
    theirs.Levels[0].Power = merged.Levels[0].Power = "15";
    ours.Levels[0].ExtWazaSpec = "1F/40D/2";    // the amount
    theirs.Levels[0].ExtWazaSpec = "1F/30D/3";  // against the count
    merged.Levels[0].ExtWazaSpec = "1F/40D/3";
    ours.Rarity = theirs.Rarity = merged.Rarity = "5";             // the same change on both
    theirs.Levels[2] = merged.Levels[2] = {"50", "", "", "", ""};  // a level added
    const MergeOutcome outcome = merge(baseCard(), ours, theirs);
    EXPECT_FALSE(outcome.problem);
    EXPECT_TRUE(outcome.conflicts.empty());
    EXPECT_EQ(outcome.bytes, cardFileBytes(merged));

    // A range code the editor does not list ("1") merges by the parts as well.
    Card base = baseCard();
    base.Levels[0].ExtWazaSpec = "1/30D/2";
    ours = theirs = merged = base;
    ours.Levels[0].ExtWazaSpec = "1/40D/2";
    theirs.Levels[0].ExtWazaSpec = "1/30D/3";
    merged.Levels[0].ExtWazaSpec = "1/40D/3";
    const MergeOutcome unlisted = merge(base, ours, theirs);
    EXPECT_TRUE(unlisted.conflicts.empty());
    EXPECT_EQ(unlisted.bytes, cardFileBytes(merged));
}

TEST(CardMerge, AKeyChangedDifferentlyIsMarkedAroundItsLineOnly)
{
    Card ours = baseCard(), theirs = baseCard();
    ours.Levels[0].MaxHP = "25";
    theirs.Levels[0].MaxHP = "30";
    theirs.Levels[0].Power = "15";  // merged cleanly beside the conflict
    for (const std::size_t size : {std::size_t(7), std::size_t(9), std::size_t(3)}) {
        const MergeOutcome outcome = merge(baseCard(), ours, theirs, size);
        const std::string n(std::max<std::size_t>(size, 7), '<'), m(n.size(), '='), t(n.size(), '>');
        EXPECT_EQ(outcome.bytes, "[head]\r\nrare=3\r\nmaxlv=4\r\nminlv=1\r\nsuper=2\r\n[Lv1]\r\n" + n
                                     + " ours\r\nHP=25\r\n" + m + "\r\nHP=30\r\n" + t + " theirs\r\nP=15\r\n"
                                     + cp932("1=ひっかく\r\n") + "S=1F/30D/2\r\n2=Blast\r\n[Lv2]\r\nHP=30\r\n")
            << size;
        ASSERT_EQ(outcome.conflicts.size(), 1u);
        EXPECT_EQ(describe(outcome.conflicts[0]), "レベル1のMaxHP（元「20」、こちら「25」、相手「30」）");
    }
    // Load reads the ours side, and names the conflict with both values.
    std::vector<CardConflict> conflicts;
    ours.Levels[0].Power = "15";
    EXPECT_EQ(cardFileBytes(cardOfBytes(merge(baseCard(), baseCard(), theirs).bytes)), cardFileBytes(theirs));
    const Card read = cardOfBytes(merge(baseCard(), ours, theirs).bytes, &conflicts);
    EXPECT_EQ(read.Levels, ours.Levels);
    ASSERT_EQ(conflicts.size(), 1u);
    EXPECT_EQ(conflicts[0].line, 7u);
}

TEST(CardMerge, ConflictingSpecPartsAreNamedAsTheEditorShowsThem)
{
    Card ours = baseCard(), theirs = baseCard();
    ours.Levels[0].ExtWazaSpec = "1F/40D/2";
    theirs.Levels[0].ExtWazaSpec = "A/50D/2";  // the range merges, the amount conflicts
    const MergeOutcome outcome = merge(baseCard(), ours, theirs);
    ASSERT_EQ(outcome.conflicts.size(), 1u);
    EXPECT_EQ(describe(outcome.conflicts[0]), "レベル1の拡張技の数（元「30」、こちら「40」、相手「50」）");
    EXPECT_NE(outcome.bytes.find("<<<<<<< ours\r\nS=1F/40D/2\r\n=======\r\nS=A/50D/2\r\n>>>>>>> theirs\r\n"),
        std::string::npos);
}

TEST(CardMerge, AChangeAgainstARemovalOrAnEmptiedLevelConflicts)
{
    // Save leaves out a level without hit points: ours emptied level 2, theirs changed it.
    Card ours = baseCard(), theirs = baseCard();
    ours.Levels[1].MaxHP = "";
    theirs.Levels[1].MaxHP = "35";
    MergeOutcome outcome = merge(baseCard(), ours, theirs);
    ASSERT_EQ(outcome.conflicts.size(), 1u);
    EXPECT_EQ(describe(outcome.conflicts[0]), "レベル2のMaxHP（元「30」、こちら（なし）、相手「35」）");
    EXPECT_TRUE(outcome.bytes.ends_with("[Lv2]\r\n<<<<<<< ours\r\n=======\r\nHP=35\r\n>>>>>>> theirs\r\n"));

    // Theirs added a normal move to the level ours emptied: Save would drop it.
    theirs = baseCard();
    theirs.Levels[1].NomalWaza = "かみつく";
    theirs.Levels[1].Power = "5";
    outcome = merge(baseCard(), ours, theirs);
    EXPECT_EQ(outcome.conflicts.size(), 3u);  // HP, P and 1
    EXPECT_EQ(cardOfBytes(outcome.bytes).Levels[1], LevelRecord{});

    // A Windows program's card: HP emptied, the level's other keys kept; P changed on the other side.
    const std::string base = "[Lv1]\r\nHP=20\r\nP=10\r\n1=Hit\r\n";
    outcome = mergeCardFiles(base, "[Lv1]\r\nHP=\r\nP=10\r\n1=Hit\r\n", "[Lv1]\r\nHP=20\r\nP=15\r\n1=Hit\r\n", 7);
    ASSERT_EQ(outcome.conflicts.size(), 2u);
    EXPECT_EQ(outcome.conflicts[0].field, "レベル1のMaxHP");
    EXPECT_EQ(outcome.conflicts[1].field, "レベル1の通常技のP");
    EXPECT_NE(outcome.conflicts[1].reason.find("空"), std::string::npos);
    EXPECT_EQ(outcome.bytes, "[Lv1]\r\n<<<<<<< ours\r\nHP=\r\n=======\r\nHP=20\r\n>>>>>>> theirs\r\n"
                             "<<<<<<< ours\r\nP=10\r\n=======\r\nP=15\r\n>>>>>>> theirs\r\n1=Hit\r\n");
}

TEST(CardMerge, AWindowsProgramsCardKeepsWhatSaveWouldDrop)
{
    // A comment, a key the editor does not know, keys in another order and spelling, a section of its own.
    const std::string base = "; made by the game\r\n[head]\r\nrare=3\r\nsuper=1\r\n[LV1]\r\nhp=20\r\nX=1\r\n"
                             "1=Hit\r\nP=10\r\n[memo]\r\nnote=old\r\n[Lv3]\r\nHP=9\r\n";
    const std::string ours = "; made by the game\r\n[head]\r\nrare=3\r\nsuper=1\r\n[LV1]\r\nhp=25\r\nX=1\r\n"
                             "1=Hit\r\nP=10\r\n[memo]\r\nnote=old\r\n[Lv3]\r\nHP=9\r\n";
    // Theirs: changes HP's neighbour X, removes P and the memo, adds a key and a level, quotes a value.
    const std::string theirs = "; made by the game\r\n[head]\r\nrare=3\r\nsuper=1\r\n[Lv1]\r\nHP=20\r\nX=2\r\n"
                               "1=Hit\r\nY= padded \r\n[Lv3]\r\nHP=9\r\n[Lv2]\r\nHP=7\r\nS=\"  \"\r\n";
    const MergeOutcome outcome = mergeCardFiles(base, ours, theirs, 7);
    EXPECT_TRUE(outcome.conflicts.empty());
    EXPECT_EQ(outcome.bytes, "; made by the game\r\n[head]\r\nrare=3\r\nsuper=1\r\n[LV1]\r\nhp=25\r\nX=2\r\n"
                             "1=Hit\r\nY=padded\r\n[Lv3]\r\nHP=9\r\n[Lv2]\r\nHP=7\r\nS=\"  \"\r\n");
    // Read back, the result gives exactly the merged keys.
    std::string value;
    profile::ProfileText text(outcome.bytes);
    text.get("Lv2", "S", "", value);
    EXPECT_EQ(value, "  ");
    text.get("Lv1", "P", "-", value);
    EXPECT_EQ(value, "-");

    // UTF-16: merged, and marked, in the file's own encoding.
    const auto utf16 = [](const std::string& utf8) { return "\xFF\xFE" + profile::utf8ToUtf16(utf8, false); };
    const MergeOutcome wide = mergeCardFiles(utf16("[Lv1]\r\nHP=20\r\n1=竜\r\n"), utf16("[Lv1]\r\nHP=25\r\n1=竜\r\n"),
        utf16("[Lv1]\r\nHP=30\r\n1=竜巻\r\n"), 7);
    EXPECT_EQ(wide.bytes, utf16("[Lv1]\r\n<<<<<<< ours\r\nHP=25\r\n=======\r\nHP=30\r\n>>>>>>> theirs\r\n1=竜巻\r\n"));
}

// Thousands of keys, held by each side in its own order, with a later key of
// a name that is never read: every key is found by its name.
TEST(CardMerge, ManyKeysInAnyOrderMergeKeyByKey)
{
    const int n = 3000;
    const auto side = [&](bool reversed, const std::string& first, const std::string& others, std::string tail) {
        std::string text = "[s]\r\n";
        for (int j = 0; j < n; ++j) {
            const int i = reversed ? n - 1 - j : j;
            text += (i % 2 ? "k" : "K") + std::to_string(i) + "=" + (i == 0 ? first : others) + "\r\n";
        }
        return text + tail;
    };
    const MergeOutcome outcome = mergeCardFiles(side(false, "b", "b", ""), side(true, "o", "b", ""),
        side(false, "b", "t", "k1=never read\r\n[S]\r\nk2=nor this\r\n"), 7);
    EXPECT_FALSE(outcome.problem);
    EXPECT_TRUE(outcome.conflicts.empty());
    EXPECT_EQ(outcome.bytes, side(true, "o", "t", ""));
}

TEST(CardMerge, WhatCannotBeMergedLeavesOursAsItIs)
{
    const std::string marked = "[Lv1]\r\n<<<<<<< ours\r\nHP=1\r\n=======\r\nHP=2\r\n>>>>>>> theirs\r\n";
    const MergeOutcome outcome = mergeCardFiles("[Lv1]\r\nHP=1\r\n", marked, "[Lv1]\r\nHP=3\r\n", 7);
    ASSERT_TRUE(outcome.problem);
    EXPECT_NE(outcome.problem->find("こちら"), std::string::npos);
    // A value theirs holds that ours' code page cannot.
    const std::string emoji = "\xFF\xFE" + profile::utf8ToUtf16("[Lv1]\r\nHP=\U0001F409\r\n", false);
    EXPECT_TRUE(mergeCardFiles("[Lv1]\r\nHP=1\r\n", "[Lv1]\r\nHP=1\r\n", emoji, 7).problem);
}

TEST(ProfileNames, FoldAsTheProfileStoreMatches)
{
    // Around every letter the store folds, each two characters code page 932
    // holds: the store finds one by the other exactly when they fold alike.
    const std::pair<char32_t, char32_t> ranges[] = {{0x40, 0x7B}, {0xBF, 0xFF}, {0x390, 0x3CA}, {0x3FF, 0x460},
        {0x215F, 0x2180}, {0x24B5, 0x24EA}, {0xFF20, 0xFF5B}};
    std::size_t matches = 0, characters = 0;
    for (const auto& [first, last] : ranges) {
        std::vector<std::string> names;
        for (char32_t c = first; c <= last; ++c) {
            std::string name;
            profile::appendUtf8(name, c);
            if (profile::utf8ToCp932(name) && name != "[" && name != "=" && name != ";")
                names.push_back(name);
        }
        characters += names.size();
        for (const std::string& a : names) {
            const profile::ProfileText text("\xEF\xBB\xBF[s]\r\n" + a + "=1\r\n");
            for (const std::string& b : names) {
                std::string value;
                text.get("s", b, "", value);
                EXPECT_EQ(value == "1", profile::foldedName(a) == profile::foldedName(b)) << a << " " << b;
                matches += value == "1";
            }
        }
    }
    // Each character finds itself, and each letter code page 932 holds in
    // both cases finds the other: at least A-Z, Α-Ω, А-Я and Ａ-Ｚ.
    EXPECT_GE(matches, characters + 2 * (26 + 24 + 32 + 26)) << characters;
}

}  // namespace
