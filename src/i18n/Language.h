#pragma once

#include <string>

// The languages a language file can be for. The display name of a language
// names its file, the section inside it, and the value in "language.ini".
enum class TLanguage : int {
    Abkhazian, Afar, Afrikaans, Albanian, Amharic, Arabic, Armenian, Assamese, Aymara, Azerbaijani,
    Bashkir, Basque, Bengali, Bhutani, Bihari, Bislama, Breton, Bulgarian, Burmese, Byelorussian,
    Cambodian, Catalan, Cherokee, Chewa, ChineseSimplified, ChineseTraditional, Corsican, Croatian, Czech,
    Danish, Divehi, Dutch, Edo, English, Esperanto, Estonian, Faeroese, Farsi, Fiji, Finnish, Flemish,
    French, Frisian, Fulfulde, Galician, GaelicScottish, GaelicManx, Georgian, German, Greek, Greenlandic,
    Guarani, Gujarati, Hausa, Hawaiian, Hebrew, Hindi, Hungarian, Ibibio, Icelandic, Igbo, Indonesian,
    Interlingua, Interlingue, Inuktitut, Inupiak, Irish, Italian, Japanese, Javanese, Kannada, Kanuri,
    Kashmiri, Kazakh, Kinyarwanda, Kirghiz, Kirundi, Korean, Kurdish, Laothian, Latin, Latvian, Lingala,
    Lithuanian, Macedonian, Malagasy, Malay, Malayalam, Maltese, Maori, Marathi, Moldavian, Mongolian,
    Nauru, Nepali, Norwegian, Occitan, Oriya, Oromo, Papiamentu, Pashto, Polish, Portuguese, Punjabi,
    Quechua, RhaetoRomance, Romanian, Russian, Sami, Samoan, Sangro, Sanskrit, Serbian, SerboCroatian,
    Sesotho, Setswana, Shona, Sindhi, Sinhalese, Siswati, Slovak, Slovenian, Somali, Spanish, Sundanese,
    Swahili, Swedish, Syriac, Tagalog, Tajik, Tamazight, Tamil, Tatar, Telugu, Thai, Tibetan, Tigrinya,
    Tonga, Tsonga, Turkish, Turkmen, Twi, Uighur, Ukrainian, Urdu, Uzbek, Venda, Vietnamese, Volapuk,
    Welsh, Wolof, Xhosa, Yi, Yiddish, Yoruba, Zulu,
    Other,  // a name that is no language of the list
};

constexpr int LanguageCount = static_cast<int>(TLanguage::Other) + 1;

// The display name ("Volap\xFCk" holds the single byte 0xFC).
std::string LanguageName(TLanguage language);

// The language whose display name equals the text exactly (letter case
// counts); Other when none does.
TLanguage LanguageFromName(const std::string& name);

// The language of a Windows primary language identifier, English when the
// table knows none for it.
TLanguage LanguageOfPrimaryId(int primaryLanguageId);

// The language of the user's locale (platform/Locale.h).
TLanguage SystemDefaultLanguage();
