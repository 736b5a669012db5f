#include "base/Tr.h"

#include "i18n/Translator.h"

std::string Tr(const std::string& key, const std::string& englishDefault) {
    return AppTranslator().Translate(key, englishDefault);
}
