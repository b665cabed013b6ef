#pragma once

// The files the report page is made of, built into the program from the
// source tree, so that neither velmar-cards nor the editor needs a file
// beside it: the page's template and the chart library (third_party/echarts).

#include <string_view>

// The page: HTML with its styles and script, and two places to fill (see report_page.cpp).
std::string_view reportTemplate();

// Apache ECharts, minified, as its package has it.
std::string_view chartLibrary();
