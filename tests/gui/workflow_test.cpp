// A first analysis as a new user makes it, through the menus and dialogs only: open the
// demonstration project, look at it, plot three models on one u-plot, recalibrate the one that
// predicts worst, compare the sets and save the chart and a table. With TAMSEL_SCREENSHOT_DIR
// set, each step leaves a picture of the main window there (workflow-<n>-<step>.png).
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QTableView>
#include <QTreeWidget>
#include <QXmlStreamReader>
#include <QtTest>
#include <map>

#include "gui_test_support.h"
#include "plots/plot_window.h"
#include "shell/project_browser.h"
#include "tables/table_window.h"
#include "tamsel/models/model_table.h"
#include "tamsel/store/queries.h"
#include "tamsel/workbench/apply_model.h"
#include "tamsel/workbench/project.h"

using namespace tamsel;

namespace {

QString Plain(QString caption) { return caption.remove(QLatin1Char('&')); }

// The item captioned item of the menu captioned menu, as a user reads them.
QAction* MenuItem(const QMainWindow& window, const QString& menu, const QString& item) {
    for (const QAction* top : window.menuBar()->actions()) {
        if (!top->menu() || Plain(top->text()) != menu) continue;
        for (QAction* action : top->menu()->actions()) {
            if (Plain(action->text()) == item) return action;
        }
    }
    qWarning("no menu item %s > %s", qPrintable(menu), qPrintable(item));
    return nullptr;
}

void Choose(const QMainWindow& window, const QString& menu, const QString& item) {
    QAction* action = MenuItem(window, menu, item);
    QVERIFY(action && action->isEnabled());
    action->trigger();
}

void Press(QWidget* parent, const QString& caption) {
    for (QAbstractButton* button : parent->findChildren<QAbstractButton*>()) {
        if (Plain(button->text()) == caption && button->isVisible() && button->isEnabled()) {
            button->click();
            return;
        }
    }
    QFAIL(qPrintable("no button " + caption));
}

// Runs fill on the next modal dialog, then presses its button captioned button. A fill that
// failed closes the dialog instead, so that the test goes on to report the failure.
void Answer(std::function<void(QWidget*)> fill, const QString& button) {
    guitest::WhenModal([fill, button](QWidget* dialog) {
        fill(dialog);
        if (!QTest::currentTestFailed()) Press(dialog, button);
        if (QTest::currentTestFailed()) dialog->close();
    });
}

// Answers the next file dialog by entering path, choosing the file type of its suffix, running
// entered (unless empty) and pressing Open or Save.
void AnswerFile(const QString& path, std::function<void()> entered) {
    guitest::WhenModal([path, entered](QWidget* dialog) {
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        if (!name || !buttons) {
            dialog->close();
            QFAIL("not a file dialog");
        }
        // Pasted: typed key by key, the inline completion would finish each name on its own.
        name->selectAll();
        name->insert(path);
        // The type that the name's suffix asks for, as the user picks it from the list.
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        const QString pattern = "*." + QFileInfo(path).suffix();
        for (int i = 0; types && i < types->count(); ++i) {
            if (types->itemText(i).contains(pattern)) {
                types->setCurrentIndex(i);
                emit types->activated(i);
            }
        }
        if (entered) entered();
        // The completion list that the name opened goes, as it does when the user clicks on.
        if (name->completer() && name->completer()->popup()) name->completer()->popup()->hide();
        for (QAbstractButton* button : buttons->buttons()) {
            if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole) button->click();
        }
    });
}

// The cell of grid that reads text; invalid when there is none.
QModelIndex CellWith(const QTableView* grid, const QString& text) {
    const QAbstractItemModel* model = grid->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        for (int column = 0; column < model->columnCount(); ++column) {
            if (model->index(row, column).data().toString() == text) {
                return model->index(row, column);
            }
        }
    }
    return {};
}

// Clicks the cell of grid that reads text, with modifiers (Ctrl adds its row to the selection).
void ClickRow(QTableView* grid, const QString& text, Qt::KeyboardModifiers modifiers = {}) {
    const QModelIndex cell = CellWith(grid, text);
    QVERIFY2(cell.isValid(), qPrintable(text));
    grid->scrollTo(cell);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, modifiers, grid->visualRect(cell).center());
}

// The text in column heading of the row of grid that holds text.
QString CellBeside(const QTableView* grid, const QString& text, const QString& heading) {
    const QAbstractItemModel* model = grid->model();
    for (int column = 0; column < model->columnCount(); ++column) {
        if (model->headerData(column, Qt::Horizontal).toString() == heading) {
            return model->index(CellWith(grid, text).row(), column).data().toString();
        }
    }
    return {};
}

