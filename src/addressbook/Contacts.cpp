#include "addressbook/Contacts.h"

#include "parsing/TextOps.h"

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

std::vector<std::string> SplitCsvLine(const std::string& line) {
    std::vector<std::string> values;
    std::string value;
    for (char c : line) {
        if (c == ',') {
            values.push_back(value);
            value.clear();
        } else {
            value += c;
        }
    }
    if (!line.empty() && line.back() != ',') values.push_back(value);
    return values;
}
