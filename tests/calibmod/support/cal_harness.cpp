// Tools for tests that drive KZCalibration across processes and kills.
#include "cal_harness.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>

#include "calib_flow.h"
#include "fake_platform.h"
#include "flow_fixture.h"
#include "temp_dir.h"

bool CalKey::operator<(const CalKey &o) const
{
    if (listNumber != o.listNumber) {
        return listNumber < o.listNumber;
    }
    if (param1 != o.param1) {
        return param1 < o.param1;
    }
    if (param2 != o.param2) {
        return param2 < o.param2;
    }
    return param3 < o.param3;
}

bool CalKey::operator==(const CalKey &o) const
{
    return listNumber == o.listNumber && param1 == o.param1 && param2 == o.param2 && param3 == o.param3;
}

std::string CalKey::str() const
{
    return std::to_string(listNumber) + "," + std::to_string(param1) + "," + std::to_string(param2) + "," +
           std::to_string(param3);
}

CallResult calibrateKey(const CalPlatform *platform, const KeyedCall &call, const KZ_WCHAR *sourceDir,
                        const KZ_WCHAR *calibDir)
{
    CalibRequest request{call.key.listNumber, 1, call.key.param1, call.key.param2, call.key.param3};
    CalibNames names{};
    memcpy(names.sourceName, call.sourceName.data(), std::min(call.sourceName.size(), sizeof names.sourceName));
    memcpy(names.listPrefix, call.prefix.data(), std::min(call.prefix.size(), sizeof names.listPrefix));
    memset(names.resultName, 'x', sizeof names.resultName);
    int16_t ids[6];
    memcpy(ids, call.ids, sizeof ids);
    CallResult r;
    r.rc = platform == nullptr ? KZCalibration(&request, &names, ids, sourceDir, calibDir)
                               : flowCalibrate(platform, &request, &names, ids, sourceDir, calibDir);
    r.name = std::string(names.resultName, strnlen(names.resultName, sizeof names.resultName));
    r.nameBytes = std::string(names.resultName, sizeof names.resultName);
    return r;
}

CallResult calibrateQuick(const KeyedCall &call, const KZ_WCHAR *sourceDir, const KZ_WCHAR *calibDir)
{
    static FakePlatform *quick = [] {
        FakePlatform *f = new FakePlatform; // lives as long as the process
        f->flushSkipsSync = true;
        return f;
    }();
    quick->resetCounts();
    return calibrateKey(quick->platform(), call, sourceDir, calibDir);
}

std::string failureName(const KeyedCall &call)
{
    std::string s = call.sourceName;
    s.resize(16, '\0');
    return s;
}

namespace {

bool number(const std::string &field, uint32_t *value)
{
    if (field.empty() || field.size() > 10) {
        return false;
    }
    uint64_t v = 0;
    for (char c : field) {
        if (c < '0' || c > '9') {
            return false;
        }
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    if (v > 0xFFFFFFFFull) {
        return false;
    }
    *value = static_cast<uint32_t>(v);
    return true;
}

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowered(std::string s)
{
    for (char &c : s) {
        c = lower(c);
    }
    return s;
}

} // namespace

bool parseListText(const std::string &text, std::vector<ListedEntry> *entries, std::string *why)
{
    entries->clear();
    size_t at = 0;
    int lineNo = 0;
    while (at < text.size()) {
        ++lineNo;
        size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            *why = "line " + std::to_string(lineNo) + " does not end in CR LF";
            return false;
        }
        std::string line = text.substr(at, end - at);
        at = end + 2;
        std::vector<std::string> fields;
        std::stringstream ss(line);
        std::string f;
        while (std::getline(ss, f, ',')) {
            fields.push_back(f);
        }
        if (!line.empty() && line.back() == ',') {
            fields.push_back("");
        }
        uint32_t v[4];
        bool good = fields.size() == 5 && line.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
        for (int i = 0; good && i < 4; ++i) {
            good = number(fields[static_cast<size_t>(i)], &v[i]);
        }
        good = good && !fields[4].empty() && fields[4].size() < 16;
        if (!good) {
            *why = "line " + std::to_string(lineNo) + " is malformed: '" + line + "'";
            return false;
        }
        ListedEntry e;
        e.key.listNumber = static_cast<int16_t>(v[0]);
        e.key.param1 = static_cast<int32_t>(v[1]);
        e.key.param2 = static_cast<int32_t>(v[2]);
        e.key.param3 = static_cast<int32_t>(v[3]);
        e.name = fields[4];
        entries->push_back(e);
    }
    return true;
}

bool hasListShape(const std::string &name)
{
    if (name.size() < 12 || lowered(name.substr(name.size() - 4)) != ".ini") {
        return false;
    }
    for (size_t i = 5; i < name.size() - 4; ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return false;
        }
    }
    return true;
}

std::string DirLists::nameOf(const std::string &list, const CalKey &key) const
{
    auto it = lists.find(list);
    if (it == lists.end()) {
        return "";
    }
    for (const ListedEntry &e : it->second) {
        if (e.key == key) {
            return e.name;
        }
    }
    return "";
}

