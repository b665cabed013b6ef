#include "card_set.h"

#include "shown_name.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kExtension = ".ini";

// How often the progress report is told, in cards.
constexpr std::size_t kProgressStep = 64;

}  // namespace

CardProblem findCardFiles(const std::string& folder, std::vector<CardFile>& files)
{
    files.clear();
    std::error_code error;
    fs::directory_iterator it(folder, error);
    const auto cannotRead = [&] {
        files.clear();
        return "フォルダー「" + shownName(folder) + "」を読み込めませんでした：" + error.message();
    };
    if (error)
        return cannotRead();
    for (const fs::directory_iterator end; it != end; it.increment(error)) {
        if (error)
            return cannotRead();
        std::string name = it->path().filename().string();
        if (name.size() < kExtension.size() || !name.ends_with(kExtension))
            continue;
        std::error_code ignored;
        if (it->is_directory(ignored))
            continue;
        name.resize(name.size() - kExtension.size());
        files.push_back({std::move(name), it->path().string()});
    }
    if (error)
        return cannotRead();
    std::sort(files.begin(), files.end(), [](const CardFile& a, const CardFile& b) { return a.id < b.id; });
    return std::nullopt;
}

void forEachCard(const std::vector<CardFile>& files, const std::function<void(const CardRow&)>& visit,
    std::vector<std::string>& problems, const ProgressReport& progress)
{
    CardRow row;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (progress && i % kProgressStep == 0)
            progress(i, files.size());
        row.id = files[i].id;
        if (auto problem = readCard(files[i].path, row.card))
            problems.push_back(problem->substr(0, problem->rfind('\n')));  // the last line speaks of the window
        else
            visit(row);
    }
    if (progress)
        progress(files.size(), files.size());
}

CardSet readCardSet(const std::vector<CardFile>& files, const ProgressReport& progress)
{
    CardSet set;
    set.rows.reserve(files.size());
    forEachCard(
        files, [&](const CardRow& row) { set.rows.push_back(row); }, set.problems, progress);
    return set;
}
