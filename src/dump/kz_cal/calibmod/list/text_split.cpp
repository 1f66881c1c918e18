// Line and field splitting in place, blank trimming.
#include "text_util.h"

#include "cal_types.h"

namespace {
// Positions are counted in 16 bits; no more of a text is looked at.
const int32_t kMaxScan = 32767;
} // namespace

void textSplitLines(char *text, int32_t length, LineTable *table)
{
    table->count = 0;
    for (int i = 0; i < CAL_LINE_MAX; ++i) {
        table->starts[i] = nullptr;
        table->lengths[i] = 0;
    }
    if (text == nullptr || length <= 0) {
        return;
    }
    if (length > kMaxScan) {
        length = kMaxScan;
    }
    int32_t start = 0;
    int32_t lineLength = 0;
    for (int32_t i = 0; i < length; ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n' || c == 0) {
            if (lineLength > 0) {
                table->starts[table->count] = text + start;
                table->lengths[table->count] = static_cast<int16_t>(lineLength);
                ++table->count;
            }
            if (c == 0 || table->count >= CAL_LINE_MAX) {
                if (c != 0) {
                    text[i] = 0;
                }
                return;
            }
            text[i] = 0;
            lineLength = 0;
        } else {
            if (lineLength == 0) {
                start = i;
            }
            ++lineLength;
        }
    }
    // A last line without an end is not recorded.
}

int16_t textSplitFields(char *line, int16_t length, char *fields[CAL_FIELD_MAX], int16_t *count)
{
    int16_t n = 1;
    int16_t rc = CAL_OK;
    fields[0] = line;
    for (int32_t i = 0; i < length; ++i) {
        char c = line[i];
        if (c == 0) {
            break;
        }
        if (c == ',') {
            if (n == CAL_FIELD_MAX) {
                rc = CAL_FAIL; // a comma after the fifth field has begun
                break;
            }
            line[i] = 0;
            fields[n++] = line + i + 1;
        }
    }
    for (int16_t k = 0; k < n; ++k) {
        fields[k] = textTrimSpaces(fields[k]);
    }
    *count = n;
    return rc;
}

char *textTrimSpaces(char *s)
{
    while (*s == ' ') {
        ++s;
    }
    if (*s == 0) {
        return s;
    }
    char *end = s;
    while (*end != 0) {
        ++end;
    }
    while (end > s && end[-1] == ' ') {
        *--end = 0;
    }
    return s;
}
