// qvsearch's command line and its row formats.
#include "cli/QvSearchOptions.h"
#include "cli/RowPrinter.h"
#include "results/JsonLinesExport.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

using namespace qv;
using namespace qv::test;

namespace {

bool parse(std::vector<std::string> args, QvSearchOptions& options, std::string& error)
{
    options = {};
    error.clear();
    return QvSearchOptions::parse(args, options, error);
}

} // namespace

TEST(QvSearchOptions, OptionsFillTheFormValues)
{
    QvSearchOptions o;
    std::string error;
    ASSERT_TRUE(parse({"-n", "*.txt", "--type=1", "-c", "Foo", "--no-subfolders", "--min-kb", "5", "./docs"}, o, error))
        << error;
    EXPECT_EQ(o.form.nameText, "*.txt");
    EXPECT_EQ(o.form.typeIndex, 1);
    EXPECT_EQ(o.form.containing, CheckState::Checked);
    EXPECT_EQ(o.form.containingText, "Foo");
    EXPECT_EQ(o.form.subFolders, CheckState::Unchecked);
    EXPECT_EQ(o.form.optionsShown, CheckState::Checked);
    EXPECT_EQ(o.form.sizeCondition, CheckState::Checked);
    EXPECT_EQ(o.form.minSizeText, "5");
    EXPECT_EQ(o.form.maxSizeText, ""); // the other bound is 0, as in the form
    EXPECT_EQ(o.form.timeCondition, CheckState::Unchecked);
    EXPECT_EQ(o.place, "./docs");

    ASSERT_TRUE(parse({"--from", "2001/5/3,14:07:09", "--time-type", "2", "/x"}, o, error)) << error;
    EXPECT_EQ(o.form.timeCondition, CheckState::Checked);
    EXPECT_EQ(o.form.timeTypeIndex, 2);
    EXPECT_TRUE(o.form.startTime.valid);
    EXPECT_FALSE(o.form.endTime.valid) << "the bound not given stays open";
    EXPECT_EQ(o.form.startTime.hour, 14);
    EXPECT_EQ(o.form.startTime.second, 9);
    EXPECT_EQ(o.format, QvSearchOptions::Format::Tsv);
    EXPECT_EQ(o.form.documents, CheckState::Checked) << "documents are read by default";

    ASSERT_TRUE(parse({"-c", "x", "--no-documents", "/x"}, o, error)) << error;
    EXPECT_EQ(o.form.documents, CheckState::Unchecked);
}

