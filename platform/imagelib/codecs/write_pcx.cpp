// PCX version 5: 24-bit colour as three 8-bit planes (red, green, blue) per row, RLE encoded.
// Each plane's line is encoded on its own so that no run crosses a plane.
#include <vector>

#include "platform/imagelib/codecs/writers.h"

namespace lumivane {

namespace {

constexpr int kMaxRun = 63;

void EncodePlaneLine(const std::uint8_t* line, int size, std::vector<std::uint8_t>& code) {
    int i = 0;
    while (i < size) {
        int run = 1;
        while (i + run < size && run < kMaxRun && line[i + run] == line[i]) ++run;
        // Values with both top bits set look like a count, so they always go as a run.
        if (run > 1 || line[i] >= 0xC0) code.push_back(std::uint8_t(0xC0 | run));
        code.push_back(line[i]);
        i += run;
    }
}

}  // namespace

EncodeResult WritePcx(const Bgrx32View& picture, OutputFile& out) {
    // Lines hold an even number of bytes, counted in 16 bits.
    const int lineBytes = (picture.width + 1) & ~1;
    if (lineBytes > 65535 || picture.height > 65536) return EncodeResult::kTooLarge;
    std::uint8_t header[128] = {};
    header[0] = 0x0A;  // manufacturer
    header[1] = 5;     // version 3.0 with palette information
    header[2] = 1;     // RLE
    header[3] = 8;     // bits per pixel and plane
    auto put16 = [&](int at, int v) {
        header[at] = std::uint8_t(v);
        header[at + 1] = std::uint8_t(v >> 8);
    };
    put16(8, picture.width - 1);  // xmax (xmin, ymin are 0)
    put16(10, picture.height - 1);
    const int dpi = picture.dpi > 0 ? picture.dpi : 72;
    put16(12, dpi);
    put16(14, dpi);
    header[65] = 3;  // planes
    put16(66, lineBytes);
    put16(68, 1);  // colour palette interpretation
    out.Write(header, sizeof header);

    std::vector<std::uint8_t> planes(std::size_t(lineBytes) * 3, 0);
    std::vector<std::uint8_t> code;
    for (int y = 0; y < picture.height && !out.Failed(); ++y) {
        const std::uint8_t* p = picture.Row(y);
        std::uint8_t* red = planes.data();
        std::uint8_t* green = red + lineBytes;
        std::uint8_t* blue = green + lineBytes;
        for (int x = 0; x < picture.width; ++x, p += 4) {
            red[x] = p[2];
            green[x] = p[1];
            blue[x] = p[0];
        }
        code.clear();
        for (int plane = 0; plane < 3; ++plane)
            EncodePlaneLine(planes.data() + plane * lineBytes, lineBytes, code);
        out.Write(code.data(), code.size());
    }
    return EncodeResult::kOk;
}

}  // namespace lumivane
