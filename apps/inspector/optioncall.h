// One call of form 2: an option and the arguments that follow it.
#pragma once

#include <span>

#include "tagcall.h"

namespace inspector {

using OptionArguments = std::span<char* const>;

}  // namespace inspector
