// libFuzzer entry for the photo's metadata: Exiv2 reading EXIF, XMP and IPTC from a whole file
// and from a HEIF file's bare blocks, writing what it found into a small JPEG, as the saver
// does, and filling caption patterns from it. A damaged block must be dropped, never crash or
// hang, and a caption must stay valid text of bounded length.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "loading/caption_fields.h"
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

std::string WithoutSpaces(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    return text;
}

// Every named field, dates with formats and Exiv2 keys, in and out of optional parts.
void FillCaptions(const lumivane::PhotoMetadata& metadata) {
    static const std::string patterns[] = {
        [] {
            std::string all;
            for (const std::string& name : lumivane::CaptionFieldNames())
                all += "[{" + name + "} · ]";
            return all;
        }(),
        "{Datum:%A, %e. %B %Y %H:%M:%S %j %a %b %y %m %d %%} {Uhrzeit:%H.%M}",
        "{Exif.Photo.WhiteBalance} {Xmp.dc.subject} [{Iptc.Application2.City}] "
        "{Exif.Photo.MakerNote} {Exif.Image.Make}",
    };
    const lumivane::CaptionFacts facts = lumivane::CaptionFacts::Of(metadata, "dir/foto.jpg");
    for (const std::string& pattern : patterns) {
        if (!lumivane::CheckCaptionPattern(pattern).empty()) std::abort();
        const std::string line = lumivane::FillCaptionPattern(pattern, facts);
        // Each field is cut at 1000 characters of at most four bytes.
        if (line.size() > pattern.size() + 40 * 4000) std::abort();
        // Valid UTF-8 without control characters or direction overrides: cleaning changes
        // nothing but the pattern's own runs of spaces.
        if (WithoutSpaces(lumivane::CleanCaptionText(line, line.size())) != WithoutSpaces(line))
            std::abort();
    }
    for (const auto& [name, value] : lumivane::CaptionFieldValues(facts))
        if (value.size() > 4000 || lumivane::CleanCaptionText(value) != value) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    const lumivane::PhotoMetadata whole = lumivane::ReadPhotoMetadata(input);
    WriteInto(whole);
    FillCaptions(whole);
    const lumivane::PhotoMetadata blocks = lumivane::PhotoMetadataFromBlocks(
        input, std::string_view(reinterpret_cast<const char*>(data), size));
    WriteInto(blocks);
    FillCaptions(blocks);
    return 0;
}
