// Loading an image that the program carries in memory (a resource) instead of a file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/imagelib/dib.h"

// Decodes the bytes with the reader that recognises them, as OpenDib does for a file.
// No image (poi == nullptr) when no reader accepts them.
dib OpenDibFromMemory(const std::uint8_t* data, std::size_t size);
