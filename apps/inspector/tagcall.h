// One call of form 1: a tag, a function and the function's optional argument.
#pragma once

namespace inspector {

struct TagCall {
  const char* tagText;  // the tag argument as typed (handle or name)
  int handle;
  const char* extra;    // the function's argument, null when none was given
};

// Exit statuses of the inspector.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;

}  // namespace inspector
