#include "card_set.h"

#include "file_io.h"
#include "profile_service.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::string_view kExtension = ".ini";

// How often the progress report is told, in cards.
constexpr std::size_t kProgressStep = 64;

}  // namespace

CardProblem findCardFiles(const std::string& folder, std::vector<CardFile>& files)
{
    files.clear();
    const int error = profile::listFolder(folder, [&](std::string_view name, bool isFolder) {
        if (isFolder || name.size() < kExtension.size() || !name.ends_with(kExtension))
            return;
        files.push_back(
            {std::string(name.substr(0, name.size() - kExtension.size())), profile::joinPath(folder, name)});
    });
    if (error) {
        files.clear();
        return "フォルダー「" + folder + "」を読み込めませんでした：" + std::strerror(error);
    }
    std::sort(files.begin(), files.end(), [](const CardFile& a, const CardFile& b) { return a.id < b.id; });
    return std::nullopt;
}

CardSet readCardSet(const std::vector<CardFile>& files, const ProgressReport& progress)
{
    CardSet set;
    set.rows.reserve(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (progress && i % kProgressStep == 0)
            progress(i, files.size());
        CardRow row{files[i].id, {}};
        if (auto problem = readCard(files[i].path, row.card))
            set.problems.push_back(problem->substr(0, problem->find('\n')));  // the rest speaks of the window
        else
            set.rows.push_back(std::move(row));
    }
    if (progress)
        progress(files.size(), files.size());
    return set;
}
