// The tests' reader of calibration data files, never past their end.
#include <cstdio>
#include <sstream>

#include "kz_read.h"

namespace kzfile {

namespace {

bool fits(const Bytes &b, uint64_t offset, uint64_t length)
{
    return offset + length <= b.size();
}

DirectoryInfo readDirectory(const Bytes &file, uint32_t position)
{
    DirectoryInfo d{position, 0, false, {}};
    if (!fits(file, position, 4)) {
        return d;
    }
    d.count = static_cast<int32_t>(getU32(file, position));
    d.entriesOk = d.count >= 0 && fits(file, position + 4ull, 12ull * static_cast<uint32_t>(d.count));
    for (int64_t i = 0; i < d.count && fits(file, position + 4ull + 12ull * i, 12); ++i) {
        size_t at = position + 4 + 12 * static_cast<size_t>(i);
        EntryInfo e{};
        e.tag = getU32(file, at);
        e.id = getU16(file, at + 4);
        e.position = getU32(file, at + 8);
        e.bodyOffset = e.position + 4;
        if (fits(file, e.position, 4)) {
            e.bodySize = static_cast<int32_t>(getU32(file, e.position));
            e.sizeOk = e.bodySize >= 0 && fits(file, e.position + 4ull, static_cast<uint64_t>(e.bodySize));
        }
        d.entries.push_back(e);
    }
    return d;
}

} // namespace

bool inspect(const Bytes &file, FileInfo *info, std::string *error)
{
    *info = FileInfo{};
    if (file.size() < 24) {
        if (error) {
            *error = "too short for a header (" + std::to_string(file.size()) + " bytes)";
        }
        return false;
    }
    info->identPosition = getU32(file, 4);
    info->kzdbDirPosition = getU32(file, 8);
    info->kzhtDirPosition = getU32(file, 20);
    if (fits(file, info->identPosition, 8)) {
        uint32_t n = getU32(file, info->identPosition + 4);
        if (fits(file, info->identPosition + 8ull, n)) {
            info->identOk = true;
            info->ident.assign(file.begin() + info->identPosition + 8, file.begin() + info->identPosition + 8 + n);
        }
    }
    info->kzdbDir = readDirectory(file, info->kzdbDirPosition);
    info->kzhtDir = readDirectory(file, info->kzhtDirPosition);
    return true;
}

const EntryInfo *findTable(const FileInfo &info, uint32_t tag, uint16_t id)
{
    const DirectoryInfo &d = tag == kTagKzdb ? info.kzdbDir : info.kzhtDir;
    for (const EntryInfo &e : d.entries) {
        if (e.tag == tag && e.id == id) {
            return &e;
        }
    }
    return nullptr;
}

KzdbInfo inspectKzdb(const Bytes &file, const EntryInfo &e)
{
    KzdbInfo k{-1, 0, false, {}};
    if (!e.sizeOk || e.bodySize < 12) {
        return k;
    }
    k.layout = static_cast<int>(getU32(file, e.bodyOffset) & 0xFFFF);
    k.count = static_cast<int32_t>(getU32(file, e.bodyOffset + 4));
    int size = kzdbRecordSize(k.layout);
    k.recordsOk =
        size > 0 && k.count >= 0 && k.count <= 32767 && 12ll + static_cast<int64_t>(k.count) * size <= e.bodySize;
    if (!k.recordsOk) {
        return k;
    }
    for (int32_t r = 0; r < k.count; ++r) {
        size_t at = e.bodyOffset + 12 + static_cast<size_t>(r) * size;
        if (k.layout == 2) {
            k.kzhtIds.push_back(static_cast<int16_t>(getU16(file, at + 22)));
        } else {
            k.kzhtIds.push_back(static_cast<int32_t>(getU32(file, at + (k.layout == 0 ? 64 : 36))));
        }
    }
    return k;
}

KzhtInfo inspectKzht(const Bytes &file, const EntryInfo &e)
{
    KzhtInfo h{false, false, 0, 0, {}};
    if (!e.sizeOk) {
        return h;
    }
    const uint64_t base = e.bodyOffset, size = static_cast<uint64_t>(e.bodySize);
    if (size < 4 || getU32(file, base) != kTaggedMagic) {
        h.wellFormed = true;
        for (uint64_t i = 0; (i + 1) * kCurveBytes <= size; ++i) {
            h.curves.push_back({static_cast<uint32_t>(base + i * kCurveBytes), static_cast<int32_t>(i)});
        }
        h.planeCount = static_cast<int32_t>(h.curves.size());
        return h;
    }
    h.tagged = true;
    if (size < 16) {
        return h;
    }
    h.itemCount = static_cast<int32_t>(getU32(file, base + 8));
    if (h.itemCount > 0 && 16 + 8ull * static_cast<uint32_t>(h.itemCount) > size) {
        return h;
    }
    bool countSet = false;
    std::vector<uint32_t> positions;
    for (int32_t i = 0; i < h.itemCount; ++i) {
        uint32_t tag = getU32(file, base + 16 + 8ull * i) >> 24;
        uint32_t value = getU32(file, base + 20 + 8ull * i);
        if (tag == 0xF8) {
            h.planeCount = static_cast<int32_t>(value);
            if (h.planeCount >= 8) {
                return h;
            }
            countSet = true;
        } else if (tag == 0xDC) {
            if (!countSet || static_cast<int32_t>(positions.size()) >= h.planeCount) {
                return h;
            }
            positions.push_back(value);
        } else if (tag != 0x9A) {
            return h;
        }
    }
    if (!countSet || h.planeCount <= 0) {
        h.planeCount = 0;
        h.wellFormed = true;
        return h;
    }
    if (static_cast<int32_t>(positions.size()) < h.planeCount) {
        return h;
    }
    for (int32_t b = 0; b < h.planeCount; ++b) {
        uint64_t pos = positions[b];
        if (pos + kPlaneItemSize > size) {
            return h;
        }
        if ((getU32(file, base + pos + 24) >> 24) != 0xF8) {
            return h;
        }
        if (getU32(file, base + pos + 56) != kCurveDescriptor) {
            return h;
        }
        uint64_t curve = pos + getU32(file, base + pos + 60);
        if (curve + kCurveBytes > size) {
            return h;
        }
        h.curves.push_back({static_cast<uint32_t>(base + curve), static_cast<int32_t>(getU32(file, base + pos + 28))});
    }
    h.wellFormed = true;
    return h;
}

Curve curveAt(const Bytes &file, size_t offset, bool bigEndian)
{
    Curve c(kCurveEntries, 0);
    for (int k = 0; k < kCurveEntries && fits(file, offset + 2ull * k, 2); ++k) {
        c[k] = static_cast<int16_t>(getU16(file, offset + 2 * k, bigEndian));
    }
    return c;
}

namespace {

void describeDirectory(std::ostringstream &out, const char *name, const DirectoryInfo &d)
{
    out << name << " directory at " << d.position << ": ";
    if (d.entries.empty() && d.count == 0 && !d.entriesOk) {
        out << "unreadable\n";
        return;
    }
    out << d.count << " entries" << (d.entriesOk ? "" : " (damaged: entries beyond the end of the file)") << "\n";
    for (const EntryInfo &e : d.entries) {
        out << "  tag " << e.tag << " id " << e.id << " at " << e.position;
        if (e.sizeOk) {
            out << ", " << e.bodySize << " bytes\n";
        } else {
            out << ", size word or body beyond the end of the file\n";
        }
    }
}

} // namespace

std::string describe(const Bytes &file)
{
    std::ostringstream out;
    FileInfo info;
    std::string error;
    if (!inspect(file, &info, &error)) {
        return "not a calibration data file: " + error + "\n";
    }
    out << "size " << file.size() << " bytes\n";
    out << "identification at " << info.identPosition << ": ";
    if (info.identOk) {
        out << "\"" << info.ident << "\"\n";
    } else {
        out << "unreadable\n";
    }
    bool shared = info.kzdbDirPosition == info.kzhtDirPosition;
    if (shared) {
        describeDirectory(out, "shared", info.kzdbDir);
    } else {
        describeDirectory(out, "KZDB", info.kzdbDir);
        describeDirectory(out, "KZHT", info.kzhtDir);
    }
    for (const EntryInfo &e : info.kzdbDir.entries) {
        if (e.tag != kTagKzdb || findTable(info, kTagKzdb, e.id) != &e) {
            continue;
        }
        KzdbInfo k = inspectKzdb(file, e);
        out << "KZDB " << e.id << ": ";
        if (!k.recordsOk) {
            out << "unreadable (layout " << k.layout << ", " << k.count << " records)\n";
            continue;
        }
        out << "layout " << k.layout << ", " << k.count << " records, KZHT ids";
        for (int32_t id : k.kzhtIds) {
            out << " " << id;
        }
        out << "\n";
    }
    for (const EntryInfo &e : info.kzhtDir.entries) {
        if (e.tag != kTagKzht || findTable(info, kTagKzht, e.id) != &e) {
            continue;
        }
        KzhtInfo h = inspectKzht(file, e);
        out << "KZHT " << e.id << ": " << (h.tagged ? "tagged" : "plain");
        if (!h.wellFormed) {
            out << ", malformed\n";
            continue;
        }
        if (h.tagged) {
            out << ", " << h.itemCount << " items";
        }
        out << ", " << h.curves.size() << " curves";
        for (const CurveInfo &c : h.curves) {
            Curve v = curveAt(file, c.offset);
            out << (h.tagged ? "; slot " : "; curve ") << c.slot << " ends " << v[kCurveEntries - 1];
        }
        out << "\n";
    }
    return out.str();
}

} // namespace kzfile
