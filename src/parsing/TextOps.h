#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Small text operations shared across the program. Trimming removes leading and
// trailing bytes up to and including the blank (control characters and blanks).

std::string TrimText(std::string_view text);
// The same without a copy: a view into text.
std::string_view TrimmedView(std::string_view text);

// The trimmed text before the first occurrence of delimiter; the whole text
// trimmed when it does not occur.
std::string TextBefore(std::string_view text, std::string_view delimiter);

// The trimmed text after the first occurrence of delimiter; the whole text
// trimmed when it does not occur.
std::string TextAfter(std::string_view text, std::string_view delimiter);
std::string_view TextAfterView(std::string_view text, std::string_view delimiter);

// Returns TextBefore(text, delimiter); text becomes TextAfter(text, delimiter)
// when the delimiter occurs in it, otherwise empty.
std::string TakeItem(std::string& text, std::string_view delimiter);

// 1-based position of the last occurrence of part in text, 0 when none (or
// when part is empty).
std::size_t LastPosOf(std::string_view part, std::string_view text);

// Every occurrence, case-sensitive, left to right; replaced text is not
// searched again. An empty search text changes nothing.
std::string ReplaceAll(std::string_view text, std::string_view search, std::string_view replacement);

// The address of a From value: the text between the first "<" and the next
// ">", trimmed; the whole value trimmed when there is no "<".
std::string AddressOf(std::string_view text);
// AddressOf for a From value as the header carries it: a "<" inside a quoted
// name or a comment is text the sender chose, never the address.
std::string SenderAddressOf(std::string_view rawValue);

// The display name of a From value: between the first and the next double
// quote; else the trimmed text before "<"; else the text inside "(...)";
// else empty.
std::string DisplayNameOf(std::string_view text);
