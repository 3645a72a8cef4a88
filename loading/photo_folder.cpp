#include "loading/photo_folder.h"

#include <algorithm>
#include <set>
#include <sstream>

#include "loading/utf8.h"
#include "platform/imagelib/codecs/decoder.h"

namespace lumivane {

namespace {

// ".jpg", ".png", ...: the decoders' patterns, which are all "*.ext".
const std::set<std::string>& PhotoExtensions() {
    static const std::set<std::string> extensions = [] {
        std::set<std::string> out;
        for (const Decoder& decoder : Decoders()) {
            std::istringstream in(decoder.patterns);
            for (std::string p; in >> p;)
                if (p.size() > 2 && p.compare(0, 2, "*.") == 0) out.insert(Lower(p.substr(1)));
        }
        return out;
    }();
    return extensions;
}

bool Inside(const std::filesystem::path& file, const std::filesystem::path& folder) {
    if (folder.empty()) return false;
    const std::filesystem::path relative = file.lexically_relative(folder);
    return !relative.empty() && *relative.begin() != "..";
}

}  // namespace

bool HasPhotoExtension(const std::filesystem::path& file) {
    return PhotoExtensions().count(Lower(file.extension().string())) > 0;
}

std::vector<std::string> PhotosInFolder(const std::filesystem::path& folder, bool subfolders,
                                        const std::filesystem::path& skip) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path base = fs::weakly_canonical(fs::absolute(folder, ec), ec);
    const fs::path skipped =
        skip.empty() ? fs::path() : fs::weakly_canonical(fs::absolute(skip, ec), ec);
    std::vector<std::string> photos;
    auto consider = [&](const fs::directory_entry& entry) {
        std::error_code typeError;
        if (!entry.is_regular_file(typeError) || !HasPhotoExtension(entry.path())) return;
        if (Inside(entry.path(), skipped)) return;
        photos.push_back(entry.path().string());
    };
    const auto options = fs::directory_options::skip_permission_denied;
    if (subfolders) {
        for (fs::recursive_directory_iterator it(base, options, ec), end; !ec && it != end;
             it.increment(ec))
            consider(*it);
    } else {
        for (fs::directory_iterator it(base, options, ec), end; !ec && it != end; it.increment(ec))
            consider(*it);
    }
    std::sort(photos.begin(), photos.end());
    return photos;
}

}  // namespace lumivane
