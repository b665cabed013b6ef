// What only Windows has: the read-only attribute, files held open by other
// programs, device names, Japanese folder names and long paths at the *W
// calls, and the shell opening a file with the program registered for it.
#include "card_file.h"
#include "card_folder.h"
#include "card_export.h"
#include "card_import.h"
#include "card_set.h"
#include "file_io.h"
#include "open_with_system.h"
#include "profile_service.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>
#include <windows.h>
#include <sddl.h>

namespace {

using profile::fsPath;

std::wstring wide(const std::string& utf8) { return fsPath(utf8).wstring(); }

bool contains(const CardProblem& problem, const std::string& words)
{
    return problem && problem->find(words) != std::string::npos;
}

Card someCard(const std::string& rarity)
{
    Card card{rarity, "4", "1", 2, {}};
    card.Levels[0] = {"20", "10", "N/30P/1", "ひっかく", "ふぶき"};
    return card;
}

// Another program holding a file open (file_holder.exe beside this test),
// until the object goes.
class OtherProgram {
public:
    OtherProgram(const std::string& path, const char* sharing)
    {
        // The sign that the file is open goes into a folder of its own, so
        // the card's folder holds only what the program under test made.
        const std::string ready = signs_.file("ready.flag");
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE readEnd = nullptr;
        if (!CreatePipe(&readEnd, &input_, &inherit, 0))
            throw std::runtime_error("no pipe");
        SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
        std::wstring exe = fsPath(profile::programFolder()).wstring() + L"\\file_holder.exe";
        std::wstring line = L"\"" + exe + L"\" \"" + wide(path) + L"\" " + wide(sharing) + L" \"" + wide(ready) + L"\"";
        STARTUPINFOW start{};
        start.cb = sizeof start;
        start.dwFlags = STARTF_USESTDHANDLES;
        start.hStdInput = readEnd;
        start.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &process_))
            throw std::runtime_error("cannot start file_holder.exe");
        CloseHandle(readEnd);
        // Waits for the file to be open, however long a busy machine takes.
        while (GetFileAttributesW(wide(ready).c_str()) == INVALID_FILE_ATTRIBUTES) {
            DWORD code = 0;
            if (GetExitCodeProcess(process_.hProcess, &code) && code != STILL_ACTIVE)
                throw std::runtime_error("file_holder.exe ended with " + std::to_string(code));
            Sleep(10);
        }
    }
    ~OtherProgram()
    {
        CloseHandle(input_);  // lets it go
        WaitForSingleObject(process_.hProcess, INFINITE);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }

private:
    CardFolder signs_;
    HANDLE input_ = nullptr;
    PROCESS_INFORMATION process_{};
};

