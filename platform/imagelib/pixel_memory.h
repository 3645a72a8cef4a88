// Memory for large pixel buffers.
#pragma once

#include <cstddef>

namespace lumivane {

// `bytes` zeroed bytes, freed with std::free; nullptr when they cannot be had. A large block is
// backed by huge pages where the system offers them: a picture of 160 MB then costs a few
// hundred page faults instead of forty thousand, and its first touch is that much faster.
void* AllocateZeroedPixels(std::size_t bytes);

}  // namespace lumivane
