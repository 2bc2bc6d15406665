// The alarm history: recording in scan order, the log file and its backup, the setup
// file, the statistics, the reload after a restart, clearing and archiving.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "alarm_fixture.h"
#include "alarmhistory.h"
#include "errorlog.h"
#include "orxtime/orxtime.h"
#include "platform/platform.h"

namespace {

using alarmlog::error;
using orvix::testing::AlarmStoreTest;

constexpr const char* kLog          = "/home/ftp/alarmlog";
constexpr const char* kBackup       = "/home/ftp/alarmlog.bak";
constexpr const char* kStore        = "/home/root/orvix/store/";
constexpr const char* kSetup        = "/var/lib/orvix/alarmLogSetup.ini";
constexpr const char* kProgressFlag = "/home/root/AL_PROGRESS";

constexpr int kSumAlarm        = 0;
constexpr int kSumAlarmTrip    = 81;
constexpr int kSumAlarmWarning = 84;
constexpr int kHistory1Nr      = 294;
constexpr int kHistory2Nr      = 295;
constexpr int kHistory1Date    = 306;
constexpr int kHistory1Time    = 307;
constexpr int kTopError1Nr     = 374;
constexpr int kTopError1Count  = 384;
constexpr int kErrLogSinceDate = 394;
constexpr int kErrLogSinceTime = 395;
constexpr int kErrLogSize      = 396;
constexpr int kCommonStatus    = 504;
constexpr int kSpecificCode    = 1121;

class HistoryTest : public AlarmStoreTest {
 protected:
  void SetUp() override {
    AlarmStoreTest::SetUp();
    std::filesystem::create_directories(image_.root() + "/home/ftp");
    std::filesystem::create_directories(image_.root() + "/home/root/orvix/store");
    history_.setFiles(files());
    setTag(620, convertTimeToOrxValue(13, 5, 9));    // vxo_time
    setTag(619, convertDateToOrxValue(2024, 3, 7));  // vxo_date
  }
  static AlarmHistory::Files files() { return {kLog, kStore, kSetup}; }

  // One call of the history with the alarm raised, and one with it dropped again.
  void recordOnce(int handle) {
    setTag(handle, 1);
    history_.maintainAlarmHistory(false);
    setTag(handle, 0);
    history_.maintainAlarmHistory(false);
  }

