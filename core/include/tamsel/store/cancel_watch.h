// Lets a cancel flag stop the engine in the middle of a long statement (storing a large
// dataset, deleting one with all that was computed from it).
#pragma once

#include <atomic>
#include <memory>

#include "tamsel/store/database.h"

namespace tamsel {

// While it lives, a set flag makes the statement running on db fail as the engine fails
// (DatabaseError), so that the unit of work around it is rolled back; a failure with the
// flag set is the cancel. End the watch before committing, so that a late cancel cannot
// stop the commit halfway. A null flag watches nothing.
class CancelWatch {
  public:
    CancelWatch(Database& db, const std::atomic<bool>* cancel);
    ~CancelWatch();
    CancelWatch(const CancelWatch&) = delete;
    CancelWatch& operator=(const CancelWatch&) = delete;

  private:
    std::unique_ptr<engine::CancelHook> m_hook;
};

}  // namespace tamsel
