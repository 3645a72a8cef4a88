#include "platform/imagelib/codecs/output_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace lumivane {

namespace {
constexpr std::size_t kBufferSize = std::size_t(1) << 20;
}

OutputFile::OutputFile(int fd) : fd_(fd), buffer_(kBufferSize) {}

void OutputFile::Write(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0 && !Failed()) {
        if (used_ == buffer_.size()) Flush();
        const std::size_t n = std::min(size, buffer_.size() - used_);
        std::memcpy(buffer_.data() + used_, p, n);
        used_ += n;
        p += n;
        size -= n;
    }
}

void OutputFile::Flush() {
    std::size_t done = 0;
    while (done < used_ && !Failed()) {
        const ssize_t n =
            ::pwrite(fd_, buffer_.data() + done, used_ - done, off_t(position_ + done));
        if (n < 0) {
            if (errno != EINTR) error_ = errno;
        } else if (n == 0) {
            error_ = EIO;
        } else {
            done += std::size_t(n);
        }
    }
    position_ += used_;
    size_ = std::max(size_, position_);
    used_ = 0;
}

void OutputFile::Seek(std::uint64_t position) {
    Flush();
    position_ = position;
}

std::size_t OutputFile::ReadAt(std::uint64_t position, void* data, std::size_t size) {
    Flush();
    if (Failed()) return 0;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd_, static_cast<std::uint8_t*>(data) + done, size - done,
                                  off_t(position + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += std::size_t(n);
    }
    return done;
}

std::uint64_t OutputFile::Size() const {
    return std::max(size_, position_ + used_);
}

}  // namespace lumivane
