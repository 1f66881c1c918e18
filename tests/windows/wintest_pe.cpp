// What the loader sees: the export and import tables of a loaded DLL, and the
// calling convention of its exports (who removes the arguments).
#include <cstring>

#include "wintest.h"

static const IMAGE_DATA_DIRECTORY *dataDirectory(HMODULE module, int index)
{
    const uint8_t *base = reinterpret_cast<const uint8_t *>(module);
    const IMAGE_DOS_HEADER *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    // IMAGE_NT_HEADERS is the program's own format: PE32 on i686, PE32+ on x86-64.
    const IMAGE_NT_HEADERS *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    return &nt->OptionalHeader.DataDirectory[index];
}

// The DLL is of the program's own format (PE32 or PE32+) and machine.
void checkImageFormat(WinTest *t, HMODULE module)
{
    const uint8_t *base = reinterpret_cast<const uint8_t *>(module);
    const IMAGE_DOS_HEADER *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    const IMAGE_NT_HEADERS *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
#ifdef _WIN64
    const WORD magic = IMAGE_NT_OPTIONAL_HDR64_MAGIC, machine = IMAGE_FILE_MACHINE_AMD64;
#else
    const WORD magic = IMAGE_NT_OPTIONAL_HDR32_MAGIC, machine = IMAGE_FILE_MACHINE_I386;
#endif
    expect(t, nt->OptionalHeader.Magic == magic, "optional header magic 0x%x, want 0x%x",
           (unsigned)nt->OptionalHeader.Magic, (unsigned)magic);
    expect(t, nt->FileHeader.Machine == machine, "machine 0x%x, want 0x%x", (unsigned)nt->FileHeader.Machine,
           (unsigned)machine);
}

// The DLL's version resource names it and carries the project's version, as
// a driver setup reads it to decide what to replace.
void checkVersionResource(WinTest *t, const wchar_t *path, const wchar_t *fileName)
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (!expect(t, size > 0, "%ls has no version resource (%lu)", path, (unsigned long)GetLastError())) {
        return;
    }
    static uint8_t data[8192];
    if (!expect(t, size <= sizeof data && GetFileVersionInfoW(path, 0, size, data), "GetFileVersionInfoW(%ls) failed",
                path)) {
        return;
    }
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT len = 0;
    if (expect(t, VerQueryValueW(data, L"\\", reinterpret_cast<void **>(&fixed), &len) && fixed != nullptr,
               "no fixed file info")) {
        const DWORD ms = (ZMD_VERSION_MAJOR << 16) | ZMD_VERSION_MINOR, ls = ZMD_VERSION_PATCH << 16;
        expect(t, fixed->dwFileVersionMS == ms && fixed->dwFileVersionLS == ls, "file version %lx.%lx, want %lx.%lx",
               (unsigned long)fixed->dwFileVersionMS, (unsigned long)fixed->dwFileVersionLS, (unsigned long)ms,
               (unsigned long)ls);
        expect(t, fixed->dwProductVersionMS == ms && fixed->dwProductVersionLS == ls, "product version differs");
    }
    const wchar_t *keys[3] = {L"\\StringFileInfo\\040904b0\\OriginalFilename",
                              L"\\StringFileInfo\\040904b0\\FileVersion",
                              L"\\StringFileInfo\\040904b0\\ProductVersion"};
    const wchar_t *want[3] = {fileName, ZMD_VERSION_TEXT, ZMD_VERSION_TEXT};
    for (int i = 0; i < 3; i++) {
        wchar_t *value = nullptr;
        len = 0;
        bool found = VerQueryValueW(data, keys[i], reinterpret_cast<void **>(&value), &len) && value != nullptr;
        expect(t, found && lstrcmpW(value, want[i]) == 0, "%ls: %ls is \"%ls\", want \"%ls\"", fileName, keys[i],
               found ? value : L"(none)", want[i]);
    }
    wchar_t *description = nullptr;
    expect(t,
           VerQueryValueW(data, L"\\StringFileInfo\\040904b0\\FileDescription", reinterpret_cast<void **>(&description),
                          &len) &&
               description != nullptr && len > 1,
           "%ls has no FileDescription", fileName);
}

