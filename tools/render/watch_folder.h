// lumivane-render --watch: frames every photo that appears in a folder, until Ctrl-C or SIGTERM.
#pragma once

#include <filesystem>
#include <string>

#include "loading/batch.h"

namespace lumivane {

// Whether two paths name the same folder, also when one of them does not exist yet.
bool SameFolder(const std::filesystem::path& a, const std::filesystem::path& b);

// Frames the photos in `folder` that have no result in `settings.outputFolder` yet, then each
// photo that appears or changes there once it is complete, into a file named as BatchTargets
// names it with `extension`. A photo that fails is reported and tried again only when it
// changes. Messages go to `callbacks`. Returns 0 after SIGINT or SIGTERM (the photos in progress
// are finished first), 1 when the folder, the background or the output folder failed.
int WatchFolder(const std::filesystem::path& folder, const std::string& extension,
                BatchSettings settings, const BatchCallbacks& callbacks);

}  // namespace lumivane
