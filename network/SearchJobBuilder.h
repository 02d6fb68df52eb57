// The one place a search is put together: the search form, qvsearch and the tests
// build their jobs here, from the criteria, the place and the program's services.
#pragma once

#include "search/SearchJob.h"

#include <memory>

namespace qv {

class SearchServices;
class SearchSink;
struct SearchPlace;

namespace SearchJobBuilder {

// The job walks local folders, network folders and the network levels with what the
// services hold (what they lack is not walked); its stop request aborts the SMB helper,
// which the job starts afresh if the last stop killed it.
std::unique_ptr<SearchJob> build(const SearchCriteria& criteria, const SearchPlace& place,
                                 const std::shared_ptr<SearchServices>& services, SearchSink& sink);

} // namespace SearchJobBuilder
} // namespace qv