  AlarmHistory history_;
};

TEST_F(HistoryTest, NewAlarmsOnePerCallInScanOrder) {
  setTag(20, 1);  // vxi_alwrappoffw, code 53
  setTag(42, 1);  // vxi_alwiogr5w, code 57: scanned before 20
  EXPECT_FALSE(history_.maintainAlarmHistory(false));
  EXPECT_EQ(history_.inUse(), 1);
  EXPECT_EQ(history_.entry(0).cause, 57);
  history_.maintainAlarmHistory(false);
  EXPECT_EQ(history_.entry(0).cause, 53);
  EXPECT_EQ(history_.entry(1).cause, 57);
  EXPECT_EQ(tag(kHistory1Nr), 53);
  EXPECT_EQ(tag(kHistory2Nr), 57);
  history_.maintainAlarmHistory(false);
  EXPECT_EQ(history_.inUse(), 2);
  EXPECT_EQ(tag(kSumAlarm), 1);
  EXPECT_EQ(tag(kSumAlarmWarning), 1);
  EXPECT_EQ(tag(kSumAlarmTrip), 0);
}

TEST_F(HistoryTest, ActiveAlarmOnceAndAgainAfterItDropped) {
  setTag(24, 1);
  for (int call = 0; call < 3; ++call) history_.maintainAlarmHistory(false);
  EXPECT_EQ(history_.inUse(), 1);
  EXPECT_EQ(tag(kSumAlarmTrip), 1);
  setTag(24, 2);  // not 0: still counts as logged
  history_.maintainAlarmHistory(false);
  setTag(24, 1);
  history_.maintainAlarmHistory(false);
  EXPECT_EQ(history_.inUse(), 1);
  setTag(24, 0);
  history_.maintainAlarmHistory(false);
  setTag(24, 1);
  history_.maintainAlarmHistory(false);
  EXPECT_EQ(history_.inUse(), 2);
}

TEST_F(HistoryTest, AfterAResetStillActiveAlarmsAreRecordedAgain) {
  setTag(2, 1);   // signal processor trip, not cleared by the reset
  setTag(10, 1);  // signal processor warning
  history_.maintainAlarmHistory(false);
  history_.maintainAlarmHistory(false);
  ASSERT_EQ(history_.inUse(), 2);
  int counter = -1;
  handleAlarms(&counter, history_);
  EXPECT_EQ(counter, 25);
  EXPECT_EQ(history_.inUse(), 2);  // the reset call itself records nothing
  EXPECT_EQ(tag(kSumAlarm), 0);
  handleAlarms(&counter, history_);
  handleAlarms(&counter, history_);
  EXPECT_EQ(history_.inUse(), 4);
  EXPECT_EQ(history_.entry(0).cause, 11);
  EXPECT_EQ(history_.entry(1).cause, 2);
  EXPECT_EQ(tag(kSumAlarmTrip), 1);
  EXPECT_EQ(tag(kSumAlarmWarning), 1);
}

TEST_F(HistoryTest, EntryCarriesTimeStatusCodeAndLoggedTags) {
  image_.writeFile(kSetup, "vxi_altextalarm1t = vxi_secvoltavg , vxi_seccurravg\n");
  history_.updateAlarmLogVars();
  setTag(kCommonStatus, static_cast<int>(0x80000000u | 44u << 4));  // T/R running: negative word
  setTag(kSpecificCode, 194);
  setTag(223, 456);  // vxi_secvoltavg
  setTag(234, 789);  // vxi_seccurravg
  setTag(24, 1);
  history_.maintainAlarmHistory(false);

  const error& entry = history_.entry(0);
  EXPECT_EQ(entry.cause, 61);
  EXPECT_EQ(entry.date, 0x7C0307);  // 2024 is 124 in bits 16..23
  EXPECT_EQ(entry.date >> 16 & 0xFF, 124);
  EXPECT_EQ(entry.time, 0x0D050900);
  EXPECT_EQ(entry.commonCode, static_cast<int>(0x800002C0u));
  EXPECT_EQ(entry.specificCode, 194);
  EXPECT_EQ(entry.userValue1, 456);
  EXPECT_EQ(entry.userValue2, 789);
  EXPECT_EQ(tag(kHistory1Date), 0x7C0307);
  EXPECT_EQ(tag(kHistory1Time), 0x0D050900);
  EXPECT_EQ(image_.readFile(kLog), "errNo00=61,13:05:09,240307,-2147482944,194,456,789\n");

  error stored{};
  ASSERT_TRUE(alarmlog::getErrorHistory(kLog, "errNo00", &stored));
  EXPECT_TRUE(stored.found);
  EXPECT_EQ(stored.cause, 61);
  EXPECT_EQ(stored.date, entry.date);
  EXPECT_EQ(stored.time, entry.time);
  EXPECT_EQ(stored.commonCode, entry.commonCode);
  EXPECT_EQ(stored.userValue2, 789);
}

TEST_F(HistoryTest, HundredEntriesDropTheOldest) {
  for (int record = 0; record < 101; ++record) {
    setTag(kSpecificCode, record);
    recordOnce(23);
  }
  EXPECT_EQ(history_.inUse(), 100);
  EXPECT_EQ(history_.entry(0).specificCode, 100);
  EXPECT_EQ(history_.entry(99).specificCode, 1);  // record 0 is gone
  const std::vector<std::string> lines = linesOf(kLog);
  ASSERT_EQ(lines.size(), 100u);
  EXPECT_EQ(lines[0].rfind("errNo00=60,", 0), 0u);
  EXPECT_EQ(lines[99], "errNo99=60,13:05:09,240307,0,1,0,0");
}

TEST_F(HistoryTest, EveryWriteKeepsThePreviousLogAsBackup) {
  recordOnce(23);
  EXPECT_EQ(linesOf(kLog).size(), 1u);
  recordOnce(25);
  EXPECT_EQ(linesOf(kLog).size(), 2u);
  EXPECT_EQ(linesOf(kBackup).size(), 1u);
  EXPECT_FALSE(orvix::platform::fileExists(kProgressFlag));
  const std::vector<std::string> files = {"alarmlog", "alarmlog.bak"};
  for (const auto& entry : std::filesystem::directory_iterator(image_.root() + "/home/ftp")) {
    EXPECT_NE(std::find(files.begin(), files.end(), entry.path().filename().string()), files.end())
        << "left behind: " << entry.path();
  }
}

TEST_F(HistoryTest, MissingLogLeavesTheBackupAlone) {
  recordOnce(23);
  recordOnce(25);
  std::filesystem::remove(image_.root() + kLog);  // as a crash after the first rename leaves it
  EXPECT_TRUE(history_.saveErrorHistory(kLog));
  EXPECT_EQ(linesOf(kBackup).size(), 1u);
  EXPECT_EQ(linesOf(kLog).size(), 2u);
}

TEST_F(HistoryTest, FailedWriteKeepsTheFlagForTheNextStart) {
  history_.setFiles({"/home/ftp/gone/alarmlog", kStore, kSetup});
  setTag(23, 1);
  history_.maintainAlarmHistory(false);
  EXPECT_EQ(history_.inUse(), 1);  // the history itself keeps the alarm
  EXPECT_FALSE(history_.saveErrorHistory("/home/ftp/gone/alarmlog"));
  EXPECT_TRUE(orvix::platform::fileExists(kProgressFlag));
}

TEST_F(HistoryTest, LogStaysInPlaceUntilItsReplacementIsWritten) {
  recordOnce(23);
  const std::string before = image_.readFile(kLog);
  // The new log cannot be written: its temporary file's place is taken by a directory.
  const std::string blocked = image_.path(kLog) + ".tmp" + std::to_string(getpid());
  std::filesystem::create_directory(blocked);
  recordOnce(25);
  std::filesystem::remove(blocked);
  EXPECT_EQ(image_.readFile(kLog), before) << "a reader must find the old log, not none";
  EXPECT_EQ(image_.readFile(kBackup), before);
}

TEST(ErrorLogLines, ReaderTakesWhatTheWriterWrites) {
  error entry{
      true,      215, convertDateToOrxValue(2031, 12, 31), convertTimeToOrxValue(23, 59, 58), -5, 7, -2147483647 - 1,
      2147483647};
  char line[alarmlog::kLogLineSize];
  alarmlog::formatErrorLine(42, entry, line);
  EXPECT_STREQ(line, "errNo42=215,23:59:58,311231,-5,7,-2147483648,2147483647\n");
  error read{};
  ASSERT_TRUE(alarmlog::parseErrorLine(line, &read));
  EXPECT_EQ(read.cause, entry.cause);
  EXPECT_EQ(read.date, entry.date);
  EXPECT_EQ(read.time, entry.time);
  EXPECT_EQ(read.commonCode, -5);
  EXPECT_EQ(read.specificCode, 7);
  EXPECT_EQ(read.userValue1, entry.userValue1);
  EXPECT_EQ(read.userValue2, entry.userValue2);

  ASSERT_TRUE(alarmlog::parseErrorLine("errNo03= 61,13:05:09,240307", &read));  // ends with the date
  EXPECT_EQ(read.cause, 61);
  EXPECT_EQ(read.date, 0x7C0307);
  EXPECT_EQ(read.commonCode, 0);
  ASSERT_TRUE(alarmlog::parseErrorLine("errNo04=1,1:2:3,2403,99999999999,-99999999999", &read));
  EXPECT_EQ(read.time, convertTimeToOrxValue(12, 3, 0));  // digits in pairs, other characters skipped
  EXPECT_EQ(read.commonCode, 2147483647);
  EXPECT_EQ(read.specificCode, -2147483647 - 1);
  EXPECT_FALSE(alarmlog::parseErrorLine("errNo05", &read));
}

TEST_F(HistoryTest, ReaderFindsKeysAndReportsMissingOnes) {
  image_.writeFile(kLog, "errNo00=61,13:05:09,240307,1,2,3,4\nerrNo01=57,01:02:03,231130,5,6,7,8\n");
  error value{};
  ASSERT_TRUE(alarmlog::getErrorHistory(kLog, "errNo01", &value));
  EXPECT_EQ(value.cause, 57);
  EXPECT_EQ(value.date, convertDateToOrxValue(2023, 11, 30));
  EXPECT_EQ(value.userValue2, 8);
  value.cause = 9;
  EXPECT_FALSE(alarmlog::getErrorHistory(kLog, "errNo02", &value));
  EXPECT_EQ(value.cause, 0);
  EXPECT_FALSE(value.found);
  EXPECT_FALSE(alarmlog::getErrorHistory(kLog, "", &value));
  EXPECT_FALSE(alarmlog::getErrorHistory("/home/ftp/none", "errNo00", &value));
}

TEST_F(HistoryTest, SetupFileNamesOneOrTwoTagsPerAlarm) {
  image_.writeFile(kSetup,
                   "vxi_altextalarm1t=vxi_secvoltavg\n"
                   "\n"
                   "# comment\n"
                   " vxi_alwextalarm1w = vxi_secvoltavg ,vxi_seccurravg \r\n"
                   "vxi_nosuchalarm=vxi_secvoltavg\n"
                   "vxi_altrestartedt=vxi_nosuchtag,vxi_uptime\n"
                   "=vxi_secvoltavg\n"
                   "vxi_allossofsynct=vxi_linefrequency");  // no newline after the last line
  history_.updateAlarmLogVars();
  EXPECT_EQ(history_.logOnAlarmHandle1(24), 223);
  EXPECT_EQ(history_.logOnAlarmHandle2(24), -1);
  EXPECT_EQ(history_.logOnAlarmHandle1(23), 223);
  EXPECT_EQ(history_.logOnAlarmHandle2(23), 234);
  EXPECT_EQ(history_.logOnAlarmHandle1(15), -1);
  EXPECT_EQ(history_.logOnAlarmHandle2(15), 397);
  EXPECT_EQ(history_.logOnAlarmHandle1(85), 249);

  image_.writeFile(kSetup, "vxi_allossofsynct=vxi_ambienttemp\n");  // a reload forgets the rest
  history_.updateAlarmLogVars();
  EXPECT_EQ(history_.logOnAlarmHandle1(24), -1);
  EXPECT_EQ(history_.logOnAlarmHandle2(23), -1);
  EXPECT_EQ(history_.logOnAlarmHandle1(85), 248);
}

using SetupLineTest = AlarmStoreTest;

TEST_F(SetupLineTest, NamesWithoutSpacesAndCut) {
  char first[alarmlog::kSetupNameSize];
  char second[alarmlog::kSetupNameSize];
  EXPECT_EQ(alarmlog::getStrings("a = b c , d e", first, second), 2);
  EXPECT_STREQ(first, "bc");
  EXPECT_STREQ(second, "de");
  EXPECT_EQ(alarmlog::getStrings("a=b,c,d", first, second), 2);
  EXPECT_STREQ(second, "cd");
  EXPECT_EQ(alarmlog::getStrings("a=", first, second), 0);
  EXPECT_EQ(alarmlog::getStrings("a", first, second), 0);
  const std::string longName(500, 'x');
  EXPECT_EQ(alarmlog::getStrings(("a=" + longName + "," + longName).c_str(), first, second), 2);
  EXPECT_EQ(std::string(first), std::string(alarmlog::kSetupNameSize - 1, 'x'));
  EXPECT_EQ(alarmlog::getAlarmHandle((longName + "=b").c_str()), -1);
  EXPECT_EQ(alarmlog::getAlarmHandle(" vxi_alw iogr5w = x"), 42);
  EXPECT_EQ(alarmlog::getAlarmHandle(" = x"), -1);
}

TEST_F(HistoryTest, StatisticsCountTheTopTenTiesToTheLowerHandle) {
  history_.updateErrorStatistics();
  EXPECT_EQ(tag(kErrLogSize), 0);
  EXPECT_EQ(tag(kErrLogSinceDate), 0);
  EXPECT_EQ(tag(kTopError1Nr), 0);

  // Newest first: 57 (handle 42) three times, 61 (handle 24) three times, 53 once and
  // twelve further alarms once each.
  std::string log;
  const int causes[] = {57, 61, 57, 61, 53, 57, 61, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 18};
  int index          = 0;
  for (const int cause : causes) {
    char line[alarmlog::kLogLineSize];
    const error entry{true, cause, convertDateToOrxValue(2024, 1, 1 + index), convertTimeToOrxValue(1, 0, index), 0, 0,
                      0,    0};
    alarmlog::formatErrorLine(index++, entry, line);
    log += line;
  }
  image_.writeFile(kLog, log);
  ASSERT_EQ(history_.loadErrorHistory(), 19);
  history_.updateErrorStatistics();
  EXPECT_EQ(tag(kErrLogSize), 19);
  EXPECT_EQ(tag(kErrLogSinceDate), convertDateToOrxValue(2024, 1, 19));
  EXPECT_EQ(tag(kErrLogSinceTime), convertTimeToOrxValue(1, 0, 18));
  const int expectedNr[] = {1, 2, 3, 4, 5, 6, 7, 9};
  EXPECT_EQ(tag(kTopError1Nr), 61);  // handle 24 before handle 42
  EXPECT_EQ(tag(kTopError1Count), 3);
  EXPECT_EQ(tag(kTopError1Nr + 1), 57);
  EXPECT_EQ(tag(kTopError1Count + 1), 3);
  // Then the alarms counted once, by handle: 1..8 (codes 1..7 and 9); the rest miss out.
  for (int rank = 2; rank < 10; ++rank) {
    EXPECT_EQ(tag(kTopError1Nr + rank), expectedNr[rank - 2]) << rank;
    EXPECT_EQ(tag(kTopError1Count + rank), 1) << rank;
  }
}

TEST_F(HistoryTest, RestartReloadsTheHistoryAndTheNextAlarmAddsToIt) {
  setTag(kSpecificCode, 11);
  recordOnce(24);
  setTag(kSpecificCode, 22);
  recordOnce(42);
  const std::string before = image_.readFile(kLog);

  AlarmHistory restarted;
  restarted.setFiles(files());
  for (int handle = 294; handle <= 325; ++handle) setTag(handle, 0);  // a fresh store
  EXPECT_EQ(restarted.loadErrorHistory(), 2);
  EXPECT_EQ(restarted.entry(0).cause, 57);
  EXPECT_EQ(restarted.entry(0).specificCode, 22);
  EXPECT_EQ(restarted.entry(1).cause, 61);
  EXPECT_EQ(restarted.entry(1).time, 0x0D050900);
  EXPECT_EQ(tag(kHistory1Nr), 57);
  EXPECT_EQ(tag(kHistory2Nr), 61);
  EXPECT_EQ(tag(kHistory1Date), 0x7C0307);
  EXPECT_EQ(image_.readFile(kLog), before);  // loading leaves the log alone

  setTag(23, 1);
  restarted.maintainAlarmHistory(false);
  const std::vector<std::string> lines = linesOf(kLog);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("errNo00=60,", 0), 0u);
  EXPECT_EQ(lines[2].rfind("errNo02=61,", 0), 0u);
}

