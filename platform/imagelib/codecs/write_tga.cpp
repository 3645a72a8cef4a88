// Targa: 24-bit true colour, run-length encoded (type 10), rows stored from the bottom.
// Packets never cross a row, as current readers expect.
#include <cstring>
#include <vector>

#include "platform/imagelib/codecs/writers.h"

namespace lumivane {

namespace {

constexpr int kMaxSide = 65535;
constexpr int kMaxPacket = 128;

bool SamePixel(const std::uint8_t* a, const std::uint8_t* b) {
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

void EncodeRow(const std::uint8_t* row, int width, std::vector<std::uint8_t>& code) {
    auto pixel = [&](int x) { return row + 4 * x; };
    auto put = [&](int x) {
        const std::uint8_t* p = pixel(x);
        code.insert(code.end(), p, p + 3);
    };
    int x = 0;
    while (x < width) {
        int run = 1;
        while (x + run < width && run < kMaxPacket && SamePixel(pixel(x + run), pixel(x))) ++run;
        if (run >= 2) {
            code.push_back(std::uint8_t(0x80 | (run - 1)));
            put(x);
            x += run;
            continue;
        }
        // A raw packet up to the next pair of equal pixels.
        int end = x + 1;
        while (end < width && end - x < kMaxPacket &&
               !(end + 1 < width && SamePixel(pixel(end), pixel(end + 1))))
            ++end;
        code.push_back(std::uint8_t(end - x - 1));
        for (; x < end; ++x) put(x);
    }
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
                                     0,  // colour map specification
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
