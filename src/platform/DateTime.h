#pragma once

// Date-times are days since 1899-12-30 00:00 with the time of day as the
// fraction, the convention of the stored tables and of the mail dates.
using TDateTime = double;

struct TDateTimeParts {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// False when a part is out of range (month 13, 31 February, hour 24 ...).
bool TryEncodeDateTime(const TDateTimeParts& parts, TDateTime& result);
TDateTimeParts DecodeDateTime(TDateTime value);

// The current local time.
TDateTime Now();
