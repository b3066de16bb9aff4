#include "tamsel/store/cancel_watch.h"

#include "engine.h"

namespace tamsel {

CancelWatch::CancelWatch(Database& db, const std::atomic<bool>* cancel) {
    if (cancel) m_hook = db.m_connection->WatchCancel(*cancel);
}

CancelWatch::~CancelWatch() = default;

}  // namespace tamsel
