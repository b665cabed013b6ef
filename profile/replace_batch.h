#pragma once

// Many files of one folder replaced as one durable batch (an import of a
// card table): each new content is written into a temporary file beside its
// file first, all of them are made durable together, then each is renamed
// over its file, and the folder is flushed once at the end. Each file is
// still replaced in one step, so a reader, a kill or a crash at any moment
// finds every file either old or new, byte for byte; the temporary files of
// a killed run are named as replaceFile names them and are cleaned as its
// are (removeStaleTemporariesOnce).

#include "file_io.h"

#include <cstddef>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace profile {

class BatchFolder;

class ReplaceBatch {
public:
    // The folder whose files are replaced; nothing is opened yet.
    explicit ReplaceBatch(std::string folder);
    // Removes the temporary files of entries not put in place.
    ~ReplaceBatch();
    ReplaceBatch(const ReplaceBatch&) = delete;
    ReplaceBatch& operator=(const ReplaceBatch&) = delete;

    // Writes `content` for the file `name` of the folder into a new temporary
    // file, with the mode, owner and group of that file when it exists (as
    // far as this user may give them). Its index is the number of entries
    // added before it. Nothing is replaced yet.
    ReplaceResult add(const std::string& name, std::string_view content);

    // Makes the content of every entry added durable on disk.
    ReplaceResult makeDurable();

    // Renames entry `index` over its file. With `mustBeNew` it fails with
    // EEXIST, leaving the file there alone, when a file of that name exists.
    // The entry's temporary file is gone whatever the result.
    ReplaceResult put(std::size_t index, bool mustBeNew = false);

    // Removes entry `index`'s temporary file; its file stays as it is.
    void drop(std::size_t index);

    // Flushes the folder, making every rename durable; then removes the
    // folder's stale temporary files (once per folder and process).
    ReplaceResult finish();

    std::size_t size() const { return entries_.size(); }

private:
    struct Entry {
        std::string name;
        std::string temporary;  // empty once put in place or dropped
    };
    ReplaceResult openFolder();
    std::string temporaryName();

    std::string folder_;
    std::unique_ptr<BatchFolder> system_;
    std::vector<Entry> entries_;
    std::mt19937_64 random_;
};

}  // namespace profile
