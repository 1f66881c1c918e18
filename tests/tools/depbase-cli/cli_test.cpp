// depbase-cli: its arguments, and answers through the real exports decoded
// by kind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "cli.h"

namespace {

CliRequest Parse(std::vector<std::string> args)
{
    CliRequest req;
    std::string error;
    EXPECT_TRUE(CliParseArgs(args, &req, &error)) << error;
    return req;
}

std::string ParseError(std::vector<std::string> args)
{
    CliRequest req;
    std::string error;
    EXPECT_FALSE(CliParseArgs(args, &req, &error));
    return error;
}

TEST(CliArgs, QueryWithSettings)
{
    CliRequest r = Parse({"query", "drv", "0x1019", "--int", "28=9", "--int", "79=0x800000", "--int", "5=-1", "--str",
                          "1=CL", "--str", "4=", "--printer", "P1", "--json"});
    EXPECT_EQ(r.command, CLI_QUERY);
    EXPECT_EQ(r.database, 1);
    EXPECT_EQ(r.key, 0x1019u);
    ASSERT_EQ(r.ints.size(), 3u);
    EXPECT_EQ(r.ints[0], (std::pair<uint32_t, int32_t>{28, 9}));
    EXPECT_EQ(r.ints[1].second, 0x800000);
    EXPECT_EQ(r.ints[2].second, -1);
    ASSERT_EQ(r.strs.size(), 2u);
    EXPECT_EQ(r.strs[0].second, "CL");
    EXPECT_EQ(r.strs[1].second, "");
    EXPECT_TRUE(r.hasPrinter);
    EXPECT_EQ(r.printer, "P1");
    EXPECT_TRUE(r.json);
    EXPECT_EQ(Parse({"query", "root", "30"}).key, 30u); // decimal
    EXPECT_EQ(Parse({"--help"}).command, CLI_HELP);
    EXPECT_EQ(Parse({"dump", "--json"}).command, CLI_DUMP);
    EXPECT_EQ(Parse({"query", "lm", "0x2001", "--int", "2=0xFFFFFFFF"}).ints[0].second, -1);
}

TEST(CliArgs, ClearErrors)
{
    EXPECT_NE(ParseError({"query", "lp", "0x2001"}).find("unknown database 'lp'"), std::string::npos);
    EXPECT_NE(ParseError({"query", "lm", "0x1001"}).find("out of range: the lm database has keys 0x2001 to 0x2FFF"),
              std::string::npos);
    EXPECT_NE(ParseError({"query", "root", "0x0000"}).find("out of range"), std::string::npos);
    EXPECT_NE(ParseError({"query", "sm", "0x5008"}).find("out of range"), std::string::npos);
    EXPECT_NE(ParseError({"query", "root", "0x10002"}).find("out of range"), std::string::npos);
    EXPECT_NE(ParseError({"query", "root", "12abc"}).find("malformed key"), std::string::npos);
    EXPECT_NE(ParseError({"query", "root"}).find("needs a database and a key"), std::string::npos);
    for (const char *bad : {"28", "=5", "x=1", "28=", "28=1.5", "256=1", "-1=1", "28=0x100000000", "28=--1"}) {
        EXPECT_NE(ParseError({"query", "drv", "0x1003", "--int", bad}).find("malformed --int"), std::string::npos)
            << bad;
    }
    for (const char *bad : {"CL", "=CL", "x=CL", "300=CL"}) {
        EXPECT_NE(ParseError({"query", "lm", "0x2001", "--str", bad}).find("malformed --str"), std::string::npos)
            << bad;
    }
    EXPECT_NE(ParseError({"query", "drv", "0x1003", "--int"}).find("--int needs a value"), std::string::npos);
    EXPECT_NE(ParseError({"query", "drv", "0x1003", "--bogus"}).find("unknown option '--bogus'"), std::string::npos);
    EXPECT_NE(ParseError({"query", "drv", "0x1003", "--raw", "--json"}).find("exclude each other"), std::string::npos);
    EXPECT_NE(ParseError({"dump", "--int", "1=2"}).find("dump takes no settings"), std::string::npos);
    EXPECT_NE(ParseError({"frob"}).find("unknown command 'frob'"), std::string::npos);
    EXPECT_NE(ParseError({}).find("no command"), std::string::npos);
}

std::string Ask(std::vector<std::string> args, int32_t expected = 0)
{
    CliRequest req = Parse(args);
    CliAnswer a = CliQuery(req);
    EXPECT_EQ(a.result, expected);
    return req.json ? CliFormatJson(req, a) : CliFormatAnswer(req, a);
}

TEST(CliQuery, DecodesEachKindOfAnswer)
{
    EXPECT_EQ(Ask({"query", "root", "0x001E"}), "root 0x001E: ZMD_OK, 26 bytes, text × 13\n  \"calibmod.dll\"\n");
    EXPECT_EQ(Ask({"query", "drv", "0x1003", "--int", "28=9"}),
              "drv 0x1003: ZMD_OK, 8 bytes, int16_array × 2\n  21000, 29700\n");
    EXPECT_EQ(Ask({"query", "drv", "0x1004", "--int", "28=9"}, 1), "drv 0x1004: ZMD_NOT_FOUND\n");
    EXPECT_NE(Ask({"query", "drv", "0x1004", "--int", "28=256", "--int", "29=21000", "--int", "30=29700"})
                  .find("left offset 340, printable width 20320, top offset 300, printable length 28900"),
              std::string::npos);
    std::string list = Ask({"query", "drv", "0x1010"});
    EXPECT_NE(list.find("180 bytes, list × 9"), std::string::npos) << list;
    EXPECT_NE(list.find("[0] id 11  name id 0x3D92  value1 15712"), std::string::npos) << list;
    std::string seq = Ask({"query", "drv", "0x101B"});
    EXPECT_NE(seq.find("sequence"), std::string::npos);
    EXPECT_NE(seq.find("1B 40  ESC @"), std::string::npos) << seq;
    std::string word = Ask({"query", "mnt", "0x300B", "--int", "0=500"});
    EXPECT_NE(word.find("22 bytes, bytes × 22\n  \"@TestPrint=NozzleCheck\""), std::string::npos) << word;
    EXPECT_EQ(Ask({"query", "mnt", "0x300B", "--int", "0=1", "--raw"}),
              "mnt 0x300B: ZMD_OK, 16 bytes, bytes × 16\n  1B 5B 4B 02 00 00 1F 4B 5A 4C 53 54 41 52 54 0A\n");
    EXPECT_EQ(Ask({"query", "root", "0x0001"}, 3), "root 0x0001: ZMD_NO_KEY\n");
}

TEST(CliQuery, JsonForScripts)
{
    EXPECT_EQ(Ask({"query", "drv", "0x1003", "--int", "28=9", "--json"}),
              "{\"database\": \"drv\", \"key\": \"0x1003\", \"result\": \"ZMD_OK\", \"code\": 0, \"size\": 8, "
              "\"kind\": \"int16_array\", \"count\": 2, \"value\": [21000, 29700]}");
    EXPECT_EQ(Ask({"query", "root", "0x0012", "--str", "0=DOC", "--json"}),
              "{\"database\": \"root\", \"key\": \"0x0012\", \"result\": \"ZMD_OK\", \"code\": 0, \"size\": 22, "
              "\"kind\": \"text\", \"count\": 11, \"value\": \"XvnSLM_DOC\"}");
    EXPECT_EQ(Ask({"query", "root", "0x0012", "--str", "0=doc", "--json"}, 1),
              "{\"database\": \"root\", \"key\": \"0x0012\", \"result\": \"ZMD_NOT_FOUND\", \"code\": 1}");
    EXPECT_NE(Ask({"query", "drv", "0x100D", "--json"})
                  .find("{\"id\": 1, \"name_id\": 15002, \"value1\": 20001, \"value2\": 1, \"default\": 1}"),
              std::string::npos);
}

TEST(CliQuery, NeedsAPrinterWhereTheRulesReadOne)
{
    EXPECT_EQ(Ask({"query", "drv", "0x1018"}, -4), "drv 0x1018: ZMD_BAD_RECORD\n");
    EXPECT_EQ(Ask({"query", "drv", "0x1018", "--printer", "no such printer"}, -4), "drv 0x1018: ZMD_BAD_RECORD\n");
}

TEST(CliQuery, ReadsThePrinterNamed)
{
    char dir[] = "/tmp/depbase-cli-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string conf = std::string(dir) + "/P1.conf";
    std::FILE *f = std::fopen(conf.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("XvnUI_CustomECPMode = 0\n", f);
    std::fclose(f);
    const char *old = std::getenv("ZMD_PRINTER_DIR");
    std::string saved = old ? old : "";
    setenv("ZMD_PRINTER_DIR", dir, 1);
    std::string clear = Ask({"query", "drv", "0x1018", "--printer", "P1"});
    std::string set = Ask({"query", "drv", "0x1018", "--printer", "P1", "--int", "79=0x800000"});
    if (old) {
        setenv("ZMD_PRINTER_DIR", saved.c_str(), 1);
    } else {
        unsetenv("ZMD_PRINTER_DIR");
    }
    std::remove(conf.c_str());
    rmdir(dir);
    EXPECT_NE(clear.find("136 bytes, sequence"), std::string::npos) << clear;
    EXPECT_NE(clear.find("\"SelectParallel=Nibble\\n\""), std::string::npos) << clear;
    EXPECT_NE(set.find("148 bytes"), std::string::npos) << set;
    EXPECT_NE(set.find("1B 28 24 07 00  ESC ( $, 7 bytes: 01 00 01 00 00 00 01"), std::string::npos) << set;
}

TEST(CliDump, AsksEveryKeyOfEveryExport)
{
    std::vector<uint32_t> drv = CliDumpKeys(1);
    for (uint32_t k : {0x1001u, 0x100Du, 0x1018u, 0x101Eu}) {
        EXPECT_NE(std::find(drv.begin(), drv.end(), k), drv.end()) << k;
    }
    EXPECT_TRUE(std::is_sorted(drv.begin(), drv.end()));
    size_t total = 0;
    for (int db = 0; db < 6; ++db) {
        for (uint32_t k : CliDumpKeys(db)) {
            uint32_t first = 0, last = 0;
            CliKeyRange(db, &first, &last);
            EXPECT_GE(k, first);
            EXPECT_LE(k, last);
        }
        total += CliDumpKeys(db).size();
    }
    EXPECT_EQ(total, 171u + 10u); // the image's keys but the 12 internal ones, and 10 driver query keys
}

} // namespace
