// Temporary directories for calibmod tests.
#include "temp_dir.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void removeTree(const std::string &path)
{
    DIR *d = opendir(path.c_str());
    if (d != nullptr) {
        while (dirent *e = readdir(d)) {
            std::string name = e->d_name;
            if (name == "." || name == "..") {
                continue;
            }
            std::string child = path + "/" + name;
            struct stat st;
            if (lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                chmod(child.c_str(), 0700);
                removeTree(child);
            } else {
                unlink(child.c_str());
            }
        }
        closedir(d);
    }
    rmdir(path.c_str());
}

} // namespace

std::basic_string<KZ_WCHAR> toWideString(const std::string &utf8)
{
    std::basic_string<KZ_WCHAR> out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        uint32_t cp;
        size_t n;
        if (c < 0x80) {
            cp = c;
            n = 1;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            n = 2;
        } else {
            cp = c & 0x0F;
            n = 3;
        }
        for (size_t k = 1; k < n && i + k < utf8.size(); ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        out.push_back(static_cast<KZ_WCHAR>(cp));
        i += n;
    }
    return out;
}

TempDir::TempDir()
{
    const char *base = getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/calibmod-test-XXXXXX";
    if (mkdtemp(tmpl.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = tmpl;
    wide_ = toWideString(path_);
}

TempDir::~TempDir()
{
    removeTree(path_);
}

void TempDir::write(const std::string &name, const std::string &bytes) const
{
    std::ofstream out(file(name), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempDir::read(const std::string &name) const
{
    std::ifstream in(file(name), std::ios::binary);
    std::ostringstream out;
    if (in) {
        out << in.rdbuf();
    }
    return out.str();
}

bool TempDir::exists(const std::string &name) const
{
    struct stat st;
    return stat(file(name).c_str(), &st) == 0;
}

void TempDir::remove(const std::string &name) const
{
    unlink(file(name).c_str());
}

std::vector<std::string> TempDir::list() const
{
    std::vector<std::string> names;
    DIR *d = opendir(path_.c_str());
    if (d != nullptr) {
        while (dirent *e = readdir(d)) {
            std::string name = e->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string TempDir::makeSubdir(const std::string &name) const
{
    std::string p = file(name);
    mkdir(p.c_str(), 0700);
    return p;
}
