// dbc: compiles the database sources into the image, prints images back as
// trees and writes the key catalogue.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dbc.h"
#include "dbc_catalogue.h"

namespace {

const char kUsage[] =
    "usage: dbc compile [-o OUT.cpp] FILE.zdb...   check the sources and write the image as C++\n"
    "       dbc check FILE.zdb...                  check the sources only\n"
    "       dbc print [FILE.zdb...]                print the image as trees (no files: the image built into dbc)\n"
    "       dbc catalogue [-o OUT.md] FILE.zdb...  write the Markdown catalogue of every key\n"
    "       dbc validate                           check the image built into dbc\n"
    "\n"
    "Sources are compiled together in the order given. Errors are reported as file:line: message.\n"
    "Without -o the output goes to standard output.\n";

bool WriteOut(const std::string &path, const std::string &text)
{
    if (path.empty()) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        return std::fflush(stdout) == 0;
    }
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "dbc: cannot create %s\n", path.c_str());
        return false;
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) std::fprintf(stderr, "dbc: cannot write %s\n", path.c_str());
    return ok;
}

std::string BaseName(const std::string &path)
{
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Compile(const std::vector<std::string> &files, DbcImage *img)
{
    std::string diagnostics;
    bool ok = DbcCompileFiles(files, img, &diagnostics);
    std::fputs(diagnostics.c_str(), stderr);
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        std::fputs(kUsage, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    std::string command = argv[1];
    std::string outPath;
    std::vector<std::string> files;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "-o")) {
            if (i + 1 >= argc) {
                std::fputs("dbc: -o needs a file name\n", stderr);
                return 2;
            }
            outPath = argv[++i];
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            std::fprintf(stderr, "dbc: unknown option %s\n%s", argv[i], kUsage);
            return 2;
        } else {
            files.push_back(argv[i]);
        }
    }
    bool needFiles = command == "compile" || command == "check" || command == "catalogue";
    if (needFiles && files.empty()) {
        std::fprintf(stderr, "dbc: %s needs source files\n", command.c_str());
        return 2;
    }
    if (command == "compile" || command == "check") {
        DbcImage img;
        if (!Compile(files, &img)) return 1;
        if (command == "check") return 0;
        std::string origin;
        for (const std::string &f : files) origin += (origin.empty() ? "" : ", ") + BaseName(f);
        return WriteOut(outPath, DbcWriteCpp(img, origin)) ? 0 : 1;
    }
    if (command == "print") {
        ZMD_ImageView view;
        DbcImage img;
        if (files.empty()) {
            view = *ZMD_ShippedImage();
        } else {
            if (!Compile(files, &img)) return 1;
            DbcMakeView(img, &view);
        }
        return WriteOut(outPath, DbcPrintView(view)) ? 0 : 1;
    }
    if (command == "validate") {
        std::string faults;
        if (DbcValidateView(*ZMD_ShippedImage(), &faults)) {
            std::puts("dbc: the built-in image is sound");
            return 0;
        }
        std::fputs(faults.c_str(), stderr);
        return 1;
    }
    if (command == "catalogue") {
        DbcImage img;
        if (!Compile(files, &img)) return 1;
        ZMD_ImageView view;
        DbcMakeView(img, &view);
        std::string md;
        if (!DbcWriteCatalogue(view, &md)) {
            std::fputs(md.c_str(), stderr);
            return 1;
        }
        return WriteOut(outPath, md) ? 0 : 1;
    }
    std::fprintf(stderr, "dbc: unknown command '%s'\n%s", command.c_str(), kUsage);
    return 2;
}