TEST(WindowsFiles, TheReadOnlyAttributeIsHonoured)
{
    CardFolder folder;
    const std::string path = folder.file("000.ini");
    ASSERT_FALSE(writeCard(path, someCard("1")));
    const std::string old = folder.read("000.ini");
    ASSERT_TRUE(SetFileAttributesW(wide(path).c_str(), FILE_ATTRIBUTE_READONLY));

    EXPECT_TRUE(contains(writeCard(path, someCard("2")), "ファイルが読み取り専用です"))
        << *writeCard(path, someCard("2"));
    EXPECT_FALSE(profile::writeProfileString("head", "rare", "2", path));
    EXPECT_EQ(profile::lastError(), EACCES);
    EXPECT_EQ(folder.read("000.ini"), old);
    EXPECT_EQ(GetFileAttributesW(wide(path).c_str()) & FILE_ATTRIBUTE_READONLY, DWORD(FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(folder.names(), std::set<std::string>{"000.ini"});
    SetFileAttributesW(wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(WindowsFiles, ACardHeldOpenByAnotherProgram)
{
    CardFolder folder;
    const std::string path = folder.file("000.ini");
    ASSERT_FALSE(writeCard(path, someCard("1")));
    const std::string old = folder.read("000.ini");
    {
        // Without delete sharing, the card cannot be replaced: Save says why
        // and leaves the card and the folder as they were.
        OtherProgram holder(path, "read");
        const CardProblem problem = writeCard(path, someCard("2"));
        EXPECT_TRUE(contains(problem, "ほかのプログラムがファイルを使用中です")) << problem.value_or("saved");
        EXPECT_EQ(folder.read("000.ini"), old);
        EXPECT_EQ(folder.names(), std::set<std::string>{"000.ini"});
        // Load shares everything: it reads what the other program holds.
        Card loaded;
        EXPECT_FALSE(readCard(path, loaded));
        EXPECT_EQ(loaded.Rarity, "1");
    }
    {
        // A program that shares everything is no obstacle to a Save.
        OtherProgram holder(path, "all");
        EXPECT_FALSE(writeCard(path, someCard("3")));
    }
    Card loaded;
    ASSERT_FALSE(readCard(path, loaded));
    EXPECT_EQ(loaded.Rarity, "3");
    EXPECT_EQ(folder.names(), std::set<std::string>{"000.ini"});
}

// The access list of a card's security descriptor as text ("D:(D;;FR;;;BG)...").
std::string accessListOf(const std::string& path)
{
    DWORD size = 0;
    GetFileSecurityW(wide(path).c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
    std::vector<unsigned char> descriptor(size);
    if (!GetFileSecurityW(wide(path).c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), size, &size))
        return "unreadable";
    LPWSTR text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(
            descriptor.data(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr))
        return "unreadable";
    const std::string result = profile::utf8Path(std::filesystem::path(text));
    LocalFree(text);
    return result;
}

// This user's SID as text ("S-1-5-21-...").
std::wstring userSid()
{
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size);
    GetTokenInformation(token, TokenUser, user.data(), size, &size);
    CloseHandle(token);
    LPWSTR text = nullptr;
    ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &text);
    std::wstring sid = text ? text : L"";
    LocalFree(text);
    return sid;
}

// A card only its owner may open (everyone else shut out) stays so after a
// Save or an import replaced it: the new file gets the card's access list
// before it gets the new content. (Wine keeps an access list as the file's
// mode bits: one that shuts out Everyone is what it can show.)
TEST(WindowsFiles, ACardsAccessListIsKept)
{
    CardFolder folder;
    const std::string path = folder.file("000.ini");
    ASSERT_FALSE(writeCard(path, someCard("1")));
    ASSERT_NE(accessListOf(path).find(";;;WD)"), std::string::npos) << "a new card is for everyone";
    PSECURITY_DESCRIPTOR ownerOnly = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        (L"D:P(A;;FA;;;" + userSid() + L")").c_str(), SDDL_REVISION_1, &ownerOnly, nullptr));
    ASSERT_TRUE(SetFileSecurityW(wide(path).c_str(), DACL_SECURITY_INFORMATION, ownerOnly));
    LocalFree(ownerOnly);
    const std::string list = accessListOf(path);
    ASSERT_EQ(list.find(";;;WD)"), std::string::npos) << list;

    ASSERT_FALSE(writeCard(path, someCard("2")));
    EXPECT_EQ(accessListOf(path), list);
    std::string table = csvStart();
    appendCsvRecord(table, CardRow{"000", someCard("3")});
    const ImportOutcome outcome = carryOut(planImport(table, folder.path()));
    ASSERT_FALSE(outcome.problem) << *outcome.problem;
    EXPECT_EQ(outcome.written.size(), 1u);
    EXPECT_EQ(accessListOf(path), list);
    EXPECT_EQ(folder.names(), std::set<std::string>{"000.ini"});
}

TEST(WindowsFiles, PathsAreComparedWithoutLetterCase)
{
    // The window remembers what it read by this key: "abc" and "ABC" are one card here.
    EXPECT_EQ(profile::samePathKey("C:\\Cards\\abc.ini"), profile::samePathKey("c:\\cards\\ABC.INI"));
    EXPECT_EQ(profile::samePathKey("C:\\カード\\ｅé.ini"), profile::samePathKey("C:\\カード\\ＥÉ.ini"));
    EXPECT_NE(profile::samePathKey("C:\\abc.ini"), profile::samePathKey("C:\\abd.ini"));
}

TEST(WindowsFiles, DeviceNamesAreNeverReadAsCards)
{
    CardFolder folder;
    for (const char* id : {"CON", "nul", "com1", "LPT1"}) {
        EXPECT_TRUE(checkCardId(id)) << id;
        std::string bytes;
        EXPECT_NE(profile::readFileOnce(cardFilePath(folder.path(), id), bytes), 0) << id;
    }
}

