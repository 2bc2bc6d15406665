#include "leds.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "platform/platform.h"

void led_control(char cLedName, unsigned char ucLedMode) {
  char unitPath[64];
  std::snprintf(unitPath, sizeof unitPath, "/sys/class/leds/Led %c/brightness", cLedName);
  const int fd = open(orvix::platform::resolvePath(unitPath).c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return;
  const ssize_t written = write(fd, &ucLedMode, 1);
  (void)written;
  close(fd);
}

void signalLed(bool dhcp, unsigned& calls) {
  ++calls;
  led_control('A', calls % 2 == 1 ? '1' : '0');
  led_control('B', dhcp ? '1' : '0');
}
