// The state of the database daemon that its start-up, its loop and the functions the
// loop calls share.
#pragma once

#include <array>
#include <cstdint>

#include "energisationstate.h"
#include "kora/kora.h"
#include "mira/mira.h"
#include "modbusclient.h"
#include "network/network.h"
#include "signalcheck/signalcheck.h"

constexpr int kPathSize = 100;  // 99 characters and the terminator

// Paths from the configuration file, as unit paths (resolved under the image at use).
struct paths {
  char saveFile[kPathSize];
  char program[kPathSize];         // program directory, with its trailing "/"
  char alarmLog[kPathSize];
  char store[kPathSize];
  char script[kPathSize];
  char alarmLogSetup[kPathSize];
  char modbusLog[kPathSize];
  char customSettings[kPathSize];
  char dspProgramPath[kPathSize];  // signal processor program directory, no trailing "/"
  const char* iniFile;             // the configuration file of the command line
};

constexpr int kIoGroups = 5;

// The statistics counted between whole minutes.
struct StatisticsCounters {
  long powerSeconds = 0;                       // 0.1 kW·s not yet counted as energy
  std::array<int, kIoGroups> outputSeconds{};  // s each I/O group output was on
};

struct Daemon {
  paths path{};
  int debugLevel = 0;  // 0..2
  int serverPort = 0;  // "localRemoteServerPort", 0 when missing

  // Main loop
  int slotCounter = 0;        // passes since the last new second
  int sleepAdjustment = 0;    // µs added to the long sleep, tuned once a second
  int64_t lastNewSecondMs = 0;  // monotonic ms of the last new second, 0 before the first
  int passCounter = 1;        // 1 at the first pass, counts up to 100 and stays
  bool workFlag = true;       // skip the long sleep after this pass
  int alarmResetCounter = 0;  // handed to the alarm handling
  int ipChangeCounter = 0;    // seconds an IP change has been pending
  network eth0{};                       // what the network tags last showed of eth0
  int updateCounter           = 0;      // update-file check, see softwareupdate
  int viTimeoutCounter = 0;   // seconds a final V-I state has been shown
  bool viTimerRequested = false;  // the V-I timer asked for a start on the last check
  int maxIdleCurrent = 0;     // mA, "maxIdleCurrent" setting
  int heartbeatSeconds = 0;   // consecutive seconds the heartbeat read 1
  int lastClockSecond = -1;   // seconds of the day the clock tasks last ran for, -1 before the first
  unsigned ledCalls = 0;      // calls of signalLed: the phase of LED A's heartbeat
  uint8_t scopeRestartCounter = 0;  // passes until the scope program restarts
  StatisticsCounters statistics;
  EnergisationState energisation;   // sparks, limiter, modes and run command between passes
  kora::KoraState kora;             // charge-ratio optimisation: tables and machines
  mira::MiraState mira;             // opacity history, limit time-out, profile
  SIGNALCHECK signalTest;           // the signal test between its once-a-second passes

  ModbusClient modbus;  // the unit's own register server; held for the later functions
};
