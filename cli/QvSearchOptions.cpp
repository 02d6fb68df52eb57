#include "cli/QvSearchOptions.h"

#include "search/TypeTable.h"

#include <cstdio>
#include <optional>

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

struct OptionInfo {
    const char* longName;
    char shortName;
    bool takesValue;
};

constexpr OptionInfo kOptions[] = {
    {"--name", 'n', true},      {"--type", 't', true},     {"--contains", 'c', true},
    {"--no-subfolders", 0, false}, {"--time-type", 0, true}, {"--from", 0, true},
    {"--to", 0, true},          {"--min-kb", 0, true},     {"--max-kb", 0, true},
    {"--format", 0, true},      {"--report", 0, true},     {"--help", 'h', false},
    {"--version", 'V', false},
    {"--user", 'U', true},      {"--authentication-file", 'A', true}, {"--jobs", 'j', true},
    {"--verbose", 'v', false},
    {"--no-documents", 0, false},
};

const OptionInfo* findOption(const std::string& arg)
{
    for (const OptionInfo& option : kOptions) {
        if (arg == option.longName)
            return &option;
        if (option.shortName && arg.size() == 2 && arg[0] == '-' && arg[1] == option.shortName)
            return &option;
    }
    return nullptr;
}

} // namespace

const char* QvSearchOptions::usage()
{
    return "Usage: qvsearch [options] [PLACE]\n"
           "Searches PLACE as the search form would and prints one row per line.\n"
           "\n"
           "PLACE: empty or \"ネットワーク全体\" the entire network, a bare name a workgroup,\n"
           "  \\\\HOST a computer, \\\\HOST\\share a share, deeper a folder of a share;\n"
           "  a path holding \"/\" or starting with \".\" a local folder.\n"
           "\n"
           "  -n, --name TEXT      name patterns, separated by \";\" (\"*\" and \"?\" as wildcards)\n"
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
           "      --report FILE    also write the result list (newest first) as an HTML report;\n"
           "                       the file is replaced only when the whole report was written\n"
           "  -U, --user U[%P]     log in to SMB servers as user U (DOMAIN\\U) with password P\n"
           "  -A, --authentication-file FILE\n"
           "                       read username = , password = , domain = lines from FILE\n"
           "                       (without either: guest access, or a Kerberos ticket if there is one)\n"
           "  -j, --jobs N         search up to N computers at once, each through an SMB helper\n"
           "                       of its own (default 4; 1 one after the other; at most 16).\n"
           "                       The rows and their order are the same whatever N is\n"
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
    std::vector<std::string> places;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            places.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string value;
        bool hasInlineValue = false;
        if (arg.rfind("--", 0) == 0) {
            if (const auto eq = arg.find('='); eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg.resize(eq);
                hasInlineValue = true;
            }
        }
        const OptionInfo* option = findOption(arg);
        if (!option) {
            error = "unknown option '" + arg + "' (see qvsearch --help)";
            return false;
        }
        if (option->takesValue && !hasInlineValue) {
            if (i + 1 >= args.size()) {
                error = "option '" + arg + "' needs a value";
                return false;
            }
            value = args[++i];
        } else if (!option->takesValue && hasInlineValue) {
            error = "option '" + arg + "' takes no value";
            return false;
        }

        const std::string name = option->longName;
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
        } else if (name == "--format") {
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
    if (places.size() > 1) {
        error = "one place at most, not " + std::to_string(places.size()) + " (see qvsearch --help)";
        return false;
    }
    if (!places.empty())
        options.place = places.front();
    return true;
}

} // namespace qv
