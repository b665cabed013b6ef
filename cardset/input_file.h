#pragma once

// The table file the import reads, a piece at a time, opened as the profile
// store opens a file (profile::FileReader): a FIFO or a device put at the
// path is never waited on; errors are errno values.

#include "file_io.h"
#include "table_input.h"

#include <string>

class InputFile final : public TableInput {
public:
    // 0, or why the file cannot be read: the system's reason (ENOENT,
    // EACCES, ...), EISDIR for a folder, EINVAL for anything else that is no
    // regular file.
    int open(const std::string& path) { return file_.open(path); }

    std::size_t read(char* out, std::size_t size) override { return file_.read(out, size); }
    bool rewind() override { return file_.rewind() == 0; }
    int error() const override { return file_.error(); }

private:
    profile::FileReader file_;
};
