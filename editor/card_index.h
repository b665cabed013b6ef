#pragma once

// The folder's cards as the ID box suggests them: every ID, listed when the
// box is first used, and the names of every card's moves, read a few cards
// at a time while the window has nothing else to do. Matches by ID come at
// once; matches by move name fill in as the cards are read.

#include "card_file.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The cards suggested for one text in the ID box, in the order shown: those
// whose ID starts with the text, then those of the cards read so far whose
// move names contain it (letter case aside).
struct CardSuggestions {
    std::string typed;
    std::vector<std::uint32_t> cards;  // the index's card numbers
    std::uint32_t movesSearched = 0;   // cards 0 .. movesSearched-1 were searched by move name
};

class CardIndex {
public:
    explicit CardIndex(std::string folder);

    bool listed() const { return listed_; }
    // Lists the folder's cards; their move names are read later (readMore).
    CardProblem list();
    // Forgets everything: the next use lists the folder again.
    void forget();
    // Reads the move names of up to `count` more cards, in ID order; false
    // once every card has been read.
    bool readMore(std::size_t count);
    bool allRead() const { return nextToRead_ == cards_.size(); }

    // A card this window has just saved: its ID and move names as saved.
    void update(const std::string& id, const Card& card);

    // The suggestions for `typed`, at most `limit` of them; the cards found
    // by ID have their move names read at once, to be shown with them.
    CardSuggestions suggest(std::string typed, std::size_t limit);
    // Adds the matches among the cards read since; true when any were added.
    bool extend(CardSuggestions& suggestions, std::size_t limit) const;

    std::size_t size() const { return cards_.size(); }
    std::string id(std::uint32_t card) const { return std::string(idOf(card)); }
    // The ID and level 1's two move names, as the list shows a card.
    std::string label(std::uint32_t card) const;

private:
    // A card: where its ID is in ids_, and where its move names are in
    // pieces_ once read (level 1's two as shown, a NUL, then every move name
    // with letter case folded, each followed by a line break, a NUL).
    // Packed so that a large folder costs little memory and few page faults.
    struct Slot {
        std::uint32_t id;
        std::uint32_t names;
    };
    static constexpr std::uint32_t kUnread = UINT32_MAX;

    std::string_view idOf(std::uint32_t card) const;
    const char* namesOf(std::uint32_t card) const;
    std::string_view searchedNames(std::uint32_t card) const;
    void readMoveNames(Slot& slot);
    void setMoveNames(Slot& slot, const Card& card);
    std::vector<Slot>::iterator lowerBound(std::string_view id);
    void sortById();

    std::string folder_;
    bool listed_ = false;
    std::string ids_;          // every ID, each followed by a NUL
    std::vector<Slot> cards_;  // sorted by ID byte for byte, as velmar-cards lists them
    std::vector<std::string> pieces_;
    std::size_t nextToRead_ = 0;
};
