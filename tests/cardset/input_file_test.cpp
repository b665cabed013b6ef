#include "card_folder.h"
#include "input_file.h"

#include <gtest/gtest.h>

#include <cerrno>

TEST(InputFile, ReadsARegularFileInPiecesAndAgainAfterRewinding)
{
    CardFolder folder;
    std::string bytes;
    for (int i = 0; i < 5000; ++i)
        bytes += std::to_string(i) + ",表\r\n";
    folder.write("テーブル.csv", bytes);
    InputFile file;
    ASSERT_EQ(file.open(folder.file("テーブル.csv")), 0);
    for (int reading = 0; reading < 2; ++reading) {
        std::string read;
        char piece[7];
        while (const std::size_t n = file.read(piece, sizeof piece))
            read.append(piece, n);
        EXPECT_EQ(file.error(), 0);
        EXPECT_EQ(read, bytes) << reading;
        ASSERT_TRUE(file.rewind());
    }
}

TEST(InputFile, AFolderOrNothingIsNoTable)
{
    CardFolder folder;
    InputFile missing, aFolder;
    EXPECT_EQ(missing.open(folder.file("none.csv")), ENOENT);
    EXPECT_EQ(aFolder.open(folder.path()), EISDIR);
}
