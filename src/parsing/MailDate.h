#pragma once

#include "platform/DateTime.h"

#include <string_view>

// The local date-time of a mail Date value. Throws TConvertError when the day,
// month or year is missing, the date does not exist, or the zone lies 24 hours
// or more from the local one.
TDateTime ParseMailDate(std::string_view text);

// A zone token ("+0200", "-0000", "CEST") in minutes east of UTC. True when the
// token is a zone; a signed token too short to read is accepted and leaves
// minutes unchanged.
bool ParseZone(std::string_view token, int& minutes);

// The local offset from UTC in minutes, east positive, with daylight time when
// it is in force.
int LocalZoneOffset();
