// Files that must survive a power cut: written beside the old one, flushed to the disk
// and renamed over it, so that a reader finds either the old or the new file whole.
#pragma once

#include <string>
#include <string_view>

namespace orvix {

// realPath is a host path (already resolved under the image). False, with errno set,
// when any step fails; the old file is then untouched.
bool writeFileAtomically(const std::string& realPath, std::string_view contents);

}  // namespace orvix
