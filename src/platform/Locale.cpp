#include "platform/Locale.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <locale.h>
#include <string_view>

namespace {

struct TCodeId {
    const char* code;
    int id;
};

// Windows primary language identifiers.
constexpr TCodeId kPrimaryLanguages[] = {
    {"ar", 0x01}, {"bg", 0x02}, {"ca", 0x03}, {"zh", 0x04}, {"cs", 0x05}, {"da", 0x06}, {"de", 0x07},
    {"el", 0x08}, {"en", 0x09}, {"es", 0x0A}, {"fi", 0x0B}, {"fr", 0x0C}, {"he", 0x0D}, {"iw", 0x0D},
    {"hu", 0x0E}, {"is", 0x0F}, {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12}, {"nl", 0x13}, {"no", 0x14},
    {"nb", 0x14}, {"nn", 0x14}, {"pl", 0x15}, {"pt", 0x16}, {"rm", 0x17}, {"ro", 0x18}, {"mo", 0x18},
    {"ru", 0x19}, {"hr", 0x1A}, {"sr", 0x1A}, {"bs", 0x1A}, {"sh", 0x1A}, {"sk", 0x1B}, {"sq", 0x1C},
    {"sv", 0x1D}, {"th", 0x1E}, {"tr", 0x1F}, {"ur", 0x20}, {"id", 0x21}, {"in", 0x21}, {"uk", 0x22},
    {"be", 0x23}, {"sl", 0x24}, {"et", 0x25}, {"lv", 0x26}, {"lt", 0x27}, {"tg", 0x28}, {"fa", 0x29},
    {"vi", 0x2A}, {"hy", 0x2B}, {"az", 0x2C}, {"eu", 0x2D}, {"hsb", 0x2E}, {"dsb", 0x2E}, {"mk", 0x2F},
    {"st", 0x30}, {"ts", 0x31}, {"tn", 0x32}, {"ve", 0x33}, {"xh", 0x34}, {"zu", 0x35}, {"af", 0x36},
    {"ka", 0x37}, {"fo", 0x38}, {"hi", 0x39}, {"mt", 0x3A}, {"se", 0x3B}, {"ga", 0x3C}, {"yi", 0x3D},
    {"ms", 0x3E}, {"kk", 0x3F}, {"ky", 0x40}, {"sw", 0x41}, {"tk", 0x42}, {"uz", 0x43}, {"tt", 0x44},
    {"bn", 0x45}, {"pa", 0x46}, {"gu", 0x47}, {"or", 0x48}, {"ta", 0x49}, {"te", 0x4A}, {"kn", 0x4B},
    {"ml", 0x4C}, {"as", 0x4D}, {"mr", 0x4E}, {"sa", 0x4F}, {"mn", 0x50}, {"bo", 0x51}, {"cy", 0x52},
    {"km", 0x53}, {"lo", 0x54}, {"my", 0x55}, {"gl", 0x56}, {"kok", 0x57}, {"sd", 0x59}, {"syr", 0x5A},
    {"si", 0x5B}, {"chr", 0x5C}, {"iu", 0x5D}, {"am", 0x5E}, {"ks", 0x60}, {"ne", 0x61}, {"fy", 0x62},
    {"ps", 0x63}, {"fil", 0x64}, {"tl", 0x64}, {"dv", 0x65}, {"ff", 0x67}, {"ha", 0x68}, {"yo", 0x6A},
    {"qu", 0x6B}, {"nso", 0x6C}, {"ba", 0x6D}, {"lb", 0x6E}, {"kl", 0x6F}, {"ig", 0x70}, {"om", 0x72},
    {"ti", 0x73}, {"gn", 0x74}, {"haw", 0x75}, {"la", 0x76}, {"so", 0x77}, {"ii", 0x78}, {"br", 0x7E},
    {"ug", 0x80}, {"mi", 0x81}, {"oc", 0x82}, {"co", 0x83}, {"gsw", 0x84}, {"sah", 0x85}, {"rw", 0x87},
    {"wo", 0x88}, {"gd", 0x91}, {"ku", 0x92},
};

struct TCodePageGroup {
    int codePage;
    const char* codes;  // blank-separated
};

constexpr TCodePageGroup kCodePages[] = {
    {1251, "ru uk bg sr be mk kk ky tt tg mn ba sah"},
    {1250, "pl cs sk hu hr sl ro sq bs sh"},
    {1253, "el"},
    {1254, "tr az uz"},
    {1255, "he iw yi"},
    {1256, "ar fa ur ps ug"},
    {1257, "lt lv et"},
    {1258, "vi"},
};

bool InList(const char* list, const std::string& code) {
    const std::size_t n = code.size();
    for (const char* p = list; *p;) {
        const char* end = std::strchr(p, ' ');
        const std::size_t len = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
        if (len == n && code.compare(0, n, p, len) == 0) return true;
        p += len;
        while (*p == ' ') ++p;
    }
    return false;
}

// The locale name that decides how dates are written, read from the
// environment as newlocale would.
std::string_view TimeLocaleName() {
    for (const char* name : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return {};
}

// No language chosen for dates: the C library's own format would be ambiguous.
bool WritesIsoDates(std::string_view localeName) {
    return localeName.empty() || localeName == "C" || localeName == "POSIX" || localeName.starts_with("C.");
}

// newlocale opens and reads the locale's files; made once per locale name
// instead of once per date.
class TTimeLocale {
public:
    TTimeLocale() = default;
    TTimeLocale(const TTimeLocale&) = delete;
    TTimeLocale& operator=(const TTimeLocale&) = delete;
    ~TTimeLocale() { Free(); }

    // nullptr when dates are written in ISO 8601.
    locale_t For(std::string_view localeName) {
        if (loaded_ && localeName == name_) return locale_;
        Free();
        name_ = localeName;
        loaded_ = true;
        if (!WritesIsoDates(name_)) locale_ = newlocale(LC_TIME_MASK, name_.c_str(), static_cast<locale_t>(nullptr));
        return locale_;
    }

private:
    void Free() {
        if (locale_) freelocale(locale_);
        locale_ = nullptr;
    }

    bool loaded_ = false;
    std::string name_;
    locale_t locale_ = nullptr;
};

std::tm CalendarTime(const TDateTimeParts& p) {
    std::tm tm{};
    tm.tm_year = p.year - 1900;
    tm.tm_mon = p.month - 1;
    tm.tm_mday = p.day;
    tm.tm_hour = p.hour;
    tm.tm_min = p.minute;
    tm.tm_sec = p.second;
    return tm;
}

// "%Y-%m-%d %H:%M:%S" of a four-digit year, written without strftime: a
// list writes thousands of them.
std::string IsoText(const TDateTimeParts& p, bool dateOnly) {
    std::string text = dateOnly ? "0000-00-00" : "0000-00-00 00:00:00";
    const auto put = [&text](std::size_t at, int value, int digits) {
        for (int k = digits - 1; k >= 0; --k, value /= 10) text[at + static_cast<std::size_t>(k)] = static_cast<char>('0' + value % 10);
    };
    put(0, p.year, 4);
    put(5, p.month, 2);
    put(8, p.day, 2);
    if (!dateOnly) {
        put(11, p.hour, 2);
        put(14, p.minute, 2);
        put(17, p.second, 2);
    }
    return text;
}

std::string DateTimeText(TDateTime value, locale_t locale) {
    const TDateTimeParts parts = DecodeDateTime(value);
    const std::tm tm = CalendarTime(parts);
    const bool midnight = parts.hour == 0 && parts.minute == 0 && parts.second == 0;
    if (!locale && parts.year >= 1000 && parts.year <= 9999) return IsoText(parts, midnight);
    char text[128] = {};
    if (locale)
        strftime_l(text, sizeof text, midnight ? "%x" : "%x %X", &tm, locale);
    else
        std::strftime(text, sizeof text, midnight ? "%Y-%m-%d" : "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

}  // namespace

std::string UserDateTimeText(TDateTime value) {
    thread_local TTimeLocale timeLocale;
    return DateTimeText(value, timeLocale.For(TimeLocaleName()));
}

TUserDateTimes::TUserDateTimes() {
    const std::string name(TimeLocaleName());
    if (!WritesIsoDates(name)) locale_ = newlocale(LC_TIME_MASK, name.c_str(), static_cast<locale_t>(nullptr));
}

TUserDateTimes::~TUserDateTimes() {
    if (locale_) freelocale(static_cast<locale_t>(locale_));
}

std::string TUserDateTimes::Text(TDateTime value) const { return DateTimeText(value, static_cast<locale_t>(locale_)); }

std::string LocaleLanguageCode(const std::string& localeName) {
    std::string code;
    for (char ch : localeName) {
        if (ch == '_' || ch == '-' || ch == '.' || ch == '@') break;
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
        code += ch;
    }
    if (code == "c" || code == "posix") return {};
    return code;
}

std::string UserMessagesLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return {};
}

int PrimaryLanguageOfCode(const std::string& code) {
    for (const TCodeId& entry : kPrimaryLanguages)
        if (code == entry.code) return entry.id;
    return 0;
}

int UserDefaultLanguage() {
    const std::string code = LocaleLanguageCode(UserMessagesLocale());
    return code.empty() ? 0x09 : PrimaryLanguageOfCode(code);
}

int WindowsCodePageOfLocale(const std::string& localeName) {
    const std::string code = LocaleLanguageCode(localeName);
    // Serbian in Latin letters is written in the Central European code page.
    if (code == "sr" && localeName.find("@latin") != std::string::npos) return 1250;
    for (const TCodePageGroup& group : kCodePages)
        if (InList(group.codes, code)) return group.codePage;
    return 1252;
}
