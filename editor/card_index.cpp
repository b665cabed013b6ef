#include "card_index.h"

#include "card_set.h"

#include <algorithm>
#include <utility>

namespace {

// ASCII letters as lower case; every byte of a multi-byte UTF-8 character
// is above them, so Japanese text stays as it is.
std::string folded(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return result;
}

}  // namespace

CardIndex::CardIndex(std::string folder)
    : folder_(std::move(folder))
{
}

CardProblem CardIndex::list()
{
    forget();
    std::vector<CardFile> files;
    if (auto problem = findCardFiles(folder_, files))
        return problem;
    cards_.reserve(files.size());
    for (CardFile& file : files)
        cards_.push_back({std::move(file.id), {}, {}, false});
    listed_ = true;
    return std::nullopt;
}

void CardIndex::forget()
{
    cards_ = {};
    nextToRead_ = 0;
    listed_ = false;
}

void CardIndex::setMoveNames(Entry& entry, const Card& card) const
{
    entry.searched.clear();
    for (const LevelRecord& level : card.Levels)
        for (const std::string* name : {&level.NomalWaza, &level.ExtWaza})
            if (!name->empty())
                entry.searched.append(folded(*name)).push_back('\n');
    const LevelRecord& first = card.Levels[0];
    entry.shown = first.NomalWaza.empty() || first.ExtWaza.empty() ? first.NomalWaza + first.ExtWaza
                                                                   : first.NomalWaza + " / " + first.ExtWaza;
    entry.read = true;
}

void CardIndex::readMoveNames(Entry& entry) const
{
    Card card;
    // A card that cannot be read is suggested by its ID alone.
    if (!readCard(cardFilePath(folder_, entry.id), card))
        setMoveNames(entry, card);
    entry.read = true;
}

bool CardIndex::readMore(std::size_t count)
{
    for (; count > 0 && nextToRead_ < cards_.size(); ++nextToRead_) {
        Entry& entry = cards_[nextToRead_];
        if (entry.read)
            continue;  // suggested or saved here already
        readMoveNames(entry);
        --count;
    }
    return !allRead();
}

void CardIndex::update(const std::string& id, const Card& card)
{
    if (!listed_)
        return;
    const auto at = std::lower_bound(
        cards_.begin(), cards_.end(), id, [](const Entry& entry, const std::string& key) { return entry.id < key; });
    if (at != cards_.end() && at->id == id) {
        setMoveNames(*at, card);
        return;
    }
    if (std::size_t(at - cards_.begin()) < nextToRead_)
        ++nextToRead_;
    setMoveNames(*cards_.insert(at, {id, {}, {}, false}), card);
}

CardSuggestions CardIndex::suggest(std::string typed, std::size_t limit)
{
    CardSuggestions suggestions{std::move(typed), {}, 0};
    const std::string& prefix = suggestions.typed;
    auto at = std::lower_bound(cards_.begin(), cards_.end(), prefix,
        [](const Entry& entry, const std::string& key) { return entry.id < key; });
    for (; at != cards_.end() && suggestions.cards.size() < limit && at->id.starts_with(prefix); ++at) {
        if (!at->read)
            readMoveNames(*at);
        suggestions.cards.push_back(std::uint32_t(at - cards_.begin()));
    }
    extend(suggestions, limit);
    return suggestions;
}

bool CardIndex::extend(CardSuggestions& suggestions, std::size_t limit) const
{
    const std::string wanted = folded(suggestions.typed);
    const std::size_t before = suggestions.cards.size();
    std::uint32_t& card = suggestions.movesSearched;
    for (; card < cards_.size() && cards_[card].read && suggestions.cards.size() < limit; ++card) {
        const Entry& entry = cards_[card];
        if (!entry.id.starts_with(suggestions.typed) && entry.searched.find(wanted) != std::string::npos)
            suggestions.cards.push_back(card);
    }
    return suggestions.cards.size() > before;
}

std::string CardIndex::label(std::uint32_t card) const
{
    const Entry& entry = cards_[card];
    return entry.shown.empty() ? entry.id : entry.id + "　" + entry.shown;
}
