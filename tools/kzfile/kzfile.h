// kzfile: writing calibration data files, for tests, samples and the
// command-line tools. Not part of the shipped library; the format's numbers
// come from the module's table headers. Files are read through the module's
// inspection layer.
//
// A file is laid out as: the 24-byte header, the identification block, the
// directories (one shared, or a KZDB and a KZHT directory) and the tables,
// each a 32-bit body size and the body. All numbers are little-endian.
// The writer lets a caller place any entry in any directory with any tag,
// so that damaged and unusual files can be made as easily as good ones.
#ifndef KZFILE_H
#define KZFILE_H

#include <cstdint>
#include <string>
#include <vector>

#include "table_db.h"
#include "table_file.h"
#include "tagged_body.h"

namespace kzfile {

typedef std::vector<uint8_t> Bytes;
typedef std::vector<int16_t> Curve; // 256 entries

const uint32_t kTagKzdb = TABLE_KIND_KZDB;
const uint32_t kTagKzht = TABLE_KIND_KZHT;
const uint32_t kTaggedMagic = TAGGED_BLOCK_MAGIC;
const uint32_t kCurveDescriptor = CURVE_DESCRIPTOR;
const int kCurveBytes = CURVE_BYTES;
const int kCurveEntries = CURVE_BYTES / 2;
const int kPlaneItemSize = TAGGED_PLANE_SIZE;

// Little-endian access to a byte buffer.
void putU16(Bytes &b, size_t at, uint16_t v);
void putU32(Bytes &b, size_t at, uint32_t v);
uint16_t getU16(const Bytes &b, size_t at);
uint32_t getU32(const Bytes &b, size_t at);
void appendU32(Bytes &b, uint32_t v);
// The same in either order: bigEndian stands for a file whose numbers are
// swapped relative to a little-endian host (table bodies only).
void putU16(Bytes &b, size_t at, uint16_t v, bool bigEndian);
void putU32(Bytes &b, size_t at, uint32_t v, bool bigEndian);
uint16_t getU16(const Bytes &b, size_t at, bool bigEndian);

// ---- Table bodies -------------------------------------------------------

// The record size of a KZDB layout (164, 296, 300), or 0.
int kzdbRecordSize(int layout);
// A KZDB body: header (layout, record count, word2) and one record per id,
// each filled with a pattern derived from seed and the record index, with the
// KZHT id at the layout's place (32-bit at 64 or 36, 16-bit at 22).
Bytes kzdbBody(int layout, const std::vector<int32_t> &kzhtIds, uint32_t seed = 1, uint32_t word2 = 0,
               bool bigEndian = false);

// A curve of 256 entries: a + k * step, k = 0..255 (wrapping in 16 bits).
Curve rampCurve(int16_t a, int16_t step);
// A plain KZHT body: the curves one after another, little-endian.
Bytes plainBody(const std::vector<Curve> &curves, bool bigEndian = false);

// One item of a tagged body. For tag 0xDC with planeRef >= 0 the value is
// replaced by the position of plane item planeRef.
struct TaggedItem {
    uint8_t tag;
    uint32_t value;
    int planeRef = -1;
};
// One plane item of a tagged body and its curve, which follows it directly.
struct TaggedPlane {
    int32_t slot;
    Curve curve;
    uint32_t slotTag = static_cast<uint32_t>(ITEM_PLANE_COUNT) << 24; // top byte must be ITEM_PLANE_COUNT
    uint32_t descriptor = kCurveDescriptor;                           // must equal kCurveDescriptor
    int32_t curveOffset = kPlaneItemSize;                             // curve position written in the item
};
// The standard items for planes: 0xF8 = planes.size(), 0x9A, one 0xDC per plane.
std::vector<TaggedItem> standardItems(size_t planes);
// A tagged body: header (magic, word, item count, word), the items, then each
// plane item (64 bytes) followed by its 512-byte curve. Unread words are
// filled with a pattern.
Bytes taggedBody(const std::vector<TaggedItem> &items, const std::vector<TaggedPlane> &planes, bool bigEndian = false);
// Body offset of plane item i in a body made by taggedBody.
size_t taggedPlaneOffset(size_t itemCount, size_t plane);

// ---- Files --------------------------------------------------------------

enum DirectoryChoice {
    BY_TAG,
    IN_KZDB,
    IN_KZHT
};

struct Table {
    uint32_t tag; // kind tag written in the directory entry
    uint16_t id;
    Bytes body;
    uint16_t spare = 0;           // the entry's unused 16 bits
    DirectoryChoice dir = BY_TAG; // with separate directories: where the entry goes
    bool listed = true;           // false: the body is in the file but no entry names it
    int64_t sizeWord = -1;        // >= 0: written instead of the body's true size
};

struct FileDesc {
    uint32_t word0 = 0x315A4B43u; // not read by the module
    uint32_t reserved12 = 0, reserved16 = 0;
    std::string ident = "KZ-CAL SAMPLE 1";
    bool sharedDirectory = false;
    std::vector<Table> tables; // entries in this order
    int64_t kzdbCount = -1;    // >= 0: written as the KZDB (or shared) directory count
    int64_t kzhtCount = -1;    // >= 0: written as the KZHT directory count
};

Bytes buildFile(const FileDesc &fileDesc);
bool writeFile(const std::string &path, const Bytes &bytes, std::string *error);
bool readFile(const std::string &path, Bytes *bytes, std::string *error);

} // namespace kzfile

#endif // KZFILE_H
