#pragma once

// The balance report of a card set (velmar-cards report, and the editor's
// menu item): every card read once, as Load reads it, into the report's
// figures and check's findings.

#include "card_check.h"
#include "report_figures.h"

#include <string>
#include <vector>

struct CardFindings {
    std::string id;
    std::vector<CheckFinding> findings;
};

struct CardSetReport {
    std::string folder;  // as given
    std::string made;    // the local time it was made, "2025-04-01 09:30"
    ReportFigures figures;
    std::vector<CardFindings> findings;   // check's findings, cards in ID order
    std::size_t findingCount = 0;         // of all cards
    std::vector<std::string> unreadable;  // one message for each card that could not be read
};

// The report of the card files of `folder`.
CardSetReport makeCardSetReport(
    const std::string& folder, const std::vector<CardFile>& files, const ProgressReport& progress = {});

// For the editor: writes the report page of the cards of `folder` to `path`
// (replaced in one step once complete). A problem, for a message box, when the
// folder cannot be read or the page cannot be written; cards that cannot be
// read are named in the page.
CardProblem writeCardSetReport(const std::string& folder, const std::string& path);
