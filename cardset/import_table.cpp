#include "import_table.h"

#include "code_page.h"
#include "shown_name.h"

#include <algorithm>

namespace {

const CardColumn* columnNamed(std::string_view name)
{
    const auto& all = cardColumns();
    const auto it = std::find_if(all.begin(), all.end(), [&](const CardColumn& c) { return c.name == name; });
    return it == all.end() ? nullptr : &*it;
}

// Which column of the table each field is; problems for names that are not
// columns, are given twice or are missing.
std::vector<const CardColumn*> readHeader(const CsvRecord& header, std::vector<ImportProblem>& problems)
{
    std::vector<const CardColumn*> columns;
    std::vector<bool> seen(kCardColumnCount, false);
    for (std::size_t i = 0; i < header.fields.size(); ++i) {
        const std::string& name = header.fields[i];
        const CardColumn* column = columnNamed(name);
        columns.push_back(column);
        if (!column) {
            problems.push_back({header.row, nullptr,
                std::to_string(i + 1) + "番目の列名「" + shownName(name) + "」はカードの列ではありません。"});
            continue;
        }
        const std::size_t index = std::size_t(column - cardColumns().data());
        if (seen[index])
            problems.push_back({header.row, column, "同じ列名が2回あります。"});
        seen[index] = true;
    }
    std::string missing;
    for (std::size_t i = 0; i < kCardColumnCount; ++i)
        if (!seen[i])
            missing += (missing.empty() ? "「" : "、「") + cardColumns()[i].name + "」";
    if (!missing.empty())
        problems.push_back({header.row, nullptr, "列" + missing + "がありません。"});
    return columns;
}

bool allEmpty(const CsvRecord& record)
{
    return std::all_of(record.fields.begin(), record.fields.end(), [](const std::string& f) { return f.empty(); });
}

// A piece of one reading of a field around where the readings part: they
// are the same ASCII up to `from`.
std::string excerpt(std::string_view text, std::size_t from)
{
    constexpr std::size_t kBefore = 8, kCharacters = 24;
    const std::size_t start = from > kBefore ? from - kBefore : 0;
    std::size_t end = from;
    for (std::size_t n = 0; n < kCharacters && end < text.size(); ++n) {
        char32_t c;
        end += profile::decodeUtf8(text, end, c);
    }
    return (start > 0 ? "…" : "") + shownName(text.substr(start, end - start)) + (end < text.size() ? "…" : "");
}

// The table reads as UTF-8 and as code page 932, as different text.
ImportProblem ambiguous(const EncodingEvidence::Difference& difference, const std::vector<const CardColumn*>& header)
{
    const std::size_t field = difference.place.field;
    const CardColumn* column = field <= header.size() ? header[field - 1] : nullptr;
    const std::string& utf8 = difference.asUtf8;
    const std::size_t from = std::size_t(std::find_if(utf8.begin(), utf8.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x80;
    }) - utf8.begin());
    return {difference.place.row, column,
        "表にBOM（バイト順マーク）がなく、UTF-8としてもShift-JIS（コードページ932）としても読めますが、"
        "読み方で文字が変わります"
            + (column ? std::string() : "（" + std::to_string(field) + "番目の列）") + "：UTF-8なら「"
            + excerpt(utf8, from) + "」、Shift-JISなら「" + excerpt(difference.asCp932, from)
            + "」。UTF-8で保存した表（LibreOfficeなど）なら --encoding utf-8 を、日本語版Excelの「CSV "
              "(コンマ区切り)」なら --encoding cp932 を付けて、もう一度取り込んでください。"};
}

}  // namespace

ImportTable::ImportTable(TableInput& input, std::optional<TableEncoding> given, std::size_t maxRecordBytes)
    : input_(input)
    , given_(given)
    , maxRecordBytes_(maxRecordBytes)
{
}

bool ImportTable::readFailed(std::vector<ImportProblem>& problems)
{
    if (input_.error() == 0)
        return false;
    problems.push_back({0, nullptr, "表を読み込めませんでした：" + systemReason(input_.error())});
    unreadable_ = true;
    return true;
}

