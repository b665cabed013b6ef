#include "card_report.h"

#include "plain_files.h"
#include "report_page.h"

#include <ctime>

namespace {

std::string localTimeNow()
{
    const std::time_t now = std::time(nullptr);
    char text[32] = "";
    if (const std::tm* local = std::localtime(&now))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", local);
    return text;
}

}  // namespace

CardSetReport makeCardSetReport(
    const std::string& folder, const std::vector<CardFile>& files, const ProgressReport& progress)
{
    CardSetReport report;
    report.folder = folder;
    report.made = localTimeNow();
    forEachCheckedCard(
        files,
        [&](const CardRow& row, const std::vector<CheckFinding>& findings) {
            report.figures.add(row);
            if (findings.empty())
                return;
            report.findingCount += findings.size();
            report.findings.push_back({row.id, findings});
        },
        report.unreadable, progress);
    report.figures.finish();
    return report;
}

CardProblem writeCardSetReport(const std::string& folder, const std::string& path)
{
    std::vector<CardFile> files;
    if (CardProblem problem = findCardFiles(folder, files))
        return problem;
    OutputFile page(path);
    page.append(reportPage(makeCardSetReport(folder, files)));
    return page.finish();
}
