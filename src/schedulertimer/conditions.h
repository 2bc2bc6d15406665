// The process conditions that may start rapping in condition mode: pulse current,
// voltage, spark rate, impedance or firing angle against a level, from rings of the
// latest per-second samples.
#pragma once

#include <array>

namespace rapping {

enum Condition : int {
  kPulseCurrentBelow = 0,
  kVoltageBelow      = 1,
  kSparkRateAbove    = 2,
  kImpedanceBelow    = 3,
  kFiringAngleAbove  = 4,
};

class ConditionSampler {
 public:
  // Samples the measurements (while the T/R set runs and no V-I measurement does) and tells
  // whether the condition holds; the reading goes to vxi_autorappcurrentreading01 for
  // conditionNo 0, else to ...02. Codes outside 0..4 never hold.
  bool checkCondition(int condition, int level, int conditionNo);

 private:
  void sample();

  std::array<int, 5> pulseCurrent_{};  // mA x 10
  std::array<int, 5> voltage_{};       // 0.1 kV
  std::array<int, 10> impedance_{};    // x 10
  std::array<int, 5> firingAngle_{};   // 0.1 %
};

// Both statuses when logic is 0, either of them otherwise.
bool auto_logic(bool status1, bool status2, int logic);

}  // namespace rapping
