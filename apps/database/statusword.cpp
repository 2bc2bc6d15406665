#include "orxtags/handles.h"
#include "statusword.h"

#include "sharedmem/tagaccess.h"

namespace {

struct StatusField {
  int sourceHandle;  // tag whose low bits fill the field
  int firstBit;
  int width;  // bits
};

// clang-format off
// Read in this order.
//   source  first bit  width        source tag          field
constexpr StatusField kStatusWordFields[] = {
    {922,    0,         1},       // vxo_lockedmode      localremote
    {217,    1,         3},       // vxi_frsource        firingratiosource
    {621,    4,         8},       // vxo_nodeaddress     nodenumber
    {94,     12,        1},       // vxo_tron            tron
    {86,     31,        1},       // vxi_tronstatus      tronstatus
    {104,    13,        1},       // vxo_testmode        testmode
    {83,     14,        1},       // vxi_setnochange     setnochange
    {0,      15,        1},       // vxi_sumalarm        sumalarm
    {49,     19,        1},       // vxi_iogr1outp       ioGr1o
    {51,     18,        1},       // vxi_iogr2outp       ioGr2o
    {53,     17,        1},       // vxi_iogr3outp       ioGr3o
    {55,     16,        1},       // vxi_iogr4outp       ioGr4o
    {87,     20,        3},       // vxi_measurement     measurementMode
    {560,    23,        3},       // vxo_mode            mode
    {212,    26,        5},       // vxi_limiter         limiter
};
// clang-format on

constexpr int kCommonStatus  = tags::vxi_commonstatus;  // vxi_commonstatus
constexpr int kMaster        = tags::vxo_master;        // vxo_master
constexpr int kDiscoveryBits = 1178;                   // vxi_discoverybits
constexpr unsigned char kDiscoveryTronStatusBit = 7;
constexpr unsigned char kDiscoveryMasterBit     = 3;
constexpr uint32_t kTronStatusBit               = 1u << 31;

}  // namespace

uint32_t statusWord = 0;

void setStatusWord() {
  statusWord = 0;
  for (const StatusField& field : kStatusWordFields) {
    const uint32_t mask = (1u << field.width) - 1u;
    statusWord |= (static_cast<uint32_t>(dbReadValueByHandle(field.sourceHandle)) & mask) << field.firstBit;
  }
  int ignored = 0;
  dbSetValueByHandle(kCommonStatus, static_cast<int>(statusWord), &ignored);
  if ((statusWord & kTronStatusBit) != 0) {
    dbSetBitByHandle(kDiscoveryBits, kDiscoveryTronStatusBit);
  } else {
    dbClearBitByHandle(kDiscoveryBits, kDiscoveryTronStatusBit);
  }
  if (dbIsEqual(kMaster, 1)) {
    dbSetBitByHandle(kDiscoveryBits, kDiscoveryMasterBit);
  } else {
    dbClearBitByHandle(kDiscoveryBits, kDiscoveryMasterBit);
  }
}
