// IFF ILBM, 24-bit "deep": each row is 24 bitplanes (red bits 0-7, green 0-7, blue 0-7), each
// plane line ByteRun1 compressed. The chunk sizes are filled in once the body is written.
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

// Splits one row into its 24 plane lines of `lineBytes` bytes each.
void SplitPlanes(const std::uint8_t* row, int width, int lineBytes, std::uint8_t* planes) {
    std::memset(planes, 0, std::size_t(lineBytes) * kPlanes);
    for (int x = 0; x < width; ++x) {
        const std::uint8_t* p = row + 4 * x;
        const std::uint8_t rgb[3] = {p[2], p[1], p[0]};
        const std::uint8_t mask = std::uint8_t(0x80 >> (x & 7));
        const int at = x >> 3;
        for (int c = 0; c < 3; ++c) {
            for (int b = 0; b < 8; ++b)
                if (rgb[c] >> b & 1) planes[(c * 8 + b) * lineBytes + at] |= mask;
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
