#include "plot_commands.h"

#include <QApplication>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tamsel/charts/chart_export.h"
#include "tamsel/charts/chart_view.h"
#include "tamsel/workbench/plots.h"

namespace tamsel::cli {
namespace {

struct PlotOptions {
    std::string db;
    std::string name;
    const PlotKind* kind = nullptr;
    std::vector<std::string> sets;
    std::string reference;
    std::optional<int> start;
    std::string out;
    std::string size = "900x560";
};

// "12" names estimates set 12, "p5" predictions set 5.
std::optional<PredictionSetRef> ParseSet(const std::string& text) {
    const bool recalibrated = !text.empty() && (text[0] == 'p' || text[0] == 'P');
    const std::string_view digits = std::string_view(text).substr(recalibrated ? 1 : 0);
    int id = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
    if (digits.empty() || digits.size() > 9 || digits.front() == '-' || error != std::errc() ||
        end != digits.data() + digits.size()) {
        ShowMessage("\"" + text +
                    "\" is not a set: give an estimates set key, or p and a "
                    "predictions set key.");
        return std::nullopt;
    }
    return PredictionSetRef{id, recalibrated};
}

std::optional<QSize> ParseSize(const std::string& text) {
    const QStringList parts = QString::fromStdString(text).split(QLatin1Char('x'));
    bool wideOk = false;
    bool highOk = false;
    const int width = parts.size() == 2 ? parts[0].toInt(&wideOk) : 0;
    const int height = parts.size() == 2 ? parts[1].toInt(&highOk) : 0;
    if (!wideOk || !highOk || width < 200 || height < 150 || width > 10000 || height > 10000) {
        ShowMessage("The size must be WIDTHxHEIGHT in pixels, from 200x150 to 10000x10000.");
        return std::nullopt;
    }
    return QSize(width, height);
}

std::optional<Plot> BuildPlot(Database& db, const PlotOptions& options,
                              const CurrentSelection& selection) {
    PlotChoices choose;
    choose.start = [&options](const PlotStartBounds& bounds) -> std::optional<int> {
        const int start = options.start.value_or(bounds.proposed);
        if (start < bounds.smallest || start > bounds.largest) {
            ShowMessage("The plot start must be from failure " + std::to_string(bounds.smallest) +
                        " to failure " + std::to_string(bounds.largest) + ", not failure " +
                        std::to_string(start) + ".");
            return std::nullopt;
        }
        return start;
    };
    choose.reference = [&options] { return ParseSet(options.reference); };
    return tamsel::BuildPlot(db, options.kind->type, selection, choose);
}

int RunPlot(const PlotOptions& options) {
    const std::optional<QSize> size = ParseSize(options.size);
    if (!size) return kExitUsage;
    const QString suffix = QFileInfo(QString::fromStdString(options.out)).suffix().toLower();
    if (!QStringList{"png", "jpg", "jpeg", "svg", "pdf"}.contains(suffix)) {
        ShowMessage("The image file name must end in .png, .jpg, .svg or .pdf.");
        return kExitUsage;
    }
    const PlotType kind = options.kind->type;
    const bool needsSet = options.kind->needs != PlotNeeds::DataSet;
    if (kind == PlotType::LogPlr && options.reference.empty()) {
        ShowMessage("A log(PLR) plot needs --reference.");
        return kExitUsage;
    }
    std::vector<PredictionSetRef> sets;
    for (const std::string& text : options.sets) {
        const std::optional<PredictionSetRef> set = ParseSet(text);
        if (!set) return kExitUsage;
        sets.push_back(*set);
    }
    for (const PredictionSetRef& set : sets) {
        if (set.recalibrated && options.kind->needs == PlotNeeds::RawEstimatesSet) {
            ShowMessage("The " + std::string(options.kind->cliName) +
                        " plot shows a raw estimates set; p" + std::to_string(set.id) +
                        " is a recalibrated set.");
            return kExitFailure;
        }
    }
    return WithProjectDatabase(options.db, [&](Database& db) {
        if (!LookUpDataSet(db, options.name)) return kExitFailure;
        if (needsSet && sets.empty()) {
            const std::optional<std::vector<EstimatesSetInfo>> rawSets =
                ListEstimatesSets(db, options.name);
            if (!rawSets) return kExitFailure;
            // A comparison shows every raw set; the quartiles show the oldest.
            for (const EstimatesSetInfo& set : *rawSets) {
                sets.push_back({set.id, false});
                if (kind == PlotType::Quartiles) break;
            }
            if (sets.empty()) {
                ShowMessage("Dataset " + options.name + " has no estimates set to plot.");
                return kExitFailure;
            }
        }
        CurrentSelection dataSet;
        dataSet.dataSetName = options.name;
        const std::optional<CurrentSelection> selection =
            needsSet ? WithSetOfDataSet(db, dataSet, sets.front()) : dataSet;
        if (!selection) return kExitFailure;
        std::optional<Plot> plot = BuildPlot(db, options, *selection);
        if (!plot) return kExitFailure;
        for (size_t i = 1; i < sets.size(); ++i) {
            if (!AddSetToPlot(db, *plot, sets[i])) {
                ShowMessage("Set " + std::string(sets[i].recalibrated ? "p" : "") +
                            std::to_string(sets[i].id) +
                            " was left out: this plot does not take sets of its kind.");
            }
        }

        return WithChartApplication([&] {
            ChartView view;
            view.setAttribute(Qt::WA_DontShowOnScreen);
            view.resize(*size);
            view.SetDescription(plot->chart);
            // The chart lays itself out once shown and its posted events have run.
            view.show();
            QApplication::processEvents();
            if (!SaveChartImage(view, QString::fromStdString(options.out), *size)) {
                ShowMessage("The chart could not be written to " + options.out + ".");
                return kExitFailure;
            }
            return kExitSuccess;
        });
    });
}

}  // namespace

int WithChartApplication(const std::function<int()>& work) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << text.toStdString() << '\n';
    });
    static int argc = 1;
    static char name[] = "tamsel-cli";
    static char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    return work();
}

