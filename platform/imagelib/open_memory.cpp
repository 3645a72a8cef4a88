#include "platform/imagelib/open_memory.h"

#include "platform/imagelib/codecs/decoder.h"

dib OpenDibFromMemory(const std::uint8_t* data, std::size_t size) {
    const lumivane::Bytes bytes(data, size);
    for (const lumivane::Decoder& decoder : lumivane::Decoders()) {
        if (decoder.matches(bytes)) return decoder.decode(bytes);
    }
    return dib{};
}
