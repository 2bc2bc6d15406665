#include "requestframe.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using regserver::frameLength;
using regserver::requestLength;

// A frame: transaction 1, protocol 0, the given length field, unit 1, then pdu.
std::vector<uint8_t> frame(int lengthField, std::vector<uint8_t> pdu) {
  std::vector<uint8_t> bytes = {
      0, 1, 0, 0, static_cast<uint8_t>(lengthField >> 8), static_cast<uint8_t>(lengthField & 0xFF), 1};
  for (const uint8_t byte : pdu) bytes.push_back(byte);
  return bytes;
}

std::vector<uint8_t> firstBytes(std::vector<uint8_t> bytes, size_t count) {
  bytes.resize(count);
  return bytes;
}

TEST(RequestFrame, LengthFieldCoversUnitAndFunctionUpToTheLargestFrame) {
  EXPECT_EQ(frameLength(frame(1, {}).data()), -1);  // no room for a function code
  EXPECT_EQ(frameLength(frame(2, {}).data()), 8);
  EXPECT_EQ(frameLength(frame(254, {}).data()), 260);  // a frame is at most 260 bytes
  EXPECT_EQ(frameLength(frame(255, {}).data()), -1);
  EXPECT_EQ(frameLength(frame(0x0106, {}).data()), -1);
}

TEST(RequestFrame, RequestLengthFromFunctionAndByteCount) {
  const std::vector<uint8_t> read = {3, 0x04, 0x11, 0, 1};
  EXPECT_EQ(requestLength(frame(6, read)), 12);
  auto padded = frame(8, read);
  padded.push_back(0xAA);
  padded.push_back(0xBB);
  EXPECT_EQ(requestLength(padded), 12);  // bytes past the request are not its own
  EXPECT_EQ(requestLength(firstBytes(frame(6, read), 11)), -1);

  // Write two registers: address, quantity, byte count 4, four data bytes.
  const std::vector<uint8_t> write = {16, 0x04, 0x11, 0, 2, 4, 0, 5, 0, 6};
  EXPECT_EQ(requestLength(frame(11, write)), 17);
  EXPECT_EQ(requestLength(firstBytes(frame(11, write), 16)), -1);
  EXPECT_EQ(requestLength(firstBytes(frame(11, write), 12)), -1);  // no byte count yet

  // Read and write: read address and quantity, write address and quantity, byte count 2.
  const std::vector<uint8_t> readWrite = {23, 0x04, 0x11, 0, 1, 0x04, 0x11, 0, 1, 2, 0, 7};
  EXPECT_EQ(requestLength(frame(13, readWrite)), 19);
  EXPECT_EQ(requestLength(firstBytes(frame(13, readWrite), 18)), -1);

  EXPECT_EQ(requestLength(frame(6, {0x41, 1, 2, 3, 4})), 8);  // an unknown function: its code alone
  EXPECT_EQ(requestLength(firstBytes(frame(2, {0x41}), 7)), -1);
}

}  // namespace
