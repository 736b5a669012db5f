#pragma once

#include <string>
#include <string_view>
#include <vector>

// The address book's texts without its table: display names, e-mail lists,
// the fixed CSV column titles and the splitting of a CSV line.

// The display name of a contact in a format from 1 to 4 (the table's Display
// is the format less one): 1 "First Middle Last", 2 "Last First Middle",
// 3 "Last, First Middle", 4 the nickname; any other format gives "". The
// blanks stay where a part is empty.
std::string ContactDisplayName(int format, const std::string& first, const std::string& middle,
                               const std::string& last, const std::string& nickname);

// Position n (from 0) of an e-mail list, where every address is followed by
// ";": the text between the n-th and the (n+1)-th ";" (from the start for
// n = 0); a last address without its ";" counts too. An empty or blank list,
// or n beyond the list, gives "".
std::string EmailListEntry(const std::string& list, int n);
// The entries of an e-mail list as the contact editor lists them: each text
// ended by ";" is one entry; a rest without ";" is none.
std::vector<std::string> EmailListEntries(const std::string& list);
// The entries, each followed by ";".
std::string JoinEmailList(const std::vector<std::string>& entries);

// The 27 column titles of the CSV export, in their order.
const std::vector<std::string>& ExportColumns();
// The fields whose values the export writes under those titles, in the same
// order; "" for "Name", the display name.
const std::vector<std::string>& ExportFields();
// The 1-based position of the title among ExportColumns, compared exactly
// (letter case counts); -1 when none.
int ImportFieldIndex(const std::string& title);

// A CSV text split into records of values. Values are separated by ",";
// records end at a line break (LF or CR LF). A value that begins with a
// double quote runs to the next lone quote: inside it "" stands for a quote,
// and commas and line breaks are text. A comma as the last character of a
// record ends its last value without starting another, so "a,b," and "a,b"
// both give two values; an empty line is a record without values.
using TCsvRecord = std::vector<std::string>;
std::vector<TCsvRecord> ParseCsv(std::string_view text);
// A value as the export writes it: as it is, unless it holds a comma, a
// double quote or a line break; then in double quotes with each quote doubled.
std::string CsvValue(const std::string& value);

// What "Go" opens for a web-page field: an http, https or mailto address as
// it is, a bare host name (with or without a path or port) behind "http://";
// "" for a blank text and for anything else (a program path, another scheme),
// which is never handed to the desktop.
std::string WebPageTarget(const std::string& text);
