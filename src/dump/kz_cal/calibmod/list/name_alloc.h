// Allocation of a new copy name: the source name in lower case with the
// character before its last '.' varied over '1'..'9', 'a'..'z'.
#ifndef KZ_NAME_ALLOC_H
#define KZ_NAME_ALLOC_H

#include <cstdint>

#include "list_state.h"

#define CAL_SIMILAR_MAX 128

// A set of characters (compared without case) at the varied position.
struct NameSet {
    uint64_t bits[4];
};

// Writes the new name into chosenNameBuf for mode 2 (new list) or 3 (new
// entry). The candidates, in order, are the source name in lower case with
// '1'..'9', 'a'..'z' before its last '.'. A candidate is taken when a similar
// entry of the list has it, when another list file of calibDir names it, or
// when it is a list file's name. The first candidate not taken with nothing
// at its name wins; then the first not taken that holds a regular file no
// list names (an orphan); then, in mode 3, the oldest similar entry whose
// name no other list names is dropped (lineNo -1, with any other entry of
// the list naming the same file) and its name reused. CAL_OK; CAL_ERR_REQUEST
// when sourceName yields no name (no terminator in 16 bytes, no '.' after
// the first character, or a character that cannot stay inside calibDir);
// CAL_ERR_FILE when every name is taken or the directory or another list
// cannot be read; CAL_ERR_NO_MEMORY.
int16_t nameAllocate(ListState *list, int16_t mode);
// Copies src (at most 16 bytes) into dst lower-casing 'A'..'Z'. *length gets
// the index of the terminator (16 if none), *varied the index before the
// last '.' copied (-1 when there is no '.' or it is the first character).
void nameCopyLower(char *dst, const char *src, int16_t *length, int16_t *varied);
// Collects the indexes of entries whose name equals sourceName in positions
// 0..length-1 except varied, letters compared without case. Returns the count
// (at most 128).
int16_t nameCollectSimilar(const ListState *list, int16_t length, int16_t varied, int16_t similar[CAL_SIMILAR_MAX]);
// The lower-cased character at varied of a name that equals pattern
// (length characters) at every other position, letters compared without
// case; 0 when name is not such a name.
int16_t nameVariedChar(const char *pattern, int16_t length, int16_t varied, const char *name);
// True when c (without case) is in the set.
bool nameSetHas(const NameSet *set, char c);
// Reads the directory listing of calibDir and every other list file in it,
// and collects the varied characters of the names those lists give and of
// list files' names shaped like a candidate; the own list's name counts
// too. chosenNameBuf holds the pattern. CAL_OK, CAL_ERR_FILE when the directory
// or a list that is there cannot be read, CAL_ERR_NO_MEMORY.
int16_t nameScanDirectory(ListState *list, int16_t length, int16_t varied, NameSet *taken);
// All candidates taken: drops the similar entry with the smallest lineNo and
// puts its character, as stored, at the varied position.
void nameRecycleOldest(ListState *list, const int16_t *similar, int16_t count, int16_t varied);

#endif // KZ_NAME_ALLOC_H
