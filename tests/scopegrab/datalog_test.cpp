// The data log and web files of a capture, and reading an external data log back,
// including logs that are cut, too wide or have no data section.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "orxtags/storebuilder.h"
#include "platform/platform.h"
#include "private_store.h"
#include "scopegrab.h"
#include "scopetags.h"
#include "synthetic_capture.h"
#include "tags_by_name.h"
#include "temp_image.h"

namespace {

using namespace scopegrab;
using namespace orvix::testing::by_name;

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::vector<std::string> dataLines(const std::string& log) {
  const std::vector<std::string> all = lines(log);
  const auto data                    = std::find(all.begin(), all.end(), "[Data] ");
  return data == all.end() ? std::vector<std::string>{} : std::vector<std::string>(data + 1, all.end());
}

class DataLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shmStructbZero();
    tagstore::buildTagStore();
    image_.path("/tmp/x");
    image_.path("/home/ftp/x");
    scope_ = std::make_unique<ScopeGrab>(Global{});
    set("vxo_samplerate", 8);
    writeTag(tag::vxi_linefrequency, 500);
    writeTag(tag::vxi_firingratio, 10000);
  }
  void capture(int length) {
    scopegrab::testing::fillCapture(scope_->capture(),
                                    {.length = length, .voltageKv = [](int p) { return -12.39f - p; }});
    scope::Capture& c                   = scope_->capture();
    c.CAPBuffers[scope::CH_MA].Value[0] = 0.55f;
    c.CAPBuffers[scope::CH_KV].Value[0] = -12.39f;
    c.CAPBuffers[scope::CH_A].Value[0]  = 0.0f;
    c.CAPBuffers[scope::CH_V].Value[0]  = 400.0f;
  }
  std::string log() const { return image_.readFile("/home/ftp/scopedatalog"); }
  orvix::testing::TempImage image_;
  orvix::testing::PrivateStore store_;
  std::unique_ptr<ScopeGrab> scope_;
};

TEST_F(DataLogTest, ControlViewWritesLogAndWebFiles) {
  set("vxo_scopeview2type", kControlView);
  set("vxo_webscopedatasize", 1);
  set("vxo_date", 0x07EA0C08);
  capture(1500);
  scope_->SaveToFile(kFreshCapture);

  const std::vector<std::string> all = lines(log());
  ASSERT_GE(all.size(), 6u);
  EXPECT_EQ(all[0], "[Information]");
  EXPECT_EQ(all[1].size(), std::string("DateTime=2026-12-08 08:52:39").size());
  EXPECT_EQ(all[2], "Freq=1200");
  EXPECT_EQ(all[3], "Samples=1500");
  EXPECT_EQ(all[4], "FileVersion=1");
  EXPECT_EQ(all[5], "[Tags]");
  EXPECT_NE(std::find(all.begin(), all.end(), "vxi_linefrequency=500"), all.end());
  EXPECT_NE(std::find(all.begin(), all.end(), "Columns=mA;kV;I;V;Limiter;mASet;IgnAngle"), all.end());
  const std::vector<std::string> data = dataLines(log());
  ASSERT_EQ(data.size(), 1500u);
  // Sample 0: before the first firing, limiter code 9 in bits 27-31, set point 500 in 20-31,
  // ignition 90.0 degrees in 22-31.
  EXPECT_EQ(data[0], ".5;-12.3;0.00;400.0;" + std::to_string(9u << 27) + ";" + std::to_string(500u << 20) + ";" +
                         std::to_string(900u << 22));
  for (const std::string& line : data) EXPECT_EQ(std::count(line.begin(), line.end(), ';'), 6) << line;

  const std::vector<std::string> web = lines(image_.readFile("/tmp/scope.tmp"));
  ASSERT_EQ(web.size(), 1u + 1024u);
  EXPECT_EQ(web[0], "Sample,mA,kV,I,V");
  EXPECT_EQ(web[1], "0,.5,--12.3,0.00,400.0");
  const std::vector<std::string> control = lines(image_.readFile("/tmp/control.tmp"));
  ASSERT_EQ(control.size(), 1u + 1024u);
  EXPECT_EQ(control[0], "Sample,Limiter,mAset,IgnAngle,PhaseFire");
  EXPECT_EQ(control[1], "0,9,500,90.0,0");
  EXPECT_EQ(control[7], "6,9,500,90.0,-1");   // firing in the half cycle without PhaseA
  EXPECT_EQ(control[19], "18,9,500,90.0,1");  // firing with PhaseA
  EXPECT_EQ(value("vxi_capturedate"), 0x07EA0C08);
  EXPECT_EQ(value("vxo_scopegrabstatus"), status::kDone);
}

