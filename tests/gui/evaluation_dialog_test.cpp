#include <QComboBox>
#include <QSpinBox>
#include <QtTest>

#include "gui_test_support.h"
#include "predictions/evaluation_dialog.h"
#include "shell/row_set_model.h"
#include "tamsel/store/writers.h"
#include "tamsel/workbench/apply_model.h"
#include "tamsel/workbench/recalibrate.h"
#include "test_support.h"

using namespace tamsel;
using guitest::Click;
using guitest::WhenModal;

class EvaluationDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void FollowsStartReferenceAndFitIndex() {
        guitest::Session s;
        QVERIFY(!s.Item("mnuPredictionsEvaluate")->isEnabled());
        const int dataSet = FindDataSetId(s.Db(), "SYS1").value();
        const int range = FindOrCreateRange(s.Db(), 1, 20, std::nullopt);
        ApplyModel(s.Db(), dataSet, 1, range, 1, RunControl()).estimatesSetId;
        const int du = ApplyModel(s.Db(), dataSet, 2, range, 1, RunControl()).estimatesSetId;
        const int recalibrated = ApplyRecalibration(s.Db(), du, 1, RunControl()).predictionsSetId;
        s.Controller().OpenCurrentDataSet("SYS1");
        QVERIFY(s.Item("mnuPredictionsEvaluate")->isEnabled());

        const auto expected = [&s](std::optional<int> start, std::optional<PredictionSetRef> ref,
                                   std::optional<int> fit) {
            return EvaluationTable(EvaluateDataSet(s.Db(), "SYS1", start, ref, fit).value(), true)
                .rows;
        };
        bool shown = false;
        WhenModal([&](QWidget* dialog) {
            shown = true;
            const RowSetModel& table = static_cast<EvaluationDialog*>(dialog)->Table();
            QVERIFY(table.Rows().rows == expected(std::nullopt, std::nullopt, std::nullopt));
            // The references are listed raw first, each kind by key.
            auto* reference = dialog->findChild<QComboBox*>(QStringLiteral("cboReference"));
            QCOMPARE(reference->count(), 3);
            QCOMPARE(reference->itemText(2), QStringLiteral("Du# (set p%1)").arg(recalibrated));
            reference->setCurrentIndex(2);
            dialog->findChild<QSpinBox*>(QStringLiteral("spnStart"))->setValue(60);
            dialog->findChild<QSpinBox*>(QStringLiteral("spnFitIndex"))->setValue(100);
            QVERIFY(table.Rows().rows == expected(60, PredictionSetRef{recalibrated, true}, 100));
            Click(dialog, "cmdClose");
        });
        s.Item("mnuPredictionsEvaluate")->trigger();
        QVERIFY(shown);
        QCOMPARE(guitest::ModalTimeouts(), 0);
        QVERIFY(s.sink.Texts().empty());
    }
};

QTEST_MAIN(EvaluationDialogTest)
#include "evaluation_dialog_test.moc"
