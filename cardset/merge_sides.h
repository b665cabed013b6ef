#pragma once

// The three sides of a card merge (and the result read back), each as the
// profile store reads it: the first section of each name, the first key of
// each name in it. Names match folded, as the store matches them; every key
// name gets one id that all sides share, numbered in the order the sides
// are read, so a key is looked up by a number. Each side holds its names and
// values in one block of text: a card of millions of keys is read in time
// and memory that grow with its size.

#include "name_index.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A piece of a block of text.
struct TextSpan {
    std::uint32_t at = 0, size = 0;
};

// The folded names of every side: sections, and keys by their section.
class MergeNames {
public:
    std::uint32_t addSection(std::string_view folded);
    std::optional<std::uint32_t> section(std::string_view folded) const;
    std::optional<std::uint32_t> key(std::uint32_t section, std::string_view folded) const;

    // Keys by their hash (hashOf), so it is worked out once; prefetch() asks
    // for the index's slot of a key looked up soon.
    static std::uint32_t hashOf(std::uint32_t section, std::string_view folded);
    std::uint32_t addKey(std::uint32_t section, std::string_view folded, std::uint32_t hash);
    std::optional<std::uint32_t> key(std::uint32_t section, std::string_view folded, std::uint32_t hash) const;
    void prefetch(std::uint32_t hash) const { keyIndex_.prefetch(hash); }
    void reserve(std::size_t moreKeys);  // room for as many more keys

    std::size_t keys() const { return keys_.size(); }  // key ids are 0 to keys() - 1
    std::uint32_t sectionOf(std::uint32_t key) const { return keys_[key].section; }
    std::string_view sectionName(std::uint32_t section) const { return text(sections_[section].name); }
    std::string_view keyName(std::uint32_t key) const { return text(keys_[key].name); }

private:
    struct Name {
        TextSpan name;
        std::uint32_t section = 0;  // a key's
    };
    std::string_view text(TextSpan span) const { return std::string_view(text_).substr(span.at, span.size); }
    TextSpan keep(std::string_view name);

    std::string text_;  // every folded name, one after the other
    std::vector<Name> sections_, keys_;
    profile::NameIndex sectionIndex_, keyIndex_;
};

class MergeSide {
public:
    struct Section {
        std::uint32_t id = 0;
        TextSpan spelled;            // its name as the file spells it
        std::size_t header = 0;      // its header's line
        std::size_t lastLine = 0;    // its last line that is not blank
        std::size_t otherLines = 0;  // lines neither blank nor its header
    };
    struct Key {
        std::uint32_t name = 0;
        std::uint32_t section = 0;  // its place in sections()
        TextSpan spelled, value;    // the value as read, not cut
        std::uint32_t line = 0;
    };

    // The side's bytes read; names new to `names` get ids, or, when `adding`
    // is false, are left out (the result of a merge read back).
    MergeSide(const std::string& bytes, MergeNames& names, bool adding);
    MergeSide(const MergeSide&) = delete;
    MergeSide& operator=(const MergeSide&) = delete;

    const std::vector<Section>& sections() const { return sections_; }  // file order
    const std::vector<Key>& keys() const { return keys_; }              // file order
    const Section* section(std::uint32_t id) const { return find(sections_, sectionAt_, id); }
    const Key* key(std::uint32_t name) const { return find(keys_, keyAt_, name); }
    std::optional<std::string_view> value(std::uint32_t name) const;
    std::string_view text(TextSpan span) const { return std::string_view(text_).substr(span.at, span.size); }

private:
    template <class T>
    static const T* find(const std::vector<T>& items, const std::vector<std::int32_t>& at, std::uint32_t id)
    {
        return id < at.size() && at[id] >= 0 ? &items[std::size_t(at[id])] : nullptr;
    }
    TextSpan keep(std::string_view text);

    std::string text_;  // spelled names and values, one after the other
    std::vector<Section> sections_;
    std::vector<Key> keys_;
    std::vector<std::int32_t> sectionAt_, keyAt_;  // an id -> its place, -1 for none
};
