#pragma once

// The report as data (--json) and as one page that opens offline: the
// template, the figures as JSON inside it, and the chart library.

#include "card_report.h"

#include <string>

// A set of at most this many cards shows every card as a point in its charts;
// a larger one shows its boxes and its outliers only.
inline constexpr std::size_t kPointsUpTo = 5000;

std::string reportJson(const CardSetReport& report);

std::string reportPage(const CardSetReport& report);

// JSON made safe to stand inside a <script> element: "<", ">", "&" and the
// line separators U+2028 and U+2029 written as \u escapes (they can only be
// inside strings, where the escape means the same character).
std::string scriptSafe(std::string_view json);
