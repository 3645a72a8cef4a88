#include "platform/imagelib/codecs/heif_sizes.h"

#include <algorithm>
#include <map>

#include "platform/imagelib/codecs/decode_util.h"

namespace lumivane {
namespace {

constexpr std::uint32_t FourCc(const char (&s)[5]) {
    return std::uint32_t(std::uint8_t(s[0])) << 24 | std::uint32_t(std::uint8_t(s[1])) << 16 |
           std::uint32_t(std::uint8_t(s[2])) << 8 | std::uint32_t(std::uint8_t(s[3]));
}

// A big-endian field of 4 or 8 bytes; the item location box may size a field otherwise, and
// libheif then reads nothing and takes it as 0.
std::uint64_t ReadField(ByteReader& r, unsigned bytes) {
    std::uint64_t v = 0;
    if (bytes == 4 || bytes == 8)
        for (unsigned i = 0; i < bytes; ++i) v = v << 8 | r.u8();
    return v;
}

struct Box {
    std::uint32_t type;
    Bytes body;
    std::size_t header;  // its size and type fields
};

// The boxes `data` holds, one after another. Within a box every child must fit; at the top of
// the file a box that runs past the end (a cut-off media data box) is taken as far as it goes.
std::optional<std::vector<Box>> Boxes(Bytes data, bool topLevel) {
    std::vector<Box> boxes;
    ByteReader r(data);
    while (r.remaining() > 0) {
        const std::size_t start = r.pos();
        std::uint64_t size = r.u32be();
        const std::uint32_t type = r.u32be();
        if (size == 1) size = ReadField(r, 8);
        if (size == 0) size = data.size() - start;
        const std::size_t header = r.pos() - start;
        if (r.failed() || size < header) {
            if (topLevel) break;
            return std::nullopt;
        }
        if (size > data.size() - start) {
            if (!topLevel) return std::nullopt;
            size = data.size() - start;
        }
        boxes.push_back({type, data.subspan(r.pos(), std::size_t(size) - header), header});
        r.seek(start + std::size_t(size));
    }
    return boxes;
}

// Reads single bits, most significant first, as HEVC and AV1 headers are written.
class BitReader {
  public:
    explicit BitReader(Bytes data) : data_(data) {}

    bool failed() const { return failed_; }

    std::uint64_t bits(unsigned n) {
        std::uint64_t v = 0;
        for (unsigned i = 0; i < n; ++i) {
            if (pos_ >= data_.size() * 8) {
                failed_ = true;
                return 0;
            }
            v = v << 1 | ((data_[pos_ / 8] >> (7 - pos_ % 8)) & 1u);
            ++pos_;
        }
        return v;
    }
    void skip(unsigned n) { (void)bits(n); }

    // HEVC's ue(v); more than 31 leading zeros make the parameter set unreadable.
    std::uint64_t ue() {
        unsigned zeros = 0;
        while (!failed_ && bits(1) == 0)
            if (++zeros > 31) failed_ = true;
        return failed_ ? 0 : (std::uint64_t(1) << zeros) - 1 + bits(zeros);
    }
    // AV1's uvlc(), which saturates at 32 leading zeros and reads on.
    std::uint64_t uvlc() {
        unsigned zeros = 0;
        while (!failed_ && bits(1) == 0)
            if (++zeros == 32) return 0xFFFFFFFFu;
        return failed_ ? 0 : (std::uint64_t(1) << zeros) - 1 + bits(zeros);
    }

