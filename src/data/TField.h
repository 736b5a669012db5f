#pragma once

#include <cstdint>
#include <string>
#include <variant>

enum class TFieldType { AutoInc, Integer, Word, String, Boolean, DateTime, Memo };

// A field value; std::monostate is the unset (null) value. Integers of every
// kind are int64, date-times are double (days since 1899-12-30).
using TValue = std::variant<std::monostate, std::int64_t, bool, double, std::string>;

enum class TAlignment { Left, Center, Right };

// One field of a table: its stored definition and how grids show it.
struct TFieldDef {
    std::string name;
    TFieldType type = TFieldType::String;
    int size = 0;  // strings: the longest text kept
    std::string displayLabel;
    int displayWidth = 0;
    bool visible = true;
    bool readOnly = false;
    bool required = false;
    bool calculated = false;  // not stored; filled by the table's OnCalcFields
    TAlignment alignment = TAlignment::Left;
    TValue defaultValue;

    TFieldDef() = default;
    TFieldDef(std::string fieldName, TFieldType fieldType, int fieldSize = 0)
        : name(std::move(fieldName)), type(fieldType), size(fieldSize), displayLabel(name) {}

    TFieldDef Label(std::string text) const { auto f = *this; f.displayLabel = std::move(text); return f; }
    TFieldDef Width(int width) const { auto f = *this; f.displayWidth = width; return f; }
    TFieldDef Hidden() const { auto f = *this; f.visible = false; return f; }
    TFieldDef ReadOnly() const { auto f = *this; f.readOnly = true; return f; }
    TFieldDef Required() const { auto f = *this; f.required = true; return f; }
    TFieldDef Calculated() const { auto f = *this; f.calculated = true; return f; }
    TFieldDef Centered() const { auto f = *this; f.alignment = TAlignment::Center; return f; }
    TFieldDef Default(TValue value) const { auto f = *this; f.defaultValue = std::move(value); return f; }
};

const char* FieldTypeName(TFieldType type);

inline bool IsNull(const TValue& v) { return std::holds_alternative<std::monostate>(v); }

// Text of a value as grids and lists show it: integers in decimal, booleans as
// "True"/"False", date-times as "YYYY-MM-DD hh:mm:ss", unset as "".
std::string ValueToString(const TValue& v);
