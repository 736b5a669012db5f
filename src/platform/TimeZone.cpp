#include "platform/TimeZone.h"

int LocalUtcOffsetMinutes() { return LocalUtcOffsetMinutesAt(std::time(nullptr)); }

int LocalUtcOffsetMinutesAt(std::time_t moment) {
    tzset();
    std::tm local{};
    localtime_r(&moment, &local);
    return static_cast<int>(local.tm_gmtoff / 60);
}
