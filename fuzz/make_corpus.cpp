// Writes the generated seed inputs of the fuzz targets:
//   fuzz_make_corpus fuzz/corpus src/zmd/zmdapi/depbase/db
// Seeds are small: calibration data files made with tools/kzfile, list files
// like the ones the tests use, a few depbase queries, and the smaller
// database sources for the compiler.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "kzfile.h"

namespace {

using kzfile::Bytes;

void put(const std::string &out, const std::string &target, const std::string &name, const Bytes &bytes)
{
    const std::string dir = out + "/" + target;
    mkdir(dir.c_str(), 0755);
    std::string error;
    if (!kzfile::writeFile(dir + "/" + name, bytes, &error))
        std::fprintf(stderr, "%s\n", error.c_str());
}

Bytes cat(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Bytes text(const std::string &s)
{
    return Bytes(s.begin(), s.end());
}

kzfile::Table table(uint32_t tag, uint16_t id, Bytes body)
{
    kzfile::Table t;
    t.tag = tag;
    t.id = id;
    t.body = std::move(body);
    return t;
}

Bytes tagged(std::vector<int32_t> slots)
{
    std::vector<kzfile::TaggedPlane> planes;
    for (int32_t s : slots) {
        kzfile::TaggedPlane p;
        p.slot = s;
        p.curve = kzfile::rampCurve(static_cast<int16_t>(s * 7), 14);
        planes.push_back(p);
    }
    return kzfile::taggedBody(kzfile::standardItems(planes.size()), planes);
}

Bytes plain(int count)
{
    std::vector<kzfile::Curve> v;
    for (int i = 0; i < count; ++i)
        v.push_back(kzfile::rampCurve(static_cast<int16_t>(i), 15));
    return kzfile::plainBody(v);
}

// A small data file: three table databases (one per layout) naming plain
// and tagged tables, with and without built-in curves.
Bytes dataFile(bool shared, const std::string &ident = "KZ-CAL SAMPLE 1")
{
    kzfile::FileDesc fileDesc;
    fileDesc.ident = ident;
    fileDesc.sharedDirectory = shared;
    fileDesc.tables = {
        table(kzfile::kTagKzdb, 1000, kzfile::kzdbBody(0, {1201, 1207}, 1)),
        table(kzfile::kTagKzdb, 1001, kzfile::kzdbBody(1, {1202, 1218}, 2)),
        table(kzfile::kTagKzdb, 1128, kzfile::kzdbBody(2, {1300}, 3)),
        table(kzfile::kTagKzht, 1201, plain(4)),
        table(kzfile::kTagKzht, 1202, plain(4)),
        table(kzfile::kTagKzht, 1207, tagged({3, 1, 0, 2})),
        table(kzfile::kTagKzht, 1218, tagged({2, 5})),
        table(kzfile::kTagKzht, 1300, plain(6)),
    };
    return kzfile::buildFile(fileDesc);
}

Bytes u16le(uint16_t v)
{
    return Bytes{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
}

void listSeeds(const std::string &out)
{
    // key byte (listNumber % 4), params, source-name choice, then the list.
    const Bytes head{3, 1, 2, 3, 0};
    put(out, "list_file", "empty", head);
    put(out, "list_file", "found", cat(head, text("3,1,2,3,table1.dat\r\n")));
    put(out, "list_file", "other-keys",
        cat(head, text("3,1,2,4,table1.dat\r\n1,1,2,3,table2.dat\r\n\r\n3,9,9,9,table3.dat")));
    put(out, "list_file", "malformed", cat(head, text("3,1,2,3\r\nx,y\r\n")));
    put(out, "list_file", "blanks", cat(head, text("  3 , 1 ,2, 3 , table1.dat \r\n\n")));
    std::string full;
    const char digits[] = "123456789abcdefghijklmnopqrstuvwxyz";
    for (int i = 0; i < 35; ++i)
        full += "2,0,0," + std::to_string(i) + ",table" + digits[i] + ".dat\r\n";
    put(out, "list_file", "all-names-taken", cat(head, text(full)));
}

void tableSeeds(const std::string &out)
{
    // mode, six ids (16-bit: 0 neutral, 1 -> -3, 2 -> 3), byte order, file.
    Bytes head{1};
    for (uint16_t id : {1, 0, 2, 1, 0, 0})
        head = cat(head, u16le(id));
    put(out, "table_update", "separate", cat(cat(head, Bytes{0}), dataFile(false)));
    put(out, "table_update", "shared", cat(cat(head, Bytes{0}), dataFile(true)));
    put(out, "table_update", "swapped", cat(cat(head, Bytes{1}), dataFile(false)));
    Bytes mode3{3};
    for (uint16_t id : {2, 2, 1, 1, 2, 1})
        mode3 = cat(mode3, u16le(id));
    put(out, "table_update", "mode3", cat(cat(mode3, Bytes{0}), dataFile(false)));
}

void calibrationSeeds(const std::string &out)
{
    // listNumber, mode (< 0xE0: 1), params, six ids (1 -> -3, 2 -> 3, 0 -> 0,
    // 6 -> -8), source name 0 (Table0.dat), prefix 0 (abcde), list length,
    // list, data file.
    const Bytes request{1, 0, 1, 2, 3, 1, 0, 2, 1, 0, 0, 0, 0};
    put(out, "calibration", "no-list", cat(cat(request, u16le(0)), dataFile(false)));
    const std::string line = "1,1,2,3,table1.dat\r\n";
    put(out, "calibration", "listed",
        cat(cat(cat(request, u16le(static_cast<uint16_t>(line.size()))), text(line)), dataFile(true)));
    const std::string other = "1,1,2,4,table1.dat\r\n";
    put(out, "calibration", "other-entry",
        cat(cat(cat(request, u16le(static_cast<uint16_t>(other.size()))), text(other)),
            dataFile(false, "ANOTHER IDENT")));
    Bytes pass = request;
    pass[5] = 6; // -8 in slot 0
    put(out, "calibration", "pass-through", cat(cat(pass, u16le(0)), dataFile(false)));
}

void depbaseSeeds(const std::string &out)
{
    // route, key choice (< 0xC0: by index), key, ints, strings, printer
    // flags, stored values, clock, country, buffer size, failing allocation.
    for (uint8_t route = 0; route < 8; ++route) {
        Bytes b{route, 0x00};
        b = cat(b, u16le(static_cast<uint16_t>(route * 29)));
        b.push_back(95);
        for (int i = 0; i < 95; ++i)
            b.push_back(static_cast<uint8_t>(i == 4 || i == 5 ? 1 : 0));
        b = cat(b, Bytes{8, 0, 2, 'C', 'L', 0xFF, 3, 'S', 'S', 'R', 0, 0, 0, 0});
        b = cat(b, Bytes{0x07, 1, 0, 4, 1, 0, 0, 0, 34, 3, 9, 14, 5, 7, 1, '1'});
        b = cat(b, u16le(1024));
        b.push_back(0);
        put(out, "depbase_query", "route" + std::to_string(route), b);
    }
}

void dbcSeeds(const std::string &out, const std::string &dbDir)
{
    // The example of the format lives with dbc, tools/dbc/examples, five
    // levels above the database sources.
    const std::string examples = dbDir + "/../../../../../tools/dbc/examples";
    for (const char *name : {"example.zdb", "pa.zdb", "internal.zdb", "mnt.zdb", "tables.zdb"}) {
        std::ifstream in((std::string(name) == "example.zdb" ? examples : dbDir) + "/" + name, std::ios::binary);
        if (!in)
            continue;
        Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        put(out, "dbc_compile", name, b);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3 || std::string(argv[1]) == "--help") {
        std::fprintf(stderr, "usage: fuzz_make_corpus CORPUS_DIR DB_SOURCE_DIR\n"
                             "writes the generated seed files of every fuzz target into CORPUS_DIR/<target>/\n");
        return argc == 2 ? 0 : 2;
    }
    const std::string out = argv[1];
    mkdir(out.c_str(), 0755);
    listSeeds(out);
    tableSeeds(out);
    calibrationSeeds(out);
    depbaseSeeds(out);
    dbcSeeds(out, argv[2]);
    return 0;
}
