#include "request.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace discovery {
namespace {

// A decimal number and nothing else; anything else is no limit at all (rather than 0,
// which would silently fetch no page).
bool readDecimal(const char* text, long& number) {
  char* end = nullptr;
  errno = 0;
  number = std::strtol(text, &end, 10);
  return end != text && *end == '\0' && errno == 0;
}

}  // namespace

Request parseRequest(const char* queryString, int argc, const char* const* argv) {
  Request request;
  if (queryString && std::strcmp(queryString, "save") == 0) {
    request.save = true;
  }
  if (argc < 1) {
    return request;
  }
  const char* first = argv[0];
  long limit = 0;
  if (std::strcmp(first, "find") == 0) {
    request.findOnly = true;
  } else if (std::strcmp(first, "save") == 0) {
    request.save = true;
  } else if (readDecimal(first, limit) && limit <= kMaxRequestedLimit) {
    request.nodeLimit = static_cast<int>(limit < 0 ? 0 : limit);
  }
  return request;
}

}  // namespace discovery
