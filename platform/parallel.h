// Splitting a pixel loop between the calling thread and one helper.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <system_error>
#include <thread>

namespace lumivane {

// Calls work(begin, end) for consecutive chunks of `grain` items that together cover
// [0, count), each chunk exactly once, and returns when all are done. With `split` set and a
// second core, a helper thread takes part. Chunks are handed out as the threads become free rather
// than in two fixed halves: when another program holds one core, the other thread simply does
// more of the work instead of waiting for the slowed half. The chunks must be independent.
template <class Work>
void ForChunks(std::int64_t count, std::int64_t grain, bool split, Work work) {
    if (count <= 0) return;
    grain = std::max<std::int64_t>(grain, 1);
    std::atomic<std::int64_t> next{0};
    auto drain = [&] {
        for (;;) {
            const std::int64_t begin = next.fetch_add(grain, std::memory_order_relaxed);
            if (begin >= count) return;
            work(begin, std::min(count, begin + grain));
        }
    };
    std::thread helper;
    if (split && count > grain && std::thread::hardware_concurrency() > 1) {
        try {
            helper = std::thread(drain);
        } catch (const std::system_error&) {
            // No thread to be had: this thread does every chunk.
        }
    }
    drain();
    if (helper.joinable()) helper.join();
}

}  // namespace lumivane
