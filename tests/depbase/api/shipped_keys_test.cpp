// Every key of the shipped image, asked through its database's export with a
// record of that database's shape: the result, the kind and count of the
// value node the tree chooses, and the value itself. Gaps in the key ranges
// answer ZMD_NO_KEY.
#include <array>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "drv_query.h"
#include "shipped_db.h"

namespace {

using Item = std::array<int32_t, 5>; // nId, nNameId, nValue1, nValue2, nDefault

struct Expect {
    enum Mode {
        PAYLOAD,
        NAME,
        SIZE,
        RESULT
    } mode = RESULT;
    int32_t rc = ZMD_OK;
    std::vector<uint8_t> payload;
    std::string suffix; // NAME: the text ends in this
    uint32_t size = 0;  // NAME: characters with the NUL; SIZE: bytes
};

Expect I(const std::vector<int32_t> &v)
{
    Expect e;
    e.mode = Expect::PAYLOAD;
    e.payload.resize(v.size() * 4);
    if (!v.empty()) {
        std::memcpy(e.payload.data(), v.data(), e.payload.size());
    }
    return e;
}
Expect T(const std::string &s)
{
    Expect e;
    e.mode = Expect::PAYLOAD;
    e.payload = Utf16(s);
    return e;
}
Expect B(const std::string &hex)
{
    Expect e;
    e.mode = Expect::PAYLOAD;
    e.payload = Hex(hex);
    return e;
}
Expect Bytes(const std::vector<uint8_t> &v)
{
    Expect e;
    e.mode = Expect::PAYLOAD;
    e.payload = v;
    return e;
}
// A file or display name of our own: its ending and its length with the NUL.
Expect Name(const std::string &suffix, uint32_t chars)
{
    Expect e;
    e.mode = Expect::NAME;
    e.suffix = suffix;
    e.size = chars;
    return e;
}
Expect Size(uint32_t bytes)
{
    Expect e;
    e.mode = Expect::SIZE;
    e.size = bytes;
    return e;
}
Expect Rc(int32_t rc)
{
    Expect e;
    e.rc = rc;
    return e;
}
Expect L(const std::vector<Item> &items)
{
    std::vector<int32_t> v;
    for (const Item &it : items) {
        v.insert(v.end(), it.begin(), it.end());
    }
    return I(v);
}

struct KeyCase {
    uint16_t key;
    IntSettings ints;
    StrSettings strs;
    uint32_t kind;  // kind of the chosen value node; 0: answered from the driver query tables
    uint16_t count; // its count (the computed type for COMPUTED)
    Expect expect;
};

const uint32_t BY = ZMD_KIND_BYTES, I32 = ZMD_KIND_INT32_ARRAY, I8 = ZMD_KIND_INT8_ARRAY, I16 = ZMD_KIND_INT16_ARRAY,
               U8 = ZMD_KIND_UINT8_ARRAY, U16 = ZMD_KIND_UINT16_ARRAY, TX = ZMD_KIND_TEXT, CP = ZMD_KIND_COMPUTED;

// Settings of one print mode: list-4 choice 1, colour, plain paper, quality 2.
IntSettings Mode(int32_t media = 1, int32_t quality = 2, int32_t pass = 1, int32_t mono = 0)
{
    return {{4, 1}, {9, mono}, {5, media}, {81, 0}, {8, quality}, {6, pass}};
}
IntSettings With(IntSettings a, const IntSettings &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<KeyCase> RootCases()
{
    return {
        {0x0002, {}, {}, TX, 5, T("1.50")},
        {0x0003, {}, {}, TX, 12, Name(".dll", 12)},
        {0x0004, {}, {}, I8, 1, I({1})},
        {0x0005, {}, {}, I8, 1, I({102})},
        {0x0006, {}, {}, I8, 1, I({103})},
        {0x0007, {}, {}, I8, 1, I({102})},
        {0x0008, {{0, 1}}, {}, TX, 24, T("XvnUI_CustomPhotoDetect")},
        {0x0008, {{0, 11}}, {}, TX, 34, T("XvnUI_CustomEnableSealedPrintMode")},
        {0x0008, {{0, 201}}, {}, TX, 11, T("XvnSLM_SSR")},
        {0x0008, {{0, 0}}, {}, 0, 0, Rc(ZMD_NOT_FOUND)},
        {0x0009, {}, {}, I8, 1, I({0})},
        {0x000A, {}, {}, TX, 12, Name(".exe", 12)},
        {0x000B, {}, {}, TX, 12, Name(".hlp", 12)},
        {0x000C, {}, {}, I8, 1, I({1})},
        {0x000D, {}, {}, I8, 1, I({0})},
        {0x000E, {}, {}, I8, 1, I({17})},
        {0x000F, {}, {}, I8, 1, I({0})},
        {0x0010, {}, {}, TX, 12, Name(".hlp", 12)},
        {0x0011, {}, {}, I16, 1, I({17603})},
        {0x0012, {}, {{0, "SSR"}}, TX, 11, T("XvnSLM_SSR")},
        {0x0012, {}, {{0, "CIR"}}, TX, 11, T("XvnSLM_CIR")},
        {0x0012, {}, {{0, nullptr}}, 0, 0, Rc(ZMD_NOT_FOUND)},
        {0x0013, {}, {}, TX, 12, Name(".dll", 12)},
        {0x0014, {}, {}, TX, 12, Name(".dll", 12)},
        {0x0015, {}, {}, I8, 1, I({1})},
        {0x0016, {}, {}, I8, 1, I({1})},
        {0x0017, {}, {}, I8, 2, I({3, 1})},
        {0x0018, {}, {}, TX, 12, Name(".dll", 12)},
        {0x0019, {}, {}, TX, 0, Name("", 0)},
        {0x001A, {}, {}, TX, 12, Name(".smr", 12)},
        {0x001B, {}, {}, TX, 12, Name(".exe", 12)},
        {0x001C, {}, {}, TX, 0, Name("", 0)},
        {0x001D, {}, {}, TX, 12, Name(".ini", 12)},
        {0x001E, {}, {}, TX, 13, T("calibmod.dll")},
        {0x001F, {}, {}, I8, 1, I({0})},
        {0x0021, {}, {}, I8, 1, I({1})},
        {0x0022, {}, {}, I8, 1, I({0})},
        {0x0023, {}, {}, TX, 0, Name("", 0)},
        {0x0024, {}, {}, I8, 1, I({1})},
        {0x0025, {}, {}, TX, 12, Name(".exe", 12)},
        {0x0026, {}, {}, TX, 12, Name(".dll", 12)},
        {0x0027, {}, {}, TX, 12, Name(".dll", 12)},
    };
}

std::vector<KeyCase> DrvCases()
{
    const IntSettings defaults = {{4, 1}, {9, 0}, {5, 1}, {81, 0}};
    return {
        {0x1001, {{28, 9}, {52, 0}}, {}, I16, 2, I({20320, 28900})},
        {0x1001, {{28, 1}, {52, 0}}, {}, I16, 2, I({20320, 27140})},
        {0x1001, {{28, 5}, {52, 5}}, {}, U16, 2, I({20320, 35560})},
        {0x1001, {{28, 8}, {52, 0}}, {}, 0, 0, Rc(ZMD_NOT_FOUND)},
        {0x1001, {{28, 256}, {52, 0}}, {}, 0, 0, Rc(ZMD_NOT_FOUND)},
        {0x1002, {{28, 9}, {52, 5}}, {}, I16, 2, I({0, 340})},
        {0x1002, {{28, 1}, {52, 0}}, {}, I16, 2, I({300, 640})},
        {0x1003, {{28, 9}}, {}, I16, 2, I({21000, 29700})},
        {0x1003, {{28, 24}}, {}, U16, 2, I({43180, 55880})},
        {0x1003, {{28, 256}}, {}, 0, 0, Rc(ZMD_NOT_FOUND)},
        {0x1004, {{28, 9}}, {}, 0, 0, Rc(ZMD_NOT_FOUND)},
        {0x1004, {{28, 256}, {29, 10000}, {30, 15000}, {52, 0}}, {}, CP, 2, I({340, 9320, 300, 14200})},
        {0x1005, {}, {}, U16, 2, I({21590, 58420})},
        {0x1006, {}, {}, I16, 2, I({9000, 12000})},
        {0x1007, {{4, 1}, {9, 0}}, {}, I8, 1, I({24})},
        {0x1007, {{4, 1}, {9, 1}}, {}, I8, 1, I({8})},
        {0x1008, Mode(1, 2, 1), {}, I16, 2, I({600, 600})},
        {0x1008, Mode(1, 5, 2), {}, I16, 2, I({300, 300})},
        {0x1008, Mode(1, 5, 1, 1), {}, I16, 2, I({300, 300})},
        {0x1008, Mode(271, 1, 1), {}, I16, 2, I({600, 600})},
        {0x1009, {{9, 0}, {19, 1}}, {}, I8, 9, I({1, 1, 1, 1, 1, 1, 0, 0, -1})},
        {0x1009, {{9, 0}, {19, 0}}, {}, I8, 9, I({1, 1, 1, 1, 1, 1, 1, 1, -1})},
        {0x1009, {{9, 1}, {19, 1}}, {}, I8, 9, I({0, 0, 0, 0, 1, 0, 0, 0, -1})},
        {0x100A, {{5, 1}}, {}, I8, 1, I({1})},
        {0x100A, {{5, 271}}, {}, I8, 1, I({0})},
        {0x100B, {}, {}, I8, 6, I({4, 5, 81, 7, 8, 6})},
        {0x100C, {{4, 1}}, {}, I8, 1, L({{1, 0x3A9A, 20001, 1, 1}})},
        {0x100D, {{4, 1}}, {}, 0, 0, L({{1, 0x3A9A, 20001, 1, 1}})},
        {0x100E,
         {{4, 1}, {9, 0}},
         {},
         I16,
         9,
         L({{1, 0x3AFD, 0, 0, 1},
            {271, 0x3B0D, 0, 0, 0},
            {281, 0x3B17, 0, 0, 0},
            {277, 0x3B13, 0, 0, 0},
            {276, 0x3B12, 0, 0, 0},
            {279, 0x3B15, 0, 0, 0},
            {273, 0x3B0F, 0, 0, 0},
            {2, 0x3AFE, 0, 0, 0},
            {263, 0x3B05, 0, 0, 0}})},
        {0x100F,
         {{4, 1}, {9, 1}},
         {},
         0,
         0,
         L({{1, 0x3AFD, 0, 0, 1},
            {271, 0x3B0D, 0, 0, 0},
            {281, 0x3B17, 0, 0, 0},
            {277, 0x3B13, 0, 0, 0},
            {276, 0x3B12, 0, 0, 0},
            {279, 0x3B15, 0, 0, 0},
            {273, 0x3B0F, 0, 0, 0},
            {2, 0x3AFE, 0, 0, 0},
            {263, 0x3B05, 0, 0, 0}})},
        {0x1010,
         {},
         {},
         I16,
         9,
         L({{11, 0x3D92, 15712, 0, 0},
            {9, 0x3D90, 15710, 0, 0},
            {13, 0x3D97, 15717, 0, 0},
            {1, 0x3D87, 15701, 0, 0},
            {5, 0x3D8B, 15705, 0, 0},
            {20, 0x3DA4, 15747, 0, 0},
            {27, 0x3DA5, 15748, 0, 0},
            {275, 0x3DB0, 15742, 0, 0},
            {256, 0x3D80, 15744, 0, 0}})},
        {0x1011, {}, {}, I16, 19, Size(19 * 20)},
        {0x1012, {{52, 0}, {5, 1}}, {}, I8, 1, L({{7, 0x3BC6, 0, 0, 1}})},
        {0x1012, {{52, 5}, {5, 383}}, {}, I8, 1, L({{7, 0x3BC6, 0, 0, 1}})},
        {0x1013, {{52, 0}, {5, 1}}, {}, 0, 0, L({{7, 0x3BC6, 0, 0, 1}})},
        {0x1014, Mode(1, 2), {}, I8, 3, L({{3, 0, 0, 0, 1}, {2, 0, 0, 0, 0}, {1, 0, 0, 0, 0}})},
        {0x1014, Mode(1, 4), {}, I8, 2, L({{3, 0, 0, 0, 1}, {1, 0, 0, 0, 0}})},
        {0x1015, Mode(1, 2), {}, I8, 4, I({0, 2, 0, 0})},
        {0x1015, Mode(1, 3), {}, I8, 4, I({0, 3, 0, 0})},
        {0x1015, Mode(277, 1), {}, I8, 4, I({5, 5, 0, 0})},
        {0x1015, Mode(263, 3), {}, I32, 4, I({4, 4, 2, 33685504})},
        {0x1016, defaults, {}, I8, 4, L({{2, 1, -3, 0, 0}, {3, 2, -3, 0, 1}, {4, 3, -2, 0, 0}, {5, 3, -2, 0, 0}})},
        {0x1016,
         With(defaults, {{5, 271}}),
         {},
         I8,
         4,
         L({{1, 0, -4, 0, 0}, {2, 1, -3, 0, 1}, {3, 2, -3, 0, 0}, {4, 3, -2, 0, 0}})},
        {0x1016, With(defaults, {{5, 277}}), {}, I8, 3, Size(60)},
        {0x1016, With(defaults, {{5, 276}}), {}, I8, 2, Size(40)},
        {0x1016, With(defaults, {{5, 2}}), {}, I8, 2, L({{3, 2, -3, 0, 0}, {4, 3, -2, 0, 1}})},
        {0x1016, With(defaults, {{5, 273}}), {}, I8, 1, L({{3, 2, -3, 0, 1}})},
        {0x1017,
         defaults,
         {},
         I8,
         5,
         L({{1, 0, 0, 0, 0}, {2, 0, 0, 0, 0}, {3, 0, 0, 0, 1}, {4, 0, 0, 0, 0}, {5, 0, 0, 0, 0}})},
        {0x1017,
         With(defaults, {{5, 263}}),
         {},
         I8,
         5,
         L({{1, 0, 0, 0, 0}, {2, 0, 0, 0, 0}, {3, 0, 0, 0, 0}, {4, 0, 0, 0, 1}, {5, 0, 0, 0, 0}})},
        {0x101A, {}, {}, 0, 0, B("1B 28 71 01 00 00")},
        {0x101B, {}, {}, 0, 0, B("1B 40")},
        {0x101C, {}, {}, 0, 0, B("1B 28 62 01 00 00")},
        {0x101D, {}, {}, 0, 0, B("1B 28 65 02 00 00 01 0C")},
        {0x101E, Mode(1, 2), {}, 0, 0, Size(192)},
        {0x101F, {}, {}, TX, 12, Name(".icm", 12)},
        {0x1020, {}, {}, I8, 6, I({0, 28, 5, 1, 5, 28})},
        {0x1021, {{0, 1}, {5, 279}}, {}, I16, 2, I({1, 275})},
        {0x1021, {{0, 0}, {28, 275}}, {}, I16, 2, I({1, 279})},
        {0x1022, {{0, 1}, {5, 263}}, {}, I8, 2, I({20, 27})},
        {0x1022, {{0, 1}, {5, 279}}, {}, I16, 1, I({275})},
        {0x1022, {{0, 0}, {28, 20}}, {}, I16, 1, I({263})},
        {0x1022, {{0, 0}, {28, 27}}, {}, I16, 1, I({263})},
        {0x1022, {{0, 0}, {28, 275}}, {}, I16, 1, I({279})},
        {0x1023, {}, {}, I8, 14, I({4, 1, 5, 1, 81, 0, 7, 7, 8, 3, 18, 0, 17, 2})},
        {0x1024, {}, {}, U16, 2, I({42000, 59400})},
        {0x1025, {}, {}, I8, 1, I({1})},
        {0x1026, {{7, 7}, {52, 5}, {5, 1}}, {}, I16, 1, I({21013})},
        {0x1026, {{7, 7}, {52, 0}, {5, 273}}, {}, I16, 1, I({21013})},
        {0x1026, {{7, 7}, {52, 0}, {5, 263}}, {}, I16, 1, I({21013})},
        {0x1026, {{7, 7}, {52, 0}, {5, 1}}, {}, I16, 1, I({21011})},
        {0x1026, {{7, 7}, {52, 0}, {5, 2}}, {}, I16, 1, I({21011})},
        {0x1028, {{5, 258}}, {}, I8, 1, I({1})},
        {0x1028, {{5, 273}}, {}, I8, 1, I({1})},
        {0x1028, {{5, 1}}, {}, I8, 1, I({0})},
        {0x102A, {{52, 5}}, {}, I8, 1, I({1})},
        {0x102A, {{52, 0}}, {}, I8, 1, I({0})},
        {0x102B, {}, {}, I16, 5, I({21001, 21002, 21003, 21011, 21013})},
        {0x102C, {}, {}, I16, 8, I({21031, 21041, 21042, 21067, 21051, 21052, 21053, 21054})},
        {0x102D, {{52, 5}}, {}, I16, 1, I({21003})},
        {0x102D, {{52, 0}}, {}, I16, 2, I({21001, 21002})},
        {0x102E, {{52, 5}}, {}, I16, 1, I({21067})},
        {0x102E, {{52, 1}}, {}, I16, 2, I({21041, 21042})},
        {0x102F, {{20, 2}}, {}, I16, 2, I({21053, 21054})},
        {0x102F, {{20, 1}}, {}, I16, 2, I({21051, 21052})},
        {0x1031, {}, {}, I16, 1, I({17810})},
        {0x1032, {{25, 21590}, {26, 27940}, {52, 0}}, {}, CP, 3, I({340, 20910, 300, 27140})},
        {0x1033, {{28, 9}, {52, 0}}, {}, I16, 1, I({702})},
        {0x1033, {{28, 9}, {52, 5}}, {}, I16, 1, I({702})},
        {0x1033, {{28, 256}, {30, 21000}, {52, 5}}, {}, CP, 4, I({497})},
        {0x1035, {}, {}, TX, 12, Name(".dll", 12)},
        {0x1036, Mode(1, 2), {}, I16, 5, I({48, 17201, 1, 2, 0})},
        {0x1037, {}, {}, I8, 1, I({1})},
        {0x1038, Mode(1, 3), {}, U8, 2, I({33, 161})},
        {0x1038, Mode(271, 3), {}, U8, 2, I({33, 177})},
        {0x1039, {}, {}, I8, 1, I({122})},
        {0x103A, {{4, 1}}, {}, I8, 1, I({1})},
        {0x103B, {}, {}, TX, 12, Name(".dll", 12)},
        {0x103D, {}, {}, I8, 1, I({104})},
        {0x103E, {{9, 0}, {19, 1}}, {}, I16, 12, I({0, 17402, 2102, 3, 1, 17403, 2103, 3, 2, 17404, 2104, 3})},
        {0x103E, {{9, 0}, {19, 2}}, {}, I16, 12, I({0, 17402, 2102, 0, 1, 17403, 2103, 0, 2, 17404, 2104, 2})},
        {0x103E, {{9, 1}, {19, 1}}, {}, I16, 12, I({0, 17402, 2102, 0, 1, 17403, 2103, 0, 2, 17404, 2104, 2})},
        {0x103F, {}, {}, I16, 12, I({1, 15601, 1, 14, 2, 15602, 2, 18, 3, 15605, 3, 22})},
        {0x1041, {{9, 0}, {19, 1}}, {}, I8, 6, I({16, 3, 17, 1, 18, 1})},
        {0x1041, {{9, 1}, {19, 0}}, {}, I8, 6, I({16, 3, 17, 1, 18, 1})},
        {0x1042, {}, {}, TX, 13, Name(".tbl", 13)},
        {0x1043, {}, {}, I8, 1, I({-2})},
        {0x1046, {{5, 1}}, {}, BY, 533, Size(533)},
        {0x1046, {{5, 271}}, {}, BY, 533, Size(533)},
        {0x1048, {}, {}, TX, 12, Name(".dll", 12)},
        {0x1049, {}, {}, I16, 2, I({16402, 16645})},
        {0x104B, {}, {}, I8, 1, I({0})},
        {0x104C, {}, {}, I8, 1, I({0})},
        {0x104D, {{4, 1}, {9, 0}, {5, 1}}, {}, I8, 1, L({{0, 0, 0, 0, 1}})},
        {0x104E, {{4, 1}, {9, 0}, {5, 1}}, {}, I8, 1, L({{0, 0, 0, 0, 1}})},
        {0x104E, {}, {}, I8, 1, L({{0, 0, 0, 0, 0}})},
        {0x104F, {}, {}, I8, 1, I({1})},
    };
}

std::vector<KeyCase> InternalCases()
{
    const IntSettings defaults = {{4, 1}, {9, 0}, {5, 1}, {81, 0}};
    return {
        {0x5002, {{52, 0}, {5, 1}}, {}, I8, 2, I({7, 1})},
        {0x5002, {{52, 5}}, {}, I8, 2, I({7, 1})},
        {0x5003, {}, {}, I8, 2, I({1, 1})},
        {0x5004, {{4, 1}, {9, 0}}, {}, I8, 2, I({1, 1})},
        {0x5004, {{4, 1}, {9, 1}}, {}, I8, 2, I({1, 1})},
        {0x5005, defaults, {}, I8, 2, I({3, 1})},
        {0x5005, With(defaults, {{5, 271}}), {}, I8, 2, I({2, 1})},
        {0x5005, With(defaults, {{5, 263}}), {}, I8, 2, I({4, 1})},
        {0x5006, Mode(271, 1), {}, I8, 1, I({0})},
        {0x5006, Mode(271, 4), {}, I8, 1, I({3})},
        {0x5007, Mode(271, 1), {}, I8, 1, I({-4})},
        {0x5007, Mode(1, 3), {}, I8, 1, I({-3})},
        {0x5007, Mode(1, 5), {}, I8, 1, I({-2})},
        {0x500B, {{4, 1}}, {}, I8, 1, I({1})},
        {0x500C, {{4, 1}}, {}, I16, 1, I({20001})},
        {0x500D, Mode(1, 2), {}, I8, 2, I({3, 1})},
        {0x500E, {{28, 11}}, {}, I16, 1, I({15712})},
        {0x500E, {{28, 274}}, {}, I16, 1, I({15741})},
        {0x500E, {{28, 256}}, {}, I16, 1, I({15744})},
        {0x5010, {{4, 1}, {9, 0}, {5, 1}}, {}, I8, 2, I({0, 1})},
    };
}

std::vector<KeyCase> LmCases()
{
    const std::vector<int32_t> no = {1, 5030, 5313, 0, 10101};
    return {
        {0x2001, {}, {{1, "CL"}}, I8, 1, I({0})},
        {0x2001, {}, {{1, "NO"}, {4, ""}}, I16, 5, I(no)},
        {0x2001, {}, {{1, "NO"}, {4, nullptr}}, I16, 5, I(no)},
        {0x2001, {}, {{1, "NO"}, {4, "Cleaning"}}, I16, 5, I(no)},
        {0x2001, {}, {{1, "NO"}, {4, "RollerCleaning"}}, I16, 5, I(no)},
        {0x2001, {}, {{1, "NO"}, {4, "TestPrint"}}, I16, 5, I(no)},
        {0x2001, {}, {{1, "NO"}, {4, "ChangeHead"}}, I8, 1, I({0})},
        {0x2001, {}, {{1, "UK"}}, I16, 5, I({1, 5028, 5317, 5313, 10101})},
        {0x2001, {}, {{1, "cl"}}, I16, 5, I({1, 5028, 5317, 5313, 10101})},
        {0x2002, {}, {{1, "CL"}}, I8, 1, I({0})},
        {0x2002, {{5, 1}, {6, 1}}, {{1, "NO"}}, I8, 3, I({2, 9, 4})},
        {0x2002, {{5, 1}, {6, 0}}, {{1, "NO"}}, I8, 3, I({2, 2, 4})},
        {0x2004, {}, {}, I16, 1, I({28805})},
        {0x2007, {}, {}, I32, 5, I({983295, 16711680, 65535, -1, -1})},
        {0x2009, {}, {{0, "ZMD RX-410"}}, I8, 1, I({1})},
        {0x2009, {}, {{0, "RX-410"}}, I8, 1, I({1})},
        {0x2009, {}, {{0, "ZMD RX-430"}}, I8, 1, I({1})},
        {0x2009, {}, {{0, "RX-430"}}, I8, 1, I({1})},
        {0x2009, {}, {{0, "RX-4100"}}, I8, 1, I({0})},
        {0x2009, {}, {{0, nullptr}}, I8, 1, I({0})},
        {0x200A, {}, {}, I8, 1, I({1})},
        {0x200B, {}, {}, I16, 1, I({5011})},
        {0x200C, {}, {{1, "CL"}}, I16, 15, I({5017, 5408, 5409, 25038, 25039, 5425, 0, 0, 4, 0, 0, 9, 4, 3, 2})},
        {0x200C, {}, {{1, "NO"}}, I16, 15, I({5017, 5408, 5409, 25038, 25039, 5425, 0, 0, 4, 0, 0, 9, 4, 3, 2})},
        {0x200D, {{7, 0}}, {}, I16, 1, I({5440})},
        {0x200D, {{7, 3}}, {}, I16, 1, I({5443})},
        {0x200D, {{7, 9}}, {}, I16, 1, I({5449})},
        {0x200E, {{7, 1}, {8, 0}}, {}, I16, 2, I({25026, 5412})},
        {0x200E, {{7, 1}, {8, 1}}, {}, I16, 2, I({25027, 5411})},
        {0x200E, {{7, 1}, {8, 2}}, {}, I16, 2, I({25028, 5410})},
        {0x200F, {}, {{1, "CL"}}, I8, 1, I({1})},
        {0x200F, {}, {{1, "NO"}}, I8, 1, I({23})},
        {0x200F, {}, {{1, "UK"}}, I8, 1, I({22})},
        {0x200F, {}, {{1, "DE"}}, I8, 1, I({21})},
        {0x2010, {}, {}, I16, 3, I({1, 256, 256})},
        {0x2011, {}, {}, I8, 1, I({1})},
        {0x2012, {{2, 49}}, {}, I8, 1, I({1})},
        {0x2012, {{2, 0x7F31}}, {}, I8, 1, I({1})},
        {0x2012, {{2, 48}}, {}, I8, 1, I({0})},
        {0x2013, {{2, 2816}}, {}, I8, 1, I({1})},
        {0x2013, {{2, 0x70BFF}}, {}, I8, 1, I({1})},
        {0x2013, {{2, 11}}, {}, I8, 1, I({0})},
        {0x2014, {}, {}, I8, 1, I({0})},
        {0x2016, {}, {}, I8, 1, I({0})},
        {0x2017, {}, {}, I8, 1, I({0})},
        {0x2018, {}, {}, I8, 1, I({103})},
        {0x2019, {}, {}, U8, 1, I({200})},
        {0x201A, {}, {}, TX, 12, Name(".dll", 12)},
        {0x201B, {}, {}, I8, 1, I({100})},
        {0x201C, {}, {}, I8, 1, I({0})},
        {0x201D, {}, {}, I8, 1, I({0})},
        {0x201E, {}, {}, I16, 4, I({5026, 5458, 0, 0})},
        {0x201F, {{2, 0x0B00}}, {{2, "GAL,N"}, {4, ""}}, I16, 5, I({1, 5027, 5513, 25120, 2})},
        {0x201F, {{2, 0x0B00}}, {{2, "GAL,W"}, {4, "TestPrint"}}, I16, 5, I({1, 5027, 5512, 25121, 2})},
        {0x201F, {{2, 0x0B00}}, {{2, "GAL,N"}, {4, "Cleaning"}}, I8, 1, I({0})},
        {0x201F, {{2, 0}}, {{2, "GAL,N"}, {4, ""}}, I8, 1, I({0})},
        {0x2021, {}, {}, I8, 1, I({1})},
        {0x2022, {}, {}, I8, 1, I({8})},
        {0x202B, {}, {}, TX, 12, Name(".dll", 12)},
        {0x202D, {}, {{4, "ChangeHead"}}, I8, 1, I({1})},
        {0x202D, {}, {{4, "ChangeTank"}}, I8, 1, I({1})},
        {0x202D, {}, {{4, "Cleaning"}}, I8, 1, I({1})},
        {0x202D, {}, {{4, "RollerCleaning"}}, I8, 1, I({1})},
        {0x202D, {}, {{4, "TestPrint"}}, I8, 1, I({1})},
        {0x202D, {}, {{4, ""}}, I8, 1, I({0})},
        {0x202E, {}, {}, I8, 1, I({2})},
        {0x202F, {}, {}, I8, 1, I({1})},
        {0x2030, {{0, 0}, {2, 52}}, {}, I8, 1, I({120})},
        {0x2030, {{0, 0x1FFFF}, {2, 0x70034}}, {}, I8, 1, I({120})},
        {0x2030, {{0, 0x20000}, {2, 52}}, {}, I8, 1, I({0})},
        {0x2030, {{0, 0}, {2, 53}}, {}, I8, 1, I({0})},
        {0x2031,
         {{2, 0x0B00}},
         {},
         I16,
         14,
         I({5031, 5520, 5521, 2, 10001, 2, 25100, 25120, 5522, 5523, 25101, 25102, 5524, 5525})},
        {0x2031,
         {{2, 0}},
         {},
         I16,
         14,
         I({5031, 5520, 5521, 2, 10001, 2, 25100, 25120, 5522, 5523, 25101, 25102, 5524, 5525})},
        {0x2036, {{10, 81}}, {}, I8, 1, I({2})},
        {0x2036, {{10, 80}}, {}, I8, 1, I({1})},
        {0x2037, {}, {}, I8, 1, I({1})},
        {0x203D, {}, {}, I8, 1, I({2})},
    };
}

std::vector<KeyCase> MntCases()
{
    return {
        {0x3001, {}, {}, I16, 70, I({0,    16801, 2201, 2202,  2201, 16821, 501,  1,     1,    100,   1,    16802,
                                     2204, 2205,  2204, 16822, 502,  1,     1,    200,   2,    16805, 2213, 2214,
                                     2213, 16825, 505,  1,     1,    500,   6,    16809, 2225, 2226,  2227, 16829,
                                     509,  1,     2,    900,   7,    16810, 2228, 2229,  2230, 16830, 510,  1,
                                     1,    1000,  8,    16811, 2231, 2232,  2233, 16831, 511,  1,     1,    1100,
                                     10,   16812, 2234, 2235,  2236, 16832, 512,  1,     1,    1200})},
        {0x3002, {}, {}, I8, 1, I({10})},
        {0x3003, {}, {}, I16, 189, Size(189 * 4)},
        {0x3004, {}, {}, I8, 1, I({3})},
        {0x3006, {}, {}, I8, 1, I({0})},
        {0x3007, {}, {}, I8, 5, I({0, 1, 10, 30, 60})},
        {0x3008, {}, {}, I8, 1, I({0})},
        {0x3009, {}, {}, I16, 24, I({16842, 1203, 1204, 2, 1402, 1, 16843, 1205, 1206, 3,  1403, 0,
                                     16844, 1207, 1208, 4, 1404, 0, 16850, 1219, 1220, 10, 1410, 1})},
        {0x300A, {}, {}, I8, 1, I({6})},
        {0x300B, {{0, 500}}, {}, BY, 22, Bytes(Ascii("@TestPrint=NozzleCheck"))},
        {0x300B, {{0, 3}}, {}, 0, 0, Rc(ZMD_NOT_FOUND)},
        {0x300C, {{0, 1}}, {}, I32, 112, Size(112 * 4)},
        {0x300C, {{0, 2}}, {}, I32, 128, Size(128 * 4)},
        {0x300D, {}, {}, I8, 1, I({16})},
        {0x300E, {{0, 1}}, {}, I16, 6, I({13763, 1205, 1201, 128, 180, 12})},
        {0x300E, {{0, 2}}, {}, I16, 6, I({13764, 1205, 1201, 128, 180, 12})},
    };
}

std::vector<KeyCase> PaCases()
{
    return {
        {0x4001, {}, {}, I16, 12, I({1, 17002, 2041, 2, 17003, 2042, 3, 17004, 2043, 4, 17005, 2044})},
        {0x4002, {{0, 1}}, {}, I16, 6, I({281, 2067, 277, 2065, 271, 2061})},
        {0x4002, {{0, 2}}, {}, I16, 4, I({1, 2051, 271, 2061})},
        {0x4002, {{0, 3}}, {}, I16, 4, I({1, 2051, 271, 2061})},
        {0x4002, {{0, 4}}, {}, I16, 2, I({1, 2051})},
        {0x4003, {{0, 1}}, {}, I16, 10, I({1, 2051, 279, 2066, 276, 2064, 2, 2052, 273, 2062})},
        {0x4003, {{0, 2}}, {}, I16, 2, I({2, 2052})},
        {0x4003, {{0, 3}}, {}, I16, 2, I({2, 2052})},
        {0x4003, {{0, 4}}, {}, I16, 4, I({263, 2059, 2, 2052})},
        {0x4006, {{0, 1}}, {}, I8, 2, I({2, 1})},
        {0x4006, {{0, 2}}, {}, I8, 2, I({3, 1})},
        {0x4006, {{0, 4}, {1, 0}}, {}, I8, 2, I({4, 1})},
        {0x4006, {{0, 4}, {1, 1}}, {}, I8, 2, I({4, 2})},
        {0x4006, {{0, 4}, {1, 2}}, {}, I8, 2, I({4, 3})},
        {0x4007, {{0, 1}, {1, 0}}, {}, I8, 4, I({18, 0, 9, 0})},
        {0x4007, {{0, 1}, {1, 1}}, {}, I8, 4, I({18, 1, 9, 0})},
        {0x4007, {{0, 2}, {1, 2}}, {}, I8, 4, I({18, 2, 9, 0})},
        {0x4007, {{0, 4}}, {}, I8, 2, I({9, 1})},
        {0x4008, {}, {}, I16, 1, I({10102})},
    };
}

std::vector<KeyCase> SmCases()
{
    const std::vector<int32_t> other = {1, 4, 7155, 7165, 27201, 4, 19, 22, 19, 22, 27202};
    return {
        {0x6001, {{5, 3}, {9, 0}}, {{1, "NO"}}, I32, 6, I({65536, 4203, 7129, 1, 1, 27132})},
        {0x6001, {{5, 3}, {9, 1}}, {{1, "NO"}}, I16, 3, Size(12)},
        {0x6001, {{5, 12}, {9, 0}}, {{1, nullptr}}, I32, 7, Size(28)},
        {0x6001, {{5, 28}, {9, 0}}, {}, I32, 10, Size(40)},
        {0x6001, {{5, 1}}, {{1, "CL"}}, I16, 3, Size(12)},
        {0x6002, {{0, 1}}, {{5, "NO"}}, I8, 2, I({-1, -1})},
        {0x6002, {{0, 1}}, {{5, "UK"}}, I8, 2, I({-1, -1})},
        {0x6002, {{0, 1}, {1, 23296}}, {{5, "DS"}}, I8, 2, I({53, 3})},
        {0x6002, {{0, 1}, {1, 0}}, {{5, "DS"}}, I32, 2, I({-2147483647, 4})},
        {0x6002, {{0, 2}}, {{5, "NO"}}, I32, 2, I({-2147483647, 4})},
        {0x6003, {{0, 1}}, {{5, "NO"}}, I8, 2, I({-1, -1})},
        {0x6003, {{0, 1}, {13, 1}}, {{5, "DS"}}, I8, 2, I({7, 22})},
        {0x6003, {{0, 1}}, {{5, "OF"}}, I8, 2, I({67, 74})},
        {0x6003, {{0, 1}, {1, 23296}}, {{5, "CC"}}, I8, 2, I({2, 36})},
        {0x6004, {{0, 3}}, {{5, "NO"}}, I8, 2, I({-1, -1})},
        {0x6004, {{0, 3}}, {{5, "UK"}}, I8, 2, I({-1, -1})},
        {0x6004, {{0, 3}, {1, 6400}}, {{5, "DS"}}, I8, 2, I({73, 34})},
        {0x6004, {{0, 3}, {1, 6416}}, {{5, "DS"}}, I8, 2, I({74, 34})},
        {0x6004, {{0, 3}, {1, 0}}, {{5, "DS"}}, 0, 0, Rc(ZMD_NOT_FOUND)},
        {0x6004, {{0, 1}, {1, 6400}}, {{5, "DS"}}, 0, 0, Rc(ZMD_NOT_FOUND)},
        {0x6005, {{0, 2}, {11, 1}}, {{5, "DS"}}, I8, 2, I({28, 33})},
        {0x6005, {{0, 2}}, {{5, "NO"}}, I8, 2, I({8, -1})},
        {0x6005, {{0, 2}}, {{5, "CC"}}, I8, 2, I({29, 77})},
        {0x6005, {{0, 2}, {1, 23296}}, {{5, "XX"}}, I8, 2, I({62, 1})},
        {0x6006, {{2, 0}}, {}, I8, 3, I({71, 32, 0})},
        {0x6006, {{2, 1}, {3, 0}}, {}, I16, 4, I({15, 34, 1, 7174})},
        {0x6006, {{2, 1}, {3, 1}}, {}, I16, 4, I({25, 31, 1, 5313})},
        {0x6007, {}, {{1, "CL"}}, I32, 11, I({1, -2147483646, 7152, 7162, 27201, 4, 1, 4, 3, 2, 27202})},
        {0x6007, {}, {{1, "NO"}}, I16, 11, I({1, 5, 7156, 7166, 27201, 4, 19, 22, 19, 22, 27202})},
        {0x6007, {}, {{1, "UK"}}, I16, 11, I(other)},
        {0x6007, {}, {{1, nullptr}}, I16, 11, I(other)},
        {0x6008, {{0, 0}}, {{1, "CL"}}, I8, 2, I({1, 3})},
        {0x6008, {{0, 0}, {1, 1}}, {{1, "NO"}}, I8, 2, I({4, 4})},
        {0x6009, {{6, 0}, {7, 0}}, {}, I16, 7, I({27211, 7181, 0, 7152, 5443, 0, 0})},
        {0x600C, {}, {{4, "GAL,N"}}, I16, 1, I({7253})},
        {0x600C, {}, {{4, "GAL,W"}}, I16, 1, I({7254})},
        {0x600C, {}, {{4, "GAL,"}}, 0, 0, Rc(ZMD_NOT_FOUND)},
        {0x600D, {}, {}, I32, 1, I({INT32_MIN})},
        {0x600E, {}, {}, U8, 1, I({200})},
        {0x600F, {}, {}, I16, 22, I({21,  222, 221, 220, 219, 218, 213, 211, 209, 215, 214,
                                     301, 304, 313, 314, 315, 316, 317, 302, 102, 323, 325})},
        {0x6010, {{9, 0}}, {}, I8, 1, I({1})},
        {0x6010, {{9, 1}}, {}, I8, 1, I({1})},
        {0x6011, {}, {}, I16, 1, I({7082})},
        {0x6012, {}, {}, I8, 2, I({8, 72})},
        {0x6013, {}, {}, I8, 2, I({70, 75})},
        {0x6014, {{5, 28}}, {}, U8, 4, I({0, 1, 211, 1})},
        {0x6014, {{5, 32}}, {}, U8, 4, I({0, 1, 211, 1})},
        {0x6014, {{5, 2}}, {}, I16, 4, I({1, 0, 304, 9})},
        {0x6014, {{5, 30}}, {}, I16, 4, I({1, 0, 304, 9})},
        {0x6014, {{5, 29}}, {}, I8, 2, I({0, 0})},
        {0x6016, {}, {}, I8, 1, I({1})},
    };
}

std::vector<KeyCase> AllCases()
{
    std::vector<KeyCase> all;
    for (auto part : {RootCases(), DrvCases(), InternalCases(), LmCases(), MntCases(), PaCases(), SmCases()}) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

std::string Describe(const KeyCase &c)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "key 0x%04X", c.key);
    std::string s = buf;
    for (const auto &i : c.ints) {
        s += " int" + std::to_string(i.first) + "=" + std::to_string(i.second);
    }
    for (const auto &t : c.strs) {
        s += " str" + std::to_string(t.first) + "=" + (t.second ? std::string("\"") + t.second + "\"" : "null");
    }
    return s;
}

// The keys of the shipped image, database by database.
const uint16_t kShippedKeys[] = {
    // root
    0x0002,
    0x0003,
    0x0004,
    0x0005,
    0x0006,
    0x0007,
    0x0008,
    0x0009,
    0x000A,
    0x000B,
    0x000C,
    0x000D,
    0x000E,
    0x000F,
    0x0010,
    0x0011,
    0x0012,
    0x0013,
    0x0014,
    0x0015,
    0x0016,
    0x0017,
    0x0018,
    0x0019,
    0x001A,
    0x001B,
    0x001C,
    0x001D,
    0x001E,
    0x001F,
    0x0021,
    0x0022,
    0x0023,
    0x0024,
    0x0025,
    0x0026,
    0x0027,
    // driver
    0x1001,
    0x1002,
    0x1003,
    0x1004,
    0x1005,
    0x1006,
    0x1007,
    0x1008,
    0x1009,
    0x100A,
    0x100B,
    0x100C,
    0x100E,
    0x1010,
    0x1011,
    0x1012,
    0x1014,
    0x1015,
    0x1016,
    0x1017,
    0x101F,
    0x1020,
    0x1021,
    0x1022,
    0x1023,
    0x1024,
    0x1025,
    0x1026,
    0x1028,
    0x102A,
    0x102B,
    0x102C,
    0x102D,
    0x102E,
    0x102F,
    0x1031,
    0x1032,
    0x1033,
    0x1035,
    0x1036,
    0x1037,
    0x1038,
    0x1039,
    0x103A,
    0x103B,
    0x103D,
    0x103E,
    0x103F,
    0x1041,
    0x1042,
    0x1043,
    0x1046,
    0x1048,
    0x1049,
    0x104B,
    0x104C,
    0x104D,
    0x104E,
    0x104F,
    // language monitor
    0x2001,
    0x2002,
    0x2004,
    0x2007,
    0x2009,
    0x200A,
    0x200B,
    0x200C,
    0x200D,
    0x200E,
    0x200F,
    0x2010,
    0x2011,
    0x2012,
    0x2013,
    0x2014,
    0x2016,
    0x2017,
    0x2018,
    0x2019,
    0x201A,
    0x201B,
    0x201C,
    0x201D,
    0x201E,
    0x201F,
    0x2021,
    0x2022,
    0x202B,
    0x202D,
    0x202E,
    0x202F,
    0x2030,
    0x2031,
    0x2036,
    0x2037,
    0x203D,
    // maintenance
    0x3001,
    0x3002,
    0x3003,
    0x3004,
    0x3006,
    0x3007,
    0x3008,
    0x3009,
    0x300A,
    0x300B,
    0x300C,
    0x300D,
    0x300E,
    // PA
    0x4001,
    0x4002,
    0x4003,
    0x4006,
    0x4007,
    0x4008,
    // internal
    0x5002,
    0x5003,
    0x5004,
    0x5005,
    0x5006,
    0x5007,
    0x5008,
    0x500B,
    0x500C,
    0x500D,
    0x500E,
    0x5010,
    // status monitor
    0x6001,
    0x6002,
    0x6003,
    0x6004,
    0x6005,
    0x6006,
    0x6007,
    0x6008,
    0x6009,
    0x600C,
    0x600D,
    0x600E,
    0x600F,
    0x6010,
    0x6011,
    0x6012,
    0x6013,
    0x6014,
    0x6016,
};

TEST(ShippedKeys, KeyTableHoldsExactlyTheShippedKeys)
{
    const ZMD_ImageView *img = ZMD_ShippedImage();
    const size_t n = sizeof kShippedKeys / sizeof kShippedKeys[0];
    ASSERT_EQ(n, 183u);
    ASSERT_EQ(img->counts.keys, 183u);
    for (size_t i = 0; i < n; ++i) {
        EXPECT_EQ(img->keys[i], kShippedKeys[i]) << "position " << i;
    }
    // Key 0x5008 starts at node 0, the list of every key's tree.
    for (size_t i = 0; i < n; ++i) {
        if (img->keys[i] == 0x5008) {
            EXPECT_EQ(img->keyNodes[i], 0u);
        }
    }
}

TEST(ShippedKeys, DriverQueryTablesHaveTheirShippedSizes)
{
    const ZMD_ImageCounts &c = ZMD_ShippedImage()->counts;
    EXPECT_EQ(c.seqKeys, 6u);
    EXPECT_EQ(c.seqParts, 12u);
    EXPECT_EQ(c.lists, 4u);
    EXPECT_EQ(c.listEntries, 30u);
    EXPECT_EQ(c.selectionRows, 50u);
    EXPECT_EQ(c.blocksA, 24u);
    EXPECT_EQ(c.blocksB, 1u);
    EXPECT_EQ(c.blocksC, 5u);
    EXPECT_EQ(c.blocksD, 1u);
}

TEST(ShippedKeys, EveryKeyAnswersItsValue)
{
    ShippedDb db;
    std::set<uint16_t> covered;
    for (const KeyCase &c : AllCases()) {
        SCOPED_TRACE(Describe(c));
        covered.insert(c.key);
        TestRecord rec = ShapedRecord(DatabaseOf(c.key), c.ints, c.strs);
        Answer a = db.ask(c.key, rec);
        ASSERT_EQ(a.rc, c.expect.rc);

        if (c.kind != 0) {
            ZMD_Node node{};
            ASSERT_EQ(ZMD_FindKey(&db.env, c.key, rec.get(), &node), ZMD_OK);
            EXPECT_EQ(ZMD_NodeKindOf(node.w0), c.kind);
            EXPECT_EQ(ZMD_NodeHigh(node.w1), c.key);
            if (c.count != 0) {
                EXPECT_EQ(ZMD_NodeLow(node.w1), c.count);
            }
        }
        switch (c.expect.mode) {
        case Expect::PAYLOAD:
            EXPECT_EQ(a.bytes, c.expect.payload);
            break;
        case Expect::NAME: {
            std::string s = a.text();
            EXPECT_NE(s, "<bad text>");
            if (c.expect.size != 0) {
                EXPECT_EQ(s.size() + 1, c.expect.size) << s;
            } else {
                EXPECT_GE(s.size(), 4u) << s;
            }
            EXPECT_TRUE(s.size() >= c.expect.suffix.size() &&
                        s.compare(s.size() - c.expect.suffix.size(), std::string::npos, c.expect.suffix) == 0)
                << s;
            break;
        }
        case Expect::SIZE:
            EXPECT_EQ(a.size, c.expect.size);
            break;
        case Expect::RESULT:
            break;
        }
    }
    // Every key of the image has its case, and so have the keys the driver
    // queries answer from their own tables (0x1018 and 0x1019 have tests of
    // their own).
    for (uint16_t k : kShippedKeys) {
        EXPECT_TRUE(covered.count(k) || k == 0x5008) << std::hex << k;
    }
}

// Every key in a database's range that the image lacks answers ZMD_NO_KEY,
// except the driver keys answered from the query tables.
TEST(ShippedKeys, GapsInTheRangesAnswerNoKey)
{
    ShippedDb db;
    const std::set<uint16_t> shipped(std::begin(kShippedKeys), std::end(kShippedKeys));
    const std::set<uint16_t> tables = {0x100D, 0x100F, 0x1013, 0x1018, 0x1019, 0x101A, 0x101B, 0x101C, 0x101D, 0x101E};
    const struct {
        uint32_t db;
        uint16_t first, last;
    } ranges[] = {{ZMD_DB_ROOT, 0x0001, 0x0FFF}, {ZMD_DB_DRV, 0x1001, 0x1FFF}, {ZMD_DB_LM, 0x2001, 0x2FFF},
                  {ZMD_DB_MNT, 0x3001, 0x3FFF},  {ZMD_DB_PA, 0x4001, 0x4FFF},  {ZMD_DB_SM, 0x6001, 0x6FFF}};
    int gaps = 0;
    for (const auto &r : ranges) {
        TestRecord rec = ShapedRecord(r.db);
        for (uint32_t k = r.first; k <= r.last; ++k) {
            if (shipped.count(static_cast<uint16_t>(k)) || tables.count(static_cast<uint16_t>(k))) {
                continue;
            }
            uint32_t size = 0;
            ASSERT_EQ(ZMD_AccessDataBase(&db.env, r.db, k, rec.get(), 0, nullptr, &size), ZMD_NO_KEY)
                << std::hex << "key 0x" << k;
            ++gaps;
        }
    }
    EXPECT_EQ(gaps, 6 * 4095 - 171 - 10);
    // The internal range, asked the way the driver queries ask it.
    TestRecord rec = ShapedRecord(ZMD_DB_DRV);
    for (uint32_t k = 0x5001; k <= 0x5FFF; ++k) {
        if (shipped.count(static_cast<uint16_t>(k))) {
            continue;
        }
        ZMD_Node node;
        ASSERT_EQ(ZMD_FindKey(&db.env, k, rec.get(), &node), ZMD_NO_KEY) << std::hex << "key 0x" << k;
    }
}

} // namespace
