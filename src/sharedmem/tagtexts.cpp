// Text tags: the characters live in the text table, the tag's value is their checksum.
#include <cstdint>
#include <cstring>

#include "sharedmem/storeview.h"
#include "sharedmem/tagaccess.h"

namespace {

constexpr int kLongestText = kTextSize - 1;
constexpr int kNoTextEntry = 99;
char unreadableText[] = "-";

bool isTextCharacter(char c) { return c >= '0' && c <= 'z'; }

int textEntryOf(int handle) {
  const int count = shared_mem->text.noOfAttachedTexts;
  for (int entry = 0; entry < count && entry < kNoOfTexts; ++entry) {
    if (shared_mem->text.iRef[entry] == handle) return entry;
  }
  return -1;
}

}  // namespace

// Unsigned so that long texts wrap instead of overflowing.
int dbTextChecksum(const char* text, int length) {
  uint32_t sum = 0;
  for (int position = 0; position < length; ++position) {
    sum += static_cast<uint32_t>(static_cast<unsigned char>(text[position])) << position;
  }
  return static_cast<int>(sum);
}

bool dbGetTextIndexByHandle(int varNum, int* index, int* errCode) {
  *index = kNoTextEntry;
  if (!storeview::validHandle(varNum)) {
    if (errCode != nullptr) *errCode = kTagBadHandle;
    return false;
  }
  if (!storeview::flags(varNum).bits.initialized) {
    if (errCode != nullptr) *errCode = kTagUninitialised;
    return false;
  }
  const int entry = textEntryOf(varNum);
  if (errCode != nullptr) *errCode = entry < 0 ? 3 : 0;
  if (entry < 0) return false;
  *index = entry;
  return true;
}

int dbSetModbusTextByHandle(int varNum, const char* t, int* errCode) {
  if (errCode != nullptr) *errCode = 0;
  const int entry = storeview::validHandle(varNum) ? textEntryOf(varNum) : -1;
  if (entry < 0) return 0;
  volatile char* stored = shared_mem->text.txt[entry];
  // Longer texts keep their first characters: the entry must never be overrun.
  const int length = static_cast<int>(strnlen(t, kLongestText));
  storeview::flags(varNum).bits.textString = length % 16;
  stored[0] = '\0';
  for (int j = 0; j < length; ++j) {
    if (!isTextCharacter(t[j])) {
      stored[j] = '\0';
      if (j < kLongestText) stored[j + 1] = '\0';
      dbSetValueByHandle(varNum, dbTextChecksum(t, j), errCode);
      return 2;
    }
    stored[j] = t[j];
    stored[j + 1] = '\0';
  }
  dbSetValueByHandle(varNum, dbTextChecksum(t, length), errCode);
  return 1000 + length;
}

int dbSetModbusTextByTagName(const char* s, const char* t, int* errCode) {
  int handle = -1;
  if (!dbGetHandleByTagname(s, &handle, errCode)) return 0;
  return dbSetModbusTextByHandle(handle, t, errCode);
}

bool dbGetModbusTextByTagName(const char* s, char** t, int* errCode) {
  *t = unreadableText;
  int handle = -1;
  if (!dbGetHandleByTagname(s, &handle, errCode)) return false;
  const int entry = textEntryOf(handle);
  if (entry < 0) return false;
  volatile char* stored = shared_mem->text.txt[entry];
  bool readable = stored[0] != '\0';
  int end = 0;
  while (end < kLongestText && stored[end] != '\0') {
    readable = readable && isTextCharacter(stored[end]);
    ++end;
  }
  // Clear what an earlier, longer text left behind the terminator.
  for (int i = end; i < kTextSize; ++i) stored[i] = '\0';
  if (!readable) return false;
  *t = const_cast<char*>(stored);
  return true;
}
