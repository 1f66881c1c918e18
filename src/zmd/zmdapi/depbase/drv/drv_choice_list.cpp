// Keys 0x1016 and 0x1017: lists from the key's own tree with their own
// completion (no catalogue; key 0x1016 takes its names and values from the
// per-choice keys 0x5006 and 0x5007 with setting 8; both take the default
// pair of key 0x5005, which must be in force).
#include "drv_internal.h"
#include "engine.h"

namespace {

const uint32_t kChoiceSetting = 8;
const uint16_t kDefaultPairKey = 0x5005;
const ZMD_ChoiceField kChoiceFields[] = {
    {0x5006, ZMD_ITEM_NAME_ID},
    {0x5007, ZMD_ITEM_VALUE1},
};

} // namespace

int32_t ZMD_QueryChoiceList(const ZMD_Env *env, uint32_t key, const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                            void *pBuffer, uint32_t *pcbSize)
{
    if (pcbSize == nullptr) {
        return ZMD_ERROR;
    }
    uint32_t n = 0;
    int32_t r = ZMD_FetchOwnTreeIds(env, key, pRecord, cbBuffer, pBuffer, pcbSize, &n);
    if (r != ZMD_OK) {
        return r;
    }
    ZMD_SpreadListIds(pBuffer, n);

    if (key == 0x1016) {
        r = ZMD_FillChoiceValues(env, pRecord, pBuffer, n, kChoiceSetting, kChoiceFields, 2);
        if (r != ZMD_OK) {
            return r;
        }
    }
    ZMD_Node node = {};
    r = ZMD_FindKey(env, kDefaultPairKey, pRecord, &node);
    if (r != ZMD_OK) {
        return r;
    }
    int32_t pair[2] = {0, 0};
    r = ZMD_ExtractDefaultPair(env, pRecord, node, pair);
    if (r != ZMD_OK) {
        return r;
    }
    ZMD_ApplyDefaultPair(pBuffer, n, pair);
    *pcbSize = n * ZMD_LIST_ITEM_SIZE;
    return ZMD_OK;
}
