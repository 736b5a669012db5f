#pragma once

// Offset of local time from UTC in minutes, east positive, with daylight time
// when it is in force now (the C library's tm_gmtoff; honours TZ).
int LocalUtcOffsetMinutes();
