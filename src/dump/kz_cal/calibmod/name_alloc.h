// Allocation of a new copy name: the source name in lower case with the
// character before its last '.' varied over '1'..'9', 'a'..'z'.
#ifndef KZ_NAME_ALLOC_H
#define KZ_NAME_ALLOC_H

#include <cstdint>

#include "cal_context.h"

#define CAL_SIMILAR_MAX 128

// Writes the new name into chosenNameBuf for mode 2 (new list) or 3 (new
// entry). A candidate is taken when a similar entry of the list has it, or
// when its file already exists in calibDir (another list's copy); mode 2
// uses the first candidate not taken ('1' when all are), mode 3 drops the
// oldest similar entry (lineNo -1) when all are taken. 0, or CAL_ERR_REQUEST
// when sourceName yields no name (no terminator in 16 bytes, no '.' after the
// first character, or a character that cannot stay inside calibDir).
int16_t nameAllocate(CalibContext *ctx, int16_t mode);
// Copies src (at most 16 bytes) into dst lower-casing 'A'..'Z'. *length gets
// the index of the terminator (16 if none), *varied the index before the
// last '.' copied (-1 when there is no '.' or it is the first character).
void nameCopyLower(char *dst, const char *src, int16_t *length, int16_t *varied);
// Collects the indexes of entries whose name equals sourceName in positions
// 0..length-1 except varied, letters compared without case. Returns the count
// (at most 128).
int16_t nameCollectSimilar(const CalibContext *ctx, int16_t length, int16_t varied,
                           int16_t similar[CAL_SIMILAR_MAX]);
// All candidates taken: drops the similar entry with the smallest lineNo and
// puts its character, as stored, at the varied position.
void nameRecycleOldest(CalibContext *ctx, const int16_t *similar, int16_t count, int16_t varied);

#endif // KZ_NAME_ALLOC_H
