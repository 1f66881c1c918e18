// A fresh temporary directory per test, removed with everything in it.
#ifndef KZ_TEST_TEMP_DIR_H
#define KZ_TEST_TEMP_DIR_H

#include <string>
#include <vector>

#include "calibmod.h"

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &path() const { return path_; }
    // The directory as a NUL-terminated wide string, as the module takes it.
    const KZ_WCHAR *wide() const { return wide_.c_str(); }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

    // Helpers on files inside the directory.
    void write(const std::string &name, const std::string &bytes) const;
    std::string read(const std::string &name) const; // empty when missing
    bool exists(const std::string &name) const;
    void remove(const std::string &name) const;
    std::vector<std::string> list() const; // sorted names of the files

    // A subdirectory (created) as another TempDir-like path pair.
    std::string makeSubdir(const std::string &name) const;

private:
    std::string path_;
    std::basic_string<KZ_WCHAR> wide_;
};

// UTF-8 to the module's wide strings (ASCII and BMP only is enough for tests).
std::basic_string<KZ_WCHAR> toWideString(const std::string &utf8);

#endif // KZ_TEST_TEMP_DIR_H
