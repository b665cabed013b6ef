#include "card_folder.h"
#include "card_report.h"
#include "report_assets.h"
#include "report_page.h"

#include <gtest/gtest.h>

namespace {

// The set every report test reads, whose figures are worked out by hand below:
//   "30".."50" rarity 3: level 1 HP 100..119 and a planted 500 ("50"); P 0..20;
//       S amount 30 (and a planted 300 that is no outlier: the group does not
//       spread); S count 1, 2, 3 in turn; level 2 HP 200..290 on "30".."39";
//   "10".."13" rarity 1: level 1 HP 10, 11, 12 and 900 (too few cards for
//       outliers); "13" has values that are no whole numbers, and an S that
//       does not split into three (a finding of check);
//   "60" rarity 7, left with merge conflicts (ours: HP 70);
//   "61" rarity 10 (after 7 when ordered as numbers), super 9 (none of the list).
// "50"'s normal move is a name meant to break out of a script element.
constexpr const char* kHostileMove = "</script><script>window.pwned=1</script>";

void fill(const std::string& folder)
{
    for (int k = 0; k <= 20; ++k) {
        Card card;
        card.Rarity = "3";
        card.MaxLv = "4";
        card.MinLv = "1";
        card.SuperMode = k % 4;
        LevelRecord& one = card.Levels[0];
        one.MaxHP = std::to_string(k < 20 ? 100 + k : 500);
        one.Power = std::to_string(k);
        one.NomalWaza = k == 20 ? kHostileMove : "たいあたり";
        one.ExtWazaSpec = k < 20 ? "N/30P/" + std::to_string(1 + k % 3) : "N/300P/1";
        one.ExtWaza = "ほのお";
        if (k < 10)
            card.Levels[1].MaxHP = std::to_string(200 + 10 * k);
        ASSERT_EQ(writeCard(cardFilePath(folder, std::to_string(30 + k)), card), std::nullopt);
    }
    const char* smallHp[] = {"10", "11", "12", "900"};
    for (int k = 0; k < 4; ++k)
        testsupport::writeBytes(cardFilePath(folder, std::to_string(10 + k)),
            std::string("[head]\r\nrare=1\r\nsuper=0\r\n[Lv1]\r\nHP=") + smallHp[k] + "\r\n");
    testsupport::writeBytes(cardFilePath(folder, "13"),
        "[head]\r\nrare=1\r\nsuper=0\r\n[Lv1]\r\nHP=900\r\n"
        "[Lv2]\r\nHP=\x82\x51\x82\x4f\r\nP=12.5\r\n1=a\r\nS=N/xxP/1\r\n2=b\r\n"  // HP "２０"
        "[Lv3]\r\nHP=5\r\nS=bad\r\n2=c\r\n");
    testsupport::writeBytes(cardFilePath(folder, "60"),
        "[head]\r\nrare=7\r\nsuper=2\r\n[Lv1]\r\n<<<<<<< ours\r\nHP=70\r\n=======\r\nHP=80\r\n>>>>>>> theirs\r\n");
    testsupport::writeBytes(cardFilePath(folder, "61"), "[head]\r\nrare=10\r\nsuper=9\r\n[Lv1]\r\nHP=1\r\n");
}

CardSetReport reportOf(const std::string& folder)
{
    std::vector<CardFile> files;
    EXPECT_EQ(findCardFiles(folder, files), std::nullopt);
    return makeCardSetReport(folder, files);
}

std::string counts(const std::vector<ValueCount>& list)
{
    std::string text;
    for (const ValueCount& c : list)
        text += "[" + c.value + "]" + std::to_string(c.cards) + " ";
    return text;
}

std::string groups(const ReportFigures& f)
{
    std::string text;
    for (const ReportGroup& g : f.groups) {
        char line[160];
        std::snprintf(line, sizeof line, "L%d %s [%s] n%zu %g %g %g %g %g\n", g.level,
            std::string(reportFieldKey(g.field)).c_str(), g.rarity.c_str(), g.box.count, g.box.min, g.box.q1,
            g.box.median, g.box.q3, g.box.max);
        text += line;
    }
    return text;
}

}  // namespace

