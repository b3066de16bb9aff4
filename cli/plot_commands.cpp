#include "plot_commands.h"

#include <QApplication>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tamsel/charts/chart_export.h"
#include "tamsel/charts/chart_view.h"
#include "tamsel/store/queries.h"
#include "tamsel/workbench/plots.h"

namespace tamsel::cli {
namespace {

struct PlotOptions {
    std::string db;
    std::string name;
    int kind = 0;
    std::vector<std::string> sets;
    std::string reference;
    std::optional<int> start;
    std::string out;
    std::string size = "900x560";
};

// Columns of BindEstimatesSets.
constexpr int kSetIdColumn = 0;
constexpr int kModelColumn = 1;
constexpr int kRangeStartColumn = 2;
constexpr int kRangeEndColumn = 3;
constexpr int kSetSizeColumn = 4;
constexpr int kInferenceColumn = 5;

int IntOf(const DbValue& value) {
    if (const auto* whole = std::get_if<std::int64_t>(&value)) return static_cast<int>(*whole);
    if (const auto* real = std::get_if<double>(&value)) return static_cast<int>(*real);
    return 0;
}

std::string TextOf(const DbValue& value) {
    const auto* text = std::get_if<std::string>(&value);
    return text ? *text : std::string();
}

// "12" names estimates set 12, "p5" predictions set 5.
std::optional<PredictionSetRef> ParseSet(const std::string& text) {
    const bool recalibrated = !text.empty() && (text[0] == 'p' || text[0] == 'P');
    const std::string digits = recalibrated ? text.substr(1) : text;
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos ||
        digits.size() > 9) {
        ShowMessage("\"" + text +
                    "\" is not a set: give an estimates set key, or p and a "
                    "predictions set key.");
        return std::nullopt;
    }
    return PredictionSetRef{std::stoi(digits), recalibrated};
}

// The selection the builders read: the dataset with set made current.
std::optional<CurrentSelection> SelectionOf(Database& db, const RowSet& rawSets,
                                            const std::string& name,
                                            const std::optional<PredictionSetRef>& set) {
    CurrentSelection selection;
    selection.dataSetName = name;
    if (!set) return selection;
    if (set->recalibrated) {
        const std::optional<RecalibratedSetAttributes> attributes =
            GetRecalibratedSetAttributes(db, set->id);
        if (!attributes) return std::nullopt;
        selection.estimatesSetId = attributes->estimatesSetId;
        selection.modelName = attributes->modelName;
        selection.rangeStart = attributes->rangeStart;
        selection.rangeEnd = attributes->rangeEnd;
        selection.setSize = attributes->setSize;
        selection.inferenceMethodName = attributes->inferenceMethod;
        selection.recalibrated = true;
        selection.predictionsSetId = set->id;
        selection.recalibrationMethodName = attributes->recalibrationMethodName;
        return selection;
    }
    for (const std::vector<DbValue>& row : rawSets.rows) {
        if (IntOf(row[kSetIdColumn]) != set->id) continue;
        selection.estimatesSetId = set->id;
        selection.modelName = TextOf(row[kModelColumn]);
        selection.rangeStart = IntOf(row[kRangeStartColumn]);
        selection.setSize = IntOf(row[kSetSizeColumn]);
        // A range with no end runs to the last failure of the dataset.
        selection.rangeEnd =
            IsNull(row[kRangeEndColumn]) ? selection.setSize : IntOf(row[kRangeEndColumn]);
        selection.inferenceMethodName = TextOf(row[kInferenceColumn]);
        return selection;
    }
    ShowMessage("Dataset " + name + " has no estimates set with the key " +
                std::to_string(set->id) + ".");
    return std::nullopt;
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
        return ClampRangeEntry(std::to_string(options.start.value_or(bounds.proposed)),
                               bounds.proposed, bounds.smallest, bounds.largest);
    };
    choose.reference = [&options] { return ParseSet(options.reference); };
    return tamsel::BuildPlot(db, static_cast<PlotType>(options.kind), selection, choose);
}

int RunPlot(const PlotOptions& options) {
    const std::optional<QSize> size = ParseSize(options.size);
    if (!size) return kExitUsage;
    const QString suffix = QFileInfo(QString::fromStdString(options.out)).suffix().toLower();
    if (!QStringList{"png", "jpg", "jpeg", "svg", "pdf"}.contains(suffix)) {
        ShowMessage("The image file name must end in .png, .jpg, .svg or .pdf.");
        return kExitUsage;
    }
    const PlotType kind = static_cast<PlotType>(options.kind);
    // The kinds of the raw failure data need no set.
    const bool needsSet = kind != PlotType::FailureTimes && kind != PlotType::CumulativeFailures &&
                          kind != PlotType::LaplaceTrend && kind != PlotType::RunningAverage;
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
    return WithProjectDatabase(options.db, [&](Database& db) {
        if (DataSetIdOf(db, options.name) == 0) return kExitFailure;
        const std::optional<RowSet> rawSets = BindEstimatesSets(db, options.name);
        if (!rawSets) return kExitFailure;
        if (needsSet && sets.empty()) {
            // A comparison shows every raw set; the quartiles show the oldest.
            for (const std::vector<DbValue>& row : rawSets->rows) {
                sets.push_back({IntOf(row[kSetIdColumn]), false});
                if (kind == PlotType::Quartiles) break;
            }
            if (sets.empty()) {
                ShowMessage("Dataset " + options.name + " has no estimates set to plot.");
                return kExitFailure;
            }
        }
        const std::optional<PredictionSetRef> current =
            needsSet ? std::optional<PredictionSetRef>(sets.front()) : std::nullopt;
        const std::optional<CurrentSelection> selection =
            SelectionOf(db, *rawSets, options.name, current);
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

        qputenv("QT_QPA_PLATFORM", "offscreen");
        // Qt's notes on the headless platform are no concern of the user's; stderr carries
        // the command's own messages.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::cerr << text.toStdString() << '\n';
        });
        static int argc = 1;
        static char name[] = "tamsel-cli";
        static char* argv[] = {name, nullptr};
        QApplication application(argc, argv);
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
}

}  // namespace

void AddPlotCommands(CLI::App& app, CommandContext& context) {
    auto options = std::make_shared<PlotOptions>();
    CLI::App* plot = app.add_subcommand("plot", "Draw a plot of a dataset into an image file");
    plot->add_option("DB", options->db, "project file")->required();
    plot->add_option("NAME", options->name, "dataset name")->required();
    AddChoiceOption(*plot, "KIND",
                    "failures, cumulative, quartiles, medians, yplot, uplot, plr, laplace, average",
                    options->kind,
                    {{"failures", 0},
                     {"cumulative", 3},
                     {"quartiles", 10},
                     {"medians", 13},
                     {"yplot", 20},
                     {"uplot", 23},
                     {"plr", 30},
                     {"laplace", 40},
                     {"average", 43}});
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
