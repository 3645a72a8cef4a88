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
    BatchPlan plan;
    plan.items = BatchItemsIn(motifs, folder, extension);
    for (const BatchItem& item : plan.items) {
        std::error_code ec;
        if (fs::exists(item.target, ec)) {
            ++plan.existing;
            plan.replacesPhoto |= photos.count(fs::weakly_canonical(item.target, ec)) > 0;
        }
    }
    return plan;
}

}  // namespace lumivane
