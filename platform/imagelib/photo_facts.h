// What a photo file says about its pixels besides the pixels: how to turn them upright and what
// their numbers mean. Filled by the readers, used by the loading call and handed on to the saver.
#pragma once

#include <cstdint>
#include <vector>

struct PhotoFacts {
    // EXIF orientation as stored in the file, 1-8; 1 when the file has none or an invalid one.
    int orientation = 1;
    // The embedded ICC profile, byte for byte; empty when the file has none.
    std::vector<std::uint8_t> iccProfile;
};
