#pragma once

// Many files of one folder replaced as one durable batch (an import of a
// card table): each new content is written into a temporary file beside its
// file first, all of them are made durable together, then each is renamed
// over its file, and the folder is flushed once at the end. Each file is
// still replaced in one rename, so a reader, a kill or a crash at any moment
// finds every file either old or new, byte for byte; the temporary files of
// a killed run are named as replaceFile names them and are cleaned as its
// are (removeStaleTemporariesOnce); those of a live batch never are.

#include "file_io.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace profile {

namespace sys {
class NewFile;
}
class WriterRun;

// What putIfUnchanged found when it looked at the file again.
struct PutCheck {
    // The file no longer held what was expected: it was left alone, the new content dropped.
    bool changed = false;
    // Where (a name in the folder) the bytes are kept that a writer which takes no folder lock (another
    // program) put into the file after that look and before the new content replaced it; empty if none.
    std::string keptAs;
};

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

    // The same for content too large to hold in memory: begin(), then
    // append() as often as needed, then end(). A failure removes the entry's
    // temporary file; until end() the entry is not part of the batch.
    ReplaceResult begin(const std::string& name);
    ReplaceResult append(std::string_view piece);
    ReplaceResult end();

    // Makes the content of every entry added since the last call durable on disk.
    ReplaceResult makeDurable();

    // Renames entry `index` over its file. The entry's temporary file is gone
    // whatever the result.
    ReplaceResult put(std::size_t index);

    // The same, but only when the file still holds `expected`, byte for byte,
    // or, for nullopt, when there is no such file: its content is read again
    // just before the rename (then `looked` is called). Otherwise
    // check.changed is set and the file is left alone (someone wrote it
    // meanwhile). The caller holds the folder's lock (FolderLock), so no
    // other writer of this program writes in between; what another program
    // writes into the file after the look is not lost where the system can
    // keep the file it replaces (file_io's putInPlaceKeepingOld): when that
    // file is then no longer `expected` it is kept beside, and check.keptAs
    // names it ("NAME.kept-XXXXXX").
    ReplaceResult putIfUnchanged(std::size_t index, const std::optional<std::string>& expected, PutCheck& check,
        const std::function<void()>& looked = {});

    // Removes entry `index`'s temporary file; its file stays as it is.
    void drop(std::size_t index);

    // Flushes the folder, making every rename durable; then removes the
    // folder's stale temporary files (once per folder and process). Entries
    // not put in place are dropped.
    ReplaceResult finish();

    std::size_t size() const { return entries_.size(); }
    // Room for that many entries, made at once (a large batch's size is known).
    void reserve(std::size_t entries) { entries_.reserve(entries); }

private:
    struct Entry {
        std::string name;        // the file's name in the folder
        std::string temporary;   // its temporary file's name; empty once put in place or dropped
        bool replacing = false;  // a file was there when the entry began
    };
    std::string temporaryPath(const Entry& entry) const;
    ReplaceResult keep(const std::string& old, const std::string& name, PutCheck& check);

    std::string folder_;
    std::unique_ptr<WriterRun> run_;
    std::vector<Entry> entries_;
    std::size_t durable_ = 0;  // entries made durable so far
    Entry open_;               // the entry between begin() and end()
    std::unique_ptr<sys::NewFile> file_;
};

}  // namespace profile
