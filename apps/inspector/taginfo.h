// Everything the store knows about one tag ("-i").
#pragma once

#include "tagcall.h"

namespace inspector {

int printTagInformation(const TagCall& call);

}  // namespace inspector
