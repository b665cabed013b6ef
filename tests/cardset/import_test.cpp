#include "card_export.h"
#include "card_import.h"
#include "card_set.h"
#include "card_folder.h"
#include "code_page.h"
#include "csv.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <map>
#include <sys/stat.h>

namespace {

using testsupport::readBytes;

// Two cards as the editor saves them: Japanese text, a comma, a quote and a
// tab in values, levels left out.
std::vector<CardRow> editorCards()
{
    CardRow a{"000", {"3", "4", "1", 2, {}}};
    a.card.Levels[0] = {"20", "10", "N/30P/1", "たいあたり, \"強\"", "Blast"};
    a.card.Levels[1] = {"30", "", "", "", ""};
    CardRow b{"カード1", {"5", "", "", 0, {}}};
    b.card.Levels[3] = {"80", "1\t2", "AM/120E/3", "ひっかく", "ふぶき"};
    return {a, b};
}

void save(const CardFolder& folder, const std::vector<CardRow>& rows)
{
    for (const CardRow& row : rows)
        ASSERT_FALSE(writeCard(cardFilePath(folder.path(), row.id), row.card));
}

std::string exported(const CardFolder& folder)
{
    std::vector<CardFile> files;
    EXPECT_FALSE(findCardFiles(folder.path(), files));
    return cardsCsv(readCardSet(files).rows);
}

// Every file of the folder with its bytes.
std::map<std::string, std::string> snapshot(const CardFolder& folder)
{
    std::map<std::string, std::string> files;
    for (const std::string& name : folder.names())
        files[name] = folder.read(name);
    return files;
}

// Puts the file's modification time an hour back and returns it.
std::filesystem::file_time_type ageFile(const std::string& path)
{
    const auto p = testsupport::fsPath(path);
    const auto time = std::filesystem::last_write_time(p) - std::chrono::hours(1);
    std::filesystem::last_write_time(p, time);
    return time;
}

std::filesystem::file_time_type mtimeOf(const std::string& path)
{
    return std::filesystem::last_write_time(testsupport::fsPath(path));
}

std::vector<std::string> described(const ImportPlan& plan)
{
    std::vector<std::string> out;
    for (const ImportProblem& p : plan.problems)
        out.push_back(describe(p));
    return out;
}

const std::string kHeader = "ID,rare,maxlv,minlv,super,Lv1.HP,Lv1.P,Lv1.1,Lv1.S,Lv1.2,Lv2.HP,Lv2.P,Lv2.1,Lv2.S,Lv2.2,"
                            "Lv3.HP,Lv3.P,Lv3.1,Lv3.S,Lv3.2,Lv4.HP,Lv4.P,Lv4.1,Lv4.S,Lv4.2\r\n";
// A table row: the first `given` fields as written, the rest of the 25 empty.
std::string row(const std::string& fields, std::size_t given)
{
    return fields + std::string(kCardColumnCount - given, ',') + "\r\n";
}

}  // namespace

TEST(CardImport, ExportThenImportRewritesNothing)
{
    CardFolder folder;
    save(folder, editorCards());
    const auto age = ageFile(folder.file("000.ini"));

    // Typed in the spreadsheet, 〜 is saved as the bytes that read back as ～.
    std::string csv = exported(folder);
    csv.replace(csv.find("ひっかく"), std::string("ひっかく").size(), "ひっかく〜");
    CardRow typed = editorCards()[1];
    typed.card.Levels[3].NomalWaza += "〜";
    save(folder, {typed});
    const auto before = snapshot(folder);

    const ImportPlan plan = planImport(csv, folder.path());
    EXPECT_TRUE(plan.problems.empty()) << described(plan).front();
    EXPECT_EQ(plan.count(CardChange::Unchanged), 2u);
    const ImportOutcome outcome = carryOut(plan);
    EXPECT_FALSE(outcome.problem);
    EXPECT_EQ(outcome.written.size(), 0u);
    EXPECT_EQ(snapshot(folder), before);
    EXPECT_EQ(mtimeOf(folder.file("000.ini")), age);
}

