// A reader of calibration data files for the tests, apart from the module:
// it checks what kzfile wrote and what a call left from the outside, never
// reading past the end of the bytes. The tools read files through the
// module's inspection layer instead.
#ifndef KZ_READ_H
#define KZ_READ_H

#include "kzfile.h"

namespace kzfile {

struct EntryInfo {
    uint32_t tag;
    uint16_t id;
    uint32_t position;
    bool sizeOk; // size word and body lie inside the file
    int32_t bodySize;
    uint32_t bodyOffset; // position + 4
};

struct DirectoryInfo {
    uint32_t position;
    int32_t count;
    bool entriesOk; // all entries lie inside the file
    std::vector<EntryInfo> entries;
};

struct CurveInfo {
    uint32_t offset; // from the start of the file
    int32_t slot;    // tagged: the plane item's slot; plain: the curve index
};

struct KzhtInfo {
    bool tagged;
    bool wellFormed; // tagged: items, planes and curves inside the body and valid
    int32_t itemCount;
    int32_t planeCount;
    std::vector<CurveInfo> curves; // plain: every whole 512 bytes; tagged: each plane's curve
};

struct KzdbInfo {
    int layout;
    int32_t count;
    bool recordsOk; // the records fit the body
    std::vector<int32_t> kzhtIds;
};

struct FileInfo {
    uint32_t identPosition, kzdbDirPosition, kzhtDirPosition;
    bool identOk;
    std::string ident;
    DirectoryInfo kzdbDir, kzhtDir;
};

// Parses what a file holds; never reads past its end. False (with a reason)
// only when the header itself is missing.
bool inspect(const Bytes &file, FileInfo *info, std::string *error);
// The table of a kind and id as the module finds it (first matching entry in
// the kind's directory), or null.
const EntryInfo *findTable(const FileInfo &info, uint32_t tag, uint16_t id);
KzdbInfo inspectKzdb(const Bytes &file, const EntryInfo &e);
KzhtInfo inspectKzht(const Bytes &file, const EntryInfo &e);
// The 256 entries at a file offset (little-endian unless bigEndian).
Curve curveAt(const Bytes &file, size_t offset, bool bigEndian = false);
// A readable listing of everything above.
std::string describe(const Bytes &file);

} // namespace kzfile

#endif // KZ_READ_H
