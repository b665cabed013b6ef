#include "staged_cards.h"

#include "card_check.h"
#include "shown_name.h"

#include <charconv>

namespace {

struct RawEntry {
    std::string mode;
    std::string object;
    std::string path;
};

// A path as git prints it: in double quotes with C escapes when it holds
// anything unusual, as it is otherwise. False when it is not well formed.
bool unquote(std::string_view text, std::string& path)
{
    path.clear();
    if (text.empty() || text.front() != '"') {
        path = std::string(text);
        return !text.empty();
    }
    if (text.size() < 2 || text.back() != '"')
        return false;
    text = text.substr(1, text.size() - 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            path += text[i];
            continue;
        }
        if (++i >= text.size())
            return false;
        const char c = text[i];
        static constexpr std::string_view from = "abtnvfr\"\\", to = "\a\b\t\n\v\f\r\"\\";
        if (const auto at = from.find(c); at != std::string_view::npos) {
            path += to[at];
        } else if (c >= '0' && c <= '3' && i + 2 < text.size()) {
            int value = 0;
            for (std::size_t k = 0; k < 3; ++k, ++i) {
                if (text[i] < '0' || text[i] > '7')
                    return false;
                value = value * 8 + (text[i] - '0');
            }
            --i;
            path += static_cast<char>(value);
        } else {
            return false;
        }
    }
    return true;
}

// ":100644 100644 <old> <new> M\t<path>"
bool readRawLine(std::string_view line, RawEntry& entry)
{
    const auto tab = line.find('\t');
    if (line.empty() || line.front() != ':' || tab == std::string_view::npos)
        return false;
    std::string_view fields = line.substr(1, tab - 1);
    std::vector<std::string_view> words;
    while (!fields.empty()) {
        const auto space = fields.find(' ');
        words.push_back(fields.substr(0, space));
        fields = space == std::string_view::npos ? std::string_view() : fields.substr(space + 1);
    }
    if (words.size() != 5)
        return false;
    entry.mode = std::string(words[1]);
    entry.object = std::string(words[3]);
    return unquote(line.substr(tab + 1), entry.path);
}

CardProblem notAStream(const std::string& what)
{
    return "フックからの入力を読めません（" + what
           + "）。velmar-cards git-setup をもう一度実行して、フックを書き直してください。";
}

}  // namespace

CardProblem readStagedCards(std::string_view stream, std::vector<StagedCard>& cards)
{
    cards.clear();
    std::vector<RawEntry> entries;
    std::size_t pos = 0;
    for (;;) {
        const auto lf = stream.find('\n', pos);
        if (lf == std::string_view::npos)
            return notAStream("一覧の終わりの空行がありません");
        const std::string_view line = stream.substr(pos, lf - pos);
        pos = lf + 1;
        if (line.empty())
            break;
        RawEntry entry;
        if (!readRawLine(line, entry))
            return notAStream("一覧の行「" + shownName(line) + "」");
        entries.push_back(std::move(entry));
    }
    std::vector<StagedCard> found;
    for (const RawEntry& entry : entries) {
        // "<object> blob <size>" and the content, or "<object> missing"
        const auto lf = stream.find('\n', pos);
        if (lf == std::string_view::npos)
            return notAStream(shownName(entry.path) + "の中身がありません");
        const std::string_view header = stream.substr(pos, lf - pos);
        pos = lf + 1;
        const std::string expected = entry.object + " ";
        if (!header.starts_with(expected))
            return notAStream(shownName(entry.path) + "の中身が一覧と合いません");
        const std::string_view rest = header.substr(expected.size());
        // A submodule's commit is not in this repository's objects.
        if (entry.mode == "160000" && rest == "missing") {
            found.push_back({entry.path, {}, StagedCard::Kind::Submodule});
            continue;
        }
        const auto space = rest.find(' ');
        if (space == std::string_view::npos)
            return notAStream(shownName(entry.path) + "の中身を読めません");
        std::size_t size = 0;
        const std::string_view digits = rest.substr(space + 1);
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), size);
        if (error != std::errc() || end != digits.data() + digits.size() || stream.size() - pos < size + 1
            || stream[pos + size] != '\n')
            return notAStream(shownName(entry.path) + "の中身の長さが合いません");
        const auto kind = entry.mode == "120000"   ? StagedCard::Kind::SymbolicLink
                          : entry.mode == "160000" ? StagedCard::Kind::Submodule
                                                   : StagedCard::Kind::File;
        found.push_back({entry.path, std::string(stream.substr(pos, size)), kind});
        pos += size + 1;
    }
    if (pos != stream.size())
        return notAStream("余分なデータがあります");
    cards = std::move(found);
    return std::nullopt;
}

StagedReport checkStagedCards(const std::vector<StagedCard>& cards)
{
    StagedReport report;
    for (const StagedCard& card : cards) {
        if (card.kind != StagedCard::Kind::File) {
            report.text += shownName(card.path) + ": "
                           + (card.kind == StagedCard::Kind::SymbolicLink ? "シンボリックリンク" : "サブモジュール")
                           + "としてステージされています。カードは通常のファイルとしてコミットしてください"
                             "（エディターで保存すると通常のファイルになります）。\n";
            ++report.refusedCards;
            continue;
        }
        const std::string name = card.path.substr(card.path.rfind('/') + 1);
        const std::string id = name.substr(0, name.size() - std::min<std::size_t>(name.size(), 4));
        bool refused = false;
        for (const CheckFinding& finding : checkCardText(id, card.bytes)) {
            if (!finding.refused)
                continue;
            refused = true;
            report.text += shownName(card.path) + ":" + (finding.line ? std::to_string(finding.line) + ":" : "") + " "
                           + finding.message + "\n";
        }
        report.refusedCards += refused;
    }
    return report;
}
