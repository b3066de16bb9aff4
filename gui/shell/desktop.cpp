#include "shell/desktop.h"

#include <QFileDialog>
#include <QSettings>
#include <QStringList>
#include <vector>

namespace tamsel {
namespace {

const QString kDatabaseFilter = QStringLiteral("Tamsel databases (*.db);;All files (*)");
const QString kDataFileFilter =
    QStringLiteral("Data files (*.txt *.dat *.csv *.tsv);;All files (*)");
const QString kGeometryKey = QStringLiteral("MainWindow/geometry");

// Named here rather than by the application object, so that every program of the project
// that shows the main window keeps the same settings.
QSettings Settings() { return QSettings(QStringLiteral("Tamsel"), QStringLiteral("Tamsel")); }

// A format a file can be saved in: the filter offered and the suffix it gives a bare name.
struct SaveFormat {
    QString filter;
    QString suffix;
};

// The first format is the default.
const std::vector<SaveFormat> kGraphFormats = {
    {QStringLiteral("PNG image (*.png)"), QStringLiteral("png")},
    {QStringLiteral("SVG drawing (*.svg)"), QStringLiteral("svg")},
    {QStringLiteral("PDF document (*.pdf)"), QStringLiteral("pdf")},
    {QStringLiteral("JPEG image (*.jpg *.jpeg)"), QStringLiteral("jpg")},
};
const std::vector<SaveFormat> kReportFormats = {
    {QStringLiteral("HTML page (*.html)"), QStringLiteral("html")},
    {QStringLiteral("PDF document (*.pdf)"), QStringLiteral("pdf")},
};
const std::vector<SaveFormat> kTableFormats = {
    {QStringLiteral("Text in print zones (*.txt)"), QStringLiteral("txt")},
    {QStringLiteral("CSV with headings (*.csv)"), QStringLiteral("csv")},
};

// A save dialog whose default suffix follows the chosen filter; it asks before it hands out
// the name of an existing file.
void AskToSave(QFileDialog& dialog, const QString& title, const std::vector<SaveFormat>& formats) {
    dialog.setWindowTitle(title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    QStringList filters;
    for (const SaveFormat& format : formats) filters.append(format.filter);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(formats.front().suffix);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, formats](const QString& filter) {
                         for (const SaveFormat& format : formats) {
                             if (format.filter == filter) dialog.setDefaultSuffix(format.suffix);
                         }
                     });
}

}  // namespace

QString SystemDesktop::AskFileName(QWidget* parent, FileQuestion question) {
    QFileDialog dialog(parent);
    switch (question) {
        case FileQuestion::OpenDatabase:
            dialog.setWindowTitle(QStringLiteral("Open Database"));
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(QFileDialog::ExistingFile);
            dialog.setNameFilter(kDatabaseFilter);
            dialog.setDefaultSuffix(QStringLiteral("db"));
            break;
        case FileQuestion::NewDatabase:
            dialog.setWindowTitle(QStringLiteral("New Database"));
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            dialog.setNameFilter(kDatabaseFilter);
            dialog.setDefaultSuffix(QStringLiteral("db"));
            break;
        case FileQuestion::DataFile:
            dialog.setWindowTitle(QStringLiteral("Select a data file"));
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(QFileDialog::ExistingFile);
            dialog.setNameFilter(kDataFileFilter);
            dialog.setDefaultSuffix(QStringLiteral("txt"));
            break;
        case FileQuestion::SaveGraph:
            AskToSave(dialog, QStringLiteral("Save Graph"), kGraphFormats);
            break;
        case FileQuestion::SaveTable:
            AskToSave(dialog, QStringLiteral("Save Table"), kTableFormats);
            break;
        case FileQuestion::SaveReport:
            AskToSave(dialog, QStringLiteral("Export Report"), kReportFormats);
            break;
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

QByteArray SystemDesktop::MainWindowGeometry() const {
    return Settings().value(kGeometryKey).toByteArray();
}

void SystemDesktop::SetMainWindowGeometry(const QByteArray& geometry) {
    Settings().setValue(kGeometryKey, geometry);
}

}  // namespace tamsel
