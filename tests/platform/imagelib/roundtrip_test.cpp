// Every writer's files read back by our own reader (OpenDib): lossless formats give back every
// pixel, lossy ones stay close. A file that comes back as a palette image is compared by colour.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "codec_test_util.h"
#include "platform/imagelib/save_image.h"
#include "writer_test_util.h"

namespace lumivane::test {
namespace {

struct Expectation {
    const char* extension;
    int bitsFewColours;   // depth our reader gives for a picture of at most 256 colours
    int bitsManyColours;  // ... and for one with more
    int maxDifference;    // largest channel difference allowed for the photo (0: lossless)
    double maxMean;       // mean channel difference allowed for the photo
};

// One per writer; the test below checks that none is missing.
constexpr Expectation kExpectations[] = {
    {"jpg", 24, 24, 12, 1.5}, {"png", 24, 24, 0, 0}, {"bmp", 24, 24, 0, 0},
    {"rle", 8, 24, 0, 0},     {"tif", 24, 24, 0, 0}, {"webp", 24, 24, 16, 2.0},
    {"gif", 8, 8, 48, 8.0},   {"tga", 24, 24, 0, 0}, {"pcx", 24, 24, 0, 0},
    {"iff", 24, 24, 0, 0},    {"jp2", 24, 24, 0, 0},
};

// Largest and mean channel difference between the picture and the image our reader gave.
int Difference(const Picture& picture, const DecodedImage& image, double* mean) {
    int worst = 0;
    double sum = 0;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const std::uint32_t a = picture.Rgb(x, y);
            const COLORREF b = image.color(x, y);  // 0x00BBGGRR
            const int da[3] = {int(a >> 16 & 0xFF) - GetRValue(b),
                               int(a >> 8 & 0xFF) - GetGValue(b), int(a & 0xFF) - GetBValue(b)};
            for (int d : da) {
                worst = std::max(worst, std::abs(d));
                sum += std::abs(d);
            }
        }
    *mean = sum / (3.0 * picture.width * picture.height);
    return worst;
}

// Writes the picture, reads it back and checks size and depth; the largest channel difference
// (and the mean in `mean`), or -1 when the file did not come back.
int WriteAndRead(const ScratchFolder& folder, const Picture& picture, const char* ext, int bits,
                 double* mean) {
    const std::string path = folder.File(std::string("picture.") + ext);
    EXPECT_TRUE(SaveImage(path, picture.View()).Ok()) << ext;
    const DecodedImage image(OpenDib(path.c_str(), 0, nullptr));
    EXPECT_TRUE(image.ok());
    if (!image.ok()) return -1;
    EXPECT_EQ(image.width(), picture.width);
    EXPECT_EQ(image.height(), picture.height);
    EXPECT_EQ(image.bits(), bits);
    if (image.width() != picture.width || image.height() != picture.height) return -1;
    return Difference(picture, image, mean);
}

TEST(RoundTrip, EveryWriterIsCovered) {
    for (const Encoder& encoder : Encoders()) {
        bool found = false;
        for (const Expectation& e : kExpectations)
            found = found || std::string(encoder.extensions).starts_with(e.extension);
        EXPECT_TRUE(found) << encoder.extensions;
    }
}

TEST(RoundTrip, FewColoursComeBackExactlyFromEveryLosslessWriterAndGif) {
    ScratchFolder folder;
    const Picture picture = FewColorsPicture(67, 23, 200);
    for (const Expectation& e : kExpectations) {
        SCOPED_TRACE(e.extension);
        double mean = 0;
        const int worst = WriteAndRead(folder, picture, e.extension, e.bitsFewColours, &mean);
        if (e.maxDifference == 0 || std::string(e.extension) == "gif") {
            EXPECT_EQ(worst, 0);
        }
    }
}

TEST(RoundTrip, PhotosComeBackExactlyOrClose) {
    ScratchFolder folder;
    for (const Picture& picture : {PhotoPicture(101, 57), NoisePicture(33, 9)}) {
        const bool noise = picture.width == 33;
        for (const Expectation& e : kExpectations) {
            SCOPED_TRACE(std::string(e.extension) + (noise ? " noise" : " photo"));
            double mean = 0;
            const int worst = WriteAndRead(folder, picture, e.extension, e.bitsManyColours, &mean);
            if (e.maxDifference == 0) {
                EXPECT_EQ(worst, 0);
            } else if (!noise) {  // lossy coders are not meant for noise
                EXPECT_GE(worst, 0);
                EXPECT_LE(worst, e.maxDifference);
                EXPECT_LE(mean, e.maxMean);
            }
        }
    }
}

}  // namespace
}  // namespace lumivane::test
