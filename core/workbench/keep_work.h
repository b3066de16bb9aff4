// Storing finished work while another program may hold the project.
#pragma once

#include <optional>
#include <type_traits>

#include "tamsel/records/progress.h"
#include "tamsel/store/database.h"
#include "tamsel/support/messages.h"

namespace tamsel {

inline constexpr const char* kKeptWhileInUse =
    "The project file is in use by another program. The finished work is kept, and storing it "
    "is tried again until the other program lets go of the file; cancel to give it up.";
inline constexpr const char* kKeptWhileInUseOnServer =
    "The project is in use by another user or program on the database server. The finished "
    "work is kept, and storing it is tried again until they let go of the project; cancel to "
    "give it up.";

// Runs store, which writes finished work in one Transaction, until no other program's lock
// stands in its way. Each try waits up to kBusyTimeoutMs for the lock; after the first try that
// times out the user is told once that the work is kept, and the tries go on until the user
// cancels: then InUseText is shown and the result is nullopt. Other failures propagate.
template <class Store>
std::optional<std::invoke_result_t<Store>> StoreKeepingWork(const RunControl& control,
                                                            Store store) {
    for (bool told = false;; told = true) {
        bool onServer = false;
        try {
            return store();
        } catch (const DatabaseError& error) {
            if (error.GetFault() != DatabaseError::Fault::Busy) throw;
            onServer = error.OnServer();
        }
        if (!told) {
            ShowMessage(onServer ? kKeptWhileInUseOnServer : kKeptWhileInUse,
                        MessageIcon::Information);
        }
        if (control.CancelRequested()) {
            ShowMessage(InUseText(onServer));
            return std::nullopt;
        }
    }
}

}  // namespace tamsel
