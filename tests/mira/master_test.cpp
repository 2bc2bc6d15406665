// The master's side of the opacity optimisation: opacity from the meter current, the
// averages, the change factor, which field type of a cell follows, the limits, the log.
#include <gtest/gtest.h>

#include <string>

#include "energisation_fixture.h"
#include "mira/distribution.h"
#include "mira/mira.h"
#include "mira/opacity.h"
#include "mira/profile.h"
#include "temp_image.h"

namespace {

constexpr int kSecondsOfDay = 1102;
constexpr int kProfile      = 1189;
int cellStatus(int cell) { return 1199 + cell; }
int cellPowers(int cell) { return 1209 + cell; }
int cellLimits(int cell) { return 1219 + cell; }

int three(int first, int intermediate, int last) { return first | intermediate << 10 | last << 20; }
int field(int word, int type) { return (word >> (10 * type)) & 0x3FF; }

// MiraCellStatus follow bits: first field bits 5/6, intermediate counts 16..19/20..23,
// last field bits 29/30.
constexpr int kFirstUp = 1 << 5, kFirstDown = 1 << 6, kInterUp = 1 << 16, kInterDown = 1 << 20;
constexpr int kLastUp = 1 << 29, kLastDown = 1 << 30;

class MiraMasterTest : public orvix::testing::EnergisationTest {
 protected:
  void SetUp() override {
    EnergisationTest::SetUp();
    image_.path("/tmp/miraLog.csv");  // the image's /tmp
  }
  orvix::testing::TempImage image_;
};

TEST_F(MiraMasterTest, MeterCurrentBecomesOpacity) {
  // 0.1 mA in, 0.01 % out: 4 mA is 0 (written as 0), below it 1; 20 mA and above full scale.
  const struct {
    int current, opacity;
  } cases[] = {
      {39,  1    },
      {40,  0    },
      {41,  63   },
      {120, 5000 },
      {200, 10000},
      {201, 10000},
      {0,   1    }
  };
  set("vxo_opacitysource", 0);
  for (const auto& c : cases) {
    set("vxi_auxcurr", c.current);
    mira::takeOpacitySample();
    EXPECT_EQ(get("vxi_opacmomentary"), c.opacity) << c.current;
  }
  set("vxo_opacitysource", 1);
  set("vxo_externalopacity", 4321);
  mira::takeOpacitySample();
  EXPECT_EQ(get("vxi_opacmomentary"), 4321);
}

TEST_F(MiraMasterTest, AverageWaitsForAFullMinuteAndUsesOnlyTheMeansCollected) {
  mira::OpacityHistory history;
  set("vxo_mirasampinterv", 5);
  const auto minute = [&](int opacity, int samples) {
    set("vxi_opacmomentary", opacity);
    for (int second = 1; second <= samples; ++second) mira::averageOpacity(history, second == samples);
  };
  minute(1000, 59);  // a full minute with one sample short: no mean yet
  EXPECT_EQ(get("vxi_miraopacaverage"), 0);
  minute(1000, 1);  // now 60 samples of 10 %
  EXPECT_EQ(get("vxi_miraopacaverage"), 1000);
  minute(3000, 60);  // two means of five: (10 % + 30 %) / 2
  EXPECT_EQ(get("vxi_miraopacaverage"), 2000);
  for (int i = 0; i < 30; ++i) minute(500, 60);  // the 30 slots wrap: the last five means
  EXPECT_EQ(get("vxi_miraopacaverage"), 500);
}

TEST_F(MiraMasterTest, ChangeFactorScalesTheCurrentShare) {
  set("vxi_opaccurr", 5000);
  set("vxo_miragain", 100);
  set("vxo_miracurrlimmin", 10);
  set("vxi_mirafactorid", 9);
  // A set value of 0 counts as 1 %: 1.5 % average is 0.5 % above it, gain 1 gives +50 %.
  set("vxo_mirasetval", 0);
  set("vxi_miraopacaverage", 150);
  EXPECT_EQ(mira::calculateChange(), 15000);
  EXPECT_EQ(get("vxi_opaccurr"), 7500);
  EXPECT_EQ(get("vxi_miramainlimit"), 7500);
  EXPECT_EQ(get("vxi_mirafactorid"), 0);
  // 10 % against 20 %: -50 %, and the share does not fall below the 10 % minimum.
  set("vxo_mirasetval", 20);
  set("vxi_miraopacaverage", 1000);
  EXPECT_EQ(mira::calculateChange(), 5001);  // 10000 + (-100000 + 10) / 20, truncated
  EXPECT_EQ(get("vxi_opaccurr"), 3750);
  set("vxi_opaccurr", 1500);
  mira::calculateChange();
  EXPECT_EQ(get("vxi_opaccurr"), 1000);
  // A gain so large the factor would turn negative: no limit can follow that, zero is the floor.
  set("vxo_miragain", 1000);
  set("vxi_miraopacaverage", 0);
  EXPECT_EQ(mira::calculateChange(), 0);
}

TEST_F(MiraMasterTest, DownGivesUpPowerWhereACellRunsAboveItsProfile) {
  setInternal(kProfile, three(300, 300, 400));
  const struct {
    int powers, status;
    mira::FieldType expected;
  } cases[] = {
      {three(350, 350, 300), kFirstDown | kInterDown | kLastDown, mira::kIntermediate}, // first and intermediate above
      {three(350, 250, 400), kFirstDown | kInterDown | kLastDown, mira::kFirst       }, // only first above
      {three(250, 250, 500), kFirstDown | kInterDown | kLastDown, mira::kLast        }, // only last above
      {three(350, 350, 300), kLastDown,                           mira::kLast        }, // the others cannot follow
      {three(300, 300, 400), kFirstDown | kInterDown | kLastDown, mira::kIntermediate}, // none above:
      {three(300, 300, 400), kFirstDown | kLastDown,              mira::kFirst       }, // intermediate, first, last in turn
      {three(300, 300, 400), kFirstUp | kInterUp | kLastUp,       mira::kNoFieldType },
  };
  for (const auto& c : cases) {
    setInternal(cellPowers(2), c.powers);
    setInternal(cellStatus(2), c.status);
    EXPECT_EQ(mira::selectFieldTypeToUpdate(2, true), c.expected) << std::hex << c.powers << " " << c.status;
  }
}

TEST_F(MiraMasterTest, UpTakesPowerBackWhereACellRunsBelowItsProfile) {
  setInternal(kProfile, three(300, 300, 400));
  const struct {
    int powers, status;
    mira::FieldType expected;
  } cases[] = {
      {three(250, 250, 350), kFirstUp | kInterUp | kLastUp,       mira::kLast        }, // all below, last first
      {three(250, 350, 400), kFirstUp | kInterUp | kLastUp,       mira::kFirst       }, // only first below
      {three(300, 250, 450), kFirstUp | kInterUp | kLastUp,       mira::kIntermediate}, // only intermediate below
      {three(200, 200, 600), kInterUp,                            mira::kIntermediate}, // only it can follow
      {three(300, 300, 400), kFirstUp | kInterUp | kLastUp,       mira::kLast        }, // none below: last, first,
      {three(300, 300, 400), kFirstUp | kInterUp,                 mira::kFirst       }, // intermediate in turn
      {three(300, 300, 400), kFirstDown | kInterDown | kLastDown, mira::kNoFieldType },
  };
  for (const auto& c : cases) {
    setInternal(cellPowers(1), c.powers);
    setInternal(cellStatus(1), c.status);
    EXPECT_EQ(mira::selectFieldTypeToUpdate(1, false), c.expected) << std::hex << c.powers << " " << c.status;
  }
}

TEST_F(MiraMasterTest, DistributionScalesOneLimitPerCellAndNeverAboveFullPower) {
  set("vxo_esptotalcells", 3);
  setInternal(kProfile, three(300, 300, 400));
  for (int cell = 1; cell <= 3; ++cell) setInternal(cellStatus(cell), kLastUp | kFirstDown);
  setInternal(cellPowers(1), three(300, 300, 300));  // last below its profile: last goes up
  setInternal(cellLimits(1), three(800, 700, 900));
  setInternal(cellStatus(3), 0);  // no field of cell 3 can follow
  setInternal(cellLimits(3), three(500, 500, 500));
  mira::distributeChange(12000);
  EXPECT_EQ(internal(cellLimits(1)), three(800, 700, 1000));  // 900 x 1.2 = 1080: held at 1000
  EXPECT_EQ(internal(cellLimits(3)), three(500, 500, 500));
  setInternal(cellLimits(1), three(800, 700, 833));
  mira::distributeChange(12000);
  EXPECT_EQ(field(internal(cellLimits(1)), mira::kLast), 1000);  // (833 x 12000 + 5000) / 10000 = 1000
  mira::distributeChange(5000);                                  // down: the first field follows
  EXPECT_EQ(internal(cellLimits(1)), three(400, 700, 1000));

  mira::distributeMax();
  for (int cell = 1; cell <= 10; ++cell) EXPECT_EQ(internal(cellLimits(cell)), three(1000, 1000, 1000)) << cell;
  EXPECT_EQ(get("vxi_miramainlimit"), 10000);
  EXPECT_EQ(get("vxi_opaccurr"), 10000);
}

TEST_F(MiraMasterTest, LogHasItsHeaderALinePerDistributionAndRotatesPast100000Bytes) {
  set("vxo_esptotalcells", 2);
  set("vxo_mirasetval", 15);
  set("vxo_miragain", 250);
  set("vxo_date", (126 << 16) | (3 << 8) | 7);        // 2026-03-07
  set("vxo_time", (9 << 24) | (5 << 16) | (4 << 8));  // 09:05:04
  set("vxi_mirafactorid", 4);
  set("vxi_miramainlimit", 8000);
  set("vxi_opaccurr", 8000);
  setInternal(cellLimits(1), three(1000, 900, 800));
  setInternal(cellLimits(2), three(700, 600, 500));
  mira::distributeChange(10000);  // no field follows: the limits stay and the line is written
  const std::string expected =
      "mastertotalnr = 0\nmasternrinoff = 0\nmastertotpower = 0\nmasteradrlimlo = 1\nmasteradrlimlhi = 32\n"
      "miragain = 250\nmirasetval = 15\nmirahighlim = 40\nmirasampinterv = 5\nmiraprofilefirst = 0\n"
      "miraprofileinter = 0\nmiraprofilelast = 0\nmirapowerfirst = 0\nmirapowerintermediate = 0\n"
      "mirapowerlast = 0\n"
      "date;time;factorID;factor;miramainlimit;opaccurr;firstlimit;interlimit;lastlimit;miralimits1;miralimits2\n"
      "2026/03/07; 09:05:04; 4; 10000; 8000; 8000;1; 1000; 900; 800;2; 700; 600; 500;\n";
  EXPECT_EQ(image_.readFile("/tmp/miraLog.csv"), expected);

  const std::string full(100001, 'x');
  image_.writeFile("/tmp/miraLog.csv", full);
  mira::distributeChange(10000);
  EXPECT_EQ(image_.readFile("/tmp/miraLog.bak"), full);
  EXPECT_EQ(image_.readFile("/tmp/miraLog.csv"), expected);
  image_.writeFile("/tmp/miraLog.csv", std::string(100000, 'x'));  // at the limit: kept
  mira::distributeChange(10000);
  EXPECT_EQ(image_.readFile("/tmp/miraLog.csv").size(), 100000 + expected.size() - expected.find("2026"));
}

TEST_F(MiraMasterTest, ProfileComesFromTheIniFileForTheUnitsClasses) {
  image_.writeFile("/var/lib/orvix/orvix.ini", "miraPP1=50;60;70;40;50;60;30;40;45\nmiraPP3=1;2;3\n");
  mira::miraSettings settings;
  mira::getMiraDataFromIniFile("/var/lib/orvix/orvix.ini", settings);
  set("vxo_actmoderesistivity", 1);
  set("vxo_espcodefields", 3);  // medium
  mira::getProfile(settings);
  EXPECT_EQ(internal(kProfile), three(400, 500, 600));
  EXPECT_EQ(get("vxi_miraprofilefirst"), 4000);
  EXPECT_EQ(get("vxi_miraprofileintermediate"), 5000);
  EXPECT_EQ(get("vxi_miraprofilelast"), 6000);
  set("vxo_espcodefields", 5);  // many
  mira::getProfile(settings);
  EXPECT_EQ(internal(kProfile), three(300, 400, 450));
  set("vxo_actmoderesistivity", 2);  // a missing key leaves the profile at 0
  mira::getProfile(settings);
  EXPECT_EQ(internal(kProfile), 0);
}

TEST_F(MiraMasterTest, MasterChangesOncePerIntervalAndGoesToMaximumOnHighOpacity) {
  mira::MiraState state;
  image_.writeFile("/var/lib/orvix/orvix.ini", "miraPP0=30;30;40;30;30;40;30;30;40\n");
  set("vxo_master", 1);
  set("vxo_mastermira", 1);
  set("vxo_opacitysource", 1);
  set("vxo_externalopacity", 1000);
  set("vxo_mirasetval", 20);
  set("vxo_mirahighlim", 40);
  set("vxo_mirasampinterv", 1);
  set("vxo_actmoderesistivity", 0);
  set("vxo_esptotalcells", 1);
  setInternal(cellStatus(1), kInterDown);
  setInternal(cellLimits(1), three(1000, 1000, 1000));
  int changes = 0;
  for (int second = 1; second <= 180; ++second) {
    setInternal(kSecondsOfDay, 36000 + second);
    const int before = internal(cellLimits(1));
    mira::MIRA(state, "/var/lib/orvix/orvix.ini");
    if (internal(cellLimits(1)) != before) ++changes;
  }
  // Each full minute brings a mean of 60 samples and, with an interval of one minute, a change.
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(field(internal(cellLimits(1)), mira::kIntermediate), 125);  // 1000 halved three times
  EXPECT_EQ(image_.readFile("/tmp/mirabars.tmp"),
            "Nr,Profile,Actual\n1,30,0\n2,30,0\n3,30,0\n3,30,0\n4,30,0\n"
            "5,30,0\n5,40,0\n6,40,0\n7,40,0\n");
  set("vxo_externalopacity", 4000);  // at the high limit: every limit to maximum at once
  setInternal(kSecondsOfDay, 36181);
  mira::MIRA(state, "/var/lib/orvix/orvix.ini");
  EXPECT_EQ(internal(cellLimits(1)), three(1000, 1000, 1000));
  EXPECT_EQ(get("vxi_opaccurr"), 10000);
}

}  // namespace
