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
    if (const ReplaceResult opened = openFolder(); !opened.ok())
        return opened;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string temporary = temporaryName();
        const ReplaceResult written = system_->write(temporary, name, content);
        if (written.step == ReplaceStep::Folder && written.error == EEXIST)
            continue;
        if (written.ok())
            entries_.push_back({name, std::move(temporary)});
        return written;
    }
    return {EEXIST, ReplaceStep::Folder};
}

ReplaceResult ReplaceBatch::makeDurable()
{
    if (!system_)
        return {};
    if (const int err = system_->syncWritten())
        return {err, ReplaceStep::Write};
    return {};
}

ReplaceResult ReplaceBatch::put(std::size_t index, bool mustBeNew)
{
    Entry& entry = entries_.at(index);
    if (entry.temporary.empty())
        return {ENOENT, ReplaceStep::Rename};
    const int err = system_->rename(entry.temporary, entry.name, mustBeNew);
    if (err)
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
