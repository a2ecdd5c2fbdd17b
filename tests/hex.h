// Codes print in hex in the tests, as the platform documents them.
#ifndef LURN_TEST_HEX_H
#define LURN_TEST_HEX_H

#include <stdint.h>
#include <stdio.h>

#include <string>

// Result codes and flags are 32-bit; a negative HRESULT shows as 0x8876...
inline std::string Hex(unsigned long long value) {
  char text[24];
  snprintf(text, sizeof text, "%#lx",
           static_cast<unsigned long>(value & 0xFFFFFFFFu));
  return text;
}

#endif
