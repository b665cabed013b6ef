// Going from card to card in a folder of 100,000 cards, with the window's own
// form over controls that draw nothing, each figure against its floor in the
// same run, rounds interleaved, medians compared:
//   - the first suggestions by ID: from the first keystroke in the ID box of
//     a window that has read nothing of the folder (target < 100 ms);
//   - the longest wait a keystroke can meet: each later keystroke, and each
//     idle step that reads move names (target < 50 ms);
//   - reading every card's move names, idle step after idle step, against
//     `velmar-cards list` of the same folder (target <= 1.5 x), and what the
//     window holds for them (heap in use, target <= 512 bytes a card);
//   - next card against one Load and one listing of the folder's names
//     (target <= 1.2 x);
//   - one look at whether the card on screen has unsaved changes (reported).
// Prints one line per target; exits 1 when a target is missed, 2 when
// something failed. Options: --rounds N (default 5), --cards N (default 100,000).

#include "bench_support.h"
#include "card_form.h"
#include "card_set.h"
#include "measure.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using bench::median;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The processor time of this thread: what a step cost without the waits
// that other programs on a busy machine put on it.
double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

[[noreturn]] void fail(const std::string& what) { throw std::runtime_error(what); }

// Controls that draw nothing: what the form shows is kept, nothing is asked.
class QuietControls final : public FormControls {
public:
    std::string texts[kTextBoxCount];
    int selected[kComboBoxCount] = {};
    std::size_t suggestionsShown = 0;
    bool idleWork = false;

    std::string text(TextBoxName box) const override { return texts[std::size_t(box)]; }
    void setText(TextBoxName box, const std::string& utf8) override { texts[std::size_t(box)] = utf8; }
    int selectedIndex(ComboBoxName list) const override { return selected[std::size_t(list)]; }
    void select(ComboBoxName list, int index) override { selected[std::size_t(list)] = index; }
    void checkLevelOption(LevelIndex) override { }
    void setFocus(TextBoxName) override { }
    void selectAll(TextBoxName) override { }
    void tellProblem(const std::string& message) override { fail("the form told: " + message); }
    bool askYesNo(const std::string&) override { fail("the form asked"); }
    SaveChangesAnswer askSaveChanges(const std::string&, bool) override { fail("the form asked to save"); }
    void showModified(bool) override { }
    void showSuggestions(const std::vector<std::string>& entries) override { suggestionsShown = entries.size(); }
    void workWhenIdle() override { idleWork = true; }
};

std::string idOf(int i)
{
    char id[16];
    std::snprintf(id, sizeof id, "%06d", i);
    return id;
}

// Full cards whose move names differ from card to card.
void fillFolder(const std::string& folder, int count)
{
    Card card = bench::fullCard();
    for (int i = 0; i < count; ++i) {
        card.Levels[1].NomalWaza = "Move" + std::to_string(i);
        const std::string bytes = cardFileBytes(card);
        const int fd = ::open(cardFilePath(folder, idOf(i)).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size()))
            fail("cannot fill " + folder);
        ::close(fd);
    }
}

double listCommand(const std::string& folder)
{
    const char* argv[] = {VELMAR_CARDS, "list", folder.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char**>(argv), environ) != 0)
        fail("cannot start velmar-cards");
    int status = 0;
    ::waitpid(pid, &status, 0);
    const double seconds = secondsSince(start);
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail("velmar-cards list failed");
    return seconds;
}

struct Suggesting {
    double firstKey = 0;     // the first keystroke, the folder listed meanwhile
    double longestWait = 0;  // the longest later keystroke or idle step, wall-clock
    double longestKey = 0, longestStep = 0;
    double firstKeyCpu = 0, longestStepCpu = 0;
    double readAll = 0;       // every idle step until all move names are read
    double bytesPerCard = 0;  // the heap the form holds for them
};

// A fresh window's ID box used: "0" typed, the move names read while idle
// with a keystroke now and then, as a user types on.
Suggesting suggestInFreshWindow(const std::string& folder, int cards)
{
    Suggesting s;
    const std::size_t heapBefore = mallinfo2().uordblks;
    QuietControls controls;
    CardForm form(controls, folder);
    form.Form_Load();
    const auto start = Clock::now();
    const double startCpu = threadSeconds();
    controls.texts[std::size_t(TextBoxName::txtID)] = "0";
    form.txtID_Change();
    s.firstKey = secondsSince(start);
    s.firstKeyCpu = threadSeconds() - startCpu;
    if (controls.suggestionsShown == 0 || !controls.idleWork)
        fail("no suggestions for the first keystroke");
    const char* typing[] = {"00", "000", "0001", "move12", "Move99999", "zz"};
    std::size_t steps = 0;
    for (bool more = true; more; ++steps) {
        const auto step = Clock::now();
        const double stepCpu = threadSeconds();
        more = form.readSomeCards();
        const double seconds = secondsSince(step);
        s.longestStepCpu = std::max(s.longestStepCpu, threadSeconds() - stepCpu);
        s.readAll += seconds;
        s.longestStep = std::max(s.longestStep, seconds);
        if (steps % 40 == 0) {  // a keystroke between idle steps
            const auto key = Clock::now();
            controls.texts[std::size_t(TextBoxName::txtID)] = typing[(steps / 40) % std::size(typing)];
            form.txtID_Change();
            s.longestKey = std::max(s.longestKey, secondsSince(key));
        }
    }
    s.longestWait = std::max(s.longestKey, s.longestStep);
    std::printf("  round: first keystroke %.1f ms (%.1f ms processor), longest later keystroke %.1f ms, longest "
                "idle step %.1f ms (%.1f ms processor), %zu idle steps\n",
        s.firstKey * 1e3, s.firstKeyCpu * 1e3, s.longestKey * 1e3, s.longestStep * 1e3, s.longestStepCpu * 1e3, steps);
    s.bytesPerCard = double(mallinfo2().uordblks - heapBefore) / cards;
    return s;
}

