// libFuzzer entry for the photo's metadata: Exiv2 reading EXIF, XMP and IPTC from a whole file
// and from a HEIF file's bare blocks, and writing what it found into a small JPEG, as the saver
// does. A damaged block must be dropped, never crash or hang.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "platform/imagelib/photo_metadata.h"
#include "platform/imagelib/save_image.h"

namespace {

// The picture the metadata is written into: 8 x 8, from our own JPEG writer.
const std::vector<std::uint8_t>& SmallJpeg() {
    static const std::vector<std::uint8_t> jpeg = [] {
        const std::string path =
            "/tmp/lumivane-fuzz-metadata-" + std::to_string(::getpid()) + ".jpg";
        std::vector<std::uint8_t> pixels(8 * 8 * 4, 0x80);
        lumivane::SaveImage(path, {8, 8, 32, pixels.data()});
        std::vector<std::uint8_t> bytes;
        if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
            for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(std::uint8_t(c));
            std::fclose(f);
        }
        std::remove(path.c_str());
        return bytes;
    }();
    return jpeg;
}

void WriteInto(const lumivane::PhotoMetadata& metadata) {
    if (metadata.Empty()) return;
    const std::vector<std::uint8_t>& jpeg = SmallJpeg();
    const int fd = ::memfd_create("fuzz", 0);
    if (fd < 0) return;
    if (::write(fd, jpeg.data(), jpeg.size()) == ssize_t(jpeg.size()))
        (void)lumivane::WritePhotoMetadata(fd, jpeg.size(), metadata, 8, 8);
    ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    WriteInto(lumivane::ReadPhotoMetadata(input));
    WriteInto(lumivane::PhotoMetadataFromBlocks(
        input, std::string_view(reinterpret_cast<const char*>(data), size)));
    return 0;
}
