#pragma once

// What the card file tests on every system and those on Linux alone share.

#include "card_file.h"
#include "card_folder.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

inline Card twoLevelCard()
{
    Card card{"3", "4", "1", 2, {}};
    card.Levels[0] = {"20", "10", "N/30P/1", "Strike", "Blast"};
    card.Levels[1] = {"30", "", "N/P/", "", ""};
    return card;
}

// Every failed save leaves the old card byte for byte and no temporary file.
class FailedSave : public ::testing::Test {
protected:
    CardFolder folder;
    const std::string old = "[head]\r\nrare=old\r\n";

    void SetUp() override { folder.write("000.ini", old); }
    void expectUntouched()
    {
        EXPECT_EQ(folder.read("000.ini"), old);
        EXPECT_EQ(folder.names(), std::set<std::string>{"000.ini"});
    }
};