TEST(QvSearchOptions, BadUsageGivesAOneLineMessage)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"}, {"-t", "6"}, {"-t", "x"}, {"--type", "-1"}, {"--min-kb", "ten"}, {"--max-kb", "-3"},
        {"--from", "2001/13/1"}, {"--to", "2001/2/29,0:0:0"}, {"--from", "yesterday"}, {"--time-type", "3"},
        {"--format", "xml"}, {"-n"}, {"a/", "b/"}, {"--no-subfolders=1"}, {"--no-documents=no"},
    };
    for (const auto& args : bad) {
        QvSearchOptions o;
        std::string error;
        EXPECT_FALSE(parse(args, o, error)) << args.front();
        EXPECT_FALSE(error.empty()) << args.front();
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

TEST(QvSearchOptions, AttachedValuesGroupedLettersAndLongPrefixes)
{
    QvSearchOptions o;
    std::string error;
    ASSERT_TRUE(parse({"-nfoo", "-t1", "-vcNeedle", "--cont=bar", "--no-s", "--form", "jsonl", "--jo=3", "/x"}, o, error))
        << error;
    EXPECT_EQ(o.form.nameText, "foo");
    EXPECT_EQ(o.form.typeIndex, 1);
    EXPECT_TRUE(o.verbose);
    EXPECT_EQ(o.form.containingText, "bar"); // the later value wins
    EXPECT_EQ(o.form.subFolders, CheckState::Unchecked);
    EXPECT_EQ(o.format, QvSearchOptions::Format::Jsonl);
    EXPECT_EQ(o.jobs, 3);
    EXPECT_EQ(o.place, "/x");

    // Options may follow the place; "--" ends them, so a place may start with "-".
    ASSERT_TRUE(parse({"./docs", "-n", "a"}, o, error)) << error;
    EXPECT_EQ(o.place, "./docs");
    EXPECT_EQ(o.form.nameText, "a");
    ASSERT_TRUE(parse({"-n", "a", "--", "-odd"}, o, error)) << error;
    EXPECT_EQ(o.place, "-odd");
    // A value that looks like an option is still the value.
    ASSERT_TRUE(parse({"-n", "-v"}, o, error)) << error;
    EXPECT_EQ(o.form.nameText, "-v");
    EXPECT_FALSE(o.verbose);

    // Each call starts afresh, whatever the one before left behind.
    ASSERT_TRUE(parse({"-n", "x", "-v"}, o, error)) << error;
    ASSERT_TRUE(parse({"-V"}, o, error)) << error;
    EXPECT_TRUE(o.version);
    EXPECT_FALSE(o.verbose);
}

TEST(QvSearchOptions, ErrorsSayWhatWasWrongWithTheOptionAsTyped)
{
    QvSearchOptions o;
    std::string error;
    EXPECT_FALSE(parse({"--no", "/x"}, o, error));
    EXPECT_EQ(error, "option '--no' is ambiguous: --no-documents --no-subfolders");
    EXPECT_FALSE(parse({"--bogus=1"}, o, error));
    EXPECT_EQ(error, "unknown option '--bogus' (see qvsearch --help)");
    EXPECT_FALSE(parse({"-x"}, o, error));
    EXPECT_EQ(error, "unknown option '-x' (see qvsearch --help)");
    EXPECT_FALSE(parse({"-vq"}, o, error));
    EXPECT_EQ(error, "unknown option '-q' (see qvsearch --help)");
    EXPECT_FALSE(parse({"--verbose", "-qv"}, o, error));
    EXPECT_EQ(error, "unknown option '-q' (see qvsearch --help)");
    EXPECT_FALSE(parse({"--null=1", "-qv"}, o, error));
    EXPECT_EQ(error, "option '--null' takes no value");
    EXPECT_FALSE(parse({"--verb=yes"}, o, error));
    EXPECT_EQ(error, "option '--verb' (--verbose) takes no value");
    EXPECT_FALSE(parse({"--null=1"}, o, error));
    EXPECT_EQ(error, "option '--null' takes no value");
    EXPECT_FALSE(parse({"-v", "-n"}, o, error));
    EXPECT_EQ(error, "option '-n' needs a value");
    EXPECT_FALSE(parse({"--nam"}, o, error));
    EXPECT_EQ(error, "option '--name' needs a value");
}

TEST(QvSearchOptions, BareNameIsALocalPathWhereOneExistsElseAWorkgroup)
{
    TempTree tree({{"t3/a.txt", ""}, {"file", ""}});
    char* before = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(tree.root().c_str()), 0);
    QvSearchOptions o;
    o.place = "t3";
    const SearchPlace folder = o.searchPlace();
    o.place = "file";
    const SearchPlace file = o.searchPlace();
    o.place = "T3"; // names of this machine count case; workgroups do not
    const SearchPlace other = o.searchPlace();
    o.place = "\\\\t3";
    const SearchPlace computer = o.searchPlace();
    o.place = "";
    const SearchPlace network = o.searchPlace();
    EXPECT_EQ(chdir(before), 0);
    std::free(before);

    EXPECT_TRUE(folder.local);
    EXPECT_EQ(folder.level, LevelFolder);
    EXPECT_EQ(folder.walkRoot, "t3");
    EXPECT_TRUE(file.local); // searched, so that it fails as no folder
    EXPECT_FALSE(other.local);
    EXPECT_EQ(other.level, LevelWorkgroup);
    EXPECT_EQ(other.placePath, "T3");
    EXPECT_FALSE(computer.local);
    EXPECT_EQ(computer.level, LevelComputer);
    EXPECT_EQ(network.level, LevelEntireNetwork);
}

