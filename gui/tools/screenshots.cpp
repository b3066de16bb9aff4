// tamsel-screenshots DIR: renders the main window and each dialog of the shell, offscreen,
// into DIR as PNG files. The windows show a demonstration database made on the fly from
// the shipped SYS1 data with the models applied.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "plots/plot_window.h"
#include "predictions/evaluation_dialog.h"
#include "predictions/forecast_dialog.h"
#include "recalibration/recalibration_dialog.h"
#include "shell/about_dialog.h"
#include "shell/add_data_dialog.h"
#include "shell/app_icon.h"
#include "shell/current_selections_dialog.h"
#include "shell/desktop.h"
#include "shell/guide_viewer.h"
#include "shell/import_preview.h"
#include "shell/main_window.h"
#include "shell/model_options_dialog.h"
#include "shell/qt_text.h"
#include "shell/row_set_model.h"
#include "shell/select_data_set_dialog.h"
#include "shell/select_estimates_dialog.h"
#include "shell/select_model_dialog.h"
#include "shell/select_predictions_dialog.h"
#include "shell/shared_project_dialog.h"
#include "tables/next_failure_dialog.h"
#include "tables/table_window.h"
#include "tamsel/workbench/apply_model.h"
#include "tamsel/workbench/plots.h"
#include "tamsel/workbench/project.h"
#include "tamsel/workbench/recalibrate.h"
#include "tamsel/workbench/set_lists.h"
#include "tamsel/workbench/table_views.h"

namespace tamsel {
namespace {

// Prints what would have been shown and answers No: nothing may wait for a person.
class PrintingSink : public MessageSink {
  public:
    MessageAnswer Show(const std::string& text, MessageButtons buttons, MessageIcon) override {
        std::fprintf(stderr, "tamsel-screenshots: message: %s\n",
                     ToStdString(ToDisplayText(text)).c_str());
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
    }
};

// Chooses dataFile when asked for a data file, nothing else.
class ScreenshotDesktop : public Desktop {
  public:
    QString AskFileName(QWidget*, FileQuestion question) override {
        return question == FileQuestion::DataFile ? dataFile : QString();
    }
    PasswordStore& Keyring() override { return keyring; }

    QString dataFile;
    MemoryPasswordStore keyring;
};

class Renderer {
  public:
    explicit Renderer(QDir directory) : m_directory(std::move(directory)) {}

    bool Save(QWidget& widget, const QString& name) {
        widget.show();
        QApplication::processEvents();
        const QString path = m_directory.filePath(name + QStringLiteral(".png"));
        if (!widget.grab().save(path)) {
            std::fprintf(stderr, "tamsel-screenshots: cannot write %s\n", qPrintable(path));
            m_ok = false;
            return false;
        }
        std::printf("%s\n", qPrintable(path));
        widget.hide();
        return true;
    }

    // The main window with one of its menus dropped down, as a user sees it.
    bool SaveWithMenu(MainWindow& window, const QString& menuName, const QString& name) {
        window.show();
        QApplication::processEvents();
        QMenu* menu = window.findChild<QMenu*>(menuName);
        QPixmap image = window.grab();
        const QRect item = window.menuBar()->actionGeometry(menu->menuAction());
        menu->popup(window.menuBar()->mapToGlobal(item.bottomLeft()));
        QApplication::processEvents();
        QPainter painter(&image);
        painter.drawPixmap(window.menuBar()->mapTo(&window, item.bottomLeft()), menu->grab());
        painter.end();
        menu->hide();
        const QString path = m_directory.filePath(name + QStringLiteral(".png"));
        if (!image.save(path)) {
            m_ok = false;
            return false;
        }
        std::printf("%s\n", qPrintable(path));
        return true;
    }

    bool Ok() const { return m_ok; }

