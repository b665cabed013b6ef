#pragma once

// Ids of names, found by a hash of the name: open addressing over one table
// of ids and 32 bits of each name's hash, so millions of names take a few
// bytes each and a look-up mostly one read of the table. The names are kept
// by the caller, who tells whether an id is the one looked for.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace profile {

class NameIndex {
public:
    static std::uint32_t hashOf(std::string_view name)
    {
        return static_cast<std::uint32_t>(std::hash<std::string_view>()(name));
    }

    // The id with `hash` for which isIt(id) holds, or nullopt.
    template <class IsIt> std::optional<std::uint32_t> find(std::uint32_t hash, const IsIt& isIt) const
    {
        if (slots_.empty())
            return std::nullopt;
        for (std::size_t i = hash & mask(); slots_[i].id != kEmpty; i = (i + 1) & mask())
            if (slots_[i].hash == hash && isIt(slots_[i].id))
                return slots_[i].id;
        return std::nullopt;
    }

    // The id with `hash` for which isIt(id) holds; when there is none, `id`
    // is added and returned. One look-up where find() and insert() take two.
    template <class IsIt> std::uint32_t findOrInsert(std::uint32_t hash, const IsIt& isIt, std::uint32_t id)
    {
        if (2 * (count_ + 1) > slots_.size())
            grow(2 * (count_ + 1));
        std::size_t i = hash & mask();
        for (; slots_[i].id != kEmpty; i = (i + 1) & mask())
            if (slots_[i].hash == hash && isIt(slots_[i].id))
                return slots_[i].id;
        slots_[i] = {hash, id};
        ++count_;
        return id;
    }

    // Adds an id that find() does not hold yet.
    void insert(std::uint32_t hash, std::uint32_t id)
    {
        if (2 * (count_ + 1) > slots_.size())
            grow(2 * (count_ + 1));
        place({hash, id});
        ++count_;
    }

    // Asks for the slot of `hash` ahead of a look-up, so that it is at hand then.
    void prefetch(std::uint32_t hash) const
    {
        if (!slots_.empty())
            __builtin_prefetch(&slots_[hash & mask()]);
    }

    // Room for `names` without growing again.
    void reserve(std::size_t names)
    {
        if (2 * names > slots_.size())
            grow(2 * names);
    }

private:
    static constexpr std::uint32_t kEmpty = UINT32_MAX;
    struct Slot {
        std::uint32_t hash = 0, id = kEmpty;
    };

    std::size_t mask() const { return slots_.size() - 1; }

    void place(Slot slot)
    {
        std::size_t i = slot.hash & mask();
        while (slots_[i].id != kEmpty)
            i = (i + 1) & mask();
        slots_[i] = slot;
    }

    void grow(std::size_t atLeast)
    {
        std::size_t size = 16;
        while (size < atLeast)
            size *= 2;
        std::vector<Slot> old(size);
        old.swap(slots_);
        for (const Slot& slot : old)
            if (slot.id != kEmpty)
                place(slot);
    }

    std::vector<Slot> slots_;  // a power of two of them, at most half in use
    std::size_t count_ = 0;
};

}  // namespace profile
