// The per-code limiter counts of the unit's limiter statistics: once per measurement set the
// signal processor counts the limiter code that decided the current into vxi_acctemplim0..12,
// which the limiters daemon collects and clears every 10 seconds.
#pragma once

namespace dspsim {

// One sample of this vxi_limiter code. The statistics know codes 0..12; an arc (13) is
// counted with code 10, where the statistics also add the arc events.
void countLimiterCode(int limiterCode);

}  // namespace dspsim
