// The monitor's screens and logger against a private store built by the unit's
// definitions: texts, counts, windows and the acknowledgement of activity bits.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "activityscreen.h"
#include "canscreen.h"
#include "csvlogger.h"
#include "limiterscreen.h"
#include "options.h"
#include "orxtags/storebuilder.h"
#include "private_store.h"
#include "rapscreen.h"
#include "sharedmem/tagaccess.h"
#include "sparkscreen.h"
#include "terminal.h"
#include "valuescreens.h"

namespace orvix::testing {
namespace {

// A stream whose text the test reads back.
class Captured {
 public:
  Captured() : file_(open_memstream(&buffer_, &size_)) {}
  ~Captured() {
    std::fclose(file_);
    std::free(buffer_);
  }
  std::FILE* file() { return file_; }
  std::string text() {
    std::fflush(file_);
    return std::string(buffer_, size_);
  }

 private:
  char* buffer_ = nullptr;
  size_t size_  = 0;
  std::FILE* file_;
};

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

class MonitorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(store_.block(), nullptr);
    tagstore::buildTagStore();
  }
  static void setRaw(const char* name, int value) {
    int handle = -1;
    int code   = 0;
    ASSERT_TRUE(dbGetHandleByTagname(name, &handle, &code)) << name;
    shared_mem->parameter.iValue[handle] = value;
  }
  PrivateStore store_;
};

TEST(MonitorOptions, LettersPickTheScreenAndTheLoggerTakesItsCounts) {
  auto parse = [](std::vector<const char*> args) {
    args.insert(args.begin(), "monitor");
    return monitor::parseOptions(static_cast<int>(args.size()), args.data());
  };
  EXPECT_EQ(parse({}).screen, monitor::Screen::kBasic);
  EXPECT_EQ(parse({"-x"}).screen, monitor::Screen::kBasic);
  EXPECT_EQ(parse({"-xyE"}).screen, monitor::Screen::kMira);
  EXPECT_EQ(parse({"-xyzE"}).screen, monitor::Screen::kBasic);  // only three letters count
  EXPECT_EQ(parse({"-s"}).screen, monitor::Screen::kActivity);
  EXPECT_EQ(parse({"-S"}).screen, monitor::Screen::kSpark);
  EXPECT_EQ(parse({"-l"}).screen, monitor::Screen::kLimiter);
  const monitor::Options plain = parse({"-L"});
  EXPECT_EQ(plain.screen, monitor::Screen::kLogger);
  EXPECT_EQ(plain.logLines, 1200);
  EXPECT_EQ(plain.logInterval, 3);
  const monitor::Options minute = parse({"-L", "10", "60"});
  EXPECT_EQ(minute.logLines, 10);
  EXPECT_EQ(minute.logInterval, 60);
}

TEST_F(MonitorTest, LoggerWritesHeaderAndOneLineMoreThanAskedWithTheUnitsClock) {
  setRaw("vxo_date", ((26 + 100) << 16) | (12 << 8) | 8);  // 2026-12-08
  setRaw("vxo_time", (7 << 24) | (5 << 16) | (9 << 8));    // 07:05:09
  const char* columns[] = {"vxo_mode",        "vxi_firingratio",  "vxi_actualfiringangle", "vxi_linefrequency",
                           "vxi_limiter",     "vxi_primvoltrms",  "vxi_primcurrrms",       "vxi_actpower",
                           "vxi_secvoltavg",  "vxi_seccurrpulse", "vxi_seccurrdens",       "vxi_spm",
                           "vxi_primcurravg", "vxi_secvoltpeak",  "vxi_secvoltvalley",     "vxi_seccurrpeak",
                           "vxi_seccurravg",  "vxi_frsource",     "vxi_idlecurrent",       "vxi_sumalarm"};
  for (int i = 0; i < 20; ++i) setRaw(columns[i], 101 + i);
  setRaw("vxi_primvoltrms", -4);

  Captured out, err;
  std::vector<int> waits;
  EXPECT_EQ(monitor::runLogger(10, 3, out.file(), err.file(),
                               [&](int ms) {
                                 waits.push_back(ms);
                                 return false;
                               }),
            0);
  const std::vector<std::string> lines = linesOf(out.text());
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[0],
            "Mode,FiringRatio,FiringAngle,LineFrequency,Limiter,PrimVoltRMS,PrimCurrRMS,ActPower,SecVoltAvg,"
            "SecCurrPulse,SecCurrDens,SPM,PrimCurrAvg,SecVoltPeak,SecVoltValley,SecCurrPeak,SecCurrAvg,FrSource,"
            "IdleCurrent,SumAlarm");
  for (size_t i = 1; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i],
              "2026/12/08 07:05:09,101,102,103,104,105,-4,107,108,109,110,111,112,113,114,115,116,117,118,119,120");
  }
  EXPECT_EQ(waits, std::vector<int>(10, 3000));  // no wait after the last line
  EXPECT_EQ(err.text(), "noOfLoggs 10 interval 3 log ends in 00:00:30\n");

  // A long log reports what is left after each hundred lines.
  Captured longOut, longErr;
  monitor::runLogger(250, 60, longOut.file(), longErr.file(), [](int) { return false; });
  EXPECT_EQ(linesOf(longOut.text()).size(), 252u);
  EXPECT_EQ(longErr.text(),
            "noOfLoggs 250 interval 60 log ends in 04:10:00\nlog ends in 02:30:00\nlog ends in 00:50:00\n");

  // The stop word ends the log during a wait.
  Captured stopped, stoppedErr;
  int calls = 0;
  EXPECT_EQ(monitor::runLogger(10, 3, stopped.file(), stoppedErr.file(), [&](int) { return ++calls == 3; }), 0);
  EXPECT_EQ(linesOf(stopped.text()).size(), 4u);
}

