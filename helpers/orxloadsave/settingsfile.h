// The unit's settings file: one line per stored setting, "name=value", keyed by tag
// name so that it survives changes of the tag table; text tags (unit name, I/O group
// names) are kept as their text in double quotes: name="text".
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace settingsfile {

struct SettingLine {
  std::string name;
  bool isText = false;
  int value = 0;     // numeric settings
  std::string text;  // text settings
};

// One line of the file. Empty lines and "#" comments give nothing with why empty;
// a malformed line gives nothing with why saying what is wrong.
std::optional<SettingLine> parseLine(std::string_view line, std::string* why);

// One stored setting as a save reads it from the store.
struct StoredSetting {
  int handle = -1;
  std::string name;
  int value = 0;                    // a text tag's value is its text's checksum
  std::optional<std::string> text;  // text tags only
};
using SettingsSnapshot = std::vector<StoredSetting>;

// Every named stored setting of the attached store, each read once.
SettingsSnapshot takeSnapshot();

// The file text of a snapshot.
std::string composeSettings(const SettingsSnapshot& snapshot);

// Writes the snapshot to the file (temporary file, flush, rename) and then makes its values
// the save values: a setting changed since the snapshot stays unsaved, never saved with a
// value the file does not hold. False, with the reason on errors, when it failed.
bool saveSnapshot(const SettingsSnapshot& snapshot, const std::string& realPath, FILE* errors);

// saveSnapshot of a snapshot taken now.
bool saveSettings(const std::string& realPath, FILE* errors);

// Removes what saves killed half-way left beside the file (its temporary copies).
void removeStaleTemporaries(const std::string& realPath);

struct LoadCounts {
  int loaded = 0;
  int refused = 0;  // malformed, unknown, not stored or out of range: the default stays
};

// Writes every line's value, range-checked by the tag library, into its tag and its
// save value; reports each refused line on errors. listing (may be null) gets every
// loaded line.
LoadCounts loadSettings(std::string_view fileText, FILE* errors, FILE* listing);

}  // namespace settingsfile
