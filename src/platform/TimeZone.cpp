#include "platform/TimeZone.h"

#include <cstdlib>
#include <string>

namespace {

constexpr std::time_t kRulesCheckSeconds = 60;

// tzset reads TZ and looks at the zone file on every call; done per mail date
// it was a large part of a scan.
struct TZoneRules {
    bool known = false;
    bool hasTz = false;
    std::string tz;
    std::time_t checkedUntil = 0;
    int offsetNow = 0;
};

int OffsetAt(std::time_t moment) {
    std::tm local{};
    localtime_r(&moment, &local);
    return static_cast<int>(local.tm_gmtoff / 60);
}

bool TzUnchanged(const TZoneRules& rules, const char* tz) {
    return rules.known && (tz != nullptr) == rules.hasTz && (!tz || rules.tz == tz);
}

const TZoneRules& CurrentZoneRules() {
    thread_local TZoneRules rules;
    const std::time_t now = std::time(nullptr);
    const char* tz = std::getenv("TZ");
    if (TzUnchanged(rules, tz) && now < rules.checkedUntil) return rules;
    tzset();
    rules.known = true;
    rules.hasTz = tz != nullptr;
    rules.tz = tz ? tz : "";
    rules.checkedUntil = now + kRulesCheckSeconds;
    rules.offsetNow = OffsetAt(now);
    return rules;
}

}  // namespace

int LocalUtcOffsetMinutes() { return CurrentZoneRules().offsetNow; }

int LocalUtcOffsetMinutesAt(std::time_t moment) {
    CurrentZoneRules();
    return OffsetAt(moment);
}