// Next card from the middle of the folder, and its floor: one listing of the
// folder's card names and one read of a card as Load reads it.
void nextCard(const std::string& folder, int cards, double& next, double& floor)
{
    QuietControls controls;
    CardForm form(controls, folder);
    form.Form_Load();
    controls.texts[std::size_t(TextBoxName::txtID)] = idOf(cards / 2);
    form.cmdLoad_Click();
    auto start = Clock::now();
    form.mnuFileNext_Click();
    next = secondsSince(start);
    if (controls.texts[std::size_t(TextBoxName::txtID)] != idOf(cards / 2 + 1))
        fail("next card did not load the next card");

    start = Clock::now();
    std::size_t names = 0;
    Card card;
    if (listCardIds(folder, [&](std::string_view) { ++names; })
        || readCard(cardFilePath(folder, idOf(cards / 2 + 2)), card))
        fail("cannot read the folder");
    floor = secondsSince(start);
}

double oneComparison(const std::string& folder)
{
    QuietControls controls;
    CardForm form(controls, folder);
    form.Form_Load();
    controls.texts[std::size_t(TextBoxName::txtID)] = idOf(1);
    form.cmdLoad_Click();
    constexpr int kLooks = 10000;
    int modified = 0;
    const auto start = Clock::now();
    for (int i = 0; i < kLooks; ++i)
        modified += form.isModified();
    const double seconds = secondsSince(start) / kLooks;
    if (modified != 0)
        fail("a loaded card counts as changed");
    return seconds;
}

}  // namespace

int main(int argc, char** argv)
{
    int rounds = 5, cards = 100000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--cards") == 0)
            cards = std::atoi(argv[i + 1]);
    }
    try {
        const bench::ScratchFolder folder;
        fillFolder(folder.path(), cards);
        std::printf("%d cards in %s\n", cards, folder.path().c_str());
        std::vector<double> firstKey, longestWait, readAll, list, perCard, next, nextFloor;
        for (int r = 0; r < rounds; ++r) {
            list.push_back(listCommand(folder.path()));
            const Suggesting s = suggestInFreshWindow(folder.path(), cards);
            firstKey.push_back(s.firstKey);
            longestWait.push_back(s.longestWait);
            readAll.push_back(s.readAll);
            perCard.push_back(s.bytesPerCard);
            double n = 0, f = 0;
            nextCard(folder.path(), cards, n, f);
            next.push_back(n);
            nextFloor.push_back(f);
        }
        const double comparison = oneComparison(folder.path());
        const double longest = *std::max_element(longestWait.begin(), longestWait.end());
        std::printf("first suggestions %.1f ms; longest keystroke or idle step %.1f ms (worst of %d rounds)\n",
            median(firstKey) * 1e3, longest * 1e3, rounds);
        std::printf("move names of every card %.3f s, velmar-cards list %.3f s: %.2f x; %.0f bytes a card held\n",
            median(readAll), median(list), median(readAll) / median(list), median(perCard));
        std::printf("next card %.1f ms, one listing and one Load %.1f ms: %.2f x\n", median(next) * 1e3,
            median(nextFloor) * 1e3, median(next) / median(nextFloor));
        std::printf("one look for unsaved changes: %.2f us (reported)\n", comparison * 1e6);

        bench::Targets targets;
        targets.check(
            median(firstKey) < 0.1, "first suggestions by ID: %.1f ms (target < 100 ms)", median(firstKey) * 1e3);
        targets.check(longest < 0.05, "longest wait of a keystroke: %.1f ms (target < 50 ms)", longest * 1e3);
        targets.check(median(readAll) <= 1.5 * median(list),
            "move names of every card / velmar-cards list: %.2f (target <= 1.5)", median(readAll) / median(list));
        targets.check(
            median(perCard) <= 512, "held for the suggestions: %.0f bytes a card (target <= 512)", median(perCard));
        targets.check(median(next) <= 1.2 * median(nextFloor),
            "next card / (one listing + one Load): %.2f (target <= 1.2)", median(next) / median(nextFloor));
        return targets.report();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "browsing_bench: %s\n", e.what());
        return 2;
    }
}
