// velmar-cards: the whole card set of a folder at once, beside the editor that
// shows one card at a time. It reads and writes the cards with the editor's
// own card rules. This file only reads the command line and prints; the work
// is done by the cardset library.

#include "velmar_cards.h"

#include "card_check.h"
#include "card_import.h"
#include "card_export.h"
#include "card_list.h"
#include "card_report.h"
#include "card_set.h"
#include "console.h"
#include "file_io.h"
#include "git_commands.h"
#include "git_setup.h"
#include "input_file.h"
#include "plain_files.h"
#include "profile_service.h"
#include "progress_line.h"
#include "report_page.h"
#include "shown_name.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Exit statuses.
constexpr int kOk = 0;
constexpr int kFound = 1;   // problems in the cards or the table
constexpr int kFailed = 2;  // the command could not do its work at all

constexpr const char* kMainHelp
    = "使い方: velmar-cards <コマンド> [引数]\n"
      "\n"
      "フォルダーのカードファイル（*.ini）をまとめて扱います。フォルダーを省くと\n"
      "このコマンドのあるフォルダーです（エディターと同じ）。\n"
      "\n"
      "コマンド:\n"
      "  list [フォルダー]\n"
      "      カードをID順に一覧表示します。\n"
      "  export [フォルダー] --csv ファイル [--json ファイル]\n"
      "      全カードをCSVやJSONに書き出します。\n"
      "  check [フォルダー]\n"
      "      Windowsのプログラムやエディターがファイルと違って読むところを挙げます。\n"
      "  import ファイル.csv [フォルダー] [--dry-run] [--new-ids] [--encoding 文字コード]\n"
      "      CSVのカードをエディターの保存と同じに書き込みます。\n"
      "  report [フォルダー] [--html ファイル] [--json ファイル] [--fail-on-outliers]\n"
      "      HP・P・拡張技の数と回数の分布、中央値、外れ値のレポート（1つのHTML）を書きます。\n"
      "\n"
      "Gitで扱うカードフォルダーのためのコマンド:\n"
      "  git-setup [フォルダー]\n"
      "      リポジトリにカードのマージ、差分の表示、コミット前の確認を設定します。\n"
      "  show カード.ini\n"
      "      カードファイルをUTF-8の文字で表示します（git diff が使います）。\n"
      "  merge BASE OURS THEIRS [PATH]\n"
      "      カードをキーごとに3方向マージします（git が使います）。\n"
      "\n"
      "各コマンドの説明: velmar-cards <コマンド> --help\n";

constexpr const char* kListHelp = "使い方: velmar-cards list [フォルダー]\n"
                                  "\n"
                                  "カードファイル（*.ini）を1枚1行、ID順に表示します。列は export と同じ名前で、\n"
                                  "どのカードでも空の列は省きます。値はエディターが読み込むとおりです。\n"
                                  "マージの衝突が残るカードは、各衝突の「こちら」側の値を示し、そのことを示します。\n"
                                  "\n"
                                  "終了コード: 0 成功、1 読めないカードかマージの衝突が残るカードがあった、\n"
                                  "2 フォルダーを読めない\n";

constexpr const char* kExportHelp
    = "使い方: velmar-cards export [フォルダー] --csv ファイル [--json ファイル]\n"
      "\n"
      "全カードを1枚1行（CSV）か1つのオブジェクト（JSON）に書き出します。\n"
      "列: ID, rare, maxlv, minlv, super, Lv1.HP, Lv1.P, Lv1.1, Lv1.S, Lv1.2, … Lv4.2\n"
      "値はエディターが読み込むとおりです。super は 0〜3、エディターが選択を変えない\n"
      "値（ないか 0〜3 でない）のときは空です。\n"
      "CSVはBOM付きUTF-8、改行はCR LF、RFC 4180の引用です。ファイルに「-」で標準出力。\n"
      "\n"
      "マージの衝突が残るカードは、各衝突の「こちら」側の値を書き出し、そのことを示します。\n"
      "\n"
      "終了コード: 0 成功、1 読めないカードかマージの衝突が残るカードがあった、\n"
      "2 フォルダーかファイルのエラー\n";

