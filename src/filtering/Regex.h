#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The program's regular-expression engine. Every pattern the program runs goes
// through it: filter fields and rules, page scraping, whois answers, address
// extraction.
//
// Usage: set the pattern once, apply modifiers, then search as often as needed.
//
//     TRegex re("^From:(.*)(\r\n\s+(.*))*", "mgi-r-s");
//     if (re.Exec(header)) do { use(re.Match(0)); } while (re.ExecNext());
//
// The pattern is compiled on first use (or by Compile()) and kept until the
// pattern text or a modifier changes, or the program's code page changes (the
// i flag folds case with the code page's mapping). A search allocates nothing
// once the object's backtracking stack has grown to the size the pattern needs,
// so one object should be kept per pattern and reused over many subjects.
//
// Characters are bytes of the program's code page. Unlike a C string, the
// subject is taken whole: a zero byte is an ordinary character, so a spammer
// cannot hide the rest of a header behind one.
//
// Modifiers (defaults of a new object in brackets):
//   i  case-insensitive [off]      r  Russian ranges in classes [on]
//   s  "." matches CR and LF [on]  g  greedy quantifiers [on]
//   m  "^"/"$" at line ends [off]  x  blanks and "#" comments ignored [off]
// A modifier string ("mgi-r-s", "-i-m-s-x-g") switches letters on, and after
// a "-" switches every further letter off; unnamed flags keep their value.
//
// Every error is a TRegexError carrying one of its codes. Errors found while
// reading the pattern end with " (pos N)", N counted from 1.
//
// Step budget: a search (one Exec or ExecNext call) may take at most
// StepBudget() steps, by default kDefaultStepBudget (10 million). A step is one
// instruction of the compiled program or one return to a saved backtracking
// point; a run of one character class over many characters counts one step per
// 16 characters. A search that uses up its budget, or that needs more than
// kMaxBacktrackEntries saved backtracking points, ends with a TRegexError whose
// code is TRegexError::kStepBudgetExhausted: a pattern fed hostile text costs a
// bounded time (tens of milliseconds), and the caller treats that subject as
// not matched and goes on. The built-in field patterns and rule templates stay
// linear in the subject and far inside the budget for subjects of 1 MB.

class TRegexError : public std::runtime_error {
public:
    // Errors found while searching.
    static constexpr int kNoPattern = 100;              // empty pattern text
    static constexpr int kNoInput = 101;                // ExecNext without a successful search
    static constexpr int kLoopsTooDeep = 102;           // counted group repetitions nested deeper than 10
    static constexpr int kStepBudgetExhausted = 103;    // the search gave up, see above
    static constexpr int kInputTooLong = 104;           // subject of 1 GB or more
    // Errors of the modifier string.
    static constexpr int kBadModifier = 200;
    // Errors found while reading the pattern; the message carries " (pos N)".
    static constexpr int kUnmatchedOpenParen = 300;
    static constexpr int kUnmatchedCloseParen = 301;
    static constexpr int kUnmatchedBracket = 302;
    static constexpr int kReversedRange = 303;
    static constexpr int kBadHexCode = 304;
    static constexpr int kQuantifierTooLarge = 305;
    static constexpr int kQuantifierReversed = 306;
    static constexpr int kNestedQuantifier = 307;
    static constexpr int kQuantifierFollowsNothing = 308;
    static constexpr int kEmptyOperand = 309;            // "*" or "+" on something that can match empty text
    static constexpr int kTooManyGroups = 310;           // more than 14 groups
    static constexpr int kTrailingBackslash = 311;
    static constexpr int kBadInlineModifier = 312;
    static constexpr int kUnterminatedComment = 313;

    TRegexError(int code, const std::string& message, int position = -1);

    int Code() const { return code_; }
    // 1-based position in the pattern, or -1 for errors not tied to one.
    int Position() const { return position_; }

private:
    int code_;
    int position_;
};

// Where the lines of one subject begin: at its start, after each LF, and
// after each CR that no LF follows ("^" under the m modifier). Many patterns
// searched line by line over one header share it instead of each finding the
// line ends again.
class TLineStarts {
public:
    TLineStarts() = default;
    explicit TLineStarts(std::string_view subject) { Assign(subject); }
    void Assign(std::string_view subject);
    const std::vector<std::int32_t>& Positions() const { return starts_; }
    std::string_view Subject() const { return subject_; }

private:
    std::vector<std::int32_t> starts_;
    std::string_view subject_;
};

// The bytes and the three-byte runs a text holds (the runs folded to one
// letter case, and kept as hashes), for telling at once that a pattern
// cannot match it.
class TTextBytes {
public:
    TTextBytes() = default;
    explicit TTextBytes(std::string_view text) { Assign(text); }
    void Assign(std::string_view text);
    bool Has(unsigned char b) const { return seen_[b]; }
    // Whether a run of three bytes with this hash may be in the text.
    bool MayHaveRun(std::uint16_t hash) const { return (runs_[hash >> 6] >> (hash & 63)) & 1; }
    // The code page whose letter cases the runs were folded by.
    int CodePage() const { return codePage_; }

private:
    std::array<bool, 256> seen_{};
    std::array<std::uint64_t, 64> runs_{};
    int codePage_ = 0;
};

