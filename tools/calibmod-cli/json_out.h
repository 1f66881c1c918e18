// calibmod-cli: a small JSON writer for the --json answers. Objects and
// arrays are opened and closed in order; commas and indentation follow.
#ifndef CALIBMOD_CLI_JSON_OUT_H
#define CALIBMOD_CLI_JSON_OUT_H

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

struct Json {
    std::string out;
    std::vector<bool> first; // per open container: no member written yet
    bool afterKey = false;
};

// A string literal: quotes, backslash escapes, bytes outside 0x20..0x7E as
// \u00XX (each byte taken as one Latin-1 character).
std::string jsonQuote(const std::string &text);

void jsonBeginObject(Json &j);
void jsonEndObject(Json &j);
void jsonBeginArray(Json &j);
void jsonEndArray(Json &j);
void jsonKey(Json &j, const std::string &key);
void jsonString(Json &j, const std::string &value);
void jsonInt(Json &j, int64_t value);
void jsonBool(Json &j, bool value);
void jsonNull(Json &j);
// Bytes as an array of integers 0..255, on one line.
void jsonBytes(Json &j, const std::string &bytes);
// Integers on one line.
void jsonInts(Json &j, const std::vector<int64_t> &values);

// key + value in one call.
void jsonField(Json &j, const std::string &key, const std::string &value);
void jsonField(Json &j, const std::string &key, const char *value);
void jsonField(Json &j, const std::string &key, int64_t value);
void jsonFlag(Json &j, const std::string &key, bool value);

} // namespace cli

#endif // CALIBMOD_CLI_JSON_OUT_H
