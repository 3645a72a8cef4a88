#include "platform/imagelib/save_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <new>
#include <random>

#include "platform/imagelib/codecs/output_file.h"
#include "platform/imagelib/library_messages.h"

namespace lumivane {

namespace {

constexpr int kMaxLinkDepth = 40;
constexpr std::size_t kMaxBaseInTempName = 64;

SaveResult Failure(SaveError error, int systemError = 0) {
    return {error, systemError};
}

SaveResult SystemFailure(int err) {
    switch (err) {
        case EACCES:
        case EPERM:
            return Failure(SaveError::kNoPermission, err);
        case EROFS:
            return Failure(SaveError::kReadOnly, err);
        case ENOSPC:
        case EDQUOT:
            return Failure(SaveError::kNoSpace, err);
        case EFBIG:
            return Failure(SaveError::kFileTooBig, err);
        case ENOENT:
        case ENOTDIR:
            return Failure(SaveError::kFolderNotFound, err);
        case EISDIR:
            return Failure(SaveError::kIsFolder, err);
        case ENAMETOOLONG:
        case ELOOP:
        case EINVAL:
        case EILSEQ:
            return Failure(SaveError::kBadName, err);
        case ENOMEM:
            return Failure(SaveError::kOutOfMemory, err);
        default:
            return Failure(SaveError::kWriteError, err);
    }
}

std::string ParentOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links to the file that will actually receive the picture. A dangling link
// gives the path it points to, which is then created.
SaveResult ResolveLinks(std::string& path) {
    for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return {};
        std::string link(std::size_t(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0) return SystemFailure(errno);
        if (std::size_t(n) >= link.size()) return Failure(SaveError::kBadName, ENAMETOOLONG);
        link.resize(std::size_t(n));
        path = link.front() == '/' ? link : ParentOf(path) + "/" + link;
    }
    return Failure(SaveError::kBadName, ELOOP);
}

// Creates a new, empty file with a name of its own in `folder`; the fd, or -errno.
int CreateTemporary(const std::string& folder, const std::string& base, std::string& name) {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    const std::string stem = folder + "/." + base.substr(0, kMaxBaseInTempName) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = stem + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
               std::to_string(random() & 0xFFFFFF) + ".tmp";
        const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        if (errno != EEXIST) return -errno;
    }
    return -EEXIST;
}

// Encodes, adds the metadata and makes the data durable; the picture is in `fd` when this
// succeeds.
SaveResult WriteAll(int fd, const Encoder& encoder, const Bgrx32View& picture,
                    const SaveOptions& options) {
    EncodeResult encoded;
    OutputFile out(fd);
    try {
        encoded = encoder.encodeAtQuality && options.quality != kDefaultQuality
                      ? encoder.encodeAtQuality(picture, out, options.quality)
                      : encoder.encode(picture, out);
        out.Flush();
    } catch (const std::bad_alloc&) {
        return Failure(SaveError::kOutOfMemory, ENOMEM);
    } catch (...) {
        return Failure(SaveError::kEncoderFailed);
    }
    // A system error explains an encoder failure better than the encoder can.
    if (out.Failed()) return SystemFailure(out.Error());
    if (encoded == EncodeResult::kTooLarge) return Failure(SaveError::kTooLarge);
    if (encoded != EncodeResult::kOk) return Failure(SaveError::kEncoderFailed);
    if (::ftruncate(fd, off_t(out.Size())) != 0) return SystemFailure(errno);
    const PhotoMetadata none;
    const PhotoMetadata* metadata = encoder.carriesMetadata ? options.metadata : nullptr;
    if (!metadata && picture.dpi > 0 && encoder.resolutionInExif) metadata = &none;
    if (metadata) {
        const int error = WritePhotoMetadata(fd, out.Size(), *metadata, picture.width,
                                             picture.height, picture.dpi);
        if (error != 0) return SystemFailure(error);
    }
    if (::fsync(fd) != 0) return SystemFailure(errno);
    return {};
}

// The safe replacement both savers share: `write` fills a new temporary file beside the target,
// which then takes the target's place.
SaveResult SaveThrough(const std::string& path, const std::function<SaveResult(int fd)>& write,
                       bool syncFolder = true) {
    std::string target = path;
    if (SaveResult r = ResolveLinks(target); !r.Ok()) return r;

    struct stat existing;
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists) {
        if (S_ISDIR(existing.st_mode)) return Failure(SaveError::kIsFolder, EISDIR);
        if (!S_ISREG(existing.st_mode)) return Failure(SaveError::kNotAFile);
        // A write-protected file is not silently replaced just because its folder is writable.
        if (::access(target.c_str(), W_OK) != 0) return SystemFailure(errno);
    }

