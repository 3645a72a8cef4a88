// Splitting a pixel loop between the calling thread and one helper.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
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
    // Who may still take chunks. The helper can start late, when another program holds the
    // other core; once the caller has done every chunk it closes the door, and a helper that was
    // not yet inside never touches the work and ends on its own. A helper already inside is
    // waited for, as it may be in the middle of a chunk.
    enum : int { kOpen, kHelperInside, kHelperDone, kClosed };
    struct Shared {
        std::atomic<std::int64_t> next{0};
        std::atomic<int> door{kOpen};
    };
    const auto shared = std::make_shared<Shared>();
    auto drain = [&shared, count, grain, &work] {
        for (;;) {
            const std::int64_t begin = shared->next.fetch_add(grain, std::memory_order_relaxed);
            if (begin >= count) return;
            work(begin, std::min(count, begin + grain));
        }
    };
    bool helping = false;
    if (split && count > grain && std::thread::hardware_concurrency() > 1) {
        try {
            std::thread([shared, drain] {
                int open = kOpen;
                if (!shared->door.compare_exchange_strong(open, kHelperInside)) return;
                drain();
                shared->door.store(kHelperDone);
                shared->door.notify_one();
            }).detach();
            helping = true;
        } catch (const std::system_error&) {
            // No thread to be had: this thread does every chunk.
        }
    }
    drain();
    if (!helping) return;
    int open = kOpen;
    if (shared->door.compare_exchange_strong(open, kClosed)) return;
    shared->door.wait(kHelperInside);
}

}  // namespace lumivane
