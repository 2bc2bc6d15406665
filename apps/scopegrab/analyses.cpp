#include "analyses.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "curvefile.h"
#include "decimaltext.h"
#include "saturate.h"
#include "scopetags.h"

namespace scopegrab {
namespace {

using scope::Capture;

int pulseLength(const CaptureSettings& s) { return std::min(samplesPerPulse(s.sr, s.lf, s.fr), kPulsePositions); }
double msAt(const CaptureSettings& s, int index) { return sampleTimeUs(s.sr) * index / 1000.0; }

// Samples within a time in ms at this sample rate.
int samplesIn(int ms, const CaptureSettings& s) {
  const double st = sampleTimeUs(s.sr);
  return st > 0 ? static_cast<int>(ms * 1000 / st) : 0;
}

void shiftKoraHistory() {
  for (int i = tag::kHistoryDepth - 1; i > 0; --i) {
    for (const auto* kind : {&tag::kQFull, &tag::kQTrunc, &tag::kStep, &tag::kTime, &tag::kQCurr}) {
      writeTag((*kind)[i], readTag((*kind)[i - 1]));
    }
  }
}

// Integration length of a pulse at this firing ratio less its last sample.
int integrationLength(const CaptureSettings& s, int fr) { return samplesPerPulse(s.sr, s.lf, fr) - 1; }

}  // namespace

void chargePulse(const sampleInfo& info, float (&pulse)[kPulsePositions]) {
  bool gapBridged = false;
  for (int i = 0; i < kPulsePositions; ++i) {
    const int a = info.noOfPulsesInPos[0][i];
    const int b = info.noOfPulsesInPos[1][i];
    if (a == 0 && b == 0) {
      pulse[i]   = !gapBridged && i > 0 ? pulse[i - 1] : 0.0f;
      gapBridged = true;
      continue;
    }
    pulse[i]        = averagedPulse(info, i);
    const bool thin = 2 * a < info.noOfPulsesInSumPhase[0] || 2 * b < info.noOfPulsesInSumPhase[1];
    if (thin && i > 10) pulse[i] = (pulse[i] + pulse[i - 1]) / 2;
  }
}

bool chargeAverage(const sampleInfo& info, const CaptureSettings& s, bool alreadyBad) {
  int fullLength  = 0;
  int truncLength = 0;
  if (readTag(tag::vxo_actmodekora) == 1) {
    const int testFr  = readTag(tag::vxi_koratestfr);
    const int truncFr = readTag(internal::kTruncationRatio);
    fullLength        = testFr == 0 ? 0 : integrationLength(s, testFr);
    truncLength       = truncFr < testFr || truncFr < 1 ? 0 : integrationLength(s, truncFr);
  } else {
    fullLength = samplesPerPulse(s.sr, s.lf, readTag(tag::vxo_actmodefiringratio));
  }
  // The averaged pulse holds 700 positions: a longer window would read past it.
  const int n       = std::min(samplesIn(readTag(tag::vxo_korausedcoronatime), s), kPulsePositions);
  const double vref = readTag(tag::vxo_korausedvref) / 10.0;
  if (info.noOfPulsesInSum == 0) return false;

  float pulse[kPulsePositions];
  chargePulse(info, pulse);
  const int lf  = std::max(std::min(n, fullLength), 0);
  const int lt  = std::max(std::min(n, truncLength), 0);
  double qFull  = 0;
  double qTrunc = 0;
  FilePtr curve = openForWriting(kControlWebFile);
  if (curve) std::fprintf(curve.get(), "Sample,kV,Qfull,Qtrunc\n");
  for (int e = 0; e < n; ++e) {
    const double half = pulse[e] / 2.0;
    if (e < lf) qFull += (half - vref) * half / lf;
    if (e < lt) qTrunc += (half - vref) * half / lt;
    if (curve) {
      std::fprintf(curve.get(), "%s,%s,%s,%s\n", decimalText(msAt(s, e)).c_str(), decimalText(half - vref).c_str(),
                   decimalText(qFull).c_str(), decimalText(qTrunc).c_str());
    }
  }
  if (qFull == 0 && qTrunc == 0) {
    std::printf("q full and trunc == 0 %d \n", 1);
    return false;
  }
  // A sample that is no number makes no charge KORA could compare.
  if (!std::isfinite(qFull) || !std::isfinite(qTrunc)) return false;
  if (readTag(tag::vxi_rapping) == 1) {
    std::printf("rapping during measurement %d \n", 1);
    return false;
  }
  if (alreadyBad) {
    std::printf("bad limiter duing q measurement");
    return false;
  }
  shiftKoraHistory();
  writeTag(tag::kQFull[0], saturatedInt(qFull * 10 + 10000));
  writeTag(tag::kQTrunc[0], saturatedInt(qTrunc * 10 + 10000));
  writeTag(tag::kStep[0], readTag(tag::vxi_koratestfr));
  writeTag(tag::kTime[0], readTag(tag::vxo_time));
  writeTag(tag::kQCurr[0], readTag(tag::vxi_koracurrentlimit));
  return true;
}

void coronaOnset(const sampleInfo& info, const CaptureSettings& s) {
  const int m = pulseLength(s);
  float raw[kPulsePositions];
  for (int i = 0; i < kPulsePositions; ++i) raw[i] = averagedPulse(info, i);
  // Smoothed while the voltage decays; the dip of the next firing is carried on as decay.
  float y[kPulsePositions];
  y[0] = raw[0];
  for (int i = 1; i < kPulsePositions; ++i) {
    const bool inDecay = i < kPulsePositions - 1 && i < m - 5;
    y[i]               = inDecay ? (raw[i - 1] + raw[i] + raw[i + 1]) / 3 : raw[i];
    if (!inDecay && i >= 2 && y[i] < 0.97f * y[i - 1] && y[i - 2] != 0) y[i] = y[i - 1] * y[i - 1] / y[i - 2];
  }
  const double st    = sampleTimeUs(s.sr);
  const double ratio = readTag(tag::vxo_koracoronaratio) / 1000.0;
  const int span     = st > 0 ? static_cast<int>(5000 / st) : 0;
  std::printf("samplesPer5ms %d\n", span);
  std::printf("coronaRatio %f\n", ratio);

  int corona         = 0;
  bool inRegion      = false;
  double lowestRatio = ratio;
  if (2 * span < m - 1) {
    for (int i = m - 1; i > 2 * span; --i) {
      if (y[i] <= 0) continue;
      const double t = y[i - span] / y[i];
      if (!inRegion && t < ratio) {
        inRegion    = true;
        lowestRatio = t;
        std::printf("corona time found %d %f %f %f uS %f kV\n", i, t, ratio, st * i, y[i] / 2.0);
      } else if (inRegion && t > ratio) {
        corona = i + 1;
        std::printf("corona time found %d %f %f %f uS %f kV lowestRatio:%f\n", corona, t, ratio, st * corona,
                    y[corona] / 2.0, lowestRatio);
        break;
      }
      if (inRegion) lowestRatio = std::min(lowestRatio, t);
    }
  }
  int coronaKv   = 0;  // 0.1 kV
  int coronaTime = 0;  // 0.1 ms
  if (corona > 0) {
    coronaKv   = saturatedInt(y[corona] * 5);
    coronaTime = static_cast<int>(st * corona / 100);
  } else {
    std::printf("no corona found ");
    const long long lfFr = static_cast<long long>(s.lf) * s.fr;
    coronaTime           = lfFr > 0 ? static_cast<int>(500000000LL / lfFr + 1) : 0;
    float highest        = 0;
    for (int i = std::max(m - 4, 0); i <= m - 1; ++i) highest = std::max(highest, y[i]);
    coronaKv = saturatedInt(5 * highest);
  }
  writeTag(tag::vxi_koracoronakv, coronaKv);
  writeTag(tag::vxi_korameasuredcoronatime, coronaTime);

  if (FilePtr curve = openForWriting(kControlWebFile)) {
    std::fprintf(curve.get(), "Sample,coronaTime,kV\n");
    for (int i = 0; i < m; ++i) {
      const DecimalText voltage = decimalText(coronaKv / 10.0);
      std::fprintf(curve.get(), "%s,%s,%s\n", decimalText(msAt(s, i)).c_str(), i <= corona ? voltage.c_str() : "0.0",
                   decimalText(y[i] / 2).c_str());
    }
  }
  std::printf("CoronaTime %d.%d ms CoronaVoltage %d.%d kV\n", coronaTime / 10, coronaTime % 10, coronaKv / 10,
              coronaKv % 10);
}

void spectrumAndQuality(const Capture& capture, const CaptureSettings& s, bool writeCurve, SpectrumTransform& transform,
                        FFT (&ffts)[4]) {
  // Secondary current, secondary voltage, primary current, primary voltage.
  constexpr double kCurveScale[4] = {300, 60, 100, 350};
  const int n                     = std::min(capture.captureLength, scope::kMaxSamples) & ~1;
  const int fs                    = sampleFrequencyHz(s.sr);
  const double d                  = fs > 0 ? static_cast<double>(n) / fs : 0;
  const int bins                  = n / 4;
  for (int ch = 0; ch < 4; ++ch) {
    transform.transform(capture.CAPBuffers[ch].Value, n, ffts[ch]);
    ffts[ch].fr                   = static_cast<float>(d);
    ffts[ch].fundamentalFrequency = fundamentalBin(ffts[ch], bins);
  }
  std::printf("fourier transform nn=%d isign=%d\n", n / 2, 1);
  std::printf("fRatio(samplingFrequencyUsed=%d,dataSizeUsed=%d) = %f folding frequency %f\n", fs, n, d, fs / 2.0);
  if (writeCurve) {
    if (FilePtr curve = openForWriting(kControlWebFile)) {
      std::fprintf(curve.get(), "Hz,mA,kV,I,V\n");
      for (int bin = 0; bin < bins; ++bin) {
        std::fprintf(curve.get(), "%s", decimalText(d > 0 ? bin / d : 0).c_str());
        for (int ch = 0; ch < 4; ++ch) {
          std::fprintf(curve.get(), ",%s", decimalText(binMagnitude(ffts[ch], bin) / kCurveScale[ch]).c_str());
        }
        std::fprintf(curve.get(), "\n");
      }
    }
  }
  if (d <= 0) return;
  // The base frequency leans on the measured fundamental of the primary voltage and on
  // the line frequency.
  const double measuredHz    = ffts[scope::CH_V].fundamentalFrequency / d;
  const double b             = fs == 9600 ? (measuredHz * 30 + s.lf + 10) / 40 : (measuredHz * 20 + s.lf + 10) / 30;
  const double bb            = b * d;  // in bins
  const double secondary[]   = {2 * bb, 4 * bb};
  const double primaryVolt[] = {bb, 3 * bb};
  const double primaryCurr[] = {bb, 3 * bb, 5 * bb};
  ffts[scope::CH_MA].signalStrength = signalStrength(ffts[scope::CH_MA], bins, d, secondary);
  ffts[scope::CH_KV].signalStrength = signalStrength(ffts[scope::CH_KV], bins, d, secondary);
  ffts[scope::CH_A].signalStrength  = signalStrength(ffts[scope::CH_A], bins, d, primaryCurr);
  ffts[scope::CH_V].signalStrength  = signalStrength(ffts[scope::CH_V], bins, d, primaryVolt);

  writeTag(tag::vxi_primaryvoltsq, ffts[scope::CH_V].signalStrength);
  const bool fullFiring =
      readTag(tag::vxi_firingratio) > 9993 && readTag(tag::vxo_tron) != 0 && readTag(tag::vxo_scopegrabmethod) == 1;
  writeTag(tag::vxi_secondaryvoltsq, fullFiring ? ffts[scope::CH_KV].signalStrength : 0);
  writeTag(tag::vxi_primarycurrentsq, fullFiring ? ffts[scope::CH_A].signalStrength : 0);
  writeTag(tag::vxi_secondarycurrentsq, fullFiring ? ffts[scope::CH_MA].signalStrength : 0);
}

void phasePulse(const sampleInfo& info, const CaptureSettings& s) {
  std::printf("a %d b %d \n", info.noOfPulsesInSumPhase[0], info.noOfPulsesInSumPhase[1]);
  FilePtr curve = openForWriting(kControlWebFile);
  if (!curve) return;
  std::fprintf(curve.get(), "Sample,avg,kVA,kVB\n");
  for (int i = 0; i < pulseLength(s); ++i) {
    const float a   = phaseMean(info, 0, i);
    const float b   = phaseMean(info, 1, i);
    const bool hasA = info.noOfPulsesInPos[0][i] != 0;
    const bool hasB = info.noOfPulsesInPos[1][i] != 0;
    const float avg = hasA && hasB ? (a + b) / 2 : hasA ? a : b;
    std::fprintf(curve.get(), "%d,%s,%s,%s\n", i, decimalText(avg).c_str(), decimalText(a).c_str(),
                 decimalText(b).c_str());
  }
}

void pulseView(const sampleInfo& info, const CaptureSettings& s) {
  const int m = pulseLength(s);
  float y[kPulsePositions];
  for (int i = 0; i < kPulsePositions; ++i) y[i] = averagedPulse(info, i);
  // Quadratic least-squares smoothing over seven samples: it passes a peak and a smooth
  // decay unchanged and removes sample noise. The ends keep the averaged values.
  constexpr float kWeights[7] = {-2, 3, 6, 7, 6, 3, -2};
  constexpr float kWeightSum  = 21;
  float lowPass[kPulsePositions];
  for (int i = 0; i < kPulsePositions; ++i) {
    if (i < 3 || i >= m - 3) {
      lowPass[i] = y[i];
      continue;
    }
    float sum = 0;
    for (int k = 0; k < 7; ++k) sum += kWeights[k] * y[i + k - 3];
    lowPass[i] = sum / kWeightSum;
  }
  if (FilePtr curve = openForWriting(kControlWebFile)) {
    std::fprintf(curve.get(), "Sample,kVavg,kVA,kVB,kVavgLP\n");
    for (int i = 0; i < m; ++i) {
      std::fprintf(curve.get(), "%s,%s,%s,%s,%s\n", decimalText(msAt(s, i)).c_str(), decimalText(y[i] / 2).c_str(),
                   decimalText(phaseMean(info, 0, i)).c_str(), decimalText(phaseMean(info, 1, i)).c_str(),
                   decimalText(lowPass[i] / 2).c_str());
    }
  }
  std::printf("sampleCalc->smallestPulseLength %d \n", info.smallestPulseLength);
  const int shortest = std::min(info.smallestPulseLength, m);
  float peak         = 0;
  int peakIndex      = 0;
  float lowest       = INFINITY;
  float secondLowest = INFINITY;
  for (int i = 0; i < shortest; ++i) {
    const float v = lowPass[i] / 2;
    if (v > peak) {
      peak      = v;
      peakIndex = i;
    }
    if (v < lowest) {
      secondLowest = lowest;
      lowest       = v;
    } else if (v < secondLowest) {
      secondLowest = v;
    }
  }
  if (secondLowest == INFINITY) secondLowest = lowest == INFINITY ? 0 : lowest;
  const int k        = samplesIn(readTag(tag::vxo_korausedcoronatime), s);
  const int coronaKv = k > 0 && k <= info.smallestPulseLength && k < kPulsePositions ? saturatedInt(lowPass[k] * 5)
                                                                                     : saturatedInt(10 * secondLowest);
  const int peakKv   = saturatedInt(10 * peak);
  writeTag(tag::vxi_coronavalleyfromscope, coronaKv);
  writeTag(tag::vxi_peakvoltagefromscope, peakKv);
  writeTag(internal::kPulseViewCounter, readTag(internal::kPulseViewCounter) + 1);
  std::printf("Kv Corona:%d.%d kV at %f ms index %d \n", coronaKv / 10, coronaKv % 10, msAt(s, k), k);
  std::printf("kV Peak:%f at %f ms\n", peak, msAt(s, peakIndex));
  std::printf("kV Valley:%f\n", secondLowest);
  std::printf("kV C %d P %d \n", coronaKv, peakKv);
}

void printOffsets(const Capture& capture) {
  const int n    = std::clamp(capture.captureLength, 0, scope::kMaxSamples);
  double mean[4] = {};
  for (int ch = 0; ch < 4; ++ch) {
    for (int i = 0; i < n; ++i) mean[ch] += capture.CAPBuffers[ch].Value[i];
    if (n > 0) mean[ch] /= n;
  }
  std::printf("kV offset %f \n", mean[scope::CH_KV]);
  std::printf("mA offset %f \n", mean[scope::CH_MA]);
  std::printf("V offset %f \n", mean[scope::CH_V]);
  std::printf("A offset %f \n", mean[scope::CH_A]);
}

void sparkRecord(const Capture& capture) {
  FilePtr curve = openForWriting(kControlWebFile);
  if (!curve) return;
  namespace lw = scope::limiterword;
  std::fprintf(curve.get(), "Sample,Fire,Location,Type,Double,iI,dvDt\n");
  double currentSum = 0;
  bool wasFiring    = false;
  for (int i = 0; i < capture.captureLength; ++i) {
    const uint32_t word = capture.limiterData[i];
    const bool firing   = scope::fieldOf(word, lw::kFiring) != 0;
    if (firing && !wasFiring) currentSum = 0;
    wasFiring = firing;
    currentSum += capture.CAPBuffers[scope::CH_A].Value[i] / 10.0;
    std::fprintf(curve.get(), "%d,%d,%u,%u,%u,%s,%u\n", i, firing ? 100 : 0, scope::fieldOf(word, lw::kSparkLocation),
                 scope::fieldOf(word, lw::kSparkType), scope::fieldOf(word, lw::kSparkDouble),
                 decimalText(currentSum).c_str(), scope::fieldOf(word, lw::kDvdt));
  }
}

}  // namespace scopegrab