constexpr const char* kCheckHelp
    = "使い方: velmar-cards check [フォルダー]\n"
      "       velmar-cards check --staged\n"
      "\n"
      "Windowsのプログラムやエディターがファイルの内容と違って読むところを、カードごとに\n"
      "「ファイル:行: 内容」の形で挙げます: 255バイトを超える値、Shift-JIS（コードページ932）\n"
      "でないバイト、0〜3でない super、範囲や効果が分からない・3つに分かれない S、1のない P、\n"
      "2のない S、HPのないレベルのキー、2回目の見出しやキー、エディターの知らない見出しやキー\n"
      "（次の保存で消えます）、エディターがIDとして受け付けないファイル名、解決されていない\n"
      "マージの衝突（gitの衝突の印「<<<<<<<」の行）など。\n"
      "\n"
      "  --staged  git-setup の入れる pre-commit フックが使います。コミットするカード（インデックス\n"
      "            の中身）を標準入力から読みます: まず\n"
      "              git diff --cached --raw --no-abbrev --diff-filter=ACM -- <カードのパス>\n"
      "            の行、空行、続いてその各行の新しいオブジェクトについての git cat-file --batch の\n"
      "            出力。エディターが保存しない値（Shift-JISでないバイト、255バイトを超える値、\n"
      "            制御文字、使えないID）とマージの衝突だけを挙げます。\n"
      "\n"
      "終了コード: 0 問題なし、1 問題あり（--staged: コミットを止める）、2 フォルダーか入力を読めない\n";

constexpr const char* kShowHelp
    = "使い方: velmar-cards show カード.ini\n"
      "\n"
      "カードファイルを1行ずつUTF-8の文字にして標準出力に書きます（改行はLF）。ファイルの\n"
      "文字コード（Shift-JIS、BOMがあればUTF-8かUTF-16）で読み、その文字でないバイトと制御文字は\n"
      "\\x82 のように示します。git-setup が git diff、git log -p、git show のための textconv\n"
      "（diff.velmar.textconv）にします。\n"
      "\n"
      "終了コード: 0 成功、2 ファイルを読めない\n";

constexpr const char* kMergeHelp
    = "使い方: velmar-cards merge BASE OURS THEIRS [PATH]\n"
      "       velmar-cards merge BASE OURS THEIRS 印の長さ PATH\n"
      "\n"
      "gitのマージドライバーです（git-setup が merge.velmar.driver に\n"
      "「velmar-cards merge %O %A %B %L %P」を設定します）。共通の版（BASE）、こちら（OURS）、\n"
      "相手（THEIRS）のカードを見出しとキーごとにマージし、結果を OURS に書きます。\n"
      "キーはエディターやWindowsのプログラムと同じに読みます（最初のものが有効、大文字と小文字\n"
      "は区別しない、ないことも1つの値）。片方だけが変えたキーはその値、両方が同じに変えたキーは\n"
      "その値になります。拡張技の S は、範囲・数・効果・回数の4つに分けてマージします。\n"
      "\n"
      "どの版もエディターの保存したとおりのファイルなら、結果はエディターが保存するのと同じ\n"
      "バイトです。ほかのキーやコメントがあれば、こちらの版に相手の変更を書き込み、何も落としません。\n"
      "\n"
      "両側で違って変えたキー（片方で消したキー、片方でMaxHPを空にしたレベルのほかの値も）は\n"
      "衝突です: そのキーの行だけを gitの衝突の印（<<<<<<< ours、=======、>>>>>>> theirs）で\n"
      "囲み、衝突ごとにカード（PATH）、欄の名前と3つの値を1行ずつ示します。\n"
      "エディターで読み込むと「こちら」側を示すので、直して保存すると解決します。\n"
      "\n"
      "終了コード: 0 きれいにマージした、1 衝突があった、または読めないファイルがありマージ\n"
      "していない（OURS はそのまま）、2 引数の誤り\n";

