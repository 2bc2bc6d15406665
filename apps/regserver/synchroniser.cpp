#include "synchroniser.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "sharedmem/tagaccess.h"

namespace regserver {

using modbusmap::WordPair;

namespace {

constexpr int kWordBits = 16;

// Bit `address mod 16` of the word tag that mirrors a run of sixteen bit addresses.
void mirrorBit(int firstWordHandle, int offset, bool on) {
  const int word = firstWordHandle + offset / kWordBits;
  const auto bit = static_cast<unsigned char>(offset % kWordBits);
  if (on) {
    dbSetBitByHandle(word, bit);
  } else {
    dbClearBitByHandle(word, bit);
  }
}

bool isLocked() { return !dbIsEqual(handles::kLockedMode, 0); }
bool protectedAndLocked(int handle) { return dbIsModbusProtected(handle) && dbIsEqual(handles::kLock, 1); }

// A client text starts with a letter, a digit or the placeholder for an empty text.
bool startsText(uint16_t reg) {
  return (reg >= 'A' && reg <= 'Z') || (reg >= 'a' && reg <= 'z') || (reg >= '0' && reg <= '9') || reg == '?';
}

int textWidth(int format) { return format == kText12 ? 12 : 7; }

// The database clears the Modbus status byte whenever it rebuilds the store; this
// server sets it once its image shows that store.
constexpr char kImageBuiltMark = 1;
bool storeMarked() { return shared_mem->modbus.status == kImageBuiltMark; }

}  // namespace

void Synchroniser::update() {
  int counter         = 0;
  int code            = 0;
  const bool counting = dbGetValueByHandle(handles::kRefreshCounter, &counter, &code);
  noticeStoreRebuild(counting, counter);
  if (!counting || counter == rememberedCounter_) return;
  rememberedCounter_ = counter;
  updateAll();
}

// The database rebuilds the store on every start. The refresh counter shows it: it is
// undefined for a while, then counts again from 0 once the database's loop runs; and,
// should this server have been held up for the whole rebuild, its mark is gone. Until
// the counter moves again the store is not complete, so the image waits.
void Synchroniser::noticeStoreRebuild(bool counting, int counter) {
  if (!imageFromStore_) return;
  if (counting && counter >= rememberedCounter_ && storeMarked()) return;
  imageFromStore_    = false;
  rememberedCounter_ = counting ? counter : 0;
  std::printf("tag store rebuilt, the register image waits for the database\n");
}

void Synchroniser::updateAll() {
  const bool building = !imageFromStore_;
  // Marked before the image is built: a rebuild starting meanwhile clears it again.
  if (building) shared_mem->modbus.status = kImageBuiltMark;
  const int count = dbGetModbusNoOfIndex();
  for (int index = 0; index < count; ++index) {
    if (!storeMarked()) break;  // the database is rebuilding the store: nothing more goes into it
    const int handle = dbGetModbusHandlePointer(index);
    const Mapping m{index,   dbGetModbusAddress(index),   dbGetModbusDataFormat(index),
                    handle,  dbReadValueByHandle(handle), dbGetModbusLastValue(index),
                    building};
    if (m.format == kBit) {
      if (m.address < kCoilBase) {
        syncDiscreteInput(m);
      } else {
        syncCoil(m);
      }
    } else if (m.address < kHoldingBase) {
      syncInputRegister(m);
    } else if (m.format == kText12 || m.format == kText7) {
      syncHoldingText(m);
    } else if (m.format == kRegister16 || m.format == kRegister32) {
      syncHoldingNumber(m);
    }
  }
  if (building && storeMarked()) std::printf("register image built from the tag store\n");
  imageFromStore_ = true;
}

void Synchroniser::syncDiscreteInput(const Mapping& m) {
  const bool on = m.value != 0;
  image_.setDiscreteInput(m.address, on);
  image_.setCoil(m.address, on);
  mirrorBit(handles::kReadOnlyCoilWords, m.address, on);
}

void Synchroniser::syncCoil(const Mapping& m) {
  if (!image_.hasCoil(m.address)) return;
  const bool tagOn = m.value != 0;
  if (m.toPublish()) {
    image_.setCoil(m.address, tagOn);
    dbSetModbusLastValue(m.index, m.value);
    // The word tags follow changes of the coil tags; a value the image merely shows
    // afresh leaves them as they are.
    if (m.databaseChanged()) mirrorBit(handles::kReadWriteCoilWords, m.address - kCoilBase, tagOn);
    return;
  }
  const int coil = image_.coil(m.address);
  if ((coil != 0) == tagOn) return;

  int code = 0;
  if (!isLocked()) {
    if (protectedAndLocked(m.handle)) {
      image_.setCoil(m.address, tagOn);
      std::printf("the address (%x) is protected and we are locked \n", m.address);
      return;
    }
    if (!dbSetValueByHandle(m.handle, coil, &code)) return;  // kept in the image, retried next pass
    dbSetModbusLastValue(m.index, coil);
    if (m.handle == handles::kScopeGrabTrigger && dbIsEqual(m.handle, 1)) {
      dbSetValueByHandle(handles::kScopeView2Type, 0, &code);
      std::printf("Scope trigger from Modbus, set SCOPEVIEW2TYPE to CONTROL \n");
    }
    acceptCoilWrite(m, coil);
    return;
  }

  std::printf("we are in local remote state, server updated \n");
  const bool switchesOff =
      (m.handle == handles::kTron && coil == 0) || (m.handle == handles::kTroffCommand && coil == 1);
  if (switchesOff) {
    if (!dbSetValueByHandle(m.handle, coil, &code)) return;
    dbSetModbusLastValue(m.index, coil);
    acceptCoilWrite(m, coil);
    return;
  }
  std::printf("write coil from modbus not possible, write back ! \n");
  dbSetModbusLastValue(m.index, m.value);
  image_.setCoil(m.address, tagOn);
}

void Synchroniser::acceptCoilWrite(const Mapping& m, int coil) {
  mirrorBit(handles::kReadWriteCoilWords, m.address - kCoilBase, coil != 0);
  dbSetBitByHandle(handles::kActivityFlags, kModbusActivityBit);
  std::printf("update shared memory from modbus, (coil) adr:0x%x value:%d->%d %d:%d\n", m.address, m.value, coil,
              dbReadValueByHandle(handles::kDateWord), dbReadValueByHandle(handles::kTimeWord));
}

void Synchroniser::syncInputRegister(const Mapping& m) {
  if (m.format == kRegister32) {
    const WordPair words = modbusmap::inputLayout32(m.value);
    if (!image_.hasInputRegisters(m.address, 2)) return;
    image_.setInputRegister(m.address, words.atAddress);
    image_.setInputRegister(m.address + 1, words.atNext);
    image_.setHolding(m.address, words.atAddress);
    image_.setHolding(m.address + 1, words.atNext);
    return;
  }
  // A 16-bit register, or a text shown by its checksum.
  const auto low = static_cast<uint16_t>(static_cast<uint32_t>(m.value) & 0xFFFF);
  image_.setInputRegister(m.address, low);
  image_.setHolding(m.address, low);
}

void Synchroniser::publishText(int address, int width, int textIndex) {
  const volatile char* text = shared_mem->text.txt[textIndex];
  bool ended                = false;
  for (int i = 0; i < width; ++i) {
    ended = ended || i >= kTextSize || text[i] == '\0';
    image_.setHolding(address + i, ended ? 0 : static_cast<uint16_t>(static_cast<unsigned char>(text[i])));
  }
}

void Synchroniser::syncHoldingText(const Mapping& m) {
  const int width = textWidth(m.format);
  int textIndex   = 0;
  int code        = 0;
  if (!image_.hasHolding(m.address, width) || !dbGetTextIndexByHandle(m.handle, &textIndex, &code)) return;

  if (m.toPublish()) {
    publishText(m.address, width, textIndex);
    std::printf("Writing to db\n");
    dbSetModbusLastValue(m.index, m.value);
    return;
  }
  if (startsText(image_.holding(m.address))) {
    std::string written;
    bool ended = false;
    for (int i = 0; i < width; ++i) {
      const uint16_t reg = image_.holding(m.address + i);
      ended              = ended || reg == 0;
      if (ended) {
        image_.setHolding(m.address + i, 0);
      } else {
        written += static_cast<char>(reg & 0xFF);
      }
    }
    const int checksum = dbTextChecksum(written.c_str(), static_cast<int>(written.size()));
    if (checksum != m.value) {
      std::printf("text in modbus changed %d %d %s\n", checksum, m.value, written.c_str());
      dbSetModbusTextByHandle(m.handle, written.c_str(), &code);
    }
    return;
  }
  // Anything else in the first register: show the stored text again ("?" when empty).
  volatile char* stored = shared_mem->text.txt[textIndex];
  if (stored[0] == '\0') {
    stored[0] = '?';
    stored[1] = '\0';
  }
  publishText(m.address, width, textIndex);
  dbSetModbusLastValue(m.index, m.value);
}

void Synchroniser::writeNumber(const Mapping& m, int value) {
  if (m.format == kRegister16) {
    image_.setHolding(m.address, static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFF));
    return;
  }
  const WordPair words = m.handle == handles::kDate ? modbusmap::dateLayout(value)
                                                    : modbusmap::holdingLayout32(value, dbIsSwapWordBitSet(m.index));
  image_.setHolding(m.address, words.atAddress);
  image_.setHolding(m.address + 1, words.atNext);
}

