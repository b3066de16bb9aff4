#include <QLabel>
#include <QLineEdit>
#include <QtTest>
#include <cmath>

#include "gui_test_support.h"
#include "tables/next_failure_dialog.h"
#include "test_support.h"

using namespace tamsel;
using guitest::Click;
using guitest::WhenModal;

namespace {

// SYS1 with a Jelinski-Moranda set whose last fit has N = n + 0.5 and Lambda = 0.01, so that
// the rate of the next failure is 0.005.
struct Session : guitest::Session {
    Session() : estimatesSet(guitest::StoreMadeUpEstimatesSet(Db(), "SYS1", 1)) {
        Statement last = Db().Prepare(
            "UPDATE Estimates SET Parameter1 = FailureIndex + 0.5, Parameter2 = 0.01 "
            "WHERE EstimatesSetID = :set AND FailureIndex = "
            "(SELECT MAX(FailureIndex) FROM Estimates WHERE EstimatesSetID = :set);");
        last.Bind("set", DbValue{std::int64_t{estimatesSet}});
        last.Step();
        Controller().OpenCurrentDataSet("SYS1");
        Controller().SelectEstimatesSet(
            guitest::SetInfo(estimatesSet, "Jelinski-Moranda", 20, 136, 136, "Maximum likelihood"));
    }

    int estimatesSet;
};

void Submit(NextFailureDialog& form, const QString& text) {
    form.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(text);
    Click(&form, "Command1");
}

}  // namespace

class NextPredictionsTest : public QObject {
    Q_OBJECT

  private slots:
    void SubmitShowsTimeUValueAndDensity() {
        Session s;
        NextFailureDialog form(s.Controller());
        Submit(form, QStringLiteral("100"));
        QCOMPARE(form.ValueLabel(0)->text(), QStringLiteral("100"));
        const double u = form.ValueLabel(1)->text().toDouble();
        const double pdf = form.ValueLabel(2)->text().toDouble();
        QVERIFY(test::IsClose(u, 1.0 - std::exp(-0.5), 1e-12));
        QVERIFY(test::IsClose(pdf, 0.005 * std::exp(-0.5), 1e-12));

        // Text that is not a number and a refused time leave the results on screen.
        Submit(form, QStringLiteral("abc"));
        QCOMPARE(form.ValueLabel(0)->text(), QStringLiteral("100"));
        Submit(form, QStringLiteral("-1"));
        QCOMPARE(form.ValueLabel(0)->text(), QStringLiteral("100"));
        QCOMPARE(s.sink.Texts(),
                 std::vector<std::string>{
                     "The time to the next failure must be a number of 0 or more."});
    }

    void MenuOpensTheDialog() {
        Session s;
        WhenModal([](QWidget* shown) {
            QCOMPARE(shown->windowTitle(), QStringLiteral("Time to next failure predictions"));
            Click(shown, "Command2");
        });
        s.Item("mnuPredictionsNextFailure")->trigger();
        QCOMPARE(guitest::ModalTimeouts(), 0);
    }
};

QTEST_MAIN(NextPredictionsTest)
#include "next_failure_dialog_test.moc"
