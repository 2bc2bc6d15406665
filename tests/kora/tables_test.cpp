// The step and field tables from the configuration file, and the conversions and step
// limits that the measurements take from them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "energisation_fixture.h"
#include "kora/steptable.h"
#include "temp_image.h"

namespace {

constexpr const char* kIniPath = "/var/lib/orvix/orvix.ini";

constexpr const char* kFullFile =
    "koraFiringRatios1_5=10000;3333;2000;1429;1111\n"
    "koraFiringRatios6_10=909;769;667;588;526\n"
    "koraFiringRatios11_15=476;435;400;370;345;999\n"  // the sixth value is step 16's
    "koraFiringRatios21_26=244;233;222;213;204;196\n"
    "koraCurrentDensities1_5=300;;400;450;500\n"  // step 2 stays as it was
    "koraCurrentDensities6_10=550;600;650;700;750\n"
    "koraCurrentDensities11_15=800;850;900;950;1000\n"
    "koraCurrentDensities16_20=1050;1100;1150;1200;1250\n"
    "koraCurrentDensities21_26=1300;1350;1400;1450;1500;1550\n"
    "koraFieldAExpertTable=1;2;4;2;4;7;3;6;10\n"
    "koraFieldCExpertTable=2;4;8;3;6;11;4;8;14\n"
    "koraFieldIExpertTable=5;10;20;6;12;23;7;14;26\n"
    "koraOptimationInterval=50\n"
    "koraReferenceInterval=5\n";

class KoraTablesTest : public orvix::testing::EnergisationTest {
 protected:
  void SetUp() override {
    EnergisationTest::SetUp();
    const char* bin  = std::getenv("ORVIX_BUILD_BIN");
    const char* path = std::getenv("PATH");
    previousPath_    = path != nullptr ? path : "";
    setenv("PATH", (std::string(bin != nullptr ? bin : "") + ":" + previousPath_).c_str(), 1);
  }
  void TearDown() override { setenv("PATH", previousPath_.c_str(), 1); }

  // Loads the file and returns what the loader reported on the error stream.
  std::string load(const std::string& contents) {
    image_.writeFile(kIniPath, contents);
    ::testing::internal::CaptureStderr();
    kora::loadKoraTable(kIniPath, kora_);
    return ::testing::internal::GetCapturedStderr();
  }

