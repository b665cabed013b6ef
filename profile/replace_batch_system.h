#pragma once

// The system's side of a ReplaceBatch: the batch's folder held open and the
// calls the batch makes in it. One implementation per system
// (replace_batch_posix.cpp); names are file names inside the folder.

#include "file_io.h"

#include <memory>
#include <string>
#include <string_view>

namespace profile {

class BatchFolder {
public:
    // Opens `folder`; 0 or the system's error.
    static int open(const std::string& folder, std::unique_ptr<BatchFolder>& opened);
    ~BatchFolder();
    BatchFolder(const BatchFolder&) = delete;
    BatchFolder& operator=(const BatchFolder&) = delete;

    // Creates the file `temporary` (EEXIST at the Folder step when the name is
    // taken) holding `content`, with the mode, owner and group of the file
    // `name` when that is a regular file, and starts writing it out to disk.
    // On failure nothing of it remains.
    ReplaceResult write(const std::string& temporary, const std::string& name, std::string_view content);

    // Every file written so far is on disk: 0 or the system's error.
    int syncWritten();

    // Renames `temporary` over `name`; with `mustBeNew`, EEXIST when `name`
    // exists. 0 or the system's error.
    int rename(const std::string& temporary, const std::string& name, bool mustBeNew);

    void remove(const std::string& temporary);

    // The folder's names are on disk: 0 or the system's error.
    int sync();

private:
    struct State;
    explicit BatchFolder(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace profile
