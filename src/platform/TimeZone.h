#pragma once

#include <ctime>

// Offset of local time from UTC in minutes, east positive, with daylight time
// when it is in force now (the C library's tm_gmtoff; honours TZ). Cheap
// enough for every mail date: the zone rules are read again only when TZ
// changes or a minute has passed, which also catches a change of daylight time
// or of the system's zone file.
int LocalUtcOffsetMinutes();

// The same at a given moment.
int LocalUtcOffsetMinutesAt(std::time_t moment);
