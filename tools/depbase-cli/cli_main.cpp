// depbase-cli: the tool a driver engineer uses to ask the model database.
#include <cstdio>

#include "cli.h"

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    CliRequest req;
    std::string error;
    if (!CliParseArgs(args, &req, &error)) {
        std::fprintf(stderr, "depbase-cli: %s\nTry 'depbase-cli --help'.\n", error.c_str());
        return 2;
    }
    if (req.command == CLI_HELP) {
        std::fputs(CliUsage(), stdout);
        return 0;
    }
    if (req.command == CLI_QUERY) {
        CliAnswer a = CliQuery(req);
        std::string out = req.json ? CliFormatJson(req, a) + "\n" : CliFormatAnswer(req, a);
        std::fputs(out.c_str(), stdout);
        return a.result == 0 ? 0 : 1;
    }
    // dump: every key of every database with records of the database's shape.
    bool first = true;
    if (req.json) std::fputs("[\n", stdout);
    for (int db = 0; db < 6; ++db) {
        for (uint32_t key : CliDumpKeys(db)) {
            CliRequest one = req;
            one.command = CLI_QUERY;
            one.database = db;
            one.key = key;
            CliAnswer a = CliQuery(one);
            std::string line = req.json ? (first ? "  " : ",\n  ") + CliFormatJson(one, a) : CliFormatLine(one, a) + "\n";
            std::fputs(line.c_str(), stdout);
            first = false;
        }
    }
    if (req.json) std::fputs("\n]\n", stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
