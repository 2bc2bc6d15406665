#include "rappingtask.h"

#include "schedulertimer/schedulertimer.h"

bool runRappingScheduler(Daemon&) {
  rappingShedulderClient();
  return false;
}