TEST(QvSearchOptions, TimesAcceptMissingSecondsAndLeapDays)
{
    PickerValue v;
    EXPECT_TRUE(QvSearchOptions::parseTime("2024/2/29", v));
    EXPECT_EQ(v.hour, 0);
    EXPECT_TRUE(QvSearchOptions::parseTime("2040/12/31,23:59", v));
    EXPECT_EQ(v.year, 2040);
    EXPECT_FALSE(QvSearchOptions::parseTime("2023/2/29", v));
    EXPECT_FALSE(QvSearchOptions::parseTime("2023/1/1,24:00:00", v));
    EXPECT_FALSE(QvSearchOptions::parseTime("2023/1/1,", v));
}

TEST(RowPrinter, TsvEscapesTabsLineEndsAndBackslashesInCells)
{
    ResultRow row;
    row.cell(Column::Name) = "a\tb\r\nc";
    row.cell(Column::Path) = "C:\\x";
    row.cell(Column::MatchString) = "報告";
    EXPECT_EQ(RowPrinter::tsvLine(row), "a\\tb\\r\\nc\tC:\\\\x\t\t\t\t\t\t\t報告\n");
    // A name holding a backslash and a "t" reads back apart from one holding a tab.
    row.cell(Column::Name) = "a\\tb";
    row.cell(Column::Path) = "\\\\HOST\\share";
    EXPECT_EQ(RowPrinter::tsvLine(row).substr(0, 22), "a\\\\tb\t\\\\\\\\HOST\\\\share\t");
}

TEST(RowPrinter, NamesThatAreNoUtf8ComeOutAsTheirBytes)
{
    // A CP932 file in a CP932 folder of a local place, as the walk gives it.
    ResultRow local;
    local.cell(Column::Name) = "見積書.txt〔CP932〕";
    local.cell(Column::Path) = "/srv/資料〔CP932〕";
    local.sourcePath = "/srv/\x8e\x91\x97\xbf/\x8c\xa9\x90\xcf\x8f\x91.txt";
    EXPECT_EQ(RowPrinter::fullPathBytes(local), local.sourcePath);
    EXPECT_EQ(RowPrinter::tsvLine(local).substr(0, 21), "\x8c\xa9\x90\xcf\x8f\x91.txt\t/srv/\x8e\x91\x97\xbf\t");
    const std::string json = RowPrinter::jsonLine(local);
    EXPECT_EQ(json.rfind("{\"name\":\"見積書.txt〔CP932〕\",\"path\":\"/srv/資料〔CP932〕\",", 0), 0u) << json;
    const std::string tail = ",\"name_bytes\":\"" + JsonLinesExport::base64("\x8c\xa9\x90\xcf\x8f\x91.txt") +
                             "\",\"path_bytes\":\"" + JsonLinesExport::base64("/srv/\x8e\x91\x97\xbf") + "\"}\n";
    EXPECT_EQ(json.substr(json.size() - tail.size()), tail) << json;

    // Only what differs: a UTF-8 name in a folder that is not.
    ResultRow inFolder;
    inFolder.cell(Column::Name) = "a.txt";
    inFolder.cell(Column::Path) = "/資料〔CP932〕";
    inFolder.sourcePath = "/\x8e\x91\x97\xbf/a.txt";
    const std::string one = RowPrinter::jsonLine(inFolder);
    EXPECT_EQ(one.find("name_bytes"), std::string::npos) << one;
    EXPECT_NE(one.find(",\"path_bytes\":\"L46Rl78=\"}"), std::string::npos) << one;

    // An entry of "/" and a network file keep their separators.
    ResultRow atRoot;
    atRoot.cell(Column::Name) = "x〔CP932〕";
    atRoot.cell(Column::Path) = "/";
    atRoot.sourcePath = "/x\x82";
    EXPECT_EQ(RowPrinter::tsvLine(atRoot).substr(0, 5), "x\x82\t/\t");
    ResultRow network;
    network.cell(Column::Name) = "b?.txt";
    network.cell(Column::Path) = "\\\\HOST\\share\\dir";
    network.sourcePath = "\\\\HOST\\share\\dir\\b\xff.txt";
    EXPECT_EQ(RowPrinter::tsvLine(network).substr(0, 28), "b\xff.txt\t\\\\\\\\HOST\\\\share\\\\dir\t");
    EXPECT_EQ(RowPrinter::fullPathBytes(network), network.sourcePath);
}

