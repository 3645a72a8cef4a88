// The photo's metadata taken apart into plain values: a damaged block costs only itself, and
// the keys a caption may name are Exiv2's.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <exiv2/exiv2.hpp>

#include "platform/imagelib/photo_fields.h"

namespace lumivane::test {
namespace {

std::vector<std::uint8_t> ExifBlock() {
    Exiv2::ExifData exif;
    exif["Exif.Photo.FNumber"] = Exiv2::URational(28, 10);
    exif["Exif.Photo.ISOSpeedRatings"] = std::uint16_t(200);
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::bigEndian, exif);
    return blob;
}

const PhotoField* Find(const std::vector<PhotoField>& fields, const std::string& key) {
    const auto found = std::find_if(fields.begin(), fields.end(),
                                    [&](const PhotoField& f) { return f.key == key; });
    return found == fields.end() ? nullptr : &*found;
}

TEST(PhotoFields, ADamagedBlockIsLeftOutAndTheOthersRead) {
    const std::string xmp =
        R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">)"
        R"(<rdf:Description xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:title><rdf:Alt>)"
        R"(<rdf:li xml:lang="de">Abend</rdf:li><rdf:li xml:lang="x-default">Evening</rdf:li>)"
        R"(</rdf:Alt></dc:title></rdf:Description></rdf:RDF></x:xmpmeta>)";
    std::vector<std::uint8_t> truncated = ExifBlock();
    truncated.resize(truncated.size() / 3);

    for (const auto& exif : {ExifBlock(), truncated, std::vector<std::uint8_t>(40, 0xff)}) {
        const std::vector<PhotoField> fields =
            ReadPhotoFields({exif, xmp, std::vector<std::uint8_t>(30, 0x1c)});
        const PhotoField* title = Find(fields, "Xmp.dc.title");
        ASSERT_NE(title, nullptr);
        EXPECT_EQ(title->raw, "Evening");  // the default language's, without its qualifier
        if (exif.size() == ExifBlock().size()) {
            const PhotoField* f = Find(fields, "Exif.Photo.FNumber");
            ASSERT_NE(f, nullptr);
            EXPECT_EQ(f->printed, "F2.8");
            EXPECT_EQ(f->numbers, (decltype(f->numbers){{28, 10}}));
        }
    }
}

TEST(PhotoFields, KeysAreExiv2sOwn) {
    for (const char* key : {"Exif.Photo.WhiteBalance", "Xmp.dc.subject", "Iptc.Application2.City",
                            "Exif.CanonCs.LensType"})
        EXPECT_TRUE(IsPhotoFieldKey(key)) << key;
    for (const char* key : {"Exif.Photo.WhiteBalanse", "Xmp.dcx.subject", "Iptc.Application2.Cty",
                            "Exif.Photo", "Kamera", "", "exif.photo.whitebalance"})
        EXPECT_FALSE(IsPhotoFieldKey(key)) << key;
}

}  // namespace
}  // namespace lumivane::test
