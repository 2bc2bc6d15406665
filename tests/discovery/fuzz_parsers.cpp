// libFuzzer target: arbitrary bytes as a scan reply and as a summary page, through the
// parsers and both answers. Fields must stay terminated within their capacity.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "answer.h"
#include "page_reader.h"
#include "scan_reply.h"

namespace {

template <typename Field>
void checkTerminated(const Field& field, std::size_t capacity) {
  if (field.view().size() >= capacity) {
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace discovery;
  const std::string input(reinterpret_cast<const char*>(data), size);

  auto node = std::make_unique<Node>();
  const bool parsed = parseScanReply(input.c_str(), *node);
  checkTerminated(node->hostName, 13);
  checkTerminated(node->ipAddress, 16);
  checkTerminated(node->gateway, 16);
  checkTerminated(node->subnetMask, 16);
  checkTerminated(node->macAddress, 18);
  checkTerminated(node->dhcpState, 4);
  checkTerminated(node->moduleVersion, 10);
  if (!parsed && !node->ipAddress.view().empty()) {
    __builtin_trap();
  }

  node->summaryPage = input;
  const int level = alarmLevel(input);
  if (level < 0 || level > 2) {
    __builtin_trap();
  }
  readPageNumber(node->summaryPage, "ADDRESS = ");
  NodeList nodes;
  nodes.insert(std::move(node));
  const std::string xml = xmlAnswer(nodes);
  const std::string cookie = saveAnswer(nodes);
  // Outside text must never open a tag or add a cookie attribute of its own.
  if (xml.find("<x") != std::string::npos || cookie.find("\r") != std::string::npos) {
    __builtin_trap();
  }
  return 0;
}