TEST_F(HistoryTest, InterruptedWriteOrMissingLogLoadsTheBackup) {
  image_.writeFile(kLog, "errNo00=60,01:00:00,240101,0,0,0,0\nerrNo01=61,01:00:00,240101,0,0,0,0\n");
  image_.writeFile(kBackup, "errNo00=61,01:00:00,240101,0,0,0,0\n");
  orvix::platform::touchFile(kProgressFlag);
  EXPECT_EQ(history_.loadErrorHistory(), 1);
  EXPECT_EQ(history_.entry(0).cause, 61);

  orvix::platform::removeFile(kProgressFlag);
  EXPECT_EQ(history_.loadErrorHistory(), 2);

  std::filesystem::remove(image_.root() + kLog);
  EXPECT_EQ(history_.loadErrorHistory(), 1);
  EXPECT_EQ(history_.entry(1).cause, 0);

  std::filesystem::remove(image_.root() + kBackup);
  EXPECT_EQ(history_.loadErrorHistory(), 0);
  EXPECT_EQ(tag(kHistory1Nr), 0);
}

class ClearHistoryTest : public HistoryTest {
 protected:
  void SetUp() override {
    HistoryTest::SetUp();
    image_.writeFile("/var/lib/orvix/date.sh", "#!/bin/sh\necho 2024/03/07_130509\n");
    chmod(image_.path("/var/lib/orvix/date.sh").c_str(), 0755);
    setTag(1102, 47109);  // seconds of the day
    setTag(101, 1);       // vxo_clearhistory
    setTag(89, 1);        // vxi_errorsinlogfile
    recordOnce(24);
    recordOnce(42);
  }
};

