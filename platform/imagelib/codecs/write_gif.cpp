// GIF89a with one global colour table. Pictures of at most 256 colours are stored exactly;
// others are reduced by the median cut with error diffusion. The LZW coder is our own.
#include <array>
#include <vector>

#include "platform/imagelib/codecs/exact_palette.h"
#include "platform/imagelib/codecs/quantize.h"
#include "platform/imagelib/codecs/writers.h"

namespace lumivane {

namespace {

constexpr int kMaxSide = 65535;
constexpr int kMaxCodeBits = 12;
constexpr int kMaxCodes = 1 << kMaxCodeBits;

// Variable-width LZW as GIF uses it: codes packed from the low bit, in sub-blocks of at most
// 255 bytes; the table is cleared whenever it fills.
class LzwEncoder {
  public:
    LzwEncoder(int minCodeSize, OutputFile& out)
        : minCodeSize_(minCodeSize), clear_(1 << minCodeSize), end_(clear_ + 1), out_(out) {
        out_.Byte(std::uint8_t(minCodeSize));
        ResetTable();
        Emit(clear_);
    }

    void Add(const std::uint8_t* indices, int count) {
        for (int i = 0; i < count; ++i) {
            const int c = indices[i];
            if (prefix_ < 0) {
                prefix_ = c;
                continue;
            }
            const std::uint32_t key = std::uint32_t(prefix_) << 8 | std::uint32_t(c);
            std::size_t slot = Slot(key);
            if (keys_[slot] == key) {
                prefix_ = codes_[slot];
                continue;
            }
            Emit(prefix_);
            prefix_ = c;
            keys_[slot] = key;
            codes_[slot] = std::uint16_t(nextCode_++);
            if (nextCode_ > (1 << codeBits_) && codeBits_ < kMaxCodeBits) ++codeBits_;
            if (nextCode_ == kMaxCodes) {
                Emit(clear_);
                ResetTable();
            }
        }
    }

    void Finish() {
        if (prefix_ >= 0) {
            Emit(prefix_);
            // The decoder adds a table entry for this last code, which may widen the next one.
            ++nextCode_;
            if (nextCode_ > (1 << codeBits_) && codeBits_ < kMaxCodeBits) ++codeBits_;
        }
        Emit(end_);
        if (bitCount_ > 0) PutByte(std::uint8_t(bits_));
        FlushBlock();
        out_.Byte(0);  // block terminator
    }

  private:
    static constexpr int kSlots = 8192;  // twice the table size keeps probe chains short
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;

    std::size_t Slot(std::uint32_t key) const {
        std::size_t h = (key * 0x9E3779B1u) >> 19;
        while (keys_[h] != kEmpty && keys_[h] != key) h = (h + 1) & (kSlots - 1);
        return h;
    }

    void ResetTable() {
        keys_.fill(kEmpty);
        codeBits_ = minCodeSize_ + 1;
        nextCode_ = end_ + 1;
    }

    void Emit(int code) {
        bits_ |= std::uint32_t(code) << bitCount_;
        bitCount_ += codeBits_;
        while (bitCount_ >= 8) {
            PutByte(std::uint8_t(bits_));
            bits_ >>= 8;
            bitCount_ -= 8;
        }
    }

    void PutByte(std::uint8_t b) {
        block_[blockSize_++] = b;
        if (blockSize_ == 255) FlushBlock();
    }

    void FlushBlock() {
        if (blockSize_ == 0) return;
        out_.Byte(std::uint8_t(blockSize_));
        out_.Write(block_.data(), std::size_t(blockSize_));
        blockSize_ = 0;
    }

    const int minCodeSize_;
    const int clear_;
    const int end_;
    OutputFile& out_;
    int codeBits_ = 0;
    int nextCode_ = 0;
    int prefix_ = -1;
    std::uint32_t bits_ = 0;
    int bitCount_ = 0;
    std::array<std::uint32_t, kSlots> keys_;
    std::array<std::uint16_t, kSlots> codes_;
    std::array<std::uint8_t, 255> block_;
    int blockSize_ = 0;
};

// Bits needed for a colour table of n entries (at least 1).
int TableBits(int n) {
    int bits = 1;
    while ((1 << bits) < n) ++bits;
    return bits;
}

void WriteHeader(const Bgrx32View& picture, const std::vector<std::uint32_t>& colors, int tableBits,
                 OutputFile& out) {
    out.Write("GIF89a", 6);
    out.U16le(std::uint16_t(picture.width));
    out.U16le(std::uint16_t(picture.height));
    out.Byte(std::uint8_t(0x80 | (tableBits - 1) << 4 | (tableBits - 1)));  // global table
    out.Byte(0);                                                            // background colour
    out.Byte(0);                                                            // no aspect ratio
    for (int i = 0; i < (1 << tableBits); ++i) {
        const std::uint32_t rgb = i < int(colors.size()) ? colors[std::size_t(i)] : 0;
        out.Byte(std::uint8_t(rgb >> 16));
        out.Byte(std::uint8_t(rgb >> 8));
        out.Byte(std::uint8_t(rgb));
    }
    out.Byte(0x2C);  // image descriptor
    out.U16le(0);
    out.U16le(0);
    out.U16le(std::uint16_t(picture.width));
    out.U16le(std::uint16_t(picture.height));
    out.Byte(0);  // no local table, not interlaced
}

}  // namespace

EncodeResult WriteGif(const Bgrx32View& picture, OutputFile& out) {
    if (picture.width > kMaxSide || picture.height > kMaxSide) return EncodeResult::kTooLarge;
    ExactPalette exact;
    const bool isExact = exact.Build(picture);
    std::vector<std::uint32_t> colors;
    if (isExact) {
        for (int i = 0; i < exact.Size(); ++i) colors.push_back(exact.Color(i));
    } else {
        colors = MedianCutPalette(picture, 256);
    }
    const int tableBits = TableBits(int(colors.size()));
    WriteHeader(picture, colors, tableBits, out);

    LzwEncoder lzw(std::max(2, tableBits), out);
    std::vector<std::uint8_t> indices(std::size_t(picture.width));
    if (isExact) {
        for (int y = 0; y < picture.height && !out.Failed(); ++y) {
            const std::uint8_t* p = picture.Row(y);
            for (int x = 0; x < picture.width; ++x, p += 4)
                indices[std::size_t(x)] = exact.IndexOf(ExactPalette::Key(p));
            lzw.Add(indices.data(), picture.width);
        }
    } else {
        DitherMapper mapper(colors, picture.width);
        for (int y = 0; y < picture.height && !out.Failed(); ++y) {
            mapper.MapRow(picture.Row(y), indices.data());
            lzw.Add(indices.data(), picture.width);
        }
    }
    lzw.Finish();
    out.Byte(0x3B);  // trailer
    return EncodeResult::kOk;
}

}  // namespace lumivane