// Saves the main window, with the dialogs open over it, as the user sees them.
void Snapshot(QWidget& window, const QString& step) {
    static int number = 0;
    ++number;
    const QString directory = qEnvironmentVariable("TAMSEL_SCREENSHOT_DIR");
    if (directory.isEmpty()) return;
    QPixmap image = window.grab();
    QPainter painter(&image);
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (qobject_cast<QDialog*>(top) && top->isVisible()) {
            painter.drawPixmap(top->geometry().topLeft() - window.geometry().topLeft(),
                               top->grab());
        }
    }
    painter.end();
    const QString path =
        QDir(directory).filePath(QStringLiteral("workflow-%1-%2.png").arg(number).arg(step));
    QVERIFY2(image.save(path), qPrintable(path));
}

// The demonstration project: SYS1 with every model applied, NTDS and CSR1 as imported.
std::string MakeDemo(const test::TempDir& dir) {
    const std::string fileName = guitest::MakeDatabase(
        dir, {{"SYS1", "sys1.txt"}, {"NTDS", "ntds.txt"}, {"CSR1", "csr1.txt"}});
    std::unique_ptr<Database> db = OpenProject(fileName);
    const int sys1 = FindDataSetId(*db, "SYS1").value_or(0);
    for (const ModelInfo& model : ModelTable()) {
        if (ApplyModel(*db, sys1, model.number, kDefaultRangeId, kDefaultInferenceMethodId,
                       RunControl())
                .outcome != ApplyModelResult::Outcome::Stored) {
            return {};
        }
    }
    return fileName;
}

QStringList TopLevelItems(const QTreeWidget* tree) {
    QStringList items;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        items.append(tree->topLevelItem(i)->text(0));
    return items;
}

