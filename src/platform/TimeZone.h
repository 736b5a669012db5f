#pragma once

#include <ctime>

// Offset of local time from UTC in minutes, east positive, with daylight time
// when it is in force now (the C library's tm_gmtoff; honours TZ).
int LocalUtcOffsetMinutes();

// The same at a given moment.
int LocalUtcOffsetMinutesAt(std::time_t moment);
