// OpenDib: reads the file into memory and hands it to the reader that recognises its content.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <vector>

#include "platform/imagelib/codecs/decode_util.h"
#include "platform/imagelib/colour_profile.h"
#include "platform/imagelib/imagelib.h"
#include "platform/imagelib/library_messages.h"
#include "platform/imagelib/orientation.h"
#include "platform/imagelib/photo_metadata.h"

namespace {

// No readable image of the allowed size needs more: 4 bytes per pixel plus headers.
constexpr std::uint64_t kMaxFileSize =
    std::uint64_t(kMaxImagePixels) * 4 + (std::uint64_t(1) << 24);

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// The whole file, or the reason there is none: anything but a readable regular file of sane
// size is refused.
std::vector<std::uint8_t> ReadRegularFile(const char* path, lumivane::ReadFailure& why) {
    using lumivane::ReadFailure;
    why = ReadFailure::NotReadable;
    // O_NONBLOCK keeps open() from waiting for a writer when the path names a FIFO.
    FileDescriptor file(::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.get() < 0) return {};
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
    if (info.st_size <= 0) {
        why = ReadFailure::Damaged;
        return {};
    }
    if (std::uint64_t(info.st_size) > kMaxFileSize) {
        why = ReadFailure::TooLarge;
        return {};
    }

    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(std::size_t(info.st_size));
    } catch (const std::bad_alloc&) {
        why = ReadFailure::OutOfMemory;
        return {};
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(file.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return {};
        if (n == 0) break;  // the file shrank meanwhile: decode what is there
        done += std::size_t(n);
    }
    bytes.resize(done);
    why = done == 0 ? ReadFailure::Damaged : ReadFailure::None;
    return bytes;
}

// Converts to sRGB and turns upright, as the options allow. Pictures without a profile or
// orientation pass untouched.
void ShowAsSeen(lumivane::ReadResult& result, const lumivane::ReadOptions& options) {
    using namespace lumivane;
    if (options.applyProfile && result.profile == ProfileUse::NotNeeded &&
        !result.facts.iccProfile.empty())
        result.profile = ConvertToSrgb(result.image.get(), result.facts.iccProfile);
    if (options.applyOrientation && result.facts.orientation != 1) {
        const dib upright = OrientedDib(result.image.get(), result.facts.orientation);
        if (!upright.poi) throw std::bad_alloc();
        result.image.reset(upright);
        if (result.alpha) {
            const dib alpha = OrientedDib(result.alpha.get(), result.facts.orientation);
            if (!alpha.poi) throw std::bad_alloc();
            result.alpha.reset(alpha);
        }
    }
}

}  // namespace

lumivane::ReadResult lumivane::ReadImage(Bytes file, const ReadOptions& options) {
    try {
        RouteLibraryMessages();
        for (const Decoder& decoder : Decoders()) {
            if (!decoder.matches(file)) continue;
            ReadResult result = decoder.decode(file, options);
            if (!result.image) {
                if (result.failure == ReadFailure::None) result.failure = ReadFailure::Damaged;
                return result;
            }
            ShowAsSeen(result, options);
            if (options.readMetadata && result.facts.metadata.Empty())
                result.facts.metadata = ReadPhotoMetadata(file);
            return result;
        }
    } catch (const std::bad_alloc&) {
        return Refused(ReadFailure::OutOfMemory);
    } catch (...) {
        return Refused(ReadFailure::Damaged);
    }
    return Refused(ReadFailure::UnknownFormat);
}

lumivane::ReadResult lumivane::ReadImageFile(const char* filename, const ReadOptions& options) {
    if (!filename || !*filename) return Refused(ReadFailure::NotReadable);
    try {
        ReadFailure why = ReadFailure::None;
        const std::vector<std::uint8_t> bytes = ReadRegularFile(filename, why);
        if (why != ReadFailure::None) return Refused(why);
        return ReadImage(Bytes(bytes.data(), bytes.size()), options);
    } catch (const std::bad_alloc&) {
        return Refused(ReadFailure::OutOfMemory);
    }
}

dib lumivane::DecodeImage(Bytes file) {
    return ReadImage(file).image.release();
}

dib OpenDib(const char* filename, int /*flags*/, HWND /*window*/) {
    return lumivane::ReadImageFile(filename).image.release();
}
