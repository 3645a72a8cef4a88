// The run-length coders' shared parts: the writers' cutting of a line into runs of equal
// elements and literal stretches (RLE8 bitmaps, Targa, ByteRun1), and the readers' unpacking of
// such packets (PCX scan lines, Targa pixels, ByteRun1 bodies).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/imagelib/codecs/decoder.h"

namespace lumivane {

// Cuts elements 0..size-1 into runs of at least minRun equal elements and the stretches between
// them, each piece at most maxLength long, and hands them on in order as onRun(first, count)
// and onLiteral(first, count). equal(a, b) compares elements a and b.
template <typename Equal, typename OnRun, typename OnLiteral>
void SplitRuns(int size, int minRun, int maxLength, Equal equal, OnRun onRun, OnLiteral onLiteral) {
    auto startsRun = [&](int at) {
        if (at + minRun > size) return false;
        for (int k = 1; k < minRun; ++k)
            if (!equal(at, at + k)) return false;
        return true;
    };
    int i = 0;
    while (i < size) {
        if (startsRun(i)) {
            int run = minRun;
            while (i + run < size && run < maxLength && equal(i, i + run)) ++run;
            onRun(i, run);
            i += run;
            continue;
        }
        int end = i + 1;
        while (end < size && end - i < maxLength && !startsRun(end)) ++end;
        onLiteral(i, end - i);
        i = end;
    }
}

// One packet as a format's header describes it: `count` elements, either one element repeated
// (`value` points at it, inside the data) or copied literally from the data after the header.
// A count of 0 is a packet that adds nothing.
struct RunPacket {
    std::size_t count = 0;
    bool run = false;
    const std::uint8_t* value = nullptr;
};

// Reads elements of `elementBytes` bytes in file order, unpacking packets, which may run on into
// the next row as some writers emit them. nextPacket(data, pos, packet) reads one packet header
// at data[pos] (pos < data.size()), and for a run its value, advancing pos past them; it
// returns false when the data ends first. Unpacked data is read as it stands.
template <typename NextPacket>
class RunLengthReader {
  public:
    RunLengthReader(Bytes data, std::size_t elementBytes, bool packed, NextPacket nextPacket)
        : data_(data), bytes_(elementBytes), packed_(packed), nextPacket_(nextPacket) {}

    // Fills `count` elements; false when the data ends first.
    bool Read(std::uint8_t* out, std::size_t count) {
        if (!packed_) return Copy(out, count);
        while (count > 0) {
            if (packet_.count == 0) {
                if (pos_ >= data_.size() || !nextPacket_(data_, pos_, packet_)) return false;
                continue;
            }
            const std::size_t k = packet_.count < count ? packet_.count : count;
            if (!packet_.run) {
                if (!Copy(out, k)) return false;
            } else if (bytes_ == 1) {
                std::memset(out, *packet_.value, k);
            } else {
                for (std::size_t i = 0; i < k; ++i)
                    std::memcpy(out + i * bytes_, packet_.value, bytes_);
            }
            out += k * bytes_;
            count -= k;
            packet_.count -= k;
        }
        return true;
    }

  private:
    bool Copy(std::uint8_t* out, std::size_t count) {
        const std::size_t n = count * bytes_;
        if (n > data_.size() - pos_) return false;
        std::memcpy(out, data_.data() + pos_, n);
        pos_ += n;
        return true;
    }

    Bytes data_;
    std::size_t bytes_;
    bool packed_;
    NextPacket nextPacket_;
    std::size_t pos_ = 0;
    RunPacket packet_;
};

}  // namespace lumivane
