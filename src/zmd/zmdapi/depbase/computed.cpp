// Values computed at query time. Stand-in: no computed type is served yet.
#include "computed.h"

int32_t ComputeValue(const ZMD_Env *, uint32_t, const ZMD_SettingsRecord *, uint32_t, void *, uint32_t *)
{
    return ZMD_NOT_FOUND;
}
