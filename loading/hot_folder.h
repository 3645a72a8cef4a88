// A hot folder: hands out the photos that appear in one folder once they are complete, for
// lumivane-render --watch. Linux inotify directly, so no event loop is needed.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace lumivane {

// True for a name the program can read by its extension, leaving out hidden and temporary
// files (".foto.jpg", "foto.jpg~", "foto.jpg.part").
bool IsPictureName(const std::string& name);

// A photo is complete when it was moved into the folder (a rename is whole at once), or when it
// has been neither written, closed, nor changed in size or time for the settling time. The
// settling time also covers writers that close a file and open it again to add the rest, and
// writers that keep it open. A photo is handed out once; when it changes later it is handed out
// again, and not before. Subfolders are not watched.
class HotFolder {
  public:
    using Clock = std::chrono::steady_clock;

    explicit HotFolder(const std::filesystem::path& folder,
                       Clock::duration settle = std::chrono::seconds(1));
    ~HotFolder();
    HotFolder(const HotFolder&) = delete;
    HotFolder& operator=(const HotFolder&) = delete;

    // Empty while the folder is watched; else why not, in German.
    const std::string& Error() const { return error_; }

    // The photos in the folder when watching began that are complete, by name; the rest are
    // handed out by Wait once they are.
    std::vector<std::filesystem::path> Present();

    // Waits until photos are complete, or until `wake` (a descriptor, -1 for none) is readable,
    // or the folder is gone (Error() says so). Returns the complete photos by name, perhaps none.
    std::vector<std::filesystem::path> Wait(int wake);

  private:
    // What changes when a file is written or replaced.
    struct Signature {
        ino_t inode = 0;
        std::uintmax_t size = 0;
        std::int64_t modifiedNs = 0, changedNs = 0;
        bool operator==(const Signature&) const = default;
    };
    struct Pending {
        Signature seen;
        Clock::time_point quietSince;
        bool movedIn = false;
    };

    std::vector<std::string> PictureNames() const;
    bool Stat(const std::string& name, Signature& into) const;
    void Note(const std::string& name, bool movedIn);
    void ReadEvents();
    void Rescan();
    std::vector<std::filesystem::path> TakeComplete();

    std::filesystem::path folder_;
    Clock::duration settle_;
    int inotify_ = -1;
    int watch_ = -1;
    std::string error_;
    std::map<std::string, Pending> pending_;
    std::map<std::string, Signature> handedOut_;
};

}  // namespace lumivane
