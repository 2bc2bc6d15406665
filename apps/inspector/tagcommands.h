// Reading, scaling, counting and setting one tag.
#pragma once

#include "tagcall.h"

namespace inspector {

int readTag(const TagCall& call);       // "-r"
int printScaledTag(const TagCall& call);  // "-x"
int incrementTag(const TagCall& call);  // "-a"
int setTag(const TagCall& call);        // "-s" value|max|min|default

}  // namespace inspector
