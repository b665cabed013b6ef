#include "plain_files.h"

#include "file_io.h"

#include <cstring>
#include <sys/stat.h>

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
    struct stat st { };
    if (::stat(folder.c_str(), &st) != 0)
        return "フォルダー「" + folder + "」を開けませんでした：" + reason(errno);
    if (!S_ISDIR(st.st_mode))
        return "「" + folder + "」はフォルダーではありません。";
    return std::nullopt;
}
