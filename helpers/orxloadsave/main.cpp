// orxloadsave <settings file> -ql|-l|-s: loads the unit's stored settings from the file
// into the tag store (-l; -q without the listing) or saves them to it (-s). Built also as
// a_loadSave, the second loader of the program directory.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/platform.h"
#include "settingsfile.h"
#include "sharedmem/shmem.h"
#include "unitstore.h"

namespace {

enum class Action { kLoad, kQuietLoad, kSave };

bool parseAction(const char* option, Action* action) {
  if (std::strcmp(option, "-s") == 0) {
    *action = Action::kSave;
  } else if (std::strcmp(option, "-ql") == 0 || std::strcmp(option, "-lq") == 0) {
    *action = Action::kQuietLoad;
  } else if (std::strcmp(option, "-l") == 0) {
    *action = Action::kLoad;
  } else {
    return false;
  }
  return true;
}

int load(const char* program, const std::string& path, Action action) {
  // Loads run at start-up, before any save: what a killed save left can go.
  settingsfile::removeStaleTemporaries(path);
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "%s: cannot read %s: %s\n", program, path.c_str(), std::strerror(errno));
    return 1;
  }
  std::ostringstream text;
  text << file.rdbuf();
  FILE* listing = action == Action::kLoad ? stdout : nullptr;
  const settingsfile::LoadCounts counts = settingsfile::loadSettings(text.str(), stderr, listing);
  if (action == Action::kLoad || counts.refused > 0) {
    std::fprintf(counts.refused > 0 ? stderr : stdout, "%s: %d settings loaded, %d refused from %s\n", program,
                 counts.loaded, counts.refused, path.c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Action action = Action::kSave;
  if (argc != 3 || !parseAction(argv[2], &action)) {
    std::fprintf(stderr, "Usage: %s <settings file> -ql|-l|-s\n", argv[0]);
    return 1;
  }
  if (!attachUnitStore(argv[0])) return 1;
  const std::string path = orvix::platform::resolvePath(argv[1]);
  if (action == Action::kSave) return settingsfile::saveSettings(path, stderr) ? 0 : 1;
  return load(argv[0], path, action);
}
