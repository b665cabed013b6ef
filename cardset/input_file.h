#pragma once

// The table file the import reads, a piece at a time. Opened as the profile
// store opens a file (profile::readFileOnce): without blocking and not
// inherited by child processes, checked on the open descriptor, so a FIFO or
// a device put at the path is never waited on. One file per system
// (input_file_posix.cpp, input_file_windows.cpp); errors are errno values.

#include "table_input.h"

#include <cstdint>
#include <string>

class InputFile final : public TableInput {
public:
    InputFile() = default;
    ~InputFile() override;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // 0, or why the file cannot be read: the system's reason (ENOENT,
    // EACCES, ...), EISDIR for a folder, EINVAL for anything else that is no
    // regular file. On Windows the file is opened sharing read, write and
    // delete, so a program saving it meanwhile is not hindered.
    int open(const std::string& path);

    std::size_t read(char* out, std::size_t size) override;
    bool rewind() override;
    int error() const override { return error_; }

private:
    std::intptr_t handle_ = -1;
    int error_ = 0;
};
