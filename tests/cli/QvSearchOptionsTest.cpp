// qvsearch's command line and its row formats.
#include "cli/QvSearchOptions.h"
#include "cli/RowPrinter.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>

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

TEST(RowPrinter, TsvEscapesTabsAndLineEndsInCells)
{
    ResultRow row;
    row.cell(Column::Name) = "a\tb\r\nc";
    row.cell(Column::Path) = "C:\\x";
    row.cell(Column::MatchString) = "報告";
    EXPECT_EQ(RowPrinter::tsvLine(row), "a\\tb\\r\\nc\tC:\\x\t\t\t\t\t\t\t報告\n");
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
