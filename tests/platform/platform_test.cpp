#include "platform/platform.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/servicenotify.h"
#include "platform/shell.h"
#include "temp_image.h"

namespace {

using namespace orvix::platform;
using orvix::testing::TempImage;

TEST(PathResolution, UnitPathsLandInsideTheImage) {
  unsetenv("ORVIX_ROOT");
  EXPECT_EQ(resolvePath("/var/lib/orvix/orvix.ini"), "/var/lib/orvix/orvix.ini");
  setenv("ORVIX_ROOT", "/srv/unit7/", 1);
  EXPECT_EQ(resolvePath("/var/lib/orvix/orvix.ini"), "/srv/unit7/var/lib/orvix/orvix.ini");
  EXPECT_EQ(resolvePath("/tmp/SHM_CREATED"), "/srv/unit7/tmp/SHM_CREATED");
  EXPECT_EQ(resolvePath("relative/file"), "relative/file");
  // Resolving twice must not nest the image in itself.
  EXPECT_EQ(resolvePath(resolvePath("/home/root/TRON")), "/srv/unit7/home/root/TRON");
  EXPECT_EQ(resolvePath("/srv/unit70/x"), "/srv/unit7/srv/unit70/x");
  setenv("ORVIX_ROOT", "/", 1);
  EXPECT_EQ(resolvePath("/tmp/x"), "/tmp/x");
  unsetenv("ORVIX_ROOT");
}

TEST(StoreKey, DefaultsTo333AndRejectsNonsense) {
  unsetenv("ORVIX_SHM_KEY");
  EXPECT_EQ(shmKey(), 333);
  for (const auto& [text, expected] : {std::pair{"4242", 4242}, {"", 333}, {"12ab", 333}, {"-5", 333},
                                       {"0", 333}, {"99999999999", 333}}) {
    setenv("ORVIX_SHM_KEY", text, 1);
    EXPECT_EQ(shmKey(), expected) << text;
  }
  unsetenv("ORVIX_SHM_KEY");
}

TEST(FlagFiles, TouchTestAndRemoveInsideTheImage) {
  TempImage image;
  image.path("/home/root/");
  EXPECT_FALSE(fileExists("/home/root/TRON"));
  EXPECT_TRUE(touchFile("/home/root/TRON"));
  EXPECT_TRUE(fileExists("/home/root/TRON"));
  EXPECT_EQ(image.readFile("/home/root/TRON"), "");
  EXPECT_TRUE(removeFile("/home/root/TRON"));
  EXPECT_FALSE(fileExists("/home/root/TRON"));
  EXPECT_TRUE(removeFile("/home/root/TRON"));  // already gone is fine
  EXPECT_FALSE(touchFile("/no/such/dir/flag"));
}

TEST(Shell, QuotedOutsideTextCannotInjectCommands) {
  TempImage image;
  const std::string marker = image.path("/tmp/injected");
  const std::string hostile = "x'; touch " + marker + "; echo '$(touch " + marker + ")`touch " + marker + "`";
  ShellCommand command;
  ASSERT_TRUE(command.format("printf '%%s' %s", shellQuote(hostile).c_str()));
  char line[kShellLineSize];
  int exitStatus = -1;
  ASSERT_TRUE(readShellCommand(command.text(), line, sizeof line, &exitStatus));
  EXPECT_EQ(exitStatus, 0);
  EXPECT_EQ(std::string(line), hostile.substr(0, sizeof line - 1));
  EXPECT_FALSE(fileExists("/tmp/injected"));
}

TEST(Shell, ACommandThatDoesNotFitNeverRuns) {
  TempImage image;
  const std::string marker = image.path("/tmp/ran");
  ShellCommand command;
  const std::string padding(kShellCommandSize, 'x');
  EXPECT_FALSE(command.format("touch %s # %s", marker.c_str(), padding.c_str()));
  EXPECT_FALSE(command.fits());
  EXPECT_STREQ(command.text(), "");
  EXPECT_EQ(runShellCommand(command), -1);
  EXPECT_FALSE(fileExists("/tmp/ran"));
  EXPECT_TRUE(command.format("touch %s", marker.c_str()));
  EXPECT_EQ(runShellCommand(command), 0);
  EXPECT_TRUE(fileExists("/tmp/ran"));
}

TEST(Shell, FirstLineAndExitStatus) {
  char line[kShellLineSize];
  int exitStatus = -1;
  ASSERT_TRUE(readShellCommand("printf 'first\\nsecond\\n'; exit 3", line, sizeof line, &exitStatus));
  EXPECT_STREQ(line, "first");
  EXPECT_EQ(exitStatus, 3);
  ASSERT_TRUE(readShellCommand("true", line, sizeof line, &exitStatus));
  EXPECT_STREQ(line, "");
  EXPECT_EQ(exitStatus, 0);
  ASSERT_TRUE(readShellCommand("kill -9 $$", line, sizeof line, &exitStatus));
  EXPECT_EQ(exitStatus, -1);
  // A long first line is cut to the buffer; a big output does not block the reader.
  ASSERT_TRUE(readShellCommand("yes 0123456789 | tr -d '\\n' | head -c 200000", line, 8, &exitStatus));
  EXPECT_STREQ(line, "0123456");
  EXPECT_EQ(exitStatus, 0);

  char data[kShellLineSize];
  EXPECT_TRUE(exec_shell_command("echo Yes", data));
  EXPECT_STREQ(data, "Yes");
  EXPECT_FALSE(exec_shell_command("echo No; false", data));
  EXPECT_STREQ(data, "No");
  EXPECT_EQ(runShellCommand("exit 7"), 7);
}

}  // namespace

// What systemd's notify socket receives, by path and in the abstract namespace.
TEST(ServiceNotify, ReadyReachesTheManagersSocket) {
  TempImage image;
  const std::string path = image.root() + "/notify";
  const std::string abstractName = "@orvix-notify-test-" + std::to_string(getpid());
  for (const std::string& name : {path, abstractName}) {
    const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.data(), name.size());
    if (name[0] == '@') address.sun_path[0] = '\0';
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), offsetof(sockaddr_un, sun_path) + name.size()), 0);
    setenv("NOTIFY_SOCKET", name.c_str(), 1);
    EXPECT_TRUE(notifyServiceReady());
    char received[32] = {};
    EXPECT_EQ(recv(fd, received, sizeof received - 1, MSG_DONTWAIT), 7) << name;
    EXPECT_STREQ(received, "READY=1");
    close(fd);
  }
  setenv("NOTIFY_SOCKET", (image.root() + "/nobody-listens").c_str(), 1);
  EXPECT_FALSE(notifyServiceReady());
  unsetenv("NOTIFY_SOCKET");
  EXPECT_TRUE(notifyServiceReady());  // no manager: nothing to tell
}
