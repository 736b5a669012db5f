#include "parsing/MailDate.h"

#include "parsing/ConvertError.h"
#include "platform/TimeZone.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

namespace {

struct TNamedZone {
    std::string_view name;
    int hours;
};

// Hours east of UTC. "BST" stands at -1 here, not at British Summer Time.
constexpr TNamedZone kZones[] = {
    {"NZDT", 13}, {"IDLE", 12}, {"NZST", 12}, {"NZT", 12}, {"EADT", 11}, {"GST", 10},  {"JST", 9},
    {"CCT", 8},   {"WADT", 8},  {"WAST", 7},  {"ZP6", 6},  {"ZP5", 5},   {"ZP4", 4},   {"BT", 3},
    {"EET", 2},   {"MEST", 2},  {"MESZ", 2},  {"SST", 2},  {"FST", 2},   {"CEST", 2},  {"CET", 1},
    {"FWT", 1},   {"MET", 1},   {"MEWT", 1},  {"SWT", 1},  {"UT", 0},    {"UTC", 0},   {"GMT", 0},
    {"WET", 0},   {"WAT", -1},  {"BST", -1},  {"AT", -2},  {"ADT", -3},  {"AST", -4},  {"EDT", -4},
    {"EST", -5},  {"CDT", -5},  {"CST", -6},  {"MDT", -6}, {"MST", -7},  {"PDT", -7},  {"PST", -8},
    {"YDT", -8},  {"YST", -9},  {"HDT", -9},  {"AHST", -10}, {"CAT", -10}, {"HST", -10}, {"EAST", -10},
    {"NT", -11},  {"IDLW", -12},
};

constexpr std::string_view kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                   "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

std::string UpperAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return result;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A whole number of digits only; absurdly long ones saturate far beyond any
// valid date part rather than overflow.
bool ReadNumber(std::string_view text, long& value) {
    if (text.empty()) return false;
    value = 0;
    for (const char c : text) {
        if (!IsDigit(c)) return false;
        if (value < 1000000000L) value = value * 10 + (c - '0');
    }
    return true;
}

int PairValue(std::string_view token, std::size_t at) {
    long value = 0;
    return ReadNumber(token.substr(at, 2), value) && token.substr(at, 2).size() == 2 ? static_cast<int>(value) : 0;
}

// "hh:mm:ss"; false for anything else.
bool ReadTime(std::string_view token, int& seconds) {
    long parts[3];
    std::size_t from = 0;
    for (int k = 0; k < 3; ++k) {
        const std::size_t colon = k < 2 ? token.find(':', from) : token.size();
        if (colon == std::string_view::npos || !ReadNumber(token.substr(from, colon - from), parts[k])) return false;
        from = colon + 1;
    }
    if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return false;
    seconds = static_cast<int>(parts[0] * 3600 + parts[1] * 60 + parts[2]);
    return true;
}

constexpr int kNoZone = 100;

// A name of up to four letters as one number, for a look-up without hashing.
constexpr std::uint32_t Packed(std::string_view name) {
    std::uint32_t packed = 0;
    for (const char c : name) packed = packed << 8 | static_cast<unsigned char>(c);
    return packed;
}

// Every date has a day or month name that would otherwise walk the zones.
int NamedZoneHours(std::string_view upper) {
    static const auto zones = [] {
        std::array<std::pair<std::uint32_t, int>, std::size(kZones)> sorted{};
        for (std::size_t i = 0; i < sorted.size(); ++i) sorted[i] = {Packed(kZones[i].name), kZones[i].hours};
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    }();
    const std::uint32_t key = Packed(upper);
    const auto found = std::lower_bound(zones.begin(), zones.end(), std::pair{key, -kNoZone});
    return found != zones.end() && found->first == key ? found->second : kNoZone;
}

// ParseZone of a token already in upper case.
bool ParseUpperZone(std::string_view upper, int& minutes) {
    if (!upper.empty() && (upper[0] == '+' || upper[0] == '-')) {
        if (upper == "-0000") {
            minutes = LocalZoneOffset();
        } else if (upper.size() > 4) {
            const int value = PairValue(upper, 1) * 60 + PairValue(upper, 3);
            minutes = upper[0] == '-' ? -value : value;
        }
        return true;
    }
    // Every zone name is two to four characters and begins with a letter; the
    // other tokens of a date need not walk the table.
    if (upper.size() < 2 || upper.size() > 4 || upper[0] < 'A' || upper[0] > 'Z') return false;
    const int hours = NamedZoneHours(upper);
    if (hours == kNoZone) return false;
    minutes = hours * 60;
    return true;
}

}  // namespace

