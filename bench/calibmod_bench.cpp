// calibmod benchmarks: the shipped export ("ours") against the plain file
// work that a call cannot do without ("baseline"), in the same run.
//
//   calibmod.cold  state 2: a new copy of a ~32 MiB data file with 200 KZHT
//                  tables, its tables updated, the list written; baseline:
//                  read the whole file and write it to a new file
//   calibmod.warm  state 1: the key is listed and its copy current; baseline:
//                  the four opens (list, copy, source, copy) and one read of
//                  the list file
//
// The cold benchmark also reports the peak of the module's heap during one
// call (peak_heap_bytes, through a platform that tracks every allocation)
// next to the file size (file_bytes). ZMD_BENCH_KZ_MIB=N makes the data file
// N MiB instead.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cal_platform.h"
#include "calib_flow.h"
#include "calibmod.h"
#include "kz_bench_file.h"

namespace {

std::basic_string<KZ_WCHAR> Wide(const std::string &s)
{
    std::basic_string<KZ_WCHAR> w;
    for (unsigned char c : s) {
        w.push_back(static_cast<KZ_WCHAR>(c));
    }
    return w;
}

void RemoveAllIn(const std::string &dir)
{
    DIR *d = opendir(dir.c_str());
    if (!d) {
        return;
    }
    while (dirent *e = readdir(d)) {
        if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, "..")) {
            unlink((dir + "/" + e->d_name).c_str());
        }
    }
    closedir(d);
}

// The module's heap as seen through its seam: the peak of the bytes held.
struct PeakHeap {
    CalPlatform table;
    const CalPlatform *real = calDefaultPlatform();
    std::map<void *, size_t> live;
    size_t now = 0, peak = 0;

    PeakHeap()
    {
        table = *real;
        table.ctx = this;
        table.alloc = [](void *ctx, size_t size) -> void * {
            PeakHeap *h = static_cast<PeakHeap *>(ctx);
            void *p = h->real->alloc(h->real->ctx, size);
            if (p) {
                h->live[p] = size;
                h->now += size;
                if (h->now > h->peak) {
                    h->peak = h->now;
                }
            }
            return p;
        };
        table.free = [](void *ctx, void *p) {
            PeakHeap *h = static_cast<PeakHeap *>(ctx);
            auto it = h->live.find(p);
            if (it != h->live.end()) {
                h->now -= it->second;
                h->live.erase(it);
            }
            h->real->free(h->real->ctx, p);
        };
        // The file functions keep the real backend's context.
        table.open = [](void *ctx, const KZ_WCHAR *path, CalOpenKind kind, CalHandle *out) {
            const CalPlatform *r = static_cast<PeakHeap *>(ctx)->real;
            return r->open(r->ctx, path, kind, out);
        };
        table.remove = [](void *ctx, const KZ_WCHAR *path) {
            const CalPlatform *r = static_cast<PeakHeap *>(ctx)->real;
            return r->remove(r->ctx, path);
        };
        table.seek = [](void *ctx, CalHandle h, uint32_t off) {
            const CalPlatform *r = static_cast<PeakHeap *>(ctx)->real;
            return r->seek(r->ctx, h, off);
        };
        table.read = [](void *ctx, CalHandle h, void *buf, uint32_t n, uint32_t *got) {
            const CalPlatform *r = static_cast<PeakHeap *>(ctx)->real;
            return r->read(r->ctx, h, buf, n, got);
        };
        table.write = [](void *ctx, CalHandle h, const void *buf, uint32_t n, uint32_t *put) {
            const CalPlatform *r = static_cast<PeakHeap *>(ctx)->real;
            return r->write(r->ctx, h, buf, n, put);
        };
        table.size = [](void *ctx, CalHandle h, uint32_t *out) {
            const CalPlatform *r = static_cast<PeakHeap *>(ctx)->real;
            return r->size(r->ctx, h, out);
        };
        table.close = [](void *ctx, CalHandle h) {
            const CalPlatform *r = static_cast<PeakHeap *>(ctx)->real;
            r->close(r->ctx, h);
        };
        table.toWide = [](void *ctx, const char *src, int n, KZ_WCHAR *dst, int cap) {
            const CalPlatform *r = static_cast<PeakHeap *>(ctx)->real;
            return r->toWide(r->ctx, src, n, dst, cap);
        };
    }
};

// The data file's size: $ZMD_BENCH_KZ_MIB MiB when set (a larger file shows
// whether the module's memory grows with it), else about 32 MiB.
size_t BenchFileBytes()
{
    const char *mib = std::getenv("ZMD_BENCH_KZ_MIB");
    const long n = mib ? std::strtol(mib, nullptr, 10) : 0;
    return n > 0 && n <= 4096 ? static_cast<size_t>(n) << 20 : size_t{32} << 20;
}

struct Scene {
    std::string root, src, cal, copyBaseline;
    std::basic_string<KZ_WCHAR> srcW, calW;
    size_t fileBytes = 0;
    CalibRequest request{7, 1, 1, 2, 3};
    CalibNames names{};
    int16_t ids[6] = {-3, 3, -3, 3, 0, 0};