// The DLL exports exactly the given names, by name, and nothing else.
void checkExportTable(WinTest *t, HMODULE module, const char *const *names, int count)
{
    const uint8_t *base = reinterpret_cast<const uint8_t *>(module);
    const IMAGE_DATA_DIRECTORY *dir = dataDirectory(module, IMAGE_DIRECTORY_ENTRY_EXPORT);
    if (!expect(t, dir->VirtualAddress != 0, "no export directory")) {
        return;
    }
    const IMAGE_EXPORT_DIRECTORY *exp = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY *>(base + dir->VirtualAddress);
    expect(t, exp->NumberOfNames == (DWORD)count, "%lu exported names, want %d", (unsigned long)exp->NumberOfNames,
           count);
    expect(t, exp->NumberOfFunctions == (DWORD)count, "%lu exported functions, want %d",
           (unsigned long)exp->NumberOfFunctions, count);
    const DWORD *nameRvas = reinterpret_cast<const DWORD *>(base + exp->AddressOfNames);
    for (DWORD i = 0; i < exp->NumberOfNames; i++) {
        const char *name = reinterpret_cast<const char *>(base + nameRvas[i]);
        bool known = false;
        for (int k = 0; k < count; k++) {
            known = known || std::strcmp(name, names[k]) == 0;
        }
        expect(t, known, "unexpected export \"%s\"", name);
    }
    for (int k = 0; k < count; k++) {
        expect(t, GetProcAddress(module, names[k]) != nullptr, "GetProcAddress(\"%s\") failed", names[k]);
        char decorated[64];
        wsprintfA(decorated, "_%s@20", names[k]);
        expect(t, GetProcAddress(module, decorated) == nullptr, "decorated name \"%s\" is exported", decorated);
        expect(t, GetProcAddress(module, decorated + 1) == nullptr, "decorated name \"%s\" is exported", decorated + 1);
    }
    expect(t, GetProcAddress(module, "DllMain") == nullptr, "DllMain is exported");
}

// Every DLL the module imports from is one of the allowed system DLLs.
void checkImportTable(WinTest *t, HMODULE module, const char *const *allowed, int count)
{
    const uint8_t *base = reinterpret_cast<const uint8_t *>(module);
    const IMAGE_DATA_DIRECTORY *dir = dataDirectory(module, IMAGE_DIRECTORY_ENTRY_IMPORT);
    if (dir->VirtualAddress == 0) {
        return;
    }
    const IMAGE_IMPORT_DESCRIPTOR *imp = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + dir->VirtualAddress);
    for (; imp->Name != 0; imp++) {
        const char *dll = reinterpret_cast<const char *>(base + imp->Name);
        bool ok = false;
        for (int k = 0; k < count; k++) {
            ok = ok || lstrcmpiA(dll, allowed[k]) == 0;
        }
        expect(t, ok, "imports from \"%s\", which is not a system DLL it may use", dll);
    }
}

#ifndef _WIN64
// Pushes the five arguments, calls, and measures the stack pointer after the
// return: a __stdcall callee leaves it where it was before the pushes. (x86-64
// has one calling convention, in which the caller owns the stack.)
__attribute__((noinline)) int32_t callMeasuringStack(void *fn, const uint32_t args[5], uint32_t *bytesRemoved)
{
    int32_t result;
    uint32_t left;
    __asm__ __volatile__("movl %%esp, %%edi\n\t"
                         "pushl 16(%%esi)\n\t"
                         "pushl 12(%%esi)\n\t"
                         "pushl 8(%%esi)\n\t"
                         "pushl 4(%%esi)\n\t"
                         "pushl (%%esi)\n\t"
                         "call *%%ebx\n\t"
                         "subl %%esp, %%edi\n\t"
                         "addl %%edi, %%esp\n\t"
                         : "=a"(result), "=D"(left), "+S"(args), "+b"(fn)
                         :
                         : "ecx", "edx", "memory", "cc");
    *bytesRemoved = 20 - left;
    return result;
}
#endif
