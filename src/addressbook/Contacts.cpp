#include "addressbook/Contacts.h"

#include "parsing/TextOps.h"

#include <cctype>
#include <cstring>

std::string ContactDisplayName(int format, const std::string& first, const std::string& middle,
                               const std::string& last, const std::string& nickname) {
    switch (format) {
        case 1: return first + " " + middle + " " + last;
        case 2: return last + " " + first + " " + middle;
        case 3: return last + ", " + first + " " + middle;
        case 4: return nickname;
        default: return {};
    }
}

std::string EmailListEntry(const std::string& list, int n) {
    if (n < 0 || TrimText(list).empty()) return {};
    std::size_t start = 0;
    for (int i = 0; i < n; ++i) {
        const std::size_t semicolon = list.find(';', start);
        if (semicolon == std::string::npos) return {};
        start = semicolon + 1;
    }
    const std::size_t end = list.find(';', start);
    return list.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::vector<std::string> EmailListEntries(const std::string& list) {
    std::vector<std::string> entries;
    std::size_t start = 0;
    for (std::size_t semicolon; (semicolon = list.find(';', start)) != std::string::npos; start = semicolon + 1)
        entries.push_back(list.substr(start, semicolon - start));
    return entries;
}

std::string JoinEmailList(const std::vector<std::string>& entries) {
    std::string list;
    for (const std::string& entry : entries) list += entry + ";";
    return list;
}

const std::vector<std::string>& ExportColumns() {
    static const std::vector<std::string> columns = {
        "First Name",           "Last Name",          "Middle Name",          "Name",
        "Nickname",             "E-mail Address",     "Home Street",          "Home City",
        "Home Postal Code",     "Home State",         "Home Country/Region",  "Home Phone",
        "Home Fax",             "Mobile Phone",       "Personal Web Page",    "Business Street",
        "Business City",        "Business Postal Code", "Business State",     "Business Country/Region",
        "Business Web Page",    "Business Phone",     "Business Fax",         "Company",
        "Job Title",            "Department",         "Office Location"};
    return columns;
}

const std::vector<std::string>& ExportFields() {
    static const std::vector<std::string> fields = {
        "First",          "Last",           "Middle",         "",               "Nickname",
        "Email",          "HomeStreet",     "HomeCity",       "HomeZip",        "HomeState",
        "HomeCountry",    "HomePhone",      "HomeFax",        "HomeMobile",     "HomeWepPage",
        "BusinessStreet", "BusinessCity",   "BusinessZip",    "BusinessState",  "BusinessCountry",
        "BusinessWebPage", "BusinessPhone", "BusinessFax",    "Company",        "BusinessJob",
        "BusinessDepartament", "BusinessOffice"};
    return fields;
}

int ImportFieldIndex(const std::string& title) {
    const auto& columns = ExportColumns();
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i] == title) return static_cast<int>(i) + 1;
    return -1;
}

std::vector<TCsvRecord> ParseCsv(std::string_view text) {
    std::vector<TCsvRecord> records;
    TCsvRecord record;
    std::string value;
    bool started = false;  // something of the value was read since the last comma
    bool lineOpen = false;
    const auto endRecord = [&] {
        if (started) record.push_back(value);
        records.push_back(std::move(record));
        record.clear();
        value.clear();
        started = lineOpen = false;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        lineOpen = true;
        if (c == '"' && !started) {
            started = true;
            for (++i; i < text.size(); ++i) {
                if (text[i] != '"') {
                    value += text[i];
                } else if (i + 1 < text.size() && text[i + 1] == '"') {
                    value += '"';
                    ++i;
                } else {
                    break;
                }
            }
        } else if (c == ',') {
            record.push_back(value);
            value.clear();
            started = false;
        } else if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            if (c == '\r') ++i;
            endRecord();
        } else {
            value += c;
            started = true;
        }
    }
    if (lineOpen) endRecord();
    return records;
}

std::string CsvValue(const std::string& value) {
    if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
    std::string quoted = "\"";
    for (char c : value) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

bool IsSchemeChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.'; }

}  // namespace

std::string WebPageTarget(const std::string& text) {
    const std::string target = TrimText(text);
    if (target.empty()) return {};
    for (char c : target)
        if (static_cast<unsigned char>(c) <= ' ' || c == '\\') return {};
    for (const char* allowed : {"http://", "https://", "mailto:"})
        if (StartsWithNoCase(target, allowed)) return target.size() > std::strlen(allowed) ? target : std::string();
    // A scheme of another kind, or a path of this machine, is never opened.
    if (target[0] == '/' || target[0] == '~' || target[0] == '.') return {};
    std::size_t at = 0;
    while (at < target.size() && IsSchemeChar(target[at])) ++at;
    const bool port = at < target.size() && target[at] == ':' && at + 1 < target.size() &&
                      std::isdigit(static_cast<unsigned char>(target[at + 1]));
    if (at < target.size() && target[at] == ':' && !port) return {};
    if (at == 0) return {};
    return "http://" + target;
}
