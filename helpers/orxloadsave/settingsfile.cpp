#include "settingsfile.h"

#include <dirent.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "atomicfile/atomicfile.h"
#include "sharedmem/modesettings.h"
#include "sharedmem/shmem.h"
#include "sharedmem/tagaccess.h"

namespace settingsfile {

namespace {

constexpr std::string_view kHeader = "# orvix settings: one stored setting per line, name=value; texts in quotes\n";

bool isNameCharacter(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'; }
// The characters the text store accepts.
bool isTextCharacter(char c) { return c >= '0' && c <= 'z'; }

bool validName(std::string_view name) {
  if (name.empty() || name.size() > static_cast<size_t>(kTagNameSize - 1)) return false;
  for (const char c : name) {
    if (!isNameCharacter(c)) return false;
  }
  return true;
}

bool validText(std::string_view text) {
  if (text.size() > static_cast<size_t>(kTextSize - 1)) return false;
  for (const char c : text) {
    if (!isTextCharacter(c)) return false;
  }
  return true;
}

bool parseInt32(std::string_view digits, int* value) {
  if (digits.empty() || digits.size() > 11) return false;
  const std::string copy(digits);
  char* end = nullptr;
  errno = 0;
  const long long parsed = std::strtoll(copy.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX) return false;
  *value = static_cast<int>(parsed);
  return true;
}

// handle -> name slot, built once instead of a scan of every slot per handle.
std::array<int, kNoOfHandles> nameSlotsByHandle() {
  std::array<int, kNoOfHandles> slots;
  slots.fill(-1);
  for (int slot = 0; slot < kNoOfNameSlots; ++slot) {
    const int handle = shared_mem->tag.iRef[slot];
    if (handle >= 0 && handle < kNoOfHandles && shared_mem->tag.name[slot][0] != '\0') slots[handle] = slot;
  }
  return slots;
}

std::string nameOfSlot(int slot) {
  const volatile char* name = shared_mem->tag.name[slot];
  std::string copy;
  for (int i = 0; i < kTagNameSize - 1 && name[i] != '\0'; ++i) copy += name[i];
  return copy;
}

bool isStoredSetting(int handle) {
  const Bit32tag config{.all = shared_mem->parameter.config[handle].all};
  return config.bits.initialized && config.bits.store;
}

// The text of a text tag, or nothing when the handle has no text entry.
std::optional<std::string> textOf(int handle) {
  int entry = 0;
  if (!dbGetTextIndexByHandle(handle, &entry, nullptr)) return std::nullopt;
  const volatile char* stored = shared_mem->text.txt[entry];
  std::string text;
  for (int i = 0; i < kTextSize - 1 && stored[i] != '\0'; ++i) text += stored[i];
  return text;
}

}  // namespace

std::optional<SettingLine> parseLine(std::string_view line, std::string* why) {
  why->clear();
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
  if (line.empty() || line.front() == '#') return std::nullopt;
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) {
    *why = "no '='";
    return std::nullopt;
  }
  SettingLine setting;
  const std::string_view name = line.substr(0, equals);
  const std::string_view value = line.substr(equals + 1);
  if (!validName(name)) {
    *why = "not a tag name";
    return std::nullopt;
  }
  setting.name = name;
  if (!value.empty() && value.front() == '"') {
    if (value.size() < 2 || value.back() != '"' || !validText(value.substr(1, value.size() - 2))) {
      *why = "not a text of up to 29 characters 0..z in double quotes";
      return std::nullopt;
    }
    setting.isText = true;
    setting.text = value.substr(1, value.size() - 2);
    return setting;
  }
  if (!parseInt32(value, &setting.value)) {
    *why = "not a 32-bit decimal number";
    return std::nullopt;
  }
  return setting;
}

SettingsSnapshot takeSnapshot() {
  SettingsSnapshot snapshot;
  const auto slots = nameSlotsByHandle();
  for (int handle = 0; handle < kNoOfHandles; ++handle) {
    if (!isStoredSetting(handle) || slots[handle] < 0) continue;
    // The value before the text: a text written in between leaves the older checksum as
    // save value, so the setting reads as changed and the next save takes it.
    const int value = shared_mem->parameter.iValue[handle];
    snapshot.push_back({handle, nameOfSlot(slots[handle]), value, textOf(handle)});
  }
  return snapshot;
}

std::string composeSettings(const SettingsSnapshot& snapshot) {
  std::string text(kHeader);
  for (const StoredSetting& setting : snapshot) {
    text += setting.name + '=';
    text += setting.text ? '"' + *setting.text + '"' : std::to_string(setting.value);
    text += '\n';
  }
  return text;
}

bool saveSnapshot(const SettingsSnapshot& snapshot, const std::string& realPath, FILE* errors) {
  // A store not defined yet holds no setting: saving it would empty the unit's file.
  if (snapshot.empty()) {
    std::fprintf(errors, "the tag store holds no stored settings; %s left as it is\n", realPath.c_str());
    return false;
  }
  if (!orvix::writeFileAtomically(realPath, composeSettings(snapshot))) {
    std::fprintf(errors, "cannot write %s: %s\n", realPath.c_str(), std::strerror(errno));
    return false;
  }
  // Only once the file is safely on the disk do its values become the save values, so a
  // failed save never reports settings as saved.
  for (const StoredSetting& setting : snapshot) {
    int ignored = 0;
    dbSetSaveValueByHandle(setting.handle, setting.value, &ignored);
  }
  return true;
}

bool saveSettings(const std::string& realPath, FILE* errors) {
  return saveSnapshot(takeSnapshot(), realPath, errors);
}

void removeStaleTemporaries(const std::string& realPath) {
  const size_t slash = realPath.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : realPath.substr(0, slash + 1);
  const std::string prefix = realPath.substr(slash == std::string::npos ? 0 : slash + 1) + ".tmp";
  DIR* listing = opendir(directory.c_str());
  if (listing == nullptr) return;
  while (const dirent* entry = readdir(listing)) {
    const std::string name = entry->d_name;
    if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
        name.find_first_not_of("0123456789", prefix.size()) == std::string::npos) {
      unlink((directory + name).c_str());
    }
  }
  closedir(listing);
}