constexpr const char* kGitSetupHelp
    = "使い方: velmar-cards git-setup [フォルダー]\n"
      "\n"
      "フォルダー（省くとこのコマンドのあるフォルダー）を含むGitのリポジトリに、カードのための\n"
      "設定をします。クローンごとに1回実行します。2回目からは何も変えず、そう示します。\n"
      "  - フォルダーの .gitattributes に「*.ini -text diff=velmar merge=velmar」を加えます\n"
      "    （改行は変えず、どのシステムでもCR LFのまま。この .gitattributes はコミットします）。\n"
      "  - リポジトリの設定に merge.velmar.name、merge.velmar.driver（このコマンドの場所と\n"
      "    %O %A %B %L %P）、diff.velmar.textconv（show）を書きます。\n"
      "  - pre-commit フック（core.hooksPath があればその中）を入れます。コミットするカード\n"
      "    （作業ツリーではなくインデックスの中身）にマージの衝突か、エディターが保存しない値が\n"
      "    あると、問題を挙げてコミットを止めます。別の pre-commit フックがあれば上書きせず、\n"
      "    velmar-pre-commit として書き、既存のフックに加える1行を示します。\n"
      "\n"
      "終了コード: 0 成功、1 既存のフックに1行を加える必要がある、2 リポジトリの外、gitがない、\n"
      "書き込めないなど\n";

constexpr const char* kImportHelp
    = "使い方: velmar-cards import ファイル.csv [フォルダー] [--dry-run] [--new-ids] [--encoding utf-8|cp932]\n"
      "\n"
      "CSV（export の形）のカードをフォルダーに書き込みます。表はUTF-8か、日本語版Excelの\n"
      "「CSV (コンマ区切り)」のShift-JIS（コードページ932）です。BOM付きならUTF-8、BOMが\n"
      "なければ中身で見分けます。どちらとしても読めて読み方で文字が変わる表は、最初に\n"
      "違うところを行と列で示して取り込みません: --encoding で指定してください。\n"
      "表の大きさに上限はありません（1行は1 MiB＝1,048,576バイトまで）。\n"
      "まず全行をエディターの保存と同じ決まり（ID、Shift-JIS、制御文字、255バイト）で\n"
      "確かめ、1つでも問題があれば何も書き込まず、問題をすべて（1000件まで）行と列で示します。\n"
      "変わったカードだけをエディターの保存と同じバイトで書き込み、変わらないカードには\n"
      "触れません（マージの衝突が残るカードは変わったものとして書き込み、衝突を解決します）。確かめた後にほかで（エディ"
      "ターの保存などで）変わったカードは上書きせず、\n"
      "名前を挙げます。置き換える瞬間にほかのプログラムが書き込んだ内容は、カードの横の\n"
      "「ID.ini.kept-…」に残し、その名前を挙げます。\n"
      "途中で止まったときは、同じ表でもう一度実行すると残りを書き込みます。\n"
      "\n"
      "  --dry-run  結果を示すだけで何も書き込みません。\n"
      "  --new-ids  数字だけのIDが、先頭に0のある同じ番号のカード（7 に対して 007）と別の\n"
      "             新しいカードになるときも書き込みます。これがないと、表計算ソフトが先頭の0を\n"
      "             落としたものとして、表全体を書き込みません。\n"
      "  --encoding utf-8   BOMのない表をUTF-8として読みます（LibreOfficeなどの「CSV」）。\n"
      "  --encoding cp932   表をShift-JIS（コードページ932）として読みます（Excelの「CSV (コンマ区切り)」）。\n"
      "             指定した文字コードでない文字があれば、その行と列を示して取り込みません。\n"
      "\n"
      "終了コード: 0 成功、1 表に問題があり何も書き込んでいない、変わっていたカードを\n"
      "書き込まなかった、またはほかのプログラムの書き込みを別のファイルに残した、\n"
      "2 ファイルやフォルダーのエラー\n";

