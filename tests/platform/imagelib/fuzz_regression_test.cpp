// Inputs that once crashed a reader under the fuzzer, kept in tests/data/fuzz. A file's name
// starts with the fuzz target that found it (bmp, pcx, iff, tga, heif, open_dib,
// photo_metadata); a name containing "-sound" is a picture the reader must decode, every other
// one must be refused, one containing "-too-large" by its own reader as too large. Each goes
// through its own reader directly (as its fuzz target does), through OpenDib and through the
// metadata reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "codec_test_util.h"
#include "image_files.h"
#include "platform/imagelib/codecs/heif.h"
#include "platform/imagelib/codecs/own_formats.h"
#include "platform/imagelib/photo_metadata.h"

namespace lumivane {
extern const Decoder kBmpDecoder;
}

namespace lumivane::test {
namespace {

namespace fs = std::filesystem;

void ExpectOutcome(const dib& image, bool sound, const std::string& what) {
    DecodedImage decoded(image);
    EXPECT_EQ(decoded.ok(), sound) << what;
    if (!decoded.ok()) return;
    EXPECT_TRUE(decoded.width() >= 1 && decoded.width() <= kMaxImageSide) << what;
    EXPECT_TRUE(decoded.height() >= 1 && decoded.height() <= kMaxImageSide) << what;
    (void)decoded.raw(decoded.width() - 1, decoded.height() - 1);  // last pixel is readable
}

TEST(FuzzRegressions, EveryKeptInputIsRefusedOrDecodedSoundly) {
    const std::map<std::string, const Decoder*> readers = {
        {"bmp", &kBmpDecoder},      {"pcx", &kPcxDecoder},   {"iff", &kIffDecoder},
        {"tga", &kTgaDecoder},      {"heif", &kHeifDecoder}, {"open_dib", nullptr},
        {"photo_metadata", nullptr}};
    const fs::path folder = fs::path(LUMIVANE_TEST_DATA_DIR) / "fuzz";
    int files = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        const std::string target = name.substr(0, name.find('-'));
        ASSERT_TRUE(readers.count(target)) << name << " does not name a fuzz target";
        const bool sound = name.find("-sound") != std::string::npos;
        const auto bytes = imagelib_test::ReadAll(entry.path().string());
        if (const Decoder* reader = readers.at(target)) {
            ReadResult read = reader->decode(Bytes(bytes.data(), bytes.size()), ReadOptions{});
            if (name.find("-too-large") != std::string::npos) {
                EXPECT_EQ(read.failure, ReadFailure::TooLarge) << name;
            }
            ExpectOutcome(read.image.release(), sound, name + " (own reader)");
        }
        ExpectOutcome(OpenDib(entry.path().c_str(), 0, nullptr), sound, name + " (OpenDib)");
        // Whatever the file, reading its metadata returns (a hang shows as the test's timeout).
        (void)ReadPhotoMetadata(bytes);
        ++files;
    }
    EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace lumivane::test
