// The step the optimisation must find, from the field model alone: every step of the
// default tables is captured on the simulated field, analysed as the scope program analyses
// it and compared as the step search compares it. The printed table is the prediction the
// end-to-end runs are held to.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "field.h"
#include "kora/kora.h"
#include "kora/scope.h"
#include "kora/steptable.h"
#include "orxtags/storebuilder.h"
#include "private_store.h"
#include "scope.h"
#include "scopegrab.h"
#include "tags_by_name.h"
#include "temp_image.h"

namespace {

using namespace orvix::testing::by_name;

constexpr const char* kIniPath = "/var/lib/orvix/orvix.ini";
constexpr int kCurrentLimitMa  = 1000;  // mode current limit: the T/R set's rating

struct Prediction {
  int bestStep = 0;
  std::string table;
};

class BestStepTest : public orvix::testing::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    tagstore::buildTagStore();
    image_.path("/tmp/x");
    image_.path("/home/ftp/x");
    std::ifstream defaults(std::string(std::getenv("ORVIX_SOURCE_DIR")) + "/unit/orvix.ini");
    std::stringstream text;
    text << defaults.rdbuf();
    image_.writeFile(kIniPath, text.str());
    const std::string path = std::string(std::getenv("ORVIX_BUILD_BIN")) + ":" + std::getenv("PATH");
    setenv("PATH", path.c_str(), 1);  // the table loader reads one key through confget
    kora::loadKoraTable(kIniPath, kora_);
    scope_ = std::make_unique<scopegrab::ScopeGrab>(scopegrab::Global{});
  }

  // One capture of the prepared set-up on the field, analysed by the scope program.
  void capture(const dspsim::ModelConstants& c, int chargeRatio) {
    const dspsim::TrRatings ratings;
    const int firingRatio = dspsim::firingRatioFromChargeRatio(chargeRatio);
    const int limitMa     = std::min(value("vxi_koracurrentlimit"), kCurrentLimitMa);
    const dspsim::AllowedCurrent allowed =
        dspsim::allowedPulseCurrent({limitMa, value("vxo_maxaveragecurr"), 95, firingRatio}, ratings, c);
    const dspsim::Measurements m = dspsim::measure(allowed.pulseMa, firingRatio, chargeRatio, ratings, c);
    const dspsim::ScopeInputs in{
        allowed.pulseMa, chargeRatio, m.firingAngle / 10.0, allowed.limiter, value("vxo_samplerate"), limitMa,
        m.secDvdt,       ratings};
    dspsim::recordCapture(in, c, scope_->capture());
    set("vxi_firingratio", firingRatio);
    set("vxi_linefrequency", c.lineFrequency);
    scope_->SaveToFile(scopegrab::kFreshCapture);
  }

  Prediction predict(const dspsim::ModelConstants& c) {
    set("vxo_collectorarea", c.collectorArea);
    set("vxo_actmodecurrlim", kCurrentLimitMa);
    set("vxo_actmodekora", 1);
    // The reference the unit measures first: the clean onset voltage and the corona time.
    set("vxo_korausedvref", c.coronaOnsetVoltage);
    kora::CoronaTimeValueScopeSetup(kora_, 0);
    capture(c, 10033 / value("vxi_koratestfr"));  // the charge ratio the unit sends for it
    set("vxo_korausedcoronatime", ((value("vxi_korameasuredcoronatime") + 25) / 50) * 5);

    kora_.Q           = {};
    std::string table = "step    fr    cd   pulse mA  Q full  Q trunc\n";
    for (int s = 1; s <= kora::kSteps; ++s) {
      if (kora::QFullValueScopeSetup(kora_, s) >= 0) {
        capture(c, kora::stepToCR(kora_, s));
        kora_.Q.full[static_cast<size_t>(s)] = value("vxi_koralastqfull01");
      }
      const int pulseMa = value("vxi_koracurrentlimit");
      if (kora::QTruncValueScopeSetup(kora_, s) == 1) {
        capture(c, kora::stepToCR(kora_, s));
        kora_.Q.trunc[static_cast<size_t>(s)] = value("vxi_koralastqtrunc01");
      }
      char line[96];
      std::snprintf(line, sizeof line, "%4d %5d %5d %10d %7d %8d\n", s, kora_.step[static_cast<size_t>(s)].firingRatio,
                    kora_.step[static_cast<size_t>(s)].currentDensity, pulseMa, kora_.Q.full[static_cast<size_t>(s)],
                    kora_.Q.trunc[static_cast<size_t>(s)]);
      table += line;
    }
    int best = 1;
    while (best < kora::kSteps && !kora::stepHolds(kora_, best)) ++best;
    return {best, table};
  }

  orvix::testing::TempImage image_;
  kora::KORA kora_{};
  std::unique_ptr<scopegrab::ScopeGrab> scope_;
};

// Without back corona continuous energisation charges best; the lower the current density at
// which back corona starts, the more intermittent the best step. (Below about 40 uA/m2 every
// step of the default table is deep in back corona and step 1 holds again.)
TEST_F(BestStepTest, BestStepMovesUpAsBackCoronaStartsLower) {
  dspsim::ModelConstants c;
  int previous = 0;
  for (int onset : {0, 300, 150, 100, 70, 50}) {
    c.backCoronaOnset           = onset;
    const Prediction prediction = predict(c);
    std::printf("back corona onset %d uA/m2: corona time %d ms, best step %d (firing ratio %d)\n%s", onset,
                value("vxo_korausedcoronatime"), prediction.bestStep,
                kora_.step[static_cast<size_t>(prediction.bestStep)].firingRatio, prediction.table.c_str());
    if (onset == 0) {
      EXPECT_EQ(prediction.bestStep, 1);
    }
    EXPECT_GE(prediction.bestStep, previous) << "onset " << onset;
    previous = prediction.bestStep;
  }
  EXPECT_GT(previous, 2);
}

}  // namespace
