#include "report_page.h"

#include "card_export.h"
#include "card_fields.h"
#include "report_assets.h"

#include <charconv>
#include <cmath>

namespace {

// Where the template takes the figures and the chart library.
constexpr std::string_view kFiguresMark = "/*VELMAR-FIGURES*/";
constexpr std::string_view kLibraryMark = "/*VELMAR-CHART-LIBRARY*/";

// The shortest text that reads back as the same double; whole numbers without a point.
void appendNumber(std::string& out, double value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    out.append(text, end);
}

void appendMember(std::string& out, std::string_view name, double value)
{
    out += ", \"";
    out += name;
    out += "\": ";
    appendNumber(out, value);
}

void appendMember(std::string& out, std::string_view name, std::string_view text)
{
    out += ", \"";
    out += name;
    out += "\": ";
    out += jsonString(text);
}

// A list of `items`, each written by `write`, one a line.
template <class Items, class Write> void appendList(std::string& out, const Items& items, Write write)
{
    out += '[';
    bool first = true;
    for (const auto& item : items) {
        out += first ? "\n    " : ",\n    ";
        first = false;
        write(item);
    }
    out += first ? "]" : "\n  ]";
}

void appendCounts(std::string& out, const char* name, const std::vector<ValueCount>& counts, bool super = false)
{
    out += ",\n  \"";
    out += name;
    out += "\": ";
    appendList(out, counts, [&](const ValueCount& count) {
        out += "{\"value\": " + jsonString(count.value);
        if (super)
            appendMember(out, "name", count.value.empty() ? "" : superModeName(count.value[0] - '0'));
        appendMember(out, "cards", double(count.cards));
        out += '}';
    });
}

void appendFigures(std::string& out, const CardSetReport& report)
{
    const ReportFigures& f = report.figures;
    out += "{\"folder\": " + jsonString(report.folder);
    appendMember(out, "made", report.made);
    appendMember(out, "cards", double(f.cards()));
    appendCounts(out, "rarity", f.byRarity);
    appendCounts(out, "super", f.bySuper, true);
    appendCounts(out, "maxlv", f.byMaxLevel);
    out += ",\n  \"levels\": [";
    for (std::size_t n = 0; n < f.withLevel.size(); ++n) {
        out += n ? ", " : "";
        appendNumber(out, double(f.withLevel[n]));
    }
    out += "],\n  \"groups\": ";
    appendList(out, f.groups, [&](const ReportGroup& g) {
        out += "{\"level\": " + std::to_string(g.level);
        appendMember(out, "rarity", g.rarity);
        appendMember(out, "field", reportFieldKey(g.field));
        appendMember(out, "count", double(g.box.count));
        appendMember(out, "min", g.box.min);
        appendMember(out, "q1", g.box.q1);
        appendMember(out, "median", g.box.median);
        appendMember(out, "q3", g.box.q3);
        appendMember(out, "max", g.box.max);
        out += '}';
    });
    out += ",\n  \"outliers\": ";
    appendList(out, f.outliers, [&](const ReportOutlier& o) {
        out += "{\"id\": " + jsonString(f.id(o.card));
        appendMember(out, "level", o.level);
        appendMember(out, "rarity", o.rarity);
        appendMember(out, "field", reportFieldKey(o.field));
        appendMember(out, "name", reportFieldName(o.level, o.field));
        appendMember(out, "value", o.value);
        appendMember(out, "median", o.median);
        appendMember(out, "z", o.z);
        out += ", \"moves\": [" + jsonString(f.normalMove(o.card, o.level)) + ", "
               + jsonString(f.extendedMove(o.card, o.level)) + "]}";
    });
    out += ",\n  \"not_numbers\": ";
    appendList(out, f.notNumbers, [&](const NotANumber& n) {
        out += "{\"id\": " + jsonString(f.id(n.card));
        appendMember(out, "level", n.level);
        appendMember(out, "field", n.field);
        appendMember(out, "name", levelFieldName(n.level, n.shown));
        appendMember(out, "value", n.value);
        out += '}';
    });
    out += ",\n  \"problems\": " + std::to_string(report.findingCount);
    out += ",\n  \"problem_cards\": ";
    appendList(out, report.findings, [&](const CardFindings& card) {
        out += "{\"id\": " + jsonString(card.id) + ", \"findings\": [";
        for (std::size_t i = 0; i < card.findings.size(); ++i) {
            out += i ? ", {\"line\": " : "{\"line\": ";
            out += std::to_string(card.findings[i].line);
            appendMember(out, "message", card.findings[i].message);
            out += '}';
        }
        out += "]}";
    });
    out += ",\n  \"unreadable\": ";
    appendList(out, report.unreadable, [&](const std::string& message) { out += jsonString(message); });
}

// What only the page needs: the fields' names, and every card as a point
// (with its ID and move names for the tooltip) when the set is small enough.
void appendPageData(std::string& out, const CardSetReport& report)
{
    const ReportFigures& f = report.figures;
    out += ",\n  \"field_names\": {";
    for (const ReportField field : kReportFields) {
        out += field == ReportField::HP ? "" : ", ";
        out += jsonString(reportFieldKey(field)) + ": " + jsonString(fieldName(shownField(field)));
    }
    out += "},\n  \"points\": ";
    const bool drawn = f.cards() <= kPointsUpTo;
    if (!drawn) {
        out += "null";
        return;
    }
    appendList(out, f.groups, [&](const ReportGroup& g) {
        out += "{\"level\": " + std::to_string(g.level);
        appendMember(out, "rarity", g.rarity);
        appendMember(out, "field", reportFieldKey(g.field));
        out += ", \"values\": [";
        for (std::size_t i = 0; i < g.points.size(); ++i) {
            out += i ? ",[" : "[";
            appendNumber(out, g.points[i].value);
            out += ',' + std::to_string(g.points[i].card) + ']';
        }
        out += "]}";
    });
    out += ",\n  \"card_names\": ";
    std::vector<std::uint32_t> cards(f.cards());
    for (std::uint32_t i = 0; i < cards.size(); ++i)
        cards[i] = i;
    appendList(out, cards, [&](std::uint32_t card) {
        out += '[' + jsonString(f.id(card));
        for (int level = 1; level <= 4; ++level)
            out += ',' + jsonString(f.normalMove(card, level)) + ',' + jsonString(f.extendedMove(card, level));
        out += ']';
    });
}

}  // namespace

