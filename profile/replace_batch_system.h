#pragma once

// The system's side of a ReplaceBatch: the batch's folder held open and the
// calls the batch makes in it. One implementation per system
// (replace_batch_posix.cpp); names are file names inside the folder.

#include "file_io.h"

#include <memory>
#include <optional>
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
    // taken), with the mode, owner and group of the file `name` when that is
    // a regular file, and keeps it open for append().
    ReplaceResult create(const std::string& temporary, const std::string& name);
    // Where the system allows it: opens, in place of a new file, an old file
    // that renameIfHolds() took out of place, once its rename is durable and
    // only when nothing else holds it open or links to it, set up as
    // create() sets up a new one. Its name, or nullopt (then create()).
    std::optional<std::string> reuse(const std::string& name);
    // Adds to the file created last.
    ReplaceResult append(std::string_view content);
    // Closes the file created last.
    ReplaceResult close();
    // Closes the file created last, if open, and removes it.
    void abandon();

    // Every file written so far is on disk: 0 or the system's error.
    int syncWritten();

    // Renames `temporary` over `name`: 0 or the system's error.
    int rename(const std::string& temporary, const std::string& name);

    // The same when `name` holds `expected` byte for byte, or for nullopt when
    // there is no file `name`; otherwise sets `changed` and renames nothing.
    // The old file is kept for reuse() or let go in the background (see
    // sync()).
    int renameIfHolds(
        const std::string& temporary, const std::string& name, std::optional<std::string_view> expected, bool& changed);

    void remove(const std::string& temporary);

    // Removes the old files kept for reuse, waits until every old file let go
    // is gone; then the folder's names are on disk: 0 or the system's error.
    int sync();

private:
    struct State;
    explicit BatchFolder(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace profile