TEST(MonitorSparks, RingKeepsEachSparksHighestValuesAndRoundsTheMeans) {
  monitor::SparkRing ring;
  ring.sample(5, 100, 400);
  ring.sample(5, 150, 390);  // same spark: the highest of each is kept
  ring.sample(6, 80, 300);
  ring.sample(6, 90, 310);
  ring.sample(7, 101, 301);
  Captured out;
  ring.print(out.file());
  // Means of 150, 90, 101 = 113.67 mA and of 40.0, 31.0, 30.1 kV = 33.7 kV.
  EXPECT_EQ(out.text(), "PulseCurrent (mA) Max 150 Avg 114 \nVoltage (kV) Max 40.0 Avg 33.7 \nSparks 2 logged 3 \n");

  for (int counter = 8; counter < 8 + 30; ++counter) ring.sample(counter, 10, 10);
  Captured wrapped;
  ring.print(wrapped.file());
  // Only the last 25 sparks are held: the big ones have gone round.
  EXPECT_EQ(wrapped.text(), "PulseCurrent (mA) Max 10 Avg 10 \nVoltage (kV) Max 1.0 Avg 1.0 \nSparks 32 logged 25 \n");
}

uint16_t entry(int time, int field, int cell) { return static_cast<uint16_t>(time | field << 8 | cell << 12); }

TEST(MonitorRapping, WaitingTimesAndDistributionFollowTheQueue) {
  const monitor::QueueEntry unpacked = monitor::unpackQueueEntry(0x3214);
  EXPECT_EQ(unpacked.time, 0x14);
  EXPECT_EQ(unpacked.field, 2);
  EXPECT_EQ(unpacked.cell, 3);

  monitor::RapQueueStats stats;
  monitor::RapQueue queue{};
  stats.sample(queue);
  queue[0] = monitor::unpackQueueEntry(entry(10, 1, 1));
  stats.sample(queue);  // waits 0: nothing ahead
  queue[1] = monitor::unpackQueueEntry(entry(20, 2, 3));
  stats.sample(queue);  // waits 10
  queue[2] = monitor::unpackQueueEntry(entry(30, 3, 2));
  stats.sample(queue);  // waits 30
  stats.sample(queue);  // no change, no sample
  Captured out;
  stats.print(out.file());
  EXPECT_EQ(out.text(),
            "Average Waiting Time:13\nLongest Waiting Time:30\nQueue Length:3 \nRapping Now:A1\n"
            "Total Queue Time:60 \nDistribution ");

  // The average is over the latest 12 waiting times: 6 of 6 s and 6 of none.
  monitor::RapQueue one{};
  one[0]                = monitor::unpackQueueEntry(entry(6, 1, 1));
  monitor::RapQueue two = one;
  two[1]                = monitor::unpackQueueEntry(entry(6, 1, 2));
  for (int i = 0; i < 6; ++i) {
    stats.sample(two);
    stats.sample(one);
  }
  Captured latest;
  stats.print(latest.file());
  EXPECT_EQ(latest.text().substr(0, 47), "Average Waiting Time:3\nLongest Waiting Time:30\n");

  monitor::RapQueue other{};
  other[0] = monitor::unpackQueueEntry(entry(20, 2, 3));
  for (int i = 0; i < 34; ++i) stats.sample(other);
  Captured fifty;
  stats.print(fifty.file());
  EXPECT_EQ(fifty.text().substr(fifty.text().size() - 14), "\nDistribution ");  // 50 looks: too few
  stats.sample(other);
  Captured shares;
  stats.print(shares.file());
  // 51 looks: 16 with A1 at the head, 35 with B3.
  const std::string text = shares.text();
  EXPECT_NE(text.find("Rapping Now:B3\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Distribution \nA fields:31 % \nB fields:68 % \nC fields:0 % \n"), std::string::npos) << text;
  EXPECT_NE(text.find("G fields:0 % \nPath 1:31 % \nPath 2:0 % \nPath 3:68 % \nPath 4:0 % \nPath 5:0 % \n"),
            std::string::npos)
      << text;

  Captured empty;
  monitor::RapQueueStats idle;
  idle.sample(monitor::RapQueue{});
  idle.print(empty.file());
  EXPECT_NE(empty.text().find("Rapping Now:None\nTotal Queue Time:0 \n"), std::string::npos);
}

