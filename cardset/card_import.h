#pragma once

// Importing a card table (CSV, as export writes it and spreadsheet programs
// save it) into a card folder. Planning reads and checks everything and
// writes nothing; only a plan without problems is carried out, so one bad
// row leaves every card as it was.

#include "card_columns.h"
#include "table_encoding.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A problem of the table: its row (1-based, the header is row 1; 0 for the
// table as a whole), the column it is in (nullptr for the whole row) and why.
struct ImportProblem {
    std::size_t row = 0;
    const CardColumn* column = nullptr;
    std::string reason;
};

// "行3、列「Lv2.P」（レベル2の通常技のP）：reason"
std::string describe(const ImportProblem& problem);

enum class CardChange { New, Changed, Unchanged };

struct ImportCard {
    std::string id;
    std::string path;
    CardChange change = CardChange::Unchanged;
    std::optional<std::string> fileBytes;  // the file as planning read it; nullopt when there was none
    std::string newBytes;                  // what Save writes for the row (new and changed cards)
    bool resolvesConflicts = false;        // the file holds merge conflicts: written, never unchanged
};

struct ImportOptions {
    // A row whose all-digit ID makes a new card beside a card of the same
    // number with leading zeros ("7" beside "007") is a problem unless this
    // is set: a spreadsheet that read the ID as a number drops the zeros.
    bool newIds = false;
};

struct ImportPlan {
    std::string folder;
    TableEncoding encoding = TableEncoding::Utf8;
    std::vector<ImportCard> cards;        // in the table's order
    std::vector<ImportProblem> problems;  // every one found, by row; nothing may be written when any
    std::size_t count(CardChange change) const;
};

// Reads the table (UTF-8, or code page 932 as Japanese Excel saves it, see
// decodeTable) and compares each row with its card in `folder`. A row whose
// values are those Load reads from the card's file, or whose card Save would
// write as the very bytes the file holds, is unchanged: its file is not
// touched, whatever else it holds. A card file that holds merge conflicts is
// never unchanged: the import writes it, without markers. A new or changed card must pass the checks
// Save makes (ID, code page 932, control characters, the read limit, a card
// file that may be replaced).
ImportPlan planImport(std::string_view table, const std::string& folder, const ImportOptions& options = {});

// The steps of carrying out a plan, told as each is done with how many cards
// it has done in all: a new content written beside its card (Written, once
// per card), the round's contents durable (Durable, once per round), a card
// put in place (Replaced, once per card).
enum class ImportStep { Written, Durable, Replaced };
using ImportWatch = std::function<void(ImportStep step, std::size_t done)>;

struct ImportOutcome {
    std::size_t written = 0;           // cards put in place
    std::vector<std::size_t> skipped;  // cards (indices into the plan) whose file changed since planning
    CardProblem problem;               // why it stopped; cards not written are as they were
};

// Cards written per round of a large import: enough that each round's one
// flush is cheap per card, few enough that the old files a round takes out of
// place are soon rewritten with the next round's cards.
inline constexpr std::size_t kCardsPerRound = 2048;

// Writes the new and changed cards of a plan without problems in durable
// rounds (profile/replace_batch.h): each card as Save writes it, a round's
// cards made durable together, then each put in place; the folder is flushed
// at the end. An import of up to `cardsPerRound` cards writes nothing unless
// all of its cards were written and made durable. Just before a card is put
// in place its file is read again; a card whose file is no longer what
// planning read (a Save made meanwhile) is skipped, not overwritten. A run
// that was stopped or killed can simply be repeated: the cards already
// written are then unchanged.
ImportOutcome carryOut(
    const ImportPlan& plan, const ImportWatch& watch = {}, std::size_t cardsPerRound = kCardsPerRound);