constexpr const char* kReportHelp
    = "使い方: velmar-cards report [フォルダー] [--html ファイル] [--json ファイル] [--fail-on-outliers]\n"
      "\n"
      "カードセットのバランスのレポートを書きます。カードはエディターが読み込むとおりに読みます。\n"
      "  - 枚数: 読んだカード、星（rare）ごと、スーパーごと、最大LVごと、各レベルのあるカード\n"
      "  - レベル1〜4の MaxHP、通常技のP、拡張技の数と回数（S の数）の箱ひげ図（星ごとに1つの箱）\n"
      "  - レベルごとの MaxHP と P の中央値の線（星ごとに1本）\n"
      "  - 外れ値: 同じレベルと星のカードの中央値から修正zスコア\n"
      "    |値 − 中央値| / (1.4826 × 中央絶対偏差) が3.5を超える値（5枚未満の組、\n"
      "    散らばりのない組にはなし）\n"
      "  - 整数として読めない値（図には入れません）、check の指摘の数と指摘のあるカード\n"
      "\n"
      "  --html ファイル  レポートのページ（1つのHTMLファイル。図のライブラリ Apache ECharts も中に\n"
      "                   あり、ネットワークから何も読みません）。--html も --json もなければ\n"
      "                   今のフォルダーの velmar-report.html です。\n"
      "  --json ファイル  同じ数字をJSONで書きます（四分位は最も近い順位の間の線形補間）。\n"
      "  --fail-on-outliers  外れ値があれば1件1行で示し、終了コード1にします（CIのため）。\n"
      "ファイルに「-」で標準出力。\n"
      "\n"
      "終了コード: 0 成功、1 --fail-on-outliers で外れ値があった、2 フォルダーかファイルのエラー\n";

void print(console::Stream to, std::string_view text) { console::write(to, text); }

// Messages name files, and a file name may hold control characters.
void say(console::Stream to, std::string_view message) { print(to, terminalSafe(message)); }

int usageError(const std::string& message, const char* command)
{
    say(console::Stream::Err, "velmar-cards: " + message + "\n");
    say(console::Stream::Err,
        std::string("詳しくは: velmar-cards ") + (command ? std::string(command) + " " : "") + "--help\n");
    return kFailed;
}

// The words of one command line: positional arguments and "--name value" options.
struct Arguments {
    std::vector<std::string> positional;
    std::optional<std::string> csv, json, html;
    bool failOnOutliers = false;
    bool dryRun = false;
    bool newIds = false;
    std::optional<TableEncoding> encoding;
    bool staged = false;
    bool help = false;
};

// The --encoding value: "utf-8" or "cp932", in any letter case.
std::optional<TableEncoding> encodingNamed(std::string name)
{
    for (char& c : name)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    if (name == "utf-8" || name == "utf8")
        return TableEncoding::Utf8;
    if (name == "cp932")
        return TableEncoding::Cp932;
    return std::nullopt;
}

// The options a command takes.
enum Takes : unsigned {
    kNothing = 0,
    kFiles = 1,    // --csv, --json
    kDryRun = 2,   // --dry-run, --new-ids, --encoding
    kStaged = 4,   // --staged
    kRawArgs = 8,  // every argument is positional (git hands over paths that may start with "-")
    kReport = 16,  // --html, --json, --fail-on-outliers
};

