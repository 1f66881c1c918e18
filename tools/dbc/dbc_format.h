// Decoding delivered database values for people: integers, text, area
// records, option-list items and printer command bytes. Shared by the key
// catalogue and depbase-cli.
#ifndef DBC_FORMAT_H
#define DBC_FORMAT_H

#include <cstdint>
#include <string>

// How a delivered value is to be read.
enum DbcValueForm {
    DBC_FORM_BYTES, // raw bytes (BYTES, command values)
    DBC_FORM_INTS,  // signed 32-bit integers
    DBC_FORM_UINTS, // unsigned 32-bit integers
    DBC_FORM_TEXT,  // UTF-16 with its NUL
    DBC_FORM_AREA,  // area record: left, width, top, length
    DBC_FORM_LIST,  // 20-byte option-list items
};

// The form of a value node's delivered value (node kind and its count, which
// is the computed type for COMPUTED nodes).
DbcValueForm DbcFormOfNode(uint32_t kind, uint32_t count);

// The name of a result code ("ZMD_OK", ...), or the number.
std::string DbcResultName(int32_t result);

// The name of a node kind ("INT16_ARRAY", ...).
const char *DbcKindName(uint32_t kind);

// One line: the value decoded in its form ("21000, 29700", "\"1.50\"",
// "1B 28 62 01 00 01", "left 340, width 20320, top 300, length 28900",
// "[id 11 name 0x3D92 v1 15712 v2 0 default 0] ...").
std::string DbcFormatValue(DbcValueForm form, const uint8_t *data, uint32_t size);

// Printer command bytes one command a line: "ESC ( p  len 8: 02 AB 00 00 01 E0 00 00",
// text commands with their lines quoted; every line starts with `indent`.
std::string DbcAnnotateCommands(const uint8_t *data, uint32_t size, const std::string &indent);

// Raw hex, 16 bytes a line, every line starting with `indent`.
std::string DbcHexDump(const uint8_t *data, uint32_t size, const std::string &indent);

// The signed 32-bit little-endian integer at p (every delivered integer,
// area field and item field is one).
int32_t DbcLe32(const uint8_t *p);

// A JSON string literal of 8-bit text.
std::string DbcJsonString(const std::string &text);

#endif // DBC_FORMAT_H
