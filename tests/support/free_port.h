// A TCP port on loopback that nothing listens on at the moment of asking.
#pragma once

namespace orvix::testing {

int freeLoopbackPort();

}  // namespace orvix::testing
