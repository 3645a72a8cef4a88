// The photos in a folder, for a batch chosen by folder rather than file by file.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace lumivane {

// True when the file's extension is one the open dialog lists (any case).
bool HasPhotoExtension(const std::filesystem::path& file);

// The photo files in `folder` (and in its subfolders when asked), sorted by path so that a
// batch's order, and the numbers given to equal names, do not depend on the file system.
// Files under `skip` (the batch's output folder, when it lies inside) are left out, so a second
// run does not frame the first one's results. Folders that cannot be read are passed over;
// links to folders are not followed, so a link loop cannot make the list endless.
std::vector<std::string> PhotosInFolder(const std::filesystem::path& folder, bool subfolders,
                                        const std::filesystem::path& skip = {});

}  // namespace lumivane
