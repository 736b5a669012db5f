#include "platform/TimeZone.h"

#include <ctime>

int LocalUtcOffsetMinutes() {
    tzset();
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return static_cast<int>(local.tm_gmtoff / 60);
}
