// What the walks of one search share while it runs.
#pragma once

#include "results/ResultImageList.h"
#include "search/DocumentCounts.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace qv {

struct SearchState {
    std::atomic<std::int64_t> foundCount{0}; // rows added by this search
    std::string currentWorkgroup;            // set by the network walk
    std::string currentComputer;
    ResultImageList images;                  // ten fixed images, then file icons
    DocumentCounts documentsGivenUp;         // by the content match

    // Back to the start of a search.
    void reset()
    {
        foundCount.store(0);
        currentWorkgroup.clear();
        currentComputer.clear();
        images.reset();
        documentsGivenUp.reset();
    }
};

} // namespace qv
