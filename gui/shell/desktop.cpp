#include "shell/desktop.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QUrl>

namespace tamsel {
namespace {

const QString kDatabaseFilter = QStringLiteral("Tamsel databases (*.db);;All files (*)");
const QString kGraphFilter =
    QStringLiteral("JPEG File Interchange Format (.jpg) (*.jpg);;All files (*.*) (*)");
const QString kTableFilter = QStringLiteral("Text files (.txt) (*.txt);;All files (*.*) (*)");
const QString kDataFileFilter = QStringLiteral("Data files (*.txt *.dat *.csv *.tsv);;All files (*)");

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
            // A save dialog asks before it hands out the name of an existing file.
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
            dialog.setWindowTitle(QStringLiteral("Save Graph"));
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            dialog.setNameFilter(kGraphFilter);
            dialog.setDefaultSuffix(QStringLiteral("jpg"));
            break;
        case FileQuestion::SaveTable:
            dialog.setWindowTitle(QStringLiteral("Save Table as Text File"));
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            dialog.setNameFilter(kTableFilter);
            dialog.setDefaultSuffix(QStringLiteral("txt"));
            break;
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

bool SystemDesktop::OpenDocument(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace tamsel
