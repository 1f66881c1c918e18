// A read-only platform seam over bytes in memory: every name opens the same
// bytes for reading; writing, removing, listing and locking fail; memory
// comes from the host.
#ifndef KZ_INSPECT_MEM_H
#define KZ_INSPECT_MEM_H

#include <cstdint>

#include "cal_platform.h"

struct InspectMemFile {
    const uint8_t *data; // borrowed; must outlive the platform
    uint32_t size;
    uint32_t position;
    const CalPlatform *host;
};

// Fills *out to read the size bytes at data through *file (host: null for
// the default backend). Both records must outlive every use of *out.
void inspectMemPlatform(InspectMemFile *file, const CalPlatform *host, const uint8_t *data, uint32_t size,
                        CalPlatform *out);

#endif // KZ_INSPECT_MEM_H
