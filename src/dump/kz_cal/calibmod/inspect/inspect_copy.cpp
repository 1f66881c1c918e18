// Judging a calibrated copy as a call judges it.
#include "inspect_copy.h"

#include <cstring>

#include "cal_types.h"
#include "copy.h"
#include "name_alloc.h"

namespace {

#define INSPECT_SOURCE_MAX 64

struct Sources {
    const char *copyName;
    char (*names)[CAL_NAME_SIZE];
    int16_t max;
    int16_t count;
};

bool sourceVisit(void *arg, const char *name)
{
    Sources *s = static_cast<Sources *>(arg);
    char pattern[CAL_NAME_SIZE + 1];
    memset(pattern, 0, sizeof pattern);
    int16_t length = 0;
    int16_t varied = -1;
    nameCopyLower(pattern, name, &length, &varied);
    if (varied < 0 || length >= CAL_NAME_SIZE || nameVariedChar(pattern, length, varied, s->copyName) == 0) {
        return true;
    }
    // Kept in byte order, the first max of them.
    int16_t at = s->count;
    while (at > 0 && strncmp(s->names[at - 1], name, CAL_NAME_SIZE) > 0) {
        --at;
    }
    if (at >= s->max) {
        return true;
    }
    int16_t last = s->count < s->max ? s->count : static_cast<int16_t>(s->max - 1);
    for (int16_t i = last; i > at; --i) {
        memcpy(s->names[i], s->names[i - 1], CAL_NAME_SIZE);
    }
    memset(s->names[at], 0, CAL_NAME_SIZE);
    memcpy(s->names[at], name, static_cast<size_t>(length));
    if (s->count < s->max) {
        ++s->count;
    }
    return true;
}

// The copy's size and whether its identification string lies inside it.
void copyFacts(const CalPlatform *platform, const KZ_WCHAR *dir, const char *name, int32_t *size, bool *identOk)
{
    FileRef f;
    fileInit(&f, platform);
    *size = -1;
    *identOk = false;
    if (fileOpenNamed(&f, dir, name, CAL_MODE_READ) == CAL_OK) {
        IdentString ident;
        *size = fileSize(&f);
        *identOk = identLocate(&f, &ident) == CAL_OK;
    }
    fileClose(&f);
}

int32_t sourceSize(const CalPlatform *platform, const KZ_WCHAR *dir, const char *name)
{
    FileRef f;
    fileInit(&f, platform);
    int32_t size = -1;
    if (fileOpenNamed(&f, dir, name, CAL_MODE_READ_SOURCE) == CAL_OK) {
        size = fileSize(&f);
    }
    fileClose(&f);
    return size;
}

} // namespace

int16_t inspectSourcesOf(const CalPlatform *platform, const KZ_WCHAR *sourceDir, const char *copyName,
                         char (*names)[CAL_NAME_SIZE], int16_t max)
{
    Sources s = {copyName, names, max, 0};
    if (dirList(platform, sourceDir, nullptr, sourceVisit, &s) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    return s.count;
}

int16_t inspectCopyJudge(const CalPlatform *platform, const KZ_WCHAR *calibDir, const char *name,
                         const KZ_WCHAR *sourceDir, InspectCopy *out)
{
    memset(out, 0, sizeof *out);
    FileRef probe;
    fileInit(&probe, platform);
    int16_t rc = fileProbe(&probe, calibDir, name);
    if (rc != CAL_PROBE_REGULAR) {
        out->verdict = rc == CAL_PROBE_ABSENT ? INSPECT_COPY_MISSING : INSPECT_COPY_NOT_REGULAR;
        return CAL_OK;
    }
    int32_t size = -1;
    copyFacts(platform, calibDir, name, &size, &out->identReadable);
    char sources[INSPECT_SOURCE_MAX][CAL_NAME_SIZE];
    int16_t count = sourceDir ? inspectSourcesOf(platform, sourceDir, name, sources, INSPECT_SOURCE_MAX) : 0;
    if (count <= 0) {
        out->verdict = INSPECT_COPY_NO_SOURCE;
        return CAL_OK;
    }
    bool anySourceRead = false;
    for (int16_t i = 0; i < count; ++i) {
        rc = copyCompare(platform, sourceDir, sources[i], calibDir, name);
        if (rc == CAL_ERR_FILE) {
            continue; // this source's identification string cannot be read
        }
        anySourceRead = true;
        if (rc != CAL_EQUAL) {
            continue;
        }
        memcpy(out->source, sources[i], CAL_NAME_SIZE);
        bool differs = false;
        bool any = false;
        rc = inspectCurvesDiffer(platform, sourceDir, sources[i], calibDir, name, &differs, &any);
        if (rc == CAL_ERR_NO_MEMORY) {
            return rc;
        }
        out->verdict = differs || !any ? INSPECT_COPY_HEALTHY : INSPECT_COPY_UNCALIBRATED;
        out->nothingToCorrect = !any;
        return CAL_OK;
    }
    memcpy(out->source, sources[0], CAL_NAME_SIZE);
    if (!anySourceRead) {
        out->verdict = INSPECT_COPY_SOURCE_UNREADABLE;
        return CAL_OK;
    }
    out->verdict = INSPECT_COPY_STALE;
    out->sizeDiffers = size != sourceSize(platform, sourceDir, sources[0]);
    return CAL_OK;
}
