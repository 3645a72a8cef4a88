// A buffered writer over an open file descriptor, for the encoders. It remembers the first
// system error (errno) so that an encoder can write freely and the caller checks once; after an
// error every further write is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumivane {

class OutputFile {
  public:
    // Does not take ownership of fd.
    explicit OutputFile(int fd);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void Write(const void* data, std::size_t size);
    void Byte(std::uint8_t value) {
        if (used_ < buffer_.size())
            buffer_[used_++] = value;
        else
            Write(&value, 1);
    }
    void U16le(std::uint16_t v) {
        Byte(std::uint8_t(v));
        Byte(std::uint8_t(v >> 8));
    }
    void U32le(std::uint32_t v) {
        U16le(std::uint16_t(v));
        U16le(std::uint16_t(v >> 16));
    }
    void U16be(std::uint16_t v) {
        Byte(std::uint8_t(v >> 8));
        Byte(std::uint8_t(v));
    }
    void U32be(std::uint32_t v) {
        U16be(std::uint16_t(v >> 16));
        U16be(std::uint16_t(v));
    }

    // Position of the next byte written, counted from the start of the file.
    std::uint64_t Position() const { return position_ + used_; }
    // Moves the write position (used to fill in sizes known only at the end).
    void Seek(std::uint64_t position);
    // Reads back bytes already written (some libraries read what they wrote). Returns the count.
    std::size_t ReadAt(std::uint64_t position, void* data, std::size_t size);
    // Largest position written so far.
    std::uint64_t Size() const;

    // Writes out what is buffered.
    void Flush();

    bool Failed() const { return error_ != 0; }
    int Error() const { return error_; }  // the errno of the first failure, 0 if none

  private:
    int fd_;
    std::vector<std::uint8_t> buffer_;
    std::size_t used_ = 0;
    std::uint64_t position_ = 0;  // file position of buffer_[0]
    std::uint64_t size_ = 0;      // end of the data already handed to the system
    int error_ = 0;
};

}  // namespace lumivane
