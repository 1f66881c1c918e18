// calibmod benchmarks: the shipped export ("ours") against the plain file
// work that a call cannot do without, in alternating pairs (--pairs=N, 11
// by default) so that a loaded machine slows both sides.
//
//   calibmod.cold/ours       state 2: a new copy of a ~32 MiB data file with
//                            200 KZHT tables, its tables updated, the list
//                            written
//   calibmod.cold/readwrite  read the whole file into one buffer, write it
//                            to a new file
//   calibmod.cold/cp         copy the file inside the kernel, as cp does
//                            (copy_file_range; sendfile where it is refused)
//   calibmod.warm/ours       state 1: the key is listed and its copy current
//   calibmod.warm/files      the four opens (list, copy, source, copy) and
//                            the one read of the list file such a call needs
//
// Before the pairs, the program measures the module's memory at two file
// sizes (the large file and one of 8 MiB) and puts it in the JSON context:
// the peak of its heap through a platform that tracks every allocation, and
// the peak resident size of a child process that makes one cold call beyond
// that of one that makes none. ZMD_BENCH_KZ_MIB=N makes the large file N MiB.
#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/sendfile.h>
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
        table.open = [](void *ctx, CalHandle dir, const KZ_WCHAR *path, CalOpenKind kind, CalHandle *out,
                        int64_t *size) {
            const CalPlatform *r = static_cast<PeakHeap *>(ctx)->real;
            return r->open(r->ctx, dir, path, kind, out, size);
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

// The data file's size: $ZMD_BENCH_KZ_MIB MiB when set, else 32 MiB.
size_t BenchFileBytes()
{
    const char *mib = std::getenv("ZMD_BENCH_KZ_MIB");
    const long n = mib ? std::strtol(mib, nullptr, 10) : 0;
    return n > 0 && n <= 4096 ? static_cast<size_t>(n) << 20 : size_t{32} << 20;
}

const size_t kSmallFileBytes = size_t{8} << 20;

// A source folder with the data file and an empty calibration folder.
struct Scene {
    std::string root, src, cal, copyBaseline;
    std::basic_string<KZ_WCHAR> srcW, calW;
    size_t fileBytes = 0;
    CalibRequest request{7, 1, 1, 2, 3};
    CalibNames names{};
    int16_t ids[6] = {-3, 3, -3, 3, 0, 0};

    // A scene over the folders of an earlier one (the memory child).
    Scene(const std::string &rootDir, size_t bytes) : root(rootDir), fileBytes(bytes) { paths(); }
    explicit Scene(size_t bytes)
    {
        char tmpl[] = "/tmp/kz-bench-XXXXXX";
        root = mkdtemp(tmpl) ? tmpl : "/tmp";
        paths();
        mkdir(src.c_str(), 0700);
        mkdir(cal.c_str(), 0700);
        const kzfile::Bytes file = benchCalibrationFile(bytes);
        fileBytes = file.size();
        kzfile::writeFile(src + "/Bench0.dat", file, nullptr);
    }
    void paths()
    {
        src = root + "/src";
        cal = root + "/cal";
        copyBaseline = root + "/baseline.dat";
        srcW = Wide(src);
        calW = Wide(cal);
        std::memcpy(names.sourceName, "Bench0.dat", 10);
        std::memcpy(names.listPrefix, "bench", 5);
    }
    void remove()
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
    std::string source() const { return src + "/Bench0.dat"; }
};

Scene *gScene = nullptr; // the large file's scene, made in main before any benchmark

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

// Copies a file inside the kernel as cp does: copy_file_range, and
// sendfile where the file system refuses it.
bool KernelCopy(const std::string &from, const std::string &to)
{
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return false;
    }
    const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    struct stat st;
    bool ok = out >= 0 && fstat(in, &st) == 0;
    size_t left = ok ? static_cast<size_t>(st.st_size) : 0;
    bool useSendfile = false;
    while (ok && left > 0) {
        ssize_t n = useSendfile ? -1 : copy_file_range(in, nullptr, out, nullptr, left, 0);
        if (n < 0 && !useSendfile && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) {
            useSendfile = true;
        }
        if (useSendfile) {
            n = sendfile(out, in, nullptr, left);
        }
        ok = n > 0;
        if (ok) {
            left -= static_cast<size_t>(n);
        }
    }
    close(in);
    return (out < 0 || close(out) == 0) && ok;
}

void ColdOurs(benchmark::State &state)
{
    Scene &s = *gScene;
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
}

void ColdReadWrite(benchmark::State &state)
{
    Scene &s = *gScene;
    std::vector<uint8_t> buffer;
    for (auto _ : state) {
        state.PauseTiming();
        unlink(s.copyBaseline.c_str());
        std::vector<uint8_t>().swap(buffer);
        state.ResumeTiming();
        if (!ReadAll(s.source(), &buffer) || !WriteNew(s.copyBaseline, buffer)) {
            state.SkipWithError("reading and writing the file failed");
            break;
        }
    }
    state.counters["file_bytes"] = static_cast<double>(s.fileBytes);
}

