// The unit's settings file: one line per stored setting, "name=value", keyed by tag
// name so that it survives changes of the tag table; text tags (unit name, I/O group
// names) are kept as their text in double quotes: name="text".
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

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

// The file text for every stored setting of the attached store.
std::string composeSettings();

// Saves every stored setting to the file (temporary file, flush, rename) and then makes
// the written values the save values. False, with the reason on errors, when it failed.
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
