// SaveImage: the format by extension, replacing a file only when the new one is complete, and
// the failure kinds with their German messages.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/imagelib/save_image.h"
#include "tests/platform/imagelib/writer_test_util.h"

namespace lumivane::test {
namespace {

const std::vector<std::uint8_t> kOldContent = {'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'};

// A folder holding one existing file; after a failed save the file must be unchanged and
// nothing else may be left behind.
class FailedSave : public ::testing::Test {
  protected:
    void Existing(const std::string& name) {
        name_ = name;
        WriteBytes(folder_.File(name), kOldContent);
    }
    void ExpectUntouched() {
        if (!name_.empty()) {
            EXPECT_EQ(ReadBytes(folder_.File(name_)), kOldContent);
        }
        EXPECT_EQ(folder_.OtherEntries(name_), std::vector<std::string>{});
    }

    ScratchFolder folder_;
    std::string name_;
    Picture picture_ = NoisePicture(200, 150);
};

TEST_F(FailedSave, UnknownOrMissingExtension) {
    for (const char* name : {"old.xyz", "old", ".png"}) {
        Existing(name);
        EXPECT_EQ(SaveImage(folder_.File(name), picture_.View()).error, SaveError::kUnknownFormat)
            << name;
        ExpectUntouched();
        std::filesystem::remove(folder_.File(name));
    }
}

TEST_F(FailedSave, MissingFolderOrFolderThatIsAFile) {
    Existing("file.txt");
    EXPECT_EQ(SaveImage(folder_.File("missing/new.png"), picture_.View()).error,
              SaveError::kFolderNotFound);
    EXPECT_EQ(SaveImage(folder_.File("file.txt/new.png"), picture_.View()).error,
              SaveError::kFolderNotFound);
    ExpectUntouched();
}

TEST_F(FailedSave, FoldersEvenRootCannotWriteTo) {
    const SaveResult proc = SaveImage("/proc/lumivane-test.png", picture_.View());
    EXPECT_FALSE(proc.Ok());
    EXPECT_FALSE(std::filesystem::exists("/proc/lumivane-test.png"));
    const SaveResult sys = SaveImage("/sys/lumivane-test.png", picture_.View());
    EXPECT_TRUE(sys.error == SaveError::kNoPermission || sys.error == SaveError::kReadOnly)
        << SaveErrorMessage(sys.error);
}

TEST_F(FailedSave, WriteErrorHalfwayKeepsTheOldFile) {
    // A file size limit makes the system refuse the write part-way, as a full disk would.
    Existing("picture.bmp");
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const SaveResult bmp = SaveImage(folder_.File("picture.bmp"), picture_.View());
    const SaveResult jp2 = SaveImage(folder_.File("picture.jp2"), picture_.View());
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(bmp.error, SaveError::kFileTooBig);
    EXPECT_EQ(bmp.systemError, EFBIG);
    EXPECT_EQ(jp2.error, SaveError::kFileTooBig);
    ExpectUntouched();
}

TEST_F(FailedSave, PictureTheFormatCannotHoldOrNoPicture) {
    Existing("picture.webp");
    const Picture wide(16384, 1);  // WebP's limit is 16383 a side
    EXPECT_EQ(SaveImage(folder_.File("picture.webp"), wide.View()).error, SaveError::kTooLarge);
    EXPECT_EQ(SaveImage(folder_.File("picture.webp"), Bgrx32View{}).error,
              SaveError::kEmptyPicture);
    ExpectUntouched();
}

TEST_F(FailedSave, NameOfAFolder) {
    std::filesystem::create_directory(folder_.File("album.png"));
    EXPECT_EQ(SaveImage(folder_.File("album.png"), picture_.View()).error, SaveError::kIsFolder);
    EXPECT_TRUE(std::filesystem::is_directory(folder_.File("album.png")));
    EXPECT_EQ(folder_.OtherEntries("album.png"), std::vector<std::string>{});
}

TEST(SaveImage, ReplacesAnExistingFileAndKeepsItsPermissions) {
    ScratchFolder folder;
    const std::string path = folder.File("result.png");
    WriteBytes(path, kOldContent);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const Picture picture = NoisePicture(9, 4);
    ASSERT_TRUE(SaveImage(path, picture.View()).Ok());
    EXPECT_EQ(MaxChannelDifference(picture, ReadWithQt(path)), 0);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(folder.OtherEntries("result.png"), std::vector<std::string>{});

    // A new file gets the usual permissions, not the private ones of a temporary file.
    const mode_t mask = ::umask(022);
    ASSERT_TRUE(SaveImage(folder.File("new.png"), picture.View()).Ok());
    ::umask(mask);
    ASSERT_EQ(::stat(folder.File("new.png").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST(SaveImage, WritesThroughASymbolicLink) {
    ScratchFolder folder;
    std::filesystem::create_directory(folder.File("real"));
    WriteBytes(folder.File("real/picture.bmp"), kOldContent);
    std::filesystem::create_symlink("real/picture.bmp", folder.File("link.bmp"));
    std::filesystem::create_symlink("real/later.bmp", folder.File("dangling.bmp"));
    const Picture picture = NoisePicture(5, 6);

    ASSERT_TRUE(SaveImage(folder.File("link.bmp"), picture.View()).Ok());
    EXPECT_TRUE(std::filesystem::is_symlink(folder.File("link.bmp")));
    EXPECT_EQ(MaxChannelDifference(picture, ReadWithQt(folder.File("real/picture.bmp"))), 0);

    ASSERT_TRUE(SaveImage(folder.File("dangling.bmp"), picture.View()).Ok());
    EXPECT_TRUE(std::filesystem::is_symlink(folder.File("dangling.bmp")));
    EXPECT_EQ(MaxChannelDifference(picture, ReadWithQt(folder.File("real/later.bmp"))), 0);
    std::vector<std::string> inReal;
    for (const auto& e : std::filesystem::directory_iterator(folder.File("real")))
        inReal.push_back(e.path().filename().string());
    std::sort(inReal.begin(), inReal.end());
    EXPECT_EQ(inReal, (std::vector<std::string>{"later.bmp", "picture.bmp"}));
}

TEST(SaveImage, GermanMessages) {
    EXPECT_EQ(SaveErrorMessage(SaveError::kNoPermission),
              "Das Bild konnte nicht gespeichert werden: Keine Berechtigung.");
    EXPECT_EQ(SaveErrorMessage(SaveError::kNoSpace),
              "Das Bild konnte nicht gespeichert werden: Kein Speicherplatz mehr.");
    EXPECT_EQ(SaveErrorReason(SaveError::kFolderNotFound), "Ordner nicht gefunden");
    EXPECT_EQ(SaveErrorReason(SaveError::kUnknownFormat), "Unbekanntes Dateiformat");
}

TEST(WriterTable, ChoosesByExtensionAndListsEveryWritableFormat) {
    EXPECT_EQ(EncoderForFileName("/a.b/Photo.JPG"), FindEncoder("jpg"));
    EXPECT_EQ(FindEncoder(".Jif"), FindEncoder("jpeg"));
    EXPECT_EQ(EncoderForFileName("/a.png/noextension"), nullptr);
    EXPECT_EQ(EncoderForFileName("photo."), nullptr);
    const std::vector<std::string> all = WritableExtensions();
    for (const char* ext : {"bmp", "dib", "gif", "iff", "jif", "jpg", "lbm", "pcx", "rle", "tga",
                            "tif", "jp2", "png", "webp"}) {
        EXPECT_NE(FindEncoder(ext), nullptr) << ext;
        EXPECT_NE(std::find(all.begin(), all.end(), ext), all.end()) << ext;
    }
    const std::string filter = SaveDialogFilter();
    EXPECT_EQ(filter.rfind("JPEG-Bild (*.jpg *.jif *.jpeg);;PNG-Bild (*.png);;", 0), 0u) << filter;
    EXPECT_NE(filter.find("IFF-Bild (*.iff *.lbm)"), std::string::npos);
}

}  // namespace
}  // namespace lumivane::test
