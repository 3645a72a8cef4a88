#include "loading/batch.h"

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "engine/opening.h"
#include "image/Zerlin.h"
#include "image/quarter_turn.h"
#include "loading/print_settings.h"
#include "loading/save_picture.h"
#include "loading/session.h"
#include "loading/utf8.h"
#include "platform/parallel.h"

namespace lumivane {

namespace {

const char kProfileWarning[] =
    "Das Farbprofil ist beschädigt oder wird nicht unterstützt; das Bild wird ohne Umrechnung "
    "verwendet.";

// The background file as read, and turned once more for motifs of the other orientation; and
// whether it has been read and the output folder made, set once by the thread that does both
// while the first motifs are being read.
struct Backgrounds {
    dib asDesigned{};
    dib turnedOnce{};
    dib coverageAsDesigned{};  // with the frame over the motif, when it has transparency
    dib coverageTurnedOnce{};
    int fileWidth = 0, fileHeight = 0;
    std::shared_future<bool> ready;

    ~Backgrounds() {
        for (dib* d : {&asDesigned, &turnedOnce, &coverageAsDesigned, &coverageTurnedOnce})
            if (d->poi) FreeDib(*d);
    }
};

// What framing one motif came to: the message for a failure ("" when written, and also when
// the background failed: that is reported once, elsewhere), whether the failure was the
// motif's load, and whether the motif's colour profile could not be used.
struct FrameOutcome {
    std::string message;
    std::string warning;  // the photo is small for the paper; written all the same
    bool loadFailed = false;
    bool profileUnusable = false;
    bool captionOverMotif = false;  // some of the caption lies over the motif
    SaveResult saved;
};

// Checks a frame meant to go over the motif as read: a window given by hand must lie in it
// (a failure), and a frame without a window is used as without --overlay (a warning).
template <typename Report>
bool OverlayCanWork(const FramingTemplate& design, const Backgrounds& bg, Report& report) {
    const int w = bg.fileWidth, h = bg.fileHeight;
    if (const std::optional<OpeningBox>& o = design.opening;
        o && (std::int64_t(o->x) + o->width > w || std::int64_t(o->y) + o->height > h)) {
        report(design.background, "Das Fenster " + OpeningText(*o) +
                                      " liegt nicht ganz im Hintergrund (" + std::to_string(w) +
                                      " × " + std::to_string(h) + " Pixel).");
        return false;
    }
    if (!bg.coverageAsDesigned.poi || (!design.opening && !FindOpening(bg.coverageAsDesigned)))
        report(design.background,
               "Der Hintergrund hat kein transparentes Fenster; er wird wie ohne --overlay "
               "verwendet.");
    return true;
}

// Frames one motif into `session` and writes it, once the background is ready.
FrameOutcome FrameOne(const BatchSettings& s, const Backgrounds& bg, const std::string& motif,
                      const std::filesystem::path& target) {
    const FramingTemplate& design = s.design;
    FramingSession session;
    if (!session.Ready()) {
        FrameOutcome outcome;
        outcome.message = "Zu wenig Arbeitsspeicher.";
        return outcome;
    }
    ApplyFitInputs(session, design);
    session.SetReduceAnswer(design.reduceMotif);
    session.SetSmooth(design.smooth);  // before loading: the reduction averages too

    FrameOutcome outcome;
    session.SetReadOptions(s.read);
    session.SetProfileWarningHandler([&](const std::string&) { outcome.profileUnusable = true; });
    bool loadFailed = false;
    session.SetLoadFailureHandler([&](const std::string&) { loadFailed = true; });
    const bool loaded = session.OpenMotif(motif) && !loadFailed;
    // Decoding the motif overlaps decoding the background; from here on it is needed.
    if (!bg.ready.get()) return outcome;
    if (!loaded) {
        outcome.message = LoadFailureMessage(session.LastLoadFailure());
        outcome.loadFailed = true;
        return outcome;
    }
    const dib& motifImage = session.images().di;
    if (bg.asDesigned.poi) {  // none without a background file (--no-background)
        const int turns = BackgroundTurnsFor(design, bg.fileWidth, bg.fileHeight,
                                             DibWidth(motifImage), DibHeight(motifImage));
        const bool asDesigned = turns == design.backgroundTurns;
        session.UseSharedBackground(asDesigned ? bg.asDesigned : bg.turnedOnce,
                                    asDesigned ? bg.coverageAsDesigned : bg.coverageTurnedOnce);
        UseDesignOpening(session.images(), session, design, bg.fileWidth, bg.fileHeight, turns);
    }
    ApplyTemplateSettings(session.images(), session, design);
    if (s.plainNoBackground) session.SetPlainFrame(!design.marginX, !design.marginY);

    if (!session.Render()) {
        outcome.message = "Das Ergebnis ist leer oder zu groß.";
        return outcome;
    }
    if (design.caption)
        outcome.captionOverMotif = session.DrawCaption(*design.caption, motif).overMotif;
    if (const CompositionParams c = session.CompositionValues(); design.print && !c.overlay)
        outcome.warning = LowResolutionWarning(*design.print, c.zoom2Ed);
    SaveOptions save;
    save.quality = s.quality;
    save.syncFolder = s.syncFolderPerResult;
    if (design.print) save.dpi = design.print->dpi;
    if (!s.stripMetadata) save.metadata = &session.images().motifFacts.metadata;
    outcome.saved = SavePicture(session.picture(), target.string(), save);
    if (!outcome.saved.Ok()) outcome.message = SaveErrorMessage(outcome.saved.error);
    return outcome;
}

// The folder a result goes into ("." for a bare name).
std::filesystem::path FolderOf(const std::filesystem::path& target) {
    return target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
}

// Whether a failed save means that no further result can be written into `target`'s folder:
// the disk or the quota is full, or the folder is read-only, not writable or gone. A photo of
// its own (a write-protected result, a name that is a folder) does not stop the batch.
bool FolderTakesNoMore(const SaveResult& saved, const std::filesystem::path& target) {
    const std::filesystem::path parent = FolderOf(target);
    switch (saved.systemError) {
        case ENOSPC:
        case EDQUOT:
        case EROFS:
            return true;
        case EACCES:
        case EPERM:
            return ::access(parent.c_str(), W_OK | X_OK) != 0;
        case ENOENT:
        case ENOTDIR: {
            std::error_code ec;
            return !std::filesystem::is_directory(parent, ec);
        }
        default:
            return false;
    }
}

}  // namespace

void KeepMemoryBetweenPhotos() {
    // One arena, no mapping of their own for large blocks, no trimming: the pictures of one
    // photo are reused for the next. The zeroing took a tenth of a batch's CPU time, more with
    // two workers than with one. The arena limit applies only before the first thread starts.
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, INT_MAX);
}