TEST(CardImport, SpreadsheetCsvWritesWhatSaveWrites)
{
    // CR LF, quoted fields with commas and quotes, with and without a byte-order mark.
    const std::string rows = row("000,3,4,1,2,20,10,\"たいあたり, \"\"強\"\"\",N/30P/1,Blast,30", 11)
                             + row("\"001\",,,,,5", 6) + row("", 1);  // a row a spreadsheet left empty
    for (const std::string bom : {"\xEF\xBB\xBF", ""}) {
        CardFolder folder, expected;
        CardRow plain{"001", {}};
        plain.card.Levels[0].MaxHP = "5";
        save(expected, {editorCards()[0], plain});
        const ImportPlan plan = planImport(bom + kHeader + rows, folder.path());
        ASSERT_TRUE(plan.problems.empty()) << described(plan).front();
        EXPECT_EQ(plan.count(CardChange::New), 2u);
        const ImportOutcome outcome = carryOut(plan);
        ASSERT_FALSE(outcome.problem) << *outcome.problem;
        EXPECT_EQ(outcome.written.size(), 2u);
        EXPECT_EQ(snapshot(folder), snapshot(expected));
    }
}

TEST(CardImport, OneBadRowStopsEverythingAndEveryProblemIsListed)
{
    CardFolder folder;
    save(folder, editorCards());
    const auto before = snapshot(folder);
    const std::string csv = kHeader + row("000,9,4,1,2,20,10,Strike,N/30P/1,Blast,30", 11)  // fine, changed
                            + row("002,1,,,,5,,\"two\r\nlines\"", 8)                        // a line break
                            + row("003,,,,7", 5)                                            // super
                            + row("a/b", 1)                                                 // ID
                            + row("000", 1)                                                 // the same ID again
                            + row("004,\xff", 2)                                            // not UTF-8
                            + "005,,,,,\r\n"                                                // a short row
                            + row("006,," + std::string(256, 'x'), 3)                       // over the read limit
                            + row("007,,,,,5,,\xE2\x98\x83", 8);                            // not in Shift-JIS
    const ImportPlan plan = planImport(csv, folder.path());
    const auto problems = described(plan);
    ASSERT_EQ(problems.size(), 8u) << ::testing::PrintToString(problems);
    EXPECT_TRUE(problems[0].starts_with("行3、列「Lv1.1」：レベル1の通常技に")) << problems[0];
    EXPECT_TRUE(problems[1].starts_with("行4、列「super」：スーパーの値「7」")) << problems[1];
    EXPECT_TRUE(problems[2].starts_with("行5、列「ID」")) << problems[2];
    EXPECT_EQ(problems[3], "行6、列「ID」：同じIDが行2にもあります。");
    EXPECT_TRUE(problems[4].starts_with("行7、列「rare」：星にUTF-8")) << problems[4];
    EXPECT_TRUE(problems[5].starts_with("行8：")) << problems[5];
    EXPECT_TRUE(problems[6].starts_with("行9、列「maxlv」：最大LVが256バイト")) << problems[6];
    EXPECT_TRUE(problems[7].starts_with("行10、列「Lv1.1」：レベル1の通常技の文字「☃」")) << problems[7];

    const ImportOutcome outcome = carryOut(plan);
    EXPECT_TRUE(outcome.problem);
    EXPECT_EQ(outcome.written.size(), 0u);
    EXPECT_EQ(snapshot(folder), before);
}

