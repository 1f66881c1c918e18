// The argument parser the tools share.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "args.h"

namespace {

const ArgDef kArgDefs[] = {
    {"--json", nullptr, ARG_FLAG},
    {"--int", nullptr, ARG_VALUE},
    {"--output", "-o", ARG_VALUE},
    {"--quiet", "-q", ARG_FLAG},
};
const size_t kCount = sizeof kArgDefs / sizeof kArgDefs[0];

ParsedArgs Parse(const std::vector<std::string> &args)
{
    ParsedArgs p;
    std::string error;
    EXPECT_TRUE(ArgsParse(args, kArgDefs, kCount, &p, &error)) << error;
    return p;
}

std::string Fault(const std::vector<std::string> &args)
{
    ParsedArgs p;
    std::string error;
    EXPECT_FALSE(ArgsParse(args, kArgDefs, kCount, &p, &error));
    return error;
}

using Strings = std::vector<std::string>;

TEST(ToolArgs, OptionsStandAnywhereAmongPositionals)
{
    ParsedArgs p = Parse({"--json", "drv", "--int", "28=9", "0x1001", "--int=5=-1", "-q"});
    EXPECT_EQ(p.positionals, (Strings{"drv", "0x1001"}));
    EXPECT_TRUE(ArgsHas(p, "--json"));
    EXPECT_TRUE(ArgsHas(p, "--quiet"));
    EXPECT_EQ(ArgsAll(p, "--int"), (Strings{"28=9", "5=-1"}));
    EXPECT_FALSE(p.help);
    EXPECT_FALSE(p.version);
}

TEST(ToolArgs, ValueSpellings)
{
    // Every spelling lands under the long name; the last one given wins.
    for (const Strings &args : {Strings{"--output", "a.svg"}, Strings{"--output=a.svg"}, Strings{"-o", "a.svg"},
                                Strings{"-oa.svg"}, Strings{"-o", "x", "--output=a.svg"}}) {
        ParsedArgs p = Parse(args);
        std::string v;
        ASSERT_TRUE(ArgsLast(p, "--output", &v));
        EXPECT_EQ(v, "a.svg");
        EXPECT_TRUE(p.positionals.empty());
    }
    // A valued option takes the next argument even when it looks like an option;
    // "=" may give an empty value; later '=' belong to the value.
    ParsedArgs p = Parse({"--int", "-1", "--output=", "--int=3=x=y"});
    EXPECT_EQ(ArgsAll(p, "--int"), (Strings{"-1", "3=x=y"}));
    std::string v = "unset";
    ASSERT_TRUE(ArgsLast(p, "--output", &v));
    EXPECT_EQ(v, "");
    EXPECT_FALSE(ArgsLast(p, "--json", &v));
}

TEST(ToolArgs, DoubleDashEndsOptionsAndLoneDashIsPositional)
{
    ParsedArgs p = Parse({"-", "--json", "--", "--int", "-h", "--", "x"});
    EXPECT_EQ(p.positionals, (Strings{"-", "--int", "-h", "--", "x"}));
    EXPECT_TRUE(ArgsHas(p, "--json"));
    EXPECT_FALSE(ArgsHas(p, "--int"));
    EXPECT_FALSE(p.help);
}

TEST(ToolArgs, Faults)
{
    EXPECT_EQ(Fault({"a", "--bogus"}), "unknown option '--bogus'");
    EXPECT_EQ(Fault({"--bogus=1"}), "unknown option '--bogus'");
    EXPECT_EQ(Fault({"-x"}), "unknown option '-x'");
    EXPECT_EQ(Fault({"-qq"}), "unknown option '-qq'");
    EXPECT_EQ(Fault({"a", "--int"}), "option --int needs a value");
    EXPECT_EQ(Fault({"-o"}), "option -o needs a value");
    EXPECT_EQ(Fault({"--json=yes"}), "option --json takes no value");
    // The first fault is the one reported.
    EXPECT_EQ(Fault({"--one", "--two"}), "unknown option '--one'");
    // A flag's name is not a prefix match.
    EXPECT_EQ(Fault({"--js"}), "unknown option '--js'");
    EXPECT_EQ(Fault({"--jsonx"}), "unknown option '--jsonx'");
}

TEST(ToolArgs, HelpAndVersionWinOverFaults)
{
    for (const Strings &args :
         {Strings{"-h"}, Strings{"x", "--help"}, Strings{"--bogus", "--help"}, Strings{"--help", "--int"}}) {
        ParsedArgs p = Parse(args);
        EXPECT_TRUE(p.help);
    }
    ParsedArgs p = Parse({"--version", "--bogus"});
    EXPECT_TRUE(p.version);
    EXPECT_FALSE(p.help);
    EXPECT_EQ(std::string(ArgsVersion()), "1.0.0");
}

TEST(ToolArgs, SplitCommand)
{
    std::string cmd;
    Strings rest;
    ArgsSplitCommand({"query", "drv", "--json"}, kArgDefs, kCount, &cmd, &rest);
    EXPECT_EQ(cmd, "query");
    EXPECT_EQ(rest, (Strings{"drv", "--json"}));
    // Options before the command, with the values of valued options skipped.
    ArgsSplitCommand({"--json", "--int", "5=1", "-o", "f", "--output=g", "query", "drv"}, kArgDefs, kCount, &cmd,
                     &rest);
    EXPECT_EQ(cmd, "query");
    EXPECT_EQ(rest, (Strings{"--json", "--int", "5=1", "-o", "f", "--output=g", "drv"}));
    // No command: only options, nothing, or everything after "--".
    ArgsSplitCommand({"--help"}, kArgDefs, kCount, &cmd, &rest);
    EXPECT_EQ(cmd, "");
    EXPECT_EQ(rest, (Strings{"--help"}));
    ArgsSplitCommand({}, kArgDefs, kCount, &cmd, &rest);
    EXPECT_EQ(cmd, "");
    ArgsSplitCommand({"--", "query"}, kArgDefs, kCount, &cmd, &rest);
    EXPECT_EQ(cmd, "");
    EXPECT_EQ(rest, (Strings{"--", "query"}));
}

} // namespace