  orvix::testing::TempImage image_;
  kora::KORA kora_{};
  std::string previousPath_;
};

TEST_F(KoraTablesTest, LoadsEveryKeyAndKeepsWhatIsMissing) {
  kora_.step[2].currentDensity = 333;
  kora_.step[17].firingRatio   = 317;
  const std::string errors     = load(kFullFile);

  EXPECT_EQ(kora_.step[1].firingRatio, 10000);
  EXPECT_EQ(kora_.step[10].firingRatio, 526);
  EXPECT_EQ(kora_.step[15].firingRatio, 345);
  EXPECT_EQ(kora_.step[16].firingRatio, 999);  // from 11_15, since 16_20 is missing
  EXPECT_EQ(kora_.step[17].firingRatio, 317);  // untouched
  EXPECT_EQ(kora_.step[26].firingRatio, 196);
  EXPECT_EQ(kora_.step[2].currentDensity, 333);  // empty item
  EXPECT_EQ(kora_.step[7].currentDensity, 600);  // the key read through the setting reader
  EXPECT_EQ(kora_.step[26].currentDensity, 1550);
  EXPECT_EQ(kora_.field[0].max[2], 10);
  EXPECT_EQ(kora_.field[2].typ[1], 6);
  EXPECT_EQ(kora_.field[1].typ[0], 0);        // B missing
  for (size_t copy = 9; copy < 12; ++copy) {  // J, K, L are I
    EXPECT_EQ(kora_.field[copy].min[1], 6);
    EXPECT_EQ(kora_.field[copy].max[2], 26);
  }
  EXPECT_EQ(kora_.optimationIntervalBase, 900);  // 50 is out of range
  EXPECT_EQ(kora_.optimationInterval, 900);
  EXPECT_EQ(kora_.referenceInterval, 5);  // no range check
  EXPECT_NE(errors.find("Missing setting koraFiringRatios16_20: "), std::string::npos) << errors;
  EXPECT_NE(errors.find("Missing setting koraFieldBExpertTable: "), std::string::npos) << errors;
  EXPECT_EQ(errors.find("Missing setting koraCurrentDensities6_10"), std::string::npos) << errors;
  EXPECT_EQ(errors.find("Error reading"), std::string::npos) << errors;
}

TEST_F(KoraTablesTest, IntervalRangeAndMissingFile) {
  const struct {
    const char* line;
    int interval;
  } cases[] = {
      {"koraOptimationInterval=2500\n", 900 },
      {"koraOptimationInterval=100\n",  100 },
      {"koraOptimationInterval=2000\n", 2000},
      {"koraOptimationInterval=99\n",   900 },
      {"koraOptimationInterval=2001\n", 900 }
  };
  for (const auto& c : cases) {
    load(c.line);
    EXPECT_EQ(kora_.optimationIntervalBase, c.interval) << c.line;
  }
  // A reference interval beyond the 16-bit field would wrap negative: the longest is taken.
  load("koraReferenceInterval=86400\n");
  EXPECT_EQ(kora_.referenceInterval, 32767);
  kora_.step[7].currentDensity = 123;
  ::testing::internal::CaptureStderr();
  kora::loadKoraTable("/var/lib/orvix/none.ini", kora_);
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(errors.find("Error reading /var/lib/orvix/none.ini: "), std::string::npos) << errors;
  EXPECT_NE(errors.find("Missing setting koraCurrentDensities6_10: "), std::string::npos) << errors;
  EXPECT_EQ(kora_.step[7].currentDensity, 123);
  EXPECT_EQ(kora_.optimationIntervalBase, 900);  // unchanged
}

TEST_F(KoraTablesTest, CurrentAndDensityUseTheCollectorArea) {
  set("vxo_collectorarea", 0);
  EXPECT_EQ(kora::pulseCurrent(437), 437);
  EXPECT_EQ(kora::currentDensity(437), 437);
  set("vxo_collectorarea", 3456);
  EXPECT_EQ(kora::pulseCurrent(300), 1037);  // 1036.8 mA
  EXPECT_EQ(kora::pulseCurrent(1000), 3456);
  EXPECT_EQ(kora::currentDensity(1037), 300);  // 300.06 µA/m²
  EXPECT_EQ(kora::currentDensity(1039), 301);  // 300.64 rounds up
}

TEST_F(KoraTablesTest, StepLimitsByFieldPositionAndClass) {
  load(kFullFile);
  set("vxo_customminstep", 3);
  set("vxo_custommaxstep", 17);
  set("vxo_customtypstep", 9);
  const struct {
    int letter, resistivity, min, typ, max;
  } cases[] = {
      {'A', 0, 1, 2,  4 },
      {'c', 1, 3, 6,  11}, // lower case is the same position
      {'K', 2, 7, 14, 26}, // a copy of I
      {'C', 3, 3, 9,  17}, // the operator's own steps
      {'Z', 1, 1, 1,  26},
      {'M', 0, 1, 1,  26}, // no table entry: the whole table
  };
  for (const auto& c : cases) {
    set("vxo_fieldposition", c.letter);
    set("vxo_actmoderesistivity", c.resistivity);
    EXPECT_EQ(kora::fieldMinStep(kora_), c.min) << char(c.letter) << c.resistivity;
    EXPECT_EQ(kora::fieldTypStep(kora_), c.typ) << char(c.letter) << c.resistivity;
    EXPECT_EQ(kora::fieldMaxStep(kora_), c.max) << char(c.letter) << c.resistivity;
  }
  EXPECT_EQ(kora::stepToCR(kora_, 0), 1);
  EXPECT_EQ(kora::stepToCR(kora_, 1), 1);    // 10033 / 10000
  EXPECT_EQ(kora::stepToCR(kora_, 2), 3);    // 10033 / 3333
  EXPECT_EQ(kora::stepToCR(kora_, 26), 51);  // 10033 / 196
  kora_.step[5].firingRatio = 0;
  EXPECT_EQ(kora::stepToCR(kora_, 5), 1);
}

}  // namespace