TEST(CardImport, OnlyChangedCardsAreWrittenAndReadOnlyOnesRefused)
{
    CardFolder folder;
    save(folder, editorCards());
    const auto age000 = ageFile(folder.file("000.ini"));
    ageFile(folder.file("カード1.ini"));
    std::string csv = exported(folder);
    const std::string old = "\r\nカード1,5,";
    csv.replace(csv.find(old), old.size(), "\r\nカード1,6,");
    csv += row("002,1,,,,5", 6);

    ImportPlan plan = planImport(csv, folder.path());
    ASSERT_TRUE(plan.problems.empty()) << described(plan).front();
    EXPECT_EQ(plan.count(CardChange::New), 1u);
    EXPECT_EQ(plan.count(CardChange::Changed), 1u);
    EXPECT_EQ(plan.count(CardChange::Unchanged), 1u);

    // A read-only card is refused as Save refuses it, before anything is written.
    testsupport::setReadOnly(folder.file("カード1.ini"), true);
    const ImportPlan refused = planImport(csv, folder.path());
    ASSERT_EQ(refused.problems.size(), 1u);
    EXPECT_TRUE(describe(refused.problems[0]).starts_with("行3、列「ID」")) << describe(refused.problems[0]);
    testsupport::setReadOnly(folder.file("カード1.ini"), false);

    const ImportOutcome outcome = carryOut(plan);
    ASSERT_FALSE(outcome.problem) << *outcome.problem;
    EXPECT_EQ(outcome.written.size(), 2u);
    EXPECT_EQ(mtimeOf(folder.file("000.ini")), age000);
    Card changed;
    ASSERT_FALSE(readCard(folder.file("カード1.ini"), changed));
    EXPECT_EQ(changed.Rarity, "6");
    EXPECT_TRUE(folder.names().contains("002.ini"));
}

TEST(CardImport, TableProblemsAreNamed)
{
    CardFolder folder;
    const auto firstProblem = [&](const std::string& csv) {
        const ImportPlan plan = planImport(csv, folder.path());
        return plan.problems.empty() ? std::string() : describe(plan.problems.front());
    };
    EXPECT_EQ(firstProblem(""), "見出しの行がありません。");
    EXPECT_TRUE(firstProblem("ID,rare\r\n").starts_with("行1：列「maxlv」、「minlv」")) << firstProblem("ID,rare\r\n");
    EXPECT_TRUE(firstProblem("ID,HP\r\n").starts_with("行1：2番目の列名「HP」")) << firstProblem("ID,HP\r\n");
    EXPECT_TRUE(firstProblem(kHeader + "000,\"3\r\n").starts_with("行2、列「rare」："))
        << firstProblem(kHeader + "000,\"3\r\n");
    EXPECT_TRUE(folder.names().empty());
}

TEST(CardImport, ReadsTheCodePage932CsvOfJapaneseExcelAsItsUtf8Twin)
{
    const std::string utf8 = kHeader + row("000,3,4,1,2,20,10,\"たいあたり, 強\",N/30P/1,ﾌﾞﾘｻﾞｰﾄﾞ,30", 11)
                             + row("カード1,5,,,,80,,漢字の技", 8);
    const std::optional<std::string> cp932 = profile::utf8ToCp932(utf8);
    ASSERT_TRUE(cp932);
    CardFolder fromUtf8, fromCp932;
    const ImportPlan a = planImport(utf8, fromUtf8.path());
    const ImportPlan b = planImport(*cp932, fromCp932.path());
    ASSERT_TRUE(a.problems.empty()) << described(a).front();
    ASSERT_TRUE(b.problems.empty()) << described(b).front();
    EXPECT_EQ(a.encoding, TableEncoding::Utf8);
    EXPECT_EQ(b.encoding, TableEncoding::Cp932);
    ASSERT_FALSE(carryOut(a).problem);
    ASSERT_FALSE(carryOut(b).problem);
    EXPECT_EQ(snapshot(fromCp932), snapshot(fromUtf8));
    EXPECT_EQ(fromCp932.names().size(), 2u);

    // Neither UTF-8 nor code page 932 (0xFF is in neither): refused, nothing written.
    CardFolder neither;
    const ImportPlan refused = planImport(kHeader + row("000,\xFF", 2), neither.path());
    ASSERT_EQ(refused.problems.size(), 1u);
    EXPECT_NE(describe(refused.problems[0]).find("Shift-JIS"), std::string::npos) << describe(refused.problems[0]);
    EXPECT_TRUE(carryOut(refused).problem);
    EXPECT_TRUE(neither.names().empty());
}