TEST(MonitorLimiters, SharesOverallAndPerWindow) {
  monitor::LimiterStats stats;
  stats.tick(14);
  for (int code : {2, 2, 2, 6}) stats.count(code);
  stats.count(14);  // no such code
  stats.tick(15);   // the 30-second window closes
  EXPECT_EQ(stats.overallHundredths(2), 7500);
  EXPECT_EQ(stats.overallHundredths(6), 2500);
  EXPECT_EQ(stats.windowPercent(0, 2), 75);
  EXPECT_EQ(stats.windowPercent(0, 6), 25);
  EXPECT_EQ(stats.windowPercent(1, 2), 0);  // 5 minutes not over yet

  stats.count(13);
  stats.tick(16);
  stats.tick(200);  // both shorter windows close
  EXPECT_EQ(stats.windowPercent(0, 13), 100);
  EXPECT_EQ(stats.windowPercent(0, 2), 0);
  EXPECT_EQ(stats.windowPercent(1, 2), 60);
  EXPECT_EQ(stats.windowPercent(1, 13), 20);
  EXPECT_EQ(stats.windowPercent(2, 2), 0);
  stats.tick(86390);  // every window closes
  EXPECT_EQ(stats.windowPercent(2, 2), 60);
  stats.count(1);
  stats.tick(86399);  // no boundary passed
  EXPECT_EQ(stats.windowPercent(2, 1), 0);
  stats.tick(0);  // midnight closes every window
  EXPECT_EQ(stats.windowPercent(2, 1), 100);
  EXPECT_EQ(stats.windowPercent(0, 1), 100);

  Captured out;
  stats.print(out.file(), 6);
  const std::vector<std::string> lines = linesOf(out.text());
  ASSERT_EQ(lines.size(), 15u);
  EXPECT_EQ(lines[0], "Limiter-------------------------30-sec--5-min---2-hour-");
  std::istringstream spark(lines[7].substr(20));
  std::string mark, overall;
  int w30 = -1, w5 = -1, w2 = -1;
  spark >> mark >> overall >> w30 >> w5 >> w2;
  EXPECT_EQ(lines[7].substr(0, 5), "spark");
  EXPECT_EQ(mark, "+");
  EXPECT_EQ(overall, "16.66");
  EXPECT_EQ(w30, 0);  // the windows closed at midnight with only code 1
  EXPECT_EQ(w5, 0);
  EXPECT_EQ(w2, 0);
  EXPECT_EQ(lines[14].substr(0, 3), "arc");
  EXPECT_EQ(lines[14].find('+'), std::string::npos);
}