TEST_F(DataLogTest, ChargeViewWritesNoLogAndEmptyCaptureOnlyHeaders) {
  set("vxo_scopeview2type", kChargeView);
  capture(100);
  scope_->SaveToFile(kFreshCapture);
  EXPECT_FALSE(orvix::platform::fileExists("/home/ftp/scopedatalog"));

  set("vxo_scopeview2type", kControlView);
  capture(0);
  scope_->SaveToFile(kFreshCapture);
  EXPECT_NE(log().find("Samples=0\n"), std::string::npos);
  EXPECT_TRUE(dataLines(log()).empty());
  EXPECT_EQ(lines(image_.readFile("/tmp/scope.tmp")).size(), 1u);
  EXPECT_EQ(value("vxo_scopegrabstatus"), status::kDone);
}

// A log written with ";" reads back into the same samples: written again, the data lines
// are the same, and the settings come from its header.
TEST_F(DataLogTest, ExternalLogReadsBackWhatWasWritten) {
  set("vxo_scopeview2type", kControlView);
  capture(300);
  scope_->SaveToFile(kFreshCapture);
  const std::vector<std::string> written = dataLines(log());
  image_.writeFile("/home/ftp/externaldatalog", log());
  std::remove(image_.path("/home/ftp/scopedatalog").c_str());
  writeTag(tag::vxi_linefrequency, 600);  // the log's own tags section says 500
  scope_->LoadFile(false);
  EXPECT_EQ(dataLines(log()), written);
  EXPECT_FALSE(orvix::platform::fileExists("/home/ftp/externaldatalog"));
  EXPECT_EQ(image_.readFile("/tmp/externalDataLog").rfind("Columns=", 0), 0u);
  EXPECT_EQ(scope_->info().lineFrequency, 500);
  EXPECT_EQ(scope_->info().sampleRate, 8);
}

TEST(DataLogParser, BadInputIsReadAsFarAsItMakesSense) {
  auto capture = std::make_unique<scope::Capture>();
  EXPECT_EQ(parseDataLog("", *capture), 0);
  EXPECT_EQ(parseDataLog("Columns=mA;kV\n1;2;3;4;5;6;7\n", *capture), 0);  // no "[Data]"
  EXPECT_EQ(parseDataLog("[Data]", *capture), 0);

  // The rest of the "[Data]" line is skipped; a value keeps its first 11 characters; a
  // line that stops early leaves its missing columns 0; blank lines carry no sample.
  const std::string text =
      "[Data] 9;9\n"
      "1.5;-2.5;3.5;4.5;11;22;33\n"
      "\n"
      "123456789012345;7;8\n"
      "1;2;3;4;5;6;7;8;9\r\n";
  ASSERT_EQ(parseDataLog(text, *capture), 3);
  EXPECT_FLOAT_EQ(capture->CAPBuffers[scope::CH_KV].Value[0], -2.5f);
  EXPECT_EQ(capture->firingAngleData[0], 33u);
  EXPECT_FLOAT_EQ(capture->CAPBuffers[scope::CH_MA].Value[1], 12345678901.0f);
  EXPECT_FLOAT_EQ(capture->CAPBuffers[scope::CH_A].Value[1], 8.0f);
  EXPECT_FLOAT_EQ(capture->CAPBuffers[scope::CH_V].Value[1], 0.0f);
  EXPECT_EQ(capture->limiterData[1], 0u);
  EXPECT_EQ(capture->firingAngleData[2], 7u);

  // More lines than a capture holds stop at 4096.
  std::string many = "[Data] \n";
  for (int i = 0; i < scope::kMaxSamples + 10; ++i) many += "1;2;3;4;5;6;7\n";
  EXPECT_EQ(parseDataLog(many, *capture), scope::kMaxSamples);
}

}  // namespace