TEST_F(ClearHistoryTest, ArchivesTheLogIntoTheStoreAndStartsAnEmptyOne) {
  const std::string log = image_.readFile(kLog);
  image_.writeFile(kSetup, "vxi_altextalarm1t=vxi_secvoltavg\n");
  history_.clearAndStoreErrorHistory();
  EXPECT_EQ(image_.readFile("/home/root/orvix/store/aL2024_03_07_130509-47109"), log);
  EXPECT_TRUE(orvix::platform::fileExists(kLog));
  EXPECT_EQ(image_.readFile(kLog), "");
  EXPECT_EQ(history_.inUse(), 0);
  EXPECT_EQ(tag(kHistory1Nr), 0);
  EXPECT_EQ(tag(kErrLogSize), 0);
  EXPECT_EQ(tag(101), 0);
  EXPECT_EQ(tag(89), 0);
  EXPECT_EQ(history_.logOnAlarmHandle1(24), 223);  // the setup file is read again
}

TEST_F(ClearHistoryTest, SecondClearInTheSameSecondKeepsTheFirstArchive) {
  const std::string first = image_.readFile(kLog);
  history_.clearAndStoreErrorHistory();
  recordOnce(23);
  const std::string second = image_.readFile(kLog);
  setTag(101, 1);
  history_.clearAndStoreErrorHistory();  // the seconds of the day have not moved on
  EXPECT_EQ(image_.readFile("/home/root/orvix/store/aL2024_03_07_130509-47109"), first);
  std::vector<std::string> archives;
  for (const auto& entry : std::filesystem::directory_iterator(image_.path(kStore))) {
    archives.push_back(image_.readFile(std::string(kStore) + entry.path().filename().string()));
  }
  std::sort(archives.begin(), archives.end());
  EXPECT_EQ(archives, (std::vector<std::string>{first, second}));
}

TEST_F(ClearHistoryTest, HistoryStaysWhenTheArchiveCannotBeWritten) {
  const std::string log = image_.readFile(kLog);
  std::filesystem::remove_all(image_.root() + "/home/root/orvix/store");
  history_.clearAndStoreErrorHistory();
  EXPECT_EQ(image_.readFile(kLog), log);
  EXPECT_EQ(history_.inUse(), 2);
  EXPECT_EQ(tag(kHistory1Nr), 57);
  EXPECT_EQ(tag(101), 0);  // the request is answered, not repeated every half second
}

}  // namespace