TEST(CardReport, CountsQuartilesOutliersAndValuesThatAreNoNumbers)
{
    CardFolder folder;
    fill(folder.path());
    const CardSetReport report = reportOf(folder.path());
    const ReportFigures& f = report.figures;

    EXPECT_EQ(f.cards(), 27u);
    EXPECT_EQ(counts(f.byRarity), "[1]4 [3]21 [7]1 [10]1 ");
    EXPECT_EQ(counts(f.bySuper), "[0]10 [1]5 [2]6 [3]5 []1 ");
    EXPECT_EQ(counts(f.byMaxLevel), "[4]21 []6 ");
    EXPECT_EQ(f.withLevel, (std::array<std::size_t, 4>{27, 11, 1, 0}));

    // Quartiles by linear interpolation between closest ranks: of 100..119 and
    // 500, ranks 5, 10 and 15; of 10, 11, 12, 900, 10 + 0.75, 11.5 and 12 + 0.25 x 888.
    EXPECT_EQ(groups(f), "L1 HP [1] n4 10 10.75 11.5 234 900\n"
                         "L1 HP [3] n21 100 105 110 115 500\n"
                         "L1 HP [7] n1 70 70 70 70 70\n"
                         "L1 HP [10] n1 1 1 1 1 1\n"
                         "L1 P [3] n21 0 5 10 15 20\n"
                         "L1 S.amount [3] n21 30 30 30 30 300\n"
                         "L1 S.count [3] n21 1 1 2 3 3\n"
                         "L2 HP [3] n10 200 222.5 245 267.5 290\n"
                         "L2 S.count [1] n1 1 1 1 1 1\n"
                         "L3 HP [1] n1 5 5 5 5 5\n");

    // Of 100..119 and 500 the deviations from 110 have the median 5: 500 scores
    // 390 / (1.4826 x 5). 900 among four cards and 300 in a group without spread are none.
    ASSERT_EQ(f.outliers.size(), 1u);
    const ReportOutlier& o = f.outliers[0];
    EXPECT_EQ(f.id(o.card), "50");
    EXPECT_EQ(o.level, 1);
    EXPECT_EQ(o.field, ReportField::HP);
    EXPECT_EQ(o.value, 500);
    EXPECT_EQ(o.median, 110);
    EXPECT_NEAR(o.z, 390 / (1.4826 * 5), 1e-9);
    EXPECT_EQ(f.normalMove(o.card, 1), kHostileMove);

    std::string notNumbers;
    for (const NotANumber& n : f.notNumbers)
        notNumbers += std::string(f.id(n.card)) + " L" + std::to_string(n.level) + " " + n.field + " " + n.value + "\n";
    EXPECT_EQ(notNumbers, "13 L2 HP ２０\n13 L2 P 12.5\n13 L2 S.amount xx\n13 L3 S bad\n");

    // check's findings of the same reading: the S of "13", the conflict of "60", the super of "61".
    ASSERT_EQ(report.findings.size(), 3u);
    EXPECT_EQ(report.findings[0].id, "13");
    EXPECT_EQ(report.findings[1].id, "60");
    EXPECT_EQ(report.findings[2].id, "61");
    EXPECT_NE(report.findings[1].findings.at(0).message.find("マージの衝突"), std::string::npos);
    EXPECT_EQ(report.findingCount, 3u);
    EXPECT_TRUE(report.unreadable.empty());

    const std::string json = reportJson(report);
    EXPECT_NE(json.find(R"({"level": 1, "rarity": "3", "field": "HP", "count": 21, "min": 100, "q1": 105, )"
                        R"("median": 110, "q3": 115, "max": 500})"),
        std::string::npos)
        << json;
    EXPECT_NE(json.find(R"({"id": "50", "level": 1, "rarity": "3", "field": "HP", "name": "レベル1のMaxHP", )"
                        R"("value": 500, "median": 110, "z": 52.6)"),
        std::string::npos)
        << json;
    EXPECT_NE(json.find(R"({"id": "13", "level": 2, "field": "P", "name": "レベル2の通常技のP", "value": "12.5"})"),
        std::string::npos);
    EXPECT_NE(json.find("\"problems\": 3,"), std::string::npos);
}

TEST(CardReport, PageHoldsTheLibraryAndCardTextOnlyAsEscapedData)
{
    CardFolder folder;
    fill(folder.path());
    const std::string page = reportPage(reportOf(folder.path()));

    // The library is in whole, and it cannot end the script element it stands in.
    EXPECT_NE(page.find(chartLibrary()), std::string::npos);
    EXPECT_GT(chartLibrary().size(), 500000u);
    EXPECT_EQ(chartLibrary().find("</script"), std::string_view::npos);
    EXPECT_EQ(chartLibrary().find("<!--"), std::string_view::npos);

    // The figures are one script element: the hostile name ends nothing.
    const std::size_t start = page.find("<script type=\"application/json\" id=\"figures\">");
    ASSERT_NE(start, std::string::npos);
    const std::size_t end = page.find("</script>", start);
    const std::string figures = page.substr(start, end - start);
    EXPECT_NE(figures.find("\"cards\": 27"), std::string::npos);
    EXPECT_NE(
        figures.find(R"(\u003c/script\u003e\u003cscript\u003ewindow.pwned=1\u003c/script\u003e)"), std::string::npos);
    EXPECT_EQ(page.find("<script>window.pwned"), std::string::npos);
    // Nor can a line separator, which ends a string in older JavaScript.
    EXPECT_EQ(
        scriptSafe("{\"a\": \"x<y>z&\xE2\x80\xA8\xE2\x80\xA9\"}"), R"({"a": "x\u003cy\u003ez\u0026\u2028\u2029"})");
}

TEST(CardReport, WritesThePageForTheEditorOrSaysWhyNot)
{
    CardFolder folder;
    fill(folder.path());
    const std::string page = folder.file("out/report.html");
    EXPECT_NE(writeCardSetReport(folder.path(), page), std::nullopt);  // no folder "out" yet
    std::filesystem::create_directory(testsupport::fsPath(folder.file("out")));
    ASSERT_EQ(writeCardSetReport(folder.path(), page), std::nullopt);
    EXPECT_NE(testsupport::readBytes(page).find("\"cards\": 27"), std::string::npos);
    const auto problem = writeCardSetReport(folder.file("missing"), page);
    ASSERT_NE(problem, std::nullopt);
    EXPECT_NE(problem->find("missing"), std::string::npos) << *problem;
}