// Reads the arguments after the command's name; a message when they are wrong.
std::optional<std::string> parse(const std::vector<std::string>& argv, unsigned takes, Arguments& args)
{
    const std::size_t argc = argv.size();
    const bool takesFiles = takes & kFiles, takesDryRun = takes & kDryRun, takesReport = takes & kReport;
    if (takes & kRawArgs) {
        args.help = argc == 3 && (argv[2] == "--help" || argv[2] == "-h");
        if (!args.help)
            args.positional.assign(argv.begin() + 2, argv.end());
        return std::nullopt;
    }
    for (std::size_t i = 2; i < argc; ++i) {
        const std::string& arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            args.help = true;
        } else if ((takes & kStaged) && arg == "--staged") {
            args.staged = true;
        } else if (takesDryRun && arg == "--dry-run") {
            args.dryRun = true;
        } else if (takesDryRun && arg == "--new-ids") {
            args.newIds = true;
        } else if (takesDryRun && (arg == "--encoding" || arg.starts_with("--encoding="))) {
            const auto eq = arg.find('=');
            if (eq == std::string::npos && i + 1 >= argc)
                return "「--encoding」の後に utf-8 か cp932 がありません。";
            const std::string name = eq != std::string::npos ? arg.substr(eq + 1) : argv[++i];
            args.encoding = encodingNamed(name);
            if (!args.encoding)
                return "--encoding は utf-8 か cp932 です（「" + name + "」ではなく）。";
        } else if (takesReport && arg == "--fail-on-outliers") {
            args.failOnOutliers = true;
        } else if ((takesFiles && (arg == "--csv" || arg.starts_with("--csv=")))
                   || ((takesFiles || takesReport) && (arg == "--json" || arg.starts_with("--json=")))
                   || (takesReport && (arg == "--html" || arg.starts_with("--html=")))) {
            const std::string name = arg.substr(0, arg.find('='));
            const auto eq = arg.find('=');
            std::string file;
            if (eq != std::string::npos)
                file = arg.substr(eq + 1);
            else if (i + 1 < argc)
                file = argv[++i];
            else
                return "「" + arg + "」の後にファイル名がありません。";
            (name == "--csv" ? args.csv : name == "--json" ? args.json : args.html) = file;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            return "知らないオプション「" + arg + "」です。";
        } else {
            args.positional.push_back(arg);
        }
    }
    return std::nullopt;
}

// The folder given, or the folder that holds the command, as the editor's
// cards are in its own folder; empty when the system cannot tell that.
std::string folderOr(const std::vector<std::string>& positional, std::size_t index)
{
    return index < positional.size() ? positional[index] : profile::programFolder();
}

constexpr const char* kNoFolder = "このコマンドのあるフォルダーが分かりません。フォルダーを指定してください。";

// The card files of the folder; nullopt (told) when the folder cannot be read.
std::optional<std::vector<CardFile>> listFolder(const std::string& folder)
{
    if (folder.empty()) {
        say(console::Stream::Err, std::string("velmar-cards: ") + kNoFolder + "\n");
        return std::nullopt;
    }
    std::vector<CardFile> files;
    if (auto problem = findCardFiles(folder, files)) {
        say(console::Stream::Err, "velmar-cards: " + *problem + "\n");
        return std::nullopt;
    }
    return files;
}

// Reads every card, one at a time, into `visit`; prints the cards it cannot
// read and tells whether there were any.
bool readEach(const std::vector<CardFile>& files, const std::function<void(const CardRow&)>& visit)
{
    std::vector<std::string> problems;
    {
        ProgressLine progress("カードを読み込んでいます");
        forEachCard(files, visit, problems, std::ref(progress));
    }
    for (const std::string& problem : problems)
        say(console::Stream::Err, "velmar-cards: " + problem + "\n");
    return problems.empty();
}

int list(const Arguments& args)
{
    if (args.positional.size() > 1)
        return usageError("フォルダーは1つだけ指定してください。", "list");
    const auto files = listFolder(folderOr(args.positional, 0));
    if (!files)
        return kFailed;
    CardListTable table;
    const bool allRead = readEach(*files, [&](const CardRow& row) { table.add(row); });
    table.write([](std::string_view piece) { print(console::Stream::Out, piece); });
    return allRead ? kOk : kFound;
}

// Where an exported table goes: a file, put in place once complete, or
// standard output ("-"), held back to the end when another table is
// printed there first.
class TableSink {
public:
    TableSink(const std::string& file, bool holdBack)
        : holdBack_(holdBack)
    {
        if (file != "-")
            file_.emplace(file);
    }
    void append(std::string_view piece)
    {
        if (file_)
            file_->append(piece);
        else if (holdBack_)
            held_ += piece;
        else
            print(console::Stream::Out, piece);
    }
    CardProblem finish()
    {
        print(console::Stream::Out, held_);
        return file_ ? file_->finish() : std::nullopt;
    }

private:
    bool holdBack_;
    std::optional<OutputFile> file_;
    std::string held_;
};

