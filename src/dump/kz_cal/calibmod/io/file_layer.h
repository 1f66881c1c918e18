// The file layer: files known by a directory (wide string) and an 8-bit name.
//
// Every open builds the full path afresh (directory, separator, name
// converted with the system code page) in two zero-filled buffers and frees
// both before it returns. Composite operations (fileProbe, fileReadHead)
// open and close within themselves. All operations return 0
// or a negative code: CAL_ERR_FILE (-138) for any file failure, CAL_ERR_OPEN
// (-2) only where a function says that nothing is at the name,
// CAL_ERR_NO_MEMORY (-108) where it has no memory for the data.
#ifndef KZ_FILE_LAYER_H
#define KZ_FILE_LAYER_H

#include <cstdint>

#include "cal_platform.h"
#include "cal_types.h"
#include "mem_block.h"

#define CAL_FILE_NAME_SIZE 32 // FileRef::name, terminator included

struct FileRef {
    char name[CAL_FILE_NAME_SIZE]; // 8-bit, zero-terminated; set by fileAssign
    CalHandle handle;              // the open file between fileOpen and fileClose; null when none
    int64_t openSize;              // the size the backend found at the open; -1 when unknown
    const KZ_WCHAR *dir;           // borrowed from the caller, never freed here
    CalHandle dirLock;             // dir's lock while the caller holds it (fileBindDir), else null; borrowed
    const CalPlatform *platform;   // the host it runs on; null means the default backend
};

// A file with the bytes read from it. The buffer is always the record's own
// allocation (or empty): it never points at memory of the caller.
struct BufferedFile {
    FileRef file;
    int32_t length;  // bytes read by fileReadHead
    MemBlock buffer; // fileReadHead reads into it
};

#define CAL_MODE_READ        0
#define CAL_MODE_READ_WRITE  1
#define CAL_MODE_READ_SOURCE 2 // read-only through links: a file of the caller's source directory
#define CAL_MODE_APPEND      3 // read, and every write at the end of the file

// Clears the record (no name, no directory, not open) and binds it to a host.
void fileInit(FileRef *file, const CalPlatform *platform);
// Sets dir and the token of its lock, which the caller holds for as long as
// the record opens files: opens then go through the lock (CalPlatform::open).
// A later fileAssign to another directory drops the token.
void fileBindDir(FileRef *file, const KZ_WCHAR *dir, CalHandle lock);
// fileInit of the file and an empty buffer on the same host; length 0.
void bufferedFileInit(BufferedFile *bf, const CalPlatform *platform);

// Sets dir when one is given (null keeps the old one) and copies the name.
// A name that does not fit (31 characters at most) leaves the name empty,
// so that every later open fails instead of reaching a shortened name.
void fileAssign(FileRef *file, const KZ_WCHAR *dir, const char *name);
// Opens the existing regular file: mode 0 read-only (others may read), 1
// read-write (others may read and write), 2 read-only following links, 3
// read and append. Never creates a file, never follows a link at the name
// (but in mode 2), never blocks. CAL_OK or CAL_ERR_FILE (also for any other mode, no
// directory, an empty name or one holding '/', '\\' or ':', "." or "..", and
// no memory for the path).
int16_t fileOpen(FileRef *file, int16_t mode);
// fileOpen, telling absence apart: CAL_ERR_OPEN (-2) only when nothing is
// at the name; CAL_ERR_FILE for every other failure (a link, a directory or FIFO at
// the name, access denied, too many open files, an I/O error).
int16_t fileOpenOrAbsent(FileRef *file, int16_t mode);
// Creates the file new and leaves it open for reading and writing (others
// may read). Fails with CAL_ERR_FILE when anything is at the name, a link included.
int16_t fileCreateNew(FileRef *file, const KZ_WCHAR *dir, const char *name);
// Closes handle when it is not null; the handle is cleared so that a second
// close does nothing.
void fileClose(FileRef *file);
// Positions at offset bytes from the start. CAL_OK or CAL_ERR_FILE (negative offsets too).
int16_t fileSeek(FileRef *file, int32_t offset);
// Reads exactly count bytes. CAL_OK or CAL_ERR_FILE (a short read too).
int16_t fileRead(FileRef *file, void *buffer, int32_t count);
// Reads up to count bytes into buffer; *got is the number read, fewer than
// count only at the end of the file. CAL_OK or CAL_ERR_FILE.
int16_t fileReadSome(FileRef *file, void *buffer, int32_t count, int32_t *got);
// Writes exactly count bytes. CAL_OK or CAL_ERR_FILE (a short write too).
int16_t fileWrite(FileRef *file, const void *buffer, int32_t count);
// Copies up to count bytes from the position of from to the position of to
// inside the system (CalPlatform::copyRange); *got is the number copied, 0
// at the end of from. CAL_OK; CAL_FAIL when the system cannot copy between
// the two (nothing copied, both positions kept: copy through a buffer);
// CAL_ERR_FILE on a failure.
int16_t fileCopySome(FileRef *from, FileRef *to, int32_t count, int32_t *got);
// Makes what was written durable. CAL_OK or CAL_ERR_FILE.
int16_t fileFlush(FileRef *file);
// Starts writing what was written to the device without waiting
// (CalPlatform::flushStart), so that fileFlush later waits less. A hint:
// it answers nothing, and fileFlush is still needed for durability.
void fileFlushStart(FileRef *file);
// Cuts the file to size bytes. CAL_OK or CAL_ERR_FILE.
int16_t fileTruncate(FileRef *file, int32_t size);
// The file's size (0 to 2^31 - 1), or CAL_ERR_FILE.
int32_t fileSize(FileRef *file);
// The file's size as the open found it, for a file opened read-only whose
// later growth or shrinking is another writer's race anyway: no system call
// when the backend told it at the open, else fileSize. 0 to 2^31 - 1, or
// CAL_ERR_FILE.
int32_t fileSizeAtOpen(FileRef *file);

