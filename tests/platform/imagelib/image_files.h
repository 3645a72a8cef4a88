// Helpers for the reader tests: a scratch folder, writing bytes to it, and the colour of a
// pixel of a loaded image whatever its depth.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/imagelib/imagelib.h"

namespace imagelib_test {

using ByteVector = std::vector<std::uint8_t>;

// A folder of its own under the system's temp folder, removed at the end of the test.
class ScratchDir {
  public:
    ScratchDir() {
        static int counter = 0;
        path_ =
            std::filesystem::temp_directory_path() /
            ("lumivane-imagelib-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string Write(const std::string& name, const ByteVector& bytes) const {
        const std::string file = (path_ / name).string();
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return file;
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// Writes the bytes to a scratch file and opens it.
inline dib Load(const ByteVector& bytes, const std::string& name = "image") {
    ScratchDir dir;
    return OpenDib(dir.Write(name, bytes).c_str(), 0, nullptr);
}

inline ByteVector ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return ByteVector(std::istreambuf_iterator<char>(in), {});
}

// Red in bits 0-7, green 8-15, blue 16-23, for every depth (16 bits as 5-5-5 scaled to 255).
inline COLORREF ColorAt(const dib& d, int x, int y) {
    const DWORD v = getpixel(d, x, y);
    switch (d.pmi->bmiHeader.biBitCount) {
        case 1:
        case 4:
        case 8:
            return RGB(d.pal.rgb0[v][0], d.pal.rgb0[v][1], d.pal.rgb0[v][2]);
        case 16: {
            const auto five = [](DWORD c) { return BYTE((c & 31) * 255 / 31); };
            return RGB(five(v >> 10), five(v >> 5), five(v));
        }
        default:
            return v;
    }
}

inline int Width(const dib& d) {
    return d.pmi->bmiHeader.biWidth;
}
inline int Height(const dib& d) {
    return d.pmi->bmiHeader.biHeight;
}
inline int Bits(const dib& d) {
    return d.pmi->bmiHeader.biBitCount;
}

}  // namespace imagelib_test
