// The libFuzzer entry of one target; ZMD_FUZZ_ENTRY names its body.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return ZMD_FUZZ_ENTRY(data, size);
}