TEST(JsonLinesExport, Base64OfEachLengthOfTheLastGroup)
{
    EXPECT_EQ(JsonLinesExport::base64(""), "");
    EXPECT_EQ(JsonLinesExport::base64("f"), "Zg==");
    EXPECT_EQ(JsonLinesExport::base64("fo"), "Zm8=");
    EXPECT_EQ(JsonLinesExport::base64("foo"), "Zm9v");
    EXPECT_EQ(JsonLinesExport::base64("foob"), "Zm9vYg==");
    EXPECT_EQ(JsonLinesExport::base64(std::string("\xff\xfe\x00", 3)), "//4A");
}

TEST(RowPrinter, FullPathsOfEachKindOfRow)
{
    ResultRow file;
    file.cell(Column::Name) = "a.txt";
    file.cell(Column::Path) = "docs";
    EXPECT_EQ(RowPrinter::fullPathBytes(file), "docs/a.txt");
    file.cell(Column::Path) = "/";
    EXPECT_EQ(RowPrinter::fullPathBytes(file), "/a.txt");
    file.cell(Column::Path) = "\\\\HOST\\share";
    EXPECT_EQ(RowPrinter::fullPathBytes(file), "\\\\HOST\\share\\a.txt");
    ResultRow computer;
    computer.cell(Column::Name) = "\\\\HOST";
    computer.cell(Column::Path) = "WORKGROUP";
    EXPECT_EQ(RowPrinter::fullPathBytes(computer), "\\\\HOST");
    ResultRow workgroup;
    workgroup.cell(Column::Name) = "WORKGROUP";
    EXPECT_EQ(RowPrinter::fullPathBytes(workgroup), "WORKGROUP");
}

TEST(RowPrinter, JsonLineHasTheNineKeys)
{
    ResultRow row;
    row.cell(Column::Name) = "say \"hi\"\x01";
    row.cell(Column::Size) = "3 KB";
    EXPECT_EQ(RowPrinter::jsonLine(row),
              "{\"name\":\"say \\\"hi\\\"\\u0001\",\"path\":\"\",\"size\":\"3 KB\",\"type\":\"\",\"updated\":\"\","
              "\"created\":\"\",\"accessed\":\"\",\"match\":\"\",\"match_string\":\"\"}\n");
}

namespace {

std::string contentOf(std::FILE* stream)
{
    std::fflush(stream);
    std::rewind(stream);
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, stream)) > 0;)
        text.append(buffer, n);
    return text;
}

PlaceFailure failure(const std::string& place, PlaceFailure::Kind kind, int error, bool searchPlace = false)
{
    return PlaceFailure::of(place, kind, error, searchPlace);
}

} // namespace

TEST(RowPrinter, PlacesThatFailedAreCountedByKindAndEachNamedWhenVerbose)
{
    using Kind = PlaceFailure::Kind;
    for (const bool verbose : {false, true}) {
        std::FILE* rows = std::tmpfile();
        std::FILE* status = std::tmpfile();
        RowPrinter printer(rows, status, QvSearchOptions::Format::Tsv, false, verbose);
        printer.placeFailed(failure("/a/x", Kind::Folder, EACCES));
        printer.placeFailed(failure("\\\\PC", Kind::Computer, ETIMEDOUT));
        printer.placeFailed(failure("/a/y", Kind::Folder, EIO));
        printer.showStatus("3個見つかりました");
        printer.finish(true);
        const std::string summary = "2 folders could not be read\n1 computer could not be reached\n3個見つかりました\n";
        if (verbose)
            EXPECT_EQ(contentOf(status), "qvsearch: could not read /a/x: access denied\n"
                                         "qvsearch: could not reach \\\\PC: the computer did not answer in time\n"
                                         "qvsearch: could not read /a/y: input/output error\n" + summary);
        else
            EXPECT_EQ(contentOf(status), summary);
        EXPECT_FALSE(printer.placeNotSearched());
        std::fclose(rows);
        std::fclose(status);
    }
}

