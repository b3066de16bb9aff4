// The evidence report of a dataset: what the workbench knows about it (trend, league table,
// plots, forecasts, fit outcomes), assembled as sections of sentences, tables and chart
// descriptions. Renderers turn it into a file; nothing here draws or formats a page.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "tamsel/measures/chart_description.h"
#include "tamsel/store/database.h"
#include "tamsel/workbench/forecast.h"
#include "tamsel/workbench/plot_rows.h"

namespace tamsel {

// A sentence or two; a note marks something the reader must not miss (a set that did not
// fully converge, a part that could not be computed).
struct ReportText {
    std::string text;
    bool note = false;
};

struct ReportCell {
    std::string text;
    bool numeric = false;  // right-aligned
};

struct ReportTable {
    std::string caption;
    std::vector<std::string> headings;
    std::vector<std::vector<ReportCell>> rows;
};

struct ReportChart {
    std::string caption;
    std::string description;  // the text alternative: what the chart shows
    ChartDescription chart;
};

using ReportBlock = std::variant<ReportText, ReportTable, ReportChart>;

struct ReportSection {
    std::string id;  // a fragment name: "summary", "provenance", ...
    std::string title;
    std::vector<ReportBlock> blocks;  // the first says how to read the section
};

struct Report {
    std::string title;
    std::vector<std::pair<std::string, std::string>> facts;  // dataset, date, version
    std::vector<ReportSection> sections;
};

struct ReportRequest {
    std::string dataName;
    std::vector<PredictionSetRef> sets;  // empty: every set of the dataset
    std::optional<int> start;            // the plot start of the league table and the plots
    std::optional<PredictionSetRef> reference;
    ForecastQuery query;
    std::string version;  // "Tamsel 1.2.3"
    std::string date;     // as it should read
    std::string outName;  // the file the report goes to, for the reproducing command
    // The SHA-256 of text in lowercase hex; the core links no digest of its own.
    std::function<std::string(std::string_view)> sha256;
};

// A number as the report writes it: 4 significant digits (every integer digit of larger
// numbers), the stored sentinels of infinite quantities as "unbounded", values that are not
// finite as "no finite value".
std::string ReportNumber(double value);

// The command line that writes the report of request from the project file dbFileName.
std::string ReportCommand(const std::string& dbFileName, const ReportRequest& request);

// The report of the dataset request.dataName. Refused with its message: no such dataset, a
// set that is not one of the dataset's, a query CheckForecastQuery refuses. Any other part
// that cannot be computed (no sets, no common failure, a forecast that fails) becomes a note
// in its section, so that the report is always complete.
std::optional<Report> BuildReport(Database& db, const ReportRequest& request);

}  // namespace tamsel