TEST_F(MonitorTest, ActivityBitsAreShownAndOnlyTheSeenOnesCleared) {
  int handle                           = 1116;
  shared_mem->parameter.iValue[handle] = 0x105;  // web server and Modbus, and a bit not the monitor's
  monitor::ActivityScreen screen;
  screen.sample();
  EXPECT_EQ(shared_mem->parameter.iValue[handle], 0x100);
  Captured out;
  screen.print(out.file());
  EXPECT_EQ(out.text(),
            "\33[32mModbus    00001\33[0m -> |\n"
            "\33[32mWebServer 00001\33[0m -> | -> CanBus 00000 \n"
            "UDP       00000 -> |\n");
  shared_mem->parameter.iValue[handle] = 0x10A;
  screen.sample();
  Captured second;
  screen.print(second.file());
  EXPECT_EQ(second.text(),
            "Modbus    00001 -> |\n"
            "WebServer 00001 -> | -> \33[32mCanBus 00001 \33[0m\n"
            "\33[32mUDP       00001\33[0m -> |\n");
}

TEST(MonitorCanBus, RatesOfFramesAndOfMeasurementSets) {
  monitor::RefreshRate refresh;
  for (int cycle = 0; cycle < 5; ++cycle) refresh.addCycle(2);  // 2 sets per 200 ms
  Captured whole;
  refresh.print(whole.file());
  EXPECT_EQ(whole.text(), "\n Refresh freq \t\t10.0 Hz \n");
  refresh.addCycle(1);  // 11 sets in 1.2 s
  Captured tenths;
  refresh.print(tenths.file());
  EXPECT_EQ(tenths.text(), "\n Refresh freq \t\t9.1 Hz \n");
  for (int cycle = 0; cycle < 15; ++cycle) refresh.addCycle(1);
  Captured window;
  refresh.print(window.file());
  // Only the last 20 cycles count: 4 x 2 + 16 x 1 sets in 4 s.
  EXPECT_EQ(window.text(), "\n Refresh freq \t\t6.0 Hz \n");

  monitor::FrameRate rate;
  rate.sample(0, 1000);
  for (int cycle = 1; cycle < 5; ++cycle) rate.sample(cycle, 1000 + cycle * 20);
  EXPECT_EQ(rate.perSecond(), 0);
  rate.sample(5, 1100);
  EXPECT_EQ(rate.perSecond(), 50);  // mean of 0 and 100
  rate.sample(10, 1200);
  EXPECT_EQ(rate.perSecond(), 75);
}

TEST_F(MonitorTest, ExtendedScreenKeepsRangesAndItsColumns) {
  monitor::ValueScreen screen(true);
  std::string last;
  for (int tenths : {500, 300, 400}) {
    setRaw("vxi_secvoltavg", tenths);
    Captured out;
    screen.onPoll(monitor::Poll{0, true, false}, out.file());
    last = out.text();
  }
  const std::vector<std::string> lines = linesOf(last);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0],
            std::string(monitor::kClearScreen) + "------------------------now-------------min-------------max-----");
  // Each number ends under the last letter of its column's header word.
  const std::string volt =
      "SecVolt(kV)" + std::string(12, ' ') + "40.0" + std::string(12, ' ') + "30.0" + std::string(12, ' ') + "50.0";
  EXPECT_EQ(lines[1], volt);

  setRaw("vxi_spm", 1234567890);  // wider than its column
  Captured wide;
  screen.onPoll(monitor::Poll{0, true, false}, wide.file());
  const std::vector<std::string> wideLines = linesOf(wide.text());
  ASSERT_GE(wideLines.size(), 10u);
  EXPECT_EQ(wideLines[9].substr(0, 27), "Sparks(spm)" + std::string(7, ' ') + "#########");
  EXPECT_EQ(wideLines[9].size(), lines[9].size());

  Captured idle;
  screen.onPoll(monitor::Poll{0, false, false}, idle.file());
  EXPECT_EQ(idle.text(), "");  // no fresh measurements, no redraw
}

TEST(MonitorColumns, ValuesThatDoNotFitKeepTheirColumn) {
  EXPECT_EQ(monitor::fitted(123, 5), "  123");
  EXPECT_EQ(monitor::fitted(123456, 5), "#####");
  EXPECT_EQ(monitor::fitted(-1234, 5), "-1234");
  EXPECT_EQ(monitor::fittedScaled(-5, -1, 5), " -0.5");
  EXPECT_EQ(monitor::fittedScaled(7, -2, 5), " 0.07");
  EXPECT_EQ(monitor::fittedScaled(123456, -1, 7), "12345.6");
  EXPECT_EQ(monitor::fittedScaled(123456, -1, 6), "######");
}

}  // namespace
}  // namespace orvix::testing