int exportCards(const Arguments& args)
{
    if (args.positional.size() > 1)
        return usageError("フォルダーは1つだけ指定してください。", "export");
    if (!args.csv && !args.json)
        return usageError("--csv ファイル か --json ファイル を指定してください。", "export");
    const auto files = listFolder(folderOr(args.positional, 0));
    if (!files)
        return kFailed;

    std::optional<TableSink> csv, json;
    if (args.csv)
        csv.emplace(*args.csv, false);
    if (args.json)
        json.emplace(*args.json, args.csv == "-");
    const auto output = [](std::optional<TableSink>& sink) -> TableOutput {
        if (!sink)
            return {};
        return [&sink](std::string_view piece) { sink->append(piece); };
    };
    std::vector<std::string> problems;
    {
        ProgressLine progress("カードを読み込んでいます");
        problems = exportCardSet(*files, output(csv), output(json), std::ref(progress));
    }
    for (const std::string& problem : problems)
        say(console::Stream::Err, "velmar-cards: " + problem + "\n");
    const bool allRead = problems.empty();

    int status = allRead ? kOk : kFound;
    for (auto* sink : {&csv, &json}) {
        if (!*sink)
            continue;
        if (auto problem = (*sink)->finish()) {
            say(console::Stream::Err, "velmar-cards: " + *problem + "\n");
            status = kFailed;
        }
    }
    return status;
}

// "外れ値: 042 レベル1のMaxHP 250（星「3」の中央値 20、修正zスコア 57.3）"
std::string outlierLine(const ReportFigures& figures, const ReportOutlier& o)
{
    char score[32];
    std::snprintf(score, sizeof score, "%.1f", o.z);
    const auto number = [](double v) {
        char text[32];
        std::snprintf(text, sizeof text, v == std::floor(v) ? "%.0f" : "%.2f", v);
        return std::string(text);
    };
    return "外れ値: " + shownName(figures.id(o.card)) + " " + reportFieldName(o.level, o.field) + " " + number(o.value)
           + "（星「" + shownName(o.rarity) + "」の中央値 " + number(o.median) + "、修正zスコア " + score + "）";
}

int report(const Arguments& args)
{
    if (args.positional.size() > 1)
        return usageError("フォルダーは1つだけ指定してください。", "report");
    const std::string folder = folderOr(args.positional, 0);
    const auto files = listFolder(folder);
    if (!files)
        return kFailed;
    const std::optional<std::string> html = args.html || args.json ? args.html : "velmar-report.html";
    CardSetReport made;
    {
        ProgressLine progress("カードを読み込んでいます");
        made = makeCardSetReport(folder, *files, std::ref(progress));
    }
    for (const std::string& problem : made.unreadable)
        say(console::Stream::Err, "velmar-cards: " + problem + "\n");

    // What this command says goes to standard error when a file goes to standard output.
    const console::Stream told = html == "-" || args.json == "-" ? console::Stream::Err : console::Stream::Out;
    int status = kOk;
    const auto write = [&](const std::optional<std::string>& file, const std::string& text) {
        if (!file)
            return;
        TableSink sink(*file, false);
        sink.append(text);
        if (auto problem = sink.finish()) {
            say(console::Stream::Err, "velmar-cards: " + *problem + "\n");
            status = kFailed;
        }
    };
    write(html, reportPage(made));
    write(args.json, reportJson(made));
    if (status != kOk)
        return status;

    const ReportFigures& figures = made.figures;
    std::string written;
    for (const std::optional<std::string>* file : {&html, &args.json})
        if (*file)
            written += (written.empty() ? "" : "、") + (**file == "-" ? std::string("標準出力") : shownName(**file));
    say(told, std::to_string(figures.cards()) + "枚のカードのレポートを書きました（" + written + "）。外れ値 "
                  + std::to_string(figures.outliers.size()) + " 件、数でない値 "
                  + std::to_string(figures.notNumbers.size()) + " 件、check の指摘 " + std::to_string(made.findingCount)
                  + " 件。\n");
    if (!args.failOnOutliers || figures.outliers.empty())
        return kOk;
    for (const ReportOutlier& outlier : figures.outliers)
        say(told, outlierLine(figures, outlier) + "\n");
    return kFound;
}

