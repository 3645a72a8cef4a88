// The batch: one design framed onto many photos on several threads. The window's batch and
// lumivane-render both go through here, so both write the same files.
#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "loading/framing_template.h"
#include "platform/imagelib/codecs/encoder.h"
#include "platform/imagelib/read_image.h"

namespace lumivane {

struct BatchSettings {
    FramingTemplate design;  // the design, values as DesignOf gives them
    ReadOptions read;        // what the pictures are read with (orientation/profile opt-outs)
    int quality = kDefaultQuality;  // JPEG and WebP
    bool stripMetadata = false;
    bool plainNoBackground = false;  // --no-background after a template: a plain frame
    bool skipExisting = false;       // a target that exists is a finished result: not framed again
    int jobs = 0;                    // 0: all cores
    // Made (with its parents) before the first result is written; empty: none is made, and a
    // missing folder is the save's failure.
    std::filesystem::path outputFolder;
    // A background that cannot be read is named by its file in the message, as a template's
    // message does, rather than given as the message's subject.
    bool backgroundFromTemplate = false;
    // Each result's data is on disk before its atomic rename either way; the folders are synced
    // once at the end of the batch, or after every rename with this set.
    bool syncFolderPerResult = false;
};

struct BatchItem {
    std::string motif;
    std::filesystem::path target;
};

// Where each motif's result goes in `folder` with `extension`: named after the motif, two motifs
// of the same name (in any case) get distinct files, "name-2" and so on, in the list's order.
std::vector<std::filesystem::path> BatchTargets(const std::vector<std::string>& motifs,
                                                const std::filesystem::path& folder,
                                                const std::string& extension);
// The items for `motifs`, their results named by BatchTargets.
std::vector<BatchItem> BatchItemsIn(const std::vector<std::string>& motifs,
                                    const std::filesystem::path& folder,
                                    const std::string& extension);

enum class BatchStatus { Written, Skipped, Failed };

struct BatchResult {        // one per photo, reported as each finishes
    std::size_t index = 0;  // into the items
    std::string file, output;
    BatchStatus status = BatchStatus::Failed;
    std::string reason;  // German, for a failure
    // What the reason is about: the photo when it could not be read, else the result.
    std::string reasonSubject;
    std::vector<std::string> warnings;  // German (unusable colour profile, low resolution, ...)
    // Some of the caption had no room in the border and lies over the motif: a notice a
    // batch gives once, not for every photo.
    bool captionOverMotif = false;
    double ms = 0;  // wall time this photo took
};

struct BatchCallbacks {
    // A message about something other than one photo (the background, the output folder), with
    // the name it concerns (empty when the message names it itself). May be called from any
    // worker thread, never two at once.
    std::function<void(const std::string& name, const std::string& message)> message;
    // Each photo as it finishes, with how many are done of how many; never two at once.
    std::function<void(const BatchResult& result, int done, int total)> finished;
};

// AllWritten also when some were skipped. Stopped: the background could not be read, the output
// folder not made, or the folder or disk took no more results (after the photos in progress);
// `message` said why. Cancelled: `cancel` was set.
enum class BatchEnd { AllWritten, SomeFailed, Stopped, Cancelled };

// How many photos a batch of `photos` frames at once: settings.jobs, or all cores, but not more
// than there are photos and at least one.
int BatchJobs(const BatchSettings& settings, int photos);

// Frames the items on `settings.jobs` threads (the calling one among them). `cancel`, when set
// from any thread, stops the batch after the photos in progress (a result appears only complete,
// by the atomic rename). Photos not started get no `finished` call.
BatchEnd RunBatch(const BatchSettings& settings, const std::vector<BatchItem>& items,
                  const BatchCallbacks& callbacks, const std::atomic<bool>* cancel = nullptr);

// For a program that frames batches and little else (lumivane-render): the allocator keeps freed
// memory for the next photo instead of handing it back to the system, which zeroes it anew for
// every photo. Call before any thread starts; the peak stays what the largest photos need.
void KeepMemoryBetweenPhotos();

// "Konnte das Bild nicht laden (...)." for a picture that could not be read.
std::string LoadFailureMessage(ReadFailure why);

}  // namespace lumivane