// The first reading of a table without a byte-order mark: every field looked
// at as both encodings. A place where the text stops being CSV is told by
// the second reading.
std::optional<TableEncoding> ImportTable::tell(std::vector<ImportProblem>& problems)
{
    EncodingEvidence evidence;
    std::vector<const CardColumn*> header;
    while (reader_->next(record_)) {
        if (record_.row == 1)
            std::transform(record_.fields.begin(), record_.fields.end(), std::back_inserter(header),
                [](const std::string& name) { return columnNamed(name); });
        for (std::size_t i = 0; i < record_.fields.size(); ++i)
            evidence.look(record_.fields[i], {record_.row, i + 1});
    }
    if (readFailed(problems))
        return std::nullopt;
    const std::optional<TableEncoding> verdict = evidence.verdict();
    if (!verdict) {
        problems.push_back(ambiguous(*evidence.difference(), header));
        return std::nullopt;
    }
    if (!input_.rewind()) {
        readFailed(problems);
        return std::nullopt;
    }
    told_ = std::move(evidence);
    reader_.emplace(input_, maxRecordBytes_);
    return verdict;
}

bool ImportTable::start(std::vector<ImportProblem>& problems)
{
    reader_.emplace(input_, maxRecordBytes_);
    const bool bom = reader_->startsWithBom();
    if (readFailed(problems))
        return false;
    if (bom && given_ == TableEncoding::Cp932) {
        problems.push_back({1, nullptr,
            "表はBOM（バイト順マーク）付きのUTF-8です。--encoding cp932 では読めません（--encoding "
            "を省くか、utf-8 にしてください）。"});
        return false;
    }
    if (bom || given_) {
        encoding_ = bom ? TableEncoding::Utf8 : *given_;
    } else if (const auto told = tell(problems)) {
        encoding_ = *told;
    } else {
        return false;
    }

    if (!reader_->next(record_)) {
        if (readFailed(problems))
            return false;
        if (const auto& error = reader_->error())
            problems.push_back({error->row, nullptr, error->reason});
        else
            problems.push_back({0, nullptr, "見出しの行がありません。"});
        return false;
    }
    for (std::size_t i = 0; told_ && i < record_.fields.size(); ++i)
        seen_.look(record_.fields[i], {record_.row, i + 1});
    if (record_.row != 1) {
        problems.push_back({1, nullptr, "1行目は見出しの行でなければなりません。"});
        return false;
    }
    for (std::string& name : record_.fields)
        decodeField(name, encoding_);  // a name that is not text is told as no column's
    const std::size_t before = problems.size();
    columns_ = readHeader(record_, problems);
    return problems.size() == before;
}

// Reads the record into a card; problems for what is not text or not a
// value the card can hold.
bool ImportTable::readRow(CardRow& row, std::vector<ImportProblem>& problems)
{
    if (record_.fields.size() != columns_.size()) {
        problems.push_back({record_.row, nullptr,
            "列の数が見出しの行と違います（" + std::to_string(record_.fields.size()) + "列、見出しは"
                + std::to_string(columns_.size()) + "列）。"});
        return false;
    }
    const std::string notText = encoding_ == TableEncoding::Cp932
                                    ? std::string("にShift-JIS（コードページ932）の文字ではないバイトがあります")
                                          + (given_ ? "（--encoding cp932 で読んでいます）。" : "。")
                                    : std::string("にUTF-8の文字ではないバイトがあります")
                                          + (given_ ? "（--encoding utf-8 で読んでいます）。"
                                                    : "（表はUTF-8かShift-JISで保存してください）。");
    row = CardRow{};
    bool ok = true;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        std::string& value = record_.fields[i];
        if (!decodeField(value, encoding_)) {
            problems.push_back({record_.row, columns_[i], fieldOf(*columns_[i]) + notText});
            ok = false;
        } else if (auto problem = setRowValue(row, *columns_[i], std::move(value))) {
            problems.push_back({record_.row, columns_[i], std::move(*problem)});
            ok = false;
        }
    }
    return ok;
}

// At the end of the table: why it could not be read further, if it could not.
void ImportTable::finish(std::vector<ImportProblem>& problems)
{
    if (readFailed(problems))
        return;
    if (const auto& error = reader_->error()) {
        const std::size_t field = error->field;
        const CardColumn* column = field >= 1 && field <= columns_.size() ? columns_[field - 1] : nullptr;
        problems.push_back({error->row, column, error->reason});
    } else if (told_ && seen_ != *told_) {
        problems.push_back(
            {0, nullptr, "表が読み込んでいる間に変わりました。保存し終えてから、もう一度取り込んでください。"});
    }
}

bool ImportTable::next(CardRow& row, std::size_t& tableRow, std::vector<ImportProblem>& problems)
{
    for (;;) {
        if (!reader_->next(record_)) {
            finish(problems);
            return false;
        }
        for (std::size_t i = 0; told_ && i < record_.fields.size(); ++i)
            seen_.look(record_.fields[i], {record_.row, i + 1});
        if (allEmpty(record_))
            continue;  // spreadsheet programs may end a table with rows of empty fields
        if (readRow(row, problems)) {
            tableRow = record_.row;
            return true;
        }
    }
}
