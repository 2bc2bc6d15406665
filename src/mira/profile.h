// MIRA's power profile from the unit's configuration file, the lowest firing ratio a
// field may be driven to, and the profile as the master publishes it.
#pragma once

#include <array>

namespace mira {

constexpr int kResistivityClasses = 4;   // vxo_actmoderesistivity 0..3
constexpr int kFieldCountClasses  = 3;   // few, medium, many fields in series
constexpr int kFieldLetters       = 12;  // A..L

struct miraSettings {
  // %, by resistivity class, field-count class and field type (first, intermediate, last)
  std::array<std::array<std::array<int, 3>, kFieldCountClasses>, kResistivityClasses> powerProfile{};
};

// Reads "miraPP0".."miraPP3" (nine ";"-separated integers each: first, intermediate and
// last of the few, medium and many classes); missing keys leave their values. Returns 0.
int getMiraDataFromIniFile(const char* path, miraSettings& settings);

// 0 few (up to 2 fields in series), 1 medium (3 or 4), 2 many (more than 4).
int getFieldsFewMediumMany(int fieldsInSeries);

// 0.01 %: FRmin of the table for a resistivity class, field-count class and letter index
// (0 = A); 0 outside the table.
int minimumFiringRatio(int resistivityClass, int fieldCountClass, int letterIndex);

// The profile of this unit's classes into vxi_mirapowerprofile and the three profile tags.
void getProfile(const miraSettings& settings);

// Rewrites "/tmp/mirabars.tmp" with the profile against the actual powers.
void displayProfileBars();

}  // namespace mira
