// Replaying fuzz inputs in the ordinary test programs: every file of
// fuzz/corpus/<target>/ and fuzz/regressions/<target>/ through the target's
// body. ZMD_FUZZ_DIR is the fuzz/ directory of the source tree.
#ifndef ZMD_FUZZ_REPLAY_H
#define ZMD_FUZZ_REPLAY_H

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <dirent.h>

// The regular files of dir (sorted); none when it does not exist.
inline std::vector<std::string> FuzzInputsIn(const std::string &dir)
{
    std::vector<std::string> files;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != ".." && name != "README.md") {
                files.push_back(dir + "/" + name);
            }
        }
        closedir(d);
    }
    std::sort(files.begin(), files.end());
    return files;
}

inline std::vector<uint8_t> FuzzReadInput(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The seeds and the regression inputs of a target.
inline std::vector<std::string> FuzzReplayInputs(const std::string &target)
{
    std::vector<std::string> all = FuzzInputsIn(std::string(ZMD_FUZZ_DIR) + "/corpus/" + target);
    const std::vector<std::string> found = FuzzInputsIn(std::string(ZMD_FUZZ_DIR) + "/regressions/" + target);
    all.insert(all.end(), found.begin(), found.end());
    return all;
}

#endif // ZMD_FUZZ_REPLAY_H
