#pragma once

#include <string>

// Stored passwords of identities and accounts: a marker character, then the
// password. The marker 3 stands before a plain password that waits to be
// scrambled, the marker 4 before a scrambled one.
constexpr char kPlainPasswordMark = '\x03';
constexpr char kScrambledPasswordMark = '\x04';

// The longest passwords that fit whole beside their marker in the stored fields.
constexpr std::size_t kIdentityPasswordMax = 19;
constexpr std::size_t kAccountPasswordMax = 49;

// Reversible scrambling keyed by a name (the identity's user name, the
// account's login): each character after the marker is XOR-ed with the code
// sum of the key modulo 256, except a character equal to that sum, which stays
// (so no character 0 is ever produced). Encoding needs the marker 3 and puts 4
// in its place; decoding needs the marker 4 and drops it. Any other value, and
// a blank one, comes back unchanged. Not encryption: the key sits beside it.
std::string ScramblePassword(const std::string& text, const std::string& key, bool encode);

// True when the text is empty after dropping leading and trailing blanks and
// control characters.
bool IsBlankText(const std::string& text);
