// The frame shared by the dialogs whose OK and Apply start long work on a worker thread:
// cmdOK "OK", cmdCancel "Cancel" and cmdApply "Apply", and above them prgProcessModel
// ("Failure %v of %m") with prgCancel "Cancel processing", shown while the work reports
// progress. Cancel processing stops the run and leaves the dialog open; closing the dialog
// during a run cancels it, and the dialog goes once the run has ended.
#pragma once

#include <QDialog>
#include <atomic>
#include <functional>

#include "tamsel/workbench/project.h"

class QBoxLayout;
class QProgressBar;
class QPushButton;

namespace tamsel {

class BackgroundRun;

class RunDialog : public QDialog {
    Q_OBJECT

  public:
    bool IsRunning() const;

  signals:
    // A run has ended (stored, refused, failed or cancelled) and the dialog is idle again.
    void runFinished();

  public slots:
    void reject() override;

  protected:
    explicit RunDialog(QWidget* parent);

    // OK (close is true) and Apply, pressed while no run is going.
    virtual void ApplyChoice(bool close) = 0;

    // Creates the progress row and the button row and adds them to the foot of layout; call
    // once, after the dialog's own widgets, which keeps them first in the focus chain.
    void AddRunControls(QBoxLayout* layout);
    // The hidden progress row keeps its room, so the dialog does not jump when a run starts.
    void KeepProgressRoom();
    // Starts work (which must not touch widgets); the dialog is accepted when it ends if
    // closeAfterRun, unless work returned false (it refused to start, and the user may choose
    // again). Requires !IsRunning().
    void StartRun(bool closeAfterRun, std::function<bool(const RunControl&)> work);
    // The progress bar's text from now on (QProgressBar's %v and %m); callable from the work.
    void SetProgressFormat(const QString& format);

    void closeEvent(QCloseEvent* event) override;

  private:
    void StartProgress(int minimum, int maximum);
    void EndProgress();
    void RunEnded();
    void SetButtonsEnabled(bool enabled);

    BackgroundRun* m_run;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_apply = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_cancelProcessing = nullptr;
    bool m_closeAfterRun = false;
    std::atomic<bool> m_refused{false};  // written by the worker, read once the run has ended
    bool m_closeRequested = false;
};

}  // namespace tamsel
