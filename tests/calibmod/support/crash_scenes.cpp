// The directory states in which tests stop a call part-way.
#include "crash_scenes.h"

#include <cstdio>
#include <stdexcept>

#include "flow_fixture.h"

namespace {

const char *kCandidates = "123456789abcdefghijklmnopqrstuvwxyz";

// The id sets that keys of a scene cycle through; each gives its own copy.
const std::vector<std::vector<int16_t>> &idSets()
{
    static const std::vector<std::vector<int16_t>> sets = distinctIdSets(flowSource("KZ-CAL 1"), 12);
    return sets;
}

} // namespace

KeyedCall crashKeyed(int16_t list, int32_t p1, int32_t p2, int32_t p3, size_t idSet)
{
    KeyedCall c;
    c.key.listNumber = list;
    c.key.param1 = p1;
    c.key.param2 = p2;
    c.key.param3 = p3;
    const std::vector<int16_t> &ids = idSets()[idSet % idSets().size()];
    for (int i = 0; i < 6; ++i) {
        c.ids[i] = ids[static_cast<size_t>(i)];
    }
    return c;
}

std::string crashListName(int16_t list)
{
    char buf[16];
    snprintf(buf, sizeof buf, "abcde%03d.ini", list);
    return buf;
}

CrashScene::CrashScene()
{
    setSource("KZ-CAL 1");
}

void CrashScene::setSource(const std::string &ident)
{
    kzfile::Bytes b = flowSource(ident);
    source.write("Table0.dat", std::string(b.begin(), b.end()));
}

kzfile::Bytes CrashScene::sourceBytes() const
{
    return bytesOf(source.read("Table0.dat"));
}

void CrashScene::add(const KeyedCall &c)
{
    CallResult r = calibrateKey(nullptr, c, source.wide(), calib.wide());
    if (r.rc != CAL_OK) {
        throw std::runtime_error("preparing a scene failed");
    }
    listed.push_back(c);
}

void PrintTo(const CrashCase &c, std::ostream *os)
{
    *os << c.name;
}

const std::vector<CrashCase> &crashCases()
{
    static const std::vector<CrashCase> cases = {
        {"NewList", [](CrashScene &s) { s.add(crashKeyed(8, 1, 0, 0, 1)); }},
        {"NewEntry",
         [](CrashScene &s) {
             s.add(crashKeyed(7, 9, 0, 0, 1));
             s.add(crashKeyed(7, 9, 0, 1, 2));
             s.add(crashKeyed(8, 1, 0, 0, 3));
         }},
        {"RefreshStale",
         [](CrashScene &s) {
             s.add(crashKeyed(7, 9, 0, 0, 1));
             s.add(s.victim);
             s.add(crashKeyed(8, 1, 0, 0, 3));
             s.listed.erase(s.listed.begin() + 1); // the victim itself is the key refreshed
             s.setSource("KZ-CAL 2");              // every copy is stale now
         }},
        {"RefreshMissing",
         [](CrashScene &s) {
             s.add(crashKeyed(7, 9, 0, 0, 1));
             s.add(s.victim);
             s.add(crashKeyed(8, 1, 0, 0, 3));
             s.listed.erase(s.listed.begin() + 1);
             s.calib.remove("table2.dat");
         }},
        {"RewriteRecycling",
         [](CrashScene &s) {
             // 35 similar entries: every candidate is taken, the oldest gives way.
             for (int i = 0; i < 35; ++i) {
                 s.add(crashKeyed(7, 100 + i, 0, 0, static_cast<size_t>(1 + i % 11)));
             }
             s.mayReplaceOldest = true;
         }},
        {"OrphanReuse",
         [](CrashScene &s) {
             // Nine listed copies, every other candidate held by a file no list names.
             for (int i = 0; i < 9; ++i) {
                 s.add(crashKeyed(7, 100 + i, 0, 0, static_cast<size_t>(1 + i)));
             }
             for (const char *c = kCandidates + 9; *c; ++c) {
                 s.calib.write(std::string("table") + *c + ".dat", "left by a stopped call");
             }
         }},
    };
    return cases;
}