std::string scriptSafe(std::string_view json)
{
    std::string out;
    out.reserve(json.size());
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (c == '<')
            out += "\\u003c";
        else if (c == '>')
            out += "\\u003e";
        else if (c == '&')
            out += "\\u0026";
        else if (c == '\xE2' && json.substr(i + 1, 1) == "\x80" && i + 2 < json.size()
                 && (json[i + 2] == '\xA8' || json[i + 2] == '\xA9')) {
            out += json[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
            i += 2;
        } else
            out += c;
    }
    return out;
}

std::string reportJson(const CardSetReport& report)
{
    std::string out;
    appendFigures(out, report);
    out += "\n}\n";
    return out;
}

std::string reportPage(const CardSetReport& report)
{
    std::string data;
    appendFigures(data, report);
    appendPageData(data, report);
    data += "\n}";
    const std::string_view page = reportTemplate();
    // The figures come first in the template, the library after them.
    const std::size_t figures = page.find(kFiguresMark), library = page.find(kLibraryMark);
    std::string out;
    out.reserve(page.size() + data.size() + chartLibrary().size());
    out += page.substr(0, figures);
    out += scriptSafe(data);
    out += page.substr(figures + kFiguresMark.size(), library - figures - kFiguresMark.size());
    out += chartLibrary();
    out += page.substr(library + kLibraryMark.size());
    return out;
}
