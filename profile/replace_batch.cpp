#include "replace_batch.h"

#include "replace_batch_system.h"

#include <cerrno>

namespace profile {
namespace {

constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kRandomLetters = 6;
constexpr int kNameAttempts = 100;

}  // namespace

ReplaceBatch::ReplaceBatch(std::string folder)
    : folder_(std::move(folder))
    , random_(std::random_device{}())
{
}

ReplaceBatch::~ReplaceBatch()
{
    for (std::size_t i = 0; i < entries_.size(); ++i)
        drop(i);
}

ReplaceResult ReplaceBatch::openFolder()
{
    if (system_)
        return {};
    if (const int err = BatchFolder::open(folder_, system_))
        return {err, ReplaceStep::Folder};
    return {};
}

// A name of replaceFile's scheme, so that a killed batch's leftovers are
// known and cleaned as its are; the file is created exclusively, so a name
// taken meanwhile is only tried again.
std::string ReplaceBatch::temporaryName()
{
    std::string name(kTemporaryPrefix);
    for (std::size_t i = 0; i < kRandomLetters; ++i)
        name += kLetters[random_() % (sizeof kLetters - 1)];
    return name;
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
    if (const ReplaceResult opened = openFolder(); !opened.ok())
        return opened;
    system_->abandon();
    if (std::optional<std::string> reused = system_->reuse(name)) {
        open_ = {name, std::move(*reused)};
        return {};
    }
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string temporary = temporaryName();
        const ReplaceResult created = system_->create(temporary, name);
        if (created.step == ReplaceStep::Folder && created.error == EEXIST)
            continue;
        if (created.ok())
            open_ = {name, std::move(temporary)};
        return created;
    }
    return {EEXIST, ReplaceStep::Folder};
}

ReplaceResult ReplaceBatch::append(std::string_view piece)
{
    if (open_.temporary.empty())
        return {EBADF, ReplaceStep::Write};
    const ReplaceResult appended = system_->append(piece);
    if (!appended.ok())
        open_ = {};
    return appended;
}

ReplaceResult ReplaceBatch::end()
{
    if (open_.temporary.empty())
        return {EBADF, ReplaceStep::Write};
    const ReplaceResult closed = system_->close();
    if (closed.ok())
        entries_.push_back(std::move(open_));
    open_ = {};
    return closed;
}

ReplaceResult ReplaceBatch::makeDurable()
{
    if (!system_)
        return {};
    if (const int err = system_->syncWritten())
        return {err, ReplaceStep::Write};
    return {};
}

ReplaceResult ReplaceBatch::put(std::size_t index)
{
    bool changed = false;
    return putIfUnchanged(index, std::nullopt, changed, false);
}

ReplaceResult ReplaceBatch::putIfUnchanged(std::size_t index, const std::optional<std::string>& expected, bool& changed)
{
    return putIfUnchanged(index, expected, changed, true);
}

ReplaceResult ReplaceBatch::putIfUnchanged(
    std::size_t index, const std::optional<std::string>& expected, bool& changed, bool compare)
{
    changed = false;
    Entry& entry = entries_.at(index);
    if (entry.temporary.empty())
        return {ENOENT, ReplaceStep::Rename};
    const std::optional<std::string_view> old = expected ? std::optional<std::string_view>(*expected) : std::nullopt;
    const int err = compare ? system_->renameIfHolds(entry.temporary, entry.name, old, changed)
                            : system_->rename(entry.temporary, entry.name);
    if (err || changed)
        system_->remove(entry.temporary);
    entry.temporary.clear();
    return err ? ReplaceResult{err, ReplaceStep::Rename} : ReplaceResult{};
}

void ReplaceBatch::drop(std::size_t index)
{
    Entry& entry = entries_.at(index);
    if (entry.temporary.empty())
        return;
    system_->remove(entry.temporary);
    entry.temporary.clear();
}

ReplaceResult ReplaceBatch::finish()
{
    if (!system_)
        return {};
    if (const int err = system_->sync())
        return {err, ReplaceStep::Rename};
    removeStaleTemporariesOnce(folder_);
    return {};
}

}  // namespace profile
