// Split loops: every chunk exactly once, and never more threads at work than cores, however many
// workers split their loops at the same time.
#include "platform/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

namespace lumivane {
namespace {

// Waits until the helpers that started too late to take part have given their seats back.
void AwaitBudget(int inUse) {
    for (int i = 0; i < 2000 && ThreadBudget::InUse() != inUse; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(ThreadBudget::InUse(), inUse);
}

TEST(ForChunks, CoversEveryItemOnceWithinTheBudget) {
    struct Case {
        std::int64_t count, grain;
        bool split;
        int workers;  // threads splitting at once, each counted as a batch worker
    };
    const int cores = ThreadBudget::Cores();
    const Case cases[] = {
        {0, 4, true, 1},    {1, 4, true, 1},    {10, 0, true, 1},        {1000, 7, false, 1},
        {1000, 7, true, 1}, {4096, 1, true, 1}, {5000, 16, true, cores}, {5000, 3, true, 2 * cores},
        {3000, 1, true, 3},
    };
    const int before = ThreadBudget::InUse();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.count << " by " << c.grain << ", " << c.workers << " workers");
        std::vector<std::vector<std::atomic<int>>> seen;
        for (int w = 0; w < c.workers; ++w) seen.emplace_back(std::size_t(c.count));
        std::atomic<int> running{0}, peak{0};
        auto loop = [&](int w) {
            ForChunks(c.count, c.grain, c.split, [&](std::int64_t begin, std::int64_t end) {
                const int now = ++running;
                for (int p = peak; now > p && !peak.compare_exchange_weak(p, now);) {
                }
                EXPECT_LT(begin, end);
                EXPECT_LE(end - begin, std::max<std::int64_t>(c.grain, 1));
                for (std::int64_t i = begin; i < end; ++i) ++seen[std::size_t(w)][std::size_t(i)];
                std::this_thread::yield();
                --running;
            });
        };
        {
            // As the batch renderer does: the caller is one of the workers.
            const ThreadBudget::Workers workers(c.workers - 1);
            std::vector<std::thread> threads;
            for (int w = 1; w < c.workers; ++w) threads.emplace_back(loop, w);
            loop(0);
            for (std::thread& t : threads) t.join();
        }
        for (const auto& items : seen)
            for (const auto& n : items) ASSERT_EQ(n, 1);
        EXPECT_LE(peak, std::max(cores, c.workers));
        if (!c.split) {
            EXPECT_LE(peak, 1);
        }
        AwaitBudget(before);
    }
}

}  // namespace
}  // namespace lumivane
