#include "platform/DateTime.h"

#include <cmath>
#include <ctime>

namespace {

constexpr long kDaysFrom1970To1899_12_30 = -25569;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
long DaysFromCivil(long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

void CivilFromDays(long z, int& y, int& m, int& d) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<long>(yoe) + era * 400 + (m <= 2));
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

}  // namespace

bool TryEncodeDateTime(const TDateTimeParts& p, TDateTime& result) {
    if (p.year < 1 || p.year > 9999 || p.month < 1 || p.month > 12) return false;
    if (p.day < 1 || p.day > DaysInMonth(p.year, p.month)) return false;
    if (p.hour < 0 || p.hour > 23 || p.minute < 0 || p.minute > 59 || p.second < 0 ||
        p.second > 59 || p.millisecond < 0 || p.millisecond > 999)
        return false;
    const long days = DaysFromCivil(p.year, static_cast<unsigned>(p.month), static_cast<unsigned>(p.day)) -
                      kDaysFrom1970To1899_12_30;
    const double time = (((p.hour * 60.0 + p.minute) * 60.0 + p.second) * 1000.0 + p.millisecond) / 86400000.0;
    // Days before 1899-12-30 keep the time as a positive fraction after the sign.
    result = days >= 0 ? days + time : days - time;
    return true;
}

TDateTimeParts DecodeDateTime(TDateTime value) {
    TDateTimeParts p;
    const double whole = std::trunc(value);
    long long ms = std::llround(std::fabs(value - whole) * 86400000.0);
    long days = static_cast<long>(whole);
    if (ms >= 86400000) {
        ms -= 86400000;
        days += value >= 0 ? 1 : -1;
    }
    CivilFromDays(days + kDaysFrom1970To1899_12_30, p.year, p.month, p.day);
    p.hour = static_cast<int>(ms / 3600000);
    p.minute = static_cast<int>(ms / 60000 % 60);
    p.second = static_cast<int>(ms / 1000 % 60);
    p.millisecond = static_cast<int>(ms % 1000);
    return p;
}

TDateTime Now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm local{};
    localtime_r(&ts.tv_sec, &local);
    TDateTime result = 0;
    TryEncodeDateTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                       local.tm_sec, static_cast<int>(ts.tv_nsec / 1000000)},
                      result);
    return result;
}
