#include "limitercounts.h"

#include <array>

#include "field.h"
#include "sharedmem/tagaccess.h"

namespace dspsim {
namespace {

constexpr int kStatisticsArcCode = 10;
// vxi_acctemplim0 .. vxi_acctemplim12
constexpr std::array<int, 13> kCountHandles = {511, 512, 513, 514, 515, 516, 517, 518, 519, 520, 521, 540, 541};

}  // namespace

void countLimiterCode(int limiterCode) {
  const int code = limiterCode == kLimiterArc ? kStatisticsArcCode : limiterCode;
  if (code < 0 || code >= static_cast<int>(kCountHandles.size())) return;
  dbIncrementByHandle(kCountHandles[static_cast<size_t>(code)]);
}

}  // namespace dspsim
