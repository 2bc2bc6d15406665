// plantsim: the plant's gas path and stack. Reads every unit's energisation from its tag
// store, computes the stack opacity and feeds it, as the opacity meter's 4-20 mA signal,
// to the master unit's auxiliary input through that unit's simulated signal processor.
//   plantsim -c <plant file> -a <control file of the master's dspsim> -k <store key>...
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "opacitymodel.h"
#include "plantconstants.h"
#include "unitstores.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int) { stopRequested = 1; }

struct CommandLine {
  std::string plantFile;
  std::string controlFile;
  std::vector<key_t> keys;
};

bool parse(int argc, char** argv, CommandLine& line) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "-c") {
      line.plantFile = argv[i + 1];
    } else if (option == "-a") {
      line.controlFile = argv[i + 1];
    } else if (option == "-k") {
      line.keys.push_back(static_cast<key_t>(std::atoi(argv[i + 1])));
    } else {
      return false;
    }
  }
  return argc % 2 == 1 && !line.plantFile.empty() && !line.controlFile.empty() && !line.keys.empty();
}

// The time the plant file last changed, 0 when it is missing.
long long changedAt(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0
             ? static_cast<long long>(status.st_mtim.tv_sec) * 1000000000LL + status.st_mtim.tv_nsec
             : 0;
}

// The signal processor takes its control file by renaming it: write beside it, rename in.
void feedMeter(const std::string& controlFile, int meterCurrent) {
  const std::string next = controlFile + ".plant";
  FILE* file             = std::fopen(next.c_str(), "w");
  if (file == nullptr) {
    std::perror(next.c_str());
    return;
  }
  std::fprintf(file, "aux %d\n", meterCurrent);
  if (std::fclose(file) != 0 || std::rename(next.c_str(), controlFile.c_str()) != 0) std::perror(controlFile.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine line;
  if (!parse(argc, argv, line)) {
    std::fprintf(stderr, "Usage: %s -c <plant file> -a <dspsim control file> -k <store key>...\n", argv[0]);
    return 1;
  }
  std::signal(SIGINT, requestStop);
  std::signal(SIGTERM, requestStop);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);

  plantsim::UnitStores units(line.keys);
  plantsim::StackResponse response;
  plantsim::PlantConstants constants;
  long long constantsChangedAt = -1;
  int period                   = 0;
  while (stopRequested == 0) {
    const long long changed = changedAt(line.plantFile);
    if (changed != constantsChangedAt) {
      std::string problems;
      constants          = plantsim::loadPlantConstants(line.plantFile.c_str(), problems);
      constantsChangedAt = changed;
      std::printf("plantsim: constants of %s taken, inlet dust %d mg/Nm3\n%s", line.plantFile.c_str(),
                  constants.inletDust, problems.c_str());
    }
    units.attach();
    const std::vector<plantsim::FieldEnergisation> fields = units.read();
    const plantsim::Stack stack =
        response.next(constants, plantsim::computeStack(constants, fields, plantsim::UnitStores::cellsOf(fields)));
    feedMeter(line.controlFile, stack.meterCurrent);
    if (period++ % 10 == 0) {
      std::printf("plantsim: %zu fields, %d.%d kW, outlet %.1f mg/Nm3, opacity %d.%02d %%, meter %d.%d mA\n",
                  fields.size(), stack.totalPower / 10, stack.totalPower % 10, stack.outletDust, stack.opacity / 100,
                  stack.opacity % 100, stack.meterCurrent / 10, stack.meterCurrent % 10);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(constants.periodMs));
  }
  std::printf("plantsim: stopped\n");
  return 0;
}
