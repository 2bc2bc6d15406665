#pragma once
// The two answers to the browser: the XML summary of every unit and the cookie that
// saves the list of units.

#include <string>

#include "node_list.h"

namespace discovery {

std::string xmlAnswer(const NodeList& nodes);
std::string saveAnswer(const NodeList& nodes);

}  // namespace discovery
