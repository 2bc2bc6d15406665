#include "curvefile.h"

#include <string>

#include "platform/platform.h"

namespace scopegrab {

FilePtr openForWriting(std::string_view unitPath) {
  return FilePtr(std::fopen(orvix::platform::resolvePath(unitPath).c_str(), "w"));
}

}  // namespace scopegrab