// The u-plot's model curves: label code ("JM", "JM#") to Kolmogorov distance, read from the
// legend labels "JM ks=0.171 p=0.005".
std::map<QString, double> Distances(const PlotWindow& plot) {
    static const QRegularExpression label(QStringLiteral("^(\\S+) ks=([0-9.]+)"));
    std::map<QString, double> distances;
    for (const ChartGroup& group : plot.CurrentPlot().chart.groups) {
        for (const ChartSeries& series : group.series) {
            const QRegularExpressionMatch match = label.match(QString::fromStdString(series.label));
            if (match.hasMatch()) distances[match.captured(1)] = match.captured(2).toDouble();
        }
    }
    return distances;
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class WorkflowTest : public QObject {
    Q_OBJECT

  private slots:
    void AFirstAnalysisThroughMenusAndDialogs() {
        test::TempDir dir;
        const QString demo = QString::fromStdString(MakeDemo(dir));
        QVERIFY(!demo.isEmpty());
        // The file dialogs start in the project's folder, and the recent databases are this
        // run's alone.
        QVERIFY(QDir::setCurrent(QString::fromStdString(dir.Path().string())));
        const test::TempDir settings;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(settings.Path().string()));
        test::RecordingSink sink;
        SystemDesktop desktop;
        MainWindow window(desktop);
        window.resize(1600, 1000);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        // Open the project: the browser lists its datasets and SYS1's eight sets.
        AnswerFile(demo, {});
        Choose(window, "File", "Open Database...");
        QTRY_COMPARE(window.StatusPanelText(1).trimmed(), "Database: " + demo);
        const QTreeWidget* tree = window.Browser();
        QCOMPARE(TopLevelItems(tree), (QStringList{"SYS1", "NTDS", "CSR1"}));
        QCOMPARE(tree->topLevelItem(0)->childCount(), static_cast<int>(ModelTable().size()));
        QCOMPARE(tree->topLevelItem(1)->childCount(), 0);
        Snapshot(window, "open");

        Answer(
            [](QWidget* dialog) {
                auto* names = dialog->findChild<QComboBox*>();
                names->setCurrentIndex(names->findText("SYS1"));
            },
            "OK");
        Choose(window, "Data", "Select Dataset...");
        Answer(
            [](QWidget* dialog) { ClickRow(dialog->findChild<QTableView*>(), "Jelinski-Moranda"); },
            "OK");
        Choose(window, "Estimates", "Select Estimates Set...");
        QCOMPARE(window.StatusPanelText(3).trimmed(), "Estimates: Jelinski-Moranda");

        // A u-plot from failure 35, where recalibrated sets may join, and two more models added
        // in one go.
        Answer(
            [](QWidget* dialog) {
                auto* start = dialog->findChild<QLineEdit*>();
                start->selectAll();
                QTest::keyClicks(start, "35");
            },
            "OK");
        Choose(window, "Plot", "Show U-Plot");
        PlotWindow* plot = window.ActivePlotWindow();
        QVERIFY(plot);
        Answer(
            [](QWidget* dialog) {
                auto* grid = dialog->findChild<QTableView*>();
                ClickRow(grid, "Musa-Okumoto");
                ClickRow(grid, "Goel-Okumoto", Qt::ControlModifier);
            },
            "OK");
        Press(plot, "Add plot");
        std::map<QString, double> distances = Distances(*plot);
        QCOMPARE(distances.size(), size_t(3));
        QVERIFY(distances.contains("JM") && distances.contains("MO") && distances.contains("GO"));
        Snapshot(window, "u-plot");

        // Recalibrate the model furthest from the diagonal.
        const auto worst = std::ranges::max_element(
            distances, [](const auto& a, const auto& b) { return a.second < b.second; });
        const QString worstCode = worst->first;
        const QString worstName =
            QString::fromStdString(std::string(FindModel(worstCode.toStdString())->name));
        Answer(
            [&](QWidget* dialog) {
                ClickRow(dialog->findChild<QTableView*>("DBGrid1"), worstName);
                Snapshot(window, "recalibrate");
            },
            "OK");
        Choose(window, "Estimates", "Recalibrate Estimates Set...");
        const QString recalibrated = worstCode + "#";
        QVERIFY(!tree->findItems(recalibrated, Qt::MatchStartsWith | Qt::MatchRecursive).isEmpty());

        // Compare: the recalibrated curve joins the u-plot, and the league table lists it
        // with the distance the plot shows.
        Answer([&](QWidget* dialog) { ClickRow(dialog->findChild<QTableView*>(), worstName); },
               "OK");
        Press(plot, "Add recalibrated plot");
        distances = Distances(*plot);
        QCOMPARE(distances.size(), size_t(4));
        QVERIFY(distances.contains(recalibrated));
        Answer(
            [&](QWidget* dialog) {
                const QTableView* table = dialog->findChild<QTableView*>();
                QCOMPARE(dialog->findChild<QSpinBox*>("spnStart")->value(), 35);
                QCOMPARE(table->model()->rowCount(), static_cast<int>(ModelTable().size()) + 1);
                QCOMPARE(CellBeside(table, recalibrated, "Kind"), "recalibrated");
                bool number = false;
                const double distance =
                    CellBeside(table, recalibrated, "U-plot KS").toDouble(&number);
                QVERIFY(number);
                QCOMPARE_LE(std::abs(distance - distances[recalibrated]), 5e-4);
                Snapshot(window, "compare");
            },
            "Close");
        Choose(window, "Predictions", "Evaluate Sets...");

        // Save the chart as SVG: it parses, and names every curve.
        const QString svg = QString::fromStdString(dir.File("u-plot.svg"));
        AnswerFile(svg, [&] { Snapshot(window, "save-graph"); });
        Choose(window, "File", "Save Graph...");
        const QByteArray drawing = ReadFile(svg);
        QXmlStreamReader xml(drawing);
        QString allText;
        int segments = 0;  // each line of the chart is drawn as two-point polylines
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement) continue;
            if (xml.name() == u"polyline") ++segments;
            if (xml.name() == u"text") {
                allText += xml.readElementText(QXmlStreamReader::IncludeChildElements) + "\n";
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        for (const auto& [code, distance] : distances) {
            QVERIFY2(allText.contains(code + QStringLiteral(" ks=%1").arg(distance, 0, 'f', 3)),
                     qPrintable(code));
        }
        std::size_t curveSegments = 0;
        for (const ChartSeries& series : plot->CurrentPlot().chart.groups.at(1).series) {
            curveSegments += series.points.size() - 1;
        }
        // Points that fall on one pixel are drawn once: at least half the curves' segments.
        QCOMPARE_GE(static_cast<std::size_t>(segments), curveSegments / 2);

        // Save the recalibrated set's table as CSV: headings, then one line a row.
        Answer([](QWidget*) {}, "OK");
        Choose(window, "Estimates", "Select Recalibrated Predictions Set...");
        Choose(window, "Table", "Show Table Estimates");
        const TableWindow* table = window.ActiveTableWindow();
        QVERIFY(table);
        const QString csv = QString::fromStdString(dir.File("recalibrated.csv"));
        AnswerFile(csv, [&] { Snapshot(window, "save-table"); });
        Choose(window, "File", "Save Table...");
        const QStringList lines = QString::fromUtf8(ReadFile(csv)).split('\n', Qt::SkipEmptyParts);
        const RowSet& rows = table->Rows();
        QCOMPARE(lines.size(), static_cast<qsizetype>(rows.rows.size() + 1));
        QCOMPARE(lines.front().split(',').size(), static_cast<qsizetype>(rows.headings.size()));
        QCOMPARE(lines.front().split(',').front(), QString::fromStdString(rows.headings.front()));
        QCOMPARE(lines.back().split(',').size(), static_cast<qsizetype>(rows.headings.size()));

        QCOMPARE(sink.Texts(), std::vector<std::string>{});
        QCOMPARE(guitest::ModalTimeouts(), 0);
    }
};

QTEST_MAIN(WorkflowTest)
#include "workflow_test.moc"
