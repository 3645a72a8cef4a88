#include "tools/render/watch_folder.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <system_error>
#include <vector>

#include "loading/hot_folder.h"

namespace lumivane {

namespace {

namespace fs = std::filesystem;

std::atomic<bool> stopRequested{false};
int wakeWriteEnd = -1;

// Only marks the stop and wakes the waiting loop: all work happens there.
extern "C" void OnStopSignal(int) {
    const int saved = errno;
    stopRequested.store(true);
    [[maybe_unused]] const ssize_t n = write(wakeWriteEnd, "s", 1);
    errno = saved;
}

// SIGINT and SIGTERM set stopRequested and make `WakeFd()` readable while this lives.
class StopSignals {
  public:
    StopSignals() {
        stopRequested = false;
        if (pipe2(pipe_, O_NONBLOCK | O_CLOEXEC) != 0) pipe_[0] = pipe_[1] = -1;
        wakeWriteEnd = pipe_[1];
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &oldInt_);
        sigaction(SIGTERM, &action, &oldTerm_);
    }
    ~StopSignals() {
        sigaction(SIGINT, &oldInt_, nullptr);
        sigaction(SIGTERM, &oldTerm_, nullptr);
        wakeWriteEnd = -1;
        for (int fd : pipe_)
            if (fd >= 0) close(fd);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    int WakeFd() const { return pipe_[0]; }

  private:
    int pipe_[2] = {-1, -1};
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};

}  // namespace

bool SameFolder(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    if (fs::equivalent(a, b, ec)) return true;
    const fs::path x = fs::weakly_canonical(fs::absolute(a, ec), ec);
    const fs::path y = fs::weakly_canonical(fs::absolute(b, ec), ec);
    return !x.empty() && (x / "").lexically_normal() == (y / "").lexically_normal();
}

int WatchFolder(const fs::path& folder, const std::string& extension, BatchSettings settings,
                const BatchCallbacks& callbacks) {
    auto say = [&](const std::string& message) {
        if (callbacks.message) callbacks.message(folder.string(), message);
    };
    StopSignals signals;
    // Watching starts before the folder is listed, so that no photo slips in between.
    HotFolder hot(folder);
    if (!hot.Error().empty()) {
        say(hot.Error());
        return 1;
    }

    // Every photo keeps the result name it got when first seen, so that two photos of the same
    // name but different formats never overwrite each other's results.
    std::vector<std::string> seen;
    auto frame = [&](const std::vector<fs::path>& names) {
        std::vector<std::string> motifs;
        for (const fs::path& name : names) {
            const std::string motif = (folder / name).string();
            if (std::find(seen.begin(), seen.end(), motif) == seen.end()) seen.push_back(motif);
            motifs.push_back(motif);
        }
        const std::vector<fs::path> targets = BatchTargets(seen, settings.outputFolder, extension);
        std::vector<BatchItem> items;
        for (const std::string& motif : motifs) {
            const auto at = std::find(seen.begin(), seen.end(), motif) - seen.begin();
            items.push_back({motif, targets[std::size_t(at)]});
        }
        return RunBatch(settings, items, callbacks, &stopRequested);
    };

    // The photos already there, as a resumed batch; with none this still checks the background
    // and makes the output folder, so that a mistake shows at once.
    settings.skipExisting = true;
    if (frame(hot.Present()) == BatchEnd::Stopped) return 1;
    // From now on a photo that comes again has changed: its result is replaced.
    settings.skipExisting = false;

    while (!stopRequested) {
        const std::vector<fs::path> complete = hot.Wait(signals.WakeFd());
        if (!hot.Error().empty()) {
            say(hot.Error());
            return 1;
        }
        if (stopRequested) break;
        if (!complete.empty() && frame(complete) == BatchEnd::Stopped) return 1;
    }
    return 0;
}

}  // namespace lumivane
