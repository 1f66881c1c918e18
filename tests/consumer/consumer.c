/* A program that uses the installed libraries as a driver would: one query
 * of the model database and one calibration.
 *
 *   consumer SOURCEDIR CALIBDIR    (SOURCEDIR holds Table0.dat)
 *
 * Prints what it got; exits 0 when both answered as they must. */
#include <stdio.h>
#include <string.h>

#include <calibmod.h>
#include <depbase.h>

/* ASCII path to the libraries' UTF-16. */
static void widen(const char *in, KZ_WCHAR *out, size_t cap)
{
    size_t i = 0;
    for (; in[i] != 0 && i + 1 < cap; ++i)
        out[i] = (KZ_WCHAR)(unsigned char)in[i];
    out[i] = 0;
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: consumer SOURCEDIR CALIBDIR\n");
        return 2;
    }
    int32_t ints[96] = {0};
    const char *strings[8] = {"", "", "", "", "", "", "", ""};
    ZMD_SettingsRecord rec;
    memset(&rec, 0, sizeof rec);
    rec.cStrings = 1;
    rec.ppszStrings = strings;
    rec.cInts = 1;
    rec.pnInts = ints;
    uint8_t buf[16];
    uint32_t size = 0;
    int32_t r = ZMD_AccessRootDataBase(0x0005, &rec, sizeof buf, buf, &size);
    int32_t value = 0;
    memcpy(&value, buf, 4);
    printf("root 0x0005: result %d, size %u, value %d\n", (int)r, (unsigned)size, (int)value);

    static KZ_WCHAR source[1024], calib[1024];
    widen(argv[1], source, 1024);
    widen(argv[2], calib, 1024);
    CalibRequest request = {7, 1, 1, 2, 3};
    const int16_t ids[6] = {-3, 0, 3, 0, 0, 0};
    CalibNames names;
    memset(&names, 0, sizeof names);
    strcpy(names.sourceName, "Table0.dat");
    memcpy(names.listPrefix, "abcde", 5);
    int16_t c = KZCalibration(&request, &names, ids, source, calib);
    printf("KZCalibration: result %d, name %.16s\n", (int)c, names.resultName);
    return (r == ZMD_OK && size == 4 && value == 102 && c == CAL_OK && strcmp(names.resultName, "table1.dat") == 0) ? 0
                                                                                                                    : 1;
}
