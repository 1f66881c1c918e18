// The power-cut platform for calibmod tests, and the fsync it observes.
#include "power_cut.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <random>
#include <stdexcept>

namespace {

// One fsync or fdatasync seen while a power-cut platform ran a file operation.
struct SyncSeen {
    dev_t dev;
    ino_t ino;
    bool isDir;
    std::string content; // a regular file's bytes when it was synced
};

// Where the syncs of the operation now running are collected; null when no
// power-cut platform is running one, and then a sync is the system's own.
// fsync is one name for the whole program, so this is process state: one
// power-cut platform runs at a time.
std::atomic<std::vector<SyncSeen> *> gSyncsSeen{nullptr};

std::string fileBytes(const std::string &path)
{
    std::string out;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return out;
    }
    char buf[8192];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) {
            break;
        }
        out.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return out;
}

// The sync a file system would do, recorded instead: the model decides what
// survives, so the disk need not be troubled.
int syncObserved(int fd, long sysno)
{
    std::vector<SyncSeen> *seen = gSyncsSeen.load();
    if (seen == nullptr) {
        return static_cast<int>(syscall(sysno, fd));
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
        return -1;
    }
    SyncSeen s{st.st_dev, st.st_ino, S_ISDIR(st.st_mode), std::string()};
    if (S_ISREG(st.st_mode)) {
        // Through /proc: the descriptor may be open for writing only.
        s.content = fileBytes("/proc/self/fd/" + std::to_string(fd));
    }
    seen->push_back(s);
    return 0;
}

} // namespace

extern "C" int fsync(int fd)
{
    return syncObserved(fd, SYS_fsync);
}

extern "C" int fdatasync(int fd)
{
    return syncObserved(fd, SYS_fdatasync);
}

