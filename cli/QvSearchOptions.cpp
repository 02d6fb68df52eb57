#include "cli/QvSearchOptions.h"

#include "search/TypeTable.h"

#include <cstdio>
#include <getopt.h>
#include <optional>
#include <string_view>
#include <sys/stat.h>

namespace qv {
namespace {

std::optional<long long> wholeNumber(const std::string& text, long long maximum)
{
    if (text.empty() || text.size() > 18)
        return std::nullopt;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > maximum)
        return std::nullopt;
    return value;
}

bool takeNumbers(const std::string& text, char separator, std::vector<int>& out)
{
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        const auto n = wholeNumber(text.substr(start, end == std::string::npos ? std::string::npos : end - start), 99999);
        if (!n)
            return false;
        out.push_back(static_cast<int>(*n));
        if (end == std::string::npos)
            return true;
        start = end + 1;
    }
}

// Options without a letter of their own get codes above any character.
enum LongOnly : int {
    OptNoSubfolders = 256,
    OptTimeType,
    OptFrom,
    OptTo,
    OptMinKb,
    OptMaxKb,
    OptFormat,
    OptReport,
    OptNoDocuments,
};

// A leading ':' lets a missing value be told from an unknown option.
constexpr char kShortOptions[] = ":n:t:c:hVU:A:j:v0";

