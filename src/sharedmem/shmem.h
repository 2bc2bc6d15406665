// The tag store: one System V shared-memory segment that every program of the unit
// attaches. Its layout is a binary interface between separately built programs:
// never reorder or resize a field.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

constexpr int kNoOfHandles = 1500;      // tag handles 0..1499
constexpr int kNoOfNameSlots = 1200;    // handles with a name
constexpr int kTagNameSize = 30;        // 29 characters and the terminator
constexpr int kTagUnitSize = 10;        // 9 characters and the terminator
constexpr int kNoOfModbusEntries = 1000;
constexpr int kNoOfCanAddresses = 400;
constexpr int kNoOfGroups = 8;
constexpr int kGroupRows = 32;
constexpr int kGroupColumns = 8;
constexpr int kNoOfTexts = 30;
constexpr int kTextSize = 30;           // 29 characters and the terminator
constexpr int kGroupCellEmpty = 10000;  // cell inside a group's size that holds no handle
constexpr int kKeepLimit = -98765;      // a bound passed as this value is left unchanged

// The per-tag flag word.
union Bit32tag {
  uint32_t all;
  struct {
    uint32_t objectType : 3;          // 0 = internal integer (never range-checked); odd = defined tag
    uint32_t store : 1;               // persistent setting
    uint32_t notInMasterTaglist : 1;  //
    uint32_t initialized : 1;         // the handle holds a defined tag
    uint32_t protect : 1;             // every checked write is refused
    uint32_t noRangeCheck : 1;        // set when min, max and default are all 0
    uint32_t textString : 4;          // length of the last text written, modulo 16
    uint32_t groupAttached : 1;       // a group tag; its value is the group number
    uint32_t bit11 : 1;               // unused
    uint32_t noReset : 1;             // kept by a factory reset
    uint32_t modbusProtected : 1;     // not writable over Modbus while the unit is locked
    uint32_t actualModeSetting : 1;   // live copy of a mode setting
    uint32_t modeSetting : 3;         // 1..7: the mode whose setting this tag holds
    uint32_t modeSettingType : 4;     // which setting of the mode set
    uint32_t bit24 : 1;
    uint32_t bit25 : 1;
    uint32_t bit26 : 1;
    uint32_t bit27 : 1;               // marks named internal tags and some table rows
    uint32_t bit28 : 1;
    uint32_t bit29 : 1;
    uint32_t bit30 : 1;
    uint32_t bit31 : 1;
  } bits;
};

// One entry of the Modbus mapping list.
union Bit32Modbustag {
  uint32_t allModbus;
  struct {
    uint32_t dataFormat : 3;     // 0 bit, 1 16-bit, 2 32-bit, 3/4/5 text of 12/7/1 registers
    uint32_t wordSwap : 1;       // 32-bit value with the high word first
    uint32_t twoComplement : 1;  // always 0
    uint32_t address : 15;       // Modbus address
    uint32_t handleRef : 12;     // tag handle
  } bits;
};

// One CAN address of the CAN map: the last exchanged value and the mapping.
union Bit32Canbustag {
  uint64_t allCanbus;
  struct {
    int32_t lastValue;          // value last exchanged with the CAN side
    uint32_t source : 2;        // 2 = to this module, 1 = to the signal processor, 3 = both
    uint32_t dataLen : 2;       // CAN data format + 1: 1 bit, 2 16-bit, 3 32-bit
    uint32_t handleRef : 12;    // tag handle
    uint32_t free : 16;         // unused
  } bits;
};

struct shmem_t {
  struct {
    int32_t iValue[kNoOfHandles];
    int32_t iMax[kNoOfHandles];
    int32_t iMin[kNoOfHandles];
    int32_t iDefault[kNoOfHandles];
    int8_t cExponent[kNoOfHandles];  // engineering value = iValue * 10^cExponent
    uint8_t ucExec[kNoOfHandles];
    Bit32tag config[kNoOfHandles];
    int32_t iSaveValue[kNoOfHandles];  // value as of the last save or load of the settings
    struct {
      int32_t address[kNoOfHandles];  // -1: no Modbus address
    } modbus;
    struct {
      int32_t address[kNoOfHandles];  // -1: no CAN address
    } canbus;
  } parameter;
  struct {
    char name[kNoOfNameSlots][kTagNameSize];
    char unit[kNoOfNameSlots][kTagUnitSize];
    int32_t iRef[kNoOfNameSlots];  // owning handle, -1 for a free slot
    int32_t status;                // 0 empty, n > 0 unsorted names, -n sorted names
  } tag;
  struct {
    int16_t noOfAttacedVars;
    Bit32Modbustag config[kNoOfModbusEntries];
    int32_t lastValue[kNoOfModbusEntries];  // value last exchanged with the register image
    char status;
  } modbus;
  struct {
    int16_t noOfAttacedVars;
    Bit32Canbustag config[kNoOfCanAddresses];  // indexed by CAN address
    char status;
  } canbus;
  struct {
    int16_t noOfAttacedVars;
    int16_t handleRef;  // unused
    int16_t rows[kNoOfGroups];
    int16_t columns[kNoOfGroups];
    int16_t handles[kNoOfGroups][kGroupRows][kGroupColumns];  // 10000 empty, -1 outside the size
  } group;
  struct {
    char noOfAttachedTexts;
    char txt[kNoOfTexts][kTextSize];
    uint8_t length[kNoOfTexts];  // registers: 12, 7 or 1
    int16_t modbusIndex[kNoOfTexts];
    int16_t iRef[kNoOfTexts];
  } text;
};

