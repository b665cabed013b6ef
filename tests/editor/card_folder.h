#pragma once

// A fresh program folder for one test, and byte-exact file helpers.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

class CardFolder {
public:
    CardFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmar-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        path_ = pattern;
    }
    ~CardFolder()
    {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    CardFolder(const CardFolder&) = delete;
    CardFolder& operator=(const CardFolder&) = delete;

    std::string path() const { return path_.string(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

    std::string read(const std::string& name) const
    {
        std::ifstream in(path_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(path_ / name, std::ios::binary) << bytes;
    }
    // Every name in the folder, hidden ones included.
    std::set<std::string> names() const
    {
        std::set<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(path_))
            found.insert(entry.path().filename().string());
        return found;
    }

private:
    std::filesystem::path path_;
};

// The card file of the example with two filled levels, as Windows writes it.
inline const std::string kTwoLevelCard =
    "[head]\r\nrare=3\r\nmaxlv=4\r\nminlv=1\r\nsuper=2\r\n"
    "[Lv1]\r\nHP=20\r\nP=10\r\n1=Strike\r\nS=N/30P/1\r\n2=Blast\r\n"
    "[Lv2]\r\nHP=30\r\n";
