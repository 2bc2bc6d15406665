// The two front-panel LEDs: A blinks once a second while the loop runs, B shows DHCP.
#pragma once

// Writes the mode character ('1' on, '0' off) to the brightness file of LED cLedName.
// Errors are ignored: a unit without the LED keeps running.
void led_control(char cLedName, unsigned char ucLedMode);

// Once a second: LED A on at the odd and off at the even calls (calls counts them, a
// heartbeat that changes every second), LED B on while DHCP is enabled.
void signalLed(bool dhcp, unsigned& calls);
