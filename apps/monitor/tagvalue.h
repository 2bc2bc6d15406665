// A named tag looked up by name until found, then read by its handle with its exponent.
#pragma once

namespace monitor {

class NamedTag {
 public:
  explicit NamedTag(const char* name) : name_(name) {}
  int value() const;     // raw value; 0 while the tag is not defined
  int exponent() const;  // -1 tenths, -2 hundredths

 private:
  int handle() const;
  const char* name_;
  mutable int handle_ = -1;  // a store still being built resolves later
};

}  // namespace monitor
