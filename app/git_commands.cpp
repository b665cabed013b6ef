#include "git_commands.h"

#include "card_file.h"
#include "card_list.h"
#include "card_merge.h"
#include "card_show.h"
#include "console.h"
#include "file_io.h"
#include "shown_name.h"
#include "staged_cards.h"

#include <cerrno>
#include <charconv>

namespace {

constexpr int kOk = 0, kFound = 1, kFailed = 2;

void complain(std::string_view text) { console::write(console::Stream::Err, terminalSafe(text)); }

// Why a file cannot be read as a card, in the words Load uses.
std::string unreadable(int error)
{
    switch (error) {
    case ENOENT: return "ファイルがありません。";
    case EISDIR: return "フォルダーです。";
    case EINVAL: return "通常のファイルではありません。";
    case EFBIG: return "カードのファイルにしては大きすぎます。";
    default: return systemReason(error);
    }
}

// Puts the merged card in place of ours, under the lock of its folder when
// that is a folder where cards are written (git's own temporary file beside
// the repository's files gets no lock file), and only while ours is still
// what the merge read: never half-written, nothing left on failure; not
// flushed, as git does not flush the files it hands a driver either.
CardProblem replaceOurs(const std::string& path, const std::string& read, const std::string& merged)
{
    const std::string folder = profile::folderOf(path);
    const profile::FolderLock lock(folder, profile::FolderLock::IfMissing::Skip);
    if (lock.error())
        return "「" + shownName(path) + "」に書き込めませんでした：" + folderLockReason(folder, lock.error());
    std::string now;
    if (profile::readFileOnce(path, now) != 0 || now != read)
        return "「" + shownName(path) + "」がマージの間にほかで書き換えられました。";
    if (const profile::ReplaceResult written = profile::replaceFile(path, merged, false); !written.ok())
        return "「" + shownName(path) + "」に書き込めませんでした：" + systemReason(written.error);
    return std::nullopt;
}

}  // namespace

int showCard(const std::string& path)
{
    std::string bytes;
    if (const int err = profile::readFileOnce(path, bytes)) {
        complain("velmar-cards: 「" + shownName(path) + "」を読み込めませんでした：" + unreadable(err) + "\n");
        return kFailed;
    }
    console::write(console::Stream::Out, cardFileText(bytes));
    return kOk;
}

int mergeCard(const std::vector<std::string>& positional)
{
    if (positional.size() < 3 || positional.size() > 5) {
        complain("velmar-cards: merge には BASE OURS THEIRS [PATH] を指定してください。\n"
                 "詳しくは: velmar-cards merge --help\n");
        return kFailed;
    }
    std::size_t markerSize = kConflictMarkerSize;
    if (positional.size() == 5) {
        const std::string& size = positional[3];
        const auto [end, error] = std::from_chars(size.data(), size.data() + size.size(), markerSize);
        if (error != std::errc() || end != size.data() + size.size() || markerSize == 0 || markerSize > 256) {
            complain("velmar-cards: 衝突の印の長さ「" + shownName(size) + "」は数ではありません。\n");
            return kFailed;
        }
    }
    const std::string& oursPath = positional[1];
    const std::string card = positional.size() >= 4 ? positional.back() : oursPath;
    // A side that cannot be read leaves ours as it was; git then marks the card conflicted.
    static const char* const names[] = {"共通の版", "こちら", "相手"};
    std::string sides[3];
    for (int i = 0; i < 3; ++i)
        if (const int err = profile::readFileOnce(positional[std::size_t(i)], sides[i])) {
            complain("velmar-cards: " + shownName(card) + ": " + names[i] + "のファイル「"
                     + shownName(positional[std::size_t(i)]) + "」を読み込めませんでした：" + unreadable(err)
                     + "\nマージしていません（こちらの版のままです）。\n");
            return kFound;
        }
    const MergeOutcome outcome = mergeCardFiles(sides[0], sides[1], sides[2], markerSize);
    if (outcome.problem) {
        complain("velmar-cards: " + shownName(card) + ": " + *outcome.problem
                 + "\nマージしていません（こちらの版のままです）。\n");
        return kFound;
    }
    if (outcome.bytes != sides[1]) {
        if (auto problem = replaceOurs(oursPath, sides[1], outcome.bytes)) {
            complain("velmar-cards: " + shownName(card) + ": " + *problem
                     + "\nマージしていません（こちらの版のままです）。\n");
            return kFound;
        }
    }
    for (const MergeConflict& conflict : outcome.conflicts)
        complain("velmar-cards: マージの衝突: " + shownName(card) + ": " + describe(conflict) + "\n");
    return outcome.conflicts.empty() ? kOk : kFound;
}

int checkStaged()
{
    std::string stream;
    if (!console::readInput(stream)) {
        complain("velmar-cards: 標準入力を読めませんでした。\n");
        return kFailed;
    }
    std::vector<StagedCard> cards;
    if (auto problem = readStagedCards(stream, cards)) {
        complain("velmar-cards: " + *problem + "\n");
        return kFailed;
    }
    const StagedReport report = checkStagedCards(cards);
    if (report.refusedCards == 0)
        return kOk;
    complain(report.text);
    complain("velmar-cards: コミットしようとしているカードのうち " + std::to_string(report.refusedCards)
             + " 枚に、エディターが保存しない値かマージの衝突があるため、コミットを止めました。"
               "直して git add してから、もう一度コミットしてください。\n");
    return kFound;
}