int check(const Arguments& args)
{
    if (args.staged) {
        if (!args.positional.empty())
            return usageError("--staged にはフォルダーを指定できません。", "check");
        return checkStaged();
    }
    if (args.positional.size() > 1)
        return usageError("フォルダーは1つだけ指定してください。", "check");
    const std::string folder = folderOr(args.positional, 0);
    if (folder.empty())
        return usageError(kNoFolder, "check");
    std::vector<CardFile> files;
    if (auto problem = findCardFiles(folder, files)) {
        say(console::Stream::Err, "velmar-cards: " + *problem + "\n");
        return kFailed;
    }
    ProgressLine progress("カードを確かめています");
    const CheckReport report = checkCardSet(files, std::ref(progress));
    say(console::Stream::Out, report.text);
    for (const std::string& problem : report.unreadable)
        say(console::Stream::Err, "velmar-cards: " + problem + "\n");
    print(console::Stream::Out, report.summary + "\n");
    return report.clean() ? kOk : kFound;
}

// "新規 2 枚、変更 1 枚、変更なし 7 枚": what was written; cards skipped
// because they changed meanwhile, and those another program wrote at the
// last moment, are counted apart.
std::string summary(const ImportPlan& plan, const ImportOutcome& outcome)
{
    std::size_t count[3] = {plan.count(CardChange::New), plan.count(CardChange::Changed), 0};
    for (const std::size_t i : outcome.skipped)
        --count[plan.cards[i].change == CardChange::New ? 0 : 1];
    std::string text = "新規 " + std::to_string(count[0]) + " 枚、変更 " + std::to_string(count[1]) + " 枚、変更なし "
                       + std::to_string(plan.count(CardChange::Unchanged)) + " 枚";
    if (!outcome.skipped.empty())
        text += "、取り込み中にほかで変わったため書き込まなかった " + std::to_string(outcome.skipped.size()) + " 枚";
    if (!outcome.kept.empty())
        text += "、書き込む瞬間にほかのプログラムも書き込んだ " + std::to_string(outcome.kept.size())
                + " 枚（その内容は別のファイルに残しました）";
    return text;
}

// "変更: 000.ini": a card the import writes (or, in a dry run, would write).
std::string changeLine(const ImportCard& card)
{
    return std::string(card.change == CardChange::New ? "新規: " : "変更: ") + shownName(card.path)
           + (card.resolvesConflicts ? "（残っていたマージの衝突を解決します）" : "") + "\n";
}