namespace {

PowerCut *self(void *ctx)
{
    return static_cast<PowerCut *>(ctx);
}

std::string narrow(const KZ_WCHAR *path)
{
    std::string s;
    for (const KZ_WCHAR *p = path; *p != 0; ++p) {
        s.push_back(static_cast<char>(*p)); // tests name their files in ASCII
    }
    return s;
}

// True with the name when path is a file of the watched directory.
bool inDir(const PowerCut *pc, const KZ_WCHAR *path, std::string *name)
{
    std::string p = narrow(path);
    size_t slash = p.rfind('/');
    if (slash == std::string::npos || p.compare(0, slash, pc->dir) != 0 || slash != pc->dir.size()) {
        return false;
    }
    *name = p.substr(slash + 1);
    return true;
}

// Collects the syncs of one file operation and applies them to the model
// when it ends.
class SyncWatch {
public:
    explicit SyncWatch(PowerCut *pc) : pc_(pc) { gSyncsSeen.store(&seen_); }
    ~SyncWatch()
    {
        gSyncsSeen.store(nullptr);
        for (const SyncSeen &s : seen_) {
            if (s.isDir) {
                if (s.dev == pc_->dirDev && s.ino == pc_->dirIno) {
                    pc_->durableNames = pc_->names;
                    pc_->pending.clear();
                    ++pc_->dirSyncs;
                }
                continue;
            }
            for (const auto &h : pc_->handles) {
                if (h.second.node >= 0 && h.second.dev == s.dev && h.second.ino == s.ino) {
                    pc_->nodes[static_cast<size_t>(h.second.node)].durable = s.content;
                    ++pc_->fileSyncs;
                    break;
                }
            }
        }
    }
    SyncWatch(const SyncWatch &) = delete;
    SyncWatch &operator=(const SyncWatch &) = delete;

private:
    PowerCut *pc_;
    std::vector<SyncSeen> seen_;
};

// Counts one file operation; true when the power is gone (now or before).
bool opCut(PowerCut *pc)
{
    if (pc->powerGone) {
        return true;
    }
    ++pc->fileOps;
    if (pc->cutAt != 0 && pc->fileOps == pc->cutAt) {
        pc->powerGone = true;
    }
    return pc->powerGone;
}

int nodeAdd(PowerCut *pc, const std::string &durable)
{
    PowerCut::Node n;
    n.durable = durable;
    pc->nodes.push_back(n);
    return static_cast<int>(pc->nodes.size() - 1);
}

// The node of a name of the directory; a file that came from outside the
// calls seen counts as durable as it is.
int nodeOfName(PowerCut *pc, const std::string &name)
{
    auto it = pc->names.find(name);
    if (it != pc->names.end()) {
        return it->second;
    }
    int node = nodeAdd(pc, fileBytes(pc->dir + "/" + name));
    pc->names[name] = node;
    pc->durableNames[name] = node;
    return node;
}

// The content a node has now.
std::string nodeNow(const PowerCut *pc, int node)
{
    const PowerCut::Node &n = pc->nodes[static_cast<size_t>(node)];
    if (n.isFrozen) {
        return n.frozen;
    }
    for (const auto &e : pc->names) {
        if (e.second == node) {
            return fileBytes(pc->dir + "/" + e.first);
        }
    }
    return n.durable;
}

void nodeFreeze(PowerCut *pc, int node)
{
    PowerCut::Node &n = pc->nodes[static_cast<size_t>(node)];
    n.frozen = nodeNow(pc, node);
    n.isFrozen = true;
}

CalIo pcOpen(void *ctx, CalHandle dir, const KZ_WCHAR *path, CalOpenKind kind, CalHandle *out, int64_t *size)
{
    PowerCut *pc = self(ctx);
    if (opCut(pc)) {
        return CAL_IO_ERROR;
    }
    CalIo io;
    {
        SyncWatch w(pc);
        io = pc->real->open(pc->real->ctx, dir, path, kind, out, size);
    }
    if (io != CAL_IO_OK) {
        return io;
    }
    PowerCut::Handle h;
    struct stat st;
    if (stat(narrow(path).c_str(), &st) == 0) {
        h.dev = st.st_dev;
        h.ino = st.st_ino;
    }
    std::string name;
    if (inDir(pc, path, &name)) {
        if (kind == CAL_OPEN_CREATE_NEW) {
            ++pc->changes;
            h.node = nodeAdd(pc, std::string());
            pc->names[name] = h.node;
            pc->pending.push_back({PowerCut::OP_CREATE, name, std::string(), h.node});
        } else {
            h.node = nodeOfName(pc, name);
        }
    }
    pc->handles[*out] = h;
    ++pc->openHandles;
    return CAL_IO_OK;
}

CalIo pcRemove(void *ctx, const KZ_WCHAR *path)
{
    PowerCut *pc = self(ctx);
    if (opCut(pc)) {
        return CAL_IO_ERROR;
    }
    std::string name;
    bool tracked = inDir(pc, path, &name) && pc->names.count(name) != 0;
    std::string before = tracked ? nodeNow(pc, pc->names[name]) : std::string();
    CalIo io = pc->real->remove(pc->real->ctx, path);
    pc->changes += io == CAL_IO_OK;
    if (io == CAL_IO_OK && tracked) {
        int node = pc->names[name];
        PowerCut::Node &n = pc->nodes[static_cast<size_t>(node)];
        n.frozen = before;
        n.isFrozen = true;
        pc->names.erase(name);
        pc->pending.push_back({PowerCut::OP_REMOVE, name, std::string(), node});
    }
    return io;
}

bool pcSeek(void *ctx, CalHandle h, uint32_t offset)
{
    PowerCut *pc = self(ctx);
    return !opCut(pc) && pc->real->seek(pc->real->ctx, h, offset);
}

bool pcRead(void *ctx, CalHandle h, void *buf, uint32_t count, uint32_t *got)
{
    PowerCut *pc = self(ctx);
    return !opCut(pc) && pc->real->read(pc->real->ctx, h, buf, count, got);
}

bool pcWrite(void *ctx, CalHandle h, const void *buf, uint32_t count, uint32_t *written)
{
    PowerCut *pc = self(ctx);
    if (opCut(pc)) {
        return false;
    }
    ++pc->changes; // a failed write may have written part
    return pc->real->write(pc->real->ctx, h, buf, count, written);
}

CalCopy pcCopyRange(void *ctx, CalHandle from, CalHandle to, uint32_t count, uint32_t *copied)
{
    PowerCut *pc = self(ctx);
    *copied = 0;
    if (opCut(pc)) {
        return CAL_COPY_FAILED;
    }
    ++pc->changes; // a failed copy may have written part
    return pc->real->copyRange(pc->real->ctx, from, to, count, copied);
}

bool pcSize(void *ctx, CalHandle h, uint32_t *out)
{
    PowerCut *pc = self(ctx);
    return !opCut(pc) && pc->real->size(pc->real->ctx, h, out);
}

void pcClose(void *ctx, CalHandle h)
{
    PowerCut *pc = self(ctx);
    pc->handles.erase(h);
    --pc->openHandles;
    SyncWatch w(pc);
    pc->real->close(pc->real->ctx, h);
}

bool pcFlush(void *ctx, CalHandle h)
{
    PowerCut *pc = self(ctx);
    if (opCut(pc)) {
        return false;
    }
    ++pc->changes;
    SyncWatch w(pc);
    return pc->real->flush(pc->real->ctx, h);
}

// Starting the writeback makes nothing durable: only the flush counts.
bool pcFlushStart(void *ctx, CalHandle h)
{
    PowerCut *pc = self(ctx);
    return !opCut(pc) && pc->real->flushStart(pc->real->ctx, h);
}

bool pcTruncate(void *ctx, CalHandle h, uint32_t size)
{
    PowerCut *pc = self(ctx);
    if (opCut(pc)) {
        return false;
    }
    ++pc->changes;
    return pc->real->truncate(pc->real->ctx, h, size);
}

bool pcRename(void *ctx, const KZ_WCHAR *from, const KZ_WCHAR *to)
{
    PowerCut *pc = self(ctx);
    if (opCut(pc)) {
        return false;
    }
    std::string a;
    std::string b;
    bool tracked = inDir(pc, from, &a) && inDir(pc, to, &b);
    int moved = -1;
    int replaced = -1;
    if (tracked) {
        moved = nodeOfName(pc, a);
        auto it = pc->names.find(b);
        if (it != pc->names.end() && it->second != moved) {
            replaced = it->second;
            nodeFreeze(pc, replaced);
        }
    }
    bool ok;
    {
        SyncWatch w(pc);
        ok = pc->real->rename(pc->real->ctx, from, to);
    }
    if (replaced >= 0 && !ok) {
        pc->nodes[static_cast<size_t>(replaced)].isFrozen = false;
    }
    pc->changes += ok;
    if (ok && tracked && a != b) {
        pc->names[b] = moved;
        pc->names.erase(a);
        pc->pending.push_back({PowerCut::OP_RENAME, a, b, moved});
    }
    return ok;
}

bool pcSyncDir(void *ctx, const KZ_WCHAR *dir)
{
    PowerCut *pc = self(ctx);
    if (opCut(pc)) {
        return false;
    }
    ++pc->changes;
    SyncWatch w(pc);
    return pc->real->syncDir(pc->real->ctx, dir);
}

CalIo pcListDir(void *ctx, const KZ_WCHAR *dir, CalHandle lock, CalDirVisit visit, void *arg)
{
    PowerCut *pc = self(ctx);
    if (opCut(pc)) {
        return CAL_IO_ERROR;
    }
    return pc->real->listDir(pc->real->ctx, dir, lock, visit, arg);
}

bool pcLock(void *ctx, const KZ_WCHAR *dir, uint32_t waitMs, CalHandle *out)
{
    PowerCut *pc = self(ctx);
    return !opCut(pc) && pc->real->lock(pc->real->ctx, dir, waitMs, out);
}

void pcUnlock(void *ctx, CalHandle token)
{
    PowerCut *pc = self(ctx);
    pc->real->unlock(pc->real->ctx, token);
}

int pcToWide(void *ctx, const char *src, int srcLen, KZ_WCHAR *dst, int dstLen)
{
    PowerCut *pc = self(ctx);
    return opCut(pc) ? 0 : pc->real->toWide(pc->real->ctx, src, srcLen, dst, dstLen);
}

void *pcAlloc(void *ctx, size_t size)
{
    PowerCut *pc = self(ctx);
    return pc->real->alloc(pc->real->ctx, size);
}

void pcFree(void *ctx, void *p)
{
    PowerCut *pc = self(ctx);
    pc->real->free(pc->real->ctx, p);
}

std::vector<std::string> regularFiles(const std::string &dir)
{
    std::vector<std::string> out;
    DIR *d = opendir(dir.c_str());
    if (d == nullptr) {
        throw std::runtime_error("cannot list " + dir);
    }
    while (struct dirent *e = readdir(d)) {
        std::string n = e->d_name;
        struct stat st;
        if (n != "." && n != ".." && lstat((dir + "/" + n).c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            out.push_back(n);
        }
    }
    closedir(d);
    return out;
}

// What a restart finds of a file whose synced content is durable and whose
// written content is now: each 512-byte sector of either, the length of
// either; the part of a sector past the end of the one it comes from reads
// as zeros.
std::string contentTorn(const std::string &durable, const std::string &now, std::mt19937_64 &rng)
{
    if (durable == now) {
        return now;
    }
    const size_t length = (rng() & 1) != 0 ? durable.size() : now.size();
    std::string out(length, '\0');
    for (size_t at = 0; at < length; at += 512) {
        const std::string &from = (rng() & 1) != 0 ? durable : now;
        const size_t n = std::min<size_t>(512, length - at);
        if (at < from.size()) {
            out.replace(at, std::min(n, from.size() - at), from, at, std::min(n, from.size() - at));
        }
    }
    return out;
}

} // namespace

PowerCut::PowerCut(const std::string &d) : real(calDefaultPlatform()), dir(d)
{
    table = *real;
    table.ctx = this;
    table.open = pcOpen;
    table.remove = pcRemove;
    table.seek = pcSeek;
    table.read = pcRead;
    table.write = pcWrite;
    table.size = pcSize;
    table.close = pcClose;
    table.flush = pcFlush;
    table.flushStart = pcFlushStart;
    table.truncate = pcTruncate;
    table.rename = pcRename;
    table.syncDir = pcSyncDir;
    table.copyRange = pcCopyRange;
    table.listDir = pcListDir;
    table.lock = pcLock;
    table.unlock = pcUnlock;
    table.toWide = pcToWide;
    table.alloc = pcAlloc;
    table.free = pcFree;
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        throw std::runtime_error("no directory " + dir);
    }
    dirDev = st.st_dev;
    dirIno = st.st_ino;
    for (const std::string &name : regularFiles(dir)) {
        nodeOfName(this, name);
    }
}

