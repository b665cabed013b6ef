#pragma once

// Importing a card table (CSV, as export writes it and spreadsheet programs
// save it) into a card folder. Planning reads and checks everything and
// writes nothing; only a plan without problems is carried out, so one bad
// row leaves every card as it was.

#include "card_columns.h"
#include "table_encoding.h"
#include "table_input.h"

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
    // The table's encoding as the user gave it (--encoding); nullopt: told by
    // its byte-order mark, or else by its text.
    std::optional<TableEncoding> encoding;
};

// Problems listed at most: a table past them is not read further.
inline constexpr std::size_t kMaxImportProblems = 1000;

struct ImportPlan {
    std::string folder;
    TableEncoding encoding = TableEncoding::Utf8;
    std::vector<ImportCard> cards;        // in the table's order
    std::vector<ImportProblem> problems;  // every one found, by row; nothing may be written when any
    bool problemsCut = false;             // more than kMaxImportProblems: the first of them are listed
    bool tableUnreadable = false;         // the table could not be read (one of the problems says why)
    std::size_t count(CardChange change) const;
};

// Reads the table a record at a time (UTF-8, or code page 932 as Japanese
// Excel saves it, see ImportTable; never held whole, of any size; one record
// up to kMaxCsvRecordBytes) and compares each row with its card in `folder`.
// A row whose values are those Load reads from the card's file, or whose
// card Save would write as the very bytes the file holds, is unchanged: its
// file is not touched, whatever else it holds. A card file that holds merge
// conflicts is never unchanged: the import writes it, without markers. A new
// or changed card must pass the checks Save makes (ID, code page 932, control
// characters, the read limit, a card file that may be replaced). The plan
// holds, for each card to write, its new bytes and the old file's, nothing of
// the table.
ImportPlan planImport(TableInput& table, const std::string& folder, const ImportOptions& options = {});
ImportPlan planImport(std::string_view table, const std::string& folder, const ImportOptions& options = {});

// The steps of carrying out a plan, told as each is done with how many cards
// it has done in all: a new content written beside its card (Written, once
// per card), the round's contents durable (Durable, once per round), a card's
// file looked at again and found as planned, the folder's lock held, just
// before the card is put in place (Checked, with how many cards were
// checked; once per card), a card put in place (Replaced, once per card).
enum class ImportStep { Written, Durable, Checked, Replaced };
using ImportWatch = std::function<void(ImportStep step, std::size_t done)>;

// Bytes that another program (one that takes no folder lock: a game tool, a
// text editor, a shell's ">") wrote into a card after the import's last look
// at it and before the import's card replaced it, kept beside the card.
struct KeptWrite {
    std::size_t card = 0;  // index into the plan
    std::string path;      // where the bytes are
};

struct ImportOutcome {
    std::vector<std::size_t> written;  // cards (indices into the plan) put in place, in that order
    std::vector<std::size_t> skipped;  // cards whose file changed since planning: not written
    std::vector<KeptWrite> kept;       // cards written whose file was written at the last moment too
    CardProblem problem;               // why it stopped; cards not written are as they were
};

// Cards written per round of a large import: few enough that a killed import
// leaves at most this many temporary files and an import needs room on the
// disk for no more beside the cards; enough that a card set of 100,000 is one
// round, each card file created before any old one is freed (on some file
// systems a file created soon after many were freed nearby costs many times
// more: rounds of 16,384 made an import of 100,000 cards take twice as long).
inline constexpr std::size_t kCardsPerRound = 131072;

// Writes the new and changed cards of a plan without problems in durable
// rounds (profile/replace_batch.h): each card as Save writes it, a round's
// cards made durable together, then each put in place; the folder is flushed
// at the end. An import of up to `cardsPerRound` cards writes nothing unless
// all of its cards were written and made durable. Just before a card is put
// in place its file is read again, and the check and the replace hold the
// folder's lock (profile::FolderLock), taken card by card, so no Save, key
// writer or merge lands in between: a card whose file is no longer what
// planning read (a Save made meanwhile) is skipped, not overwritten. Bytes
// another program writes into a card in that last moment are kept beside it
// (`kept`) where the system can keep the file it replaces. A run that was
// stopped or killed can simply be repeated: the cards already written are
// then unchanged.
ImportOutcome carryOut(
    const ImportPlan& plan, const ImportWatch& watch = {}, std::size_t cardsPerRound = kCardsPerRound);
