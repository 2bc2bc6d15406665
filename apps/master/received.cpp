#include "received.h"

#include <cstdio>

#include "mastertags.h"
#include "sharedmem/tagaccess.h"
#include "unitcommands.h"

namespace master {

namespace {

void setTag(int handle, int value) {
  int error = 0;
  dbSetValueByHandle(handle, value, &error);
}

bool unlocked() { return dbReadValueByHandle(tag::vxo_lockedmode) == 0; }

}  // namespace

void ReceivedFields::applyEspLimits(const Message& message) {
  const char ownCell  = static_cast<char>('0' + dbReadValueByHandle(tag::vxo_cellposition) - 1);
  const int fieldType = dbReadValueByHandle(tag::vxi_miramyfieldtype);
  if (fieldType < 0 || fieldType > 2) return;
  for (int index = 0; index < message.limitCount; ++index) {
    const EspLimitField& field = message.limits[index];
    if (field.cell != 'A' && field.cell != ownCell) continue;
    if (field.factorId == lastFactorId_) continue;
    const int limit = field.limits[fieldType];
    std::printf("\33[36mFORME******* MyLimit: %d\33[0m\n", limit);
    lastFactorId_ = field.factorId;
    setTag(tag::vxi_miralimitreceived, 1);
    setTag(tag::vxi_miragotnewfactors, 1);
    setTag(tag::vxi_miramylimit, limit);
  }
}

void ReceivedFields::apply(const Message& message) {
  if (message.type == kPoll) dbIncrementByHandle(internal::kUdpPollCounter);
  if (message.hasMiraStatus) {
    std::printf("\nMirastatus received for node #%d: %d \n", message.clientAdr, message.miraStatus);
  }
  if (message.pathNumber != 0 && message.pathNumber == dbReadValueByHandle(tag::vxo_cellposition)) {
    setTag(tag::vxi_myesponoffpath, static_cast<int>(message.pathWord & 0xFFFF));
  }
  if (!addresses(message, dbReadValueByHandle(tag::vxo_nodeaddress)) || !unlocked()) return;

  if (message.hasOpacity) {
    setTag(tag::vxi_opaccurrlim, message.opacCurrLim);
    setTag(tag::vxi_miramasterisopopt, 1);
  }
  applyEspLimits(message);
  if (message.type == kPasswords && message.passwordsValid) updatePasswords(message.passwords);
  if (message.type == kStatisticsReset) resetStatistics(message.statisticsReset);
}

}  // namespace master
