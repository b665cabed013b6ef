#include "plain_files.h"

#include "file_io.h"
#include "replace_batch.h"
#include "shown_name.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr std::size_t kPieceBytes = 1 << 20;

std::string reason(int error) { return std::strerror(error); }

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
    std::size_t nameAt = path_.size();
    while (nameAt > 0 && !profile::isPathSeparator(path_[nameAt - 1]))
        --nameAt;
    batch_ = std::make_unique<profile::ReplaceBatch>(profile::folderOf(path_));
    if (const auto begun = batch_->begin(path_.substr(nameAt)); !begun.ok())
        error_ = begun.error;
    buffer_.reserve(kPieceBytes);
}

OutputFile::~OutputFile() = default;

void OutputFile::flush()
{
    if (error_ == 0)
        if (const auto appended = batch_->append(buffer_); !appended.ok())
            error_ = appended.error;
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
    const auto run = [this](const auto& step) {
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
