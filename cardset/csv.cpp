#include "csv.h"

#include <algorithm>

namespace {

constexpr std::size_t kPieceBytes = std::size_t(64) << 10;

}  // namespace

std::string csvRecord(const std::vector<std::string>& fields)
{
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        const std::string& f = fields[i];
        if (f.find_first_of(",\"\r\n") == std::string::npos) {
            line += f;
            continue;
        }
        line += '"';
        for (char c : f) {
            if (c == '"')
                line += '"';
            line += c;
        }
        line += '"';
    }
    line += "\r\n";
    return line;
}

CsvTable parseCsv(std::string_view text)
{
    CsvTable table;
    TextInput input(text);
    CsvReader reader(input, SIZE_MAX);
    CsvRecord record;
    while (reader.next(record))
        table.records.push_back(record);
    table.error = reader.error();
    return table;
}

CsvReader::CsvReader(TableInput& input, std::size_t maxRecordBytes)
    : input_(input)
    , maxRecordBytes_(maxRecordBytes)
{
}

// Reads another piece after what is left of the buffer; false at the end.
bool CsvReader::fill()
{
    if (ended_)
        return false;
    consumed_ += pos_;
    buffer_.erase(0, pos_);
    pos_ = 0;
    const std::size_t kept = buffer_.size();
    buffer_.resize(kept + kPieceBytes);
    const std::size_t got = input_.read(buffer_.data() + kept, kPieceBytes);
    buffer_.resize(kept + got);
    ended_ = got == 0;
    return !ended_;
}

// The byte `ahead` of the next one, or -1 past the end of the input.
int CsvReader::peek(std::size_t ahead)
{
    while (pos_ + ahead >= buffer_.size())
        if (!fill())
            return -1;
    return static_cast<unsigned char>(buffer_[pos_ + ahead]);
}

bool CsvReader::fail(std::size_t field, std::string reason)
{
    error_ = CsvError{row_, field, std::move(reason)};
    return false;
}

bool CsvReader::startsWithBom() { return peek(0) == 0xEF && peek(1) == 0xBB && peek(2) == 0xBF; }

bool CsvReader::next(CsvRecord& record)
{
    if (error_)
        return false;
    if (!started_) {
        started_ = true;
        if (startsWithBom())
            pos_ += kUtf8Bom.size();
    }
    // CR LF, a bare LF, or a CR that ends the text.
    const auto lineEndLength = [this]() -> std::size_t {
        const int c = peek();
        return c == '\n' ? 1 : c == '\r' && peek(1) == '\n' ? 2 : c == '\r' && peek(1) < 0 ? 1 : 0;
    };
    for (std::size_t empty; (empty = lineEndLength()) > 0; ++row_)
        pos_ += empty;  // an empty line is no record
    if (peek() < 0)
        return false;

    record.row = row_;
    const std::uint64_t start = consumed_ + pos_;
    std::size_t count = 0;
    const auto tooLong = [&] { return consumed_ + pos_ - start > maxRecordBytes_; };
    const auto failTooLong = [&] {
        return fail(count, "1つの行が" + std::to_string(maxRecordBytes_)
                               + "バイトを超えます。「\"」で始まるフィールドが閉じられていないかもしれません。");
    };
    for (;;) {
        if (count == record.fields.size())
            record.fields.emplace_back();
        std::string& field = record.fields[count++];
        field.clear();
        if (peek() == '"') {
            ++pos_;
            for (;;) {
                const std::size_t quote = buffer_.find('"', pos_);
                field.append(buffer_, pos_, quote == std::string::npos ? std::string::npos : quote - pos_);
                if (quote == std::string::npos) {
                    pos_ = buffer_.size();
                    if (tooLong())
                        return failTooLong();
                    if (!fill())
                        return fail(count, "「\"」で始まるフィールドが閉じられていません。");
                    continue;
                }
                pos_ = quote + 1;
                if (peek() != '"')
                    break;
                field += '"';
                ++pos_;
            }
            if (peek() >= 0 && peek() != ',' && lineEndLength() == 0)
                return fail(count, "閉じる「\"」の後に「,」か改行がありません。");
        } else {
            for (;;) {
                const std::size_t end = buffer_.find_first_of(",\n", pos_);
                field.append(buffer_, pos_, end == std::string::npos ? std::string::npos : end - pos_);
                if (end != std::string::npos) {
                    pos_ = end;
                    break;
                }
                pos_ = buffer_.size();
                if (tooLong())
                    return failTooLong();
                if (!fill())
                    break;
            }
            if (field.ends_with('\r') && (peek() == '\n' || peek() < 0))
                field.pop_back();  // the CR of a CR LF
        }
        if (tooLong())
            return failTooLong();
        if (peek() != ',')
            break;
        ++pos_;
    }
    record.fields.resize(count);
    pos_ += lineEndLength();
    ++row_;
    return true;
}
