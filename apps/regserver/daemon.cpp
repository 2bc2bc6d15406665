#include "daemon.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace regserver {

namespace {

int pidFd = -1;
char pidFilePath[512];  // resolved, so the handler needs no allocation
volatile sig_atomic_t reloadFlag        = 0;
volatile sig_atomic_t listeningSocketFd = -1;

void startupSignalHandler(int signum) {
  if (signum == SIGHUP) {
    syslog(LOG_INFO, "Debug: reloading daemon config file ...\n");
    reloadFlag = 1;
    return;
  }
  syslog(LOG_INFO, "Debug: stopping daemon ...\n");
  if (pidFd != -1) {
    if (lockf(pidFd, F_ULOCK, 0) < 0) perror("lockf");
    close(pidFd);
    pidFd = -1;
  }
  if (pidFilePath[0] != '\0') unlink(pidFilePath);
  syslog(LOG_INFO, "Debug: setting running = 0 ...\n");
  std::signal(SIGINT, SIG_DFL);
  syslog(LOG_INFO, "SIGINT reset ...\n");
}

void shutdownHandler(int signum) {
  if (listeningSocketFd != -1) close(listeningSocketFd);
  _exit(signum);
}

void forkAndLeaveParent() {
  const pid_t pid = fork();
  if (pid < 0) std::exit(EXIT_FAILURE);
  if (pid > 0) std::exit(EXIT_SUCCESS);
}

}  // namespace

void daemonize(const std::string& pidFileName) {
  forkAndLeaveParent();
  if (setsid() < 0) std::exit(EXIT_FAILURE);
  std::signal(SIGCHLD, SIG_IGN);
  forkAndLeaveParent();
  umask(0);
  if (chdir("/") != 0) perror("chdir");
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  for (long fd = static_cast<long>(limit.rlim_cur) - 1; fd > 0; --fd) close(static_cast<int>(fd));
  // Descriptor 0 is reused for /dev/null so that standard input stays valid.
  close(0);
  if (open("/dev/null", O_RDONLY) != 0 || !std::freopen("/dev/null", "w+", stdout) ||
      !std::freopen("/dev/null", "w+", stderr)) {
    std::exit(EXIT_FAILURE);
  }
  if (pidFileName.empty()) return;
  std::snprintf(pidFilePath, sizeof pidFilePath, "%s", orvix::platform::resolvePath(pidFileName).c_str());
  pidFd = open(pidFilePath, O_RDWR | O_CREAT, 0640);
  if (pidFd < 0 || lockf(pidFd, F_TLOCK, 0) < 0) std::exit(EXIT_FAILURE);
  char text[32];
  const int length = std::snprintf(text, sizeof text, "%d\n", getpid());
  if (write(pidFd, text, static_cast<size_t>(length)) < 0) perror("write");
}

void installStartupSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = startupSignalHandler;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}

void installShutdownHandler(int listeningSocket) {
  listeningSocketFd = listeningSocket;
  struct sigaction action {};
  action.sa_handler = shutdownHandler;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

bool reloadRequested() {
  if (reloadFlag == 0) return false;
  reloadFlag = 0;
  return true;
}

}  // namespace regserver
