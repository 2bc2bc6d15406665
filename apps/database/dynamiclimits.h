// Ranges of the current-related settings follow the current transformer ratios.
#pragma once

// Once per second: applies the new ranges and defaults in table order, then the short
// quench codes that the recovery time no longer allows.
void dynamicLimits();
