#include <QAbstractItemModelTester>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QTableView>
#include <QtTest>

#include "gui_test_support.h"
#include "shell/about_dialog.h"
#include "shell/current_selections_dialog.h"
#include "shell/main_window.h"
#include "shell/row_set_model.h"
#include "shell/select_data_set_dialog.h"
#include "shell/select_estimates_dialog.h"
#include "shell/select_model_dialog.h"
#include "shell/select_predictions_dialog.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/writers.h"
#include "tamsel/version.h"
#include "test_support.h"

using namespace tamsel;
using guitest::Click;
using guitest::WhenModal;
using Session = guitest::SetsSession;

namespace {

QStringList VisibleHeadings(const QTableView* grid) {
    QStringList headings;
    for (int column = 0; column < grid->model()->columnCount(); ++column) {
        if (!grid->isColumnHidden(column)) {
            headings.append(grid->model()->headerData(column, Qt::Horizontal).toString());
        }
    }
    return headings;
}

}  // namespace

class SelectionDialogsTest : public QObject {
    Q_OBJECT

  private slots:
    // A selection dialog with nothing to list shows only its message.
    void EmptyListsOnlyTellSo() {
        Session s;
        s.Controller().OpenCurrentDataSet("SYS1");
        SelectPredictionsDialog predictions(s.Db());
        // The named dataset, not the current one, decides what is listed.
        QVERIFY(!predictions.ChooseSet("NTDS"));
        s.Controller().OpenCurrentDataSet("NTDS");
        DeleteDataSet(s.Db(), "NTDS");
        SelectEstimatesDialog estimates(s.Db(), s.Controller());
        estimates.ShowIfAnySets();
        DeleteDataSet(s.Db(), "SYS1");
        SelectDataSetDialog data(s.Db(), s.Controller());
        data.PossiblyShow();
        QCOMPARE(s.sink.Texts(),
                 (std::vector<std::string>{
                     "There are no recalibrated estimates for the current dataset.\r\n"
                     "Please, recalibrate an estimates set first.",
                     "There are no estimates calculated for the current dataset.\r\n"
                     "Please, apply a model first.",
                     "There are no datasets stored in the current database.\r\n"
                     "Please, add a dataset first."}));
        QVERIFY(!predictions.isVisible() && !estimates.isVisible() && !data.isVisible());
    }

    void SelectDatasetListsNewestFirstAndInsistsOnAChoice() {
        Session s;
        SelectDataSetDialog dialog(s.Db(), s.Controller());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Select a dataset"));
        QCOMPARE(dialog.findChild<QLabel*>("Label1")->text(), QStringLiteral("Dataset"));
        QComboBox* list = dialog.DBCombo1();
        QAbstractItemModelTester tester(list->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->itemText(0), QStringLiteral("NTDS"));
        QCOMPARE(list->itemText(1), QStringLiteral("SYS1"));
        QCOMPARE(list->currentIndex(), -1);  // no dataset is current yet

        WhenModal([](QWidget* shown) {
            auto* form = qobject_cast<SelectDataSetDialog*>(shown);
            form->DBCombo1()->setCurrentIndex(1);
            Click(form, "Command1");
        });
        dialog.PossiblyShow();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(s.Controller().Selection().dataSetName, std::string("SYS1"));
        QVERIFY(s.window->StatusPanelText(2).startsWith(QStringLiteral("Dataset: SYS1")));

        // The current dataset starts chosen; OK insists on a choice and Cancel changes nothing.
        SelectDataSetDialog again(s.Db(), s.Controller());
        QCOMPARE(again.DBCombo1()->currentText(), QStringLiteral("SYS1"));
        bool stayedOpen = false;
        WhenModal([&](QWidget* shown) {
            auto* form = qobject_cast<SelectDataSetDialog*>(shown);
            form->DBCombo1()->setCurrentIndex(-1);
            Click(form, "Command1");
            stayedOpen = form->isVisible();
            form->DBCombo1()->setCurrentIndex(0);
            Click(form, "Command2");
        });
        again.PossiblyShow();
        QCOMPARE(s.sink.Texts(),
                 std::vector<std::string>{"You must select a dataset or click Cancel"});
        QVERIFY(stayedOpen);
        QCOMPARE(again.result(), int(QDialog::Rejected));
        QCOMPARE(s.Controller().Selection().dataSetName, std::string("SYS1"));
    }

