// Targa: 24-bit true colour, run-length encoded (type 10), rows stored from the bottom.
// Packets never cross a row, as current readers expect.
#include <cstring>
#include <vector>

#include "platform/imagelib/codecs/run_length.h"
#include "platform/imagelib/codecs/writers.h"

namespace lumivane {

namespace {

constexpr int kMaxSide = 65535;
constexpr int kMaxPacket = 128;

bool SamePixel(const std::uint8_t* a, const std::uint8_t* b) {
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

void EncodeRow(const std::uint8_t* row, int width, std::vector<std::uint8_t>& code) {
    auto put = [&](int x) { code.insert(code.end(), row + 4 * x, row + 4 * x + 3); };
    SplitRuns(
        width, 2, kMaxPacket, [&](int a, int b) { return SamePixel(row + 4 * a, row + 4 * b); },
        [&](int first, int count) {
            code.push_back(std::uint8_t(0x80 | (count - 1)));
            put(first);
        },
        [&](int first, int count) {
            code.push_back(std::uint8_t(count - 1));
            for (int x = first; x < first + count; ++x) put(x);
        });
}

}  // namespace

EncodeResult WriteTga(const Bgrx32View& picture, OutputFile& out) {
    if (picture.width > kMaxSide || picture.height > kMaxSide) return EncodeResult::kTooLarge;
    const std::uint8_t header[18] = {0,   // no image id
                                     0,   // no colour map
                                     10,  // run-length encoded true colour
                                     0,
                                     0,
                                     0,
                                     0,
                                     0,  // colour map: first entry, length, entry size
                                     0,
                                     0,
                                     0,
                                     0,  // origin
                                     std::uint8_t(picture.width),
                                     std::uint8_t(picture.width >> 8),
                                     std::uint8_t(picture.height),
                                     std::uint8_t(picture.height >> 8),
                                     24,  // bits per pixel
                                     0};  // bottom-left origin, no alpha bits
    out.Write(header, sizeof header);
    std::vector<std::uint8_t> code;
    for (int y = picture.height - 1; y >= 0 && !out.Failed(); --y) {
        code.clear();
        EncodeRow(picture.Row(y), picture.width, code);
        out.Write(code.data(), code.size());
    }
    // Version 2 footer (no extension or developer area), so readers can tell the format.
    out.U32le(0);
    out.U32le(0);
    out.Write("TRUEVISION-XFILE.", 18);  // with its terminating zero
    return EncodeResult::kOk;
}

}  // namespace lumivane
