#include <algorithm>
#include <cctype>

#include "platform/imagelib/codecs/writers.h"

namespace lumivane {

namespace {

constexpr Encoder kEncoders[] = {
    {"JPEG-Bild", "jpg jif jpeg", WriteJpeg, WriteJpegAtQuality, true},
    {"PNG-Bild", "png", WritePng, nullptr, true},
    {"Windows-Bitmap", "bmp dib", WriteBmp},
    {"Windows-Bitmap, lauflängenkodiert", "rle", WriteRleBmp},
    {"TIFF-Bild", "tif tiff", WriteTiff, nullptr, true},
    {"WebP-Bild", "webp", WriteWebp, WriteWebpAtQuality, true, true},
    {"GIF-Bild (256 Farben)", "gif", WriteGif},
    {"Targa-Bild", "tga", WriteTga},
    {"PCX-Bild", "pcx", WritePcx},
    {"IFF-Bild", "iff lbm", WriteIlbm},
    {"JPEG-2000-Bild", "jp2", WriteJp2},
};

// Calls f(extension) for each blank-separated extension of a writer.
template <typename F>
void ForEachExtension(const Encoder& e, F f) {
    std::string_view list = e.extensions;
    while (!list.empty()) {
        const std::size_t blank = list.find(' ');
        f(list.substr(0, blank));
        if (blank == std::string_view::npos) break;
        list.remove_prefix(blank + 1);
    }
}

}  // namespace

std::span<const Encoder> Encoders() {
    return kEncoders;
}

const Encoder* FindEncoder(std::string_view extension) {
    if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
    std::string lower(extension);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (lower.empty()) return nullptr;
    for (const Encoder& e : kEncoders) {
        bool found = false;
        ForEachExtension(e, [&](std::string_view ext) { found = found || ext == lower; });
        if (found) return &e;
    }
    return nullptr;
}

const Encoder* EncoderForFileName(std::string_view fileName) {
    const std::size_t slash = fileName.find_last_of('/');
    if (slash != std::string_view::npos) fileName.remove_prefix(slash + 1);
    const std::size_t dot = fileName.find_last_of('.');
    // A leading dot starts a hidden file's name, not an extension.
    if (dot == std::string_view::npos || dot == 0) return nullptr;
    return FindEncoder(fileName.substr(dot + 1));
}

std::string SaveDialogFilter() {
    std::string filter;
    for (const Encoder& e : kEncoders) {
        if (!filter.empty()) filter += ";;";
        filter += e.name;
        filter += " (";
        bool first = true;
        ForEachExtension(e, [&](std::string_view ext) {
            if (!first) filter += ' ';
            first = false;
            filter += "*.";
            filter += ext;
        });
        filter += ')';
    }
    return filter;
}

std::vector<std::string> WritableExtensions() {
    std::vector<std::string> all;
    for (const Encoder& e : kEncoders)
        ForEachExtension(e, [&](std::string_view ext) { all.emplace_back(ext); });
    return all;
}

}  // namespace lumivane
