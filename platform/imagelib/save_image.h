// Saving the composed picture to a file, safely: the picture is written to a new temporary file
// beside the target and renamed over the target only once it is complete and on disk. Whatever
// fails, the temporary file is removed and an existing target keeps its content.
//
// A target that is a symbolic link is written through: the file the link points to gets the new
// content and the link stays a link. An existing target keeps its permission bits (and, where
// the system allows, its owner). A target that exists but is write-protected is not replaced.
#pragma once

#include <string>
#include <string_view>

#include "platform/imagelib/codecs/encoder.h"
#include "platform/imagelib/photo_metadata.h"

namespace lumivane {

enum class SaveError {
    kNone,
    kUnknownFormat,   // the extension names no writable format
    kEmptyPicture,    // nothing to save (width or height 0)
    kTooLarge,        // the picture is larger than the format can hold
    kFolderNotFound,  // a folder on the way does not exist (or is a file)
    kNoPermission,    // the folder or the existing file may not be written
    kReadOnly,        // the file system is mounted read-only
    kNoSpace,         // the disk (or the quota) is full
    kFileTooBig,      // the file system cannot hold a file this large
    kIsFolder,        // the name is that of a folder
    kNotAFile,        // the name is that of a device, pipe or socket
    kBadName,         // the name is too long or otherwise not allowed
    kOutOfMemory,     // not enough memory to encode
    kEncoderFailed,   // the codec gave up
    kWriteError,      // any other system error while writing
};

struct SaveResult {
    SaveError error = SaveError::kNone;
    int systemError = 0;  // errno behind the failure, 0 if none

    bool Ok() const { return error == SaveError::kNone; }
};

struct SaveOptions {
    int quality = kDefaultQuality;  // 1 to 100, for JPEG and WebP
    // Written into formats that have a place for it; none (or empty) leaves the file as the
    // encoder wrote it.
    const PhotoMetadata* metadata = nullptr;
    // The print resolution in dots per inch, written into every format that has a place for
    // it; 0 writes none and leaves the file exactly as without a print format.
    int dpi = 0;
    // False leaves the folder's entry for the file to the caller's SyncFolder, once after many
    // saves. The file's data is on disk before its rename either way, so a file found under the
    // target's name is always complete; only the rename itself may be lost to a power cut.
    bool syncFolder = true;
};

// Writes the picture in the format that the extension of `path` names (case does not matter).
SaveResult SaveImage(const std::string& path, const Bgrx32View& picture,
                     const SaveOptions& options = {});

// Makes the names saved into `folder` durable (best effort: the saves are done either way).
void SyncFolder(const std::string& folder);

// Writes `bytes` as the whole file, with the same safe replacement as SaveImage.
SaveResult SaveBytes(const std::string& path, std::string_view bytes);

// The reason in German, without a full stop, e.g. "Keine Berechtigung".
std::string_view SaveErrorReason(SaveError error);

// The whole message for the user, e.g.
// "Das Bild konnte nicht gespeichert werden: Keine Berechtigung."
std::string SaveErrorMessage(SaveError error);

}  // namespace lumivane
