#include "plain_files.h"

#include "file_io.h"
#include "replace_batch.h"
#include "shown_name.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

constexpr std::size_t kPieceBytes = 1 << 20;

std::string reason(int error) { return std::strerror(error); }

// A device, a pipe or a symbolic link (/dev/null, /dev/stdout, a FIFO, a link
// to a table kept elsewhere) is written into as it is: replacing it would put
// a plain file where the special file or the link was, and for /dev/null, run
// as root, for every program of the system.
bool writtenInPlace(const std::string& path)
{
    std::error_code error;
    const auto status = std::filesystem::symlink_status(profile::fsPath(path), error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)
           && !std::filesystem::is_directory(status);
}

}  // namespace

CardProblem checkFolder(const std::string& folder)
{
    const profile::FileInfo info = profile::fileInfo(folder);
    if (info.error || info.kind == profile::FileInfo::Kind::Missing)
        return "フォルダー「" + shownName(folder) + "」を開けませんでした：" + reason(info.error ? info.error : ENOENT);
    if (info.kind != profile::FileInfo::Kind::Folder)
        return "「" + shownName(folder) + "」はフォルダーではありません。";
    return std::nullopt;
}

OutputFile::OutputFile(std::string path)
    : path_(std::move(path))
{
    buffer_.reserve(kPieceBytes);
    if (writtenInPlace(path_)) {
        inPlace_ = std::make_unique<std::ofstream>(profile::fsPath(path_), std::ios::binary | std::ios::trunc);
        if (!*inPlace_)
            error_ = errno ? errno : EIO;
        return;
    }
    std::size_t nameAt = path_.size();
    while (nameAt > 0 && !profile::isPathSeparator(path_[nameAt - 1]))
        --nameAt;
    batch_ = std::make_unique<profile::ReplaceBatch>(profile::folderOf(path_));
    if (const auto begun = batch_->begin(path_.substr(nameAt)); !begun.ok())
        error_ = begun.error;
}

OutputFile::~OutputFile() = default;

void OutputFile::flush()
{
    if (error_ == 0 && inPlace_) {
        if (!inPlace_->write(buffer_.data(), std::streamsize(buffer_.size())))
            error_ = errno ? errno : EIO;
    } else if (error_ == 0) {
        if (const auto appended = batch_->append(buffer_); !appended.ok())
            error_ = appended.error;
    }
    buffer_.clear();
}

void OutputFile::append(std::string_view piece)
{
    buffer_ += piece;
    if (buffer_.size() >= kPieceBytes)
        flush();
}

CardProblem OutputFile::finish()
{
    flush();
    if (inPlace_ && error_ == 0 && !inPlace_->flush())
        error_ = errno ? errno : EIO;
    const auto run = [this](const auto& step) {
        if (inPlace_)
            return;
        if (error_ == 0)
            if (const profile::ReplaceResult result = step(); !result.ok())
                error_ = result.error;
    };
    run([&] { return batch_->end(); });
    run([&] { return batch_->makeDurable(); });
    run([&] { return batch_->put(0); });
    run([&] { return batch_->finish(); });
    if (error_)
        return "「" + shownName(path_) + "」に書き込めませんでした：" + reason(error_);
    return std::nullopt;
}
