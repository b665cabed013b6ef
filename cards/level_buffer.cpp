#include "level_buffer.h"

#include <vector>

namespace {

std::vector<std::string_view> splitAtSlashes(std::string_view text)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const auto slash = text.find('/');
        parts.push_back(text.substr(0, slash));
        if (slash == std::string_view::npos)
            return parts;
        text.remove_prefix(slash + 1);
    }
}

// Length in bytes of the last UTF-8 character of a non-empty text.
std::size_t lastCharacterLength(std::string_view text)
{
    std::size_t start = text.size() - 1;
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80 && text.size() - start < 4)
        --start;
    return text.size() - start;
}

template <std::size_t N> int indexOf(const std::array<std::string_view, N>& codes, std::string_view code)
{
    for (std::size_t i = 0; i < N; ++i)
        if (codes[i] == code)
            return static_cast<int>(i);
    return -1;
}

template <std::size_t N> std::string_view codeAt(const std::array<std::string_view, N>& codes, int index)
{
    // The lists never lose their selection; fall back to the first entry if one did.
    return index >= 0 && static_cast<std::size_t>(index) < N ? codes[index] : codes[0];
}

}  // namespace

std::string encodeExtMoveSpec(const ExtMoveFields& fields)
{
    std::string spec{codeAt(kRangeCodes, fields.rangeIndex)};
    spec += '/';
    spec += fields.amount;
    spec += codeAt(kEffectLetters, fields.effectIndex);
    spec += '/';
    spec += fields.count;
    return spec;
}

bool decodeExtMoveSpec(std::string_view spec, ExtMoveFields& fields)
{
    if (spec.empty())
        return false;
    const auto parts = splitAtSlashes(spec);
    if (parts.size() != 3)
        return false;

    if (const int range = indexOf(kRangeCodes, parts[0]); range >= 0)
        fields.rangeIndex = range;

    std::string_view amount = parts[1];
    if (!amount.empty()) {
        const std::size_t letterLength = lastCharacterLength(amount);
        if (const int effect = indexOf(kEffectLetters, amount.substr(amount.size() - letterLength)); effect >= 0)
            fields.effectIndex = effect;
        amount.remove_suffix(letterLength);
    }
    fields.amount = std::string(amount);
    fields.count = std::string(parts[2]);
    return true;
}