constexpr option kLongOptions[] = {
    {"name", required_argument, nullptr, 'n'},
    {"type", required_argument, nullptr, 't'},
    {"contains", required_argument, nullptr, 'c'},
    {"no-documents", no_argument, nullptr, OptNoDocuments},
    {"no-subfolders", no_argument, nullptr, OptNoSubfolders},
    {"time-type", required_argument, nullptr, OptTimeType},
    {"from", required_argument, nullptr, OptFrom},
    {"to", required_argument, nullptr, OptTo},
    {"min-kb", required_argument, nullptr, OptMinKb},
    {"max-kb", required_argument, nullptr, OptMaxKb},
    {"format", required_argument, nullptr, OptFormat},
    {"null", no_argument, nullptr, '0'},
    {"report", required_argument, nullptr, OptReport},
    {"user", required_argument, nullptr, 'U'},
    {"authentication-file", required_argument, nullptr, 'A'},
    {"jobs", required_argument, nullptr, 'j'},
    {"verbose", no_argument, nullptr, 'v'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

// The long option a code stands for, "--" included, as errors name it.
std::string longName(int code)
{
    for (const option* o = kLongOptions; o->name; ++o)
        if (o->val == code)
            return std::string("--") + o->name;
    return "-" + std::string(1, static_cast<char>(code));
}

// getopt_long reports an unknown, an ambiguous and a misused long option alike;
// the user is told which of them it was.
std::string longOptionError(const std::string& arg)
{
    const std::size_t eq = arg.find('=');
    const std::string typed = arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
    std::vector<std::string> matches;
    for (const option* o = kLongOptions; o->name; ++o) {
        if (typed == o->name) {
            matches.assign(1, o->name);
            if (o->has_arg == no_argument && eq != std::string::npos)
                return "option '--" + typed + "' takes no value";
            break;
        }
        if (std::string_view(o->name).substr(0, typed.size()) == typed) {
            matches.push_back(o->name);
            if (o->has_arg == no_argument && eq != std::string::npos)
                matches.back() += "=";
        }
    }
    if (matches.size() == 1 && matches.front().back() == '=')
        return "option '--" + typed + "' (--" + matches.front().substr(0, matches.front().size() - 1) +
               ") takes no value";
    if (matches.size() > 1) {
        std::string text = "option '--" + typed + "' is ambiguous:";
        for (std::string& m : matches) {
            if (m.back() == '=')
                m.pop_back();
            text += " --" + m;
        }
        return text;
    }
    return "unknown option '" + arg.substr(0, eq) + "' (see qvsearch --help)";
}

} // namespace

const char* QvSearchOptions::usage()
{
    return "Usage: qvsearch [options] [PLACE]\n"
           "Searches PLACE as the search form would and prints one row per line.\n"
           "\n"
           "PLACE: empty or \"ネットワーク全体\" the entire network; \\\\HOST a computer,\n"
           "  \\\\HOST\\share a share, deeper a folder of a share; a path of this machine\n"
           "  (with or without \"/\": docs, ./docs, /srv) a local folder; a bare name that is\n"
           "  no path here a workgroup.\n"
           "\n"
           "  -n, --name TEXT      name patterns, separated by \";\" (\"*\" and \"?\" as wildcards);\n"
           "                       a plain word (no \"*\" or \"?\") matches as *word*, a pattern\n"
           "                       the whole name; case does not count\n"
           "  -t, --type N         0 全部, 1 ファイル、フォルダ, 2 共有フォルダ, 3 コンピューター,\n"
           "                       4 グループ, 5 プリンター (default 0)\n"
           "  -c, --contains TEXT  files must contain one of these strings (\";\"-separated)\n"
           "      --no-documents   search office documents (docx, xlsx, pptx, odt, ods, odp) and\n"
           "                       PDFs as their bytes, not by their text\n"
           "      --no-subfolders  do not search sub-folders\n"
           "      --time-type N    0 更新時間, 1 新規時間, 2 アクセス時間 (with --from/--to)\n"
           "      --from T         times from T on, T as yyyy/M/d,H:m:s in local time\n"
           "      --to T           times up to T\n"
           "      --min-kb N       sizes of at least N kilobytes (the other bound is 0 if not given)\n"
           "      --max-kb N       sizes of at most N kilobytes\n"
           "      --format F       tsv (default: nine cells separated by tabs) or jsonl\n"
           "  -0, --null           print each full path alone, ended by a NUL (for xargs -0)\n"
           "      --report FILE    also write the result list (newest first) as an HTML report;\n"
           "                       the file is replaced only when the whole report was written\n"
           "  -U, --user U[%P]     log in to SMB servers as user U (DOMAIN\\U) with password P\n"
           "  -A, --authentication-file FILE\n"
           "                       read username = , password = , domain = lines from FILE\n"
           "                       (without either: guest access, or a Kerberos ticket if there is one)\n"
           "  -j, --jobs N         search up to N computers at once, each through an SMB helper\n"
           "                       of its own (default 4; 1 one after the other; at most 16);\n"
           "                       in a computer, share or folder place, list its folders\n"
           "                       ahead with N-1 more helpers. The rows and their order\n"
           "                       are the same whatever N is\n"
           "  -v, --verbose        name each folder, share or computer inside the walk that\n"
           "                       could not be searched (without it they are only counted)\n"
           "  -h, --help           show this help\n"
           "  -V, --version        show the version\n"
           "\n"
           "A place inside the walk that cannot be searched is passed over; the end of the\n"
           "run says how many (\"2 folders could not be read\").\n"
           "\n"
           "Exit status:\n"
           "  0 the search ran to its end\n"
           "  1 it was stopped: Ctrl-C, or the reader of the rows closed the pipe (| head),\n"
           "    which ends the run without a word\n"
           "  2 bad usage; nothing was searched\n"
           "  3 the report file could not be written\n"
           "  4 the place could not be searched at all (it does not exist, is no folder, or\n"
           "    cannot be reached), or the SMB helper qv-smb could not be started; one line\n"
           "    on standard error says which place and why\n"
           "  5 the rows could not be written to standard output (a full disk, a closed output)\n"
           "  6 an error ended the search (memory running out)\n"
           "Where more than one holds, the status is the first of 5, 6, 3, 4, 1.\n";
}

SearchPlace QvSearchOptions::searchPlace() const
{
    SearchPlace found = SearchPlace::fromText(place);
    struct stat status;
    if (found.level == LevelWorkgroup && lstat(place.c_str(), &status) == 0)
        return SearchPlace::localFolder(place);
    return found;
}

bool QvSearchOptions::parseTime(const std::string& text, PickerValue& value)
{
    const std::size_t comma = text.find(',');
    std::vector<int> date, time;
    if (!takeNumbers(text.substr(0, comma), '/', date) || date.size() != 3)
        return false;
    if (comma != std::string::npos && (!takeNumbers(text.substr(comma + 1), ':', time) || time.size() < 2 || time.size() > 3))
        return false;
    time.resize(3, 0);
    static constexpr int kDaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int year = date[0], month = date[1], day = date[2];
    if (year < 1970 || year > 9999 || month < 1 || month > 12 || day < 1 || day > kDaysInMonth[month - 1])
        return false;
    if (month == 2 && day == 29 && !(year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)))
        return false;
    if (time[0] > 23 || time[1] > 59 || time[2] > 59)
        return false;
    value = {true, year, month, day, time[0], time[1], time[2]};
    return true;
}

