#include "store_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tamsel {
namespace {

// Runs are numbers; a negative result holds.
using Queue = StoreQueue<int, int>;

bool Negative(const int& result) { return result < 0; }

// Long enough for a storing thread that does not hold to store the next run.
void GiveTimeToGoWrong() { std::this_thread::sleep_for(std::chrono::milliseconds(50)); }

// The results come in the order pushed; after one that holds, the next run waits for Resume, and
// Stop drops it.
TEST(StoreQueue, AResultThatHoldsKeepsTheNextRunUntilResumedOrStopped) {
    for (const bool resume : {true, false}) {
        SCOPED_TRACE(resume);
        std::mutex mutex;
        std::vector<std::size_t> stored;
        {
            Queue queue(
                [&](std::size_t k, const int& run) {
                    const std::lock_guard lock(mutex);
                    stored.push_back(k);
                    return run;
                },
                Negative);
            queue.Push(0, std::make_unique<int>(10));
            queue.Push(1, std::make_unique<int>(-1));
            queue.Push(2, std::make_unique<int>(12));
            EXPECT_EQ(queue.Take(true), 10);
            EXPECT_EQ(queue.Take(true), -1);
            GiveTimeToGoWrong();
            ASSERT_EQ(queue.Take(false), std::nullopt);
            if (resume) {
                queue.Resume();
                EXPECT_EQ(queue.Take(true), 12);
            } else {
                queue.Stop();
            }
        }
        const std::vector<std::size_t> expected =
            resume ? std::vector<std::size_t>{0, 1, 2} : std::vector<std::size_t>{0, 1};
        EXPECT_EQ(stored, expected);
    }
}

// What a store throws reaches the caller where it takes that run's result, and holds too.
TEST(StoreQueue, AStoreThatThrowsIsThrownWhereItsResultIsTaken) {
    Queue queue(
        [](std::size_t k, const int& run) {
            if (k == 0) throw std::runtime_error("the connection was lost");
            return run;
        },
        Negative);
    queue.Push(0, std::make_unique<int>(1));
    queue.Push(1, std::make_unique<int>(2));
    EXPECT_THROW(queue.Take(true), std::runtime_error);
    GiveTimeToGoWrong();
    EXPECT_EQ(queue.Take(false), std::nullopt);
}

}  // namespace
}  // namespace tamsel