// A whole tag copied in or out of the store. The name pointers point into the segment
// attached by the process that filled the record.
struct objectType {
  int iValue;
  int iMax;
  int iMin;
  int iDefault;
  signed char cExponent;
  unsigned char ucExec;
  Bit32tag config;
  int handle;
  struct {
    int address;
  } modbus;
  struct {
    int address;
  } canbus;
  struct {
    char* name;
    char* unit;
  } tag;
};

// The values (or handles) of a group, row-major.
struct groupType {
  int value[kGroupRows][kGroupColumns];
  short handleRef;
};

// The process's attached store; every access goes to memory.
extern volatile shmem_t* shared_mem;

// Gets (creating if needed) and attaches the store with the unit's key, sets shared_mem
// and returns it. Without the store no program can work: on failure it prints
// "Could not get shared memory" and ends the program with status 1.
shmem_t* init_shm();
// Checked attach: null when the key is -1, or the segment cannot be got or attached,
// or an existing segment has another size.
shmem_t* attach_memory_block(key_t key, int size);
bool detach_memory_block(shmem_t* block);
// Removes the segment of this key; true when it was removed.
bool destroy_memory_block(key_t key);

// Resets the whole store before the definitions.
void shmStructbZero();

// The tag's value when the handle is below 1500 and initialised, else 0.
int status(int varNum);
int sTick(int varNum);

