// OpenDib: reads the file into memory and hands it to the reader that recognises its content.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <vector>

#include "platform/imagelib/codecs/decoder.h"
#include "platform/imagelib/codecs/heif.h"
#include "platform/imagelib/imagelib.h"
#include "platform/imagelib/open_photo.h"

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

// The whole file, or nothing for anything but a readable regular file of sane size.
std::optional<std::vector<std::uint8_t>> ReadRegularFile(const char* path) {
    // O_NONBLOCK keeps open() from waiting for a writer when the path names a FIFO.
    FileDescriptor file(::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.get() < 0) return std::nullopt;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    if (info.st_size <= 0 || std::uint64_t(info.st_size) > kMaxFileSize) return std::nullopt;

    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(std::size_t(info.st_size));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(file.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;  // the file shrank meanwhile: decode what is there
        done += std::size_t(n);
    }
    bytes.resize(done);
    return bytes;
}

}  // namespace

dib lumivane::DecodeImage(Bytes file) {
    try {
        for (const Decoder& decoder : Decoders()) {
            if (decoder.matches(file)) return decoder.decode(file);
        }
    } catch (...) {
        // Out of memory inside a reader: the file simply cannot be opened.
    }
    return dib{};
}

dib lumivane::OpenPhoto(const char* filename, PhotoMetadata* metadata) {
    if (!filename || !*filename) return dib{};
    try {
        const auto bytes = ReadRegularFile(filename);
        if (!bytes || bytes->empty()) return dib{};
        const Bytes file(bytes->data(), bytes->size());
        if (kHeifDecoder.matches(file)) {
            HeifPicture heif = ReadHeif(file);
            if (heif.image.poi && metadata) {
                try {
                    *metadata = PhotoMetadataFromBlocks(heif.exif, heif.xmp);
                } catch (...) {
                    *metadata = {};
                }
            }
            return heif.image;
        }
        dib image = DecodeImage(file);
        if (image.poi && metadata) {
            try {
                *metadata = ReadPhotoMetadata(file);
            } catch (...) {
                *metadata = {};  // the picture without its metadata
            }
        }
        return image;
    } catch (...) {
        return dib{};  // no memory to hold the file
    }
}

dib OpenDib(const char* filename, int /*flags*/, HWND /*window*/) {
    if (!filename || !*filename) return dib{};
    try {
        const auto bytes = ReadRegularFile(filename);
        if (!bytes || bytes->empty()) return dib{};
        return lumivane::DecodeImage(lumivane::Bytes(bytes->data(), bytes->size()));
    } catch (...) {
        return dib{};  // no memory to hold the file
    }
}
