// depbase-cli: options among positionals, help and version per command, the
// JSON shape, and what it says about printers and their files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "cli.h"

namespace {

using Strings = std::vector<std::string>;

CliRequest Parse(const Strings &args)
{
    CliRequest req;
    std::string error;
    EXPECT_TRUE(CliParseArgs(args, &req, &error)) << error;
    return req;
}

std::string Error(const Strings &args)
{
    CliRequest req;
    std::string error;
    EXPECT_FALSE(CliParseArgs(args, &req, &error));
    return error;
}

TEST(CliArgsPlacement, OptionsAnywhereEqualsAndDoubleDash)
{
    for (const Strings &args : {Strings{"query", "--json", "drv", "--int=28=9", "0x1003", "--printer=P"},
                                Strings{"--json", "query", "drv", "0x1003", "--int", "28=9", "--printer", "P"},
                                Strings{"--printer", "P", "query", "--int", "28=9", "--json", "--", "drv", "0x1003"}}) {
        CliRequest r = Parse(args);
        EXPECT_EQ(r.command, CLI_QUERY);
        EXPECT_EQ(r.database, 1);
        EXPECT_EQ(r.key, 0x1003u);
        ASSERT_EQ(r.ints.size(), 1u);
        EXPECT_EQ(r.ints[0].second, 9);
        EXPECT_TRUE(r.json);
        EXPECT_EQ(r.printer, "P");
    }
    // After "--" an option-looking word is a positional.
    EXPECT_NE(Error({"query", "drv", "--", "--json"}).find("malformed key '--json'"), std::string::npos);
    EXPECT_NE(Error({"query", "drv", "0x1003", "extra"}).find("'extra' is one too many"), std::string::npos);
    EXPECT_NE(Error({"dump", "now"}).find("dump takes no arguments"), std::string::npos);
    EXPECT_EQ(Error({"--bogus"}), "unknown option '--bogus'");
    EXPECT_EQ(Error({"dump", "--json=1"}), "option --json takes no value");
    EXPECT_EQ(Error({"query", "drv", "0x1018", "--printer"}), "option --printer needs a value");
}

TEST(CliArgsPlacement, HelpAndVersionAtEveryLevel)
{
    struct {
        Strings args;
        CliCommand command;
        const char *topic;
    } cases[] = {
        {{"--help"}, CLI_HELP, ""},
        {{"-h"}, CLI_HELP, ""},
        {{"help"}, CLI_HELP, ""},
        {{"help", "dump"}, CLI_HELP, "dump"},
        {{"query", "--help"}, CLI_HELP, "query"},
        {{"query", "lp", "-h"}, CLI_HELP, "query"},
        {{"dump", "--bogus", "--help"}, CLI_HELP, "dump"},
        {{"--version"}, CLI_VERSION, ""},
        {{"query", "--version"}, CLI_VERSION, "query"},
        {{"dump", "--version"}, CLI_VERSION, "dump"},
    };
    for (const auto &c : cases) {
        CliRequest r = Parse(c.args);
        EXPECT_EQ(r.command, c.command) << c.args[0];
        EXPECT_EQ(r.helpTopic, c.topic) << c.args[0];
    }
    EXPECT_NE(Error({"help", "frob"}).find("no help on 'frob'"), std::string::npos);
    // Each help names its arguments, options, examples and exit codes; the
    // query help also the environment and the printer file format.
    std::string query = CliUsage("query");
    for (const char *part :
         {"DATABASE", "--printer NAME", "Examples:", "Exit status:", "Environment:", "ZMD_PRINTER_DIR", "ZMD_COUNTRY",
          "HOME", "Files:", "ValueName = number", "case included", "'#'"}) {
        EXPECT_NE(query.find(part), std::string::npos) << part;
    }
    for (const char *part : {"Examples:", "Exit status:", "--json"}) {
        EXPECT_NE(std::string(CliUsage("dump")).find(part), std::string::npos) << part;
    }
    for (const char *part : {"Environment:", "Files:", "Exit status:", "query", "dump"}) {
        EXPECT_NE(std::string(CliUsage()).find(part), std::string::npos) << part;
    }
}

std::string Json(const Strings &args)
{
    CliRequest req = Parse(args);
    return CliFormatJson(req, CliQuery(req));
}

TEST(CliJson, KindsInSnakeCaseAndBytesAsNumbers)
{
    // Bytes: an array of numbers, counted.
    EXPECT_EQ(Json({"query", "mnt", "0x300B", "--int", "0=1", "--json"}),
              "{\"database\": \"mnt\", \"key\": \"0x300B\", \"result\": \"ZMD_OK\", \"code\": 0, \"size\": 16, "
              "\"kind\": \"bytes\", \"count\": 16, \"value\": [27, 91, 75, 2, 0, 0, 31, 75, 90, 76, 83, 84, 65, 82, "
              "84, 10]}");
    // A computed area: its type apart from the kind, the value an object.
    std::string area = Json({"query", "drv", "0x1032", "--json"});
    EXPECT_NE(area.find("\"size\": 16, \"kind\": \"computed\", \"computed_type\": 3, \"count\": 1, "
                        "\"value\": {\"left\": 340, \"width\": "),
              std::string::npos)
        << area;
    std::string seq = Json({"query", "drv", "0x101B", "--json"});
    EXPECT_NE(seq.find("\"kind\": \"sequence\""), std::string::npos) << seq;
    EXPECT_NE(seq.find("\"value\": [27, 64"), std::string::npos) << seq;
    std::string params =
        Json({"query", "drv", "0x101E", "--int", "4=1", "--int", "5=1", "--int", "8=2", "--int", "6=1", "--json"});
    EXPECT_NE(params.find("\"size\": 192, \"kind\": \"paramset\", \"count\": 192, \"value\": ["), std::string::npos)
        << params;
}

// A printer store in a temporary directory, set as ZMD_PRINTER_DIR while it lives.
struct Store {
    char dir[64] = "/tmp/depbase-cli-store-XXXXXX";
    std::string saved;
    bool hadOld = false;
    Strings files;
    Store()
    {
        EXPECT_NE(mkdtemp(dir), nullptr);
        const char *old = std::getenv("ZMD_PRINTER_DIR");
        hadOld = old != nullptr;
        saved = old ? old : "";
        setenv("ZMD_PRINTER_DIR", dir, 1);
    }
    std::string Put(const std::string &name, const std::string &text)
    {
        std::string path = std::string(dir) + "/" + name + ".conf";
        std::FILE *f = std::fopen(path.c_str(), "w");
        EXPECT_NE(f, nullptr);
        std::fputs(text.c_str(), f);
        std::fclose(f);
        files.push_back(path);
        return path;
    }
    ~Store()
    {
        for (const std::string &f : files) {
            std::remove(f.c_str());
        }
        rmdir(dir);
        if (hadOld) {
            setenv("ZMD_PRINTER_DIR", saved.c_str(), 1);
        } else {
            unsetenv("ZMD_PRINTER_DIR");
        }
    }
};

std::string Advice(const Strings &args)
{
    CliRequest req = Parse(args);
    return CliPrinterAdvice(req, CliProbePrinter(req));
}

TEST(CliPrinter, SaysWhatIsMissingAndWhereItWasLookedFor)
{
    Store store;
    std::string dir = store.dir;
    std::string none = Advice({"query", "drv", "0x1018"});
    EXPECT_NE(none.find("drv 0x1018 reads the printer's stored value XvnUI_CustomECPMode, and no printer is named"),
              std::string::npos)
        << none;
    EXPECT_NE(none.find(dir + "/NAME.conf"), std::string::npos) << none;
    EXPECT_NE(none.find("    XvnUI_CustomECPMode = 0\n"), std::string::npos) << none;

    std::string absent = Advice({"query", "drv", "0x1018", "--printer", "office"});
    EXPECT_NE(
        absent.find("printer 'office' not found: cannot open " + dir + "/office.conf (No such file or directory)"),
        std::string::npos)
        << absent;
    EXPECT_NE(absent.find("XvnUI_CustomECPMode = 0"), std::string::npos) << absent;

    store.Put("empty", "# nothing stored\n");
    std::string unstored = Advice({"query", "drv", "0x1018", "--printer", "empty"});
    EXPECT_NE(unstored.find("printer 'empty' (" + dir + "/empty.conf) stores no XvnUI_CustomECPMode"),
              std::string::npos)
        << unstored;

    store.Put("office", "XvnUI_CustomECPMode = 0\n");
    EXPECT_EQ(Advice({"query", "drv", "0x1018", "--printer", "office"}), "");
    // Keys that read no printer value have nothing to say.
    EXPECT_EQ(Advice({"query", "drv", "0x1003", "--int", "28=9"}), "");
    EXPECT_NE(Advice({"query", "drv", "0x1018", "--printer", "../x"}).find("not one the store accepts"),
              std::string::npos);
}

TEST(CliPrinter, WarnsAboutLinesTheStoreCannotRead)
{
    Store store;
    std::string path = store.Put("p", "# comment\n\n  XvnUI_CustomECPMode = 0x10  \n"
                                      "XvnUI_CustomPausePage = 0  # inline\n"
                                      "xvnui_customphotodetect = 1\n"
                                      "no equals sign\n"
                                      "XvnUI_CustomECPMode = 1\n"
                                      "Unheard = -5\n"
                                      " = 3\n"
                                      "XvnUI_CustomPauseScan = 4294967296\n");
    std::vector<std::string> names = CliValueNames();
    ASSERT_GE(names.size(), 8u);
    EXPECT_EQ(names[1], "XvnUI_CustomECPMode");
    Strings w = CliPrinterWarnings(path, names);
    Strings expected = {
        path +
            ":4: '0  # inline' is not a number, so XvnUI_CustomPausePage reads as not stored; a comment needs a line "
            "of its own, starting with '#'",
        path + ":5: 'xvnui_customphotodetect' is not read: names match case and all; the database reads "
               "'XvnUI_CustomPhotoDetect'",
        path + ":6: 'no equals sign' is not 'ValueName = number'; the line is ignored",
        path + ":7: XvnUI_CustomECPMode again; line 3 decides, this line is ignored",
        path + ":8: the database reads no value named 'Unheard'",
        path + ":9: no value name before '='; the line is ignored",
        path + ":10: '4294967296' is not a number, so XvnUI_CustomPauseScan reads as not stored (decimal, optionally "
               "negative, or 0x hex, 32 bits)",
    };
    EXPECT_EQ(w, expected);
    Strings gone = CliPrinterWarnings(std::string(store.dir) + "/gone.conf", names);
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_NE(gone[0].find("No such file or directory"), std::string::npos);
}

// A store file that is a FIFO without a writer, a link to /dev/zero or a
// file over 1 MiB is read by neither the warnings nor the advice: each
// answers (a blocked open would hang the test until its timeout) and says why.
TEST(CliPrinter, AStoreFileTheStoreRefusesIsNotReadByTheTool)
{
    Store store;
    const std::string dir = store.dir;
    const std::string fifo = dir + "/fifo.conf", zero = dir + "/zero.conf";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
    store.files.push_back(fifo);
    store.files.push_back(zero);
    std::string big(1024 * 1024 + 1, '#');
    const std::string bigPath = store.Put("big", big);
    const std::vector<std::string> names = CliValueNames();
    const struct {
        const char *printer;
        std::string path;
        const char *why;
    } cases[] = {
        {"fifo", fifo, "not a regular file"},
        {"zero", zero, "a symbolic link"},
        {"big", bigPath, "larger than the 1 MiB"},
    };
    for (const auto &c : cases) {
        Strings w = CliPrinterWarnings(c.path, names);
        ASSERT_EQ(w.size(), 1u) << c.printer;
        EXPECT_NE(w[0].find("cannot read " + c.path + ": " + c.why), std::string::npos) << w[0];
        std::string advice = Advice({"query", "drv", "0x1018", "--printer", c.printer});
        EXPECT_NE(
            advice.find("printer '" + std::string(c.printer) + "' not found: cannot open " + c.path + " (" + c.why),
            std::string::npos)
            << advice;
    }
}

} // namespace