TEST(CardImport, AnIdThatLostItsLeadingZerosIsRefusedUnlessNewIdsAreAsked)
{
    CardFolder folder;
    save(folder, {CardRow{"007", {"1", "", "", 0, {}}}, CardRow{"010", {"1", "", "", 0, {}}}});
    // A spreadsheet that read the IDs as numbers: 007 came back as 7.
    const std::string csv = kHeader + row("7,2", 2) + row("010,1", 2) + row("8,1", 2) + row("0,1", 2);

    const ImportPlan refused = planImport(csv, folder.path());
    ASSERT_EQ(refused.problems.size(), 1u) << ::testing::PrintToString(described(refused));
    const std::string message = describe(refused.problems[0]);
    EXPECT_TRUE(message.starts_with("行2、列「ID」：ID「7」")) << message;
    for (const char* word : {"「007」", "文字列", "--new-ids"})
        EXPECT_NE(message.find(word), std::string::npos) << word;

    const ImportPlan accepted = planImport(csv, folder.path(), {.newIds = true});
    EXPECT_TRUE(accepted.problems.empty());
    EXPECT_EQ(accepted.count(CardChange::New), 3u);
}

TEST(CardImport, ATableThatReadsAsEitherEncodingWithDifferentTextIsRefused)
{
    // "ﾐｰ" in code page 932 is D0 B0, which is Cyrillic "а" in UTF-8.
    const std::string table = kHeader + row("000,1", 2) + row("001,,,,,5,,\xD0\xB0", 8);
    CardFolder folder;
    const ImportPlan plan = planImport(table, folder.path());
    ASSERT_EQ(plan.problems.size(), 1u) << ::testing::PrintToString(described(plan));
    const std::string message = describe(plan.problems[0]);
    EXPECT_TRUE(message.starts_with("行3、列「Lv1.1」：")) << message;
    for (const char* word : {"「а」", "「ﾐｰ」", "--encoding utf-8", "--encoding cp932"})
        EXPECT_NE(message.find(word), std::string::npos) << word << " in " << message;
    EXPECT_TRUE(carryOut(plan).problem);
    EXPECT_TRUE(folder.names().empty());

    // Told, each reading is taken as it is.
    const auto levelOneMove = [&](TableEncoding encoding) {
        CardFolder into;
        const ImportPlan told = planImport(table, into.path(), {.encoding = encoding});
        EXPECT_TRUE(told.problems.empty()) << ::testing::PrintToString(described(told));
        EXPECT_EQ(told.encoding, encoding);
        EXPECT_FALSE(carryOut(told).problem);
        Card card;
        EXPECT_FALSE(readCard(into.file("001.ini"), card));
        return card.Levels[0].NomalWaza;
    };
    EXPECT_EQ(levelOneMove(TableEncoding::Cp932), "ﾐｰ");
    EXPECT_EQ(levelOneMove(TableEncoding::Utf8), "а");

    // The whole table decides: a later field that is not UTF-8 ("ほし") makes
    // it code page 932, the first field included.
    const ImportPlan later = planImport(table + row("002,\x82\xD9\x82\xB5", 2), folder.path());
    EXPECT_TRUE(later.problems.empty()) << ::testing::PrintToString(described(later));
    EXPECT_EQ(later.encoding, TableEncoding::Cp932);

    // An encoding given that the table is not in is refused where it is not.
    const ImportPlan notCp932
        = planImport(kHeader + row("000,\xFF", 2), folder.path(), {.encoding = TableEncoding::Cp932});
    ASSERT_EQ(notCp932.problems.size(), 1u);
    EXPECT_TRUE(describe(notCp932.problems[0]).starts_with("行2、列「rare」：星にShift-JIS"))
        << describe(notCp932.problems[0]);
    const ImportPlan withBom
        = planImport(std::string(kUtf8Bom) + table, folder.path(), {.encoding = TableEncoding::Cp932});
    ASSERT_EQ(withBom.problems.size(), 1u);
    EXPECT_NE(describe(withBom.problems[0]).find("BOM"), std::string::npos);
    EXPECT_TRUE(folder.names().empty());
}

