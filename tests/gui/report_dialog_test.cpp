#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

#include "gui_test_support.h"
#include "predictions/report_dialog.h"
#include "tamsel/store/writers.h"
#include "tamsel/workbench/apply_model.h"
#include "test_support.h"

using namespace tamsel;

class ReportDialogTest : public QObject {
    Q_OBJECT

  private slots:
    // File > Export Report... on SYS1 with a Duane set: a refused mission asks for no file;
    // then HTML and PDF files are written in the background with the mission and target asked.
    void ExportsTheCurrentDatasetInEitherFormat() {
        guitest::Session s;
        const int dataSet = FindDataSetId(s.Db(), "SYS1").value();
        const int range = FindOrCreateRange(s.Db(), 1, 20, std::nullopt);
        const int set = ApplyModel(s.Db(), dataSet, 2, range, 1, RunControl()).estimatesSetId;
        s.SelectSet(set, "Duane");
        QAction* item = s.Item("mnuFileExportReport");
        QVERIFY(item->isEnabled());
        item->trigger();
        auto* dialog = s.window->findChild<ReportDialog*>();
        QVERIFY(dialog);

        auto* mission = dialog->findChild<QLineEdit*>(QStringLiteral("txtMission"));
        mission->setText(QStringLiteral("soon"));
        guitest::Click(dialog, "cmdExport");
        QCOMPARE(s.sink.Entries().back().text, "The mission time must be a finite number above 0.");
        QVERIFY(s.desktop.questions.empty());

        mission->setText(QStringLiteral("500"));
        dialog->findChild<QComboBox*>(QStringLiteral("cboTarget"))->setCurrentIndex(2);
        dialog->findChild<QLineEdit*>(QStringLiteral("txtTarget"))->setText(QStringLiteral("4000"));
        for (const char* name : {"r.html", "r.pdf"}) {
            const QString file = QString::fromStdString(s.dir.File(name));
            s.desktop.QueueFileName(file);
            QVERIFY(guitest::ClickAndWait(dialog, "cmdExport", &ReportDialog::finished));
            QCOMPARE(dialog->Status(), QStringLiteral("Wrote ") + file + QStringLiteral("."));
            QCOMPARE(s.desktop.questions.back(), FileQuestion::SaveReport);
        }
        const std::string html = test::ReadBytes(s.dir.File("r.html"));
        for (const char* part :
             {"Reliability evidence: SYS1", "Forecast of the best raw set, Du (set ",
              "<td>Reliability over the mission</td>", "--mission 500 --target-mttf 4000"}) {
            QVERIFY2(html.find(part) != std::string::npos, part);
        }
        QCOMPARE(test::ReadBytes(s.dir.File("r.pdf")).substr(0, 5), "%PDF-");
    }
};

QTEST_MAIN(ReportDialogTest)
#include "report_dialog_test.moc"
