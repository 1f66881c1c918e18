// calibmod-cli: a small JSON writer for the --json answers.
#include "json_out.h"

#include <cstdio>

namespace cli {

namespace {

// Starts a value: a comma and a line break unless it is the first member or
// follows its key.
void beginValue(Json &j)
{
    if (j.afterKey) {
        j.afterKey = false;
        return;
    }
    if (j.first.empty()) {
        return;
    }
    if (!j.first.back()) {
        j.out += ",";
    }
    j.first.back() = false;
    j.out += "\n" + std::string(2 * j.first.size(), ' ');
}

void close(Json &j, char c)
{
    bool empty = j.first.back();
    j.first.pop_back();
    if (!empty) {
        j.out += "\n" + std::string(2 * j.first.size(), ' ');
    }
    j.out += c;
    if (j.first.empty()) {
        j.out += "\n";
    }
}

} // namespace

std::string jsonQuote(const std::string &text)
{
    std::string q = "\"";
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            q += '\\';
            q += ch;
        } else if (c == '\n') {
            q += "\\n";
        } else if (c == '\r') {
            q += "\\r";
        } else if (c == '\t') {
            q += "\\t";
        } else if (c < 0x20 || c > 0x7E) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            q += buf;
        } else {
            q += ch;
        }
    }
    return q + "\"";
}

void jsonBeginObject(Json &j)
{
    beginValue(j);
    j.out += "{";
    j.first.push_back(true);
}

void jsonEndObject(Json &j)
{
    close(j, '}');
}

void jsonBeginArray(Json &j)
{
    beginValue(j);
    j.out += "[";
    j.first.push_back(true);
}

void jsonEndArray(Json &j)
{
    close(j, ']');
}

void jsonKey(Json &j, const std::string &key)
{
    beginValue(j);
    j.out += jsonQuote(key) + ": ";
    j.afterKey = true;
}

void jsonString(Json &j, const std::string &value)
{
    beginValue(j);
    j.out += jsonQuote(value);
}

void jsonInt(Json &j, int64_t value)
{
    beginValue(j);
    j.out += std::to_string(value);
}

void jsonBool(Json &j, bool value)
{
    beginValue(j);
    j.out += value ? "true" : "false";
}

void jsonNull(Json &j)
{
    beginValue(j);
    j.out += "null";
}

void jsonBytes(Json &j, const std::string &bytes)
{
    std::vector<int64_t> v;
    for (char c : bytes) {
        v.push_back(static_cast<unsigned char>(c));
    }
    jsonInts(j, v);
}

void jsonInts(Json &j, const std::vector<int64_t> &values)
{
    beginValue(j);
    j.out += "[";
    for (size_t i = 0; i < values.size(); ++i) {
        j.out += (i ? ", " : "") + std::to_string(values[i]);
    }
    j.out += "]";
}

void jsonField(Json &j, const std::string &key, const std::string &value)
{
    jsonKey(j, key);
    jsonString(j, value);
}

void jsonField(Json &j, const std::string &key, const char *value)
{
    jsonField(j, key, std::string(value));
}

void jsonField(Json &j, const std::string &key, int64_t value)
{
    jsonKey(j, key);
    jsonInt(j, value);
}

void jsonFlag(Json &j, const std::string &key, bool value)
{
    jsonKey(j, key);
    jsonBool(j, value);
}

} // namespace cli