std::string LoadFailureMessage(ReadFailure why) {
    const char* reason = "beschädigt oder unvollständig";
    switch (why) {
        case ReadFailure::NotReadable:
            reason = "nicht gefunden oder nicht lesbar";
            break;
        case ReadFailure::UnknownFormat:
            reason = "unbekanntes Format";
            break;
        case ReadFailure::TooLarge:
            reason = "zu groß";
            break;
        case ReadFailure::OutOfMemory:
            reason = "zu wenig Arbeitsspeicher";
            break;
        case ReadFailure::None:
        case ReadFailure::Damaged:
            break;
    }
    return std::string("Konnte das Bild nicht laden (") + reason + ").";
}

std::vector<std::filesystem::path> BatchTargets(const std::vector<std::string>& motifs,
                                                const std::filesystem::path& folder,
                                                const std::string& extension) {
    std::vector<std::filesystem::path> paths;
    std::map<std::string, int> used;
    for (const std::string& m : motifs) {
        const std::string stem = std::filesystem::path(m).stem().string();
        const int n = ++used[Lower(stem)];
        const std::string name = n == 1 ? stem : stem + "-" + std::to_string(n);
        paths.push_back(folder / (name + "." + extension));
    }
    return paths;
}

int BatchJobs(const BatchSettings& settings, int photos) {
    const int jobs = settings.jobs > 0 ? settings.jobs : ThreadBudget::Cores();
    return std::max(1, std::min(jobs, photos));
}

std::vector<BatchItem> BatchItemsIn(const std::vector<std::string>& motifs,
                                    const std::filesystem::path& folder,
                                    const std::string& extension) {
    const std::vector<std::filesystem::path> targets = BatchTargets(motifs, folder, extension);
    std::vector<BatchItem> items;
    for (std::size_t i = 0; i < motifs.size(); ++i) items.push_back({motifs[i], targets[i]});
    return items;
}

