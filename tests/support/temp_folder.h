#pragma once

// A fresh folder for one test or benchmark, removed with everything in it
// afterwards, and byte-exact file helpers. Shared by the tests and benchmarks.

#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>

namespace testsupport {

// A UTF-8 path as the file system library takes it (on Windows the narrow
// strings are the ANSI code page, not UTF-8).
inline std::filesystem::path fsPath(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string utf8Of(const std::filesystem::path& path)
{
    const std::u8string u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
}

inline std::string readBytes(const std::string& path)
{
    std::ifstream in(fsPath(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(fsPath(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

inline mode_t modeOf(const std::string& path)
{
    struct stat st { };
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

// Puts a file's last write `minutes` back, as a run killed that long ago left it.
inline void makeOld(const std::string& path, int minutes)
{
    std::filesystem::last_write_time(
        fsPath(path), std::filesystem::file_time_type::clock::now() - std::chrono::minutes(minutes));
}

// Takes the write bits away, or gives them back (on Windows: sets or clears
// the read-only attribute).
inline void setReadOnly(const std::string& path, bool readOnly)
{
    using std::filesystem::perms;
    std::filesystem::permissions(fsPath(path), perms::owner_write | perms::group_write | perms::others_write,
        readOnly ? std::filesystem::perm_options::remove : std::filesystem::perm_options::add);
}

class TempFolder {
public:
    // `name` names the folder (it may hold any character, a space or
    // Japanese); a number makes it new.
    explicit TempFolder(const std::string& name = "velmar-test")
    {
        const auto base = std::filesystem::temp_directory_path();
        auto seed = std::uint64_t(std::random_device{}()) << 32 | std::random_device{}();
        for (int attempt = 0; attempt < 1000;
             ++attempt, seed = seed * 6364136223846793005ULL + 1442695040888963407ULL) {
            path_ = base / fsPath(name + "-" + std::to_string(seed % 1000000000));
            std::error_code error;
            if (std::filesystem::create_directory(path_, error))
                return;
        }
        throw std::runtime_error("cannot make a temporary folder");
    }
    ~TempFolder()
    {
        // Tests take write bits away; give them back so everything can go.
        std::error_code ignored;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored))
            if (entry.is_directory(ignored))
                std::filesystem::permissions(
                    entry.path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
        std::filesystem::permissions(
            path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string path() const { return utf8Of(path_); }
    std::string file(const std::string& name) const { return utf8Of(path_ / fsPath(name)); }
    std::string read(const std::string& name) const { return readBytes(file(name)); }
    void write(const std::string& name, const std::string& bytes) const { writeBytes(file(name), bytes); }

    // Every name in the folder, hidden ones included, but the lock file the
    // key writer keeps in a folder on Windows.
    std::set<std::string> names() const
    {
        std::set<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(path_))
            if (entry.path().filename() != ".velmar.lock")
                found.insert(utf8Of(entry.path().filename()));
        return found;
    }

private:
    std::filesystem::path path_;
};

}  // namespace testsupport
