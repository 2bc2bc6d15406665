#include "mira/profile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "atomicfile/atomicfile.h"
#include "inihandler/inihandler.h"
#include "mira/miratags.h"
#include "mira/words.h"
#include "platform/platform.h"
#include "sharedmem/tagaccess.h"

namespace mira {

namespace {

constexpr const char* kBarsFile = "/tmp/mirabars.tmp";

// clang-format off
// FRmin, 0.01 %, by resistivity class, field-count class and field letter A..L.
constexpr int kFrMin[kResistivityClasses][kFieldCountClasses][kFieldLetters] = {
    //  A     B     C     D     E     F     G    H    I    J    K    L
    {{2000, 1428,    0,    0,    0,    0,    0,   0,   0,   0,   0,   0},   // class 0, few
     {2000, 1428, 1428, 1428,    0,    0,    0,   0,   0,   0,   0,   0},   //          medium
     {1428, 1428, 1428, 1428, 1111, 1111,  909, 909, 667, 667, 667, 667}},  //          many
    {{1428, 1111,    0,    0,    0,    0,    0,   0,   0,   0,   0,   0},   // class 1
     {1428, 1111,  909,  909,    0,    0,    0,   0,   0,   0,   0,   0},
     {1111, 1111,  909,  909,  769,  769,  667, 667, 526, 526, 526, 526}},
    {{1111,  909,    0,    0,    0,    0,    0,   0,   0,   0,   0,   0},   // class 2
     {1111,  909,  769,  769,    0,    0,    0,   0,   0,   0,   0,   0},
     { 909,  909,  769,  769,  667,  667,  588, 588, 476, 476, 476, 476}},
    {{1428, 1111,    0,    0,    0,    0,    0,   0,   0,   0,   0,   0},   // class 3
     {1428, 1111,  909,  909,    0,    0,    0,   0,   0,   0,   0,   0},
     {1111, 1111,  909,  909,  769,  769,  667, 667, 526, 526, 526, 526}},
};
// clang-format on

void setTag(int handle, int value) {
  int ignored = 0;
  dbSetValueByHandle(handle, value, &ignored);
}

// Nine integers separated by ";"; a short or malformed list fills what it has.
void parseProfileLine(const char* text, std::array<std::array<int, 3>, kFieldCountClasses>& classes) {
  const char* cursor = text;
  for (int index = 0; index < kFieldCountClasses * kFieldTypes; ++index) {
    char* end        = nullptr;
    const long value = std::strtol(cursor, &end, 10);
    if (end == cursor) return;
    classes[index / kFieldTypes][index % kFieldTypes] = static_cast<int>(value);
    cursor                                            = end;
    if (*cursor != ';') return;
    ++cursor;
  }
}

int resistivityClass() {
  const int value = dbReadValueByHandle(tag::kActModeResistivity);
  return value < 0 || value >= kResistivityClasses ? 0 : value;
}

}  // namespace

int getMiraDataFromIniFile(const char* path, miraSettings& settings) {
  INIFile* ini = ini_create();
  errno        = 0;
  if (ini_read_file(ini, path) != 1) std::fprintf(stderr, "Error reading %s: %s\n", path, std::strerror(errno));
  for (int index = 0; index < kResistivityClasses; ++index) {
    char key[16];
    std::snprintf(key, sizeof key, "miraPP%d", index);
    char value[kIniFieldSize] = {};
    errno                     = 0;
    if (ini_get_string(ini, key, value, sizeof value) != 1) {
      std::fprintf(stderr, "Missing setting %s: %s\n", key, std::strerror(errno));
      continue;
    }
    parseProfileLine(value, settings.powerProfile[static_cast<size_t>(index)]);
  }
  ini_destroy(ini);
  int maximum = 0;
  if (dbGetMaximumValueByHandle(tag::kActModeResistivity, &maximum)) {
    std::printf("ok Maximum ACTMODERESISTIVITY %d \n", maximum);
  } else {
    std::printf("***FAIL*** Maximum ACTMODERESISTIVITY ");
  }
  return 0;
}

int getFieldsFewMediumMany(int fieldsInSeries) {
  if (fieldsInSeries > 4) return 2;
  if (fieldsInSeries > 2) return 1;
  return 0;
}

int minimumFiringRatio(int resistivityClassIndex, int fieldCountClass, int letterIndex) {
  if (resistivityClassIndex < 0 || resistivityClassIndex >= kResistivityClasses || fieldCountClass < 0 ||
      fieldCountClass >= kFieldCountClasses || letterIndex < 0 || letterIndex >= kFieldLetters) {
    return 0;
  }
  return kFrMin[resistivityClassIndex][fieldCountClass][letterIndex];
}

void getProfile(const miraSettings& settings) {
  const auto& percent =
      settings.powerProfile[static_cast<size_t>(resistivityClass())]
                           [static_cast<size_t>(getFieldsFewMediumMany(dbReadValueByHandle(tag::kEspCodeFields)))];
  const ThreeFields profile = ThreeFields::of(percent[kFirst] * 10, percent[kIntermediate] * 10, percent[kLast] * 10);
  setTag(tag::kPowerProfile, static_cast<int>(profile.all));
  setTag(tag::kProfileFirst, percent[kFirst] * 100);
  setTag(tag::kProfileIntermediate, percent[kIntermediate] * 100);
  setTag(tag::kProfileLast, percent[kLast] * 100);
}

void displayProfileBars() {
  // Bar numbers of the operator page's chart: the three field types share their edges.
  constexpr struct {
    int profile, actual, firstBar;
  } kTypes[] = {
      {tag::kProfileFirst,        tag::kPowerFirst,        1},
      {tag::kProfileIntermediate, tag::kPowerIntermediate, 3},
      {tag::kProfileLast,         tag::kPowerLast,         5},
  };
  std::string text = "Nr,Profile,Actual\n";
  for (const auto& type : kTypes) {
    const int profile = dbReadValueByHandle(type.profile) / 100;
    const int actual  = dbReadValueByHandle(type.actual) / 100;
    for (int bar = type.firstBar; bar < type.firstBar + 3; ++bar) {
      char line[48];
      std::snprintf(line, sizeof line, "%d,%d,%d\n", bar, profile, actual);
      text += line;
    }
  }
  if (!orvix::writeFileAtomically(orvix::platform::resolvePath(kBarsFile), text)) {
    std::fprintf(stderr, "cannot write %s: %s\n", kBarsFile, std::strerror(errno));
  }
}

}  // namespace mira