BatchEnd RunBatch(const BatchSettings& s, const std::vector<BatchItem>& items,
                  const BatchCallbacks& callbacks, const std::atomic<bool>* cancel) {
    std::mutex lock;  // one message or result at a time
    auto report = [&](const std::string& name, const std::string& message) {
        std::lock_guard<std::mutex> hold(lock);
        if (callbacks.message) callbacks.message(name, message);
    };
    const FramingTemplate& design = s.design;

    // The background is read on a thread of its own while the workers read their first motifs;
    // nothing is reported for a motif, and nothing written, until it has been read.
    Backgrounds bg;
    std::promise<bool> readiness;
    bg.ready = readiness.get_future().share();
    auto readBackground = [&] {
        std::string error;
        BackgroundRead read;
        ReadOptions options = s.read;
        options.keepAlpha = design.overlay;
        bg.asDesigned = OpenTemplateBackground(design.background, error, options, &read);
        if (!bg.asDesigned.poi) {
            if (s.backgroundFromTemplate)
                report("", error);  // the message names the file
            else
                report(design.background, LoadFailureMessage(read.failure));
            return false;
        }
        if (read.profile == ProfileUse::Unusable) report(design.background, kProfileWarning);
        bg.fileWidth = DibWidth(bg.asDesigned);
        bg.fileHeight = DibHeight(bg.asDesigned);
        bg.coverageAsDesigned = read.coverage.release();
        if (design.overlay && !OverlayCanWork(design, bg, report)) return false;
        if (!TurnQuarters(bg.asDesigned, design.backgroundTurns) ||
            (bg.coverageAsDesigned.poi &&
             !TurnQuarters(bg.coverageAsDesigned, design.backgroundTurns))) {
            report(design.background, "Zu wenig Arbeitsspeicher.");
            return false;
        }
        if (design.orientationMatched) {
            bg.turnedOnce = TurnDibQuarter(bg.asDesigned);
            if (bg.coverageAsDesigned.poi)
                bg.coverageTurnedOnce = TurnDibQuarter(bg.coverageAsDesigned);
            if (!bg.turnedOnce.poi || (bg.coverageAsDesigned.poi && !bg.coverageTurnedOnce.poi)) {
                report(design.background, "Zu wenig Arbeitsspeicher.");
                return false;
            }
        }
        return true;
    };
    auto prepare = [&] {
        // Without a background file (--no-background) there is nothing to read.
        if (!design.background.empty() && !readBackground()) return false;
        if (!s.outputFolder.empty()) {
            std::error_code ec;
            std::filesystem::create_directories(s.outputFolder, ec);
            if (!std::filesystem::is_directory(s.outputFolder, ec)) {
                report(s.outputFolder.string(),
                       "Der Ausgabeordner fehlt und lässt sich nicht anlegen.");
                return false;
            }
        }
        return true;
    };
    std::thread preparing([&] {
        const bool ready = prepare();
        // The decoder's working memory was taken from this thread's own heap, which keeps it
        // mapped after it is freed; handing it back keeps the peak where it was before.
        malloc_trim(0);
        readiness.set_value(ready);
    });

    const int total = static_cast<int>(items.size());
    const int jobs = BatchJobs(s, total);

    std::set<std::string> written;  // the folders the results went into, synced at the end
    std::atomic<int> next{0};
    std::atomic<int> done{0};
    std::atomic<bool> anyFailed{false};
    std::atomic<bool> folderFull{false};  // no more results can be written: stop
    std::string fullFolder;               // set by the thread that set folderFull
    auto stopping = [&] { return folderFull.load() || (cancel && cancel->load()); };
    auto worker = [&] {
        while (!stopping()) {
            const int i = next++;
            if (i >= total) return;
            const BatchItem& item = items[std::size_t(i)];
            const auto start = std::chrono::steady_clock::now();
            BatchResult result;
            result.index = std::size_t(i);
            result.file = item.motif;
            result.output = item.target.string();
            std::error_code ec;
            if (s.skipExisting && std::filesystem::is_regular_file(item.target, ec)) {
                // Results appear only complete, so one that exists is finished.
                if (!bg.ready.get()) return;
                result.status = BatchStatus::Skipped;
            } else {
                const FrameOutcome outcome = FrameOne(s, bg, item.motif, item.target);
                if (!bg.ready.get()) return;
                if (outcome.profileUnusable) result.warnings.push_back(kProfileWarning);
                if (!outcome.warning.empty()) result.warnings.push_back(outcome.warning);
                result.captionOverMotif = outcome.captionOverMotif;
                if (outcome.message.empty()) {
                    result.status = BatchStatus::Written;
                    std::lock_guard<std::mutex> hold(lock);
                    written.insert(FolderOf(item.target).string());
                } else {
                    anyFailed = true;
                    result.reason = outcome.message;
                    result.reasonSubject = outcome.loadFailed ? item.motif : result.output;
                    if (!outcome.saved.Ok() && FolderTakesNoMore(outcome.saved, item.target) &&
                        !folderFull.exchange(true))
                        fullFolder = FolderOf(item.target).string();
                }
            }
            result.ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
            std::lock_guard<std::mutex> hold(lock);
            const int n = ++done;
            if (callbacks.finished) callbacks.finished(result, n, total);
        }
    };
    {
        // The workers count against the cores, so that their split loops add helpers only where
        // a core is left over; a worker out of photos gives its core back to the photos still
        // being framed.
        std::vector<std::thread> threads;
        for (int t = 1; t < jobs; ++t) {
            auto seat = std::make_unique<ThreadBudget::Workers>(1);
            threads.emplace_back([&worker, seat = std::move(seat)] { worker(); });
        }
        worker();
        const ThreadBudget::Waiting waiting;
        for (std::thread& t : threads) t.join();
    }
    preparing.join();
    for (const std::string& folder : written) SyncFolder(folder);

    if (!bg.ready.get()) return BatchEnd::Stopped;
    if (done < total) {
        if (folderFull) {
            const int left = total - done;
            report(fullFolder,
                   (left == 1 ? std::string("Das übrige Bild wird")
                              : "Die übrigen " + std::to_string(left) + " Bilder werden") +
                       " nicht gerahmt: In diesem Ordner lassen sich keine Ergebnisse mehr "
                       "speichern.");
            return BatchEnd::Stopped;
        }
        return BatchEnd::Cancelled;
    }
    return anyFailed ? BatchEnd::SomeFailed : BatchEnd::AllWritten;
}

}  // namespace lumivane
