// Tag reads and writes of the KORA module, by handle.
#pragma once

#include "sharedmem/tagaccess.h"

namespace kora {

inline int value(int handle) { return dbReadValueByHandle(handle); }

// A write that the tag's range refuses leaves the old value (the library reports it).
inline void setTag(int handle, int newValue) {
  int ignored = 0;
  dbSetValueByHandle(handle, newValue, &ignored);
}

}  // namespace kora
