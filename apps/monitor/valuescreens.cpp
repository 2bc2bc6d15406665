#include "valuescreens.h"

#include "terminal.h"

namespace monitor {

namespace {

// Widths put each column's last character under the end of its header word; a value
// wider than its column shows as '#'.
constexpr int kLabelWidth        = 20;  // basic screen
constexpr int kColumnWidth       = 14;  // basic value, minimum, maximum, phase B
constexpr int kTableLabelWidth   = 18;  // extended table
constexpr int kNowWidth          = 9;   // "now", phase A
constexpr int kPhaseAverageWidth = 22;

const NamedTag kSecVolt("vxi_secvoltavg");
const NamedTag kSecCurrent("vxi_seccurravg");
const NamedTag kPower("vxi_actpower");
const NamedTag kSparkRate("vxi_spm");
const NamedTag kPeakVolt("vxi_secvoltpeak");
const NamedTag kValleyVolt("vxi_secvoltvalley");
const NamedTag kPeakCurrent("vxi_seccurrpeak");
const NamedTag kPulseCurrent("vxi_seccurrpulse");
const NamedTag kCurrentLimit("vxi_funcurrlimit");
const NamedTag kPrimVolt("vxi_primvoltrms");
const NamedTag kPrimCurrent("vxi_primcurrrms");
const NamedTag kFiringAngle("vxi_actualfiringangle");
const NamedTag kPulseA("vxi_seccurrpulsea");
const NamedTag kPulseB("vxi_seccurrpulseb");
const NamedTag kAccSparks("vxi_accspark");
const NamedTag kAccArcs("vxi_accarc");
const NamedTag kAccDoubleSparks("vxi_accdoublespark");

// A row of the extended table: a tag, or a figure computed from tags.
struct TableRow {
  const char* label;
  int (*raw)();
  int exponent;  // of the shown raw value
};

template <const NamedTag& tag>
int valueOf() {
  return tag.value();
}

// kV over mA is MΩ: 0.1 kV * 100 / mA gives kΩ.
int impedanceKiloOhm() {
  const int current = kSecCurrent.value();
  return current > 0 ? static_cast<int>(static_cast<long long>(kSecVolt.value()) * 100 / current) : 0;
}

int peakToPeakTenths() { return kPeakVolt.value() - kValleyVolt.value(); }

// clang-format off
const TableRow kTable[ValueScreen::kRows] = {
    // label                  value                             exponent
    {"SecVolt(kV)",           valueOf<kSecVolt>,                -1},
    {"PeakVolt(kV)",          valueOf<kPeakVolt>,               -1},
    {"ValleyVolt(kV)",        valueOf<kValleyVolt>,             -1},
    {"SecCurrent(mA)",        valueOf<kSecCurrent>,              0},
    {"PeakCurrent(mA)",       valueOf<kPeakCurrent>,             0},
    {"PulseCurrent(mA)",      valueOf<kPulseCurrent>,            0},
    {"CurrentLimit(mA)",      valueOf<kCurrentLimit>,            0},
    {"Power(kW)",             valueOf<kPower>,                  -1},
    {"Sparks(spm)",           valueOf<kSparkRate>,               0},
    {"PrimVolt(V)",           valueOf<kPrimVolt>,               -1},
    {"PrimCurrent(A)",        valueOf<kPrimCurrent>,            -1},
    {"IgnitionPulse(%)",      valueOf<kFiringAngle>,            -1},
    {"Impedance(kOhm)",       impedanceKiloOhm,                  0},
    {"PeakToPeak(kV)",        peakToPeakTenths,                 -1},
};
// clang-format on

void printBasicRow(std::FILE* out, const char* label, const NamedTag& tag) {
  std::fprintf(out, "%-*s%s\n", kLabelWidth, label, fittedScaled(tag.value(), tag.exponent(), kColumnWidth).c_str());
}

}  // namespace

void MinuteAverage::add(int sample) {
  samples_[static_cast<size_t>(next_)] = sample;
  next_                                = (next_ + 1) % kSeconds;
  if (held_ < kSeconds) ++held_;
}

int MinuteAverage::mean() const {
  if (held_ == 0) return 0;
  long long sum = 0;
  for (int i = 0; i < held_; ++i) sum += samples_[static_cast<size_t>(i)];
  return static_cast<int>(sum >= 0 ? (sum + held_ / 2) / held_ : (sum - held_ / 2) / held_);
}

char MinuteAverage::trend(int now) const {
  const int average = mean();
  return now > average ? '^' : now < average ? 'v' : '=';
}

ValueScreen::ValueScreen(bool extended) : extended_(extended) {}

void ValueScreen::onPoll(const Poll& poll, std::FILE* out) {
  if (extended_ && second_.due(poll.nowMs)) {
    minute_[0].add(kSecVolt.value());
    minute_[1].add(kSecCurrent.value());
    minute_[2].add(kPower.value());
  }
  if (!poll.updated && !poll.first) return;
  beginRedraw(out);
  if (extended_) {
    printExtended(out);
  } else {
    printBasic(out);
  }
  std::fflush(out);
}

void ValueScreen::printBasic(std::FILE* out) const {
  printBasicRow(out, "SecVolt(kV)", kSecVolt);
  printBasicRow(out, "SecCurrent(mA)", kSecCurrent);
  printBasicRow(out, "Power(kW)", kPower);
  printBasicRow(out, "Sparks(spm)", kSparkRate);
}

void ValueScreen::printExtended(std::FILE* out) {
  std::fputs("------------------------now-------------min-------------max-----\n", out);
  for (int row = 0; row < kRows; ++row) {
    const TableRow& line = kTable[row];
    const int now        = line.raw();
    Range& range         = ranges_[static_cast<size_t>(row)];
    range.minimum        = range.seen && range.minimum < now ? range.minimum : now;
    range.maximum        = range.seen && range.maximum > now ? range.maximum : now;
    range.seen           = true;
    std::fprintf(out, "%-*s%s  %s  %s\n", kTableLabelWidth, line.label,
                 fittedScaled(now, line.exponent, kNowWidth).c_str(),
                 fittedScaled(range.minimum, line.exponent, kColumnWidth).c_str(),
                 fittedScaled(range.maximum, line.exponent, kColumnWidth).c_str());
  }
  const int pulseA = kPulseA.value();
  const int pulseB = kPulseB.value();
  std::fputs("PhaseCurrent------------A---------------B----------------Avg(A-B)\n", out);
  std::fprintf(out, "%-*s%s  %s  %s\n", kTableLabelWidth, "(mA)", fitted(pulseA, kNowWidth).c_str(),
               fitted(pulseB, kColumnWidth).c_str(),
               fitted((static_cast<long long>(pulseA) + pulseB) / 2, kPhaseAverageWidth).c_str());
  std::fprintf(out, "Sparks %s  Arcs %s  DoubleSparks %s\n", fitted(kAccSparks.value(), 10).c_str(),
               fitted(kAccArcs.value(), 10).c_str(), fitted(kAccDoubleSparks.value(), 10).c_str());
  std::fprintf(out, "60s average  kV %s %c  mA %s %c  kW %s %c\n", fittedScaled(minute_[0].mean(), -1, 8).c_str(),
               minute_[0].trend(kSecVolt.value()), fitted(minute_[1].mean(), 8).c_str(),
               minute_[1].trend(kSecCurrent.value()), fittedScaled(minute_[2].mean(), -1, 8).c_str(),
               minute_[2].trend(kPower.value()));
}

}  // namespace monitor
