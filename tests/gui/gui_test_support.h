// Helpers for the tests of the desktop application: a desktop that answers file questions
// from a queue, a way to act on the next modal dialog, small project files and a main window
// over one.
#pragma once

#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "shell/desktop.h"
#include "shell/main_window.h"
#include "tamsel/store/database.h"
#include "test_support.h"

class QAction;

namespace tamsel::guitest {

class FakeDesktop : public Desktop {
  public:
    // Answers the file questions in order; an empty queue answers as Cancel does.
    void QueueFileName(const QString& fileName) { m_fileNames.push_back(fileName); }
    QString AskFileName(QWidget* parent, FileQuestion question) override;
    PasswordStore& Keyring() override { return keyring; }

    std::vector<FileQuestion> questions;
    MemoryPasswordStore keyring;

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

// Clicks the push button called objectName inside dialog and waits for its signal finished
// (the end of the run the click started); false when it does not come within a minute.
template <typename Dialog, typename Signal>
bool ClickAndWait(Dialog* dialog, const char* objectName, Signal finished) {
    QSignalSpy spy(dialog, finished);
    Click(dialog, objectName);
    return spy.wait(60000);
}

// What a grid selection dialog showed: its visible headings and rows.
struct GridShown {
    QStringList headings;
    int rows = -1;
};

// Records the next grid selection dialog in shown, selects row (unless it is negative) and
// presses the button called objectName.
void AnswerGrid(GridShown& shown, int row, const char* objectName);

// Waits until the import preview inside parent (or parent itself) has read the options it
// shows; false when it has not within a few seconds.
bool PreviewSettled(QWidget* parent);

using DataSetFiles = std::vector<std::pair<std::string, std::string>>;

// A new project at dir.ProjectLocation (a file in dir, or a schema of the tests' server)
// holding the named datasets of data/ (pairs of dataset name and file name), imported as the
// Add New Dataset command does; returns its location.
std::string MakeDatabase(const test::TempDir& dir, const DataSetFiles& dataSets);

// Stores an estimates set of modelId for the dataset over the default range and inference
// method, with simple made-up rows from failure 20 to dataNumber; returns its key.
int StoreMadeUpEstimatesSet(Database& db, const std::string& dataSetName, int modelId);
// Stores a predictions set for estimatesSetId with the first recalibration method; returns
// its key.
int StoreMadeUpPredictionsSet(Database& db, int estimatesSetId);

// An estimates set as the selection dialogs give it to the controller; by default one of SYS1
// over the default range.
EstimatesSetInfo SetInfo(int id, const std::string& model, int rangeStart = 20, int rangeEnd = 136,
                         int size = 136, const std::string& inference = "Maximum likelihood");

// The number of rows of table (for checks that nothing was stored).
int CountRows(Database& db, const std::string& table);

// A main window over a new project file holding dataSets, with a recording sink and a fake
// desktop; the window goes before the sink and the folder.
struct Session {
    explicit Session(const DataSetFiles& dataSets = {{"SYS1", "sys1.txt"}});
    Database& Db() const { return *window->Controller().OpenedDatabase(); }
    SelectionController& Controller() const { return window->Controller(); }
    // The menu item called name.
    QAction* Item(const char* name) const;
    // The text of a status panel without its trailing blanks.
    QString Panel(int panel) const;
    // Makes SYS1 and its estimates set id (of model, over the default range) current.
    void SelectSet(int id, const std::string& model) const;

    test::TempDir dir;
    test::RecordingSink sink;
    FakeDesktop desktop;
    std::string fileName;
    std::unique_ptr<MainWindow> window;
};

// SYS1 and then NTDS, each with a made-up estimates set (Jelinski-Moranda and Goel-Okumoto),
// and a predictions set of SYS1's.
struct SetsSession : Session {
    SetsSession();

    int sys1Set = 0;
    int ntdsSet = 0;
    int sys1Predictions = 0;
};

}  // namespace tamsel::guitest
