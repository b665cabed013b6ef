// ReplaceBatch's system calls on Windows. Windows has no flush of many files
// at once that an ordinary user may call, so each file is flushed as it is
// closed; every replace is still one ReplaceFileW or MoveFileExW.

#include "replace_batch_system.h"
#include "system_files.h"
#include "system_path_windows.h"

#include <algorithm>
#include <cerrno>
#include <windows.h>

namespace profile {

struct BatchFolder::State {
    std::string folder;
    HANDLE file = INVALID_HANDLE_VALUE;  // the file being written
    std::string fileName;                // its name
};

namespace {

std::string inFolder(const std::string& folder, const std::string& name)
{
    return folder.empty() || sys::isSeparator(folder.back()) ? folder + name : folder + '\\' + name;
}

int lastErrno() { return sys::errnoOf(GetLastError()); }

}  // namespace

BatchFolder::BatchFolder(std::unique_ptr<State> state)
    : state_(std::move(state))
{
}

BatchFolder::~BatchFolder() { abandon(); }

int BatchFolder::open(const std::string& folder, std::unique_ptr<BatchFolder>& opened)
{
    const FileInfo info = fileInfo(folder);
    if (info.error)
        return info.error;
    if (info.kind == FileInfo::Kind::Missing)
        return ENOENT;
    if (info.kind != FileInfo::Kind::Folder)
        return ENOTDIR;
    auto state = std::make_unique<State>();
    state->folder = folder;
    opened.reset(new BatchFolder(std::move(state)));
    return 0;
}

ReplaceResult BatchFolder::create(const std::string& temporary, const std::string&)
{
    // The attributes and security of the file replaced are kept by
    // ReplaceFileW when the new one is put in place.
    const HANDLE h = CreateFileW(sys::systemPath(inFolder(state_->folder, temporary)).c_str(), GENERIC_WRITE, 0,
        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return {lastErrno(), ReplaceStep::Folder};
    state_->file = h;
    state_->fileName = temporary;
    return {};
}

// Every file is a new one here: ReplaceFileW leaves no old file to reuse.
std::optional<std::string> BatchFolder::reuse(const std::string&) { return std::nullopt; }

ReplaceResult BatchFolder::append(std::string_view content)
{
    while (!content.empty()) {
        DWORD n = 0;
        if (!WriteFile(
                state_->file, content.data(), DWORD(std::min<std::size_t>(content.size(), 1u << 30)), &n, nullptr))
            return {lastErrno(), ReplaceStep::Write};
        if (n == 0)
            return {EIO, ReplaceStep::Write};
        content.remove_prefix(n);
    }
    return {};
}

ReplaceResult BatchFolder::close()
{
    const HANDLE h = state_->file;
    state_->file = INVALID_HANDLE_VALUE;
    const bool flushed = FlushFileBuffers(h);
    const int flushError = flushed ? 0 : lastErrno();
    if (!CloseHandle(h))
        return {lastErrno(), ReplaceStep::Write};
    return flushError ? ReplaceResult{flushError, ReplaceStep::Write} : ReplaceResult{};
}

void BatchFolder::abandon()
{
    if (state_->file == INVALID_HANDLE_VALUE)
        return;
    CloseHandle(state_->file);
    state_->file = INVALID_HANDLE_VALUE;
    remove(state_->fileName);
}

// Each file was flushed when it was closed.
int BatchFolder::syncWritten() { return 0; }

int BatchFolder::rename(const std::string& temporary, const std::string& name)
{
    const std::string path = inFolder(state_->folder, name);
    const bool replacing = fileInfo(path).kind == FileInfo::Kind::File;
    return sys::putInPlace(inFolder(state_->folder, temporary), path, replacing, true);
}

int BatchFolder::renameIfHolds(
    const std::string& temporary, const std::string& name, std::optional<std::string_view> expected, bool& changed)
{
    const std::string path = inFolder(state_->folder, name);
    std::string bytes;
    const int read = readFileOnce(path, bytes);
    changed = expected ? read != 0 || bytes != *expected : read != ENOENT;
    if (changed)
        return 0;
    return sys::putInPlace(inFolder(state_->folder, temporary), path, bool(expected), true);
}

void BatchFolder::remove(const std::string& temporary) { sys::remove(inFolder(state_->folder, temporary)); }

// Every rename was written through to the folder.
int BatchFolder::sync() { return 0; }

}  // namespace profile
