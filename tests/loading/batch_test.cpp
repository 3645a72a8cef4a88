// The batch stops, keeping what it wrote, once its output folder takes no more results.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <string>
#include <vector>

#include "loading/batch.h"

namespace lumivane {
namespace {

namespace fs = std::filesystem;

TEST(Batch, AFolderThatGoesAwayStopsTheBatchAfterThePhotoInProgress) {
    const fs::path dir = fs::temp_directory_path() / "lumivane-batch-folder-gone";
    fs::remove_all(dir);
    fs::create_directories(dir);
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(qRgb(200, 100, 50));
    std::vector<std::string> motifs;
    for (const char* name : {"a.png", "b.png", "c.png", "d.png"}) {
        motifs.push_back((dir / name).string());
        ASSERT_TRUE(image.save(QString::fromStdString(motifs.back())));
    }
    BatchSettings settings;
    settings.design.background = motifs[0];
    settings.jobs = 1;
    settings.outputFolder = dir / "out";
    const std::vector<BatchItem> items = BatchItemsIn(motifs, settings.outputFolder, "png");

    std::vector<BatchStatus> finished;
    std::vector<std::string> messages;
    BatchCallbacks callbacks;
    callbacks.message = [&](const std::string&, const std::string& m) { messages.push_back(m); };
    callbacks.finished = [&](const BatchResult& r, int, int) {
        finished.push_back(r.status);
        // The stick is pulled: the folder and what was written into it are elsewhere now.
        if (finished.size() == 1) fs::rename(settings.outputFolder, dir / "moved");
    };
    EXPECT_EQ(RunBatch(settings, items, callbacks), BatchEnd::Stopped);
    EXPECT_EQ(finished, (std::vector<BatchStatus>{BatchStatus::Written, BatchStatus::Failed}));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0],
              "Die übrigen 2 Bilder werden nicht gerahmt: In diesem Ordner lassen sich keine "
              "Ergebnisse mehr speichern.");
    EXPECT_TRUE(fs::is_regular_file(dir / "moved" / "a.png"));
    fs::remove_all(dir);
}

}  // namespace
}  // namespace lumivane
