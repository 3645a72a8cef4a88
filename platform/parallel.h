// Splitting a pixel loop between the calling thread and helpers, within one budget of threads
// for the whole program.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace lumivane {

// Below these many pixels a loop runs on the calling thread alone: a helper would cost more
// than it saves (bench_blend, bench_draw, bench_compose).
struct SplitThresholds {
    static constexpr std::int64_t kBlend = std::int64_t(1) << 17;
    static constexpr std::int64_t kSmoothBlend = std::int64_t(1) << 17;
    static constexpr std::int64_t kFeatherMask = std::int64_t(1) << 18;
    static constexpr std::int64_t kDrawRows = std::int64_t(1) << 18;
    // One core alone does not saturate the memory only for large fills.
    static constexpr std::int64_t kFill = std::int64_t(1) << 20;
};

// The threads at work, counted against the cores: the main thread, the batch renderer's
// workers and the split loops' helpers together never exceed the core count, so that `-j N`
// workers that each split their loops still run N threads on N cores.
class ThreadBudget {
  public:
    // Asked once: the C library reads it from the system on every call.
    static int Cores() {
        static const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
        return cores;
    }

    // Up to `wanted` more threads, as many as are free; each one taken is given back with Give.
    static int Take(int wanted) {
        int busy = Busy().load(std::memory_order_relaxed);
        for (;;) {
            const int granted = std::min(wanted, Cores() - busy);
            if (granted <= 0) return 0;
            if (Busy().compare_exchange_weak(busy, busy + granted, std::memory_order_relaxed))
                return granted;
        }
    }
    static void Give(int count) { Busy().fetch_sub(count, std::memory_order_relaxed); }

    // Held by a thread that starts `count` workers beside itself, for as long as they run.
    // Workers beyond the cores are the caller's wish and are counted too: they leave no room
    // for helpers.
    class Workers {
      public:
        explicit Workers(int count) : count_(std::max(count, 0)) {
            Busy().fetch_add(count_, std::memory_order_relaxed);
        }
        ~Workers() { Give(count_); }
        Workers(const Workers&) = delete;
        Workers& operator=(const Workers&) = delete;

      private:
        int count_;
    };

    // Held by a counted thread while it only waits (for its workers to finish, say), so that
    // their split loops may use its core meanwhile.
    class Waiting {
      public:
        Waiting() { Give(1); }
        ~Waiting() { Busy().fetch_add(1, std::memory_order_relaxed); }
        Waiting(const Waiting&) = delete;
        Waiting& operator=(const Waiting&) = delete;
    };

    static int InUse() { return Busy().load(std::memory_order_relaxed); }

  private:
    static std::atomic<int>& Busy() {
        static std::atomic<int> busy{1};  // the main thread
        return busy;
    }
};

// Helper threads that stay for the life of the program and take tasks from one queue, so that a
// split loop does not pay for starting a thread (a render of several split loops took 15 to 40 %
// less time in bench_compose than with a thread started per loop). A thread is added only when
// none is idle; the budget keeps their number near the cores.
class HelperPool {
  public:
    static void Post(std::function<void()> task) {
        static HelperPool* pool = new HelperPool;  // never destroyed: its threads outlive main
        pool->Enqueue(std::move(task));
    }

  private:
    // Throws std::system_error, with nothing queued, when a thread is needed and none starts.
    void Enqueue(std::function<void()> task) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (std::size_t(idle_) <= tasks_.size()) {
            // Every idle thread has a task waiting for it already. The new one waits for the lock.
            std::thread([this] { Serve(); }).detach();
        }
        tasks_.push_back(std::move(task));
        ready_.notify_one();
    }
    void Serve() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            ++idle_;
            ready_.wait(lock, [this] { return !tasks_.empty(); });
            --idle_;
            std::function<void()> task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> tasks_;
    int idle_ = 0;
};

// Calls work(begin, end) for consecutive chunks of `grain` items that together cover
// [0, count), each chunk exactly once, and returns when all are done. With `split` set, helper
// threads take part as far as the budget allows. Chunks are handed out as the threads become free
// rather than in fixed shares: when another program holds a core, the other threads simply do
// more of the work instead of waiting for the slowed share. The chunks must be independent.
template <class Work>
void ForChunks(std::int64_t count, std::int64_t grain, bool split, Work work) {
    if (count <= 0) return;
    grain = std::max<std::int64_t>(grain, 1);
    // Who may still take chunks: the helpers inside, counted in the low bits, and whether the
    // caller has closed the door. A helper can start late, when another program holds the cores;
    // once the caller has done every chunk it closes the door, and a helper that was not yet
    // inside never touches the work and ends on its own. Helpers already inside are waited for,
    // as they may be in the middle of a chunk.
    constexpr int kClosed = 1 << 30;
    struct Shared {
        std::atomic<std::int64_t> next{0};
        std::atomic<int> door{0};
    };
    const auto shared = std::make_shared<Shared>();
    Shared* const s = shared.get();
    auto drain = [s, count, grain, &work] {
        for (;;) {
            const std::int64_t begin = s->next.fetch_add(grain, std::memory_order_relaxed);
            if (begin >= count) return;
            work(begin, std::min(count, begin + grain));
        }
    };
    int helpers = 0;
    if (split) {
        const std::int64_t chunks = (count + grain - 1) / grain;
        const int wanted = int(std::min<std::int64_t>(chunks - 1, ThreadBudget::Cores() - 1));
        const int granted = wanted > 0 ? ThreadBudget::Take(wanted) : 0;
        for (; helpers < granted; ++helpers) {
            try {
                auto task = [shared, drain] {
                    int door = shared->door.load();
                    do {
                        if (door & kClosed) {
                            ThreadBudget::Give(1);
                            return;
                        }
                    } while (!shared->door.compare_exchange_weak(door, door + 1));
                    drain();
                    ThreadBudget::Give(1);
                    if (shared->door.fetch_sub(1) - 1 == kClosed) shared->door.notify_one();
                };
                HelperPool::Post(task);
            } catch (const std::system_error&) {
                // No thread to be had: the threads there are do every chunk.
                ThreadBudget::Give(granted - helpers);
                break;
            }
        }
    }
    drain();
    if (helpers == 0) return;
    int door = s->door.fetch_or(kClosed) | kClosed;
    while (door != kClosed) {
        s->door.wait(door);
        door = s->door.load();
    }
}

}  // namespace lumivane