// The layout is shared with programs built separately: any change must fail the build.
namespace shmem_layout {
template <typename Bits, typename Word>
constexpr Word wordOf(void (*set)(Bits&)) {
  Bits bits{};
  set(bits);
  return __builtin_bit_cast(Word, bits);
}
using TagBits = decltype(Bit32tag::bits);
using ModbusBits = decltype(Bit32Modbustag::bits);
using CanBits = decltype(Bit32Canbustag::bits);

static_assert(sizeof(shmem_t) == 120216);
static_assert(sizeof(Bit32tag) == 4 && sizeof(Bit32Modbustag) == 4 && sizeof(Bit32Canbustag) == 8);
static_assert(offsetof(shmem_t, parameter) == 0);
static_assert(offsetof(shmem_t, tag) == 51000);
static_assert(offsetof(shmem_t, modbus) == 103804);
static_assert(offsetof(shmem_t, canbus) == 111816);
static_assert(offsetof(shmem_t, group) == 115032);
static_assert(offsetof(shmem_t, text) == 119164);

static_assert(offsetof(shmem_t, parameter.iMax) == 6000);
static_assert(offsetof(shmem_t, parameter.iMin) == 12000);
static_assert(offsetof(shmem_t, parameter.iDefault) == 18000);
static_assert(offsetof(shmem_t, parameter.cExponent) == 24000);
static_assert(offsetof(shmem_t, parameter.ucExec) == 25500);
static_assert(offsetof(shmem_t, parameter.config) == 27000);
static_assert(offsetof(shmem_t, parameter.iSaveValue) == 33000);
static_assert(offsetof(shmem_t, parameter.modbus.address) == 39000);
static_assert(offsetof(shmem_t, parameter.canbus.address) == 45000);
static_assert(offsetof(shmem_t, tag.unit) == 51000 + 36000);
static_assert(offsetof(shmem_t, tag.iRef) == 51000 + 48000);
static_assert(offsetof(shmem_t, tag.status) == 51000 + 52800);
static_assert(offsetof(shmem_t, modbus.config) == 103804 + 4);
static_assert(offsetof(shmem_t, modbus.lastValue) == 103804 + 4004);
static_assert(offsetof(shmem_t, modbus.status) == 103804 + 8004);
static_assert(offsetof(shmem_t, canbus.config) == 111816 + 8);
static_assert(offsetof(shmem_t, canbus.status) == 111816 + 3208);
static_assert(offsetof(shmem_t, group.rows) == 115032 + 4);
static_assert(offsetof(shmem_t, group.columns) == 115032 + 20);
static_assert(offsetof(shmem_t, group.handles) == 115032 + 36);
static_assert(offsetof(shmem_t, text.txt) == 119164 + 1);
static_assert(offsetof(shmem_t, text.length) == 119164 + 901);
static_assert(offsetof(shmem_t, text.modbusIndex) == 119164 + 932);
static_assert(offsetof(shmem_t, text.iRef) == 119164 + 992);

// Flag word bit positions. Clang cannot evaluate a bit_cast of bit-fields at compile
// time; the GCC build checks them, and a unit test checks them at run time too.
#ifndef __clang__
static_assert(wordOf<TagBits, uint32_t>([](TagBits& b) { b.objectType = 7; }) == 0x7u);
static_assert(wordOf<TagBits, uint32_t>([](TagBits& b) { b.store = 1; }) == 1u << 3);
static_assert(wordOf<TagBits, uint32_t>([](TagBits& b) { b.notInMasterTaglist = 1; }) == 1u << 4);
static_assert(wordOf<TagBits, uint32_t>([](TagBits& b) { b.initialized = 1; }) == 1u << 5);
static_assert(wordOf<TagBits, uint32_t>([](TagBits& b) { b.protect = 1; }) == 1u << 6);
static_assert(wordOf<TagBits, uint32_t>([](TagBits& b) { b.noRangeCheck = 1; }) == 1u << 7);
static_assert(wordOf<TagBits, uint32_t>([](TagBits& b) { b.textString = 15; }) == 0xFu << 8);
static_assert(wordOf<TagBits, uint32_t>([](TagBits& b) { b.groupAttached = 1; }) == 1u << 12);
static_assert(wordOf<TagBits, uint32_t>([](TagBits& b) { b.bit11 = 1; }) == 1u << 13);
static_assert(wordOf<TagBits, uint32_t>([](TagBits& b) { b.noReset = 1; }) == 1u << 14);
static_assert(wordOf<TagBits, uint32_t>([](TagBits& b) { b.modbusProtected = 1; }) == 1u << 15);
static_assert(wordOf<TagBits, uint32_t>([](TagBits& b) { b.actualModeSetting = 1; }) == 1u << 16);
static_assert(wordOf<TagBits, uint32_t>([](TagBits& b) { b.modeSetting = 7; }) == 0x7u << 17);
static_assert(wordOf<TagBits, uint32_t>([](TagBits& b) { b.modeSettingType = 15; }) == 0xFu << 20);
static_assert(wordOf<TagBits, uint32_t>([](TagBits& b) { b.bit24 = 1; }) == 1u << 24);
static_assert(wordOf<TagBits, uint32_t>([](TagBits& b) { b.bit27 = 1; }) == 1u << 27);
static_assert(wordOf<TagBits, uint32_t>([](TagBits& b) { b.bit31 = 1; }) == 1u << 31);
static_assert(wordOf<ModbusBits, uint32_t>([](ModbusBits& b) { b.dataFormat = 7; }) == 0x7u);
static_assert(wordOf<ModbusBits, uint32_t>([](ModbusBits& b) { b.wordSwap = 1; }) == 1u << 3);
static_assert(wordOf<ModbusBits, uint32_t>([](ModbusBits& b) { b.twoComplement = 1; }) == 1u << 4);
static_assert(wordOf<ModbusBits, uint32_t>([](ModbusBits& b) { b.address = 0x7FFF; }) == 0x7FFFu << 5);
static_assert(wordOf<ModbusBits, uint32_t>([](ModbusBits& b) { b.handleRef = 0xFFF; }) == 0xFFFu << 20);
static_assert(wordOf<CanBits, uint64_t>([](CanBits& b) { b.lastValue = -1; }) == 0xFFFFFFFFull);
static_assert(wordOf<CanBits, uint64_t>([](CanBits& b) { b.source = 3; }) == 0x3ull << 32);
static_assert(wordOf<CanBits, uint64_t>([](CanBits& b) { b.dataLen = 3; }) == 0x3ull << 34);
static_assert(wordOf<CanBits, uint64_t>([](CanBits& b) { b.handleRef = 0xFFF; }) == 0xFFFull << 36);
static_assert(wordOf<CanBits, uint64_t>([](CanBits& b) { b.free = 0xFFFF; }) == 0xFFFFull << 48);
#endif
}  // namespace shmem_layout