    const std::string folder = ParentOf(target);
    std::string temporary;
    const int fd = CreateTemporary(folder, BaseOf(target), temporary);
    if (fd < 0) return SystemFailure(-fd);
    if (exists) {
        // Owner first: changing it clears set-id bits that the mode then restores. Giving the
        // file away fails unless we may; then the file is ours, which is fine.
        (void)!::fchown(fd, existing.st_uid, existing.st_gid);
        (void)!::fchmod(fd, existing.st_mode & 07777);
    }

    SaveResult result = write(fd);
    if (::close(fd) != 0 && result.Ok()) result = SystemFailure(errno);
    if (result.Ok() && ::rename(temporary.c_str(), target.c_str()) != 0)
        result = SystemFailure(errno);
    if (!result.Ok()) {
        ::unlink(temporary.c_str());
        return result;
    }
    if (syncFolder) SyncFolder(folder);
    return result;
}

SaveResult WriteBytes(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return SystemFailure(errno);
        }
        bytes.remove_prefix(std::size_t(n));
    }
    if (::fsync(fd) != 0) return SystemFailure(errno);
    return {};
}

}  // namespace

SaveResult SaveImage(const std::string& path, const Bgrx32View& picture,
                     const SaveOptions& options) {
    RouteLibraryMessages();
    const Encoder* encoder = EncoderForFileName(path);
    if (!encoder) return Failure(SaveError::kUnknownFormat);
    if (picture.Empty()) return Failure(SaveError::kEmptyPicture);
    Bgrx32View view = picture;
    view.dpi = options.dpi;
    return SaveThrough(
        path, [&](int fd) { return WriteAll(fd, *encoder, view, options); }, options.syncFolder);
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);  // best effort: the rename is done either way
    ::close(fd);
}

SaveResult SaveBytes(const std::string& path, std::string_view bytes) {
    return SaveThrough(path, [&](int fd) { return WriteBytes(fd, bytes); });
}

std::string_view SaveErrorReason(SaveError error) {
    switch (error) {
        case SaveError::kNone:
            return "";
        case SaveError::kUnknownFormat:
            return "Unbekanntes Dateiformat";
        case SaveError::kEmptyPicture:
            return "Das Bild ist leer";
        case SaveError::kTooLarge:
            return "Das Bild ist zu groß für dieses Dateiformat";
        case SaveError::kFolderNotFound:
            return "Ordner nicht gefunden";
        case SaveError::kNoPermission:
            return "Keine Berechtigung";
        case SaveError::kReadOnly:
            return "Das Laufwerk ist schreibgeschützt";
        case SaveError::kNoSpace:
            return "Kein Speicherplatz mehr";
        case SaveError::kFileTooBig:
            return "Die Datei ist zu groß für das Laufwerk";
        case SaveError::kIsFolder:
            return "Unter diesem Namen gibt es schon einen Ordner";
        case SaveError::kNotAFile:
            return "Unter diesem Namen gibt es schon etwas, das keine Datei ist";
        case SaveError::kBadName:
            return "Ungültiger Dateiname";
        case SaveError::kOutOfMemory:
            return "Nicht genug Arbeitsspeicher";
        case SaveError::kEncoderFailed:
            return "Fehler beim Umwandeln in das Dateiformat";
        case SaveError::kWriteError:
            return "Fehler beim Schreiben der Datei";
    }
    return "Unbekannter Fehler";
}

std::string SaveErrorMessage(SaveError error) {
    return "Das Bild konnte nicht gespeichert werden: " + std::string(SaveErrorReason(error)) + ".";
}

}  // namespace lumivane
