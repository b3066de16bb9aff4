// Helpers for the tests of the desktop application: a desktop that answers file questions
// from a queue, a way to act on the next modal dialog, and small project files.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "shell/desktop.h"
#include "tamsel/store/database.h"

namespace tamsel::guitest {

class FakeDesktop : public Desktop {
  public:
    // Answers the file questions in order; an empty queue answers as Cancel does.
    void QueueFileName(const QString& fileName) { m_fileNames.push_back(fileName); }
    QString AskFileName(QWidget* parent, FileQuestion question) override;
    bool OpenDocument(const QString& path) override;

    std::vector<FileQuestion> questions;
    QStringList openedDocuments;

  private:
    std::deque<QString> m_fileNames;
};

// Runs handler on the next modal dialog as soon as it is shown. Returns at once; the
// handler runs from the event loop of the dialog's exec(). A dialog that does not appear
// within a few seconds counts in ModalTimeouts().
void WhenModal(std::function<void(QWidget*)> handler);
int ModalTimeouts();

// Clicks the push button called objectName inside parent.
void Click(QWidget* parent, const char* objectName);

// A new project file named fileName in directory, holding the named datasets of data/
// (pairs of dataset name and file name), imported as the Add New Dataset command does.
std::string MakeDatabase(const std::string& directory,
                         const std::vector<std::pair<std::string, std::string>>& dataSets);

// Stores an estimates set of modelId for the dataset over the default range and inference
// method, with simple made-up rows from failure 20 to dataNumber; returns its key.
int StoreMadeUpEstimatesSet(Database& db, const std::string& dataSetName, int modelId);
// Stores a predictions set for estimatesSetId with the first recalibration method; returns
// its key.
int StoreMadeUpPredictionsSet(Database& db, int estimatesSetId);

// The number of rows of table (for checks that nothing was stored).
int CountRows(Database& db, const std::string& table);

}  // namespace tamsel::guitest
