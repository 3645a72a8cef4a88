#include "loading/hot_folder.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <system_error>

#include "loading/photo_folder.h"

namespace lumivane {

namespace {

std::int64_t Nanoseconds(const timespec& t) {
    return std::int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

constexpr std::uint32_t kFolderGone = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT;

}  // namespace

bool IsPictureName(const std::string& name) {
    if (name.empty() || name[0] == '.' || name.back() == '~') return false;
    return HasPhotoExtension(name);
}

HotFolder::HotFolder(const std::filesystem::path& folder, Clock::duration settle)
    : folder_(folder), settle_(settle) {
    inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotify_ >= 0) {
        // Our own reading of a photo opens and closes it without writing: not watched.
        constexpr std::uint32_t kMask = IN_CREATE | IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE |
                                        IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_DELETE_SELF |
                                        IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;
        watch_ = inotify_add_watch(inotify_, folder_.c_str(), kMask);
    }
    if (watch_ < 0) {
        const int why = errno;
        if (why == ENOENT || why == ENOTDIR)
            error_ = "Der Ordner fehlt.";
        else if (why == EACCES)
            error_ = "Der Ordner ist nicht lesbar.";
        else if (why == ENOSPC || why == EMFILE)  // the system's limits for inotify
            error_ = "Der Ordner kann nicht überwacht werden (zu viele überwachte Ordner).";
        else
            error_ = "Der Ordner kann nicht überwacht werden.";
    }
}

HotFolder::~HotFolder() {
    if (inotify_ >= 0) close(inotify_);
}

bool HotFolder::Stat(const std::string& name, Signature& into) const {
    struct stat st {};
    if (stat((folder_ / name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    into = {st.st_ino, std::uintmax_t(st.st_size), Nanoseconds(st.st_mtim),
            Nanoseconds(st.st_ctim)};
    return true;
}

void HotFolder::Note(const std::string& name, bool movedIn) {
    Pending& p = pending_[name];
    Stat(name, p.seen);
    p.quietSince = Clock::now();
    // Written again after it was moved in: complete only once it settles.
    p.movedIn = movedIn;
}

std::vector<std::filesystem::path> HotFolder::Present() {
    std::vector<std::filesystem::path> present;
    if (!error_.empty()) return present;
    const auto now = std::chrono::system_clock::now();
    for (const std::string& name : PictureNames()) {
        Signature s;
        if (!Stat(name, s)) continue;
        const std::chrono::system_clock::time_point modified{
            std::chrono::duration_cast<std::chrono::system_clock::duration>(
                std::chrono::nanoseconds(s.modifiedNs))};
        // A photo changed just now may still be being copied.
        if (now - modified < settle_) {
            Note(name, false);
            continue;
        }
        handedOut_[name] = s;
        present.emplace_back(name);
    }
    std::sort(present.begin(), present.end());
    return present;
}

// A folder that cannot be listed (or stops being listable) gives what was listed so far; the
// watch reports a folder that went away.
std::vector<std::string> HotFolder::PictureNames() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder_, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (IsPictureName(name)) names.push_back(std::move(name));
    }
    return names;
}

void HotFolder::Rescan() {
    for (const std::string& name : PictureNames()) {
        Signature s;
        if (!Stat(name, s)) continue;
        const auto known = handedOut_.find(name);
        if (known == handedOut_.end() || !(known->second == s)) Note(name, false);
    }
}

void HotFolder::ReadEvents() {
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t got = read(inotify_, buffer, sizeof buffer);
        if (got <= 0) {
            if (got < 0 && errno == EINTR) continue;
            return;  // EAGAIN: all read
        }
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                Rescan();  // events were lost: look at every photo once more
                continue;
            }
            if (event->mask & kFolderGone) {
                error_ = "Der überwachte Ordner wurde entfernt oder verschoben.";
                continue;
            }
            if (event->len == 0) continue;
            const std::string name(event->name);
            if (!IsPictureName(name)) continue;
            if (event->mask & (IN_DELETE | IN_MOVED_FROM)) {
                pending_.erase(name);
                handedOut_.erase(name);
            } else {
                Note(name, (event->mask & IN_MOVED_TO) != 0);
            }
        }
    }
}

std::vector<std::filesystem::path> HotFolder::TakeComplete() {
    std::vector<std::filesystem::path> complete;
    const auto now = Clock::now();
    for (auto it = pending_.begin(); it != pending_.end();) {
        Pending& p = it->second;
        Signature s;
        if (!Stat(it->first, s)) {  // gone, or not a plain file
            it = pending_.erase(it);
            continue;
        }
        if (!(s == p.seen)) {  // changed without telling us (a network share): wait again
            p.seen = s;
            p.quietSince = now;
            p.movedIn = false;
        }
        if (!p.movedIn && now - p.quietSince < settle_) {
            ++it;
            continue;
        }
        const auto known = handedOut_.find(it->first);
        if (known == handedOut_.end() || !(known->second == s)) {
            handedOut_[it->first] = s;
            complete.emplace_back(it->first);
        }
        it = pending_.erase(it);
    }
    return complete;
}

std::vector<std::filesystem::path> HotFolder::Wait(int wake) {
    for (;;) {
        if (!error_.empty()) return {};
        std::vector<std::filesystem::path> complete = TakeComplete();
        if (!complete.empty()) return complete;

        // Sleep until an event, the wake descriptor, or the first pending photo may settle.
        int timeout = -1;
        if (!pending_.empty()) {
            auto first = Clock::time_point::max();
            for (const auto& [name, p] : pending_) first = std::min(first, p.quietSince + settle_);
            const auto ms = std::chrono::ceil<std::chrono::milliseconds>(first - Clock::now());
            timeout = int(std::clamp<std::int64_t>(ms.count(), 0, INT_MAX));
        }
        pollfd fds[2] = {{inotify_, POLLIN, 0}, {wake, POLLIN, 0}};
        const int ready = poll(fds, wake >= 0 ? 2 : 1, timeout);
        if (ready < 0 && errno != EINTR) {
            error_ = "Der Ordner kann nicht überwacht werden.";
            return {};
        }
        if (ready > 0 && (fds[0].revents & POLLIN)) ReadEvents();
        if (wake >= 0 && fds[1].revents != 0) return TakeComplete();
        if (ready < 0) return {};  // a signal: let the caller look at why
    }
}

}  // namespace lumivane
