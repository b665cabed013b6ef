#pragma once

// The files the command reads and writes besides the cards: the table it
// exports, and the folder (input_file.h reads the table it imports).
// Problems name the file and the reason.

#include "card_file.h"

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

namespace profile {
class ReplaceBatch;
}

// A file written piece by piece, without holding it whole: into a temporary
// file beside `path`, put in place of `path` by finish() in one durable step.
// A run that fails or ends before finish() leaves the old file as it was.
// A device, a pipe or a symbolic link is written into where it is instead.
class OutputFile {
public:
    explicit OutputFile(std::string path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void append(std::string_view piece);
    CardProblem finish();

private:
    void flush();

    std::string path_;
    std::unique_ptr<profile::ReplaceBatch> batch_;
    std::unique_ptr<std::ofstream> inPlace_;
    std::string buffer_;
    int error_ = 0;
};

// A problem when `folder` is not a folder that can be read.
CardProblem checkFolder(const std::string& folder);
