// Differential test against PCRE2 on random patterns and subjects from the
// part of the dialect that both engines read alike: ASCII only (no Russian
// ranges, no 8-bit case folding), g always on, "\Z" written as PCRE2's "\z",
// "$" without m only at the very end, and subjects whose line breaks are lone
// CRs and LFs, never ending in one. The dialects part at a CR LF pair: PCRE2
// sees a line start and end between the CR and the LF and, after a failed
// attempt at the CR, skips the LF as a start position; ours does neither.

#include "filtering/Regex.h"

#include "platform/CodePage.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

class TGenerator {
public:
    explicit TGenerator(unsigned seed) : rng_(seed) {}

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    bool Chance(int percent) { return Pick(100) < percent; }

    // A pattern in our dialect and the same pattern for PCRE2.
    void Pattern(std::string& ours, std::string& theirs) {
        closed_.clear();
        groups_ = 0;
        ours.clear();
        theirs.clear();
        Alternation(ours, theirs, 0);
    }

    std::string Subject() {
        static const char alphabet[] = "aabbcAB1 -:.\r\n";
        const int len = Pick(14);
        std::string s;
        for (int k = 0; k < len; ++k) s.push_back(alphabet[Pick(sizeof alphabet - 1)]);
        for (std::size_t k = 1; k < s.size(); ++k)
            if (s[k - 1] == '\r' && s[k] == '\n') s[k] = 'b';
        while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.back() = 'a';
        return s;
    }

    std::string Modifiers() {
        std::string on, off;
        for (char c : std::string("ismx")) (Chance(50) ? on : off).push_back(c);
        std::string m = on;
        for (char c : off) m += std::string("-") + c;
        return m;
    }

private:
    void Both(std::string& ours, std::string& theirs, const std::string& a, const std::string& b) {
        ours += a;
        theirs += b;
    }
    void Both(std::string& ours, std::string& theirs, const std::string& a) { Both(ours, theirs, a, a); }

    // Each part returns whether it can match empty text: a repeated group
    // that can is left out, since the two engines end such loops differently
    // (and ours refuses "*" and "+" on it).
    bool Alternation(std::string& ours, std::string& theirs, int depth) {
        bool empty = Sequence(ours, theirs, depth);
        while (depth < 3 && Chance(20)) {
            Both(ours, theirs, "|");
            empty = Sequence(ours, theirs, depth) || empty;
        }
        return empty;
    }

    bool Sequence(std::string& ours, std::string& theirs, int depth) {
        const int n = 1 + Pick(4);
        bool empty = true;
        for (int k = 0; k < n; ++k) empty = Piece(ours, theirs, depth) && empty;
        return empty;
    }

    bool Piece(std::string& ours, std::string& theirs, int depth) {
        const int kind = Pick(100);
        if (kind < 6) {
            static const char* anchors[][2] = {{"^", "^"}, {"$", "$"}, {"\\A", "\\A"}, {"\\Z", "\\z"},
                                               {"\\b", "\\b"}, {"\\B", "\\B"}};
            const int a = Pick(6);
            Both(ours, theirs, anchors[a][0], anchors[a][1]);
            return true;
        }
        if (kind < 9) {
            static const char* inl[] = {"(?i)", "(?-i)", "(?s)", "(?-s)", "(?m)", "(?-m)", "(?i-s)"};
            Both(ours, theirs, inl[Pick(7)]);
            return true;
        }
        if (kind < 12 && !closed_.empty()) {
            const auto& [number, empty] = closed_[Pick(static_cast<int>(closed_.size()))];
            // "\g{n}", since PCRE2 reads "\11" as group 11 or an octal code.
            Both(ours, theirs, "\\" + std::to_string(number), "\\g{" + std::to_string(number) + "}");
            if (!empty && Chance(40)) return Quantifier(ours, theirs);
            return true;
        }
        if (kind < 14) {
            // A blank, never quantified: under x it vanishes and a quantifier
            // would move to the atom before it.
            Both(ours, theirs, " ");
            return true;
        }
        const bool empty = Atom(ours, theirs, depth);
        if (!empty && Chance(40)) return Quantifier(ours, theirs);
        return empty;
    }

    bool Atom(std::string& ours, std::string& theirs, int depth) {
        const int kind = Pick(100);
        if (kind < 15 && depth < 3 && groups_ < 9) {
            const int number = ++groups_;
            Both(ours, theirs, "(");
            const bool empty = Alternation(ours, theirs, depth + 1);
            Both(ours, theirs, ")");
            closed_.push_back({number, empty});
            return empty;
        }
        if (kind < 55) {
            static const char* lits[] = {"a", "b", "c", "A", "B", "1", ":", "\\.", "\\-", "\\r", "\\n", "\\x61", "-"};
            Both(ours, theirs, lits[Pick(13)]);
            return false;
        }
        if (kind < 65) {
            Both(ours, theirs, ".");
            return false;
        }
        if (kind < 80) {
            static const char* esc[] = {"\\d", "\\D", "\\w", "\\W", "\\s", "\\S"};
            Both(ours, theirs, esc[Pick(6)]);
            return false;
        }
        static const char* classes[] = {"[abc]", "[^a]", "[a-c]", "[A-Z]", "[\\d\\s]", "[^\\w]", "[]a]",
                                        "[a-]", "[-b]", "[^\\r\\n]", "[.:]", "[b-cA]", "[^-a-c]"};
        Both(ours, theirs, classes[Pick(13)]);
        return false;
    }

