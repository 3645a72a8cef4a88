// What a batch chosen in the window comes to before it starts: its items, and what is in the
// way of their results.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "loading/batch.h"

namespace lumivane {

struct BatchPlan {
    std::vector<BatchItem> items;
    int existing = 0;  // results there already
    // A result would take the place of one of the batch's own photos (the photos' folder chosen
    // as output, with their format): such a batch must not start.
    bool replacesPhoto = false;
};

// The items for `motifs` with their results in `folder` as BatchTargets names them.
BatchPlan PlanBatch(const std::vector<std::string>& motifs, const std::filesystem::path& folder,
                    const std::string& extension);

}  // namespace lumivane
