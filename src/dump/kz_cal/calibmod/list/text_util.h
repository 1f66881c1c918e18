// Small text routines of the list file: line and field splitting in place,
// blank trimming, decimal parsing and formatting, and the one case folding
// of names.
#ifndef KZ_TEXT_UTIL_H
#define KZ_TEXT_UTIL_H

#include <cstdint>

#define CAL_LINE_MAX  128 // lines recorded by textSplitLines
#define CAL_FIELD_MAX 5   // fields of a list line

// The lines of a text, split in place.
struct LineTable {
    int16_t count;
    char *starts[CAL_LINE_MAX];
    int16_t lengths[CAL_LINE_MAX];
};

// Splits text[0..length) into at most 128 non-empty lines, overwriting each
// CR or LF that ends a line with zero. CR, LF and zero end a line; a zero or
// the 128th line ends the scan; a last line without an end is not recorded.
// Only the first 32767 bytes are looked at, so positions and lengths always
// fit their 16-bit fields: a text with no line end there yields no line
// beyond that point.
void textSplitLines(char *text, int32_t length, LineTable *table);
// Splits a line into up to five comma-separated fields in place and trims
// each. *count gets the number of fields found. -1 on a comma after the
// fifth field begins, else 0.
int16_t textSplitFields(char *line, int16_t length, char *fields[CAL_FIELD_MAX], int16_t *count);
// Removes leading and trailing blanks (character 32 only); trailing ones are
// overwritten with zero. Returns the first non-blank character (or the
// terminator of an all-blank string).
char *textTrimSpaces(char *s);
// Reads a decimal field: digits wrap around in 32 bits, '-' anywhere before
// another character makes -1, an empty field is 0. 0, or -1 for any other
// character (*value is then not written).
int16_t textParseNumber(const char *s, int32_t *value);
// Writes value as unsigned 32-bit decimal digits and a terminator (at most
// 11 bytes). Returns the number of digits.
int16_t textFormatUnsigned(char *buffer, uint32_t value);
// Sets count bytes to zero; nothing for a count of 0 or less.
void bufferZeroFill(void *buffer, int32_t count);
// 'A'..'Z' as 'a'..'z'; every other byte (digits, marks, bytes above 127) as
// it is. Names are folded with this and nothing else.
char textLower(char c);
// True when a and b hold the same text in their first n bytes, letters
// compared without case (textLower). The byte at skip is passed over (-1:
// none); a position where both hold a terminator ends the comparison early,
// so bytes after the end of both texts never count.
bool textSameNoCase(const char *a, const char *b, int32_t n, int32_t skip);

#endif // KZ_TEXT_UTIL_H
