#include "git_setup.h"

#include "card_file.h"
#include "card_list.h"
#include "console.h"
#include "file_io.h"
#include "profile_service.h"
#include "shown_name.h"
#include "system_process.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <vector>

namespace {

constexpr int kOk = 0, kNeedsHand = 1, kFailed = 2;

constexpr std::string_view kAttributes = "*.ini -text diff=velmar merge=velmar";
constexpr std::string_view kHookMark = "# velmar-cards pre-commit hook";
constexpr std::string_view kFolderLine = "# velmar-cards folder: ";
constexpr const char* kChainedHook = "velmar-pre-commit";

// Why a file is not to be written, as Save tells it of a card: it is
// read-only, or its folder is (permission bits on Linux, which the program
// checks itself, as root may write anyway; the read-only attribute on Windows).
std::optional<std::string> readOnly(const std::string& path)
{
    const profile::FileInfo file = profile::fileInfo(path);
    if (file.kind == profile::FileInfo::Kind::File && file.readOnly)
        return "読み取り専用な";
    if (file.kind == profile::FileInfo::Kind::Missing && profile::fileInfo(profile::folderOf(path)).readOnly)
        return "読み取り専用のフォルダーにある";
    return std::nullopt;
}

void say(std::string_view text) { console::write(console::Stream::Out, terminalSafe(text)); }
void complain(std::string_view text) { console::write(console::Stream::Err, terminalSafe(text)); }

// The output of git -C folder ARGS..., without its last line end; nullopt when it failed.
std::optional<std::string> git(const std::string& folder, std::vector<std::string> args)
{
    args.insert(args.begin(), {"git", "-C", folder});
    ProgramRun run = runProgram(args);
    if (run.status != 0)
        return std::nullopt;
    while (!run.out.empty() && (run.out.back() == '\n' || run.out.back() == '\r'))
        run.out.pop_back();
    return run.out;
}

// One word for git's sh: in single quotes, which keep every character as
// it is (a newline too), a single quote written as '\''.
std::string singleQuoted(const std::string& text)
{
    std::string out = "'";
    for (const char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// The same in the merge driver's command, where git first puts the files
// and the card's path for %O %A %B %L %P and takes "%%" for "%".
std::string driverWord(const std::string& text)
{
    std::string out;
    for (const char c : singleQuoted(text))
        out += c == '%' ? std::string("%%") : std::string(1, c);
    return out;
}

// The staged cards of a folder (given as git's prefix, "cards/"), in
// pathspec glob form: "*" does not reach into the folders below.
std::string pathspecOf(const std::string& prefix)
{
    std::string spec = ":(top,glob)";
    for (const char c : prefix) {
        if (c == '*' || c == '?' || c == '[' || c == '\\')
            spec += '\\';
        spec += c;
    }
    return spec + "*.ini";
}

std::string hookText(const std::string& executable, const std::vector<std::string>& prefixes)
{
    std::string folders, specs;
    for (const std::string& prefix : prefixes) {
        folders += std::string(kFolderLine) + prefix + "\n";
        specs += ' ';
        specs += singleQuoted(pathspecOf(prefix));
    }
    return std::string(kHookMark)
           + ", written by \"velmar-cards git-setup\" (it writes it anew).\n"
             "# Refuses a commit whose staged cards (what is in the index) hold merge\n"
             "# conflict markers or anything the editor's Save refuses to write.\n"
           + folders + "velmar=" + singleQuoted(executable)
           + "\n"
             "if [ ! -x \"$velmar\" ]; then\n"
             "    echo \"velmar-cards が見つかりません: $velmar\" >&2\n"
             "    echo \"velmar-cards git-setup をもう一度実行してください。\" >&2\n"
             "    exit 1\n"
             "fi\n"
             "# Every staged card but a deleted one, a moved card under its new name.\n"
             "list=$(git diff --cached --raw --no-abbrev --no-renames --diff-filter=d --"
           + specs
           + ") || exit 1\n"
             "[ -n \"$list\" ] || exit 0\n"
             "{ printf '%s\\n\\n' \"$list\"; printf '%s\\n' \"$list\" | cut -d' ' -f4 | git cat-file --batch; } |\n"
             "    \"$velmar\" check --staged\n";
}

std::string withShellLine(const std::string& hook) { return "#!/bin/sh\n" + hook; }

// The card folders an earlier git-setup wrote into its own hook.
std::vector<std::string> foldersOf(const std::string& hook)
{
    std::vector<std::string> prefixes;
    for (std::size_t pos = 0; pos < hook.size();) {
        const std::size_t lf = std::min(hook.find('\n', pos), hook.size());
        const std::string_view line = std::string_view(hook).substr(pos, lf - pos);
        if (line.starts_with(kFolderLine))
            prefixes.emplace_back(line.substr(kFolderLine.size()));
        pos = lf + 1;
    }
    return prefixes;
}

class Setup {
public:
    explicit Setup(std::string folder)
        : folder_(std::move(folder))
    {
    }

    int run()
    {
        if (profile::fileInfo(folder_).kind != profile::FileInfo::Kind::Folder) {
            complain("velmar-cards: フォルダー「" + shownName(folder_) + "」がありません。\n");
            return kFailed;
        }
        if (runProgram({"git", "--version"}).status != 0) {
            complain("velmar-cards: git が見つかりません。Git を入れて、PATH から使えるようにしてください。\n");
            return kFailed;
        }
        const auto prefix = git(folder_, {"rev-parse", "--show-prefix"});
        const auto top = git(folder_, {"rev-parse", "--show-toplevel"});
        const auto hooks = git(folder_, {"rev-parse", "--git-path", "hooks"});
        if (!prefix || !top || !hooks) {
            complain(
                "velmar-cards: フォルダー「" + shownName(folder_)
                + "」はGitのリポジトリ（作業ツリー）の中にありません。先に git init か git clone をしてください。\n");
            return kFailed;
        }
        if (prefix->find('\n') != std::string::npos) {
            complain("velmar-cards: 改行を含むフォルダー名には設定できません。\n");
            return kFailed;
        }
        const std::string executable = executablePathForGit();
        if (executable.empty()) {
            complain("velmar-cards: このコマンドのある場所が分かりません。\n");
            return kFailed;
        }
        say("Gitのリポジトリ: " + *top + "\n");
        const int attributes = this->attributes();
        const bool ok = attributes != kFailed && config("merge.velmar.name", "Velmar: カードをキーごとにマージ")
                        && config("merge.velmar.driver", driverWord(executable) + " merge %O %A %B %L %P")
                        && config("diff.velmar.textconv", singleQuoted(executable) + " show");
        if (!ok)
            return kFailed;
        const std::filesystem::path hooksPath = profile::fsPath(*hooks);
        const std::filesystem::path hooksFolder
            = hooksPath.is_absolute() ? hooksPath : profile::fsPath(folder_) / hooksPath;
        const int hook = installHook(profile::utf8Path(hooksFolder.lexically_normal()), executable, *prefix);
        if (hook == kFailed)
            return kFailed;
        const int status = std::max(attributes, hook);
        say(written_ > 0 ? std::to_string(written_)
                               + " か所を書き込みました。.gitattributes はコミットしてください（ほかのクローンでも"
                                 "同じ扱いになります）。設定とフックはクローンごとに、このコマンドで入れます。\n"
            : status == kOk ? "何も変えていません（すべて設定済みです）。\n"
                            : "ほかに変えたところはありません。\n");
        return status;
    }

private:
    // The attributes line in the card folder's .gitattributes, added at its
    // end; a read-only file is left as it is, as Save leaves a read-only card.
    int attributes()
    {
        const std::string path = profile::joinPath(folder_, ".gitattributes");
        std::string text;
        const int err = profile::readFileOnce(path, text);
        if (err != 0 && err != ENOENT) {
            complain("velmar-cards: 「" + shownName(path) + "」を読めません：" + systemReason(err) + "\n");
            return kFailed;
        }
        for (std::size_t pos = 0; pos < text.size();) {
            const std::size_t lf = std::min(text.find('\n', pos), text.size());
            std::string_view line = std::string_view(text).substr(pos, lf - pos);
            if (line.ends_with('\r'))
                line.remove_suffix(1);
            if (line == kAttributes) {
                say(".gitattributes: 「" + std::string(kAttributes) + "」は設定済みです。\n");
                return kOk;
            }
            pos = lf + 1;
        }
        if (const auto reason = readOnly(path)) {
            say(".gitattributes: 「" + shownName(path) + "」は" + *reason
                + "ので、書き込んでいません。次の1行を書き加えて、コミットしてください:\n    "
                + std::string(kAttributes) + "\n");
            return kNeedsHand;
        }
        if (!text.empty() && text.back() != '\n')
            text += '\n';
        text += std::string(kAttributes) + "\n";
        if (const auto result = profile::replaceFile(path, text, true); !result.ok()) {
            complain("velmar-cards: 「" + shownName(path) + "」に書き込めません：" + systemReason(result.error) + "\n");
            return kFailed;
        }
        say(".gitattributes: 「" + std::string(kAttributes) + "」を書き加えました（" + shownName(path) + "）。\n");
        ++written_;
        return kOk;
    }

    bool config(const std::string& name, const std::string& value)
    {
        if (git(folder_, {"config", "--local", "--get", name}) == value) {
            say("設定 " + name + ": 設定済みです。\n");
            return true;
        }
        if (!git(folder_, {"config", "--local", name, value})) {
            complain("velmar-cards: git config " + name + " を書き込めませんでした。\n");
            return false;
        }
        say("設定 " + name + " = " + value + "\n");
        ++written_;
        return true;
    }

    int writeHook(const std::string& path, const std::string& text)
    {
        const auto result = profile::replaceFile(path, text, true);
        std::error_code error;
        using std::filesystem::perms;
        if (result.ok())
            std::filesystem::permissions(profile::fsPath(path),
                perms::owner_exec | perms::group_exec | perms::others_exec, std::filesystem::perm_options::add, error);
        if (!result.ok() || error) {
            complain("velmar-cards: フック「" + shownName(path) + "」を書き込めません：" + systemReason(result.error)
                     + "\n");
            return kFailed;
        }
        ++written_;
        return kOk;
    }

    // pre-commit: ours is written (again, when what it should say changed);
    // someone else's is never touched: ours goes beside it, to be called from it.
    int installHook(const std::string& hooks, const std::string& executable, const std::string& prefix)
    {
        std::error_code error;
        std::filesystem::create_directories(profile::fsPath(hooks), error);
        const std::string preCommit = profile::joinPath(hooks, "pre-commit");
        std::string existing;
        const int err = profile::readFileOnce(preCommit, existing);
        if (err != 0 && err != ENOENT) {
            complain("velmar-cards: 「" + shownName(preCommit) + "」を読めません：" + systemReason(err) + "\n");
            return kFailed;
        }
        const bool foreign = err == 0 && existing.find(kHookMark) == std::string::npos;
        const std::string path = foreign ? profile::joinPath(hooks, kChainedHook) : preCommit;
        std::string current;
        if (foreign) {
            const int chainedErr = profile::readFileOnce(path, current);
            if (chainedErr != 0 && chainedErr != ENOENT) {
                complain("velmar-cards: 「" + shownName(path) + "」を読めません：" + systemReason(chainedErr) + "\n");
                return kFailed;
            }
            if (chainedErr == 0 && current.find(kHookMark) == std::string::npos) {
                say("フック: 「" + shownName(path)
                    + "」は velmar-cards "
                      "が書いたものではないので、そのままにしました。カードを確かめるフックを入れるには、"
                      "このファイルを別の名前に移してから、もう一度 git-setup を実行してください。\n");
                return kNeedsHand;
            }
        } else {
            current = existing;
        }
        std::vector<std::string> prefixes = foldersOf(current);
        if (std::find(prefixes.begin(), prefixes.end(), prefix) == prefixes.end())
            prefixes.push_back(prefix);
        const std::string text = withShellLine(hookText(executable, prefixes));
        if (current == text) {
            say("フック: 「" + shownName(path) + "」は設定済みです。\n");
        } else if (const auto reason = readOnly(path)) {
            say("フック: 「" + shownName(path) + "」は" + *reason
                + "ので、書き換えていません。書き込めるようにしてから、もう一度 git-setup を実行してください。\n");
            return kNeedsHand;
        } else {
            if (writeHook(path, text) != kOk)
                return kFailed;
            say("フック: 「" + shownName(path) + "」を書きました。\n");
        }
        if (!foreign)
            return kOk;
        if (existing.find(kChainedHook) != std::string::npos) {
            say("フック: 既存の pre-commit から " + std::string(kChainedHook) + " が呼ばれています。\n");
            return kOk;
        }
        say("フック: 「" + shownName(preCommit)
            + "」は別のフックなので、そのままにしました。カードを確かめるには、その中に次の1行を加えてください:\n"
              "    \"$(git rev-parse --git-path hooks)/"
            + kChainedHook + "\" || exit 1\n");
        return kNeedsHand;
    }

    std::string folder_;
    int written_ = 0;
};

}  // namespace

int gitSetup(const std::string& folder) { return Setup(folder).run(); }
