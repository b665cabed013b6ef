#include "card_file.h"
#include "card_fingerprint.h"
#include "card_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

// The fingerprints Load and Save remember are those of the bytes the file
// holds, so a later look at the file tells whether someone else wrote it.
TEST(CardFingerprint, LoadAndSaveGiveWhatTheFileHolds)
{
    CardFolder folder;
    const std::string path = folder.file("000.ini");
    Card card;
    CardFingerprint seen{CardFingerprint::State::Unreadable};
    ASSERT_FALSE(readCard(path, card, &seen));
    EXPECT_EQ(seen, CardFingerprint{});  // no file
    EXPECT_TRUE(unchangedSince(seen, currentFingerprint(path)));

    card.Rarity = "3";
    ASSERT_FALSE(writeCard(path, card, &seen));
    EXPECT_TRUE(unchangedSince(seen, currentFingerprint(path)));
    CardFingerprint read;
    ASSERT_FALSE(readCard(path, card, &read));
    EXPECT_EQ(read, seen);

    folder.write("000.ini", folder.read("000.ini") + " ");
    EXPECT_FALSE(unchangedSince(seen, currentFingerprint(path)));
    std::filesystem::remove(path);
    EXPECT_FALSE(unchangedSince(seen, currentFingerprint(path)));

    // What cannot be read is never taken as unchanged.
    std::filesystem::create_directory(path);
    EXPECT_FALSE(unchangedSince(currentFingerprint(path), currentFingerprint(path)));
}
