// Reading one side of `dbc diff`: a folder of database sources or one source.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "dbc_diff.h"
#include "tool_io.h"
#include "tool_text.h"

namespace {

bool IsFolder(const std::string &path)
{
    struct stat st;
    return !ToolIsStdio(path) && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool EndsWithZdb(const std::string &name)
{
    return name.size() > 4 && name.compare(name.size() - 4, 4, ".zdb") == 0;
}

// The regular *.zdb files of the folder, in name order. False, with the
// reason, when the folder cannot be listed or holds none.
bool ListSources(const std::string &folder, std::vector<std::string> *paths, std::string *diagnostics)
{
    DIR *d = opendir(folder.c_str());
    if (!d) {
        *diagnostics += "dbc: " + ToolEscape("cannot read " + folder + ": " + ToolErrnoText(errno)) + "\n";
        return false;
    }
    std::string prefix = folder.back() == '/' ? folder : folder + "/";
    while (dirent *e = readdir(d)) {
        std::string name = e->d_name;
        struct stat st;
        if (EndsWithZdb(name) && stat((prefix + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            paths->push_back(prefix + name);
        }
    }
    closedir(d);
    std::sort(paths->begin(), paths->end());
    if (paths->empty()) {
        *diagnostics += "dbc: " + ToolEscape(folder + " holds no .zdb file") + "\n";
        return false;
    }
    return true;
}

} // namespace

bool DbcLoadDatabase(const std::string &path, DbcImage *out, std::string *diagnostics)
{
    std::vector<std::string> paths;
    if (!IsFolder(path)) {
        paths.push_back(path);
    } else if (!ListSources(path, &paths, diagnostics)) {
        return false;
    }
    std::vector<DbcSource> sources;
    if (!DbcReadSources(paths, &sources, diagnostics)) {
        return false;
    }
    return DbcCompile(sources, out, diagnostics);
}
