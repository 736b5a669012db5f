#include "i18n/Language.h"

#include "platform/Locale.h"

#include <cstring>

namespace {

const char* const kNames[] = {
    "Abkhazian", "Afar", "Afrikaans", "Albanian", "Amharic", "Arabic", "Armenian", "Assamese", "Aymara",
    "Azerbaijani", "Bashkir", "Basque", "Bengali (Bangla)", "Bhutani", "Bihari", "Bislama", "Breton",
    "Bulgarian", "Burmese", "Byelorussian (Belarusian)", "Cambodian", "Catalan", "Cherokee", "Chewa",
    "Chinese (Simplified)", "Chinese (Traditional)", "Corsican", "Croatian", "Czech", "Danish", "Divehi",
    "Dutch", "Edo", "English", "Esperanto", "Estonian", "Faeroese", "Farsi", "Fiji", "Finnish", "Flemish",
    "French", "Frisian", "Fulfulde", "Galician", "Gaelic (Scottish)", "Gaelic (Manx)", "Georgian", "German",
    "Greek", "Greenlandic", "Guarani", "Gujarati", "Hausa", "Hawaiian", "Hebrew", "Hindi", "Hungarian",
    "Ibibio", "Icelandic", "Igbo", "Indonesian", "Interlingua", "Interlingue", "Inuktitut", "Inupiak",
    "Irish", "Italian", "Japanese", "Javanese", "Kannada", "Kanuri", "Kashmiri", "Kazakh",
    "Kinyarwanda (Ruanda)", "Kirghiz", "Kirundi (Rundi)", "Korean", "Kurdish", "Laothian", "Latin",
    "Latvian (Lettish)", "Lingala", "Lithuanian", "Macedonian", "Malagasy", "Malay", "Malayalam", "Maltese",
    "Maori", "Marathi", "Moldavian", "Mongolian", "Nauru", "Nepali", "Norwegian", "Occitan", "Oriya",
    "Oromo (Afan, Galla)", "Papiamentu", "Pashto (Pushto)", "Polish", "Portuguese", "Punjabi", "Quechua",
    "Rhaeto-Romance", "Romanian", "Russian", "Sami (Lappish)", "Samoan", "Sangro", "Sanskrit", "Serbian",
    "Serbo-Croatian", "Sesotho", "Setswana", "Shona", "Sindhi", "Sinhalese", "Siswati", "Slovak",
    "Slovenian", "Somali", "Spanish", "Sundanese", "Swahili (Kiswahili)", "Swedish", "Syriac", "Tagalog",
    "Tajik", "Tamazight", "Tamil", "Tatar", "Telugu", "Thai", "Tibetan", "Tigrinya", "Tonga", "Tsonga",
    "Turkish", "Turkmen", "Twi", "Uighur", "Ukrainian", "Urdu", "Uzbek", "Venda", "Vietnamese", "Volap\xFCk",
    "Welsh", "Wolof", "Xhosa", "Yi", "Yiddish", "Yoruba", "Zulu", "Other",
};
static_assert(sizeof kNames / sizeof kNames[0] == LanguageCount);
static_assert(static_cast<int>(TLanguage::English) == 33 && LanguageCount == 157);

struct TPrimaryRow {
    int id;
    const char* name;
};

// Primary language identifiers and language names, in the order they are tried.
constexpr TPrimaryRow kPrimaryRows[] = {
    {0x36, "AFRIKAANS"}, {0x0F, "ICELANDIC"}, {0x1C, "ALBANIAN"},  {0x21, "INDONESIAN"}, {0x01, "ARABIC"},
    {0x10, "ITALIAN"},   {0x2D, "BASQUE"},    {0x11, "JAPANESE"},  {0x23, "BELARUSIAN"}, {0x12, "KOREAN"},
    {0x02, "BULGARIAN"}, {0x26, "LATVIAN"},   {0x03, "CATALAN"},   {0x27, "LITHUANIAN"}, {0x04, "CHINESE"},
    {0x1A, "CROATIAN"},  {0x14, "NORWEGIAN"}, {0x05, "CZECH"},     {0x15, "POLISH"},     {0x06, "DANISH"},
    {0x16, "PORTUGUESE"}, {0x13, "DUTCH"},    {0x18, "ROMANIAN"},  {0x09, "ENGLISH"},    {0x19, "RUSSIAN"},
    {0x25, "ESTONIAN"},  {0x1A, "SERBIAN"},   {0x38, "FAEROESE"},  {0x1B, "SLOVAK"},     {0x29, "FARSI"},
    {0x24, "SLOVENIAN"}, {0x0B, "FINNISH"},   {0x0A, "SPANISH"},   {0x0C, "FRENCH"},     {0x1D, "SWEDISH"},
    {0x07, "GERMAN"},    {0x1E, "THAI"},      {0x08, "GREEK"},     {0x1F, "TURKISH"},    {0x0D, "HEBREW"},
    {0x22, "UKRAINIAN"}, {0x0E, "HUNGARIAN"}, {0x2A, "VIETNAMESE"},
};
static_assert(sizeof kPrimaryRows / sizeof kPrimaryRows[0] == 43);

bool SameAsciiText(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        char x = *a, y = *b;
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return *a == *b;
}

}  // namespace

std::string LanguageName(TLanguage language) {
    const int index = static_cast<int>(language);
    return index >= 0 && index < LanguageCount ? kNames[index] : kNames[LanguageCount - 1];
}

TLanguage LanguageFromName(const std::string& name) {
    for (int i = 0; i < LanguageCount; ++i)
        if (name == kNames[i]) return static_cast<TLanguage>(i);
    return TLanguage::Other;
}

TLanguage LanguageOfPrimaryId(int primaryLanguageId) {
    const int primary = primaryLanguageId & 0x3FF;
    for (const TPrimaryRow& row : kPrimaryRows) {
        if (row.id != primary) continue;
        for (int i = 0; i < LanguageCount; ++i)
            if (SameAsciiText(kNames[i], row.name)) return static_cast<TLanguage>(i);
    }
    return TLanguage::English;
}

TLanguage SystemDefaultLanguage() { return LanguageOfPrimaryId(UserDefaultLanguage()); }
