#include "data/TField.h"

#include "platform/DateTime.h"

#include <cstdio>

const char* FieldTypeName(TFieldType type) {
    switch (type) {
        case TFieldType::AutoInc: return "AutoInc";
        case TFieldType::Integer: return "Integer";
        case TFieldType::Word: return "Word";
        case TFieldType::String: return "String";
        case TFieldType::Boolean: return "Boolean";
        case TFieldType::DateTime: return "DateTime";
        case TFieldType::Memo: return "Memo";
    }
    return "String";
}

std::string ValueToString(const TValue& v) {
    if (auto i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
    if (auto b = std::get_if<bool>(&v)) return *b ? "True" : "False";
    if (auto s = std::get_if<std::string>(&v)) return *s;
    if (auto d = std::get_if<double>(&v)) {
        const TDateTimeParts p = DecodeDateTime(*d);
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                      p.second);
        return text;
    }
    return {};
}