DirLists readDirLists(const std::string &dir)
{
    DirLists out;
    DIR *d = opendir(dir.c_str());
    if (d == nullptr) {
        out.problem = "cannot list " + dir;
        return out;
    }
    std::vector<std::string> names;
    while (struct dirent *e = readdir(d)) {
        std::string n = e->d_name;
        if (n != "." && n != "..") {
            names.push_back(n);
        }
    }
    closedir(d);
    std::map<std::string, std::string> nameSeen; // lower-cased copy name -> where
    for (const std::string &n : names) {
        if (!hasListShape(n)) {
            out.otherNames.push_back(n);
            continue;
        }
        // Lists are small; a huge one is read no further than a list can reach.
        std::ifstream in(dir + "/" + n, std::ios::binary);
        std::string text(1 << 20, '\0');
        in.read(&text[0], static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<size_t>(in.gcount()));
        if (text.size() == 1u << 20) {
            if (out.problem.empty()) {
                out.problem = n + ": longer than 1 MiB";
            }
            continue;
        }
        std::vector<ListedEntry> entries;
        std::string why;
        if (!parseListText(text, &entries, &why)) {
            if (out.problem.empty()) {
                out.problem = n + ": " + why;
            }
            continue;
        }
        std::set<CalKey> keys;
        for (const ListedEntry &e : entries) {
            if (!keys.insert(e.key).second && out.problem.empty()) {
                out.problem = n + ": key " + e.key.str() + " listed twice";
            }
            auto seen = nameSeen.emplace(lowered(e.name), n + " key " + e.key.str());
            if (!seen.second && out.problem.empty()) {
                out.problem =
                    "name " + e.name + " listed by " + seen.first->second + " and by " + n + " key " + e.key.str();
            }
        }
        out.lists[n] = entries;
    }
    std::sort(out.otherNames.begin(), out.otherNames.end());
    return out;
}

DirSnapshot snapshotDir(const std::string &dir)
{
    DirSnapshot s;
    DIR *d = opendir(dir.c_str());
    if (d == nullptr) {
        return s;
    }
    while (struct dirent *e = readdir(d)) {
        std::string n = e->d_name;
        struct stat st;
        if (n == "." || n == ".." || lstat((dir + "/" + n).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            continue;
        }
        std::ifstream in(dir + "/" + n, std::ios::binary);
        s[n] = std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    closedir(d);
    return s;
}

std::string snapshotDiff(const DirSnapshot &before, const DirSnapshot &after)
{
    std::string out;
    for (const auto &f : before) {
        auto it = after.find(f.first);
        if (it == after.end()) {
            out += f.first + " gone; ";
        } else if (it->second != f.second) {
            out += f.first + " changed; ";
        }
    }
    for (const auto &f : after) {
        if (!before.count(f.first)) {
            out += f.first + " added; ";
        }
    }
    return out;
}

void restoreDir(const std::string &dir, const DirSnapshot &snapshot)
{
    for (const auto &f : snapshot) {
        std::ofstream out(dir + "/" + f.first, std::ios::binary | std::ios::trunc);
        out.write(f.second.data(), static_cast<std::streamsize>(f.second.size()));
        if (!out) {
            throw std::runtime_error("cannot write " + f.first);
        }
    }
}

kzfile::Bytes bytesOf(const std::string &s)
{
    return kzfile::Bytes(s.begin(), s.end());
}

const kzfile::Bytes &freshCopy(const kzfile::Bytes &source, const int16_t ids[6])
{
    static std::map<std::pair<kzfile::Bytes, std::vector<int16_t>>, kzfile::Bytes> made;
    auto key = std::make_pair(source, std::vector<int16_t>(ids, ids + 6));
    auto it = made.find(key);
    if (it != made.end()) {
        return it->second;
    }
    TempDir src;
    TempDir calib;
    src.write("Table0.dat", std::string(source.begin(), source.end()));
    KeyedCall call;
    memcpy(call.ids, ids, sizeof call.ids);
    CallResult r = calibrateQuick(call, src.wide(), calib.wide());
    if (r.rc != CAL_OK) {
        throw std::runtime_error("a fresh directory gives no copy");
    }
    kzfile::Bytes copy = bytesOf(calib.read(r.name));
    if (copy != expectedCopy(source, ids)) {
        throw std::runtime_error("a fresh copy is not the expected one");
    }
    return made.emplace(key, copy).first->second;
}

std::vector<std::vector<int16_t>> distinctIdSets(const kzfile::Bytes &source, size_t count)
{
    std::vector<std::vector<int16_t>> sets;
    std::set<kzfile::Bytes> seen{source};
    const int16_t values[3] = {-3, 0, 3};
    for (int code = 0; code < 81 && sets.size() < count; ++code) {
        int16_t ids[6] = {0, 0, 0, 0, 0, 0};
        for (int slot = 0, c = code; slot < 4; ++slot, c /= 3) {
            ids[slot] = values[c % 3];
        }
        if (seen.insert(expectedCopy(source, ids)).second) {
            sets.emplace_back(ids, ids + 6);
        }
    }
    return sets;
}

int startChild(const std::function<int()> &body, unsigned guardSeconds)
{
    fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        signal(SIGALRM, SIG_DFL);
        alarm(guardSeconds);
        int code = 99;
        try {
            code = body();
        } catch (...) {
            code = 99;
        }
        _exit(code);
    }
    return static_cast<int>(pid);
}

ChildStatus waitChild(int pid)
{
    ChildStatus s;
    int status = 0;
    pid_t r;
    do {
        r = waitpid(pid, &status, 0);
    } while (r < 0 && errno == EINTR);
    if (r != pid) {
        return s;
    }
    if (WIFEXITED(status)) {
        s.exited = true;
        s.code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        s.signal = WTERMSIG(status);
    }
    return s;
}

ChildStatus runInChild(const std::function<int()> &body, unsigned guardSeconds)
{
    return waitChild(startChild(body, guardSeconds));
}