bool QvSearchOptions::parse(const std::vector<std::string>& args, QvSearchOptions& options, std::string& error)
{
    // getopt_long wants a program name and writable words; it may reorder the words,
    // which are copies.
    std::vector<std::string> words;
    words.reserve(args.size() + 1);
    words.emplace_back("qvsearch");
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(words.size());

    // getopt_long keeps its place in globals: 0 starts it afresh, and its own messages
    // are off, as the errors here name the option the way the user typed it.
    optind = 0;
    opterr = 0;
    bool formatGiven = false;
    bool nullGiven = false;
    for (;;) {
        const int code = getopt_long(argc, argv.data(), kShortOptions, kLongOptions, nullptr);
        if (code == -1)
            break;
        const std::string typed = optind > 0 && optind <= argc ? argv[optind - 1] : "";
        if (code == ':') {
            error = "option '" + (typed.rfind("--", 0) == 0 ? longName(optopt) : "-" + std::string(1, static_cast<char>(optopt))) +
                    "' needs a value";
            return false;
        }
        if (code == '?') {
            // A letter unknown inside a group ("-vq") may leave the word before it as
            // the last one taken: only an unknown long option sets no optopt, and only
            // one without a value is refused with one.
            bool longOption = typed.rfind("--", 0) == 0 && optopt == 0;
            for (const option* o = kLongOptions; o->name && optopt != 0; ++o)
                if (o->val == optopt && o->has_arg == no_argument && typed.rfind("--", 0) == 0 &&
                    typed.find('=') != std::string::npos)
                    longOption = true;
            if (!longOption) {
                error = "unknown option '-" + std::string(1, static_cast<char>(optopt)) + "' (see qvsearch --help)";
            } else {
                error = longOptionError(typed);
            }
            return false;
        }
        const std::string value = optarg ? optarg : "";
        const std::string name = longName(code);
        SearchFormValues& form = options.form;
        if (name == "--help") {
            options.help = true;
        } else if (name == "--verbose") {
            options.verbose = true;
        } else if (name == "--version") {
            options.version = true;
        } else if (name == "--name") {
            form.nameText = value;
        } else if (name == "--type") {
            const auto n = wholeNumber(value, TypeTable::kRowCount - 1);
            if (!n) {
                error = "--type takes a number from 0 to 5, not '" + value + "'";
                return false;
            }
            form.typeIndex = static_cast<int>(*n);
        } else if (name == "--contains") {
            form.containing = CheckState::Checked;
            form.containingText = value;
        } else if (name == "--no-documents") {
            form.documents = CheckState::Unchecked;
        } else if (name == "--no-subfolders") {
            form.subFolders = CheckState::Unchecked;
        } else if (name == "--time-type" || name == "--from" || name == "--to") {
            form.optionsShown = CheckState::Checked;
            form.timeCondition = CheckState::Checked;
            if (name == "--time-type") {
                const auto n = wholeNumber(value, TypeTable::kTimeTypeCount - 1);
                if (!n) {
                    error = "--time-type takes 0 (update), 1 (creation) or 2 (access), not '" + value + "'";
                    return false;
                }
                form.timeTypeIndex = static_cast<int>(*n);
            } else {
                PickerValue& picker = name == "--from" ? form.startTime : form.endTime;
                if (!parseTime(value, picker)) {
                    error = name + " takes a local time as yyyy/M/d,H:m:s, not '" + value + "'";
                    return false;
                }
            }
        } else if (name == "--min-kb" || name == "--max-kb") {
            if (!wholeNumber(value, 999999999999999999LL)) {
                error = name + " takes a whole number of kilobytes, not '" + value + "'";
                return false;
            }
            form.optionsShown = CheckState::Checked;
            form.sizeCondition = CheckState::Checked;
            (name == "--min-kb" ? form.minSizeText : form.maxSizeText) = value;
        } else if (name == "--null") {
            nullGiven = true;
        } else if (name == "--format") {
            formatGiven = true;
            if (value == "tsv") {
                options.format = Format::Tsv;
            } else if (value == "jsonl") {
                options.format = Format::Jsonl;
            } else {
                error = "--format takes tsv or jsonl, not '" + value + "'";
                return false;
            }
        } else if (name == "--report") {
            if (value.empty()) {
                error = "--report needs a file name";
                return false;
            }
            options.reportFile = value;
        } else if (name == "--jobs") {
            const auto n = wholeNumber(value, 1000000);
            if (!n || *n < 1) {
                error = "--jobs takes a number of computers from 1 up, not '" + value + "'";
                return false;
            }
            options.jobs = static_cast<int>(*n);
        } else if (name == "--user") {
            options.login = LoginOptions::fromUserArgument(value);
        } else if (name == "--authentication-file") {
            if (!LoginOptions::fromFile(value, options.login, error))
                return false;
        }
    }
    if (nullGiven && formatGiven) {
        error = "-0 prints the full paths alone; it goes with no --format";
        return false;
    }
    if (nullGiven)
        options.format = Format::NullPaths;
    // The words left, after getopt_long moved the options ahead of them.
    const std::vector<std::string> places(argv.begin() + optind, argv.begin() + argc);
    if (places.size() > 1) {
        error = "one place at most, not " + std::to_string(places.size()) + " (see qvsearch --help)";
        return false;
    }
    if (!places.empty())
        options.place = places.front();
    return true;
}

} // namespace qv
