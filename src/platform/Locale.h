#pragma once

#include "platform/DateTime.h"

#include <string>

// The language code of a POSIX locale name: "de" for "de_DE.UTF-8", "sr" for
// "sr_RS@latin"; "" for "C", "POSIX" or an empty name.
std::string LocaleLanguageCode(const std::string& localeName);

// The locale that names the user's language: the first non-empty of LC_ALL,
// LC_MESSAGES and LANG.
std::string UserMessagesLocale();

// The Windows primary language identifier of a language code (0x07 for "de",
// 0x19 for "ru", 0x04 for "zh"); 0 (neutral) when the code is unknown.
int PrimaryLanguageOfCode(const std::string& code);

// The user's default language as a primary language identifier, taken from
// UserMessagesLocale(); English (0x09) for the C or POSIX locale or none.
int UserDefaultLanguage();

// The Windows ANSI code page of a locale's language: 1251 for Cyrillic
// languages, 1250 for Central European ones, ... and 1252 otherwise.
int WindowsCodePageOfLocale(const std::string& localeName);

// A date as the user's date and time format writes it (LC_ALL, LC_TIME or
// LANG), the time left out when it is exactly midnight; ISO 8601 for the C or
// POSIX locale, none, or one that is not installed. The locale is loaded once
// per locale name, so this is cheap enough for every row of a list.
std::string UserDateTimeText(TDateTime value);

// The same for the rows of one list: the environment is read and the locale
// loaded once, when it is made.
class TUserDateTimes {
public:
    TUserDateTimes();
    ~TUserDateTimes();
    TUserDateTimes(const TUserDateTimes&) = delete;
    TUserDateTimes& operator=(const TUserDateTimes&) = delete;
    std::string Text(TDateTime value) const;

private:
    void* locale_ = nullptr;  // a locale_t; none for ISO 8601
};
