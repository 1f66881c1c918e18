// What every internal depbase function works against: an image and a platform.
// The exports build one from the shipped image and the default platform;
// tests build their own from synthetic images and counting platforms.
#ifndef ZMD_ENV_H
#define ZMD_ENV_H

#include "image.h"
#include "platform.h"

struct ZMD_Env {
    const ZMD_ImageView *image;
    const ZMD_Platform *platform;
};

// Database numbers (ZMD_DatabaseId).
enum ZMD_DatabaseId : uint32_t {
    ZMD_DB_ROOT = 0,
    ZMD_DB_DRV = 1,
    ZMD_DB_LM = 2,
    ZMD_DB_MNT = 3,
    ZMD_DB_PA = 4,
    ZMD_DB_SM = 5,
};

#endif // ZMD_ENV_H