  private:
    Bytes data_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

// The picture size of an HEVC sequence parameter set (a NAL unit with its two-byte header).
std::optional<HeifDeclaredSize> HevcSpsSize(Bytes nal) {
    // The sizes come within the first 256 bytes; undo the emulation prevention there.
    std::vector<std::uint8_t> rbsp;
    int zeros = 0;
    for (std::size_t i = 2; i < nal.size() && rbsp.size() < 256; ++i) {
        if (zeros >= 2 && nal[i] == 3) {
            zeros = 0;
            continue;
        }
        zeros = nal[i] == 0 ? zeros + 1 : 0;
        rbsp.push_back(nal[i]);
    }
    BitReader b(Bytes(rbsp.data(), rbsp.size()));
    b.skip(4);  // video parameter set id
    const unsigned subLayers = unsigned(b.bits(3));
    b.skip(1);
    b.skip(96);  // general profile, tier and level
    bool profilePresent[8] = {}, levelPresent[8] = {};
    for (unsigned i = 0; i < subLayers; ++i) {
        profilePresent[i] = b.bits(1) != 0;
        levelPresent[i] = b.bits(1) != 0;
    }
    if (subLayers > 0) b.skip(2 * (8 - subLayers));
    for (unsigned i = 0; i < subLayers; ++i)
        b.skip((profilePresent[i] ? 88 : 0) + (levelPresent[i] ? 8 : 0));
    (void)b.ue();                // sequence parameter set id
    if (b.ue() == 3) b.skip(1);  // 4:4:4 chroma: separate colour planes flag
    const std::uint64_t width = b.ue();
    const std::uint64_t height = b.ue();
    if (b.failed()) return std::nullopt;
    return HeifDeclaredSize{std::int64_t(width), std::int64_t(height), true};
}

bool IsHevcSps(Bytes nal) {
    return nal.size() >= 2 && ((nal[0] >> 1) & 0x3F) == 33;
}

// The largest frame of an AV1 sequence header (the OBU's payload).
std::optional<HeifDeclaredSize> Av1SequenceSize(Bytes payload) {
    BitReader b(payload);
    b.skip(3 + 1);  // profile, still picture
    if (b.bits(1) != 0) {
        b.skip(5);  // reduced header: one level
    } else {
        bool decoderModel = false;
        unsigned delayBits = 0;
        if (b.bits(1) != 0) {  // timing info
            b.skip(64);
            if (b.bits(1) != 0) (void)b.uvlc();
            decoderModel = b.bits(1) != 0;
            if (decoderModel) {
                delayBits = unsigned(b.bits(5)) + 1;
                b.skip(32 + 5 + 5);
            }
        }
        const bool initialDelay = b.bits(1) != 0;
        const unsigned operatingPoints = unsigned(b.bits(5)) + 1;
        for (unsigned i = 0; i < operatingPoints && !b.failed(); ++i) {
            b.skip(12);
            if (b.bits(5) > 7) b.skip(1);  // tier
            if (decoderModel && b.bits(1) != 0) b.skip(2 * delayBits + 1);
            if (initialDelay && b.bits(1) != 0) b.skip(4);
        }
    }
    const unsigned widthBits = unsigned(b.bits(4)) + 1;
    const unsigned heightBits = unsigned(b.bits(4)) + 1;
    const std::uint64_t width = b.bits(widthBits) + 1;
    const std::uint64_t height = b.bits(heightBits) + 1;
    if (b.failed()) return std::nullopt;
    return HeifDeclaredSize{std::int64_t(width), std::int64_t(height), true};
}

using Sizes = std::vector<HeifDeclaredSize>;

void AddIf(Sizes& sizes, std::optional<HeifDeclaredSize> size) {
    if (size) sizes.push_back(*size);
}

// AV1 open bitstream units, as an item holds them and as the configuration box repeats them. A
// unit that does not fit ends the stream, as it ends the decoder's reading.
void ScanAv1Units(Bytes data, Sizes& sizes) {
    ByteReader r(data);
    while (r.remaining() > 0) {
        const std::uint8_t header = r.u8();
        if (header & 0x04) r.skip(1);  // extension header
        std::uint64_t size = r.remaining();
        if (header & 0x02) {
            size = 0;
            for (unsigned i = 0; i < 8; ++i) {
                const std::uint8_t byte = r.u8();
                size |= std::uint64_t(byte & 0x7F) << (7 * i);
                if (!(byte & 0x80)) break;
            }
        }
        if (r.failed() || size > r.remaining()) return;
        const Bytes payload = r.take(std::size_t(size));
        if (((header >> 3) & 0x0F) == 1) AddIf(sizes, Av1SequenceSize(payload));
    }
}

// HEVC NAL units with four-byte lengths, as libheif hands an item's data to the decoder.
void ScanHevcUnits(Bytes data, Sizes& sizes) {
    ByteReader r(data);
    while (r.remaining() >= 4) {
        const std::uint32_t size = r.u32be();
        if (size > r.remaining()) return;
        const Bytes nal = r.take(size);
        if (IsHevcSps(nal)) AddIf(sizes, HevcSpsSize(nal));
    }
}

// The parameter sets of an HEVC configuration box ('hvcC').
void ScanHevcConfiguration(Bytes body, Sizes& sizes) {
    ByteReader r(body);
    r.skip(22);
    const unsigned arrays = r.u8();
    for (unsigned a = 0; a < arrays && !r.failed(); ++a) {
        r.skip(1);
        const unsigned units = r.u16be();
        for (unsigned u = 0; u < units && !r.failed(); ++u) {
            const Bytes nal = r.take(r.u16be());
            if (IsHevcSps(nal)) AddIf(sizes, HevcSpsSize(nal));
        }
    }
}

// A grid's or an overlay's canvas, from the derived item's data.
void ScanDerivedCanvas(std::uint32_t type, Bytes data, Sizes& sizes) {
    ByteReader r(data);
    const std::uint8_t version = r.u8();
    const std::uint8_t flags = r.u8();
    if (type == FourCc("grid")) {
        r.skip(2);  // rows and columns
    } else {
        if (version != 0) return;  // libheif reads no other version
        r.skip(8);                 // fill colour
    }
    const bool wide = flags & 1;
    const std::int64_t width = wide ? r.u32be() : r.u16be();
    const std::int64_t height = wide ? r.u32be() : r.u16be();
    if (!r.failed()) sizes.push_back({width, height, false});
}

// libheif refuses more items, or an item in more pieces.
constexpr std::uint32_t kMaxItems = 20000;
constexpr unsigned kMaxExtents = 32;
// A grid's or an overlay's canvas is given within the first bytes of its data (an overlay's
// 32-bit sides follow its version, flags and fill colour).
constexpr std::size_t kCanvasFieldsEnd = 2 + 8 + 2 * 4;

struct Item {
    std::uint32_t type = 0;
    // libheif takes an item's first information entry and first location entry.
    bool described = false;
    bool located = false;
    unsigned method = 0;  // 0: in the file, 1: in the item data box, 2: from other items
    std::uint64_t baseOffset = 0;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> extents;  // offset, length
};

bool ReadItemInfo(Bytes body, std::map<std::uint32_t, Item>& items) {
    ByteReader r(body);
    const std::uint8_t version = r.u8();
    r.skip(3 + (version == 0 ? 2 : 4));
    const auto entries = Boxes(r.rest(), false);
    if (r.failed() || !entries) return false;
    for (const Box& entry : *entries) {
        if (entry.type != FourCc("infe")) continue;
        ByteReader e(entry.body);
        const std::uint8_t entryVersion = e.u8();
        e.skip(3);
        const std::uint32_t id = entryVersion > 2 ? e.u32be() : e.u16be();
        e.skip(2);                                                     // protection index
        const std::uint32_t type = entryVersion >= 2 ? e.u32be() : 0;  // older ones name none
        if (e.failed()) return false;
        Item& item = items[id];
        if (!item.described) item.type = type;
        item.described = true;
    }
    return true;
}

bool ReadItemLocations(Bytes body, std::map<std::uint32_t, Item>& items) {
    ByteReader r(body);
    const std::uint8_t version = r.u8();
    r.skip(3);
    const std::uint8_t sizes1 = r.u8(), sizes2 = r.u8();
    const unsigned offsetSize = sizes1 >> 4, lengthSize = sizes1 & 15, baseSize = sizes2 >> 4;
    const unsigned indexSize = sizes2 & 15;
    // libheif's extent index is version 2's alone, the standard's also version 1's: a file
    // that has one there is read two ways, and only one of them could be checked.
    if (version > 2 || (version == 1 && indexSize != 0)) return false;
    const std::uint32_t count = version < 2 ? r.u16be() : r.u32be();
    if (count > kMaxItems) return false;
    for (std::uint32_t i = 0; i < count && !r.failed(); ++i) {
        Item& item = items[version < 2 ? r.u16be() : r.u32be()];
        const unsigned method = version >= 1 ? r.u16be() & 15 : 0;
        r.skip(2);  // data reference
        const std::uint64_t baseOffset = ReadField(r, baseSize);
        const unsigned extents = r.u16be();
        if (extents > kMaxExtents) return false;
        const bool first = !item.located;
        if (first) item = {item.type, item.described, true, method, baseOffset, {}};
        for (unsigned e = 0; e < extents && !r.failed(); ++e) {
            if (version == 2) (void)ReadField(r, indexSize);
            const std::uint64_t offset = ReadField(r, offsetSize);
            const std::uint64_t length = ReadField(r, lengthSize);
            if (first) item.extents.emplace_back(offset, length);
        }
    }
    return !r.failed();
}

// The pieces of the file that libheif joins into an item's data, in order; nothing when it
// reads no data for the item (an extent outside the file, no item data box, a construction
// method it does not know).
std::optional<std::vector<Bytes>> ItemPieces(const Item& item, Bytes file,
                                             const std::optional<Box>& idat) {
    std::vector<Bytes> pieces;
    for (const auto& [extentOffset, length] : item.extents) {
        if (item.method == 0) {
            if (item.baseOffset > file.size() || extentOffset > file.size() - item.baseOffset)
                return std::nullopt;
            const std::uint64_t offset = item.baseOffset + extentOffset;
            if (length > file.size() - offset) return std::nullopt;
            pieces.push_back(file.subspan(std::size_t(offset), std::size_t(length)));
        } else if (item.method == 1 && idat) {
            // libheif measures an extent against the item data box's size with its header, so
            // an extent may run that far past the box's end; one that does not fit even so is
            // left out, and the item's other extents are read on. The sum wraps as libheif's.
            const std::uint64_t start = item.baseOffset + extentOffset;
            const std::uint64_t size = idat->header + idat->body.size();
            const std::size_t at = std::size_t(idat->body.data() - file.data());
            if (length <= size && start <= size - length && start + length <= file.size() - at)
                pieces.push_back(file.subspan(at + std::size_t(start), std::size_t(length)));
        } else {
            return std::nullopt;
        }
    }
    return pieces;
}

// The first `limit` bytes of the pieces joined: in place when there is one piece.
Bytes Joined(const std::vector<Bytes>& pieces, std::size_t limit,
             std::vector<std::uint8_t>& scratch) {
    if (pieces.size() == 1) return pieces[0].first(std::min(limit, pieces[0].size()));
    scratch.clear();
    for (const Bytes piece : pieces) {
        const std::size_t n = std::min(limit - scratch.size(), piece.size());
        scratch.insert(scratch.end(), piece.begin(), piece.begin() + std::ptrdiff_t(n));
    }
    return Bytes(scratch.data(), scratch.size());
}

}  // namespace

std::optional<std::vector<HeifDeclaredSize>> HeifDeclaredSizes(Bytes file) {
    Bytes meta;                          // the first one, as libheif reads it; a full box
    const auto top = Boxes(file, true);  // never nothing at the top
    for (const Box& box : *top)
        if (box.type == FourCc("meta")) {
            meta = box.body;
            break;
        }
    if (meta.size() < 4) return std::nullopt;
    const auto children = Boxes(meta.subspan(4), false);
    if (!children) return std::nullopt;

    // libheif reads the first item information, location and data box.
    const auto first = [&](std::uint32_t type) -> std::optional<Box> {
        for (const Box& box : *children)
            if (box.type == type) return box;
        return std::nullopt;
    };
    std::map<std::uint32_t, Item> items;
    const auto iinf = first(FourCc("iinf")), iloc = first(FourCc("iloc"));
    if ((iinf && !ReadItemInfo(iinf->body, items)) ||
        (iloc && !ReadItemLocations(iloc->body, items)))
        return std::nullopt;
    const auto idat = first(FourCc("idat"));

    Sizes sizes;
    for (const Box& box : *children) {
        if (box.type != FourCc("iprp")) continue;
        const auto containers = Boxes(box.body, false);
        if (!containers) return std::nullopt;
        for (const Box& container : *containers) {
            if (container.type != FourCc("ipco")) continue;
            const auto properties = Boxes(container.body, false);
            if (!properties) return std::nullopt;
            // Every property counts, whichever item it belongs to.
            for (const Box& property : *properties) {
                ByteReader p(property.body);
                if (property.type == FourCc("ispe")) {
                    p.skip(4);
                    const std::int64_t width = p.u32be(), height = p.u32be();
                    if (!p.failed()) sizes.push_back({width, height, false});
                } else if (property.type == FourCc("hvcC")) {
                    ScanHevcConfiguration(property.body, sizes);
                } else if (property.type == FourCc("av1C") && property.body.size() > 4) {
                    ScanAv1Units(property.body.subspan(4), sizes);
                }
            }
        }
    }

    // The coded data libheif hands to a decoder is walked unit by unit, and all items together
    // get the file's size for it: items that repeat the file's bytes (each of them pointing at
    // the whole file, say) are no picture, and would make the walk take quadratic time.
    std::uint64_t budget = file.size();
    std::vector<std::uint8_t> scratch;
    for (const auto& [id, item] : items) {
        const bool derived = item.type == FourCc("grid") || item.type == FourCc("iovl");
        const bool hevc = item.type == FourCc("hvc1");
        const bool av1 = item.type == FourCc("av01");
        if (!derived && !hevc && !av1) continue;
        const auto pieces = ItemPieces(item, file, idat);
        if (!pieces) continue;
        if (derived) {
            ScanDerivedCanvas(item.type, Joined(*pieces, kCanvasFieldsEnd, scratch), sizes);
            continue;
        }
        std::uint64_t size = 0;
        for (const Bytes piece : *pieces) size += piece.size();
        if (size > budget) return std::nullopt;
        budget -= size;
        const Bytes data = Joined(*pieces, std::size_t(size), scratch);
        if (hevc) ScanHevcUnits(data, sizes);
        if (av1) ScanAv1Units(data, sizes);
    }
    return sizes;
}

}  // namespace lumivane
