// qvsearch's command line, turned into the values the search form would hold.
#pragma once

#include "cli/LoginOptions.h"
#include "network/SearchServices.h"
#include "search/SearchFormValues.h"

#include <string>
#include <vector>

namespace qv {

struct QvSearchOptions {
    enum class Format { Tsv, Jsonl };

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

    static const char* usage();
};

} // namespace qv