TEST(WindowsFiles, AFolderWithJapaneseAndASpace)
{
    CardFolder folder("カード 集");
    ASSERT_NE(folder.path().find("カード 集"), std::string::npos);
    const std::string path = cardFilePath(folder.path(), "竜");
    ASSERT_FALSE(writeCard(path, someCard("5")));
    Card loaded;
    ASSERT_FALSE(readCard(path, loaded));
    EXPECT_EQ(loaded.Levels[0].NomalWaza, "ひっかく");
    std::vector<CardFile> files;
    ASSERT_FALSE(findCardFiles(folder.path(), files));
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].id, "竜");
    EXPECT_TRUE(profile::pathExists(path));
}

TEST(WindowsFiles, PathsLongerThan260Characters)
{
    CardFolder folder;
    std::string deep = folder.path();
    while (deep.size() < 300) {
        deep += "\\" + std::string(40, 'd');
        ASSERT_TRUE(CreateDirectoryW(profile::fsPath(deep).wstring().insert(0, L"\\\\?\\").c_str(), nullptr));
    }
    const std::string path = cardFilePath(deep, "000");
    ASSERT_GT(path.size(), 300u);
    ASSERT_FALSE(writeCard(path, someCard("1"))) << *writeCard(path, someCard("1"));
    ASSERT_FALSE(writeCard(path, someCard("2")));  // replacing, too
    Card loaded;
    ASSERT_FALSE(readCard(path, loaded));
    EXPECT_EQ(loaded.Rarity, "2");
    EXPECT_EQ(profile::fileInfo(path).kind, profile::FileInfo::Kind::File);
    ASSERT_TRUE(profile::writeProfileString("head", "rare", "3", path)) << profile::lastError();
    ASSERT_FALSE(readCard(path, loaded));
    EXPECT_EQ(loaded.Rarity, "3");
    // Nothing is left behind but the card.
    std::vector<CardFile> files;
    ASSERT_FALSE(findCardFiles(deep, files));
    EXPECT_EQ(files.size(), 1u);
    const std::wstring pattern = L"\\\\?\\" + fsPath(deep).wstring() + L"\\*";
    WIN32_FIND_DATAW entry{};
    int names = 0;
    const HANDLE find = FindFirstFileW(pattern.c_str(), &entry);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do
        names += std::wstring_view(entry.cFileName) != L"." && std::wstring_view(entry.cFileName) != L".."
                 && std::wstring_view(entry.cFileName) != L".velmar.lock";
    while (FindNextFileW(find, &entry));
    FindClose(find);
    EXPECT_EQ(names, 1);
    // The test folder's clean-up cannot reach this deep on its own.
    DeleteFileW((L"\\\\?\\" + fsPath(path).wstring()).c_str());
    DeleteFileW((L"\\\\?\\" + fsPath(deep).wstring() + L"\\.velmar.lock").c_str());
    for (std::string d = deep; d.size() > folder.path().size(); d = profile::folderOf(d))
        RemoveDirectoryW((L"\\\\?\\" + fsPath(d).wstring()).c_str());
}

}  // namespace

// The shell opens a file with the program registered for its type: here a
// stand-in (fake_git.cpp, which writes its arguments to FAKE_GIT_LOG),
// registered for ".velmartest", as a browser is for ".html".
TEST(WindowsFiles, OpenWithSystemHandsTheFileToItsProgram)
{
    CardFolder folder("開く フォルダー");
    const std::string log = folder.file("opened.log"), file = folder.file("レポート a&b.velmartest");
    testsupport::writeBytes(file, "x");
    std::wstring exe = L"Z:" + wide(STAND_IN_OPENER);
    for (wchar_t& c : exe)
        if (c == L'/')
            c = L'\\';
    const auto setDefault = [](const wchar_t* key, const std::wstring& value) {
        HKEY handle;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr), 0);
        RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
            DWORD((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(handle);
    };
    setDefault(L".velmartest", L"VelmarTest.File");
    setDefault(L"VelmarTest.File\\shell\\open\\command", L"\"" + exe + L"\" \"%1\"");
    SetEnvironmentVariableW(L"FAKE_GIT_LOG", wide(log).c_str());

    const CardProblem opened = openWithSystem(file);
    for (int i = 0; i < 600 && !opened && !std::filesystem::exists(fsPath(log)); ++i)
        Sleep(100);
    SetEnvironmentVariableW(L"FAKE_GIT_LOG", nullptr);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"VelmarTest.File");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L".velmartest");
    ASSERT_EQ(opened, std::nullopt);
    EXPECT_EQ(testsupport::readBytes(log), file + "\n--\n");
    EXPECT_NE(openWithSystem(folder.file("missing.velmartest")), std::nullopt);
}
