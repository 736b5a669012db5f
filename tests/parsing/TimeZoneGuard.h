#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

// Sets TZ for one test ("XXX-1" is UTC+1 without daylight time) and puts the
// previous value back.
class TTimeZoneGuard {
public:
    explicit TTimeZoneGuard(const char* tz) {
        if (const char* old = std::getenv("TZ")) previous_ = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~TTimeZoneGuard() {
        if (previous_)
            setenv("TZ", previous_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    TTimeZoneGuard(const TTimeZoneGuard&) = delete;
    TTimeZoneGuard& operator=(const TTimeZoneGuard&) = delete;

private:
    std::optional<std::string> previous_;
};
