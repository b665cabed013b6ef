#include "report_assets.h"

// Laid down by report_assets_data.cpp.
extern "C" const char velmar_report_template_start[], velmar_report_template_end[];
extern "C" const char velmar_chart_library_start[], velmar_chart_library_end[];

std::string_view reportTemplate()
{
    return {velmar_report_template_start,
        static_cast<std::size_t>(velmar_report_template_end - velmar_report_template_start)};
}

std::string_view chartLibrary()
{
    return {
        velmar_chart_library_start, static_cast<std::size_t>(velmar_chart_library_end - velmar_chart_library_start)};
}