int importCards(const Arguments& args)
{
    if (args.positional.empty())
        return usageError("読み込むCSVファイルを指定してください。", "import");
    if (args.positional.size() > 2)
        return usageError("CSVファイルとフォルダーのほかは指定できません。", "import");
    const std::string& csvFile = args.positional[0];
    const std::string folder = folderOr(args.positional, 1);
    if (folder.empty())
        return usageError(kNoFolder, "import");

    InputFile table;
    if (const int error = table.open(csvFile)) {
        say(console::Stream::Err,
            "velmar-cards: 「" + shownName(csvFile) + "」を読み込めませんでした：" + std::strerror(error) + "\n");
        return kFailed;
    }
    if (auto problem = checkFolder(folder)) {
        say(console::Stream::Err, "velmar-cards: " + *problem + "\n");
        return kFailed;
    }
    const ImportPlan plan = planImport(table, folder, {.newIds = args.newIds, .encoding = args.encoding});
    if (!plan.problems.empty()) {
        for (const ImportProblem& problem : plan.problems)
            say(console::Stream::Err, shownName(csvFile) + ": " + describe(problem) + "\n");
        if (plan.problemsCut)
            say(console::Stream::Err, "問題が" + std::to_string(kMaxImportProblems)
                                          + "件を超えたため、ここで確かめるのをやめました。何も書き込んでいません。\n");
        else
            say(console::Stream::Err,
                "問題が" + std::to_string(plan.problems.size()) + "件あるため、何も書き込んでいません。\n");
        return plan.tableUnreadable ? kFailed : kFound;
    }
    const std::string encoding = std::string("（表の文字コード: ") + encodingName(plan.encoding) + "）";
    if (args.dryRun) {
        for (const ImportCard& card : plan.cards)
            if (card.change != CardChange::Unchanged)
                say(console::Stream::Out, changeLine(card));
        print(console::Stream::Out, summary(plan, {}) + encoding + "（--dry-run: 何も書き込んでいません）\n");
        return kOk;
    }
    const ImportOutcome outcome = carryOut(plan);
    // Listed once written: a run that stops lists only what it wrote.
    for (const std::size_t written : outcome.written)
        say(console::Stream::Out, changeLine(plan.cards[written]));
    for (const std::size_t skipped : outcome.skipped)
        say(console::Stream::Out, "書き込まず: " + shownName(plan.cards[skipped].path)
                                      + "（確かめた後にほかで変わったため。もう一度取り込むと比べ直します）\n");
    for (const KeptWrite& kept : outcome.kept)
        say(console::Stream::Out, "ほかの書き込みを残しました: " + shownName(plan.cards[kept.card].path)
                                      + "（取り込みが置き換える瞬間にほかのプログラムが書き込んだ内容は「"
                                      + shownName(kept.path) + "」にあります。比べてください）\n");
    if (outcome.problem) {
        say(console::Stream::Err, "velmar-cards: " + *outcome.problem + "\n");
        if (!outcome.written.empty())
            say(console::Stream::Err, std::to_string(outcome.written.size())
                                          + " 枚を書き込んだところで止めました。残りのカードはそのままです。"
                                            "同じ表でもう一度取り込むと残りを書き込みます。\n");
        return kFailed;
    }
    print(console::Stream::Out, summary(plan, outcome) + encoding + "\n");
    return outcome.skipped.empty() && outcome.kept.empty() ? kOk : kFound;
}

int show(const Arguments& args)
{
    if (args.positional.size() != 1)
        return usageError("表示するカードファイルを1つ指定してください。", "show");
    return showCard(args.positional[0]);
}

int merge(const Arguments& args) { return mergeCard(args.positional); }

int setUpGit(const Arguments& args)
{
    if (args.positional.size() > 1)
        return usageError("フォルダーは1つだけ指定してください。", "git-setup");
    const std::string folder = folderOr(args.positional, 0);
    if (folder.empty())
        return usageError(kNoFolder, "git-setup");
    return gitSetup(folder);
}

}  // namespace

int runVelmarCards(const std::vector<std::string>& argv)
{
    profile::ignoreFileSizeSignal();  // a file-size limit fails a write, as any other reason does
    if (argv.size() < 2) {
        say(console::Stream::Err, kMainHelp);
        return kFailed;
    }
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        print(console::Stream::Out, kMainHelp);
        return kOk;
    }
    struct Command {
        const char* name;
        const char* help;
        unsigned takes;
        int (*run)(const Arguments&);
    };
    static const Command commands[] = {
        {"list", kListHelp, kNothing, list},
        {"export", kExportHelp, kFiles, exportCards},
        {"check", kCheckHelp, kStaged, check},
        {"import", kImportHelp, kDryRun, importCards},
        {"report", kReportHelp, kReport, report},
        {"show", kShowHelp, kRawArgs, show},
        {"merge", kMergeHelp, kRawArgs, merge},
        {"git-setup", kGitSetupHelp, kNothing, setUpGit},
    };
    for (const Command& c : commands) {
        if (command != c.name)
            continue;
        Arguments args;
        if (auto problem = parse(argv, c.takes, args))
            return usageError(*problem, c.name);
        if (args.help) {
            print(console::Stream::Out, c.help);
            return kOk;
        }
        return c.run(args);
    }
    return usageError("知らないコマンド「" + command + "」です。", nullptr);
}
