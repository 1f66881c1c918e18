// calibmod-cli: reading a calibration list file the way the module reads it.
#include "list_read.h"

namespace cli {

namespace {

std::string trimBlanks(const std::string &s)
{
    size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos) {
        return "";
    }
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// A number field: digits wrapping in 32 bits; '-' makes -1 whatever follows;
// empty is 0; any other character before a '-' fails.
bool parseField(const std::string &f, int32_t *value)
{
    uint32_t v = 0;
    for (char c : f) {
        if (c == '-') {
            *value = -1;
            return true;
        }
        if (c < '0' || c > '9') {
            return false;
        }
        v = v * 10u + static_cast<uint32_t>(c - '0');
    }
    *value = static_cast<int32_t>(v);
    return true;
}

void parseLine(ListLine *line)
{
    std::vector<std::string> fields(1);
    for (char c : line->text) {
        if (c != ',') {
            fields.back() += c;
        } else if (fields.size() == 5) {
            line->problem = "more than five fields";
            return;
        } else {
            fields.emplace_back();
        }
    }
    if (fields.size() != 5) {
        line->problem =
            std::to_string(fields.size()) + (fields.size() == 1 ? " field" : " fields") + " instead of five";
        return;
    }
    int32_t values[4];
    for (int i = 0; i < 4; ++i) {
        if (!parseField(trimBlanks(fields[i]), &values[i])) {
            line->problem = "field " + std::to_string(i + 1) + " is not a number";
            return;
        }
    }
    std::string name = trimBlanks(fields[4]);
    if (!copyNameIsSafe(name)) {
        line->problem = name.empty()       ? "the name is empty"
                        : name.size() > 15 ? "the name has more than 15 characters"
                                           : "the name does not name a file of the directory";
        return;
    }
    line->wellFormed = true;
    line->listNumber = static_cast<int16_t>(values[0]);
    line->param1 = values[1];
    line->param2 = values[2];
    line->param3 = values[3];
    line->name = name;
}

} // namespace

ListText readListText(const std::string &text)
{
    ListText list;
    std::string current;
    size_t readCount = 0;
    bool stopped = false; // a zero byte or the 128th line ended the module's scan
    std::string stopReason;
    for (size_t i = 0; i <= text.size(); ++i) {
        const bool atEnd = i == text.size();
        const char c = atEnd ? 0 : text[i];
        if (!atEnd && c != '\r' && c != '\n' && c != 0) {
            current += c;
            continue;
        }
        if (!current.empty()) {
            ListLine line;
            line.number = list.lines.size() + 1;
            line.text = current;
            if (stopped) {
                line.unread = stopReason;
            } else if (atEnd) {
                line.unread = "it has no line end";
            } else if (i >= kListBytesRead) {
                line.unread = "it ends past byte 32767, where the module stops looking";
            } else {
                line.read = true;
                ++readCount;
            }
            parseLine(&line); // unread lines too: their names still count as listed
            if (line.read && !line.wellFormed) {
                list.usable = false;
            }
            list.lines.push_back(line);
            if (!stopped && readCount >= kListLinesRead) {
                stopped = true;
                stopReason = "the module reads only the first 128 lines";
            }
        }
        current.clear();
        if (!atEnd && c == 0 && !stopped) {
            stopped = true;
            stopReason = "it follows a zero byte, where the module stops reading";
        }
    }
    return list;
}

bool copyNameIsSafe(const std::string &name)
{
    if (name.empty() || name.size() > 15 || name == "." || name == "..") {
        return false;
    }
    if (name.front() == ' ' || name.back() == ' ') {
        return false;
    }
    return name.find_first_of(std::string("/\\:,\r\n\0", 8)) == std::string::npos;
}

bool isListFileName(const std::string &name)
{
    if (name.size() < 5 + 3 + 4 || name.compare(name.size() - 4, 4, ".ini") != 0) {
        return false;
    }
    for (size_t i = 5; i + 4 < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return false;
        }
    }
    return true;
}

std::string listFileName(const std::string &prefix, int16_t listNumber)
{
    std::string digits = std::to_string(static_cast<uint32_t>(static_cast<int32_t>(listNumber)));
    while (digits.size() < 3) {
        digits = "0" + digits;
    }
    return prefix + digits + ".ini";
}

} // namespace cli
