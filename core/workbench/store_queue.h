// Storing finished runs on a thread of their own while the caller goes on with the next.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace tamsel {

// Stores the runs pushed, in their order and one at a time, on a thread of its own; each store
// gives a Result, taken by the caller in the same order. After a result that holds (a set that
// was not stored, say) the thread stores nothing more until Resume, so that a caller that
// stops there stores nothing after it.
template <class Run, class Result>
class StoreQueue {
  public:
    using StoreRun = std::function<Result(std::size_t, const Run&)>;
    using Holds = std::function<bool(const Result&)>;

    StoreQueue(StoreRun store, Holds holds)
        : m_store(std::move(store)),
          m_holds(std::move(holds)),
          m_thread([this] { StoreInTurn(); }) {}
    // Drops the runs not yet begun; one being stored is finished first.
    ~StoreQueue() {
        Stop();
        m_thread.join();
    }
    StoreQueue(const StoreQueue&) = delete;
    StoreQueue& operator=(const StoreQueue&) = delete;

    void Push(std::size_t k, std::unique_ptr<Run> run) {
        {
            const std::lock_guard lock(m_mutex);
            m_waiting.emplace_back(k, std::move(run));
        }
        m_changed.notify_all();
    }

    // The result of the oldest run pushed and not yet taken: once it is stored when wait is
    // set, otherwise only if it is stored already. What the store threw is thrown here.
    std::optional<Result> Take(bool wait) {
        std::unique_lock lock(m_mutex);
        if (wait) m_changed.wait(lock, [&] { return !m_stored.empty(); });
        if (m_stored.empty()) return std::nullopt;
        Stored stored = std::move(m_stored.front());
        m_stored.pop_front();
        if (stored.error) std::rethrow_exception(stored.error);
        return std::move(stored.result);
    }

    // After a taken result that held: go on storing the runs after it.
    void Resume() {
        {
            const std::lock_guard lock(m_mutex);
            m_held = false;
        }
        m_changed.notify_all();
    }

    // Stores nothing more.
    void Stop() {
        {
            const std::lock_guard lock(m_mutex);
            m_stopped = true;
        }
        m_changed.notify_all();
    }

  private:
    struct Stored {
        Result result{};
        std::exception_ptr error;
    };

    void StoreInTurn() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [&] { return m_stopped || (!m_held && !m_waiting.empty()); });
            if (m_stopped) return;
            auto [k, run] = std::move(m_waiting.front());
            m_waiting.pop_front();
            lock.unlock();
            Stored stored;
            try {
                stored.result = m_store(k, *run);
            } catch (...) {
                stored.error = std::current_exception();
            }
            run.reset();
            lock.lock();
            m_held = stored.error || m_holds(stored.result);
            m_stored.push_back(std::move(stored));
            m_changed.notify_all();
        }
    }

    StoreRun m_store;
    Holds m_holds;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::pair<std::size_t, std::unique_ptr<Run>>> m_waiting;
    std::deque<Stored> m_stored;
    bool m_held = false;
    bool m_stopped = false;
    std::thread m_thread;  // last: started once the rest is made
};

}  // namespace tamsel
