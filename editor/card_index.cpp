#include "card_index.h"

#include "card_set.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// The move names are kept in pieces of this size, so that the text never
// grows by copying megabytes in one step that typing would wait on. A card's
// names (at most eight values of 255 bytes, three bytes a character in
// UTF-8, and level 1's two again) always fit in one.
constexpr std::size_t kPieceBits = 20;
constexpr std::size_t kPieceSize = std::size_t(1) << kPieceBits;

// ASCII letters as lower case; every byte of a multi-byte UTF-8 character
// is above them, so Japanese text stays as it is.
void appendFolded(std::string& to, std::string_view text)
{
    for (char c : text)
        to.push_back(c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c);
}

}  // namespace

CardIndex::CardIndex(std::string folder)
    : folder_(std::move(folder))
{
}

std::string_view CardIndex::idOf(std::uint32_t card) const
{
    return std::string_view(ids_.data() + cards_[card].id);  // up to its NUL
}

std::vector<CardIndex::Slot>::iterator CardIndex::lowerBound(std::string_view id)
{
    return std::lower_bound(cards_.begin(), cards_.end(), id,
        [this](const Slot& slot, std::string_view key) { return std::string_view(ids_.data() + slot.id) < key; });
}

CardProblem CardIndex::list()
{
    forget();
    if (auto problem = listCardIds(folder_, [this](std::string_view id) {
            cards_.push_back({std::uint32_t(ids_.size()), kUnread});
            ids_.append(id).push_back('\0');
        })) {
        forget();
        return problem;
    }
    sortById();
    listed_ = true;
    return std::nullopt;
}

// Sorted by the IDs' first eight bytes as one number, and only where those
// are alike by the whole IDs: a large folder is sorted in a few milliseconds.
void CardIndex::sortById()
{
    const auto firstBytes = [this](const Slot& slot) {
        std::uint64_t key = 0;
        const char* id = ids_.data() + slot.id;
        for (int i = 0; i < 8; ++i) {
            key = key << 8 | std::uint8_t(*id);
            id += *id != '\0';
        }
        return key;
    };
    std::vector<std::pair<std::uint64_t, Slot>> keyed;
    keyed.reserve(cards_.size());
    for (const Slot& slot : cards_)
        keyed.emplace_back(firstBytes(slot), slot);
    // strcmp compares bytes as unsigned, as std::string does.
    std::sort(keyed.begin(), keyed.end(), [this](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first
                                  : std::strcmp(ids_.data() + a.second.id, ids_.data() + b.second.id) < 0;
    });
    for (std::size_t i = 0; i < keyed.size(); ++i)
        cards_[i] = keyed[i].second;
}

void CardIndex::forget()
{
    ids_ = {};
    cards_ = {};
    pieces_ = {};
    nextToRead_ = 0;
    listed_ = false;
}

void CardIndex::setMoveNames(Slot& slot, const Card& card)
{
    std::string names;
    const LevelRecord& first = card.Levels[0];
    names += first.NomalWaza;
    if (!first.NomalWaza.empty() && !first.ExtWaza.empty())
        names += " / ";
    names += first.ExtWaza;
    names.push_back('\0');
    for (const LevelRecord& level : card.Levels)
        for (const std::string* name : {&level.NomalWaza, &level.ExtWaza})
            if (!name->empty()) {
                appendFolded(names, *name);
                names.push_back('\n');
            }
    names.push_back('\0');
    if (pieces_.empty() || pieces_.back().size() + names.size() > kPieceSize) {
        pieces_.emplace_back();
        pieces_.back().reserve(kPieceSize);
    }
    slot.names = std::uint32_t((pieces_.size() - 1) << kPieceBits | pieces_.back().size());
    pieces_.back() += names;
}

void CardIndex::readMoveNames(Slot& slot)
{
    Card card;
    // A card that cannot be read is suggested by its ID alone.
    if (readCard(cardFilePath(folder_, std::string(ids_.data() + slot.id)), card))
        card = {};
    setMoveNames(slot, card);
}

bool CardIndex::readMore(std::size_t count)
{
    for (; count > 0 && nextToRead_ < cards_.size(); ++nextToRead_) {
        Slot& slot = cards_[nextToRead_];
        if (slot.names != kUnread)
            continue;  // suggested or saved here already
        readMoveNames(slot);
        --count;
    }
    return !allRead();
}

void CardIndex::update(const std::string& id, const Card& card)
{
    if (!listed_)
        return;
    auto at = lowerBound(id);
    if (at == cards_.end() || idOf(std::uint32_t(at - cards_.begin())) != id) {
        if (std::size_t(at - cards_.begin()) < nextToRead_)
            ++nextToRead_;
        at = cards_.insert(at, {std::uint32_t(ids_.size()), kUnread});
        ids_.append(id).push_back('\0');
    }
    setMoveNames(*at, card);  // the names it had before stay unused
}

const char* CardIndex::namesOf(std::uint32_t card) const
{
    const std::uint32_t at = cards_[card].names;
    return pieces_[at >> kPieceBits].data() + (at & (kPieceSize - 1));
}

std::string_view CardIndex::searchedNames(std::uint32_t card) const
{
    const char* shown = namesOf(card);
    return std::string_view(shown + std::char_traits<char>::length(shown) + 1);
}

CardSuggestions CardIndex::suggest(std::string typed, std::size_t limit)
{
    CardSuggestions suggestions{std::move(typed), {}, 0};
    const std::string& prefix = suggestions.typed;
    for (auto at = lowerBound(prefix); at != cards_.end() && suggestions.cards.size() < limit; ++at) {
        const auto card = std::uint32_t(at - cards_.begin());
        if (!idOf(card).starts_with(prefix))
            break;
        if (at->names == kUnread)
            readMoveNames(*at);
        suggestions.cards.push_back(card);
    }
    extend(suggestions, limit);
    return suggestions;
}

bool CardIndex::extend(CardSuggestions& suggestions, std::size_t limit) const
{
    std::string wanted;
    appendFolded(wanted, suggestions.typed);
    const std::size_t before = suggestions.cards.size();
    std::uint32_t& card = suggestions.movesSearched;
    for (; card < cards_.size() && cards_[card].names != kUnread && suggestions.cards.size() < limit; ++card)
        if (!idOf(card).starts_with(suggestions.typed) && searchedNames(card).find(wanted) != std::string_view::npos)
            suggestions.cards.push_back(card);
    return suggestions.cards.size() > before;
}

std::string CardIndex::label(std::uint32_t card) const
{
    std::string text(idOf(card));
    if (cards_[card].names == kUnread)
        return text;
    const std::string_view shown(namesOf(card));
    if (!shown.empty())
        text.append("　").append(shown);
    return text;
}
