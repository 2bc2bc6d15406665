#include "canbridge.h"

#include "sharedmem/shmem.h"
#include "sharedmem/tagaccess.h"

namespace dspsim {
namespace {

constexpr char kLinkUpMark = 1;  // in the CAN status byte, which a store rebuild clears

// Widths of the CAN map: 1 bit, 2 16-bit word, 3 32-bit word.
int32_t fitToWidth(int32_t value, int width) {
  switch (width) {
    case 1:
      return value & 1;
    case 2:
      return value & 0xFFFF;
    default:
      return value;
  }
}

void send(int address, int tagHandle, int width, int32_t tagValue, DspRegisters& dsp, LinkTraffic& traffic) {
  dsp[tagHandle] = fitToWidth(tagValue, width);
  dbSetCanbusLastValue(address, tagValue);
  ++traffic.transmitted;
}

void receive(int address, int tagHandle, int32_t reported, LinkTraffic& traffic) {
  int errCode = 0;
  if (dbSetValueByHandle(tagHandle, reported, &errCode)) dbSetCanbusLastValue(address, reported);
  ++traffic.received;
}

}  // namespace

LinkTraffic exchangeCanMap(DspRegisters& dsp) {
  LinkTraffic traffic;
  for (int address = 0; address < kNoOfCanAddresses; ++address) {
    const int width = dbGetCanbusDataType(address);
    if (width == 0) continue;
    const int tagHandle = dbGetCanbusHandlePointer(address);
    int32_t tagValue    = 0;
    int errCode         = 0;
    if (!dbGetValueByHandle(tagHandle, &tagValue, &errCode)) continue;
    const int32_t last = dbGetCanbusLastValue(address);
    switch (dbGetCanbusSource(address)) {
      case kToSignalProcessor:
        if (tagValue != last) send(address, tagHandle, width, tagValue, dsp, traffic);
        break;
      case kFromSignalProcessor:
        receive(address, tagHandle, dsp[tagHandle], traffic);
        break;
      case kBothWays:
        if (tagValue != last) {
          send(address, tagHandle, width, tagValue, dsp, traffic);
        } else if (dsp[tagHandle] != last) {
          receive(address, tagHandle, dsp[tagHandle], traffic);
        }
        break;
      default:
        break;
    }
  }
  return traffic;
}

void adoptModuleValues(DspRegisters& dsp) {
  for (int address = 0; address < kNoOfCanAddresses; ++address) {
    const int width  = dbGetCanbusDataType(address);
    const int source = dbGetCanbusSource(address);
    if (width == 0 || (source != kToSignalProcessor && source != kBothWays)) continue;
    const int tagHandle = dbGetCanbusHandlePointer(address);
    int32_t tagValue    = 0;
    int errCode         = 0;
    if (!dbGetValueByHandle(tagHandle, &tagValue, &errCode)) continue;
    dsp[tagHandle] = fitToWidth(tagValue, width);
    dbSetCanbusLastValue(address, tagValue);
  }
}

bool bringLinkUp(DspRegisters& dsp) {
  if (shared_mem->canbus.status == kLinkUpMark) return false;
  adoptModuleValues(dsp);
  shared_mem->canbus.status = kLinkUpMark;
  return true;
}

void publishLinkTraffic(const LinkTraffic& traffic) {
  for (int frame = 0; frame < traffic.transmitted; ++frame) dbIncrementByHandle(handle::kTxFrames);
  for (int frame = 0; frame < traffic.received; ++frame) dbIncrementByHandle(handle::kRxFrames);
  if (traffic.transmitted + traffic.received > 0) dbSetBitByHandle(handle::kActivityFlags, kCanActivityBit);
  dbIncrementByHandle(handle::kUpdateCounter);
  dbIncrementByHandle(handle::kCanRefreshCounter);
}

}  // namespace dspsim
