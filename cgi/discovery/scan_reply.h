#pragma once
// Parser of the text a unit's network module sends back to the scan request.

#include <string_view>

#include "node.h"

namespace discovery {

// Fills the node's reply fields from the reply text. False when the reply has no
// "IP = " key, which makes it unparsable; every other key is optional.
bool parseScanReply(std::string_view reply, Node& node);

}  // namespace discovery