int LocalZoneOffset() { return LocalUtcOffsetMinutes(); }

bool ParseZone(std::string_view token, int& minutes) { return ParseUpperZone(UpperAscii(token), minutes); }

TDateTime ParseMailDate(std::string_view text) {
    // Hyphens between date parts (1-Jan-2003) separate tokens; a hyphen after a
    // blank is a zone's sign and stays. Tabs and other control characters
    // separate tokens like blanks, before a zone too.
    const auto separates = [text](std::size_t i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        return byte <= ' ' || (byte == '-' && (i == 0 || static_cast<unsigned char>(text[i - 1]) > ' '));
    };

    const int localZone = LocalZoneOffset();
    int zone = localZone;  // a date without a zone is taken as local time
    long day = 0, month = 0, year = 0;
    bool haveDay = false, haveYear = false;
    int timeOfDay = 0;
    // Tokens between separators, read in place: a long value costs linear
    // time. Only names need upper case, and no name is longer than four.
    for (std::size_t from = 0; from < text.size();) {
        std::size_t end = from;
        while (end < text.size() && !separates(end)) ++end;
        const std::string_view raw = text.substr(from, end - from);
        from = end + 1;
        if (raw.empty()) continue;
        char upperName[4];
        std::string_view token = raw;
        if (raw.size() <= sizeof upperName) {
            for (std::size_t k = 0; k < raw.size(); ++k)
                upperName[k] = raw[k] >= 'a' && raw[k] <= 'z' ? static_cast<char>(raw[k] - 'a' + 'A') : raw[k];
            token = std::string_view(upperName, raw.size());
        }
        long number = 0;
        if (ParseUpperZone(token, zone)) continue;
        if (ReadNumber(token, number)) {
            // Zero is no day, but "00" after the day is the year 2000.
            if (number >= 32 || haveDay) {
                year = number < 32 ? number + 2000 : number;
                if (year < 1000) year += 1900;
                haveYear = true;
                continue;
            }
            if (number > 0) {
                day = number;
                haveDay = true;
                continue;
            }
        }
        if (token.find(':') != token.rfind(':')) {
            int seconds = 0;
            if (ReadTime(token, seconds)) timeOfDay = seconds;
            continue;
        }
        if (token == "DST") {
            zone += 60;
            continue;
        }
        for (int m = 0; m < 12; ++m)
            if (token == kMonths[m]) month = m + 1;
    }

    if (!haveDay || month == 0 || !haveYear) throw TConvertError("'" + std::string(text) + "' is not a valid date");
    const int difference = zone - localZone;
    if (std::abs(difference) >= 24 * 60) throw TConvertError("'" + std::string(text) + "' has an invalid time zone");
    TDateTime midnight = 0;
    TDateTimeParts parts;
    parts.year = static_cast<int>(year);
    parts.month = static_cast<int>(month);
    parts.day = static_cast<int>(day);
    if (year > 9999 || !TryEncodeDateTime(parts, midnight))
        throw TConvertError("'" + std::string(text) + "' is not a valid date");

    // Carry whole days, then write days before 1899-12-30 with the time as a
    // positive fraction after the sign, as the date-time convention has it.
    long seconds = timeOfDay - difference * 60L;
    long days = static_cast<long>(midnight);
    const long carry = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    days += carry;
    seconds -= carry * 86400;
    const double fraction = seconds / 86400.0;
    return days >= 0 ? days + fraction : days - fraction;
}
