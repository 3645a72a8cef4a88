// The places where Exiv2 0.28 changed its interface from 0.27 (Debian 12's): sizes became
// size_t, DataBuf's fields became accessors, the ICC profile is handed over by move, toLong
// became toInt64 and getType returns an enum class. Everything else we use is the same in both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

#include <exiv2/exiv2.hpp>

namespace lumivane::exiv2 {

#if EXIV2_TEST_VERSION(0, 28, 0)
using Size = std::size_t;

inline std::span<const Exiv2::byte> Bytes(const Exiv2::DataBuf& buf) {
    return {buf.c_data(), buf.size()};
}

inline std::span<const Exiv2::byte> IccProfile(const Exiv2::Image& image) {
    return Bytes(image.iccProfile());
}

inline void SetIccProfile(Exiv2::Image& image, Exiv2::DataBuf profile) {
    image.setIccProfile(std::move(profile), true);
}

inline std::int64_t ToInteger(const Exiv2::Exifdatum& datum) {
    return datum.toInt64();
}
#else
using Size = long;

inline std::span<const Exiv2::byte> Bytes(const Exiv2::DataBuf& buf) {
    if (!buf.pData_ || buf.size_ <= 0) return {};
    return {buf.pData_, std::size_t(buf.size_)};
}

inline std::span<const Exiv2::byte> IccProfile(Exiv2::Image& image) {
    return Bytes(*image.iccProfile());
}

inline void SetIccProfile(Exiv2::Image& image, Exiv2::DataBuf profile) {
    image.setIccProfile(profile, true);
}

inline std::int64_t ToInteger(const Exiv2::Exifdatum& datum) {
    return datum.toLong();
}
#endif

}  // namespace lumivane::exiv2
