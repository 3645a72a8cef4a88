// Builds BMP files byte by byte, so each test states exactly the header it is about.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "tests/platform/imagelib/image_files.h"
#include "tests/support/file_builder.h"

namespace imagelib_test {

struct Rgb {
    std::uint8_t r, g, b;
};

struct BmpFile {
    int headerSize = 40;  // 12 (OS/2 core), 16..64 (OS/2 v2), 40, 52, 56, 108, 124
    std::int32_t width = 1;
    std::int32_t height = 1;  // negative: top-down
    int bits = 24;
    std::uint32_t compression = BI_RGB;
    std::vector<Rgb> palette;
    std::vector<std::uint32_t> masks;  // red, green, blue[, alpha]
    ByteVector pixels;                 // exactly as stored in the file
    std::optional<std::uint32_t> colorsUsed, imageSize, fileSize, planes;
    std::int32_t density = 2835;

    ByteVector Build() const {
        lumivane::test::FileBuilder out;
        const bool core = headerSize == 12;
        const bool masksInHeader = headerSize >= 52 && !core;
        const std::size_t paletteBytes = palette.size() * (core ? 3 : 4);
        const std::size_t extraMasks = (!masksInHeader && headerSize == 40) ? masks.size() * 4 : 0;
        const std::uint32_t offset = std::uint32_t(14 + headerSize + extraMasks + paletteBytes);
        const std::uint32_t total = offset + std::uint32_t(pixels.size());

        out.text("BM").u32le(fileSize.value_or(total)).u32le(0).u32le(offset);
        const std::size_t headerStart = out.bytes.size();
        out.u32le(std::uint32_t(headerSize));
        if (core) {
            out.u16le(std::uint32_t(width)).u16le(std::uint32_t(height)).u16le(planes.value_or(1));
            out.u16le(bits);
        } else {
            // Write the full 40-byte layout, then cut it to the header size.
            out.u32le(std::uint32_t(width)).u32le(std::uint32_t(height)).u16le(planes.value_or(1));
            out.u16le(bits).u32le(compression);
            out.u32le(imageSize.value_or(std::uint32_t(pixels.size())));
            out.u32le(std::uint32_t(density)).u32le(std::uint32_t(density));
            out.u32le(colorsUsed.value_or(std::uint32_t(palette.size()))).u32le(0);
            out.bytes.resize(headerStart + std::min(headerSize, 40));
            if (masksInHeader)
                for (std::size_t i = 0; i < 4 && 40 + 4 * i < std::size_t(headerSize); ++i)
                    out.u32le(i < masks.size() ? masks[i] : 0);
            out.bytes.resize(headerStart + headerSize);
            if (!masksInHeader && headerSize == 40)
                for (std::uint32_t m : masks) out.u32le(m);
        }
        for (const Rgb& c : palette) {
            out.u8({c.b, c.g, c.r});
            if (!core) out.u8(0);
        }
        return out.append(pixels).bytes;
    }
};

// Packs rows of palette indices (top row first) as stored BMP rows (bottom row first).
inline ByteVector PackIndexRows(const std::vector<std::vector<int>>& rows, int bits,
                                bool topDown = false) {
    ByteVector out;
    const std::size_t width = rows.front().size();
    const std::size_t stride = (width * bits + 31) / 32 * 4;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& row = rows[topDown ? i : rows.size() - 1 - i];
        ByteVector packed(stride, 0);
        for (std::size_t x = 0; x < width; ++x) {
            const std::size_t bit = x * bits;
            packed[bit / 8] |= std::uint8_t(row[x] << (8 - bits - bit % 8));
        }
        out.insert(out.end(), packed.begin(), packed.end());
    }
    return out;
}

}  // namespace imagelib_test
