#pragma once

#include "parsing/Charset.h"

#include <string>
#include <string_view>

// Decodes the MIME encoded words ("=?charset?B|Q?data?=") of a header text into
// the target charset; the text between words, white space included, stays. A
// word that is not valid is left as it stands. Decoded text is never searched
// again, so the work is linear in the length of the text.
std::string DecodeEncodedWords(std::string_view text, TCharset target);

// The bytes of Base64 data; a character outside the alphabet counts as "=".
std::string DecodeBase64Data(std::string_view data);

// The bytes of Q-encoded data: "_" is a blank, "=XX" the byte of a hexadecimal
// pair (a blank when the pair is not hexadecimal); an "=" among the last two
// characters is dropped.
std::string DecodeQData(std::string_view data);
