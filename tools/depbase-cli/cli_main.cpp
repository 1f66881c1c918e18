// depbase-cli: the tool a driver engineer uses to ask the model database.
#include <cstdio>
#include <sys/stat.h>

#include "args.h"
#include "cli.h"
#include "tool_text.h"

namespace {

// Warns about the lines of the printer file the query will read that the
// store cannot read; a missing file is left to the advice after the answer.
void WarnAboutPrinterFile(const CliRequest &req)
{
    std::string why;
    std::string path = CliPrinterPath(req.printer, &why);
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return;
    }
    // In line order already; escaped, and at most 20 of them.
    ToolErrors warnings;
    for (const std::string &w : CliPrinterWarnings(path, CliValueNames())) {
        ToolErrorAdd(&warnings, 0, static_cast<long>(warnings.list.size()), "depbase-cli: warning: " + w);
    }
    std::fputs(ToolErrorsText(warnings, "depbase-cli").c_str(), stderr);
}

int Query(const CliRequest &req)
{
    if (req.hasPrinter) {
        WarnAboutPrinterFile(req);
    }
    CliAnswer a;
    std::string out;
    if (req.command == CLI_EXPLAIN) {
        CliExplanation e = CliExplain(req);
        a = e.answer;
        out = req.json ? CliFormatExplanationJson(req, e) + "\n" : CliFormatExplanation(req, e);
    } else {
        a = CliQuery(req);
        out = req.json ? CliFormatJson(req, a) + "\n" : CliFormatAnswer(req, a);
    }
    std::fputs(out.c_str(), stdout);
    std::fflush(stdout);
    std::string advice = CliPrinterAdvice(req, CliProbePrinter(req));
    if (!advice.empty()) {
        std::fprintf(stderr, "depbase-cli: %s", advice.c_str());
    }
    return a.result == 0 ? CLI_EXIT_OK : CLI_EXIT_RESULT;
}

// Every key of every database with records of the database's shape.
int Dump(const CliRequest &req)
{
    bool first = true;
    if (req.json) {
        std::fputs("[\n", stdout);
    }
    for (int db = 0; db < 6; ++db) {
        for (uint32_t key : CliDumpKeys(db)) {
            CliRequest one = req;
            one.command = CLI_QUERY;
            one.database = db;
            one.key = key;
            CliAnswer a = CliQuery(one);
            std::string line =
                req.json ? (first ? "  " : ",\n  ") + CliFormatJson(one, a) : CliFormatLine(one, a) + "\n";
            std::fputs(line.c_str(), stdout);
            first = false;
        }
    }
    if (req.json) {
        std::fputs("\n]\n", stdout);
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::perror("depbase-cli: cannot write the answers");
        return CLI_EXIT_RESULT;
    }
    return CLI_EXIT_OK;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    CliRequest req;
    std::string error;
    if (!CliParseArgs(args, &req, &error)) {
        std::string topic =
            !args.empty() && (args[0] == "query" || args[0] == "explain" || args[0] == "dump") ? " " + args[0] : "";
        return ArgsUsageError("depbase-cli" + topic, error);
    }
    switch (req.command) {
    case CLI_HELP:
        std::fputs(CliUsage(req.helpTopic), stdout);
        return std::fflush(stdout) == 0 ? CLI_EXIT_OK : CLI_EXIT_RESULT;
    case CLI_VERSION:
        return ArgsPrintVersion("depbase-cli");
    case CLI_QUERY:
    case CLI_EXPLAIN:
        return Query(req);
    case CLI_DUMP:
        return Dump(req);
    }
    return CLI_EXIT_USAGE;
}
