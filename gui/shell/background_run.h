// Long work (applying a model, importing a large file) off the user-interface thread. The
// work runs on a worker thread with a RunControl whose progress arrives here as queued
// signals; finished() is emitted on the user-interface thread once the work has returned.
#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <atomic>
#include <functional>

#include "tamsel/workbench/project.h"

namespace tamsel {

class BackgroundRun : public QObject, private ProgressSink {
    Q_OBJECT

  public:
    explicit BackgroundRun(QObject* parent = nullptr);
    // Requests a cancel and waits for running work. Owners let the work finish first: work
    // that is waiting for an answer from the user-interface thread cannot end here.
    ~BackgroundRun() override;

    bool IsRunning() const { return m_running; }
    bool CancelRequested() const { return m_cancel.load(); }

    // Starts work on a worker thread; it must not touch widgets. Requires !IsRunning().
    void Start(std::function<void(const RunControl&)> work);
    // Asks running work to stop at its next failure index.
    void RequestCancel();

  signals:
    void progressStarted(int minimum, int maximum);
    void progressStepped(int value);
    void progressEnded();
    void finished();

  private:
    void OnStart(int minimum, int maximum) override { emit progressStarted(minimum, maximum); }
    void OnStep(int value) override { emit progressStepped(value); }
    void OnEnd() override { emit progressEnded(); }

    std::atomic<bool> m_cancel{false};
    bool m_running = false;
    QFutureWatcher<void> m_watcher;
};

}  // namespace tamsel
