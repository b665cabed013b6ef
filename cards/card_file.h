#pragma once

// A card's file: its name, its sections and keys, and moving a whole card
// between that file and memory. No widgets here; the window turns a card
// into controls and a failure message into a message box.

#include "card_fields.h"
#include "card_id.h"
#include "card_fingerprint.h"
#include "level_buffer.h"
#include "profile_text.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct Card {
    std::string Rarity;            // "rare"
    std::string MaxLv;             // "maxlv"
    std::string MinLv;             // "minlv"
    std::optional<int> SuperMode;  // "super", 0 to 3; none when missing or not such a number
    LevelBuffer Levels;
};

// A problem for the user, in the window's language; empty when all went well.
using CardProblem = std::optional<std::string>;

// path, followed by a "/" unless it already ends in one; "" stays "" (no
// folder is no path, never the root).
std::string AddBackslash(std::string path);

// The card file of an ID in the program folder: folder/ID.ini. Empty when the
// program folder is not known; readCard and writeCard then refuse.
std::string cardFilePath(const std::string& programFolder, const std::string& id);

// A field whose value the two sides of a merge conflict give differently.
struct ConflictField {
    int level = 0;  // 1 to 4 for a level's field, 0 for the header's
    CardField field = CardField::Rarity;
    std::string ours, theirs;  // as Load reads each side ("super": its digit, or empty)
};

// A conflict that a merge left in a card file (conflict_markers.h).
struct CardConflict {
    std::size_t line = 0;  // the line of its "<<<<<<<"
    std::vector<ConflictField> fields;
};

// The field as messages name it: "レベル1のMaxHP", "星".
std::string conflictFieldName(const ConflictField& field);

// Reads the card at path: the file is read once and every key is looked up
// in that copy, by the rules of GetINIData (values cut to 255 bytes). A
// missing file is an empty card; a file that exists but cannot be read, is no
// regular file or is too large to be a card is a problem, and `card` is then
// left as it was. `fingerprint`, when given, receives that of the bytes read
// (or "no file") when all went well; `fileBytes`, when given, the bytes the
// card was read from, or nullopt when there is no file.
//
// A file holding git's conflict markers is read as its "ours" side; the
// conflicts, when asked for, are told in `conflicts` (empty for a file
// without markers).
CardProblem readCard(const std::string& path, Card& card, CardFingerprint* fingerprint = nullptr,
    std::optional<std::string>* fileBytes = nullptr, std::vector<CardConflict>* conflicts = nullptr);

// The bytes of a card file, read once as readCard reads them: nullopt for a
// card that does not exist yet; a problem (as readCard's) when the file
// cannot be read, is no regular file or is too large to be a card.
CardProblem readCardFile(const std::string& path, std::optional<std::string>& bytes);

// The keys Load looks up (rare, maxlv, minlv, super, then HP, P, S, 1, 2 of
// each level), for one walk of ProfileText::getAll, and the card their values
// make (the values are moved out). Whatever else reads a card file's text
// (check) takes Load's values from these.
using CardLookups = std::array<profile::ProfileText::Lookup, 24>;
CardLookups cardLookups();
Card cardOfLookups(CardLookups& values);

// The card that Load reads from a file's bytes, conflict markers left aside
// as readCard leaves them. Throws std::bad_alloc.
Card cardOfBytes(std::string bytes, std::vector<CardConflict>* conflicts = nullptr);

// The system's reason for an errno value in the window's language, with the
// system's own words after it.
std::string systemReason(int error);

// Writes the card so that the file holds exactly this card: the whole card
// goes into a temporary file beside it first, which then replaces the card
// file in one durable step, keeping its mode, owner, group and access list.
// Text the file cannot hold as typed (control characters, characters
// Shift-JIS lacks, a value longer than a reader gets back) is refused before
// anything is written. On any problem the old file is left as it was and no
// temporary file remains. `fingerprint`, when given, receives that of the
// bytes written when all went well.
//
// The check and the replace hold the folder's lock (profile::FolderLock), as
// every writer of cards does, so no other one replaces the file in between:
// with `unchangedFrom`, the card is written only while its file is still
// what that fingerprint says; otherwise nothing is written and the problem
// says that someone saved the card meanwhile.
CardProblem writeCard(const std::string& path, const Card& card, CardFingerprint* fingerprint = nullptr,
    const CardFingerprint* unchangedFrom = nullptr);

// Why the folder's lock (profile::FolderLock) could not be had, for a message.
std::string folderLockReason(const std::string& folder, int error);

// The super mode Load selects for a "super" value: "02" is 2; anything but a
// whole number from 0 to 3 selects none.
std::optional<int> superModeFromText(std::string_view text);

// A value Save refuses: the section and key it would be written to, and the
// reason, naming the field ("レベル2の通常技に改行などの…").
struct RefusedValue {
    std::string section;
    std::string key;
    std::string reason;
};

// Every value of the card that writeCard would refuse, in file order (it
// stops at the first). Values Save leaves out of the file are not checked.
std::vector<RefusedValue> refusedValues(const Card& card);

// The bytes writeCard puts into the card file for this card, composed in
// memory (a value it refuses is left out).
std::string cardFileBytes(const Card& card);

// True when a Save would write the same keys and values for both cards: what
// Save leaves out (a level without hit points, a power without a normal move,
// a spec without an extended move) makes no difference.
bool sameWhenSaved(const Card& a, const Card& b);
