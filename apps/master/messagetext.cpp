#include "messagetext.h"

#include <cstdarg>
#include <cstdio>

#include "message.h"

namespace master {

namespace {

constexpr int kNoOpacityLimit = 10000;  // 0.01 %: the whole current, limits 100 % everywhere
constexpr int kFullLimit      = 1000;   // 0.1 %
constexpr uint32_t kLimitMask = 0x3FF;  // one 10-bit limit of a ThreeLimits word

void appendf(std::string* text, const char* format, ...) __attribute__((format(printf, 2, 3)));
void appendf(std::string* text, const char* format, ...) {
  char buffer[kReceiveBufferSize];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (length > 0) text->append(buffer, static_cast<size_t>(length) < sizeof buffer ? length : sizeof buffer - 1);
}

std::string commandHead(int low, int high, int own) {
  std::string text;
  appendf(&text, "I Command;No:%03d-%03d;Mn:%03d;", low, high, own);
  return text;
}

}  // namespace

int nextPathOffset(int lastOffset, const uint32_t (&pathWords)[8]) {
  for (int offset = lastOffset + 1; offset < 8; ++offset) {
    if (pathWords[offset] != 0) return offset;
  }
  return 0;
}

std::string pollText(const PollData& poll) {
  std::string text;
  appendf(&text, "Send data;No:%03d-%03d;Op:%05d;", poll.low, poll.high, poll.opacityCurrent);
  if (poll.opacityCurrent == kNoOpacityLimit) {
    appendf(&text, "Eo:%01d%c%04d%04d%04d;", poll.factorId, 'A', kFullLimit, kFullLimit, kFullLimit);
  } else {
    for (int cell = 0; cell < poll.totalCells && cell < kMaxCells; ++cell) {
      const uint32_t word = poll.cellLimits[cell];
      appendf(&text, "Eo:%01d%c%04d%04d%04d;", poll.factorId, '0' + cell, word & kLimitMask, (word >> 10) & kLimitMask,
              (word >> 20) & kLimitMask);
    }
  }
  appendf(&text, ";P%01d:%010d", poll.pathOffset + 1, static_cast<int>(poll.pathWord));
  return text;
}

std::string clientDataText(const ClientData& data) {
  std::string text;
  appendf(&text, "My Data;No:%d;", data.node);
  text += data.tron != 0 ? "Tr: On;" : "Tr:Off;";
  appendf(&text, "Mo:%d;", data.mode);
  text += data.alarm == kAlarmTrip ? "Al:Trp;" : data.alarm == kAlarmWarn ? "Al:Wrn;" : "Al: No;";
  appendf(&text, "Wa:%d;", data.watt);
  appendf(&text, "kV:%d;", data.kVolt);
  appendf(&text, "mA:%d;", data.mAmp);
  appendf(&text, "CR:%d;", data.cRatio);
  appendf(&text, "Po:%c", data.field);
  appendf(&text, "%02d;", data.cell);
  appendf(&text, "Au:%d;", 0);
  appendf(&text, "Es:%d;", data.miraStatus);
  return text;
}

std::string commandText(int type, int low, int high, int own) {
  std::string text = commandHead(low, high, own);
  if (type == kTrOn) {
    text += "Tr: On;";
  } else if (type == kTrOff) {
    text += "Tr:Off;";
  } else if (type == kAlarmReset) {
    text += "Al:Res;";
  } else if (type >= kModeFirst && type <= kModeLast) {
    appendf(&text, "Mo:%d;", type - kModeFirst);
  }
  return text;
}

std::string timeCommandText(int low, int high, int own, int year, int month, int day, int hour, int minute,
                            int second) {
  std::string text = commandHead(low, high, own);
  text += "Ti:20";
  appendf(&text, "%02d%02d%02d", year % 100, month, day);
  text += "-";
  appendf(&text, "%02d%02d%02d", hour, minute, second);
  text += ";";
  return text;
}

std::string heardText(int commandType, int own, const char* lastSetTime) {
  std::string text;
  if (commandType == kTrOn) {
    appendf(&text, "I Heard;Mn:%03d;Tr: On;", own);
  } else if (commandType == kTrOff) {
    appendf(&text, "I Heard;Mn:%03d;Tr:Off;", own);
  } else if (commandType == kAlarmReset) {
    appendf(&text, "I Heard;Mn:%03d;Al:Res;", own);
  } else if (commandType == kTimeSet) {
    appendf(&text, "I Heard;Mn:%03d;Ti:%s", own, lastSetTime);
  } else {
    // A mode command is acknowledged by the node alone, so that the master can tell it.
    appendf(&text, "I Heard;Mn:%03d;", own);
  }
  return text;
}

std::string readAnswerText(bool ok, int own, int value) {
  std::string text;
  if (ok) {
    appendf(&text, "Read Ok;Mn:%03d;%d;", own, value);
  } else {
    appendf(&text, "Read Failed;Mn:%03d;", own);
  }
  return text;
}

std::string setAnswerText(bool ok, int own) {
  std::string text;
  appendf(&text, ok ? "Set Ok;Mn:%03d;" : "Set Failed;Mn:%03d;", own);
  return text;
}

std::string rappingText(int node, int own, uint32_t onMask, uint32_t offMask) {
  std::string text = commandHead(node, node, own);
  if (onMask != 0 && offMask != 0) {
    appendf(&text, "Rb:0x%08x0x%08x", onMask, offMask);
  } else if (onMask != 0) {
    appendf(&text, "Rt:0x%08x;", onMask);
  } else {
    appendf(&text, "Rf:0x%08x;", offMask);
  }
  return text;
}

}  // namespace master
