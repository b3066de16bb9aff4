// Progress reporting and cancelling of long work (model application, recalibration).
//
// The caller owns the cancel flag and the progress sink; the work polls CancelRequested
// once per failure index and reports each finished index through StepProgress. A run that
// sees the flag set stops at once and stores nothing.
#pragma once

#include <atomic>

namespace tamsel {

// Receives the progress of one run. Called from the thread that does the work; a GUI sink
// forwards to its progress bar through queued signals.
class ProgressSink {
  public:
    virtual ~ProgressSink() = default;
    virtual void OnStart(int minimum, int maximum) = 0;
    virtual void OnStep(int value) = 0;
    virtual void OnEnd() = 0;
};

// What a run gets from its caller: where to report progress and where to look for a
// cancel request. Both are optional; a default RunControl reports nowhere and is never
// cancelled. Copies share the caller's sink and flag.
class RunControl {
  public:
    RunControl() = default;
    RunControl(ProgressSink* sink, std::atomic<bool>* cancel) : m_sink(sink), m_cancel(cancel) {}

    // Progress over rangeStart..rangeEnd, starting at rangeStart.
    void StartProgress(int rangeStart, int rangeEnd) const;
    // The same for the recalibration's minimum..maximum.
    void ResetProgress(int minimum, int maximum) const;
    // Moves the progress to value, unless a cancel has been requested.
    void StepProgress(int value) const;
    void EndProgress() const;

    bool CancelRequested() const;

  private:
    ProgressSink* m_sink = nullptr;
    std::atomic<bool>* m_cancel = nullptr;
};

}  // namespace tamsel
