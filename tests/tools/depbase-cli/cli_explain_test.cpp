// depbase-cli explain: the observed evaluation answers exactly as the export
// does, for every record of the catalogue sweep, and its steps say how.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "cli.h"
#include "depbase.h"
#include "image.h"
#include "key_sweep.h"

namespace {

const char *const kDbNames[6] = {"root", "drv", "lm", "mnt", "pa", "sm"};

// A request for one sweep record: every setting it holds that is not 0 or empty.
CliRequest RequestOf(const SweepQuery &q)
{
    CliRequest req;
    req.command = CLI_EXPLAIN;
    req.database = static_cast<int>(q.database);
    req.key = q.key;
    for (size_t i = 0; i < q.ints.size(); ++i) {
        if (q.ints[i] != 0) {
            req.ints.push_back({static_cast<uint32_t>(i), q.ints[i]});
        }
    }
    for (size_t i = 0; i < q.strings.size(); ++i) {
        if (q.stringSet[i] && !q.strings[i].empty()) {
            req.strs.push_back({static_cast<uint32_t>(i), q.strings[i]});
        }
    }
    return req;
}

// The clock command's digits are the local time, which may move between two
// queries: each becomes '?'.
std::vector<uint8_t> WithoutTime(std::vector<uint8_t> b)
{
    static const char kTag[] = "SetTime=";
    for (size_t i = 0; i + 8 <= b.size(); ++i) {
        if (std::memcmp(&b[i], kTag, 8) == 0) {
            for (size_t j = i + 8; j < b.size() && b[j] >= '0' && b[j] <= '9'; ++j) {
                b[j] = '?';
            }
        }
    }
    return b;
}

CliRequest Parse(const std::vector<std::string> &args)
{
    CliRequest req;
    std::string error;
    EXPECT_TRUE(CliParseArgs(args, &req, &error)) << error;
    return req;
}

std::vector<std::string> Names(const CliExplanation &e)
{
    std::vector<std::string> names;
    for (const CliStep &s : e.steps) {
        names.push_back(s.name);
    }
    return names;
}

TEST(CliExplain, EveryQueryOfTheSweepEndsInTheAnswerOfQuery)
{
    const std::vector<SweepQuery> sweep =
        BuildFullSweep(ZMD_ShippedImage(), [](uint16_t key, uint32_t database, ZMD_SettingsRecord *record) {
            uint32_t size = 0;
            int32_t r = SweepExportOf(database)(key, record, 0, nullptr, &size);
            return r == ZMD_MORE_DATA ? ZMD_OK : r;
        });
    ASSERT_GT(sweep.size(), 300u);
    size_t explained = 0;
    for (const SweepQuery &q : sweep) {
        const CliRequest req = RequestOf(q);
        const CliAnswer asked = CliQuery(req);
        const CliExplanation e = CliExplain(req);
        const std::string what = std::string(kDbNames[q.database]) + " " + std::to_string(q.key);
        EXPECT_EQ(e.answer.result, asked.result) << what;
        EXPECT_EQ(e.answer.size, asked.size) << what;
        EXPECT_EQ(WithoutTime(e.answer.bytes), WithoutTime(asked.bytes)) << what;
        EXPECT_EQ(e.answer.kind, asked.kind) << what;
        ASSERT_FALSE(e.steps.empty()) << what;
        const CliStep &last = e.steps.back();
        EXPECT_EQ(last.name, "answer") << what;
        EXPECT_EQ(last.result, e.answer.result) << what;
        EXPECT_EQ(last.bytes, e.answer.bytes) << what;
        // A key answered from its tree ends in the extraction of the value its walk reached.
        if (e.answer.result == ZMD_OK && e.answer.kind != "list" && e.answer.kind != "sequence" &&
            e.answer.kind != "paramset") {
            ASSERT_GE(e.steps.size(), 2u) << what;
            const CliStep &value = e.steps[e.steps.size() - 2];
            EXPECT_EQ(value.name, "extract") << what;
            EXPECT_EQ(WithoutTime(value.bytes), WithoutTime(e.answer.bytes)) << what;
            ++explained;
        }
    }
    EXPECT_GT(explained, sweep.size() / 2);
}

TEST(CliExplain, AKeyTreeNamesEachSettingCaseAndSourceLine)
{
    const CliRequest req = Parse({"explain", "drv", "0x1001", "--int", "28=9"});
    const CliExplanation e = CliExplain(req);
    EXPECT_EQ(Names(e),
              (std::vector<std::string>{"key", "read", "case", "read", "case", "value", "end", "extract", "answer"}));
    EXPECT_EQ(e.steps[1].line.find("select_int reads integer 28 = 9 (db/drv.zdb:"), 0u) << e.steps[1].line;
    EXPECT_EQ(e.steps[2].line.find("case 9 matched (db/drv.zdb:"), 0u) << e.steps[2].line;
    EXPECT_EQ(e.steps[4].line.find("default taken"), 0u) << e.steps[4].line;
    EXPECT_EQ(e.steps[1].depth, 1);
    EXPECT_EQ(e.steps.back().line, "answer: ZMD_OK, 8 bytes: 20320, 28900");

    const std::string text = CliFormatExplanation(req, e);
    EXPECT_EQ(text.find(CliFormatAnswer(req, CliQuery(req)) + "How:\n  key drv 0x1001 (db/drv.zdb:"), 0u) << text;

    // No case matches: the walk says so and ends without a value.
    const CliExplanation none = CliExplain(Parse({"explain", "drv", "0x1003"}));
    EXPECT_EQ(Names(none), (std::vector<std::string>{"key", "read", "no-case", "end", "answer"}));
    EXPECT_EQ(none.steps.back().line, "answer: ZMD_NOT_FOUND");
}

TEST(CliExplain, ListsWalkEachItemAndSequencesEachPart)
{
    // Per-choice values item by item, then the default mark.
    const CliExplanation list = CliExplain(Parse({"explain", "drv", "0x100C"}));
    const std::vector<std::string> names = Names(list);
    EXPECT_EQ(std::count(names.begin(), names.end(), "item"), static_cast<long>(list.answer.bytes.size() / 20));
    EXPECT_EQ(std::count(names.begin(), names.end(), "field"), static_cast<long>(list.answer.bytes.size() / 20 * 2));
    ASSERT_GE(list.steps.size(), 2u);
    EXPECT_EQ(list.steps[list.steps.size() - 2].name, "default");

    // A part that reads a stored printer value walks the value-name key inside its own walk.
    const char *old = std::getenv("ZMD_PRINTER_DIR");
    const std::string saved = old ? old : "";
    setenv("ZMD_PRINTER_DIR", ZMD_TEST_SAMPLES_DIR "/printers", 1);
    const CliExplanation seq = CliExplain(Parse({"explain", "drv", "0x1018", "--printer", "office"}));
    old ? setenv("ZMD_PRINTER_DIR", saved.c_str(), 1) : unsetenv("ZMD_PRINTER_DIR");
    bool read = false;
    for (size_t i = 1; i < seq.steps.size(); ++i) {
        const CliStep &s = seq.steps[i];
        if (s.name == "read" && s.line.find("printer-data item 2 (XvnUI_CustomECPMode) = 0") != std::string::npos) {
            read = true;
            EXPECT_EQ(seq.steps[i - 1].name, "end");
            EXPECT_EQ(seq.steps[i - 1].depth, s.depth); // the value-name walk ends at the selector's depth
        }
    }
    EXPECT_TRUE(read);
    EXPECT_EQ(seq.steps.front().name, "part");

    // The JSON carries the same steps.
    CliRequest req = Parse({"explain", "drv", "0x100C", "--json"});
    const std::string json = CliFormatExplanationJson(req, list);
    size_t count = 0;
    for (size_t at = json.find("{\"step\": "); at != std::string::npos; at = json.find("{\"step\": ", at + 1)) {
        ++count;
    }
    EXPECT_EQ(count, list.steps.size());
    EXPECT_EQ(json.find("{\"answer\": {\"database\": \"drv\", \"key\": \"0x100C\""), 0u) << json.substr(0, 80);
}

} // namespace
