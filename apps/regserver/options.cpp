#include "options.h"

#include <getopt.h>

#include <cstdio>
#include <cstdlib>

#include "config.h"

namespace regserver {

namespace {

void printUsage(const char* appName) {
  std::printf("\n Usage: %s [OPTIONS]\n\n", appName);
  std::printf("  Options:\n");
  std::printf("   -h --help                 Print this help\n");
  std::printf("   -c --conf_file filename   Read configuration from the file\n");
  std::printf("   -t --test_conf filename   Test configuration file\n");
  std::printf("   -l --log_file  filename   Write logs to the file\n");
  std::printf("   -d --daemon               Daemonize this application\n");
  std::printf("   -p --pid_file  filename   PID file used by daemonized app\n");
  std::printf("\n");
}

[[noreturn]] void testConfigAndExit(const char* fileName) {
  bool opened         = false;
  const bool numbered = readLeadingInteger(fileName, &opened).has_value();
  if (!opened) {
    std::fprintf(stderr, "Can't read config file %s\n", fileName);
    std::exit(EXIT_FAILURE);
  }
  if (!numbered) {
    std::fprintf(stderr, "Wrong config file %s\n", fileName);
    std::exit(EXIT_FAILURE);
  }
  std::exit(EXIT_SUCCESS);
}

}  // namespace

Options parseOptions(int argc, char** argv) {
  static const option longOptions[] = {
      {"conf_file", required_argument, nullptr, 'c'},
      {"test_conf", required_argument, nullptr, 't'},
      {"log_file",  required_argument, nullptr, 'l'},
      {"help",      no_argument,       nullptr, 'h'},
      {"daemon",    no_argument,       nullptr, 'd'},
      {"pid_file",  required_argument, nullptr, 'p'},
      {nullptr,     0,                 nullptr, 0  },
  };
  Options options;
  int option = 0;
  int index  = 0;
  while ((option = getopt_long(argc, argv, "c:l:t:p:dh", longOptions, &index)) != -1) {
    switch (option) {
      case 'c':
        options.confFile = optarg;
        break;
      case 't':
        testConfigAndExit(optarg);
      case 'l':
        options.logFile = optarg;
        break;
      case 'p':
        options.pidFile = optarg;
        break;
      case 'd':
        options.daemon = true;
        break;
      case 'h':
        printUsage(argv[0]);
        std::exit(EXIT_SUCCESS);
      default:
        printUsage(argv[0]);
        std::exit(EXIT_FAILURE);
    }
  }
  return options;
}

}  // namespace regserver
