// The helpers work on the store the database daemon built: they attach it, never
// create an empty one.
#pragma once

// Attaches the unit's store (key from ORVIX_SHM_KEY) as shared_mem; false, with a
// message naming the program on standard error, when no store exists.
bool attachUnitStore(const char* program);
