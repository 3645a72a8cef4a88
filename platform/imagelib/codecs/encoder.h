// The table of file writers behind SaveImage. A writer encodes the composed picture (32-bit,
// top-down) into one file format; the format is chosen by the file name's extension.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumivane {

class OutputFile;

// A read-only view of a 32-bit picture: rows from the top, 4 bytes per pixel in the order blue,
// green, red and a fourth byte that writers ignore. A lumivane::Surface is exactly this.
struct Bgrx32View {
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;  // bytes from one row to the next
    const std::uint8_t* pixels = nullptr;
    // The print resolution in dots per inch, written where the format has a place for it; 0:
    // none asked for, the file is written as ever.
    int dpi = 0;

    const std::uint8_t* Row(int y) const { return pixels + y * stride; }
    bool Empty() const { return width <= 0 || height <= 0 || !pixels; }
};

// Why an encoder gave up (file errors are kept by the OutputFile itself).
enum class EncodeResult {
    kOk,
    kTooLarge,  // the picture exceeds what the format can hold
    kFailed,    // the codec reported an error (or the output already failed)
};

struct Encoder {
    const char* name;        // German name for the save dialog, e.g. "JPEG-Bild"
    const char* extensions;  // lower-case, blank-separated, without dots; the first is the default
    EncodeResult (*encode)(const Bgrx32View& picture, OutputFile& out);
    // Lossy formats only: the same at a quality of 1 to 100 (encode uses kDefaultQuality).
    EncodeResult (*encodeAtQuality)(const Bgrx32View& picture, OutputFile& out,
                                    int quality) = nullptr;
    // True when the format has a place for EXIF, XMP and IPTC.
    bool carriesMetadata = false;
    // True when the resolution can only go into EXIF (WebP): it is then written even without
    // the photo's metadata.
    bool resolutionInExif = false;
};

// The quality lossy formats are written at unless asked otherwise.
constexpr int kDefaultQuality = 92;

// Every writer, in the order the save dialog offers them.
std::span<const Encoder> Encoders();

// The writer for an extension ("jpg", ".JPG"; case does not matter), or nullptr.
const Encoder* FindEncoder(std::string_view extension);

// The writer that a file name's extension selects, or nullptr (no extension or unknown).
const Encoder* EncoderForFileName(std::string_view fileName);

// The save dialog's filter in Qt's syntax: "JPEG-Bild (*.jpg *.jif *.jpeg);;PNG-Bild (*.png);;..."
std::string SaveDialogFilter();

// Every writable extension (lower case, no dot), e.g. for a --format option.
std::vector<std::string> WritableExtensions();

}  // namespace lumivane