void AddPlotCommands(CLI::App& app, CommandContext& context) {
    auto options = std::make_shared<PlotOptions>();
    CLI::App* plot = app.add_subcommand("plot", kPlotSummary);
    AddProjectOption(*plot, options->db);
    plot->add_option("NAME", options->name, "dataset name")->required();
    // Listed in the order of their plot types, the data's own plots first.
    std::vector<const PlotKind*> kinds;
    for (const PlotKind& kind : PlotKinds()) kinds.push_back(&kind);
    std::sort(kinds.begin(), kinds.end(), [](const PlotKind* a, const PlotKind* b) {
        return static_cast<int>(a->type) < static_cast<int>(b->type);
    });
    std::vector<std::pair<std::string, const PlotKind*>> choices;
    std::string names;
    for (const PlotKind* kind : kinds) {
        choices.emplace_back(kind->cliName, kind);
        names += (names.empty() ? "" : ", ") + std::string(kind->cliName);
    }
    AddChoiceOption(*plot, "KIND", names, options->kind, std::move(choices));
    plot->get_option("KIND")->required();
    plot->add_option("--set", options->sets,
                     "SETID or pPSETID; the first is the plotted set, the others are added "
                     "(default: every raw set)");
    plot->add_option("--reference", options->reference, "log(PLR) reference: SETID or pPSETID");
    plot->add_option("--start", options->start,
                     "plot start of y-, u- and log(PLR) plots (default: range start + 15)");
    plot->add_option("--out", options->out, "image file: .png, .jpg, .svg or .pdf")->required();
    plot->add_option("--size", options->size, "image size WIDTHxHEIGHT (default 900x560)");
    plot->callback([&context, options] { context.exitCode = RunPlot(*options); });
}

}  // namespace tamsel::cli