    Scene()
    {
        char tmpl[] = "/tmp/kz-bench-XXXXXX";
        root = mkdtemp(tmpl) ? tmpl : "/tmp";
        src = root + "/src";
        cal = root + "/cal";
        mkdir(src.c_str(), 0700);
        mkdir(cal.c_str(), 0700);
        copyBaseline = root + "/baseline.dat";
        srcW = Wide(src);
        calW = Wide(cal);
        const kzfile::Bytes bytes = benchCalibrationFile(BenchFileBytes());
        fileBytes = bytes.size();
        kzfile::writeFile(src + "/Bench0.dat", bytes, nullptr);
        std::memcpy(names.sourceName, "Bench0.dat", 10);
        std::memcpy(names.listPrefix, "bench", 5);
    }
    ~Scene()
    {
        RemoveAllIn(cal);
        RemoveAllIn(src);
        unlink(copyBaseline.c_str());
        rmdir(cal.c_str());
        rmdir(src.c_str());
        rmdir(root.c_str());
    }
    int16_t call() { return KZCalibration(&request, &names, ids, srcW.c_str(), calW.c_str()); }
    int16_t callOn(const CalPlatform *p) { return flowCalibrate(p, &request, &names, ids, srcW.c_str(), calW.c_str()); }
    std::string result() const { return std::string(names.resultName, strnlen(names.resultName, 16)); }
};

Scene &TheScene()
{
    static Scene scene;
    return scene;
}

// Reads the whole file into one buffer; false on any failure.
bool ReadAll(const std::string &path, std::vector<uint8_t> *out)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st;
    bool ok = fstat(fd, &st) == 0;
    if (ok) {
        out->resize(static_cast<size_t>(st.st_size));
    }
    size_t got = 0;
    while (ok && got < out->size()) {
        const ssize_t n = read(fd, out->data() + got, out->size() - got);
        ok = n > 0;
        if (ok) {
            got += static_cast<size_t>(n);
        }
    }
    close(fd);
    return ok;
}

bool WriteNew(const std::string &path, const std::vector<uint8_t> &bytes)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    size_t put = 0;
    bool ok = true;
    while (ok && put < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + put, bytes.size() - put);
        ok = n > 0;
        if (ok) {
            put += static_cast<size_t>(n);
        }
    }
    return close(fd) == 0 && ok;
}

void ColdOurs(benchmark::State &state)
{
    Scene &s = TheScene();
    // One call on the tracking heap first, for the peak.
    RemoveAllIn(s.cal);
    PeakHeap heap;
    if (s.callOn(&heap.table) != CAL_OK || !heap.live.empty()) {
        state.SkipWithError("a cold call on the tracking heap failed or leaked");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        RemoveAllIn(s.cal);
        state.ResumeTiming();
        if (s.call() != CAL_OK) {
            state.SkipWithError("a cold call did not answer CAL_OK");
            break;
        }
    }
    state.counters["file_bytes"] = static_cast<double>(s.fileBytes);
    state.counters["peak_heap_bytes"] = static_cast<double>(heap.peak);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.fileBytes));
}

void ColdBaseline(benchmark::State &state)
{
    Scene &s = TheScene();
    std::vector<uint8_t> buffer;
    for (auto _ : state) {
        state.PauseTiming();
        unlink(s.copyBaseline.c_str());
        std::vector<uint8_t>().swap(buffer);
        state.ResumeTiming();
        if (!ReadAll(s.src + "/Bench0.dat", &buffer) || !WriteNew(s.copyBaseline, buffer)) {
            state.SkipWithError("baseline copy failed");
            break;
        }
    }
    state.counters["file_bytes"] = static_cast<double>(s.fileBytes);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.fileBytes));
}

void WarmOurs(benchmark::State &state)
{
    Scene &s = TheScene();
    RemoveAllIn(s.cal);
    if (s.call() != CAL_OK) {
        state.SkipWithError("the first call did not answer CAL_OK");
        return;
    }
    const std::string copy = s.result();
    for (auto _ : state) {
        if (s.call() != CAL_OK) {
            state.SkipWithError("a warm call did not answer CAL_OK");
            break;
        }
    }
    if (s.result() != copy) {
        state.SkipWithError("a warm call answered another name");
    }
}

void WarmBaseline(benchmark::State &state)
{
    Scene &s = TheScene();
    RemoveAllIn(s.cal);
    if (s.call() != CAL_OK) {
        state.SkipWithError("the first call did not answer CAL_OK");
        return;
    }
    const std::string list = s.cal + "/bench007.ini";
    const std::string copy = s.cal + "/" + s.result();
    const std::string source = s.src + "/Bench0.dat";
    std::vector<uint8_t> text;
    for (auto _ : state) {
        bool ok = ReadAll(list, &text);
        for (const std::string *p : {&copy, &source, &copy}) {
            const int fd = open(p->c_str(), O_RDONLY | O_CLOEXEC);
            ok = ok && fd >= 0;
            if (fd >= 0) {
                close(fd);
            }
        }
        if (!ok) {
            state.SkipWithError("baseline open failed");
            break;
        }
    }
}

} // namespace

BENCHMARK(ColdOurs)->Name("calibmod.cold/ours")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ColdBaseline)->Name("calibmod.cold/baseline")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(WarmOurs)->Name("calibmod.warm/ours")->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(WarmBaseline)->Name("calibmod.warm/baseline")->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();
