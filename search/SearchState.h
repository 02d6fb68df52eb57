// What the walks of one search share while it runs.
#pragma once

#include "results/ResultImageList.h"
#include "results/SearchSink.h"
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
    // A walk whose rows may yet be dropped counts in a state of its own, but its rows
    // refer to the search's images by index: they take them from there.
    ResultImageList* sharedImages = nullptr;
    ResultImageList& rowImages() { return sharedImages ? *sharedImages : images; }
    // The place the search was asked for could not be searched: the sink was told
    // why, and the search shows no count text.
    std::atomic<bool> placeFailed{false};

    // Tells the sink of a place that could not be searched, from any walk's thread.
    void reportFailure(SearchSink& sink, const PlaceFailure& failure)
    {
        if (failure.searchPlace)
            placeFailed.store(true);
        sink.placeFailed(failure);
    }
    DocumentCounts documentsGivenUp;         // by the content match

    // Adds what another state counted (a walk's whose rows were kept after all).
    void addCounts(const SearchState& other)
    {
        foundCount.fetch_add(other.foundCount.load());
        documentsGivenUp.overLimit.fetch_add(other.documentsGivenUp.overLimit.load());
        documentsGivenUp.encrypted.fetch_add(other.documentsGivenUp.encrypted.load());
        documentsGivenUp.damaged.fetch_add(other.documentsGivenUp.damaged.load());
    }

    // Back to the start of a search.
    void reset()
    {
        foundCount.store(0);
        placeFailed.store(false);
        currentWorkgroup.clear();
        currentComputer.clear();
        images.reset();
        documentsGivenUp.reset();
    }
};

} // namespace qv
