// The analyses of one capture, each writing its result curve into "/tmp/control.tmp" and
// its result values into tags.
#pragma once

#include "sampleinfo.h"
#include "scopecapture/capture.h"
#include "spectrum.h"

namespace scopegrab {

struct CaptureSettings {
  int sr = 0;  // sample-rate divider
  int lf = 0;  // line frequency, 0.1 Hz
  int fr = 0;  // firing ratio, 0.01 %
};

// The averaged pulse of the charge measurement: thinly covered positions smoothed, a gap
// bridged by one position.
void chargePulse(const sampleInfo& info, float (&pulse)[kPulsePositions]);
// Q full and Q trunc; false when the capture is no good measurement.
bool chargeAverage(const sampleInfo& info, const CaptureSettings& s, bool alreadyBad);

// Corona onset time and voltage from the decay of the averaged pulse.
void coronaOnset(const sampleInfo& info, const CaptureSettings& s);

// Spectra and signal quality of the four analogue channels; the curve only when asked.
void spectrumAndQuality(const scope::Capture& capture, const CaptureSettings& s, bool writeCurve,
                        SpectrumTransform& transform, FFT (&ffts)[4]);

void phasePulse(const sampleInfo& info, const CaptureSettings& s);
void pulseView(const sampleInfo& info, const CaptureSettings& s);
void printOffsets(const scope::Capture& capture);
void sparkRecord(const scope::Capture& capture);

}  // namespace scopegrab
