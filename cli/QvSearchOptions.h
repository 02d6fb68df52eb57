// qvsearch's command line, turned into the values the search form would hold.
#pragma once

#include "cli/LoginOptions.h"
#include "network/SearchServices.h"
#include "search/SearchFormValues.h"
#include "search/SearchPlace.h"

#include <string>
#include <vector>

namespace qv {

struct QvSearchOptions {
    enum class Format { Tsv, Jsonl, NullPaths }; // NullPaths (-0): full paths alone, each ended by a NUL

    SearchFormValues form;
    std::string place;
    Format format = Format::Tsv;
    std::string reportFile;
    LoginOptions login;
    int jobs = SearchServices::kDefaultJobs; // computers searched at once (-j); main caps it
    bool verbose = false; // name each place inside the walk that could not be searched
    bool help = false;
    bool version = false;

    // Parses the arguments (without the program name). On bad usage returns false
    // and sets error to a one-line message.
    static bool parse(const std::vector<std::string>& args, QvSearchOptions& options, std::string& error);

    // "yyyy/M/d,H:m:s" (the time, or its seconds, may be left out).
    static bool parseTime(const std::string& text, PickerValue& value);

    // The place the PLACE word names. A bare name that is a path of this machine (a
    // folder, or anything there, so that a file gives the usual "no folder") is
    // searched there; else it is a workgroup, as in the form.
    SearchPlace searchPlace() const;

    static const char* usage();
};

} // namespace qv
