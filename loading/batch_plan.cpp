#include "loading/batch_plan.h"

#include <set>

namespace lumivane {

BatchPlan PlanBatch(const std::vector<std::string>& motifs, const std::filesystem::path& folder,
                    const std::string& extension) {
    namespace fs = std::filesystem;
    std::set<fs::path> photos;
    for (const std::string& motif : motifs) {
        std::error_code ec;
        photos.insert(fs::weakly_canonical(motif, ec));
    }
    const std::vector<fs::path> targets = BatchTargets(motifs, folder, extension);
    BatchPlan plan;
    for (std::size_t i = 0; i < motifs.size(); ++i) {
        std::error_code ec;
        if (fs::exists(targets[i], ec)) {
            ++plan.existing;
            plan.replacesPhoto |= photos.count(fs::weakly_canonical(targets[i], ec)) > 0;
        }
        plan.items.push_back({motifs[i], targets[i]});
    }
    return plan;
}

}  // namespace lumivane
