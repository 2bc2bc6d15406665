// Single settings of the unit's configuration file, read through the setting reader.
#pragma once

#include <string>

// The unit's configuration file (a unit path).
inline constexpr const char* kUnitIniFile = "/var/lib/orvix/orvix.ini";

// The setting's text; empty when it is missing.
std::string readUnitSettingText(const char* key);
// The setting as a decimal number; a missing setting reads as 0.
int readUnitSetting(const char* key);
