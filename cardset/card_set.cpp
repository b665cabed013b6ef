#include "card_set.h"

#include "read_ahead.h"
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
    struct ReadCard {
        CardRow row;
        CardProblem problem;
    };
    readAhead<ReadCard>(
        files.size(),
        [&](std::size_t i, ReadCard& read) {
            read.row.id = files[i].id;
            read.problem = readCard(files[i].path, read.row.card);
        },
        [&](std::size_t i, ReadCard& read) {
            if (progress && i % kProgressStep == 0)
                progress(i, files.size());
            if (read.problem)  // the last line speaks of the window
                problems.push_back(read.problem->substr(0, read.problem->rfind('\n')));
            else
                visit(read.row);
        });
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