class TRegex {
    friend class THeaderFieldScan;

public:
    static constexpr int kMaxGroups = 14;
    static constexpr std::int64_t kDefaultStepBudget = 10'000'000;
    static constexpr std::size_t kMaxBacktrackEntries = 4'000'000;

    TRegex();
    explicit TRegex(std::string_view pattern, std::string_view modifiers = {});
    ~TRegex();
    TRegex(TRegex&&) noexcept;
    TRegex& operator=(TRegex&&) noexcept;
    TRegex(const TRegex&) = delete;
    TRegex& operator=(const TRegex&) = delete;

    // An unchanged text keeps the compiled program.
    void SetExpression(std::string_view pattern);
    const std::string& Expression() const { return pattern_; }

    // Throws kBadModifier (naming the letter) on a character other than
    // i, r, s, g, m, x (either case) and "-"; the flags are then unchanged.
    void ApplyModifiers(std::string_view modifiers);
    // letter is one of "irsgmx" (either case); throws kBadModifier otherwise.
    void SetModifier(char letter, bool on);
    bool Modifier(char letter) const;

    // Compiles now; throws the pattern's error. Exec compiles on demand anyway.
    void Compile();

    // Searches the subject from its first character for the leftmost match.
    // The object keeps a view of the subject: the text must stay alive and
    // unchanged while ExecNext and the match accessors are used. Temporaries
    // are refused at compile time for that reason.
    bool Exec(std::string_view subject);
    bool Exec(const char* subject) { return Exec(std::string_view(subject ? subject : "")); }
    bool Exec(std::string&&) = delete;
    // The same search, for a subject whose line starts are known: a pattern
    // that may only match at line starts tries those alone. lines must be of
    // this subject and stay alive as long as the subject.
    bool Exec(std::string_view subject, const TLineStarts& lines);
    // False when no subject holding only these bytes can have a match: the
    // pattern needs a literal with a byte the subject lacks. A quick test
    // before Exec when many patterns meet one short text.
    bool MayMatch(const TTextBytes& subjectBytes);
    // Searches again from the end of the last match, or one character further
    // when it was empty. Throws kNoInput unless the last search succeeded.
    bool ExecNext();

    // Group n of the last successful search, 0 being the whole match. Groups
    // outside 0..14, groups that took no part, and every group after a failed
    // search read as empty text, position -1 and length 0.
    std::string Match(int n) const;
    std::string_view MatchView(int n) const;
    // 0-based offset in the subject.
    int MatchPos(int n) const;
    int MatchLen(int n) const;

    void SetStepBudget(std::int64_t steps) { stepBudget_ = steps; }
    std::int64_t StepBudget() const { return stepBudget_; }
    // Steps the last search took (for benchmarks and tests).
    std::int64_t LastSteps() const { return lastSteps_; }

private:
    struct TImpl;
    bool Start(std::string_view subject, const TLineStarts* lines);
    bool Search(std::size_t from);
    void EnsureCompiled();

    std::string pattern_;
    unsigned flags_;
    std::unique_ptr<TImpl> impl_;
    bool dirty_ = true;
    int compiledCodePage_ = 0;
    std::uint64_t compilation_ = 0;  // unique to each compilation in the process
    std::string_view subject_;
    const TLineStarts* lines_ = nullptr;
    bool haveSubject_ = false;
    bool lastMatched_ = false;
    int caps_[2 * (kMaxGroups + 1)];
    std::int64_t stepBudget_ = kDefaultStepBudget;
    std::int64_t lastSteps_ = 0;
};

// The matches of several header-field patterns ("^Name:(.*)(\r\n\s+(.*))*"
// under the m and g modifiers) over one header, found in one walk over its
// lines instead of one search per pattern: for each pattern, the matches that
// Exec and ExecNext would find, joined. Each line is tried only by the
// patterns that can begin with its first byte.
class THeaderFieldScan {
public:
    static constexpr std::size_t kMaxPatterns = 64;

    // Whether re has that shape and cannot run out of steps on subject.
    // Compiles re, and throws its error.
    static bool Serves(TRegex& re, std::string_view subject);
    // Appends to *texts[i] every match of patterns[i] in the subject of lines.
    // Each pattern must be served, and there may be at most kMaxPatterns.
    void Collect(const TLineStarts& lines, const std::vector<TRegex*>& patterns, const std::vector<std::string*>& texts);

private:
    void Learn(const std::vector<TRegex*>& patterns);

    // The patterns the table was made for, and which compilation of each:
    // a pattern compiled anew, or another at the same address, is learnt again.
    std::vector<TRegex*> patterns_;
    std::vector<std::uint64_t> compilations_;
    std::array<std::uint64_t, 256> byFirstByte_{};  // bit i: pattern i may begin with the byte
    std::vector<std::int32_t> resume_;
};

// Puts a backslash before every character of "^$.[()|?+*\{]}" so that the
// text matches itself literally inside a pattern.
std::string EscapeRegexMeta(std::string_view text);
