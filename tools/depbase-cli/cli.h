// depbase-cli: asks the database through the real exports of libdepbase.
// The pieces: argument parsing into a request, the help texts, one query
// with the size protocol, the printer store as the tool sees it, and
// printing the answer for people or as JSON.
#ifndef DEPBASE_CLI_H
#define DEPBASE_CLI_H

#include <cstdint>
#include <string>
#include <vector>

enum CliCommand {
    CLI_HELP,
    CLI_VERSION,
    CLI_QUERY,
    CLI_DUMP,
    CLI_EXPLAIN
};

struct CliRequest {
    CliCommand command = CLI_HELP;
    std::string helpTopic; // CLI_HELP: "", "query", "explain" or "dump"
    int database = -1;     // 0 root .. 5 sm
    uint32_t key = 0;
    std::vector<std::pair<uint32_t, int32_t>> ints;     // --int I=V, in order
    std::vector<std::pair<uint32_t, std::string>> strs; // --str I=S, in order
    bool hasPrinter = false;
    std::string printer; // --printer NAME
    bool raw = false;
    bool json = false;
};

// Exit statuses.
enum {
    CLI_EXIT_OK = 0,
    CLI_EXIT_RESULT = 1,
    CLI_EXIT_USAGE = 2
};

// Parses argv[1..]. Returns true with *req filled, or false with a message.
bool CliParseArgs(const std::vector<std::string> &args, CliRequest *req, std::string *error);

// The help of the tool (topic "") or of one command ("query", "dump").
const char *CliUsage(const std::string &topic = "");

// Database by name ("root", "drv", "lm", "mnt", "pa", "sm"), or -1; and back.
int CliDatabaseByName(const std::string &name);
const char *CliDatabaseName(int database);

// First and last key of a database's export.
void CliKeyRange(int database, uint32_t *first, uint32_t *last);

// What a query gave: the result code, the bytes and how to read them.
struct CliAnswer {
    int32_t result = 0;
    std::vector<uint8_t> bytes;
    uint32_t size = 0;         // the size word (also on ZMD_MORE_DATA)
    std::string kind;          // "int16_array", "text", "list", "sequence", "paramset", "computed", ...; "" unknown
    uint32_t computedType = 0; // kind "computed": the computed value's type
    int form = 0;              // DbcValueForm, or CLI_FORM_PARAMETER_SET
};

enum {
    CLI_FORM_PARAMETER_SET = 100
};

// Runs the request's query through the export of its database.
CliAnswer CliQuery(const CliRequest &req);

// The same query through the export's frame with an observer told every step
// of the evaluation (observe.h); null: exactly CliQuery.
struct ZMD_Observer;
CliAnswer CliQueryObserved(const CliRequest &req, const ZMD_Observer *observer);

// One step of an explanation: what the engine did, as one line for people
// and as the fields of a JSON object (docs/json.md).
struct CliStep {
    std::string name;           // "key", "read", "case", "no-case", "value", "extract", "list", "item", "field",
                                // "default", "part", "row", "end", "answer"
    int depth = 0;              // nesting of key walks
    std::string line;           // the line for people
    std::string fields;         // the step's JSON members after "step", "depth" and "text" ("" or ", ...")
    std::vector<uint8_t> bytes; // extract and answer: the bytes delivered
    int32_t result = 0;         // end and answer: the result code
};

// The answer and the way the engine went to it (the steps of the last call
// of the size protocol, the one that answered).
struct CliExplanation {
    CliAnswer answer;
    std::vector<CliStep> steps;
};
CliExplanation CliExplain(const CliRequest &req);
// The answer as query prints it, then "How:" and one line per step.
std::string CliFormatExplanation(const CliRequest &req, const CliExplanation &e);
// A JSON string literal of UTF-8 text (control characters escaped).
std::string CliJsonText(const std::string &text);
// {"answer": <query --json object>, "steps": [...]}
std::string CliFormatExplanationJson(const CliRequest &req, const CliExplanation &e);

// The number of elements of an answer in its form: integers, UTF-16 units
// (the NUL included), list items or bytes.
uint32_t CliElementCount(const CliAnswer &a);

// The answer for people, several lines; raw: a hex dump of the bytes.
std::string CliFormatAnswer(const CliRequest &req, const CliAnswer &a);
// The answer as one JSON object (docs/json.md).
std::string CliFormatJson(const CliRequest &req, const CliAnswer &a);
// The answer in one line, for dump.
std::string CliFormatLine(const CliRequest &req, const CliAnswer &a);

// The keys that dump asks for in a database: the image's keys in its range,
// and for the driver database the keys its queries answer from their tables.
std::vector<uint32_t> CliDumpKeys(int database);

// The printer store, as the POSIX backend reads it.
// The file printer `name` is read from; "" with *why when there is none
// (a name the store refuses, or neither ZMD_PRINTER_DIR nor HOME set).
std::string CliPrinterPath(const std::string &name, std::string *why);
// Every value name the database reads from a printer, in item order.
std::vector<std::string> CliValueNames();
// One warning per line of the store file that the store cannot read as
// "ValueName = number", or whose name the database never reads (with the
// right spelling when only the case differs). Each starts "PATH:LINE: ".
// A file that cannot be opened gives one warning with the system's reason.
std::vector<std::string> CliPrinterWarnings(const std::string &path, const std::vector<std::string> &valueNames);

// The printer values one query reads and whether the printer stores each.
struct CliPrinterUse {
    std::vector<std::string> names; // in the order read, each once
    std::vector<bool> stored;
    bool opened = false; // the named printer's file was opened
};
CliPrinterUse CliProbePrinter(const CliRequest &req);
// What to tell the user when a query needed printer data it did not get:
// no printer named, no such printer file, or a value not stored. One
// paragraph naming the file looked for, the value name and an example
// line; "" when the query got every value it read.
std::string CliPrinterAdvice(const CliRequest &req, const CliPrinterUse &use);

#endif // DEPBASE_CLI_H