int Synchroniser::readNumber(const Mapping& m) const {
  if (m.format == kRegister16) return image_.holding(m.address);
  const WordPair words{image_.holding(m.address), image_.holding(m.address + 1)};
  return m.handle == handles::kDate ? modbusmap::readDate(words)
                                    : modbusmap::readHolding32(words, dbIsSwapWordBitSet(m.index));
}

int Synchroniser::publishedValue(const Mapping& m, int value) const {
  if (m.format == kRegister16) return static_cast<int>(static_cast<uint32_t>(value) & 0xFFFF);
  if (m.handle == handles::kDate) return modbusmap::readDate(modbusmap::dateLayout(value));
  return value;
}

void Synchroniser::syncHoldingNumber(const Mapping& m) {
  if (!image_.hasHolding(m.address, registerWidth(m.format, m.address))) return;
  if (m.toPublish()) {
    writeNumber(m, m.value);
    dbSetModbusLastValue(m.index, m.value);
    return;
  }
  // Compared as the registers hold it: a negative 16-bit value reads back unsigned, and
  // that alone is no client write.
  const int written = readNumber(m);
  if (written == publishedValue(m, m.value)) return;

  if (isLocked()) {
    writeNumber(m, m.value);
    return;
  }
  int code = 0;
  if (protectedAndLocked(m.handle)) {
    writeNumber(m, m.value);
    std::printf("(register) the address (%x) is protected and we are locked \n", m.address);
  } else if (dbSetValueByHandle(m.handle, written, &code)) {
    dbSetModbusLastValue(m.index, written);
  } else {
    writeNumber(m, m.value);  // refused by the store: undone in the image
  }
  dbSetBitByHandle(handles::kActivityFlags, kModbusActivityBit);
}

}  // namespace regserver
