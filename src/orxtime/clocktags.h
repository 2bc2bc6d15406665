// The clock tags: the packed time and date tags and the seconds-of-day tick that the
// database loop keeps in step with the system clock.
#pragma once

// Writes the packed time to the tag; true when a new second has begun since the last
// call (then also the seconds-of-day tick 1102 and the time word 1130, and at midnight
// the date tag vxo_date).
bool cust_time(int timeHandle);
// Writes the packed date to the tag and the date word 1129.
void date(int dateHandle);

namespace orxtime {

// cust_time runs on every pass of the loop; its "Current Time" debug line is printed
// only when asked for, so that a unit's log does not grow by a line per pass.
void setClockDebugLines(bool on);

}  // namespace orxtime