TEST(RowPrinter, SearchPlaceOrHelperFaultIsOneLineOnceInsteadOfTheCount)
{
    std::FILE* rows = std::tmpfile();
    std::FILE* status = std::tmpfile();
    RowPrinter printer(rows, status, QvSearchOptions::Format::Tsv, false);
    // A helper that cannot be started fails every computer: one line says it.
    for (const char* computer : {"\\\\A", "\\\\B"})
        printer.placeFailed(PlaceFailure::of(computer, PlaceFailure::Kind::Computer, ENOPKG, false,
                                             "the SMB helper /x/qv-smb cannot be started"));
    printer.showStatus("検索中 ...");
    printer.finish(false);
    EXPECT_EQ(contentOf(status), "qvsearch: cannot search \\\\A: the SMB helper /x/qv-smb cannot be started\n");
    EXPECT_TRUE(printer.placeNotSearched());
    std::fclose(rows);
    std::fclose(status);
}

// fwrite's and fflush's answers were ignored: rows lost on a full disk went unnoticed.
TEST(RowPrinter, FirstRowThatCannotBeWrittenAsksOnceForTheStop)
{
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_TRUE(full);
    std::setvbuf(full, nullptr, _IONBF, 0); // every row is a write of its own
    std::FILE* status = std::tmpfile();
    RowPrinter printer(full, status, QvSearchOptions::Format::Tsv, false);
    int stops = 0;
    printer.setOnWriteFailure([&] { ++stops; });
    ResultRow row;
    row.cell(Column::Name) = "a.txt";
    printer.addRow(row);
    printer.addRow(row);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(printer.writeError(), ENOSPC);
    printer.placeFailed(failure("/a/x", PlaceFailure::Kind::Folder, EACCES));
    printer.showStatus("2個見つかりました");
    printer.finish(true);
    EXPECT_EQ(contentOf(status), "qvsearch: cannot write the rows to standard output: No space left on device\n");
    std::fclose(full);
    std::fclose(status);
}

TEST(LoginOptions, UserArgumentAndAuthenticationFile)
{
    LoginOptions a = LoginOptions::fromUserArgument("OFFICE\\taro%pa%ss");
    EXPECT_EQ(a.domain, "OFFICE");
    EXPECT_EQ(a.user, "taro");
    EXPECT_EQ(a.password, "pa%ss"); // only the first "%" separates
    LoginOptions b = LoginOptions::fromUserArgument("hanako");
    EXPECT_EQ(b.user, "hanako");
    EXPECT_EQ(b.password, "");

    TempTree tree({{"auth", "username = taro\npassword =  secret word \ndomain = OFFICE\n"}, {"empty", "password = x\n"}});
    LoginOptions c;
    std::string error;
    ASSERT_TRUE(LoginOptions::fromFile(tree.path("auth"), c, error)) << error;
    EXPECT_EQ(c.user, "taro");
    EXPECT_EQ(c.password, "secret word");
    EXPECT_EQ(c.domain, "OFFICE");
    EXPECT_FALSE(LoginOptions::fromFile(tree.path("empty"), c, error));
    EXPECT_FALSE(LoginOptions::fromFile(tree.path("missing"), c, error));
    EXPECT_NE(error.find("missing"), std::string::npos);
}

TEST(RowPrinter, StatusFitsTheTerminalWidthByColumnsNotBytes)
{
    EXPECT_EQ(RowPrinter::fitToColumns("short", 10), "short");
    EXPECT_EQ(RowPrinter::fitToColumns("exactly10!", 10), "exactly10!");
    EXPECT_EQ(RowPrinter::fitToColumns("eleven char", 10), "eleven ch…");
    // Japanese characters take two columns each and are never cut in half.
    EXPECT_EQ(RowPrinter::fitToColumns("検索中\\\\HOST", 6), "検索…");
    EXPECT_EQ(RowPrinter::fitToColumns("検索中です", 6), "検索…");
    EXPECT_EQ(RowPrinter::fitToColumns("検索中です", 5), "検索…");
    EXPECT_EQ(RowPrinter::fitToColumns("a検索", 4), "a検…");
    // A line end or a byte that is no UTF-8 in a name would break the line.
    EXPECT_EQ(RowPrinter::fitToColumns("a\nb\xff\tc", 20), "a?b??c");
    EXPECT_EQ(RowPrinter::fitToColumns("abc", 0), "");
    EXPECT_EQ(RowPrinter::fitToColumns("abc", 1), "…");
}
