// Asking the shipped database image through the export frame, for the
// content tests: records of each database's shape, the two-call size
// protocol, and small decoders for what comes back.
#ifndef ZMD_TEST_SHIPPED_DB_H
#define ZMD_TEST_SHIPPED_DB_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "access.h"
#include "engine.h"
#include "fake_platform.h"
#include "test_record.h"

using IntSettings = std::vector<std::pair<int, int32_t>>;
using StrSettings = std::vector<std::pair<int, const char *>>;

// String and integer settings of each database's record shape.
inline uint32_t ShapeStrings(uint32_t db)
{
    static const uint32_t k[] = {1, 0, 5, 0, 0, 8};
    return k[db];
}
inline uint32_t ShapeInts(uint32_t db)
{
    static const uint32_t k[] = {1, 95, 13, 1, 4, 16};
    return k[db];
}

// A record of the database's shape, all settings 0 or null, then the given ones.
inline TestRecord ShapedRecord(uint32_t db, const IntSettings &ints = {}, const StrSettings &strs = {})
{
    TestRecord r(std::vector<int32_t>(ShapeInts(db), 0), std::vector<const char *>(ShapeStrings(db), nullptr));
    for (const auto &s : ints) {
        r.ints.at(static_cast<size_t>(s.first)) = s.second;
    }
    for (const auto &s : strs) {
        r.strings.at(static_cast<size_t>(s.first)) = s.second;
    }
    return r;
}

// The database a key belongs to (internal keys: the driver's record shape).
inline uint32_t DatabaseOf(uint16_t key)
{
    switch (key >> 12) {
    case 0:
        return ZMD_DB_ROOT;
    case 1:
        return ZMD_DB_DRV;
    case 2:
        return ZMD_DB_LM;
    case 3:
        return ZMD_DB_MNT;
    case 4:
        return ZMD_DB_PA;
    case 6:
        return ZMD_DB_SM;
    default:
        return ZMD_DB_DRV;
    }
}

struct Answer {
    int32_t rc = 0;
    uint32_t size = 0;
    std::vector<uint8_t> bytes;

    std::vector<int32_t> ints() const
    {
        std::vector<int32_t> v(bytes.size() / 4);
        if (!v.empty()) {
            std::memcpy(v.data(), bytes.data(), v.size() * 4);
        }
        return v;
    }
    // A UTF-16 text with its NUL, as 8-bit characters (without the NUL);
    // "<bad text>" when a character is not 8-bit or the NUL is missing.
    std::string text() const
    {
        std::string s;
        if (bytes.size() < 2 || bytes.size() % 2) {
            return "<bad text>";
        }
        for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
            if (bytes[i + 1] != 0) {
                return "<bad text>";
            }
            if (i + 2 == bytes.size()) {
                return bytes[i] == 0 ? s : "<bad text>";
            }
            if (bytes[i] == 0) {
                return "<bad text>";
            }
            s.push_back(static_cast<char>(bytes[i]));
        }
        return s;
    }
};

class ShippedDb {
public:
    FakePlatform fake;
    ZMD_Env env;

    ShippedDb() : env(fake.env(ZMD_ShippedImage())) {}

    // Asks through the export frame of the key's database (internal keys
    // through the generic lookup, as the driver queries ask them): first the
    // size with no buffer, then with a zero-filled buffer of exactly that
    // size. A size query that does not answer ZMD_MORE_DATA is the answer.
    Answer ask(uint16_t key, TestRecord &rec)
    {
        Answer a;
        uint32_t size = 0xDEADBEEF;
        a.rc = call(key, rec, 0, nullptr, &size);
        if (a.rc != ZMD_MORE_DATA) {
            return a;
        }
        EXPECT_NE(size, 0xDEADBEEFu) << "key 0x" << std::hex << key << ": size query wrote no size";
        a.bytes.assign(size, 0);
        uint32_t got = 0xDEADBEEF;
        a.rc = call(key, rec, size, a.bytes.empty() ? &dummy_ : a.bytes.data(), &got);
        if (a.rc == ZMD_OK) {
            EXPECT_EQ(got, size) << "key 0x" << std::hex << key << ": size differs between the two calls";
        }
        a.size = size;
        return a;
    }
    Answer ask(uint16_t key, const IntSettings &ints = {}, const StrSettings &strs = {})
    {
        TestRecord rec = ShapedRecord(DatabaseOf(key), ints, strs);
        return ask(key, rec);
    }

    // The value node the key's tree chooses for the settings.
    int32_t node(uint16_t key, const IntSettings &ints, const StrSettings &strs, ZMD_Node *out)
    {
        TestRecord rec = ShapedRecord(DatabaseOf(key), ints, strs);
        return ZMD_FindKey(&env, key, rec.get(), out);
    }

private:
    uint8_t dummy_ = 0;

    int32_t call(uint16_t key, TestRecord &rec, uint32_t cb, void *buf, uint32_t *size)
    {
        if ((key >> 12) == 5) {
            return ZMD_LookupAndExtract(&env, key, rec.get(), cb, buf, size);
        }
        return ZMD_AccessDataBase(&env, DatabaseOf(key), key, rec.get(), cb, buf, size);
    }
};

inline std::vector<uint8_t> Utf16(const std::string &s)
{
    std::vector<uint8_t> v;
    for (unsigned char c : s) {
        v.push_back(c);
        v.push_back(0);
    }
    v.push_back(0);
    v.push_back(0);
    return v;
}

// Bytes from a string of hex pairs and blanks: "1B 28 62".
inline std::vector<uint8_t> Hex(const std::string &s)
{
    std::vector<uint8_t> v;
    int nibbles = 0;
    unsigned cur = 0;
    for (char c : s) {
        int d;
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            d = c - 'A' + 10;
        } else if (c >= 'a' && c <= 'f') {
            d = c - 'a' + 10;
        } else {
            continue;
        }
        cur = cur * 16 + static_cast<unsigned>(d);
        if (++nibbles == 2) {
            v.push_back(static_cast<uint8_t>(cur));
            nibbles = 0;
            cur = 0;
        }
    }
    return v;
}

inline std::vector<uint8_t> Ascii(const std::string &s)
{
    return std::vector<uint8_t>(s.begin(), s.end());
}

inline std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> v;
    for (const auto &p : parts) {
        v.insert(v.end(), p.begin(), p.end());
    }
    return v;
}

#endif // ZMD_TEST_SHIPPED_DB_H
