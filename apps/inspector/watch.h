// Watching one tag change from the console: the value is polled, never waited for.
#pragma once

#include "tagcall.h"

namespace inspector {

int watchChanges(const TagCall& call);       // "-t" [count]: each change as old -> new
int watchChangedBytes(const TagCall& call);  // "-y" [count]: each change byte by byte
int watchAbove(const TagCall& call);         // "-o" [threshold]: for ever, while above
int watchBelow(const TagCall& call);         // "-u" [threshold]: for ever, while below

}  // namespace inspector
