// IFF ILBM, 24-bit "deep": each row is 24 bitplanes (red bits 0-7, green 0-7, blue 0-7), each
// plane line ByteRun1 compressed. The chunk sizes are filled in once the body is written.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/imagelib/codecs/run_length.h"
#include "platform/imagelib/codecs/writers.h"

namespace lumivane {

namespace {

constexpr int kMaxSide = 65535;
constexpr int kPlanes = 24;

// ByteRun1: n = 0..127 copies the next n + 1 bytes, n = -1..-127 repeats the next byte 1 - n
// times. Runs of three or more are worth a repeat.
void PackLine(const std::uint8_t* line, int size, std::vector<std::uint8_t>& code) {
    SplitRuns(
        size, 3, 128, [&](int a, int b) { return line[a] == line[b]; },
        [&](int first, int count) {
            code.push_back(std::uint8_t(1 - count));
            code.push_back(line[first]);
        },
        [&](int first, int count) {
            code.push_back(std::uint8_t(count - 1));
            code.insert(code.end(), line + first, line + first + count);
        });
}

// Turns 8 bytes (the first in the top byte) into 8 bytes whose byte b (counted from the low end)
// holds bit b of each, the first byte's bit in bit 7: an 8 x 8 bit matrix transposed.
std::uint64_t TransposeBits(std::uint64_t x) {
    std::uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
    x ^= t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
    x ^= t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
    return x ^ t ^ (t << 28);
}

// Splits one row into its 24 plane lines of `lineBytes` bytes each, eight pixels at a time.
void SplitPlanes(const std::uint8_t* row, int width, int lineBytes, std::uint8_t* planes) {
    std::memset(planes, 0, std::size_t(lineBytes) * kPlanes);
    for (int x0 = 0; x0 < width; x0 += 8) {
        const int n = std::min(8, width - x0);
        for (int c = 0; c < 3; ++c) {
            const int offset = 2 - c;  // red, green, blue from blue-green-red-x
            std::uint64_t bytes = 0;
            for (int k = 0; k < n; ++k)
                bytes |= std::uint64_t(row[4 * (x0 + k) + offset]) << (56 - 8 * k);
            const std::uint64_t bits = TransposeBits(bytes);
            for (int b = 0; b < 8; ++b)
                planes[(c * 8 + b) * lineBytes + x0 / 8] = std::uint8_t(bits >> (8 * b));
        }
    }
}

}  // namespace

EncodeResult WriteIlbm(const Bgrx32View& picture, OutputFile& out) {
    if (picture.width > kMaxSide || picture.height > kMaxSide) return EncodeResult::kTooLarge;
    const int lineBytes = (picture.width + 15) / 16 * 2;  // plane lines are whole 16-bit words
    const std::uint64_t start = out.Position();
    out.Write("FORM", 4);
    out.U32be(0);  // filled in below
    out.Write("ILBM", 4);
    out.Write("BMHD", 4);
    out.U32be(20);
    out.U16be(std::uint16_t(picture.width));
    out.U16be(std::uint16_t(picture.height));
    out.U32be(0);  // position x, y
    out.Byte(kPlanes);
    out.Byte(0);  // no mask
    out.Byte(1);  // ByteRun1
    out.Byte(0);
    out.U16be(0);  // transparent colour
    out.Byte(1);   // pixel aspect 1:1
    out.Byte(1);
    out.U16be(std::uint16_t(picture.width));  // page size
    out.U16be(std::uint16_t(picture.height));
    out.Write("BODY", 4);
    const std::uint64_t bodySizeAt = out.Position();
    out.U32be(0);

    std::vector<std::uint8_t> planes(std::size_t(lineBytes) * kPlanes);
    std::vector<std::uint8_t> code;
    std::uint64_t bodySize = 0;
    for (int y = 0; y < picture.height && !out.Failed(); ++y) {
        SplitPlanes(picture.Row(y), picture.width, lineBytes, planes.data());
        code.clear();
        for (int plane = 0; plane < kPlanes; ++plane)
            PackLine(planes.data() + plane * lineBytes, lineBytes, code);
        out.Write(code.data(), code.size());
        bodySize += code.size();
    }
    if (bodySize & 1) out.Byte(0);  // chunks are padded to an even length
    const std::uint64_t formSize = out.Position() - start - 8;
    if (formSize > UINT32_MAX) return EncodeResult::kTooLarge;
    const std::uint64_t end = out.Position();
    out.Seek(start + 4);
    out.U32be(std::uint32_t(formSize));
    out.Seek(bodySizeAt);
    out.U32be(std::uint32_t(bodySize));
    out.Seek(end);
    return EncodeResult::kOk;
}

}  // namespace lumivane
