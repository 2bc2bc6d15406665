#include "rapping.h"

#include "mastertags.h"
#include "sharedmem/tagaccess.h"

namespace master {

int RappingRequests::collect(RappingEntry (&entries)[kRappingEntries]) {
  int count = 0;
  for (int group = 0; group < tag::kRappingGroups; ++group) {
    const int stateHandle = internal::kRappingState[group];
    int state             = dbReadValueByHandle(stateHandle);
    // A request put back to idle after "on" asks for the group to be switched off.
    if (state == kRappingIdle && switchedOn_[group]) state = kRappingOffAsked;
    if (state != kRappingOnAsked && state != kRappingOffAsked) continue;

    const int node           = dbReadValueByHandle(tag::vxo_iogr1node + group);
    const int rappingGroup   = dbReadValueByHandle(tag::vxo_iogr1rapgrpg + group);
    const uint32_t groupMask = rappingGroup >= 1 && rappingGroup <= 32 ? 1u << (rappingGroup - 1) : 0;
    int entry                = 0;
    while (entry < count && entries[entry].node != node) ++entry;
    if (entry == count) entries[count++] = RappingEntry{node, 0, 0};
    if (state == kRappingOnAsked) {
      entries[entry].onMask |= groupMask;
    } else {
      entries[entry].offMask |= groupMask;
    }
    switchedOn_[group] = state == kRappingOnAsked;
    int error          = 0;
    dbSetValueByHandle(stateHandle, kRappingSent, &error);
  }
  return count;
}

}  // namespace master
