#pragma once

// Compiled form of a pattern, shared by the compiler and the matcher.

#include "filtering/Regex.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace regex_internal {

enum TFlag : unsigned {
    kFlagI = 1, kFlagR = 2, kFlagS = 4, kFlagG = 8, kFlagM = 16, kFlagX = 32,
};
constexpr unsigned kDefaultFlags = kFlagR | kFlagS | kFlagG;

enum TOp : std::uint8_t {
    // Single-character matchers (also the operand of kRepChar).
    kChar,      // a
    kChar2,     // a or b
    kClass,     // classes[a]
    kAny,
    kAnyNoNL,   // anything but CR and LF
    // Others.
    kStr,       // pool[a .. a+b) exactly
    kStrI,      // pool[a .. a+b) compared through fold
    kBol,       // start of the subject
    kMBol,      // start, or after CR or LF but not between CR and LF
    kEol,       // end of the subject
    kMEol,      // end, or before CR or LF but not between CR and LF
    kWordB,
    kNotWordB,
    kSplit,     // go to a, on failure b
    kJmp,       // go to a
    kSave,      // caps[a] = position
    kBackref,   // group a again; flag 1: through fold
    kRepChar,   // next instruction repeated a..b times (b < 0: no limit);
                // flag 1: greedy; g >= 0: the last character is group g
    kRepStart,  // counter a = 0
    kRepTest,   // counter a against min b / max c (< 0 none); flag 1 greedy; exit at d
    kRepInc,    // counter a += 1, back to the kRepTest at b
    kMatch,
};

struct TInst {
    TOp op;
    std::uint8_t flag = 0;
    std::int16_t g = -1;
    std::int32_t a = 0, b = 0, c = 0, d = 0;
};

using TByteSet = std::array<bool, 256>;

struct TProgram {
    std::vector<TInst> code;
    std::vector<TByteSet> classes;
    std::string pool;
    std::array<unsigned char, 256> fold{};  // one representative per case class
    int groupCount = 0;
    int counterCount = 0;
    int loopDepth = 0;  // deepest nesting of counted group repetitions

    // Where a match can start.
    bool anchored = false;      // only at the start of the subject
    bool lineAnchored = false;  // only where kMBol holds
    bool canBeEmpty = true;
    TByteSet first{};           // bytes a match can begin with (when !canBeEmpty)
    int firstCount = 256;
    // With firstCount 1 or 2: those bytes (a letter in both cases, say), so a
    // search can jump from one to the next instead of looking at every byte.
    std::array<unsigned char, 2> firstBytes{};
    std::string prefix;         // literal every match begins with (case-sensitive)
    // A literal every match holds somewhere (folded when requiredFolded): a
    // subject without it is refused in one pass instead of being tried at
    // every position.
    std::string required;
    bool requiredFolded = false;
    int requiredAnchor = 0;  // the place in it of its rarest byte
    // The hashes of its three-byte runs, folded (RunHash of fold[b]).
    std::vector<std::uint16_t> requiredRuns;
    std::array<unsigned char, 2> requiredStarts{};  // the bytes that fold to that one

    // Header-field patterns ("^Name:(.*)(\r\n\s+(.*))*" under m and g, s off)
    // are matched by a direct scan of the line; fieldName holds "Name:" (folded
    // when fieldFolded), empty for every other pattern.
    std::string fieldName;
    bool fieldFolded = false;
};

// Throws TRegexError for a bad pattern.
void CompileProgram(std::string_view pattern, unsigned flags, TProgram& out);
// Each byte with its upper and lower case folded to one of them, after the
// program's code page.
std::array<unsigned char, 256> FoldTable();
// A 12-bit hash of three folded bytes.
inline std::uint16_t RunHash(unsigned char a, unsigned char b, unsigned char c) {
    const std::uint32_t run = (std::uint32_t{a} << 16) | (std::uint32_t{b} << 8) | c;
    return static_cast<std::uint16_t>((run * 0x9E3779B1u) >> 20);
}

// Parses a modifier string onto flags; throws kBadModifier.
unsigned ApplyModifierString(std::string_view modifiers, unsigned flags);
unsigned FlagOfLetter(char letter);

}  // namespace regex_internal
