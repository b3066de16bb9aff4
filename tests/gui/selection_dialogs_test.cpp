#include <QAction>
#include <QComboBox>
#include <QtTest>

#include "gui_test_support.h"
#include "shell/main_window.h"
#include "shell/row_set_model.h"
#include "shell/select_data_set_dialog.h"
#include "shell/select_estimates_dialog.h"
#include "shell/select_model_dialog.h"
#include "shell/select_predictions_dialog.h"
#include "test_support.h"

using namespace tamsel;
using guitest::AnswerGrid;
using guitest::Click;
using guitest::GridShown;
using guitest::WhenModal;
using Session = guitest::SetsSession;

class SelectionDialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void SelectDatasetListsNewestFirstAndInsistsOnAChoice() {
        Session s;
        SelectDataSetDialog dialog(s.Db(), s.Controller());
        QComboBox* list = dialog.DBCombo1();
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->itemText(0) + list->itemText(1), QStringLiteral("NTDSSYS1"));
        QCOMPARE(list->currentIndex(), -1);  // no dataset is current yet
        WhenModal([](QWidget* shown) {
            qobject_cast<SelectDataSetDialog*>(shown)->DBCombo1()->setCurrentIndex(1);
            Click(shown, "Command1");
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
        GridShown shown;
        AnswerGrid(shown, -1, "Command2");
        dialog.ShowIfAnySets();
        QCOMPARE(s.Controller().Selection().estimatesSetId, 0);
        QCOMPARE(shown.rows, 2);
        AnswerGrid(shown, 1, "Command1");
        dialog.ShowIfAnySets();
        const CurrentSelection& selection = s.Controller().Selection();
        QCOMPARE(selection.estimatesSetId, second);
        QCOMPARE(selection.modelName, std::string("Goel-Okumoto"));
        // The default range has no end: it runs to the last failure.
        QCOMPARE(std::tuple(selection.rangeStart, selection.rangeEnd, selection.setSize),
                 std::tuple(20, 136, 136));
        QCOMPARE(selection.inferenceMethodName, std::string("Maximum Likelihood"));
        QVERIFY(!selection.recalibrated);
        QVERIFY(s.window->StatusPanelText(3).startsWith(QStringLiteral("Estimates: Goel-Okumoto")));
    }

    void SelectPredictionsSetListsTheDatasetsSetsAndTheCommandMakesOneCurrent() {
        Session s;
        s.Controller().OpenCurrentDataSet("SYS1");
        SelectPredictionsDialog dialog(s.Db());
        GridShown shown;
        AnswerGrid(shown, -1, "Command1");
        QCOMPARE(dialog.ChooseSet("SYS1"), std::optional<int>(s.sys1Predictions));
        QCOMPARE(shown.rows, 1);
        AnswerGrid(shown, -1, "Command2");
        QVERIFY(!dialog.ChooseSet("SYS1"));

        QAction* command = s.Item("mnuEstimatesSelectPredictions");
        AnswerGrid(shown, -1, "Command1");
        command->trigger();
        QVERIFY(s.Controller().Selection().recalibrated);
        QCOMPARE(s.Controller().Selection().predictionsSetId, s.sys1Predictions);
        // Cancel leaves the selection as it was.
        s.Controller().SelectEstimatesSet(guitest::SetInfo(s.sys1Set, "Jelinski-Moranda"));
        AnswerGrid(shown, -1, "Command2");
        command->trigger();
        QVERIFY(!s.Controller().Selection().recalibrated);
        QCOMPARE(s.Controller().Selection().estimatesSetId, s.sys1Set);
        QCOMPARE(guitest::ModalTimeouts(), 0);
        QVERIFY(s.sink.Texts().empty());
    }

    void SelectModelReturnsTheKeyAndNothingAfterCancel() {
        Session s;
        const int second = guitest::StoreMadeUpEstimatesSet(s.Db(), "SYS1", 3);
        SelectModelDialog dialog(s.Db());
        GridShown shown;
        AnswerGrid(shown, 1, "Command1");
        QCOMPARE(dialog.ChooseModel(s.sys1Set), std::optional<int>(second));
        QCOMPARE(shown.rows, 2);  // SYS1's sets only
        QCOMPARE(shown.headings, QStringList{"ModelName"});
        // Cancel adds nothing, whatever was chosen before.
        AnswerGrid(shown, -1, "Command2");
        QVERIFY(!dialog.ChooseModel(s.sys1Set));
    }

    void SelectAnyPredictionsListsRawThenRecalibratedSets() {
        Session s;
        SelectAnyPredictionsDialog dialog(s.Db());
        QStringList models;
        WhenModal([&models](QWidget* shown) {
            auto* form = qobject_cast<SelectAnyPredictionsDialog*>(shown);
            for (int row = 0; row < form->RowCount(); ++row) {
                models.append(form->Model()->index(row, 3).data().toString());
            }
            Click(form, "Command2");
        });
        QVERIFY(!dialog.ChooseReference(ReferencePrompt::Next, s.sys1Set));
        QCOMPARE(models.size(), 2);
        QCOMPARE(models[0], QStringLiteral("Raw predictions"));
        const struct {
            int row;
            PredictionSetRef chosen;
        } choices[] = {{1, {s.sys1Predictions, true}}, {0, {s.sys1Set, false}}};
        for (const auto& choice : choices) {
            GridShown shown;
            AnswerGrid(shown, choice.row, "Command1");
            QCOMPARE(dialog.ChooseReference(ReferencePrompt::Next, s.sys1Set),
                     std::optional(choice.chosen));
            QCOMPARE(shown.headings,
                     (QStringList{"Model       ", "Recalibration                        "}));
        }
    }
};

QTEST_MAIN(SelectionDialogsTest)
#include "selection_dialogs_test.moc"
