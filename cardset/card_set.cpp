#include "card_set.h"

#include "file_io.h"
#include "profile_service.h"
#include "read_ahead.h"
#include "shown_name.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::string_view kExtension = ".ini";

// How often the progress report is told, in cards.
constexpr std::size_t kProgressStep = 64;

}  // namespace

CardProblem listCardIds(const std::string& folder, const std::function<void(std::string_view id)>& visit)
{
    if (const int error = profile::listFolder(folder, [&](std::string_view name, bool isFolder) {
            if (!isFolder && name.size() >= kExtension.size() && name.ends_with(kExtension))
                visit(name.substr(0, name.size() - kExtension.size()));
        }))
        return "フォルダー「" + shownName(folder) + "」を読み込めませんでした：" + std::strerror(error);
    return std::nullopt;
}

CardProblem findCardFiles(const std::string& folder, std::vector<CardFile>& files)
{
    files.clear();
    const std::string inFolder = profile::joinPath(folder, "");
    if (auto problem = listCardIds(folder, [&](std::string_view id) {
            files.push_back({std::string(id), inFolder + std::string(id) + std::string(kExtension)});
        })) {
        files.clear();
        return problem;
    }
    std::sort(files.begin(), files.end(), [](const CardFile& a, const CardFile& b) { return a.id < b.id; });
    return std::nullopt;
}

std::string unresolvedConflicts(const std::string& path, const std::vector<CardConflict>& conflicts)
{
    std::string lines;
    for (const CardConflict& conflict : conflicts)
        lines += (lines.empty() ? "行" : "、行") + std::to_string(conflict.line);
    return "「" + shownName(path) + "」にはマージの衝突が解決されないまま残っています（" + lines
           + "）。各衝突の「こちら」側の値を示します。";
}

std::string cardSetProblem(const std::string& readProblem) { return readProblem.substr(0, readProblem.rfind('\n')); }

void forEachCard(const std::vector<CardFile>& files, const std::function<void(const CardRow&)>& visit,
    std::vector<std::string>& problems, const ProgressReport& progress)
{
    struct ReadCard {
        CardRow row;
        CardProblem problem;
        std::vector<CardConflict> conflicts;
    };
    readAhead<ReadCard>(
        files.size(),
        [&](std::size_t i, ReadCard& read) {
            read.row.id = files[i].id;
            read.problem = readCard(files[i].path, read.row.card, nullptr, nullptr, &read.conflicts);
        },
        [&](std::size_t i, ReadCard& read) {
            if (progress && i % kProgressStep == 0)
                progress(i, files.size());
            if (read.problem) {
                problems.push_back(cardSetProblem(*read.problem));
                return;
            }
            if (!read.conflicts.empty())
                problems.push_back(unresolvedConflicts(files[i].path, read.conflicts));
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
