// kzfile: building calibration data files and their table bodies.
#include <cerrno>
#include <cstring>
#include <cstdio>

#include "kzfile.h"

namespace kzfile {

void putU16(Bytes &b, size_t at, uint16_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void putU32(Bytes &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

uint16_t getU16(const Bytes &b, size_t at)
{
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

uint32_t getU32(const Bytes &b, size_t at)
{
    return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
           (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

void putU16(Bytes &b, size_t at, uint16_t v, bool bigEndian)
{
    putU16(b, at, bigEndian ? static_cast<uint16_t>((v >> 8) | (v << 8)) : v);
}

void putU32(Bytes &b, size_t at, uint32_t v, bool bigEndian)
{
    if (bigEndian) {
        v = (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
    }
    putU32(b, at, v);
}

uint16_t getU16(const Bytes &b, size_t at, bool bigEndian)
{
    uint16_t v = getU16(b, at);
    return bigEndian ? static_cast<uint16_t>((v >> 8) | (v << 8)) : v;
}

void appendU32(Bytes &b, uint32_t v)
{
    size_t at = b.size();
    b.resize(at + 4);
    putU32(b, at, v);
}

int kzdbRecordSize(int layout)
{
    return layout < 0 || layout > 0x7FFF ? 0 : dbRecordSize(static_cast<int16_t>(layout));
}

Bytes kzdbBody(int layout, const std::vector<int32_t> &kzhtIds, uint32_t seed, uint32_t word2, bool bigEndian)
{
    int size = kzdbRecordSize(layout);
    Bytes b(12 + kzhtIds.size() * static_cast<size_t>(size));
    putU32(b, 0, static_cast<uint32_t>(layout), bigEndian);
    putU32(b, 4, static_cast<uint32_t>(kzhtIds.size()), bigEndian);
    putU32(b, 8, word2, bigEndian);
    for (size_t r = 0; r < kzhtIds.size(); ++r) {
        size_t at = 12 + r * size;
        for (int k = 0; k < size; ++k) {
            b[at + k] = static_cast<uint8_t>(seed * 37 + r * 11 + k * 7 + 1);
        }
        if (layout == 0) {
            putU32(b, at + 64, static_cast<uint32_t>(kzhtIds[r]), bigEndian);
        }
        if (layout == 1) {
            putU32(b, at + 36, static_cast<uint32_t>(kzhtIds[r]), bigEndian);
        }
        if (layout == 2) {
            putU16(b, at + 22, static_cast<uint16_t>(kzhtIds[r]), bigEndian);
        }
    }
    return b;
}

Curve rampCurve(int16_t a, int16_t step)
{
    Curve c(kCurveEntries);
    for (int k = 0; k < kCurveEntries; ++k) {
        c[k] = static_cast<int16_t>(a + k * step);
    }
    return c;
}

namespace {

void putCurve(Bytes &b, size_t at, const Curve &c, bool bigEndian)
{
    for (int k = 0; k < kCurveEntries; ++k) {
        putU16(b, at + 2 * k, static_cast<uint16_t>(k < static_cast<int>(c.size()) ? c[k] : 0), bigEndian);
    }
}

size_t align4(size_t n)
{
    return (n + 3) & ~static_cast<size_t>(3);
}

} // namespace

Bytes plainBody(const std::vector<Curve> &curves, bool bigEndian)
{
    Bytes b(curves.size() * kCurveBytes);
    for (size_t i = 0; i < curves.size(); ++i) {
        putCurve(b, i * kCurveBytes, curves[i], bigEndian);
    }
    return b;
}

std::vector<TaggedItem> standardItems(size_t planes)
{
    std::vector<TaggedItem> items;
    items.push_back({ITEM_PLANE_COUNT, static_cast<uint32_t>(planes)});
    items.push_back({ITEM_SKIP, 0x12345678u});
    for (size_t i = 0; i < planes; ++i) {
        items.push_back({ITEM_PLANE, 0, static_cast<int>(i)});
    }
    return items;
}

size_t taggedPlaneOffset(size_t itemCount, size_t plane)
{
    return 16 + 8 * itemCount + plane * (kPlaneItemSize + kCurveBytes);
}

Bytes taggedBody(const std::vector<TaggedItem> &items, const std::vector<TaggedPlane> &planes, bool bigEndian)
{
    Bytes b(taggedPlaneOffset(items.size(), planes.size()));
    putU32(b, 0, kTaggedMagic, bigEndian);
    putU32(b, 4, 0xA5A5A5A5u);
    putU32(b, 8, static_cast<uint32_t>(items.size()), bigEndian);
    putU32(b, 12, 0x5A5A5A5Au);
    for (size_t i = 0; i < items.size(); ++i) {
        uint32_t value = items[i].value;
        if (items[i].tag == ITEM_PLANE && items[i].planeRef >= 0) {
            value = static_cast<uint32_t>(taggedPlaneOffset(items.size(), static_cast<size_t>(items[i].planeRef)));
        }
        // The low 24 bits of a tag word are not read; fill them.
        putU32(b, 16 + 8 * i, (static_cast<uint32_t>(items[i].tag) << 24) | (0x00ABCD00u + static_cast<uint32_t>(i)),
               bigEndian);
        putU32(b, 20 + 8 * i, value, bigEndian);
    }
    for (size_t p = 0; p < planes.size(); ++p) {
        size_t at = taggedPlaneOffset(items.size(), p);
        for (int k = 0; k < kPlaneItemSize; ++k) {
            b[at + k] = static_cast<uint8_t>(0xC0 + p * 3 + k);
        }
        putU32(b, at + 24, planes[p].slotTag, bigEndian);
        putU32(b, at + 28, static_cast<uint32_t>(planes[p].slot), bigEndian);
        putU32(b, at + 56, planes[p].descriptor, bigEndian);
        putU32(b, at + 60, static_cast<uint32_t>(planes[p].curveOffset), bigEndian);
        putCurve(b, at + kPlaneItemSize, planes[p].curve, bigEndian);
    }
    return b;
}

namespace {

bool inKzhtDirectory(const Table &t)
{
    if (t.dir == IN_KZHT) {
        return true;
    }
    if (t.dir == IN_KZDB) {
        return false;
    }
    return t.tag == kTagKzht;
}

void writeDirectory(Bytes &out, const FileDesc &fileDesc, const std::vector<size_t> &members, int64_t countOverride,
                    std::vector<size_t> *entryAt)
{
    appendU32(out, static_cast<uint32_t>(countOverride >= 0 ? countOverride : static_cast<int64_t>(members.size())));
    for (size_t m : members) {
        const Table &t = fileDesc.tables[m];
        (*entryAt)[m] = out.size();
        size_t at = out.size();
        out.resize(at + 12);
        putU32(out, at, t.tag);
        putU16(out, at + 4, t.id);
        putU16(out, at + 6, t.spare);
        // position filled in once the tables are placed
    }
}

} // namespace

Bytes buildFile(const FileDesc &fileDesc)
{
    Bytes out(24);
    putU32(out, 0, fileDesc.word0);
    putU32(out, 12, fileDesc.reserved12);
    putU32(out, 16, fileDesc.reserved16);

    putU32(out, 4, static_cast<uint32_t>(out.size()));
    appendU32(out, 0x4B5A4944u); // not read by the module
    appendU32(out, static_cast<uint32_t>(fileDesc.ident.size()));
    out.insert(out.end(), fileDesc.ident.begin(), fileDesc.ident.end());
    out.resize(align4(out.size()));

    std::vector<size_t> entryAt(fileDesc.tables.size(), 0);
    std::vector<size_t> kzdb, kzht;
    for (size_t i = 0; i < fileDesc.tables.size(); ++i) {
        if (!fileDesc.tables[i].listed) {
            continue;
        }
        if (fileDesc.sharedDirectory || !inKzhtDirectory(fileDesc.tables[i])) {
            kzdb.push_back(i);
        } else {
            kzht.push_back(i);
        }
    }
    putU32(out, 8, static_cast<uint32_t>(out.size()));
    if (fileDesc.sharedDirectory) {
        putU32(out, 20, static_cast<uint32_t>(out.size()));
        writeDirectory(out, fileDesc, kzdb, fileDesc.kzdbCount, &entryAt);
    } else {
        writeDirectory(out, fileDesc, kzdb, fileDesc.kzdbCount, &entryAt);
        putU32(out, 20, static_cast<uint32_t>(out.size()));
        writeDirectory(out, fileDesc, kzht, fileDesc.kzhtCount, &entryAt);
    }

    for (size_t i = 0; i < fileDesc.tables.size(); ++i) {
        const Table &t = fileDesc.tables[i];
        size_t pos = out.size();
        if (t.listed) {
            putU32(out, entryAt[i] + 8, static_cast<uint32_t>(pos));
        }
        appendU32(out, static_cast<uint32_t>(t.sizeWord >= 0 ? t.sizeWord : static_cast<int64_t>(t.body.size())));
        out.insert(out.end(), t.body.begin(), t.body.end());
        out.resize(align4(out.size()));
    }
    return out;
}

bool writeFile(const std::string &path, const Bytes &bytes, std::string *error)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) {
        if (error) {
            *error = "cannot create " + path + ": " + std::strerror(errno);
        }
        return false;
    }
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    int saved = ok ? 0 : errno;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (!ok && error) {
        *error = "cannot write " + path + ": " + std::strerror(saved);
    }
    return ok;
}

bool readFile(const std::string &path, Bytes *bytes, std::string *error)
{
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) {
        if (error) {
            *error = "cannot open " + path + ": " + std::strerror(errno);
        }
        return false;
    }
    bytes->clear();
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        bytes->insert(bytes->end(), buf, buf + n);
    }
    bool ok = !std::ferror(f);
    int saved = errno;
    std::fclose(f);
    if (!ok && error) {
        *error = "cannot read " + path + ": " + std::strerror(saved);
    }
    return ok;
}

} // namespace kzfile