LoadCounts loadSettings(std::string_view fileText, FILE* errors, FILE* listing) {
  LoadCounts counts;
  int lineNumber = 0;
  while (!fileText.empty()) {
    const size_t end = fileText.find('\n');
    const std::string_view line = fileText.substr(0, end);
    fileText.remove_prefix(end == std::string_view::npos ? fileText.size() : end + 1);
    ++lineNumber;
    std::string why;
    const auto setting = parseLine(line, &why);
    if (!setting) {
      if (!why.empty()) {
        std::fprintf(errors, "line %d refused (%s): %.*s\n", lineNumber, why.c_str(), static_cast<int>(line.size()),
                     line.data());
        ++counts.refused;
      }
      continue;
    }
    const char* name = setting->name.c_str();
    int handle = -1;
    int code = 0;
    if (!dbGetHandleByTagname(name, &handle, &code)) {
      std::fprintf(errors, "line %d refused: unknown tag %s, default kept\n", lineNumber, name);
      ++counts.refused;
      continue;
    }
    if (!isStoredSetting(handle)) {
      std::fprintf(errors, "line %d refused: %s is not a stored setting\n", lineNumber, name);
      ++counts.refused;
      continue;
    }
    const bool textTag = textOf(handle).has_value();
    if (textTag != setting->isText) {
      std::fprintf(errors, "line %d refused: %s needs a %s value, default kept\n", lineNumber, name,
                   textTag ? "text" : "numeric");
      ++counts.refused;
      continue;
    }
    if (textTag) {
      dbSetModbusTextByHandle(handle, setting->text.c_str(), &code);
    } else if (!dbSetValueByHandle(handle, setting->value, &code)) {
      std::fprintf(errors, "line %d refused: %s=%d (error %d), default kept\n", lineNumber, name, setting->value,
                   code);
      ++counts.refused;
      continue;
    }
    dbSetSaveValueByHandle(handle, shared_mem->parameter.iValue[handle], &code);
    ++counts.loaded;
    if (listing != nullptr) std::fprintf(listing, "%.*s\n", static_cast<int>(line.size()), line.data());
  }
  return counts;
}

}  // namespace settingsfile