namespace {

// A table file that another program rewrites between the two readings, or
// that the system stops reading part-way.
class ChangingInput final : public TableInput {
public:
    ChangingInput(std::string first, std::string second, std::size_t failAt = SIZE_MAX)
        : text_(std::move(first))
        , second_(std::move(second))
        , failAt_(failAt)
    {
    }
    std::size_t read(char* out, std::size_t size) override
    {
        if (pos_ >= failAt_) {
            error_ = EIO;
            return 0;
        }
        const std::size_t n = std::min({size, text_.size() - pos_, failAt_ - pos_});
        std::copy_n(text_.data() + pos_, n, out);
        pos_ += n;
        return n;
    }
    bool rewind() override
    {
        text_ = second_;
        pos_ = 0;
        return true;
    }
    int error() const override { return error_; }

private:
    std::string text_, second_;
    std::size_t failAt_, pos_ = 0;
    int error_ = 0;
};

}  // namespace

TEST(CardImport, ATableReadInPiecesPlansAsAWholeOneAndAChangedOrBrokenOneWritesNothing)
{
    CardFolder folder;
    save(folder, editorCards());
    std::string csv = exported(folder);
    csv.replace(csv.find("\r\n000,3,"), 8, "\r\n000,4,");
    csv += row("002,1,,,,5,,\"two, \"\"quoted\"\"\"", 8);
    const ImportPlan whole = planImport(csv, folder.path());
    ASSERT_TRUE(whole.problems.empty()) << described(whole).front();
    ASSERT_EQ(whole.cards.size(), 3u);
    for (std::size_t piece : {1, 5, 64}) {
        TextInput input(csv, piece);
        const ImportPlan plan = planImport(input, folder.path());
        EXPECT_TRUE(plan.problems.empty()) << piece;
        ASSERT_EQ(plan.cards.size(), whole.cards.size()) << piece;
        for (std::size_t i = 0; i < plan.cards.size(); ++i) {
            EXPECT_EQ(plan.cards[i].change, whole.cards[i].change) << piece;
            EXPECT_EQ(plan.cards[i].newBytes, whole.cards[i].newBytes) << piece;
        }
    }

    // Without a byte-order mark the table is read twice: a table saved anew
    // in between is refused, not read with the first one's encoding.
    const std::string cp932 = *profile::utf8ToCp932(kHeader + row("003,ほし", 2));
    ChangingInput changed(cp932, kHeader + row("003,\xD0\xB0", 2));
    const ImportPlan refused = planImport(changed, folder.path());
    ASSERT_EQ(refused.problems.size(), 1u) << ::testing::PrintToString(described(refused));
    EXPECT_NE(describe(refused.problems[0]).find("変わりました"), std::string::npos) << describe(refused.problems[0]);

    // A read that fails part-way is the system's problem, and nothing is written.
    ChangingInput failing(csv, csv, csv.size() / 2);
    const ImportPlan unread = planImport(failing, folder.path());
    EXPECT_TRUE(unread.tableUnreadable);
    ASSERT_FALSE(unread.problems.empty());
    EXPECT_TRUE(describe(unread.problems.front()).starts_with("表を読み込めませんでした")) << described(unread).front();
    const auto before = snapshot(folder);
    EXPECT_TRUE(carryOut(unread).problem);
    EXPECT_EQ(snapshot(folder), before);
}

TEST(CardImport, ProblemsStopBeingListedAfterTheFirstThousand)
{
    CardFolder folder;
    std::string csv = kHeader;
    for (int i = 0; i < 1500; ++i)
        csv += "short,row\r\n";
    const ImportPlan plan = planImport(csv, folder.path());
    EXPECT_EQ(plan.problems.size(), kMaxImportProblems);
    EXPECT_TRUE(plan.problemsCut);
    EXPECT_EQ(plan.problems.back().row, kMaxImportProblems + 1);
    EXPECT_TRUE(carryOut(plan).problem);

    const ImportPlan few = planImport(kHeader + "short,row\r\n", folder.path());
    EXPECT_EQ(few.problems.size(), 1u);
    EXPECT_FALSE(few.problemsCut);
}
