#include "tagvalue.h"

#include "sharedmem/shmem.h"
#include "sharedmem/tagaccess.h"

namespace monitor {

int NamedTag::handle() const {
  int code = 0;
  if (handle_ < 0 && !dbGetHandleByTagname(name_, &handle_, &code)) handle_ = -1;
  return handle_;
}

int NamedTag::value() const { return handle() < 0 ? 0 : status(handle_); }

int NamedTag::exponent() const { return handle() < 0 ? 0 : shared_mem->parameter.cExponent[handle_]; }

}  // namespace monitor
