#include "tamsel/records/progress.h"

namespace tamsel {

void RunControl::StartProgress(int rangeStart, int rangeEnd) const {
    if (m_sink) m_sink->OnStart(rangeStart, rangeEnd);
}

void RunControl::ResetProgress(int minimum, int maximum) const {
    if (m_sink) m_sink->OnStart(minimum, maximum);
}

void RunControl::StepProgress(int value) const {
    if (m_sink && !CancelRequested()) m_sink->OnStep(value);
}

void RunControl::EndProgress() const {
    if (m_sink) m_sink->OnEnd();
}

bool RunControl::CancelRequested() const {
    return m_cancel && m_cancel->load(std::memory_order_relaxed);
}

}  // namespace tamsel
