// HEIF files whose spatial extents say 8 x 8 while another field, which libheif does not check,
// sizes what gets allocated: a grid's or an overlay's canvas, or the frame of an HEVC sequence
// parameter set or an AV1 sequence header, in the configuration box or in the coded data. The
// files are written here from the container and codec syntax, so no encoder is needed.
#include <gtest/gtest.h>
#include <libheif/heif.h>

#include <algorithm>
#include <bit>
#include <string>
#include <string_view>

#include "platform/imagelib/codecs/heif_sizes.h"
#include "platform/imagelib/read_image.h"
#include "tests/platform/imagelib/heif_files.h"
#include "tests/support/file_builder.h"

namespace lumivane::test {
namespace {

using ByteVector = std::vector<std::uint8_t>;

ByteVector Box(std::string_view type, const ByteVector& body) {
    return FileBuilder().u32be(std::uint32_t(8 + body.size())).text(type).append(body).bytes;
}

ByteVector FullBox(std::string_view type, unsigned version, unsigned flags,
                   const ByteVector& body) {
    return Box(type,
               FileBuilder().u8(version).u8({flags >> 16, flags >> 8, flags}).append(body).bytes);
}

// Writes bits most significant first; ue() is the Exp-Golomb code of HEVC and AV1 alike.
struct BitWriter {
    ByteVector bytes;
    unsigned used = 8;