PowerCut::~PowerCut() = default;

void PowerCut::powerCut(uint64_t seed)
{
    powerGone = true;
    std::mt19937_64 rng(seed);
    std::map<std::string, int> after = durableNames;
    for (const DirOp &op : pending) {
        if ((rng() & 1) == 0) {
            continue; // this change never reached the disk
        }
        if (op.kind == OP_CREATE) {
            after[op.from] = op.node;
        } else if (op.kind == OP_RENAME) {
            after[op.to] = op.node;
        }
        auto it = after.find(op.from);
        if (op.kind != OP_CREATE && it != after.end() && it->second == op.node) {
            after.erase(it);
        }
    }
    std::map<int, std::string> content; // read whole before the directory changes
    for (const auto &e : after) {
        if (content.count(e.second) == 0) {
            const Node &n = nodes[static_cast<size_t>(e.second)];
            content[e.second] = contentTorn(n.durable, nodeNow(this, e.second), rng);
        }
    }
    for (const std::string &name : regularFiles(dir)) {
        if (unlink((dir + "/" + name).c_str()) != 0) {
            throw std::runtime_error("cannot remove " + name);
        }
    }
    for (const auto &e : after) {
        const std::string &bytes = content[e.second];
        int fd = open((dir + "/" + e.first).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        bool ok = fd >= 0 && write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        if (fd >= 0) {
            close(fd);
        }
        if (!ok) {
            throw std::runtime_error("cannot write " + e.first);
        }
    }
}

std::string PowerCut::unsynced() const
{
    std::string out;
    for (const DirOp &op : pending) {
        out += op.kind == OP_CREATE   ? " create " + op.from
               : op.kind == OP_REMOVE ? " remove " + op.from
                                      : " rename " + op.from + " " + op.to;
    }
    for (const auto &e : names) {
        if (nodes[static_cast<size_t>(e.second)].durable != nodeNow(this, e.second)) {
            out += " unsynced " + e.first;
        }
    }
    return out.empty() ? " nothing" : out;
}
