#include "modbusclient.h"

#include <modbus/modbus.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "arguments.h"
#include "labels.h"
#include "modbusmap/wordlayout.h"
#include "sharedmem/tagaccess.h"

namespace inspector {

namespace {

constexpr const char* kDefaultServer = "127.0.0.1";  // this controller
constexpr int kModbusPort = 502;
constexpr int kExerciseCoil = 16388;
constexpr int kExerciseRegister = 20;
constexpr int kExerciseRegisterValue = 1234;

// Modbus function codes shown by "-v".
constexpr int kReadCoils = 1;
constexpr int kReadRegisters = 3;
constexpr int kWriteCoil = 5;
constexpr int kWriteRegister = 6;

struct ContextDeleter {
  void operator()(modbus_t* context) const {
    modbus_close(context);
    modbus_free(context);
  }
};
using ModbusContext = std::unique_ptr<modbus_t, ContextDeleter>;

struct Server {
  std::string host = kDefaultServer;
  int port = kModbusPort;
};

// "ip" or "ip:port"; the port lets a test or a service engineer reach a server elsewhere.
std::optional<Server> parseServer(const char* text) {
  Server server;
  if (text == nullptr) return server;
  const char* colon = std::strrchr(text, ':');
  if (colon == nullptr) {
    server.host = text;
    return server;
  }
  const std::optional<int> port = parseDecimal(colon + 1);
  if (!port || *port < 1 || *port > 65535 || colon == text) return std::nullopt;
  server.host.assign(text, colon);
  server.port = *port;
  return server;
}

ModbusContext connectTo(const Server& server) {
  ModbusContext context(modbus_new_tcp(server.host.c_str(), server.port));
  if (context == nullptr || modbus_connect(context.get()) == -1) {
    std::printf("ERROR: Connection failed\n");
    return nullptr;
  }
  return context;
}

int reportFailure(const char* what) {
  std::printf("ERROR: %s %s\n", what, modbus_strerror(errno));
  return kExitFailed;
}

// ---------------------------------------------------------------- single requests

std::optional<int> readBit(modbus_t* context, int address, bool discreteInput) {
  uint8_t bit = 0;
  const int rc = discreteInput ? modbus_read_input_bits(context, address, 1, &bit)
                               : modbus_read_bits(context, address, 1, &bit);
  if (rc != 1) return std::nullopt;
  return bit;
}

std::optional<std::vector<uint16_t>> readRegisters(modbus_t* context, int address, int count, bool input) {
  std::vector<uint16_t> words(static_cast<size_t>(count));
  const int rc = input ? modbus_read_input_registers(context, address, count, words.data())
                       : modbus_read_registers(context, address, count, words.data());
  if (rc != count) return std::nullopt;
  return words;
}

int readBitCommand(modbus_t* context, int address) {
  if (address < kReadWriteCoilBase) {
    const std::optional<int> input = readBit(context, address, true);
    if (!input) return reportFailure("reading discrete input");
    std::printf("discrete input %d = %d\n", address, *input);
  }
  const std::optional<int> coil = readBit(context, address, false);
  if (!coil) return reportFailure("reading coil");
  std::printf("coil %d = %d\n", address, *coil);
  return kExitOk;
}

int readRegisterCommand(modbus_t* context, int address) {
  const auto words = readRegisters(context, address, 1, false);
  if (!words) return reportFailure("reading register");
  std::printf("register %d = %d\n", address, (*words)[0]);
  return kExitOk;
}

int writeBitCommand(modbus_t* context, int address, int value) {
  const int bit = value != 0 ? 1 : 0;
  const int rc = modbus_write_bit(context, address, bit);
  std::printf("writing bit %d to %d rc=%d\n", bit, address, rc);
  return rc == 1 ? kExitOk : reportFailure("writing bit");
}

int writeRegisterCommand(modbus_t* context, int address, int value) {
  std::printf("writing %d to %d\n", value, address);
  return modbus_write_register(context, address, static_cast<uint16_t>(value)) == 1 ? kExitOk
                                                                                     : reportFailure("writing register");
}

// Reads coil 16388, writes its inverse, reads it back, restores it, then writes 1234 to
// holding register 20 and reads that back.
int exerciseServer(modbus_t* context) {
  const std::optional<int> original = readBit(context, kExerciseCoil, false);
  if (!original) return reportFailure("reading coil");
  std::printf("read bit %d = %d\n", kExerciseCoil, *original);
  if (writeBitCommand(context, kExerciseCoil, !*original) != kExitOk) return kExitFailed;
  const std::optional<int> inverse = readBit(context, kExerciseCoil, false);
  if (!inverse) return reportFailure("reading coil");
  std::printf("read back bit %d\n", *inverse);
  if (writeBitCommand(context, kExerciseCoil, *original) != kExitOk) return kExitFailed;
  std::printf("writing register %d to %d\n", kExerciseRegisterValue, kExerciseRegister);
  if (modbus_write_register(context, kExerciseRegister, kExerciseRegisterValue) != 1) {
    return reportFailure("writing register");
  }
  const auto words = readRegisters(context, kExerciseRegister, 1, false);
  if (!words) return reportFailure("reading register");
  std::printf("read back register %d\n", (*words)[0]);
  return kExitOk;
}

// ---------------------------------------------------------------- the tag list

struct TableCounts {
  int inputCoils = 0;
  int holdingCoils = 0;
  int inputRegisters = 0;
  int holdingRegisters = 0;
};

// The mapping's value as the server shows it, or nullopt when the read failed.
std::optional<std::string> valueFromServer(modbus_t* context, int index, TableCounts& counts) {
  const int address = dbGetModbusAddress(index);
  const int format = dbGetModbusDataFormat(index);
  if (format == 0) {
    const bool input = address < kReadWriteCoilBase;
    ++(input ? counts.inputCoils : counts.holdingCoils);
    const std::optional<int> bit = readBit(context, address, input);
    return bit ? std::optional(std::to_string(*bit)) : std::nullopt;
  }
  const bool input = address < kReadWriteRegisterBase;
  ++(input ? counts.inputRegisters : counts.holdingRegisters);
  const int span = registerSpan(format, address);
  const auto words = readRegisters(context, address, span, input);
  if (!words) return std::nullopt;
  if (format == 2) {
    const modbusmap::WordPair pair = {(*words)[0], (*words)[1]};
    if (input) return std::to_string(modbusmap::readInput32(pair));
    if (dbGetModbusHandlePointer(index) == modbusmap::kDateHandle) return std::to_string(modbusmap::readDate(pair));
    return std::to_string(modbusmap::readHolding32(pair, dbIsSwapWordBitSet(index)));
  }
  if (span == 1) return std::to_string((*words)[0]);
  // Holding texts: one character per register, 0 after the end; an empty text shows "-"
  // so that the value column never vanishes.
  std::string text;
  for (uint16_t word : *words) {
    if (word == 0) break;
    text += static_cast<char>(word & 0xFF);
  }
  return text.empty() ? "-" : text;
}

int listTagsFromServer(modbus_t* context) {
  TableCounts counts;
  const int count = dbGetModbusNoOfIndex();
  for (int index = 0; index < count; ++index) {
    const int handle = dbGetModbusHandlePointer(index);
    char* unit = nullptr;
    char* name = nullptr;
    int code = 0;
    dbGetUnitAndTagNameByHandle(handle, &unit, &name, &code);
    const std::optional<std::string> value = valueFromServer(context, index, counts);
    std::printf("%4d %5d %12s %5d %-8s %s\n", index, dbGetModbusAddress(index), value ? value->c_str() : "error",
                handle, modbusFormatLabel(dbGetModbusDataFormat(index)).client, name);
  }
  std::printf("input coils:%d holding coils:%d input registers:%d holding registers:%d \n", counts.inputCoils,
              counts.holdingCoils, counts.inputRegisters, counts.holdingRegisters);
  return kExitOk;
}

// ---------------------------------------------------------------- command line

struct ClientRequest;
using ClientAction = int (*)(modbus_t* context, const ClientRequest& request);

struct SubFunction {
  const char* name;
  int functionCode;  // shown by "-v"
  bool takesAddress;
  bool takesValue;
  bool connects;
  ClientAction run;
};

struct ClientRequest {
  const SubFunction* function = nullptr;  // null: the fixed exercise
  int address = 0;
  int value = 0;
  Server server;
  bool verbose = false;
};

int printAttachedCount(modbus_t*, const ClientRequest&) {
  std::printf("attached modbus addresses:%d\n", dbGetModbusNoOfIndex());
  return kExitOk;
}

constexpr SubFunction kSubFunctions[] = {
    // name  function code   address  value  connects  action
    {"-rb", kReadCoils,     true,    false, true,     [](modbus_t* c, const ClientRequest& r) { return readBitCommand(c, r.address); }},
    {"-rr", kReadRegisters, true,    false, true,     [](modbus_t* c, const ClientRequest& r) { return readRegisterCommand(c, r.address); }},
    {"-wb", kWriteCoil,     true,    true,  true,     [](modbus_t* c, const ClientRequest& r) { return writeBitCommand(c, r.address, r.value); }},
    {"-wr", kWriteRegister, true,    true,  true,     [](modbus_t* c, const ClientRequest& r) { return writeRegisterCommand(c, r.address, r.value); }},
    {"-d",  kReadRegisters, false,   false, true,     [](modbus_t* c, const ClientRequest&) { return listTagsFromServer(c); }},
    {"-i",  0,              false,   false, false,    printAttachedCount},
};

const SubFunction* subFunction(const char* text) {
  for (const SubFunction& candidate : kSubFunctions) {
    if (std::strcmp(text, candidate.name) == 0) return &candidate;
  }
  return nullptr;
}

bool isVerboseFlag(const char* text) { return std::strcmp(text, "-v") == 0 || std::strcmp(text, "-V") == 0; }

// The numeric argument at args[next], advancing next; a message when it does not parse.
std::optional<int> takeNumber(OptionArguments args, size_t& next, std::optional<int> (*parse)(const char*)) {
  const std::optional<int> number = parse(args[next]);
  if (!number) std::printf("argument not a number %s\n", args[next]);
  ++next;
  return number;
}

std::optional<ClientRequest> parseRequest(OptionArguments args) {
  ClientRequest request;
  if (!args.empty() && isVerboseFlag(args.back())) {
    request.verbose = true;
    args = args.first(args.size() - 1);
  }
  size_t next = 0;
  if (next < args.size() && (request.function = subFunction(args[next])) != nullptr) ++next;
  const bool takesAddress = request.function != nullptr && request.function->takesAddress;
  const bool takesValue = request.function != nullptr && request.function->takesValue;
  if (args.size() < next + (takesAddress ? 1 : 0) + (takesValue ? 1 : 0)) {
    std::printf("missing argument, -m %s requires more arguments\n", request.function->name);
    return std::nullopt;
  }
  if (takesAddress) {
    const std::optional<int> address = takeNumber(args, next, parseAddress);
    if (!address) return std::nullopt;
    request.address = *address;
  }
  if (takesValue) {
    const std::optional<int> value = takeNumber(args, next, parseDecimal);
    if (!value) return std::nullopt;
    request.value = *value;
  }
  if (next + 1 < args.size()) {
    std::printf("too many arguments for -m\n");
    return std::nullopt;
  }
  const std::optional<Server> server = parseServer(next < args.size() ? args[next] : nullptr);
  if (!server) {
    std::printf("not a server address %s\n", args[next]);
    return std::nullopt;
  }
  request.server = *server;
  return request;
}

}  // namespace

int runModbusClient(OptionArguments args) {
  const std::optional<ClientRequest> request = parseRequest(args);
  if (!request) return kExitFailed;
  const SubFunction* function = request->function;
  if (function != nullptr && !function->connects) return function->run(nullptr, *request);
  if (request->verbose) {
    std::printf("func:%d adr:%d  val:%d\n", function != nullptr ? function->functionCode : 0,
                request->address, request->value);
    std::printf("ip: %s port: %d\n", request->server.host.c_str(), request->server.port);
  }
  const ModbusContext context = connectTo(request->server);
  if (context == nullptr) return kExitFailed;
  return function != nullptr ? function->run(context.get(), *request) : exerciseServer(context.get());
}

}  // namespace inspector
