// INIAccess: the tests it makes before touching the file, and keys through it.
#include "file_io.h"
#include "ini_access.h"
#include "profile_service.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

using testsupport::readBytes;
using testsupport::TempFolder;
using testsupport::writeBytes;

namespace {

TEST(INIAccess, StartsEmptyAndDoesNothingWithoutFileOrSection)
{
    TempFolder dir;
    INIAccess ini;
    EXPECT_EQ(ini.FileName, "");
    EXPECT_EQ(ini.Section, "");
    EXPECT_FALSE(ini.SetINIData("k", "v", "a"));
    EXPECT_EQ(ini.GetINIData("k", "a"), "");
    EXPECT_EQ(ini.Section, "");  // the missing file name is tested first

    ini.FileName = dir.file("card.ini");
    EXPECT_FALSE(ini.SetINIData("k", "v"));
    EXPECT_EQ(ini.GetINIData("k"), "");
    EXPECT_TRUE(dir.names().empty());
}

TEST(INIAccess, SectionArgumentIsSticky)
{
    TempFolder dir;
    INIAccess ini;
    ini.FileName = dir.file("card.ini");
    ini.Section = "head";
    EXPECT_TRUE(ini.SetINIData("Rarelity", "3"));
    EXPECT_TRUE(ini.SetINIData("MaxHP", "120", "Lv1"));
    EXPECT_EQ(ini.Section, "Lv1");
    EXPECT_TRUE(ini.SetINIData("Power", "40"));
    EXPECT_EQ(readBytes(ini.FileName), "[head]\r\nRarelity=3\r\n[Lv1]\r\nMaxHP=120\r\nPower=40\r\n");

    EXPECT_EQ(ini.GetINIData("Rarelity", "head"), "3");
    EXPECT_EQ(ini.Section, "head");
    EXPECT_EQ(ini.GetINIData("Power"), "");
    EXPECT_EQ(ini.GetINIData("power", "lv1"), "40");
}

TEST(INIAccess, ReadOfAMissingFileCreatesNothingAndKeepsTheSection)
{
    TempFolder dir;
    INIAccess ini;
    ini.FileName = dir.file("000.ini");
    ini.Section = "head";
    EXPECT_EQ(ini.GetINIData("MaxHP", "Lv1"), "");
    EXPECT_EQ(ini.Section, "head");
    EXPECT_FALSE(profile::pathExists(ini.FileName));
}

TEST(INIAccess, ValuesRoundTrip)
{
    TempFolder dir;
    INIAccess ini;
    ini.FileName = dir.file("card.ini");
    ini.Section = "head";
    ASSERT_TRUE(ini.SetINIData("Name", "このカードはスーパーカード"));
    ASSERT_TRUE(ini.SetINIData("Empty", ""));
    ASSERT_TRUE(ini.SetINIData("Long", std::string(300, 'a')));
    std::string kana;
    for (int i = 0; i < 128; ++i)
        kana += "カ";  // 256 bytes in code page 932
    ASSERT_TRUE(ini.SetINIData("Kana", kana));
    EXPECT_EQ(ini.GetINIData("Name"), "このカードはスーパーカード");
    EXPECT_EQ(ini.GetINIData("Empty"), "");
    EXPECT_NE(readBytes(ini.FileName).find("\r\nEmpty=\r\n"), std::string::npos);
    EXPECT_EQ(ini.GetINIData("Long"), std::string(255, 'a'));
    EXPECT_EQ(ini.GetINIData("Kana"), kana.substr(0, 127 * 3));

    EXPECT_FALSE(ini.SetINIData("Name", "Pokémon"));
    EXPECT_EQ(profile::lastError(), EILSEQ);
    EXPECT_EQ(ini.GetINIData("Name"), "このカードはスーパーカード");
}

TEST(INIAccess, AppPathFilenameJoinsTheProgramFolder)
{
    // "/" and "/tool" on Linux, "C:\" and "C:\tool" on Windows.
    const std::string sep(1, profile::pathSeparator());
    const std::string root = sep == "/" ? "/" : "C:\\";
    EXPECT_EQ(profile::joinPath(root, "a.ini"), root + "a.ini");
    EXPECT_EQ(profile::joinPath(root + "tool", "a.ini"), root + "tool" + sep + "a.ini");
    EXPECT_EQ(profile::joinPath(root + "tool" + sep, "a.ini"), root + "tool" + sep + "a.ini");

    // The program folder is the one holding this test program.
    const std::string folder = profile::programFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_FALSE(profile::isPathSeparator(folder.back()));
    EXPECT_TRUE(
        profile::pathExists(folder + sep + "profile_tests") || profile::pathExists(folder + sep + "profile_tests.exe"));
    INIAccess ini;
    ini.SetAppPathFilename("a.ini");
    EXPECT_EQ(ini.FileName, folder + sep + "a.ini");
}

}  // namespace