void ColdCp(benchmark::State &state)
{
    Scene &s = *gScene;
    for (auto _ : state) {
        state.PauseTiming();
        unlink(s.copyBaseline.c_str());
        state.ResumeTiming();
        if (!KernelCopy(s.source(), s.copyBaseline)) {
            state.SkipWithError("the kernel copy failed");
            break;
        }
    }
    state.counters["file_bytes"] = static_cast<double>(s.fileBytes);
}

// Both warm sides start from a listed, current copy.
bool MakeWarm(benchmark::State &state, Scene &s)
{
    RemoveAllIn(s.cal);
    if (s.call() != CAL_OK) {
        state.SkipWithError("the first call did not answer CAL_OK");
        return false;
    }
    return true;
}

void WarmOurs(benchmark::State &state)
{
    Scene &s = *gScene;
    if (!MakeWarm(state, s)) {
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

void WarmFiles(benchmark::State &state)
{
    Scene &s = *gScene;
    if (!MakeWarm(state, s)) {
        return;
    }
    const std::string list = s.cal + "/bench007.ini";
    const std::string copy = s.cal + "/" + s.result();
    const std::string source = s.source();
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
            state.SkipWithError("opening the files failed");
            break;
        }
    }
}

// The peak of the module's heap during one cold call (0 on failure or leak).
size_t PeakHeapOfColdCall(Scene &s)
{
    RemoveAllIn(s.cal);
    PeakHeap heap;
    const bool ok = s.callOn(&heap.table) == CAL_OK && heap.live.empty();
    return ok ? heap.peak : 0;
}

// This process's peak resident size in KiB since it was started (VmHWM
// starts afresh at exec), or -1.
long PeakResidentKiB()
{
    FILE *f = std::fopen("/proc/self/status", "r");
    long kib = -1;
    char line[256];
    while (f && std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, "VmHWM:", 6) == 0) {
            kib = std::strtol(line + 6, nullptr, 10);
        }
    }
    if (f) {
        std::fclose(f);
    }
    return kib;
}

// The peak resident size in KiB of a child (this program) that makes one
// cold call on the scene (call) or none; -1 on failure.
long ChildPeakKiB(const Scene &s, bool call)
{
    RemoveAllIn(s.cal);
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        return -1;
    }
    self[n] = '\0';
    const std::string command = std::string("'") + self + "' --memory-child=" + (call ? "call" : "none") + " '" +
                                s.root + "' " + std::to_string(s.fileBytes);
    FILE *child = popen(command.c_str(), "r");
    long kib = -1;
    if (child && std::fscanf(child, "%ld", &kib) != 1) {
        kib = -1;
    }
    return child && pclose(child) == 0 ? kib : -1;
}

// The child: one cold call on the scene under ROOT, or none; prints its
// peak resident size in KiB.
int MemoryChild(const char *what, const char *root, const char *bytes)
{
    Scene s(root, static_cast<size_t>(std::strtoull(bytes, nullptr, 10)));
    if (std::strcmp(what, "call") == 0 && s.call() != CAL_OK) {
        return 1;
    }
    std::printf("%ld\n", PeakResidentKiB());
    return 0;
}

void AddMemoryContext(Scene &large)
{
    Scene small(kSmallFileBytes);
    for (Scene *s : {&small, &large}) {
        const std::string at = s == &small ? "small" : "large";
        const long none = ChildPeakKiB(*s, false);
        const long call = ChildPeakKiB(*s, true);
        benchmark::AddCustomContext("memory." + at + ".file_bytes", std::to_string(s->fileBytes));
        benchmark::AddCustomContext("memory." + at + ".peak_heap_bytes", std::to_string(PeakHeapOfColdCall(*s)));
        benchmark::AddCustomContext("memory." + at + ".rss_extra_kib",
                                    none < 0 || call < 0 ? "-1" : std::to_string(call - none));
    }
    small.remove();
}

// Takes --pairs=N out of the arguments.
int TakePairs(int *argc, char **argv)
{
    int pairs = 11;
    int out = 1;
    for (int i = 1; i < *argc; ++i) {
        if (std::strncmp(argv[i], "--pairs=", 8) == 0) {
            pairs = std::atoi(argv[i] + 8);
        } else {
            argv[out++] = argv[i];
        }
    }
    *argc = out;
    return pairs > 0 ? pairs : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && std::strncmp(argv[1], "--memory-child=", 15) == 0) {
        return MemoryChild(argv[1] + 15, argv[2], argv[3]);
    }
    const int pairs = TakePairs(&argc, argv);
    benchmark::Initialize(&argc, argv);
    Scene large(BenchFileBytes());
    gScene = &large;
    AddMemoryContext(large);
    for (int p = 0; p < pairs; ++p) {
        const std::string pair = "/p" + std::to_string(p);
        benchmark::RegisterBenchmark(("calibmod.cold/ours" + pair).c_str(), ColdOurs)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("calibmod.cold/readwrite" + pair).c_str(), ColdReadWrite)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("calibmod.cold/cp" + pair).c_str(), ColdCp)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("calibmod.warm/ours" + pair).c_str(), WarmOurs)
            ->Unit(benchmark::kMicrosecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("calibmod.warm/files" + pair).c_str(), WarmFiles)
            ->Unit(benchmark::kMicrosecond)
            ->UseRealTime();
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    large.remove();
    return 0;
}
