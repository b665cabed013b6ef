#include "plain_files.h"

#include "file_io.h"

#include <cerrno>
#include <cstring>

namespace {

std::string reason(int error) { return std::strerror(error); }

}  // namespace

CardProblem readInputFile(const std::string& path, std::string& content)
{
    if (const int error = profile::readFileOnce(path, content))
        return "「" + path + "」を読み込めませんでした：" + reason(error);
    return std::nullopt;
}

CardProblem writeOutputFile(const std::string& path, const std::string& content)
{
    if (const auto result = profile::replaceFile(path, content, true); !result.ok())
        return "「" + path + "」に書き込めませんでした：" + reason(result.error);
    return std::nullopt;
}

CardProblem checkFolder(const std::string& folder)
{
    const profile::FileInfo info = profile::fileInfo(folder);
    if (info.error || info.kind == profile::FileInfo::Kind::Missing)
        return "フォルダー「" + folder + "」を開けませんでした：" + reason(info.error ? info.error : ENOENT);
    if (info.kind != profile::FileInfo::Kind::Folder)
        return "「" + folder + "」はフォルダーではありません。";
    return std::nullopt;
}
