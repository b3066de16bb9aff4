#include "report_command.h"

#include <QFileInfo>
#include <QString>

#include <CLI/CLI.hpp>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "evaluation_commands.h"
#include "forecast_command.h"
#include "plot_commands.h"
#include "tamsel/charts/report_renderer.h"
#include "tamsel/version.h"
#include "tamsel/workbench/evaluation.h"
#include "tamsel/workbench/project.h"

namespace tamsel::cli {
namespace {

struct ReportOptions {
    std::string db;
    ReportRequest request;
};

std::string Today() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &utc);
    return text;
}

int RunReport(ReportOptions& options) {
    const QString suffix =
        QFileInfo(QString::fromStdString(options.request.outName)).suffix().toLower();
    if (suffix != QStringLiteral("html") && suffix != QStringLiteral("pdf")) {
        ShowMessage("The report file name must end in .html or .pdf.");
        return kExitUsage;
    }
    ReportRequest& request = options.request;
    request.version = std::string("Tamsel ") + TAMSEL_VERSION;
    request.date = Today();
    request.sha256 = Sha256Hex;
    return WithProjectDatabase(options.db, [&](Database& db) {
        const std::optional<Report> report = BuildReport(db, request);
        if (!report) return kExitFailure;
        return WithChartApplication([&] {
            if (!WriteReport(*report, QString::fromStdString(request.outName))) {
                ShowMessage("The report could not be written to " + request.outName + ".");
                return kExitFailure;
            }
            return kExitSuccess;
        });
    });
}

}  // namespace

void AddReportCommand(CLI::App& app, CommandContext& context) {
    auto options = std::make_shared<ReportOptions>();
    ReportRequest& request = options->request;
    CLI::App* report = app.add_subcommand("report", kReportSummary);
    AddProjectOption(*report, options->db);
    report->add_option("NAME", request.dataName, "dataset name")->required();
    report
        ->add_option_function<std::vector<std::string>>(
            "--sets",
            [options](const std::vector<std::string>& texts) {
                for (const std::string& text : texts) {
                    options->request.sets.push_back(*ParseSetRef(text));
                }
            },
            "SETID or pPSETID of the sets to cover (default: every set of the dataset)")
        ->check(
            [](const std::string& text) {
                return ParseSetRef(text) ? std::string() : "expected SETID or pPSETID";
            },
            "SETID|pPSETID");
    report->add_option("--start", request.start,
                       "first failure index judged (default: the largest range start + 15)");
    AddSetRefOption(
        *report, "--reference",
        [options](PredictionSetRef set) { options->request.reference = set; },
        "SETID or pPSETID: the set log(PLR) compares with (default: the first estimates set)");
    AddForecastQueryOptions(*report, request.query);
    report->add_option("--out", request.outName, "report file: .html or .pdf")->required();
    report->footer(
        "The report holds, in order: a summary, the data, the trend test, the league table, "
        "the u-, y-, log(PLR) and medians plots (raw and recalibrated), the quartiles of the "
        "best set, the forecasts of the best raw and recalibrated sets, the fit outcomes, the "
        "settings and the provenance. The HTML file is self-contained; the PDF is A4.");
    report->callback([&context, options] { context.exitCode = RunReport(*options); });
}

}  // namespace tamsel::cli
