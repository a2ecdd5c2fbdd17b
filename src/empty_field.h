// Which interface fields hold nothing. The library has no constructor: a
// client's record is zeroed, or raw memory that a debug heap filled with
// 0xCD bytes. Either way a field that was never set must not be touched.
#ifndef LURN_EMPTY_FIELD_H
#define LURN_EMPTY_FIELD_H

#include <stddef.h>
#include <stdint.h>

// The fill pattern as a 32-bit value and as a whole pointer of 0xCD bytes.
inline bool IsFillPattern(const void *pointer) {
  uintptr_t value = reinterpret_cast<uintptr_t>(pointer);
  return value == 0xCDCDCDCDu || value == UINTPTR_MAX / 0xFF * 0xCD;
}

inline bool Empty(const void *pointer) {
  return pointer == NULL || IsFillPattern(pointer);
}

#endif
