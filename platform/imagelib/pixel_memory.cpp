#include "platform/imagelib/pixel_memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace lumivane {

namespace {

// Below this a block may share huge pages with other allocations; not worth asking.
constexpr std::size_t kHugePageThreshold = std::size_t(4) << 20;
constexpr std::uintptr_t kPage = 4096;

}  // namespace

void* AllocateZeroedPixels(std::size_t bytes) {
    // calloc takes a block this large straight from fresh zero pages, so nothing is written
    // until the caller writes; the advice has to come before that first write.
    void* p = std::calloc(bytes, 1);
    if (!p || bytes < kHugePageThreshold) return p;
    const auto begin = (reinterpret_cast<std::uintptr_t>(p) + kPage - 1) & ~(kPage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(p) + bytes) & ~(kPage - 1);
#ifdef MADV_HUGEPAGE
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
    return p;
}

}  // namespace lumivane
