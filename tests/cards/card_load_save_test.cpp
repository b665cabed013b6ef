// What can go wrong around a card file: a Load racing a Save or meeting an odd
// file, values a reader would cut, someone else's card saved by root, no
// program folder, a file-size limit, a folder this user cannot write.
#include "card_file.h"
#include "card_folder.h"
#include "code_page.h"
#include "file_io.h"
#include "ini_access.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>

namespace {

bool contains(const std::optional<std::string>& problem, const std::string& text)
{
    return problem && problem->find(text) != std::string::npos;
}

TEST(CardLoad, GivesWhatTwentyFourGetINIDataCallsGive)
{
    // Card-like files with the reader's hard cases: long values around the
    // 255-byte cut, two-byte characters at it, other letter case, repeated
    // keys and sections, quotes, blanks, byte-order marks.
    std::mt19937 rng(77);
    const char* keys[] = {"rare", "maxlv", "minlv", "super", "HP", "P", "S", "1", "2", "hp", "Rare", "x"};
    const char* sections[] = {"head", "Lv1", "Lv2", "Lv3", "Lv4", "HEAD", "lv2", "Lv5"};
    const auto valueOf = [&] {
        switch (rng() % 5) {
        case 0: return std::string(250 + rng() % 10, 'v');
        case 1: return std::string(253 + rng() % 3, 'x') + "\x82\xA0" + "y";
        case 2: return std::string(" \"q") + std::to_string(rng() % 100) + "\" ";
        case 3: return std::string("\x83\x5C\x95\x5C");
        default: return std::to_string(rng() % 4);
        }
    };
    CardFolder folder;
    for (int round = 0; round < 300; ++round) {
        std::string text = round % 5 == 0 ? "\xEF\xBB\xBF" : "";
        for (int s = 0, ns = 1 + int(rng() % 6); s < ns; ++s) {
            text += "[" + std::string(sections[rng() % std::size(sections)]) + "]\r\n";
            for (int k = 0, nk = int(rng() % 7); k < nk; ++k)
                text += std::string(keys[rng() % std::size(keys)]) + (rng() % 2 ? "=" : " = ") + valueOf() + "\r\n";
        }
        if (round % 5 == 0)
            text = "\xEF\xBB\xBF" + profile::cp932ToUtf8(text.substr(3));
        // A new file each round: ext4 flushes a file that is truncated and rewritten.
        const std::string path = folder.file(std::to_string(round) + ".ini");
        folder.write(std::to_string(round) + ".ini", text);

        Card card;
        ASSERT_FALSE(readCard(path, card));
        INIAccess ini;
        ini.FileName = path;
        ini.Section = "head";
        ASSERT_EQ(card.Rarity, ini.GetINIData("rare")) << round;
        ASSERT_EQ(card.MaxLv, ini.GetINIData("maxlv")) << round;
        ASSERT_EQ(card.MinLv, ini.GetINIData("minlv")) << round;
        for (int n = 1; n <= 4; ++n) {
            ini.Section = "Lv" + std::to_string(n);
            const LevelRecord expected{ini.GetINIData("HP"), ini.GetINIData("P"), ini.GetINIData("S"),
                ini.GetINIData("1"), ini.GetINIData("2")};
            ASSERT_EQ(card.Levels[n - 1], expected) << round << " level " << n;
        }
    }
}

TEST(CardSave, RefusesAValueAReaderWouldCut)
{
    CardFolder folder;
    const std::string path = folder.file("000.ini");
    std::string a127;
    for (int i = 0; i < 127; ++i)
        a127 += "あ";
    Card card;
    card.Levels[1] = {"1", "", "", a127, std::string(255, 'e')};
    ASSERT_FALSE(writeCard(path, card));  // 254 and 255 bytes come back whole
    Card back;
    ASSERT_FALSE(readCard(path, back));
    EXPECT_EQ(back.Levels[1].NomalWaza, a127);
    EXPECT_EQ(back.Levels[1].ExtWaza, std::string(255, 'e'));

    const std::string saved = folder.read("000.ini");
    card.Levels[1].NomalWaza = a127 + "あ";  // 256 bytes
    const auto problem = writeCard(path, card);
    EXPECT_TRUE(contains(problem, "レベル2の通常技")) << problem.value_or("");
    EXPECT_TRUE(contains(problem, "256バイト"));
    card.Levels[1].NomalWaza = a127;
    card.Rarity = std::string(256, 'r');
    EXPECT_TRUE(contains(writeCard(path, card), "星が256バイト"));
    EXPECT_EQ(folder.read("000.ini"), saved);
    EXPECT_EQ(folder.names(), std::set<std::string>{"000.ini"});
}

TEST(CardSave, LookAlikesAreSavedAsWindowsSavesThemAndVanishingCharactersRefused)
{
    CardFolder folder;
    const std::string path = folder.file("000.ini");
    Card card;
    for (const profile::LookAlike& pair : profile::cp932LookAlikes())
        profile::appendUtf8(card.Rarity, pair.written);
    ASSERT_FALSE(writeCard(path, card));
    EXPECT_EQ(folder.read("000.ini").substr(0, 31),
        "[head]\r\nrare=\x81\x60\x81\x7C\x81\x61\x81\x5C\x81\x91\x81\x92\x81\xCA\x5C\x7E\r\n");

    const std::string saved = folder.read("000.ini");
    card.Rarity = "5\xF3\xA0\x80\x81";  // 5 and the tag character U+E0001, which iconv drops
    const auto problem = writeCard(path, card);
    EXPECT_TRUE(contains(problem, "U+E0001")) << problem.value_or("");
    EXPECT_EQ(folder.read("000.ini"), saved);
}

}  // namespace
