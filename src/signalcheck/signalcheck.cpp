#include "signalcheck/signalcheck.h"

#include <algorithm>
#include <cstdio>

#include "sharedmem/tagaccess.h"

namespace {

// clang-format off
// Tags by handle            handle
constexpr int kTronStatus    = 86;   // vxi_tronstatus
constexpr int kMeasurement   = 87;   // vxi_measurement: a V-I measurement runs
constexpr int kRapping       = 88;   // vxi_rapping
constexpr int kKora          = 95;   // vxo_actmodekora
constexpr int kMira          = 97;   // vxo_actmodemira
constexpr int kRunTest       = 155;  // vxo_runtest: the request
constexpr int kTrigger       = 165;  // vxo_scopegrabtrigger
constexpr int kScopeReset    = 166;  // vxo_scopegrabreset
constexpr int kSpm           = 226;  // vxi_spm: sparks per minute
constexpr int kRunTestStatus = 370;  // vxi_runteststatus
constexpr int kZeroCrossDev  = 524;  // vxi_zerocrossdeviation, 0.01 ms
constexpr int kPrimVoltSq    = 525;  // vxi_primaryvoltsq, %
constexpr int kSecVoltSq     = 526;  // vxi_secondaryvoltsq, %
constexpr int kPrimCurrSq    = 527;  // vxi_primarycurrentsq, %
constexpr int kSecCurrSq     = 528;  // vxi_secondarycurrentsq, %
constexpr int kDvdtPeak      = 529;  // vxi_dvdtpeak, kV/ms
constexpr int kProgress      = 534;  // vxi_signaltestprogress, %
constexpr int kFiringRatio   = 559;  // vxo_actmodefiringratio, 0.01 %
constexpr int kViewType      = 592;  // vxo_scopeview2type
constexpr int kSampleRate    = 593;  // vxo_samplerate, divider
constexpr int kWebDataSize   = 594;  // vxo_webscopedatasize
constexpr int kScopeStatus   = 763;  // vxo_scopegrabstatus
constexpr int kScopeMethod   = 765;  // vxo_scopegrabmethod
// clang-format on

enum State : int16_t {
  kNoScope       = -6,
  kSparks        = -5,
  kViMeasurement = -4,
  kRappingRuns   = -3,
  kTrOff         = -2,
  kIdle          = -1,
  kStart         = 0,
  kFirstSetUp    = 1,
  kFirstWait     = 2,
  kFirstResults  = 3,
  kSecondSetUp   = 4,
  kSecondWait    = 5,
  kFinish        = 6,
};

constexpr int kFullFiring       = 10000;  // 0.01 %
constexpr int kTriggerPass      = 6;
constexpr int kScopeTimeoutSecs = 60;
constexpr int kAttempts         = 3;  // captures tried before the test gives up
constexpr int kSpectrumView     = 1;
constexpr int kFullWebData      = 4;
constexpr int kFirstSampleRate  = 1;  // 9600 Hz
constexpr int kSecondSampleRate = 8;  // 1200 Hz

int get(int handle) { return dbReadValueByHandle(handle); }
void put(int handle, int value) {
  int ignored = 0;
  dbSetValueByHandle(handle, value, &ignored);
}

void progress(int percent) {
  put(kProgress, percent);
  std::printf("stp :%d \n", percent);
}

int waitProgress(const SIGNALCHECK& t, int base) { return (2400 - 40 * t.ScopeTimeout) / 60 + base; }

// Later checks override earlier ones.
void checks(SIGNALCHECK& t) {
  if (get(kTronStatus) == 0) t.signalTestState = kTrOff;
  if (get(kRapping) == 1) t.signalTestState = kRappingRuns;
  if (get(kMeasurement) == 1) t.signalTestState = kViMeasurement;
  if (get(kSpm) > 0) t.signalTestState = kSparks;
}

void captureSettings(int sampleRate) {
  put(kFiringRatio, kFullFiring);
  put(kWebDataSize, kFullWebData);
  put(kViewType, kSpectrumView);
  put(kSampleRate, sampleRate);
  put(kScopeMethod, 1);
  put(kPrimVoltSq, 0);
}

void restoreSettings(const SIGNALCHECK& t) {
  put(kScopeMethod, t.scopegrabMethod);
  put(kSampleRate, t.sampleRate);
  put(kViewType, t.scopeview2type);
  put(kWebDataSize, t.webscopedatasize);
  put(kFiringRatio, t.actmodefiringratio);
  put(kKora, t.kora);
  put(kMira, t.mira);
}

// A set-up step: the trigger at the sixth pass, the wait state after it.
void setUpPasses(SIGNALCHECK& t, State wait) {
  if (t.timer == kTriggerPass) put(kTrigger, 1);
  if (t.timer > kTriggerPass) {
    t.signalTestState = wait;
    t.ScopeTimeout    = kScopeTimeoutSecs;
    t.timer           = 0;
  }
}

bool resultsArrived() { return get(kScopeStatus) > 2 && get(kPrimVoltSq) != 0; }

// A capture that does not come in time resets the scope and is set up again.
void scopeTimeout(SIGNALCHECK& t, State waiting, State setUp) {
  if (t.signalTestState != waiting) return;
  if (t.ScopeTimeout != 0) {
    --t.ScopeTimeout;
    return;
  }
  put(kScopeReset, 1);
  t.timer = -3;
  ++t.retries;
  t.signalTestState = t.retries < kAttempts ? setUp : kNoScope;
}

void runState(SIGNALCHECK& t, int16_t state) {
  switch (state) {
    case kIdle:
      t.signalTestState = kStart;
      checks(t);
      t.originalValuesStored = false;
      put(kProgress, 0);
      break;
    case kStart:
      progress(2);
      t.scopegrabMethod    = get(kScopeMethod);
      t.sampleRate         = get(kSampleRate);
      t.scopeview2type     = get(kViewType);
      t.webscopedatasize   = get(kWebDataSize);
      t.actmodefiringratio = get(kFiringRatio);
      t.kora               = get(kKora);
      t.mira               = get(kMira);
      put(kScopeMethod, 1);
      put(kSampleRate, kFirstSampleRate);
      put(kViewType, kSpectrumView);
      put(kWebDataSize, kFullWebData);
      put(kFiringRatio, kFullFiring);
      put(kKora, 0);
      put(kMira, 0);
      put(kSecVoltSq, 10);
      t.retries      = 0;
      t.zerocrossdev = t.dvdt = t.fftpv = t.fftsv = t.fftpc = t.fftsc = 0;
      t.timer                                                         = 0;
      t.originalValuesStored                                          = true;
      t.signalTestState                                               = kFirstSetUp;
      checks(t);
      std::printf("runtest %d %d\n", get(kRunTest), t.signalTestState);
      break;
    case kFirstSetUp:
      ++t.timer;
      progress(t.timer + 3);
      captureSettings(kFirstSampleRate);
      // A moving display while the set-up settles.
      put(kSecVoltSq, 5 * t.timer + 10);
      put(kPrimCurrSq, 4 * t.timer + 30);
      setUpPasses(t, kFirstWait);
      checks(t);
      break;
    case kFirstWait: {
      const int percent = waitProgress(t, 10);
      put(kProgress, percent);
      std::printf("stp :%d %d %d\n", percent, get(kPrimVoltSq), get(kScopeStatus));
      if (resultsArrived()) t.signalTestState = kFirstResults;
      checks(t);
      scopeTimeout(t, kFirstWait, kFirstSetUp);
      break;
    }
    case kFirstResults:
      progress(50);
      t.zerocrossdev    = get(kZeroCrossDev);
      t.dvdt            = get(kDvdtPeak);
      t.fftpv           = get(kPrimVoltSq);
      t.fftsv           = get(kSecVoltSq);
      t.fftpc           = get(kPrimCurrSq);
      t.fftsc           = get(kSecCurrSq);
      t.signalTestState = kSecondSetUp;
      t.timer           = 0;
      t.retries         = 0;
      checks(t);
      break;
    case kSecondSetUp:
      progress(t.timer + 51);
      ++t.timer;
      put(kDvdtPeak, 27 - t.timer % 10);
      captureSettings(kSecondSampleRate);
      setUpPasses(t, kSecondWait);
      checks(t);
      break;
    case kSecondWait:
      progress(waitProgress(t, 60));
      if (resultsArrived()) t.signalTestState = kFinish;
      checks(t);
      scopeTimeout(t, kSecondWait, kSecondSetUp);
      break;
    case kFinish:
      progress(100);
      t.signalTestState = kIdle;
      checks(t);
      // The worse rise rate and zero-cross deviation, the better harmonic figures.
      put(kDvdtPeak, std::max(get(kDvdtPeak), t.dvdt));
      put(kZeroCrossDev, std::max(get(kZeroCrossDev), t.zerocrossdev));
      put(kPrimVoltSq, std::min(get(kPrimVoltSq), t.fftpv));
      put(kSecVoltSq, std::min(get(kSecVoltSq), t.fftsv));
      put(kPrimCurrSq, std::min(get(kPrimCurrSq), t.fftpc));
      put(kSecCurrSq, std::min(get(kSecCurrSq), t.fftsc));
      restoreSettings(t);
      t.originalValuesStored = false;
      put(kRunTest, 0);
      break;
    default:  // -6 .. -2
      for (int handle : {kZeroCrossDev, kDvdtPeak, kPrimVoltSq, kSecVoltSq, kPrimCurrSq, kSecCurrSq}) put(handle, 0);
      if (t.originalValuesStored) restoreSettings(t);
      t.originalValuesStored = false;
      std::printf("error runtest %d\n", t.signalTestState);
      put(kRunTest, 0);
      std::printf("runtest %d error %d\n", get(kRunTest), t.signalTestState);
      if (t.signalTestState == kSparks) {
        std::printf("*-*-*-*-*-*-*-*-*- sparks during measurement *-*-*-*-*-*-*-*-*-\n");
      }
      t.signalTestState = kIdle;
      break;
  }
}

}  // namespace

void signalTestStateLoop(SIGNALCHECK& t) {
  put(kRunTestStatus, t.signalTestState);
  if (get(kRunTest) == 0) {
    if (t.signalTestState >= 0) t.signalTestState = kIdle;
    return;
  }
  runState(t, t.lastrunTest == 0 ? static_cast<int16_t>(kIdle) : t.signalTestState);
  t.lastrunTest = get(kRunTest);
}
