// Byte order of the numbers in calibration data files.
//
// The files are little-endian. TableWork::byteOrder is 1 when numbers read
// from a file are already in host order and 2 when they must be swapped;
// every conversion of table data goes through byteOrderConvert with a selector
// made of that flag and the kind of data (32-bit words or 16-bit curve
// entries). The unit width of a swap is a separate argument.
#ifndef KZ_BYTE_ORDER_H
#define KZ_BYTE_ORDER_H

#include <cstdint>

#define BYTE_ORDER_HOST    1 // numbers are stored in host order
#define BYTE_ORDER_SWAPPED 2 // numbers are swapped on reading and writing

#define CONVERT_WORDS      0x10 // selector bit: header, record and item fields
#define CONVERT_CURVE      0x20 // selector bit: 16-bit curve entries

// 1 when numbers read from the calibration data files must be converted to
// host order (a big-endian host), else 0.
int byteOrderProbe();

// The context's byteOrder flag for a byteOrderProbe answer: 1 gives 2
// (swapped), anything else 1.
uint8_t byteOrderFlag(int hostProbe);

// In place. unit 2: exchanges the bytes of each of the first length/2 pairs;
// unit 4: reverses each of the first length/4 groups of four. Any other unit,
// or no whole pair or group, changes nothing.
void bytesSwap(void *data, int32_t length, int16_t unit);

// bytesSwap(data, length, unit) when the selector is 0x12 or 0x22 (flag 2);
// otherwise nothing.
void byteOrderConvert(uint8_t selector, void *data, int32_t length, int16_t unit);

// Little-endian-stored 32-bit word at p, converted with the flag (a copy;
// the stored bytes are not touched). p need not be aligned.
uint32_t wordRead(uint8_t byteOrder, const uint8_t *p);

#endif // KZ_BYTE_ORDER_H