  private:
    QDir m_directory;
    bool m_ok = true;
};

// A plot window on plot, with every further set of added drawn in it.
void SavePlot(Renderer& renderer, Database& db, std::optional<Plot> plot,
              const std::vector<PredictionSetRef>& added, const QString& name) {
    if (!plot) return;
    for (const PredictionSetRef& set : added) AddSetToPlot(db, *plot, set);
    PlotWindow window(db);
    window.PrepareControls(plot->state.plotType);
    window.ShowPlot(std::move(*plot));
    window.resize(1000, 600);
    renderer.Save(window, name);
}

// Two data files as a bug tracker exports them, in the working folder: the NTDS failures as
// a table with a header line (failure-log.csv), and as the date-times the failures were
// reported at, timed in hours (bug-reports.csv).
bool WriteTrackerFiles() {
    QFile ntds(QDir(QStringLiteral(TAMSEL_DATA_DIR)).filePath(QStringLiteral("ntds.txt")));
    QFile table(QStringLiteral("failure-log.csv"));
    QFile reports(QStringLiteral("bug-reports.csv"));
    if (!ntds.open(QIODevice::ReadOnly | QIODevice::Text) || !table.open(QIODevice::WriteOnly) ||
        !reports.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QString severities[] = {QStringLiteral("major"), QStringLiteral("minor"),
                                  QStringLiteral("minor"), QStringLiteral("critical")};
    QTextStream tableOut(&table);
    QTextStream reportsOut(&reports);
    tableOut << "failure,time_between_failures_hours,severity\n";
    reportsOut << "id,reported,component\n";
    const QDateTime origin(QDate(2024, 3, 4), QTime(8, 0));
    double hours = 0.0;
    for (int index = 1; !ntds.atEnd(); ++index) {
        const QString value = QString::fromLatin1(ntds.readLine()).trimmed();
        if (value.isEmpty()) continue;
        hours += value.toDouble();
        const QString severity = severities[index % 4];
        tableOut << index << ',' << value << ',' << severity << '\n';
        reportsOut
            << "BUG-" << 400 + 7 * index << ','
            << origin.addSecs(qint64(hours * 3600)).toString(QStringLiteral("yyyy-MM-dd HH:mm"))
            << ',' << (index % 3 == 0 ? "parser" : "scheduler") << '\n';
    }
    return true;
}

// Lets the preview of dialog read what it shows.
void WaitForPreview(QWidget& dialog) {
    const auto* preview = dialog.findChild<ImportPreview*>();
    while (preview->IsReading()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// "Create a dataset" previewing each tracker file.
void SaveCreateDataset(Renderer& renderer, ScreenshotDesktop& desktop, Database& db,
                       SelectionController& controller, QWidget* parent) {
    AddDataDialog addData(db, controller, desktop, parent);
    addData.resize(720, 720);
    addData.findChild<QLineEdit*>(QStringLiteral("TxtDataName"))
        ->setText(QStringLiteral("NTDS tracker"));
    desktop.dataFile = QStringLiteral("failure-log.csv");
    addData.findChild<QPushButton*>(QStringLiteral("Command3"))->click();
    WaitForPreview(addData);
    renderer.Save(addData, QStringLiteral("create-dataset"));

    desktop.dataFile = QStringLiteral("bug-reports.csv");
    addData.findChild<QPushButton*>(QStringLiteral("Command3"))->click();
    WaitForPreview(addData);
    auto* origin = addData.findChild<QLineEdit*>(QStringLiteral("txtOrigin"));
    origin->setText(QStringLiteral("2024-03-04 08:00"));
    addData.findChild<QComboBox*>(QStringLiteral("cboTimeZone"))
        ->setCurrentText(QStringLiteral("Europe/Berlin"));
    emit origin->editingFinished();  // as leaving the field does
    WaitForPreview(addData);
    addData.findChild<QComboBox*>(QStringLiteral("Combo1"))->setFocus();
    renderer.Save(addData, QStringLiteral("create-dataset-timestamps"));
}

// Littlewood-Verrall's set on SYS1, whose fits at failures 33, 61 and 104 are singular: its
// table scrolled to failure 33 and its medians with their hollow markers.
void SaveOutcomeViews(Renderer& renderer, Database& db, CurrentSelection selection, int setId) {
    selection.estimatesSetId = setId;
    selection.modelName = "Littlewood-Verrall";
    if (std::optional<TableView> table = ShowEstimatesTable(db, selection)) {
        TableWindow window(std::move(*table), selection.dataSetName);
        window.resize(900, 420);
        // The last columns, from a few rows above failure 33.
        QTableView* grid = window.Grid();
        grid->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
        grid->scrollTo(grid->model()->index(33 - selection.rangeStart - 4, 0),
                       QAbstractItemView::PositionAtTop);
        grid->horizontalScrollBar()->setValue(grid->horizontalScrollBar()->maximum());
        renderer.Save(window, QStringLiteral("table-estimates-outcomes"));
    }
    SavePlot(renderer, db, PlotMedians(db, selection), {}, QStringLiteral("plot-medians-outcomes"));
}

// Every plot kind, a table window and the recalibration and next-failure dialogs on SYS1;
// rawSets are the keys of SYS1's estimates sets, the first one current.
void SavePlotsAndTables(Renderer& renderer, Database& db, SelectionController& controller,
                        const std::vector<int>& rawSets) {
    const CurrentSelection& selection = controller.Selection();
    constexpr int kPlotStart = 35;
    std::vector<PredictionSetRef> others;
    for (size_t i = 1; i < rawSets.size(); ++i) others.push_back({rawSets[i], false});
    std::optional<Plot> failures = PlotFailureTimes(db, selection);
    if (failures) ShowFailureDataSeries(failures->chart, 2);
    SavePlot(renderer, db, std::move(failures), {}, QStringLiteral("plot-failure-data"));
    SavePlot(renderer, db, PlotCumulativeFailures(db, selection), {},
             QStringLiteral("plot-cumulative-failures"));
    SavePlot(renderer, db, PlotLaplaceTrend(db, selection), {},
             QStringLiteral("plot-laplace-trend"));
    SavePlot(renderer, db, PlotRunningAverage(db, selection), {},
             QStringLiteral("plot-running-average"));
    SavePlot(renderer, db, PlotQuartilesAndMttf(db, selection), {},
             QStringLiteral("plot-quartiles"));
    SavePlot(renderer, db, PlotMedians(db, selection),
             {{rawSets.at(1), false}, {1, true}, {2, true}}, QStringLiteral("plot-medians"));
    SavePlot(renderer, db, PlotUPlots(db, selection, kPlotStart), others,
             QStringLiteral("plot-u-plot"));
    SavePlot(renderer, db, PlotYPlots(db, selection, kPlotStart),
             {{rawSets.at(1), false}, {1, true}}, QStringLiteral("plot-y-plot"));
    std::vector<PredictionSetRef> compared(others.begin() + 1, others.end());
    SavePlot(renderer, db, PlotLogPlr(db, selection, {rawSets.at(1), false}, kPlotStart + 5),
             compared, QStringLiteral("plot-log-plr"));

    if (std::optional<TableView> table = ShowEstimatesTable(db, selection)) {
        TableWindow window(std::move(*table), selection.dataSetName);
        window.resize(900, 420);
        renderer.Save(window, QStringLiteral("table-estimates"));
    }
    SaveOutcomeViews(renderer, db, selection, rawSets.at(6));
    RecalibrationDialog recalibration(db, selection.dataSetName);
    renderer.Save(recalibration, QStringLiteral("recalibrate"));
    NextFailureDialog next(controller);
    next.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("1000"));
    next.Submit();
    renderer.Save(next, QStringLiteral("next-failure"));

    // The forecast of the current raw set and of the first recalibrated set, for a mission of
    // 1000 and a target MTTF of 5000.
    const std::pair<PredictionSetRef, QString> forecasts[] = {
        {{rawSets.front(), false}, QStringLiteral("forecast")},
        {{1, true}, QStringLiteral("forecast-recalibrated")}};
    for (const auto& [set, name] : forecasts) {
        std::optional<ForecastBasis> basis = LoadForecastBasis(db, set, std::nullopt);
        if (!basis) continue;
        ForecastDialog forecast(db, std::move(*basis));
        forecast.findChild<QLineEdit*>(QStringLiteral("txtMission"))
            ->setText(QStringLiteral("1000"));
        forecast.findChild<QComboBox*>(QStringLiteral("cboTarget"))->setCurrentIndex(2);
        forecast.findChild<QLineEdit*>(QStringLiteral("txtTarget"))
            ->setText(QStringLiteral("5000"));
        renderer.Save(forecast, name);
    }
    if (std::optional<Evaluation> evaluation =
            EvaluateDataSet(db, selection.dataSetName, std::nullopt, std::nullopt)) {
        EvaluationDialog dialog(db, selection.dataSetName, *evaluation);
        dialog.resize(1960, 470);  // every column and row in view
        renderer.Save(dialog, QStringLiteral("evaluation"));
    }
}

// Four windows tiled in the main window: u-plots where Musa-Okumoto and Littlewood NHPP
// coincide, the medians of JM and its recalibrated twin, log(PLR) and the estimates table.
// Then the user guide's own window.
void SaveWorkspace(Renderer& renderer, MainWindow& window, Database& db,
                   const CurrentSelection& selection, const std::vector<int>& rawSets) {
    window.resize(1280, 860);
    window.show();
    QApplication::processEvents();
    auto addPlot = [&](std::optional<Plot> plot, const std::vector<PredictionSetRef>& added) {
        if (!plot) return;
        for (const PredictionSetRef& set : added) AddSetToPlot(db, *plot, set);
        auto* plotWindow = new PlotWindow(db);
        plotWindow->PrepareControls(plot->state.plotType);
        plotWindow->ShowPlot(std::move(*plot));
        window.AddChildWindow(plotWindow);
    };
    addPlot(PlotUPlots(db, selection, 35), {{rawSets.at(2), false}, {rawSets.at(5), false}});
    addPlot(PlotMedians(db, selection), {{1, true}});
    addPlot(PlotLogPlr(db, selection, {rawSets.at(1), false}, 40),
            {{rawSets.at(2), false}, {rawSets.at(5), false}});
    if (std::optional<TableView> table = ShowEstimatesTable(db, selection)) {
        window.AddChildWindow(new TableWindow(std::move(*table), selection.dataSetName));
    }
    window.findChild<QAction*>(QStringLiteral("mnuWindowTile"))->trigger();
    renderer.Save(window, QStringLiteral("tiled-workspace"));

    window.CloseChildWindows(QString());

    GuideViewer guide;
    guide.ShowGuide();
    renderer.Save(guide, QStringLiteral("user-guide-viewer"));
}

int Run(const QString& outputDirectory) {
    QDir output(QDir(outputDirectory).absolutePath());
    if (!output.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "tamsel-screenshots: cannot create %s\n", qPrintable(outputDirectory));
        return 1;
    }
    // The status bar shows the path as given: a short one reads better in the pictures.
    QTemporaryDir scratch;
    QDir::setCurrent(scratch.path());
    // The recent databases shown are those of this run, never the user's.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, scratch.path());
    const std::string dbFile = "demo.db";
    const std::string dataFile =
        ToStdString(QDir(QStringLiteral(TAMSEL_DATA_DIR)).filePath(QStringLiteral("sys1.txt")));
    if (!CreateProject(dbFile)) return 1;
    {
        std::unique_ptr<Database> db = OpenProject(dbFile);
        if (!db) return 1;
        for (const char* name : {"NTDS", "CSR1"}) {
            const std::string file = name == std::string("NTDS") ? "ntds.txt" : "csr1.txt";
            AddDataSetFromFile(
                *db,
                {name, ToStdString(QDir(QStringLiteral(TAMSEL_DATA_DIR)).filePath(ToQString(file))),
                 DataTypeChoice::Automatic, "Unknown source\r\n"});
        }
        if (!AddDataSetFromFile(*db, {"SYS1", dataFile, DataTypeChoice::Automatic,
                                      "Musa, real-time command and control system"})) {
            return 1;
        }
        const int dataSetId = LookUpDataSet(*db, "SYS1").value_or(0);
        for (const ModelInfo& model : ModelTable()) {
            const ApplyModelResult applied =
                ApplyModel(*db, dataSetId, model.number, kDefaultRangeId, kDefaultInferenceMethodId,
                           RunControl());
            // Two recalibrated sets, so that the lists of recalibrated sets are not empty.
            if (model.number <= 2) ApplyRecalibration(*db, applied.estimatesSetId, 1, RunControl());
        }
        // Two models on NTDS, which the model dialog shows as applied.
        const int ntdsId = LookUpDataSet(*db, "NTDS").value_or(0);
        for (int model : {1, 4}) {
            ApplyModel(*db, ntdsId, model, kDefaultRangeId, kDefaultInferenceMethodId,
                       RunControl());
        }
    }

    ScreenshotDesktop desktop;
    MainWindow window(desktop);
    window.resize(1024, 680);
    window.OpenDatabaseFile(ToQString(dbFile));
    SelectionController& controller = window.Controller();
    controller.OpenCurrentDataSet("SYS1");
    Database& db = *controller.OpenedDatabase();
    const std::optional<std::vector<EstimatesSetInfo>> sets = ListEstimatesSets(db, "SYS1");
    if (!sets || sets->empty()) return 1;
    const EstimatesSetInfo& first = sets->front();
    controller.SelectEstimatesSet(first);

    Renderer renderer(output);
    renderer.Save(window, QStringLiteral("main-window"));
    renderer.SaveWithMenu(window, QStringLiteral("mnuEstimates"),
                          QStringLiteral("main-window-estimates-menu"));

    SelectDataSetDialog selectData(db, controller, &window);
    renderer.Save(selectData, QStringLiteral("select-dataset"));
    SelectEstimatesDialog selectEstimates(db, controller, &window);
    renderer.Save(selectEstimates, QStringLiteral("select-estimates-set"));
    SelectPredictionsDialog selectPredictions(db, &window);
    selectPredictions.SetRows(PredictionsSetGrid(db, "SYS1"));
    renderer.Save(selectPredictions, QStringLiteral("select-predictions-set"));
    SelectModelDialog selectModel(db, &window);
    selectModel.SetRows(ModelsOfDataSetGrid(db, first.id));
    renderer.Save(selectModel, QStringLiteral("select-model"));
    SelectAnyPredictionsDialog selectAny(db, &window);
    selectAny.SetRows(PredictionSetGrid(db, first.id));
    renderer.Save(selectAny, QStringLiteral("select-any-set"));
    CurrentSelectionsDialog selections(controller.Selection(), &db, &window);
    renderer.Save(selections, QStringLiteral("current-selections"));
    AboutDialog about(&window);
    renderer.Save(about, QStringLiteral("about"));
    SharedProjectDialog shared(
        desktop.keyring,
        QStringLiteral("postgresql://analyst@dbhost/reliability?schema=flight_control"), {},
        &window);
    shared.findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText(QStringLiteral("secret"));
    shared.findChild<QCheckBox*>(QStringLiteral("chkRememberPassword"))->setChecked(true);
    renderer.Save(shared, QStringLiteral("open-shared-project"));
    ModelOptionsDialog modelOptions(db, "NTDS", &window);
    for (const char* name : {"Option1_2", "Option1_6"}) {
        modelOptions.findChild<QCheckBox*>(QString::fromLatin1(name))->setChecked(true);
    }
    renderer.Save(modelOptions, QStringLiteral("model-options"));
    {
        MainWindow empty(desktop);
        empty.resize(1024, 680);
        renderer.Save(empty, QStringLiteral("empty-state"));
    }
    if (!WriteTrackerFiles()) return 1;
    SaveCreateDataset(renderer, desktop, db, controller, &window);
    std::vector<int> rawSets;
    for (const EstimatesSetInfo& set : *sets) rawSets.push_back(set.id);
    SavePlotsAndTables(renderer, db, controller, rawSets);
    SaveWorkspace(renderer, window, db, controller.Selection(), rawSets);
    return renderer.Ok() ? 0 : 1;
}

}  // namespace
}  // namespace tamsel

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tamsel"));
    QApplication::setWindowIcon(tamsel::TamselIcon());
    if (argc != 2) {
        std::fprintf(stderr, "usage: tamsel-screenshots DIR\n");
        return 2;
    }
    tamsel::PrintingSink sink;
    const tamsel::ScopedMessageSink installed(&sink);
    return tamsel::Run(QString::fromLocal8Bit(argv[1]));
}
