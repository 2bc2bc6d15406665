// The signal test: on request it drives the T/R set at full firing with KORA and MIRA off,
// takes two scope captures through scopegrab and combines their waveform figures. Runs
// once a second in the database daemon's loop.
#pragma once

#include <cstdint>

struct SIGNALCHECK {
  int16_t signalTestState   = -1;  // -6..-1 idle or error, 0..6 running
  int16_t ScopeTimeout      = 0;   // seconds left for a capture
  int16_t timer             = 0;   // passes within a set-up step
  bool originalValuesStored = false;
  // The operator's settings, restored when the test ends.
  int32_t scopegrabMethod    = 0;
  int32_t sampleRate         = 0;
  int32_t scopeview2type     = 0;
  int32_t webscopedatasize   = 0;
  int32_t actmodefiringratio = 0;  // 0.01 %
  int32_t kora               = 0;
  int32_t mira               = 0;
  int32_t retries            = 0;
  // Figures of the first capture.
  int32_t zerocrossdev = 0;  // 0.01 ms
  int32_t dvdt         = 0;  // kV/ms
  int32_t fftpv        = 0;  // %, primary voltage
  int32_t fftsv        = 0;  // %, secondary voltage
  int32_t fftpc        = 0;  // %, primary current
  int32_t fftsc        = 0;  // %, secondary current
  int32_t lastrunTest  = 0;  // the request tag at the end of the last pass that ran a state
};

void signalTestStateLoop(SIGNALCHECK& test);
