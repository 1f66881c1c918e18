// depbase-cli: asks the database through the real exports of libdepbase.
// The pieces: argument parsing into a request, one query with the size
// protocol, and printing the answer for people or as JSON.
#ifndef DEPBASE_CLI_H
#define DEPBASE_CLI_H

#include <cstdint>
#include <string>
#include <vector>

enum CliCommand { CLI_HELP, CLI_QUERY, CLI_DUMP };

struct CliRequest {
    CliCommand command = CLI_HELP;
    int database = -1;                 // 0 root .. 5 sm
    uint32_t key = 0;
    std::vector<std::pair<uint32_t, int32_t>> ints;        // --int I=V, in order
    std::vector<std::pair<uint32_t, std::string>> strs;    // --str I=S, in order
    bool hasPrinter = false;
    std::string printer;               // --printer NAME
    bool raw = false;
    bool json = false;
};

// Parses argv[1..]. Returns true with *req filled, or false with a message.
bool CliParseArgs(const std::vector<std::string> &args, CliRequest *req, std::string *error);

// The usage text.
const char *CliUsage();

// Database by name ("root", "drv", "lm", "mnt", "pa", "sm"), or -1; and back.
int CliDatabaseByName(const std::string &name);
const char *CliDatabaseName(int database);

// First and last key of a database's export.
void CliKeyRange(int database, uint32_t *first, uint32_t *last);

// What a query gave: the result code, the bytes and how to read them.
struct CliAnswer {
    int32_t result = 0;
    std::vector<uint8_t> bytes;
    uint32_t size = 0;        // the size word (also on ZMD_MORE_DATA)
    std::string kind;         // "INT16_ARRAY", "list items", "command sequence", ...
    uint32_t count = 0;       // element count of the chosen value node, when known
    int form = 0;             // DbcValueForm, or CLI_FORM_PARAMETER_SET
};

enum { CLI_FORM_PARAMETER_SET = 100 };

// Runs the request's query through the export of its database.
CliAnswer CliQuery(const CliRequest &req);

// The answer for people, several lines; raw: a hex dump of the bytes.
std::string CliFormatAnswer(const CliRequest &req, const CliAnswer &a);
// The answer as one JSON object.
std::string CliFormatJson(const CliRequest &req, const CliAnswer &a);
// The answer in one line, for dump.
std::string CliFormatLine(const CliRequest &req, const CliAnswer &a);

// The keys that dump asks for in a database: the image's keys in its range,
// and for the driver database the keys its queries answer from their tables.
std::vector<uint32_t> CliDumpKeys(int database);

#endif // DEPBASE_CLI_H
