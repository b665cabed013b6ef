#pragma once

// Where the import reads its table from, a piece at a time, so that a table
// of any size is never held whole: a file (input_file.h) or text in memory.
// A table whose encoding must first be told from its text is read twice.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

class TableInput {
public:
    virtual ~TableInput() = default;
    // Up to `size` bytes into `out`: how many, 0 at the end or on an error (error()).
    virtual std::size_t read(char* out, std::size_t size) = 0;
    // Back to the first byte; false on an error (error()).
    virtual bool rewind() = 0;
    // 0, or the errno value of the read or rewind that failed.
    virtual int error() const = 0;
};

// A table in memory, handed out at most `pieceBytes` a read (a test can so
// make a record straddle any number of reads).
class TextInput final : public TableInput {
public:
    explicit TextInput(std::string_view text, std::size_t pieceBytes = SIZE_MAX)
        : text_(text)
        , pieceBytes_(std::max<std::size_t>(pieceBytes, 1))
    {
    }
    std::size_t read(char* out, std::size_t size) override
    {
        const std::size_t n = std::min({size, pieceBytes_, text_.size() - pos_});
        std::copy_n(text_.data() + pos_, n, out);
        pos_ += n;
        return n;
    }
    bool rewind() override
    {
        pos_ = 0;
        return true;
    }
    int error() const override { return 0; }

private:
    std::string_view text_;
    std::size_t pieceBytes_;
    std::size_t pos_ = 0;
};
