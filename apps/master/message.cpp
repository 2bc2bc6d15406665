#include "message.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace master {

namespace {

constexpr char kTooLongLine[] = "\n\n-----------------------too long msg -------------------------\n";

// A number of at most maxDigits decimal digits at the start of text; it ends at the
// first non-digit. No digits give 0.
long leadingNumber(std::string_view text, size_t maxDigits, size_t* used = nullptr) {
  long value   = 0;
  size_t count = 0;
  while (count < text.size() && count < maxDigits && std::isdigit(static_cast<unsigned char>(text[count]))) {
    value = value * 10 + (text[count] - '0');
    ++count;
  }
  if (used != nullptr) *used = count;
  return value;
}

size_t digitRun(std::string_view text) {
  size_t count = 0;
  while (count < text.size() && std::isdigit(static_cast<unsigned char>(text[count]))) ++count;
  return count;
}

void copyText(std::string_view text, char* destination, size_t size) {
  const size_t length = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(destination, text.data(), length);
  destination[length] = '\0';
}

bool isCommand(const Message& message) { return message.command; }

// The kind of message from the beginning of its first field.
struct Kind {
  const char* text;
  int sender;
  bool command;
  int type;
};
// clang-format off
// text          sender  command  type
constexpr Kind kKinds[] = {
    {"Send data",  0,     false,   kPoll},
    {"Send Data",  0,     false,   kPoll},
    {"I Command",  0,     true,    kUnknownMessage},
    {"I command",  0,     true,    kUnknownMessage},
    {"I Heard",    1,     false,   kHeard},
    {"I heard",    1,     false,   kHeard},
    {"My Data",    1,     false,   kClientData},
    {"My data",    1,     false,   kClientData},
};
// clang-format on

void decodeNodes(std::string_view value, Message* m) {
  if (m->sender == 1) {
    m->clientAdr = static_cast<int>(leadingNumber(value, 4));
    return;
  }
  size_t used        = 0;
  m->masterAdrLimLow = static_cast<int>(leadingNumber(value, 4, &used));
  value.remove_prefix(used);
  if (value.empty() || value.front() != '-') return;
  m->masterAdrLimHigh = static_cast<int>(leadingNumber(value.substr(1), 4));
}

void decodeOpacity(std::string_view value, Message* m) {
  m->hasOpacity  = true;
  m->opacCurrLim = static_cast<int>(leadingNumber(value, 5));
}

// Factor id digit, cell character, three limits of four digits; anything shorter is not
// a limit field.
void decodeEspLimits(std::string_view value, Message* m) {
  if (value.size() < 14 || !std::isdigit(static_cast<unsigned char>(value[0]))) return;
  EspLimitField field{};
  field.factorId = value[0] - '0';
  field.cell     = value[1];
  for (int part = 0; part < 3; ++part) {
    size_t used        = 0;
    field.limits[part] = static_cast<int>(leadingNumber(value.substr(2 + 4 * part), 4, &used));
    if (used != 4) return;
  }
  m->limits[m->limitCount++] = field;
}

void decodeMyNode(std::string_view value, Message* m) { m->myNode = static_cast<int>(leadingNumber(value, 5)); }

void decodeMiraStatus(std::string_view value, Message* m) {
  m->hasMiraStatus = true;
  m->miraStatus    = static_cast<short>(leadingNumber(value, 5));
}

bool isPasswordCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

void decodePasswords(std::string_view value, Message* m) {
  if (isCommand(*m)) m->type = kPasswords;
  for (int index = 0; index < kPasswordCount; ++index) {
    const size_t end          = index + 1 < kPasswordCount ? value.find('-') : value.size();
    const std::string_view pw = value.substr(0, end);
    if (end == std::string_view::npos || pw.empty() || pw.size() >= kPasswordSize) return;
    for (const char c : pw) {
      if (!isPasswordCharacter(c)) return;
    }
    copyText(pw, m->passwords[index], kPasswordSize);
    value.remove_prefix(index + 1 < kPasswordCount ? end + 1 : end);
  }
  m->passwordsValid = true;
}

void decodeSetTag(std::string_view value, Message* m) {
  if (isCommand(*m)) m->type = kSetTag;
  const size_t colon = value.find(':');
  copyText(value.substr(0, colon), m->tagName, kTagNameSize);
  if (colon != std::string_view::npos) m->parameterValue = static_cast<int>(leadingNumber(value.substr(colon + 1), 10));
}

void decodeReadTag(std::string_view value, Message* m) {
  if (isCommand(*m)) m->type = kReadTag;
  copyText(value, m->tagName, kTagNameSize);
}

// "20", YYMMDD, "-", HHMMSS; a part with another number of digits is left empty.
void decodeTime(std::string_view value, Message* m) {
  if (isCommand(*m)) m->type = kTimeSet;
  copyText(value, m->timeText, kTimeTextSize);
  if (value.substr(0, 2) != "20") return;
  value.remove_prefix(2);
  const size_t dateDigits = digitRun(value);
  if (dateDigits == 6) copyText(value.substr(0, 6), m->date, sizeof m->date);
  value.remove_prefix(dateDigits);
  if (value.empty() || value.front() != '-') return;
  value.remove_prefix(1);
  if (digitRun(value) == 6) copyText(value.substr(0, 6), m->time, sizeof m->time);
}

void decodeTr(std::string_view value, Message* m) {
  if (value == " On") {
    m->tr = 1;
  } else if (value == "Off") {
    m->tr = 0;
  } else {
    return;
  }
  if (isCommand(*m)) m->type = m->tr == 1 ? kTrOn : kTrOff;
}

void decodeMode(std::string_view value, Message* m) {
  if (value.empty() || !std::isdigit(static_cast<unsigned char>(value[0]))) return;
  const int mode = value[0] - '0';
  m->mode        = mode + 1;
  if (isCommand(*m) && kModeFirst + mode <= kModeLast) m->type = kModeFirst + mode;
}

void decodeWatt(std::string_view value, Message* m) { m->watt = static_cast<int>(leadingNumber(value, 5)); }
void decodeKVolt(std::string_view value, Message* m) { m->kVolt = static_cast<int>(leadingNumber(value, 5)); }
void decodeMAmp(std::string_view value, Message* m) { m->mAmp = static_cast<int>(leadingNumber(value, 5)); }
void decodeCRatio(std::string_view value, Message* m) { m->cRatio = static_cast<int>(leadingNumber(value, 5)); }
void decodeAu(std::string_view value, Message* m) { m->Au = static_cast<int>(leadingNumber(value, 5)); }

void decodePosition(std::string_view value, Message* m) {
  if (value.empty()) return;
  m->fieldPos = value[0];
  m->cellPos  = static_cast<int>(leadingNumber(value.substr(1), 4));
}

void decodeAlarm(std::string_view value, Message* m) {
  // text   state
  static constexpr struct {
    std::string_view text;
    int state;
  } kAlarms[] = {
      {"Trp", kAlarmTrip        },
      {"Wrn", kAlarmWarn        },
      {" No", kAlarmNone        },
      {"Not", kAlarmNot         },
      {"Res", kAlarmResetCommand},
  };
  for (const auto& alarm : kAlarms) {
    if (value == alarm.text) {
      m->alarm = alarm.state;
      if (alarm.state == kAlarmResetCommand && isCommand(*m)) m->type = kAlarmReset;
      return;
    }
  }
}

void decodeStatisticsReset(std::string_view value, Message* m) {
  // text   reset
  static constexpr struct {
    std::string_view text;
    StatisticsReset reset;
  } kResets[] = {
      {"All", StatisticsReset::kAll},
      {"IO",  StatisticsReset::kIo },
      {"kVh", StatisticsReset::kKwh},
  };
  for (const auto& reset : kResets) {
    if (value == reset.text) {
      m->statisticsReset = reset.reset;
      if (isCommand(*m)) m->type = kStatisticsReset;
      return;
    }
  }
}

struct Key {
  std::string_view key;
  void (*decode)(std::string_view value, Message* m);
};
// clang-format off
// key    decoder
constexpr Key kKeys[] = {
    {"No:", decodeNodes},
    {"Op:", decodeOpacity},
    {"Eo:", decodeEspLimits},
    {"Mn:", decodeMyNode},
    {"Es:", decodeMiraStatus},
    {"Pw:", decodePasswords},
    {"St:", decodeSetTag},
    {"Rg:", decodeReadTag},
    {"Ti:", decodeTime},
    {"Tr:", decodeTr},
    {"Mo:", decodeMode},
    {"Wa:", decodeWatt},
    {"kV:", decodeKVolt},
    {"mA:", decodeMAmp},
    {"CR:", decodeCRatio},
    {"Au:", decodeAu},
    {"Po:", decodePosition},
    {"Al:", decodeAlarm},
    {"Rs:", decodeStatisticsReset},
};
// clang-format on

// "P", the path number, ":", the path word.
bool decodePath(std::string_view field, Message* m) {
  if (field.size() < 3 || field[0] != 'P' || !std::isdigit(static_cast<unsigned char>(field[1])) || field[2] != ':') {
    return false;
  }
  m->pathNumber = field[1] - '0';
  m->pathWord   = static_cast<uint32_t>(leadingNumber(field.substr(3), 10));
  return true;
}

void decodeField(std::string_view field, Message* m) {
  if (decodePath(field, m)) return;
  for (const Key& key : kKeys) {
    if (field.substr(0, key.key.size()) == key.key) {
      key.decode(field.substr(key.key.size()), m);
      return;
    }
  }
}

}  // namespace

Message decodeMsg(std::string_view datagram) {
  if (datagram.size() > kMaxMessageLength) {
    std::printf("%s", kTooLongLine);
    datagram = datagram.substr(0, kMaxMessageLength);
  }
  Message message;
  for (int index = 0; index < kMaxFields && !datagram.empty(); ++index) {
    const size_t end             = datagram.find(';');
    const std::string_view field = datagram.substr(0, end).substr(0, kMaxFieldLength);
    if (index == 0) {
      for (const Kind& kind : kKinds) {
        if (field.substr(0, std::strlen(kind.text)) == kind.text) {
          message.sender  = kind.sender;
          message.command = kind.command;
          message.type    = kind.type;
          break;
        }
      }
    } else {
      decodeField(field, &message);
    }
    if (end == std::string_view::npos) break;
    datagram.remove_prefix(end + 1);
  }
  return message;
}

}  // namespace master
