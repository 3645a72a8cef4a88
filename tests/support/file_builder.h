// Building files byte by byte, for the reader tests, the fuzz seeds and the benchmarks: each
// states exactly the header it is about.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace lumivane::test {

// Appends little- and big-endian values to a file under construction.
struct FileBuilder {
    std::vector<std::uint8_t> bytes;

    FileBuilder& u8(unsigned v) {
        bytes.push_back(std::uint8_t(v));
        return *this;
    }
    FileBuilder& u8(std::initializer_list<unsigned> values) {
        for (unsigned v : values) u8(v);
        return *this;
    }
    FileBuilder& u16le(unsigned v) { return u8(v).u8(v >> 8); }
    FileBuilder& u16be(unsigned v) { return u8(v >> 8).u8(v); }
    FileBuilder& u32le(std::uint32_t v) { return u16le(v & 0xFFFF).u16le(v >> 16); }
    FileBuilder& u32be(std::uint32_t v) { return u16be(v >> 16).u16be(v & 0xFFFF); }
    FileBuilder& text(std::string_view s) {
        for (char c : s) u8(std::uint8_t(c));
        return *this;
    }
    FileBuilder& append(const std::vector<std::uint8_t>& v) {
        bytes.insert(bytes.end(), v.begin(), v.end());
        return *this;
    }
    FileBuilder& fill(std::size_t n, std::uint8_t v = 0) {
        bytes.insert(bytes.end(), n, v);
        return *this;
    }
    // Pads with zeros up to `size` bytes in all (a fixed-size header's unused rest).
    FileBuilder& padTo(std::size_t size) {
        if (bytes.size() < size) bytes.resize(size, 0);
        return *this;
    }
};

}  // namespace lumivane::test