    // Returns whether the repetition can match empty text.
    bool Quantifier(std::string& ours, std::string& theirs) {
        static const char* qs[] = {"*", "+", "?", "{2}", "{1,}", "{0,2}", "{1,3}", "{0,}"};
        const int q = Pick(8);
        Both(ours, theirs, qs[q]);
        if (Chance(25)) Both(ours, theirs, "?");
        return q == 0 || q == 2 || q == 5 || q == 7;
    }

    std::mt19937 rng_;
    int groups_ = 0;
    std::vector<std::pair<int, bool>> closed_;  // groups a back-reference may name; can they match empty
};

std::uint32_t PcreOptions(const std::string& modifiers) {
    std::uint32_t options = PCRE2_DOLLAR_ENDONLY | PCRE2_DOTALL;
    bool off = false;
    for (char c : modifiers) {
        if (c == '-') {
            off = true;
            continue;
        }
        const std::uint32_t f = c == 'i' ? PCRE2_CASELESS : c == 's' ? PCRE2_DOTALL : c == 'm' ? PCRE2_MULTILINE
                                                                        : c == 'x' ? PCRE2_EXTENDED : 0;
        options = off ? options & ~f : options | f;
    }
    return options;
}

std::string Show(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

TEST(RegexDifferentialTest, AgreesWithPcre2OnTheCommonDialect) {
    const int saved = ProgramCodePage();
    SetProgramCodePage(1252);
    TGenerator gen(20240611u);
    pcre2_compile_context* cctx = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(cctx, PCRE2_NEWLINE_ANYCRLF);
    pcre2_match_data* md = pcre2_match_data_create(16, nullptr);
    pcre2_match_context* mctx = pcre2_match_context_create(nullptr);
    pcre2_set_match_limit(mctx, 1000000);

    int compared = 0, skippedOurs = 0, skippedTheirs = 0, failures = 0;
    for (int iteration = 0; iteration < 60000 && failures < 10; ++iteration) {
        std::string ours, theirs;
        gen.Pattern(ours, theirs);
        const std::string modifiers = gen.Modifiers();
        int err;
        PCRE2_SIZE errOffset;
        pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(theirs.data()), theirs.size(),
                                         PcreOptions(modifiers), &err, &errOffset, cctx);
        TRegex re(ours, modifiers);
        try {
            re.Compile();
        } catch (const TRegexError& e) {
            // "*" or "+" on an operand that can match empty text is ours to refuse.
            if (e.Code() != TRegexError::kEmptyOperand && code) {
                ADD_FAILURE() << "we refuse /" << Show(ours) << "/ " << modifiers << ": " << e.what();
                ++failures;
            }
            ++skippedOurs;
            pcre2_code_free(code);
            continue;
        }
        if (!code) {
            ADD_FAILURE() << "PCRE2 refuses /" << Show(theirs) << "/ at " << errOffset;
            ++failures;
            continue;
        }
        for (int k = 0; k < 3; ++k) {
            const std::string subject = gen.Subject();
            std::ostringstream mine, pcre;
            bool aborted = false;
            // Up to five successive matches with every group.
            try {
                bool ok = re.Exec(subject);
                for (int m = 0; m < 5 && ok; ++m) {
                    for (int g = 0; g < 10; ++g) mine << re.MatchPos(g) << "," << re.MatchLen(g) << ";";
                    mine << "|";
                    ok = re.ExecNext();
                }
            } catch (const TRegexError& e) {
                ASSERT_EQ(e.Code(), TRegexError::kStepBudgetExhausted);
                aborted = true;
            }
            PCRE2_SIZE offset = 0;
            for (int m = 0; m < 5 && offset <= subject.size(); ++m) {
                const int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(),
                                           offset, 0, md, mctx);
                if (rc == PCRE2_ERROR_MATCHLIMIT) aborted = true;
                if (rc < 0) break;
                const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
                const int pairs = static_cast<int>(pcre2_get_ovector_count(md));
                for (int g = 0; g < 10; ++g) {
                    if (g < rc && g < pairs && ov[2 * g] != PCRE2_UNSET)
                        pcre << ov[2 * g] << "," << ov[2 * g + 1] - ov[2 * g] << ";";
                    else
                        pcre << "-1,0;";
                }
                pcre << "|";
                offset = ov[1] == ov[0] ? ov[1] + 1 : ov[1];
            }
            if (aborted) {
                ++skippedTheirs;
                continue;
            }
            ++compared;
            if (mine.str() != pcre.str()) {
                ++failures;
                ADD_FAILURE() << "/" << Show(ours) << "/ " << modifiers << " on \"" << Show(subject) << "\"\n  ours "
                              << mine.str() << "\n  pcre " << pcre.str();
            }
        }
        pcre2_code_free(code);
    }
    pcre2_match_context_free(mctx);
    pcre2_match_data_free(md);
    pcre2_compile_context_free(cctx);
    SetProgramCodePage(saved);
    // Most cases must have been compared for the agreement to mean anything.
    EXPECT_GT(compared, 150000) << "refused by us " << skippedOurs << ", gave up " << skippedTheirs;
}

}  // namespace
