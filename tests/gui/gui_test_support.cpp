#include "gui_test_support.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <memory>

#include "shell/grid_selection_dialog.h"
#include "shell/import_preview.h"
#include "tamsel/import/add_data_set.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/schema.h"
#include "tamsel/store/writers.h"

namespace tamsel::guitest {
namespace {

std::atomic<int> g_modalTimeouts{0};
constexpr qint64 kModalWaitMs = 10000;

}  // namespace

QString FakeDesktop::AskFileName(QWidget*, FileQuestion question) {
    questions.push_back(question);
    if (m_fileNames.empty()) return {};
    QString fileName = m_fileNames.front();
    m_fileNames.pop_front();
    return fileName;
}

void WhenModal(std::function<void(QWidget*)> handler) {
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, handler] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog && dialog->isVisible()) {
            timer->stop();
            timer->deleteLater();
            handler(dialog);
        } else if (clock->elapsed() > kModalWaitMs) {
            timer->stop();
            timer->deleteLater();
            ++g_modalTimeouts;
        }
    });
    timer->start(5);
}

int ModalTimeouts() { return g_modalTimeouts.load(); }

void Click(QWidget* parent, const char* objectName) {
    auto* button = parent->findChild<QPushButton*>(QString::fromLatin1(objectName));
    Q_ASSERT_X(button, "Click", objectName);
    button->click();
}

void AnswerGrid(GridShown& shown, int row, const char* objectName) {
    WhenModal([&shown, row, objectName](QWidget* widget) {
        auto* dialog = qobject_cast<GridSelectionDialog*>(widget);
        QVERIFY(dialog);
        shown = {{}, dialog->RowCount()};
        const QTableView* grid = dialog->Grid();
        for (int column = 0; column < grid->model()->columnCount(); ++column) {
            if (grid->isColumnHidden(column)) continue;
            shown.headings.append(grid->model()->headerData(column, Qt::Horizontal).toString());
        }
        if (row >= 0) dialog->SelectRow(row);
        Click(dialog, objectName);
    });
}

bool PreviewSettled(QWidget* parent) {
    auto* preview = qobject_cast<ImportPreview*>(parent);
    if (!preview) preview = parent->findChild<ImportPreview*>();
    Q_ASSERT(preview);
    return QTest::qWaitFor([preview] { return !preview->IsReading(); }, 10000);
}

std::string MakeDatabase(const test::TempDir& dir, const DataSetFiles& dataSets) {
    const std::string fileName = dir.ProjectLocation("project.db");
    if (!CreateTamselDatabase(fileName)) return {};
    std::unique_ptr<Database> db = OpenTamselDatabase(fileName);
    for (const auto& [name, file] : dataSets) {
        AddDataSetRequest request;
        request.name = name;
        request.fileName = test::DataFile(file);
        if (!AddDataSetFromFile(*db, request)) return {};
    }
    return fileName;
}

int StoreMadeUpEstimatesSet(Database& db, const std::string& dataSetName, int modelId) {
    const int dataSetId = FindDataSetId(db, dataSetName).value_or(0);
    const std::optional<RangeInfo> range = GetRange(db, dataSetId, 1);
    if (!range) return 0;
    EstimatesArray estimates(static_cast<std::size_t>(range->rangeEnd) + 1);
    for (int i = range->rangeStart; i <= range->rangeEnd; ++i) {
        EstimateRecord& record = estimates[static_cast<std::size_t>(i)];
        record.param1 = i + 1.0;
        record.param2 = 1.0 / i;
        record.cdf = i < range->rangeEnd ? 0.5 : 0.0;
        record.lowQ = 1.0;
        record.median = 2.0;
        record.uppQ = 3.0;
        record.mttf = 2.5;
    }
    return StoreEstimatesSet(db, dataSetId, modelId, 1, 1, range->rangeStart, range->rangeEnd,
                             estimates);
}

EstimatesSetInfo SetInfo(int id, const std::string& model, int rangeStart, int rangeEnd, int size,
                         const std::string& inference) {
    return {.id = id,
            .modelName = model,
            .rangeStart = rangeStart,
            .rangeEnd = rangeEnd,
            .size = size,
            .inference = inference};
}

int StoreMadeUpPredictionsSet(Database& db, int estimatesSetId) {
    const std::vector<double> values(8, 0.5);
    // Failure indexes base + offset .. stop - 1 of a set that starts at failure 20.
    return StorePredictionsSet(db, estimatesSetId, 1, 20, 27, 0, values, values, values, values,
                               values);
}

int CountRows(Database& db, const std::string& table) {
    Statement count = db.Prepare("SELECT COUNT(*) FROM " + table);
    count.Step();
    return static_cast<int>(count.ColumnInt(0));
}

Session::Session(const DataSetFiles& dataSets)
    : fileName(MakeDatabase(dir, dataSets)), window(std::make_unique<MainWindow>(desktop)) {
    window->OpenDatabaseFile(QString::fromStdString(fileName));
}

QAction* Session::Item(const char* name) const {
    auto* action = window->findChild<QAction*>(QString::fromLatin1(name));
    Q_ASSERT_X(action, "Item", name);
    return action;
}

QString Session::Panel(int panel) const {
    QString text = window->StatusPanelText(panel);
    while (text.endsWith(QLatin1Char(' '))) text.chop(1);
    return text;
}

void Session::SelectSet(int id, const std::string& model) const {
    Controller().OpenCurrentDataSet("SYS1");
    Controller().SelectEstimatesSet(SetInfo(id, model));
}

SetsSession::SetsSession() : Session({{"SYS1", "sys1.txt"}, {"NTDS", "ntds.txt"}}) {
    sys1Set = StoreMadeUpEstimatesSet(Db(), "SYS1", 1);
    ntdsSet = StoreMadeUpEstimatesSet(Db(), "NTDS", 4);
    sys1Predictions = StoreMadeUpPredictionsSet(Db(), sys1Set);
}

}  // namespace tamsel::guitest
