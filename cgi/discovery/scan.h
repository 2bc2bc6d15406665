#pragma once
// The network scan: one broadcast request, then every reply collected for one second.

#include <functional>

#include "node_list.h"

namespace discovery {

// Broadcasts the scan request and adds a node to the list for every parsable reply
// from a new IP address, handing each new node to onNewNode as soon as it is listed.
// False when the scan failed; the caller then discards the list once nothing else
// (fetch threads) uses its nodes.
bool scanNodes(NodeList& nodes, const std::function<void(Node&)>& onNewNode);

}  // namespace discovery
