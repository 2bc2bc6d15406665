#include "statusword.h"

#include "sharedmem/tagaccess.h"

namespace {

// clang-format off
// source tag                    first bit  width  field
constexpr StatusField kStatusWordFields[] = {
    {922, /* vxo_lockedmode */   0,         1,     "localremote"},
    {217, /* vxi_frsource */     1,         3,     "firingratiosource"},
    {621, /* vxo_nodeaddress */  4,         8,     "nodenumber"},
    {94,  /* vxo_tron */         12,        1,     "tron"},
    {86,  /* vxi_tronstatus */   31,        1,     "tronstatus"},
    {104, /* vxo_testmode */     13,        1,     "testmode"},
    {83,  /* vxi_setnochange */  14,        1,     "setnochange"},
    {0,   /* vxi_sumalarm */     15,        1,     "sumalarm"},
    {49,  /* vxi_iogr1outp */    19,        1,     "ioGr1o"},
    {51,  /* vxi_iogr2outp */    18,        1,     "ioGr2o"},
    {53,  /* vxi_iogr3outp */    17,        1,     "ioGr3o"},
    {55,  /* vxi_iogr4outp */    16,        1,     "ioGr4o"},
    {87,  /* vxi_measurement */  20,        3,     "measurementMode"},
    {560, /* vxo_mode */         23,        3,     "mode"},
    {212, /* vxi_limiter */      26,        5,     "limiter"},
};
// clang-format on

constexpr int kCommonStatus                     = 504;   // vxi_commonstatus
constexpr int kMaster                           = 98;    // vxo_master
constexpr int kDiscoveryBits                    = 1178;  // vxi_discoverybits
constexpr unsigned char kDiscoveryTronStatusBit = 7;
constexpr unsigned char kDiscoveryMasterBit     = 3;
constexpr uint32_t kTronStatusBit               = 1u << 31;

}  // namespace

uint32_t statusWord = 0;

std::span<const StatusField> statusWordFields() { return kStatusWordFields; }

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
