#include "unitcommands.h"

#include <cstdio>
#include <string>

#include "mastertags.h"
#include "platform/platform.h"
#include "platform/shell.h"
#include "sharedmem/tagaccess.h"

namespace master {

namespace {

constexpr char kPasswordScript[] = "/home/root/orvix/script/updatePasswords.sh";
constexpr char kFrontEndConfig[] = "/home/root/orvix/www_ORVIX/unit/xfrm/";
constexpr char kPasswordStore[]  = "/home/root/orvix/store/password";

std::string quotedPath(const std::string& unitPath) {
  return orvix::platform::shellQuote(orvix::platform::resolvePath(unitPath));
}

void moveFile(const std::string& from, const std::string& to) {
  const std::string source = orvix::platform::resolvePath(from);
  const std::string target = orvix::platform::resolvePath(to);
  if (std::rename(source.c_str(), target.c_str()) != 0) std::perror(source.c_str());
}

void clearTag(int handle) {
  int error = 0;
  dbSetValueByHandle(handle, 0, &error);
}

void clearIoGroupCounters() {
  for (int group = 0; group < tag::kStatisticsGroups; ++group) clearTag(tag::vxi_acciogr1 + group);
}

}  // namespace

void updatePasswords(const char (&passwords)[kPasswordCount][kPasswordSize]) {
  const std::string low    = orvix::platform::shellQuote(passwords[0]);
  const std::string medium = orvix::platform::shellQuote(passwords[1]);
  const std::string high   = orvix::platform::shellQuote(passwords[2]);
  const std::string config = kFrontEndConfig;

  orvix::platform::ShellCommand rewrite;
  rewrite.format("%s %s %s %s > %s", quotedPath(kPasswordScript).c_str(), low.c_str(), medium.c_str(), high.c_str(),
                 quotedPath(config + "config.new").c_str());
  orvix::platform::runShellCommand(rewrite);
  orvix::platform::ShellCommand store;
  store.format("echo %s %s %s > %s", low.c_str(), medium.c_str(), high.c_str(), quotedPath(kPasswordStore).c_str());
  orvix::platform::runShellCommand(store);
  moveFile(config + "config.xml", config + "config.old");
  moveFile(config + "config.new", config + "config.xml");

  std::printf("new password low %s \n", passwords[0]);
  std::printf("new password medium %s \n", passwords[1]);
  std::printf("new password high %s \n", passwords[2]);
}

void resetStatistics(StatisticsReset reset) {
  std::printf("RESET STATISTICS !!!!!!");
  switch (reset) {
    case StatisticsReset::kAll:
      std::printf("All \n \n \n ");
      clearTag(tag::vxi_uptime);
      clearTag(tag::vxi_accintriptime);
      clearTag(tag::vxi_acctrontime);
      clearTag(tag::vxi_acckwh);
      clearIoGroupCounters();
      break;
    case StatisticsReset::kIo:
      std::printf("IO \n \n \n ");
      clearIoGroupCounters();
      break;
    case StatisticsReset::kKwh:
      std::printf("kVh \n \n \n ");
      clearTag(tag::vxi_acckwh);
      break;
    case StatisticsReset::kNone:
      return;
  }
  int error = 0;
  dbSetValueByHandle(tag::vxo_saveset, 1, &error);
}

}  // namespace master