// fileAssign then fileOpen.
int16_t fileOpenNamed(FileRef *file, const KZ_WCHAR *dir, const char *name, int16_t mode);
// fileOpenNamed with mode 1; the caller closes with fileClose.
int16_t fileOpenForUpdate(FileRef *file, const KZ_WCHAR *dir, const char *name);
// fileAssign, then tries to open the file read-only and closes it again.
// CAL_PROBE_REGULAR (1) when a regular file opened, CAL_PROBE_ABSENT (0)
// when nothing is at the name, CAL_PROBE_FAILED for
// anything else (a link, a directory, a FIFO, a failed open, no path).
CalProbe fileProbe(FileRef *file, const KZ_WCHAR *dir, const char *name);

// fileAssign, then deletes the file (or a link, never what it points to)
// when one is there. CAL_OK when it is gone or was never there, else CAL_ERR_FILE.
int16_t fileRemoveIfPresent(FileRef *file, const KZ_WCHAR *dir, const char *name);
// Renames the file from onto to in dir in one step, replacing what is at
// to, and syncs dir so that the rename survives a power cut. CAL_OK, or
// CAL_ERR_FILE when either fails (after a failed sync the rename may be done).
int16_t fileRenameNamed(const CalPlatform *platform, const KZ_WCHAR *dir, const char *from, const char *to);
// Reads the first bytes of the regular file into a new buffer (bf->buffer,
// which must be empty) of limit bytes, or of the file's size at its open
// and one byte more when that is less (the text is then followed by a
// zero byte), and sets bf->length to the number read: limit, or the size
// found at the open (0 for an empty file; limit + 1 bytes are never
// needed to tell that more follows: the caller asks for one more than it
// parses). Bytes a writer appends after the open are not read.
// CAL_OK; CAL_ERR_OPEN when nothing is at the name; CAL_ERR_FILE for any other failure to open or
// read; CAL_ERR_NO_MEMORY without memory. The file is closed on every path; the buffer
// is the caller's to release on every path.
int16_t fileReadHead(BufferedFile *bf, const KZ_WCHAR *dir, const char *name, int32_t limit);

// ---- The directory (file_dir.cpp) ----------------------------------------

// Calls visit with every name in dir. lock is the token of dir's lock when
// the caller holds it (dirLock), else null; the listing may read through it
// (CalPlatform::listDir). CAL_OK, or CAL_ERR_FILE when the directory cannot
// be read whole.
int16_t dirList(const CalPlatform *platform, const KZ_WCHAR *dir, CalHandle lock, CalDirVisit visit, void *arg);
// Makes the renames, creations and removals done in dir durable (see
// CalPlatform::syncDir). CAL_OK or CAL_ERR_FILE.
int16_t dirSync(const CalPlatform *platform, const KZ_WCHAR *dir);
// Takes the lock of dir, waiting at most waitMs. CAL_OK with *token set, or CAL_ERR_FILE.
int16_t dirLock(const CalPlatform *platform, const KZ_WCHAR *dir, uint32_t waitMs, CalHandle *token);
// Releases a lock taken by dirLock; a null token does nothing.
void dirUnlock(const CalPlatform *platform, CalHandle token);

#endif // KZ_FILE_LAYER_H
