// The master's opacity: one sample a second from the 4-20 mA meter or the external value,
// one-minute means, and the average over the sampling interval.
#pragma once

#include <array>
#include <cstdint>

namespace mira {

struct OpacityHistory {
  std::array<int16_t, 60> op1min{};   // 0.01 %, the samples of the last minute
  int cnt1min = 0;                    // samples since the last one-minute mean
  std::array<int16_t, 30> op30min{};  // 0.01 %, one-minute means
  int cnt30min    = 0;                // next slot of op30min
  bool firstRound = true;             // until op30min has been filled once
};

// vxi_opacmomentary from the source vxo_opacitysource names; other sources leave it.
void takeOpacitySample();

// Stores vxi_opacmomentary; on a full minute with 60 samples folds them into a one-minute
// mean. vxi_miraopacaverage: mean of the last vxo_mirasampinterv one-minute means.
void averageOpacity(OpacityHistory& history, bool fullMinute);

}  // namespace mira
