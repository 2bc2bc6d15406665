// The unit's operating statistics: up time, time in trip, T/R running time, energy and
// the on-time of the I/O group outputs, counted in tags and kept in "/home/ftp/statistics"
// with a backup "statistics.bak" in the store directory.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "daemon.h"

constexpr int kStatisticsFields = 9;  // up time .. I/O group 5, in file order
using StatisticsRecord          = std::array<std::optional<long>, kStatisticsFields>;

// Once per second: adds the power, counts the minutes at second 30 and then writes both
// files, so that a restart or a power cut loses at most a minute.
void updateStatistics(Daemon& daemon);
// At start-up: each counter from the larger of the two files' values, so that a file
// cut short or left behind by an older run never lowers a counter.
void loadStatistics(Daemon& daemon);
// Writes the counters to both files, each replaced whole; false when one failed.
bool saveStatistics(const Daemon& daemon);

// The fields of a statistics line, decimal, separated by ";"; a field that is missing
// or not a count stays empty, and so does every field after it.
StatisticsRecord parseStatisticsLine(std::string_view line);

// Slot task (slot 10).
bool countStatistics(Daemon& daemon);
