#include "tamsel/store/cancel_watch.h"

#include <sqlite3.h>

namespace tamsel {
namespace {

// Virtual machine steps between looks at the flag: a few microseconds of work.
constexpr int kStepsPerLook = 1000;

int StopWhenSet(void* flag) { return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0; }

}  // namespace

CancelWatch::CancelWatch(Database& db, const std::atomic<bool>* cancel)
    : m_db(db), m_cancel(cancel) {
    if (m_cancel) {
        sqlite3_progress_handler(m_db.Handle(), kStepsPerLook, StopWhenSet,
                                 const_cast<std::atomic<bool>*>(m_cancel));
    }
}

CancelWatch::~CancelWatch() {
    if (m_cancel) sqlite3_progress_handler(m_db.Handle(), 0, nullptr, nullptr);
}

}  // namespace tamsel
