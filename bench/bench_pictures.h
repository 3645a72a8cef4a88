// Pictures the benchmarks read: written once into a folder of each benchmark's own below the
// temporary folder, and kept there for later runs.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "loading/save_picture.h"
#include "platform/gdi/surface.h"

namespace lumivane::bench {

// <temporary folder>/lumivane-bench-<topic>, made when missing.
inline std::filesystem::path BenchFolder(const std::string& topic) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("lumivane-bench-" + topic);
    std::filesystem::create_directories(folder);
    return folder;
}

// Smooth gradients with some detail, written to `file` (its extension picks the format) unless
// it is there already.
inline std::string GradientPicture(const std::filesystem::path& file, int w, int h) {
    if (std::filesystem::exists(file)) return file.string();
    Surface s;
    s.SetSize(w, h);
    for (int y = 0; y < h; ++y) {
        BYTE* row = s.ScanLine(y);
        for (int x = 0; x < w; ++x) {
            row[4 * x] = BYTE(x * 255 / w);
            row[4 * x + 1] = BYTE(y * 255 / h);
            row[4 * x + 2] = BYTE((x ^ y) & 0x3F) + 96;
        }
    }
    SavePicture(s, file.string());
    return file.string();
}

// lumivane-render's arguments for the batch benchmarks: 20 copies of a 3000 x 2000 JPEG motif
// and a 2400 x 1800 JPEG frame in `folder`, framed with -j `jobs` into `output`.
inline std::vector<std::string> BatchArguments(const std::filesystem::path& folder, int jobs,
                                               const std::filesystem::path& output) {
    const std::string motif = GradientPicture(folder / "3000x2000.jpg", 3000, 2000);
    std::vector<std::string> args = {"-j", std::to_string(jobs),
                                     "-b", GradientPicture(folder / "2400x1800.jpg", 2400, 1800),
                                     "-o", output.string()};
    for (int i = 0; i < 20; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "m%02d.jpg", i);
        const std::filesystem::path copy = folder / name;
        if (!std::filesystem::exists(copy)) std::filesystem::copy_file(motif, copy);
        args.push_back(copy.string());
    }
    return args;
}

}  // namespace lumivane::bench
