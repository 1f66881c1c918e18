// The calibmod fuzz targets' scratch directories.
#include "scratch_dir.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void emptyDir(const std::string &dir)
{
    DIR *d = opendir(dir.c_str());
    if (!d) {
        return;
    }
    while (dirent *e = readdir(d)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
            unlink((dir + "/" + e->d_name).c_str());
        }
    }
    closedir(d);
}

struct Scratch {
    std::string root;
    ScratchDir src, cal;

    Scratch()
    {
        char tmpl[] = "/tmp/zmd-fuzz-XXXXXX";
        if (!mkdtemp(tmpl)) {
            std::perror("mkdtemp");
            std::abort();
        }
        root = tmpl;
        init(&src, "src");
        init(&cal, "cal");
    }
    ~Scratch()
    {
        emptyDir(src.path);
        emptyDir(cal.path);
        rmdir(src.path.c_str());
        rmdir(cal.path.c_str());
        rmdir(root.c_str());
    }
    void init(ScratchDir *d, const char *name)
    {
        d->path = root + "/" + name;
        mkdir(d->path.c_str(), 0700);
        for (unsigned char c : d->path) {
            d->wide.push_back(static_cast<KZ_WCHAR>(c));
        }
    }
};

Scratch &scratch()
{
    static Scratch s;
    return s;
}

} // namespace

const ScratchDir &scratchSource()
{
    return scratch().src;
}
const ScratchDir &scratchCalib()
{
    return scratch().cal;
}

void scratchClear()
{
    emptyDir(scratch().src.path);
    emptyDir(scratch().cal.path);
}

void scratchWrite(const ScratchDir &dir, const std::string &name, const std::vector<uint8_t> &bytes)
{
    FILE *f = std::fopen((dir.path + "/" + name).c_str(), "wb");
    if (!f) {
        return;
    }
    if (!bytes.empty()) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
    }
    std::fclose(f);
}

bool scratchRead(const ScratchDir &dir, const std::string &name, std::vector<uint8_t> *bytes)
{
    FILE *f = std::fopen((dir.path + "/" + name).c_str(), "rb");
    if (!f) {
        return false;
    }
    bytes->clear();
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        bytes->insert(bytes->end(), buf, buf + n);
    }
    std::fclose(f);
    return true;
}

bool scratchExists(const ScratchDir &dir, const std::string &name)
{
    struct stat st;
    return stat((dir.path + "/" + name).c_str(), &st) == 0;
}
