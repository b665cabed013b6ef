#include "replace_batch.h"

#include "profile_service.h"
#include "system_files.h"

#include <cerrno>

namespace profile {

ReplaceBatch::ReplaceBatch(std::string folder)
    : folder_(folder)
    , run_(std::make_unique<WriterRun>(std::move(folder)))
    , file_(std::make_unique<sys::NewFile>())
{
}

ReplaceBatch::~ReplaceBatch()
{
    if (!open_.temporary.empty()) {
        (void)file_->close();
        sys::remove(temporaryPath(open_));
    }
    for (std::size_t i = 0; i < entries_.size(); ++i)
        drop(i);
}

ReplaceResult ReplaceBatch::add(const std::string& name, std::string_view content)
{
    if (const ReplaceResult begun = begin(name); !begun.ok())
        return begun;
    if (const ReplaceResult appended = append(content); !appended.ok())
        return appended;
    return end();
}

ReplaceResult ReplaceBatch::begin(const std::string& name)
{
    std::string temporary;
    const ReplaceResult created = run_->createTemporary(joinPath(folder_, name), *file_, temporary, open_.replacing);
    // Names, not paths: a large batch holds one entry per card. The
    // temporary file's name holds no separator.
    if (created.ok())
        open_.name = name, open_.temporary = temporary.substr(temporary.find_last_of("/\\") + 1);
    else
        open_ = {};
    return created;
}

ReplaceResult ReplaceBatch::append(std::string_view piece)
{
    if (open_.temporary.empty())
        return {EBADF, ReplaceStep::Write};
    if (const int err = file_->write(piece)) {
        (void)file_->close();
        sys::remove(temporaryPath(open_));
        open_ = {};
        return {err, ReplaceStep::Write};
    }
    return {};
}

ReplaceResult ReplaceBatch::end()
{
    if (open_.temporary.empty())
        return {EBADF, ReplaceStep::Write};
    if (const int err = file_->close()) {
        sys::remove(temporaryPath(open_));
        open_ = {};
        return {err, ReplaceStep::Write};
    }
    entries_.push_back(std::move(open_));
    open_ = {};
    return {};
}

ReplaceResult ReplaceBatch::makeDurable()
{
    std::vector<std::string_view> written;
    for (std::size_t i = durable_; i < entries_.size(); ++i)
        if (!entries_[i].temporary.empty())
            written.push_back(entries_[i].temporary);
    if (written.empty())
        return {};
    if (const int err = sys::flushFiles(folder_, written))
        return {err, ReplaceStep::Write};
    durable_ = entries_.size();
    return {};
}

ReplaceResult ReplaceBatch::put(std::size_t index)
{
    Entry& entry = entries_.at(index);
    if (entry.temporary.empty())
        return {ENOENT, ReplaceStep::Rename};
    const int err = sys::putInPlace(temporaryPath(entry), joinPath(folder_, entry.name), entry.replacing, false);
    if (err)
        sys::remove(temporaryPath(entry));
    entry.temporary.clear();
    return err ? ReplaceResult{err, ReplaceStep::Rename} : ReplaceResult{};
}

ReplaceResult ReplaceBatch::putIfUnchanged(
    std::size_t index, const std::optional<std::string>& expected, PutCheck& check, const std::function<void()>& looked)
{
    Entry& entry = entries_.at(index);
    check = {};
    if (entry.temporary.empty())
        return {ENOENT, ReplaceStep::Rename};
    const std::string path = joinPath(folder_, entry.name), temporary = temporaryPath(entry);
    entry.temporary.clear();
    const auto dropped = [&](int error) {
        sys::remove(temporary);
        return error ? ReplaceResult{error, ReplaceStep::Rename} : ReplaceResult{};
    };
    if (!expected) {
        if (looked)
            looked();
        const int err = sys::putNew(temporary, path);
        check.changed = err == EEXIST;
        return err ? dropped(check.changed ? 0 : err) : ReplaceResult{};
    }
    std::string bytes;
    if (readFileOnce(path, bytes) != 0 || bytes != *expected) {
        check.changed = true;
        return dropped(0);
    }
    if (looked)
        looked();
    std::string old;
    if (const int err = sys::putInPlaceKeepingOld(temporary, path, old))
        return dropped(err);
    // What the file held at the very moment it was replaced: the bytes
    // looked at, unless another program wrote it since.
    if (old.empty())
        return {};
    if (readFileOnce(old, bytes) == 0 && bytes == *expected) {
        sys::remove(old);
        return {};
    }
    return keep(old, entry.name, check);
}

ReplaceResult ReplaceBatch::keep(const std::string& old, const std::string& name, PutCheck& check)
{
    // A name beside the card's that is no card's (it does not end in
    // ".ini") and no temporary file's, so nothing removes it.
    int err = EEXIST;
    for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
        const std::string kept = name + ".kept-" + freshLetters();
        if ((err = sys::putNew(old, joinPath(folder_, kept))) == 0)
            check.keptAs = kept;
    }
    return err ? ReplaceResult{err, ReplaceStep::Rename} : ReplaceResult{};
}

void ReplaceBatch::drop(std::size_t index)
{
    Entry& entry = entries_.at(index);
    if (entry.temporary.empty())
        return;
    sys::remove(temporaryPath(entry));
    entry.temporary.clear();
}

std::string ReplaceBatch::temporaryPath(const Entry& entry) const { return joinPath(folder_, entry.temporary); }

ReplaceResult ReplaceBatch::finish()
{
    for (std::size_t i = 0; i < entries_.size(); ++i)
        drop(i);
    run_->end();
    if (entries_.empty())
        return {};
    if (const int err = sys::flushFolder(folder_))
        return {err, ReplaceStep::Rename};
    removeStaleTemporariesOnce(folder_);
    return {};
}

}  // namespace profile