    void SelectEstimatesSetMakesTheChosenSetCurrent() {
        Session s;
        s.Controller().OpenCurrentDataSet("SYS1");
        const int second = guitest::StoreMadeUpEstimatesSet(s.Db(), "SYS1", 4);
        SelectEstimatesDialog dialog(s.Db(), s.Controller());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Select an estimates set"));
        QCOMPARE(dialog.Label1()->text(),
                 QStringLiteral("Select a set of estimates from the list of sets available for "
                                "the current dataset"));
        QAbstractItemModelTester tester(dialog.Model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(VisibleHeadings(dialog.Grid()),
                 (QStringList{"Set ID", "Model", "Range start", "Range end", "Set size",
                              "Inference method"}));
        QCOMPARE(dialog.RowCount(), 2);
        WhenModal([](QWidget* shown) { Click(shown, "Command2"); });
        dialog.ShowIfAnySets();
        QCOMPARE(s.Controller().Selection().estimatesSetId, 0);
        WhenModal([](QWidget* shown) {
            auto* form = qobject_cast<SelectEstimatesDialog*>(shown);
            form->SelectRow(1);
            Click(form, "Command1");
        });
        dialog.ShowIfAnySets();
        const CurrentSelection& selection = s.Controller().Selection();
        QCOMPARE(selection.estimatesSetId, second);
        QCOMPARE(selection.modelName, std::string("Goel-Okumoto"));
        QCOMPARE(selection.rangeStart, 20);
        // The default range has no end: it runs to the last failure.
        QCOMPARE(selection.rangeEnd, 136);
        QCOMPARE(selection.setSize, 136);
        QCOMPARE(selection.inferenceMethodName, std::string("Maximum Likelihood"));
        QVERIFY(!selection.recalibrated);
        QVERIFY(s.window->StatusPanelText(3).startsWith(QStringLiteral("Estimates: Goel-Okumoto")));
    }

    void SelectPredictionsSetListsTheDatasetsSetsAndTheCommandMakesOneCurrent() {
        Session s;
        s.Controller().OpenCurrentDataSet("SYS1");
        SelectPredictionsDialog dialog(s.Db());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Select a recalibrated predictions set"));
        int rows = 0;
        QStringList headings;
        WhenModal([&](QWidget* shown) {
            auto* form = qobject_cast<SelectPredictionsDialog*>(shown);
            rows = form->RowCount();
            headings = VisibleHeadings(form->Grid());
            Click(form, "Command1");
        });
        QCOMPARE(dialog.ChooseSet("SYS1"), std::optional<int>(s.sys1Predictions));
        QCOMPARE(rows, 1);
        QCOMPARE(headings,
                 (QStringList{"Set ID", "Model", "Recalibration method name            "}));
        QCOMPARE(dialog.findChild<QTableView*>("DBGrid2"), dialog.Grid());
        WhenModal([](QWidget* shown) { Click(shown, "Command2"); });
        QVERIFY(!dialog.ChooseSet("SYS1"));

        QAction* command = s.Item("mnuEstimatesSelectPredictions");
        WhenModal([](QWidget* shown) { Click(shown, "Command1"); });
        command->trigger();
        QVERIFY(s.Controller().Selection().recalibrated);
        QCOMPARE(s.Controller().Selection().predictionsSetId, s.sys1Predictions);
        // Cancel leaves the selection as it was.
        s.Controller().SelectEstimatesSet(
            guitest::SetInfo(s.sys1Set, "Jelinski-Moranda", 20, 136, 136, "ML"));
        WhenModal([](QWidget* shown) { Click(shown, "Command2"); });
        command->trigger();
        QVERIFY(!s.Controller().Selection().recalibrated);
        QCOMPARE(s.Controller().Selection().estimatesSetId, s.sys1Set);
        QCOMPARE(guitest::ModalTimeouts(), 0);
        QVERIFY(s.sink.Texts().empty());
    }

    void PlotDialogsPromptForWhatTheyChoose_data() {
        QTest::addColumn<int>("prompt");  // a ReferencePrompt, or -1 for a model to plot
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("label");
        QTest::newRow("model to plot") << -1 << "Select a model"
                                       << "Please select a model to plot.";
        QTest::newRow("first reference")
            << int(ReferencePrompt::First) << "Select a reference set"
            << "The current predictions set will be your first plot.\n Please select a reference "
               "set.";
        QTest::newRow("next reference") << int(ReferencePrompt::Next) << "Select a reference set"
                                        << "Please select a new reference set.";
    }

    void PlotDialogsPromptForWhatTheyChoose() {
        QFETCH(int, prompt);
        QFETCH(QString, caption);
        QFETCH(QString, label);
        Session s;
        SelectModelDialog models(s.Db());
        SelectAnyPredictionsDialog sets(s.Db());
        auto ask = [&](int asked) {
            if (asked < 0) {
                models.ChooseModel(s.sys1Set);
            } else {
                sets.ChooseReference(static_cast<ReferencePrompt>(asked), s.sys1Set);
            }
        };
        // An earlier use with the other prompt must not leave its texts behind.
        WhenModal([](QWidget* shown) { Click(shown, "Command2"); });
        ask(prompt == int(ReferencePrompt::First) ? int(ReferencePrompt::Next)
                                                  : int(ReferencePrompt::First));
        QString shownCaption;
        QString shownLabel;
        WhenModal([&](QWidget* shown) {
            shownCaption = shown->windowTitle();
            shownLabel = qobject_cast<GridSelectionDialog*>(shown)->Label1()->text();
            Click(shown, "Command2");
        });
        ask(prompt);
        QCOMPARE(shownCaption, caption);
        QCOMPARE(shownLabel, label);
    }

    void SelectModelReturnsTheKeyAndNothingAfterCancel() {
        Session s;
        const int second = guitest::StoreMadeUpEstimatesSet(s.Db(), "SYS1", 3);
        SelectModelDialog dialog(s.Db());
        QStringList headings;
        int rows = 0;
        WhenModal([&](QWidget* shown) {
            auto* form = qobject_cast<SelectModelDialog*>(shown);
            headings = VisibleHeadings(form->Grid());
            rows = form->RowCount();
            form->SelectRow(1);
            Click(form, "Command1");
        });
        QCOMPARE(dialog.ChooseModel(s.sys1Set), std::optional<int>(second));
        QCOMPARE(rows, 2);  // SYS1's sets only
        QCOMPARE(headings, QStringList{"ModelName"});
        // Cancel adds nothing, whatever was chosen before.
        WhenModal([](QWidget* shown) { Click(shown, "Command2"); });
        QVERIFY(!dialog.ChooseModel(s.sys1Set));
    }

    void SelectAnyPredictionsListsRawThenRecalibratedSets() {
        Session s;
        SelectAnyPredictionsDialog dialog(s.Db());
        QStringList headings;
        QStringList models;
        WhenModal([&](QWidget* shown) {
            auto* form = qobject_cast<SelectAnyPredictionsDialog*>(shown);
            headings = VisibleHeadings(form->Grid());
            for (int row = 0; row < form->RowCount(); ++row) {
                models.append(form->Model()->index(row, 3).data().toString());
            }
            form->SelectRow(1);
            Click(form, "Command1");
        });
        const std::optional<PredictionSetRef> chosen =
            dialog.ChooseReference(ReferencePrompt::Next, s.sys1Set);
        QCOMPARE(headings, (QStringList{"Model       ", "Recalibration                        "}));
        QCOMPARE(models.size(), 2);
        QCOMPARE(models[0], QStringLiteral("Raw predictions"));
        QCOMPARE(chosen, std::optional(PredictionSetRef{s.sys1Predictions, true}));

        WhenModal([](QWidget* shown) { Click(shown, "Command1"); });
        QCOMPARE(dialog.ChooseReference(ReferencePrompt::First, s.sys1Set),
                 std::optional(PredictionSetRef{s.sys1Set, false}));

        WhenModal([](QWidget* shown) { Click(shown, "Command2"); });
        QVERIFY(!dialog.ChooseReference(ReferencePrompt::Next, s.sys1Set));
    }

    void CurrentSelectionsShowsWhatIsChosen() {
        Session s;
        {
            CurrentSelectionsDialog empty(s.Controller().Selection(), &s.Db());
            QCOMPARE(empty.windowTitle(), QStringLiteral("Current selections"));
            QCOMPARE(empty.ValueText("Database"), QString::fromStdString(s.fileName));
            QCOMPARE(empty.ValueText("Dataset"), QString());
            QCOMPARE(empty.ValueText("Model"), QString());
        }
        s.Controller().OpenCurrentDataSet("SYS1");
        QVERIFY(s.Controller().SelectRecalibratedSet(s.sys1Predictions));
        CurrentSelectionsDialog dialog(s.Controller().Selection(), &s.Db());
        QCOMPARE(dialog.ValueText("Dataset"), QStringLiteral("SYS1"));
        QCOMPARE(dialog.ValueText("Data source"), QStringLiteral("Unknown source"));
        QCOMPARE(dialog.ValueText("Model"), QStringLiteral("Jelinski-Moranda"));
        QCOMPARE(dialog.ValueText("Range"), QStringLiteral("20 to 136 (set size 136)"));
        QCOMPARE(dialog.ValueText("Inference method"),
                 QString::fromStdString(s.Controller().Selection().inferenceMethodName));
        QCOMPARE(dialog.ValueText("Recalibration method"),
                 QString::fromStdString(s.Controller().Selection().recalibrationMethodName));
        QVERIFY(!dialog.ValueText("Recalibration method").isEmpty());
    }

    void AboutShowsTitleVersionAndDisclaimer() {
        AboutDialog about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About Tamsel"));
        QCOMPARE(about.findChild<QLabel*>("lblTitle")->text(), QStringLiteral("Tamsel"));
        QCOMPARE(about.findChild<QLabel*>("lblVersion")->text(),
                 QStringLiteral("Version ") + QStringLiteral(TAMSEL_VERSION));
        QVERIFY(!about.findChild<QLabel*>("lblDescription")->text().isEmpty());
        QVERIFY(!about.findChild<QLabel*>("picIcon")->pixmap().isNull());
        const std::string disclaimer = AboutDialog::DisclaimerText();
        const std::string expectedStart =
            "Disclaimer:\r\nThis software is for personal use only. It is provided 'as is' "
            "without any liability or warranty.\r\nIt is a research prototype which has not "
            "been thoroughly tested. Please report bugs to:\r\n";
        QCOMPARE(disclaimer.substr(0, expectedStart.size()), expectedStart);
        QVERIFY(disclaimer.size() > expectedStart.size());  // the contact address
        QCOMPARE(about.findChild<QLabel*>("lblDisclaimer")->text(),
                 QString::fromStdString(disclaimer).replace("\r\n", "\n"));
    }
};

QTEST_MAIN(SelectionDialogsTest)
#include "selection_dialogs_test.moc"
