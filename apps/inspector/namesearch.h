// The listing shown when the tag argument is neither a handle nor a known name: every
// defined tag whose line matches the typed text.
#pragma once

namespace inspector {

// Exit status of a search: -99 as the unsigned status the shell sees.
constexpr int kSearchExitStatus = 256 - 99;

// Prints the line of every initialised tag that matches the pattern (a basic regular
// expression, so plain text matches lines containing it); returns kSearchExitStatus.
int listTagsMatching(const char* pattern);

}  // namespace inspector