    BitWriter& bits(std::uint64_t value, unsigned n) {
        while (n-- > 0) {
            if (used == 8) bytes.push_back(0), used = 0;
            const unsigned bit = n < 64 ? (value >> n) & 1 : 0;  // long runs are zeros
            bytes.back() |= std::uint8_t(bit << (7 - used++));
        }
        return *this;
    }
    BitWriter& ue(std::uint64_t value) {
        const unsigned length = unsigned(std::bit_width(value + 1));
        return bits(0, length - 1).bits(value + 1, length);
    }
};

// An HEVC sequence parameter set NAL unit, with emulation prevention, up to its picture size.
ByteVector HevcSps(unsigned width, unsigned height, unsigned subLayers, unsigned chroma) {
    BitWriter b;
    b.bits(0, 4).bits(subLayers, 3).bits(1, 1);
    b.bits(1, 8).bits(0x60000000, 32).bits(0x900000000000, 48).bits(90, 8);  // general level
    for (unsigned i = 0; i < subLayers; ++i) b.bits(3, 2);  // profile and level present
    if (subLayers > 0) b.bits(0, 2 * (8 - subLayers));
    for (unsigned i = 0; i < subLayers; ++i) b.bits(0, 88).bits(90, 8);
    b.ue(0).ue(chroma);
    if (chroma == 3) b.bits(0, 1);
    b.ue(width).ue(height).bits(0, 1).ue(0).ue(0).bits(1, 1);  // ... then the stop bit
    ByteVector nal = {33 << 1, 1};
    int zeros = 0;
    for (const std::uint8_t byte : b.bytes) {
        if (zeros >= 2 && byte <= 3) nal.push_back(3), zeros = 0;
        zeros = byte == 0 ? zeros + 1 : 0;
        nal.push_back(byte);
    }
    return nal;
}

ByteVector HevcConfiguration(const ByteVector& sps) {
    FileBuilder c;
    c.u8(1).fill(20).u8(0xFF).u8(1);  // four-byte lengths; one array
    c.u8(0x80 | 33).u16be(1).u16be(unsigned(sps.size())).append(sps);
    return Box("hvcC", c.bytes);
}

ByteVector WithLength(const ByteVector& nal) {
    return FileBuilder().u32be(std::uint32_t(nal.size())).append(nal).bytes;
}

// An AV1 sequence header unit: the reduced one of a still picture, or the full one with timing,
// a decoder model and two operating points.
ByteVector Av1SequenceHeader(unsigned width, unsigned height, bool reduced) {
    BitWriter b;
    b.bits(0, 3).bits(reduced, 1).bits(reduced, 1);
    if (reduced) {
        b.bits(8, 5);
    } else {
        b.bits(1, 1).bits(1, 32).bits(30, 32).bits(1, 1).ue(5);     // timing info
        b.bits(1, 1).bits(9, 5).bits(1, 32).bits(4, 5).bits(4, 5);  // 10-bit buffer delays
        b.bits(1, 1).bits(1, 5);  // initial display delays; two operating points
        for (int i = 0; i < 2; ++i)
            b.bits(0, 12).bits(9, 5).bits(1, 1).bits(1, 1).bits(0, 21).bits(1, 1).bits(2, 4);
    }
    b.bits(15, 4).bits(15, 4).bits(width - 1, 16).bits(height - 1, 16).bits(0, 8);
    return FileBuilder().u8((1 << 3) | 2).u8(unsigned(b.bytes.size())).append(b.bytes).bytes;
}

ByteVector Av1Configuration(const ByteVector& sequenceHeader) {
    return Box("av1C", FileBuilder().u8({0x81, 0, 0, 0}).append(sequenceHeader).bytes);
}

struct Picture {
    std::string_view type;  // of the primary item
    ByteVector property;    // its codec configuration, if any
    ByteVector data;        // in the media data box, or for derived items in the item data box
};

ByteVector HeifFile(const Picture& picture) {
    const bool derived = picture.type == "grid" || picture.type == "iovl";
    const ByteVector ftyp = Box("ftyp", FileBuilder().text("heic").u32be(0).text("mif1heic").bytes);
    const auto meta = [&](std::uint32_t dataOffset) {
        FileBuilder infe, iloc, ipco, ipma, body;
        infe.u16be(1).u16be(0).text(picture.type).u8(0);
        iloc.u8(0x44).u8(0).u16be(1).u16be(1).u16be(derived ? 1 : 0).u16be(0).u16be(1);
        iloc.u32be(derived ? 0 : dataOffset).u32be(std::uint32_t(picture.data.size()));
        ipco.append(FullBox("ispe", 0, 0, FileBuilder().u32be(8).u32be(8).bytes));
        ipco.append(picture.property);
        ipma.u32be(1).u16be(1).u8(picture.property.empty() ? 1 : 2).u8(0x81).u8(0x82);
        body.append(FullBox("hdlr", 0, 0, FileBuilder().u32be(0).text("pict").fill(13).bytes));
        body.append(FullBox("pitm", 0, 0, FileBuilder().u16be(1).bytes));
        body.append(FullBox(
            "iinf", 0, 0, FileBuilder().u16be(1).append(FullBox("infe", 2, 0, infe.bytes)).bytes));
        body.append(FullBox("iloc", 1, 0, iloc.bytes));
        if (derived) body.append(Box("idat", picture.data));
        body.append(Box("iprp", FileBuilder()
                                    .append(Box("ipco", ipco.bytes))
                                    .append(FullBox("ipma", 0, 0, ipma.bytes))
                                    .bytes));
        return FullBox("meta", 0, 0, body.bytes);
    };
    const std::size_t dataOffset = ftyp.size() + meta(0).size() + 8;
    FileBuilder file;
    file.append(ftyp).append(meta(std::uint32_t(dataOffset)));
    file.append(Box("mdat", derived ? ByteVector{} : picture.data));
    return file.bytes;
}

TEST(HeifDeclaredSizes, AFrameOrCanvasTheFileCannotHoldIsRefusedBeforeDecoding) {
    // 400 megapixels, within the side and pixel limits, in a file of a few hundred bytes.
    for (const unsigned side : {20000u, 8u}) {
        const bool large = side > 8;
        const ByteVector small = HevcSps(8, 8, 0, 1);
        const Picture cases[] = {
            {"hvc1", HevcConfiguration(HevcSps(side, side, 0, 1)), WithLength(small)},
            {"hvc1", HevcConfiguration(small), WithLength(HevcSps(side, side, 2, 3))},
            {"av01", Av1Configuration(Av1SequenceHeader(side, side, true)), {}},
            {"av01", Av1Configuration(Av1SequenceHeader(8, 8, true)),
             Av1SequenceHeader(side, side, false)},
            {"grid", {}, FileBuilder().u8({0, 0, 0, 0}).u16be(side).u16be(side).bytes},
            {"iovl", {}, FileBuilder().u8({0, 1}).fill(8).u32be(side).u32be(side).bytes},
        };
        for (const Picture& picture : cases) {
            const ByteVector file = HeifFile(picture);
            const std::string what = std::string(picture.type) + " declaring " +
                                     std::to_string(side) + " square, case " +
                                     std::to_string(&picture - cases);
            ASSERT_LT(file.size(), 1024u) << what;
            const ReadResult read = ReadImage(Bytes(file.data(), file.size()), ReadOptions{});
            EXPECT_FALSE(read.image) << what;
            // The small ones are no pictures either, but only the large ones are too large.
            EXPECT_EQ(read.failure == ReadFailure::TooLarge, large) << what;
        }
    }
}

// The Exif item's data as libheif reads it, which it reads as it reads a grid's.
ByteVector LibheifExif(const ByteVector& file) {
    ByteVector data;
    heif_context* context = heif_context_alloc();
    heif_image_handle* handle = nullptr;
    heif_item_id id = 0;
    if (heif_context_read_from_memory_without_copy(context, file.data(), file.size(), nullptr)
                .code == heif_error_Ok &&
        heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok &&
        heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) == 1) {
        data.resize(heif_image_handle_get_metadata_size(handle, id));
        if (heif_image_handle_get_metadata(handle, id, data.data()).code != heif_error_Ok)
            data.clear();
    }
    if (handle) heif_image_handle_release(handle);
    heif_context_free(context);
    return data;
}

TEST(HeifDeclaredSizes, AGridCanvasIsReadWhereLibheifReadsIt) {
    using Locations = std::vector<imagelib_test::HeifLocation>;
    constexpr std::uint32_t m = imagelib_test::kHeifMediaData;
    const struct {
        unsigned version, baseSize;
        Locations locations;  // the grid's, and the same for an Exif item
        bool libheifReads;    // at least a grid's 8 bytes
    } layouts[] = {
        {0, 4, {{0, m, {{0, 8}}}}, true},
        {1, 0, {{0, 0, {{m + 2, 0}, {m + 2, 3}, {m + 9, 9}}}}, true},  // empty, and split
        {1, 0, {{0, 0, {{1 << 20, 8}}}}, false},                       // past the file's end
        {1, 0, {{1, 0, {{36, 8}}}}, true},                   // past the item data box's end
        {1, 4, {{1, 2, {{40, 8}, {4, 8}}}}, true},           // an extent too far is left out
        {2, 8, {{1, ~std::uint64_t(0), {{5, 8}}}}, true},    // the offsets' sum wraps
        {1, 0, {{1, 0, {{4, 8}}}, {1, 0, {{0, 8}}}}, true},  // the first entry counts
        {1, 0, {{2, 0, {{0, 8}}}}, false},                   // from other items: read by none
    };
    ByteVector data;  // even bytes throughout: 16-bit sides wherever the descriptor starts
    for (unsigned i = 0; i < 40; ++i) data.push_back(std::uint8_t(0x10 + 2 * i));
    for (const auto& layout : layouts) {
        const std::string what = "layout " + std::to_string(&layout - layouts);
        const ByteVector file =
            imagelib_test::HeifWithItems({{"grid", layout.locations}, {"Exif", layout.locations}},
                                         data, data, layout.version, layout.baseSize);
        const ByteVector read = LibheifExif(file);
        ASSERT_EQ(read.size() >= 8, layout.libheifReads) << what;
        const auto sizes = HeifDeclaredSizes(Bytes(file.data(), file.size()));
        ASSERT_TRUE(sizes) << what;
        if (read.size() < 8) continue;
        const std::int64_t width = read[4] << 8 | read[5], height = read[6] << 8 | read[7];
        EXPECT_TRUE(std::any_of(
            sizes->begin(), sizes->end(),
            [&](const HeifDeclaredSize& s) { return s.width == width && s.height == height; }))
            << what << ": " << width << " x " << height;
    }
}

TEST(HeifDeclaredSizes, ItemsThatEachSpanTheWholeFileAreRefused) {
    // 20,000 items over 4 MB: walked one by one, their data would be 80 GB.
    const ByteVector data(4 << 20);
    for (const unsigned count : {1u, 20000u}) {
        const std::vector<imagelib_test::HeifItem> items(
            count, {"hvc1", {{0, 0, {{0, imagelib_test::kHeifMediaData + (4u << 20)}}}}});
        const ByteVector file = imagelib_test::HeifWithItems(items, data);
        EXPECT_EQ(HeifDeclaredSizes(Bytes(file.data(), file.size())).has_value(), count == 1);
    }
}

}  // namespace
}  // namespace lumivane::test
