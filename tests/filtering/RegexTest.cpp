#include "filtering/Regex.h"

#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>

#include <string>
#include <vector>

namespace {

// Whole match of the first search, or "<none>".
std::string First(const std::string& pattern, const std::string& modifiers, const std::string& subject) {
    TRegex re(pattern, modifiers);
    return re.Exec(subject) ? re.Match(0) : std::string("<none>");
}

// Every match, ExecNext after Exec, joined with "|".
std::string All(const std::string& pattern, const std::string& modifiers, const std::string& subject) {
    TRegex re(pattern, modifiers);
    std::string out;
    if (re.Exec(subject)) {
        do {
            out += "[" + re.Match(0) + "]";
        } while (re.ExecNext());
    }
    return out;
}

struct TCase {
    const char* pattern;
    const char* modifiers;
    std::string subject;
    const char* expected;  // whole match, or "<none>"
};

const std::string kHeader =
    "Received: from a\r\n\tby b\r\nFrom: Joe <joe@x.org>\r\nSubject: Hi\r\n there\r\nTo: me\r\n";

class DialectTest : public ::testing::TestWithParam<TCase> {};

TEST_P(DialectTest, FirstMatch) {
    const TCase& c = GetParam();
    EXPECT_EQ(First(c.pattern, c.modifiers, c.subject), c.expected)
        << "pattern " << c.pattern << " modifiers " << c.modifiers;
}

INSTANTIATE_TEST_SUITE_P(Regex, DialectTest, ::testing::Values(
    // ^ and $ with and without m, on a CR LF header.
    TCase{"^From:.*", "m-s", kHeader, "From: Joe <joe@x.org>"},
    TCase{"^From:", "-m", kHeader, "<none>"},
    TCase{"^Received", "-m", kHeader, "Received"},
    TCase{"b$", "m", "a\r\nb\r\nc", "b"},
    TCase{"b$", "-m", "a\r\nb\r\n", "<none>"},
    TCase{"c$", "-m", "a\r\nb\r\nc", "c"},
    TCase{"^$", "m", "a\r\n\r\nb", ""},
    TCase{"\\r^", "m", "a\r\nb", "<none>"},       // not between CR and LF
    TCase{"\\r$", "m", "a\r\nb", "<none>"},
    TCase{"^b", "m", "a\rb", "b"},                 // a lone CR ends a line
    TCase{"a\\Z", "m", "a\r\na", "a"},
    TCase{"\\Aa", "m", "b\r\na", "<none>"},
    // . and s.
    TCase{"From:(.*)", "-s", "From: a\r\nb", "From: a"},
    TCase{"From:(.*)", "s", "From: a\r\nb", "From: a\r\nb"},
    TCase{"a.b", "-s", "a\nb", "<none>"},
    // Modifier strings.
    TCase{"abc", "mg-r-s", "xABC", "<none>"},
    TCase{"abc", "mgi-r-s", "xABC", "ABC"},
    TCase{"abc", "i-i", "ABC", "<none>"},
    TCase{"a+", "-g", "aaa", "a"},
    TCase{"a+?", "", "aaa", "a"},
    TCase{"a{2,}", "-g", "aaaa", "aa"},
    TCase{"a b # comment\n c", "x", "abc", "abc"},
    TCase{"a\\ b", "x", "a b", "a b"},
    TCase{"[ ]", "x", " ", " "},
    // Inline modifiers and comments.
    TCase{"a(?i)b", "", "aB", "aB"},
    TCase{"(a(?i)b)c", "", "aBC", "<none>"},
    TCase{"(a(?i)b)c", "", "aBc", "aBc"},
    TCase{"a(?i)b|c", "", "C", "C"},
    TCase{"(?-s).+", "", "ab\ncd", "ab"},
    TCase{"(?m)^c", "", "ab\ncd", "c"},
    TCase{"a(?#note)b", "", "ab", "ab"},
    TCase{"a(?#note)*", "", "aaa", "aaa"},
    // Classes, escapes.
    TCase{"\\d+", "", "ab123c", "123"},
    TCase{"\\w+", "", "  foo_1 ", "foo_1"},
    TCase{"\\s+", "", "a \t\r\n\fb", " \t\r\n\f"},
    TCase{"\\D\\W\\S", "", "1a !x", "a !"},
    TCase{"\\x41\\x{42}", "", "zAB", "AB"},
    TCase{"\\t\\e\\a", "", "\t\x1b\x07", "\t\x1b\x07"},
    TCase{"\\q\\.\\$", "", "q.$", "q.$"},
    TCase{"[]a]+", "", "x]a]", "]a]"},
    TCase{"[^]a]+", "", "]]bc", "bc"},
    TCase{"[a-c-e]+", "", "x-eab", "-eab"},
    TCase{"[-a]+", "", "b-a", "-a"},
    TCase{"[\\d.]+", "", "ip 10.0.0.1!", "10.0.0.1"},
    TCase{"[\\x41-\\x43]+", "", "ABCD", "ABC"},
    TCase{"[a-z]+", "i", "12ABc", "ABc"},
    TCase{"[^a-z]+", "i", "ABc12", "12"},
    // Word boundaries.
    TCase{"\\bfoo\\b", "", "a foo.", "foo"},
    TCase{"\\bfoo\\b", "", "afoo", "<none>"},
    TCase{"\\Boo", "", "foo", "oo"},
    // Counted quantifiers and literal braces.
    TCase{"a{x", "", "ba{x", "a{x"},
    TCase{"a{2}", "", "aaa", "aa"},
    TCase{"a{2,3}", "", "aaaa", "aaa"},
    TCase{"a{,3}", "", "a{,3}", "a{,3}"},
    TCase{"x{1", "", "x{1", "x{1"},
    TCase{"([\\d]{1,3}\\.){3}[\\d]{1,3}", "", "at 192.168.10.254.", "192.168.10.254"},
    TCase{"(ab){2}", "", "abababx", "abab"},
    TCase{"(ab){2,}?", "", "ababab", "abab"},
    // Alternation order and backtracking.
    TCase{"a|ab", "", "ab", "a"},
    TCase{"(a|ab)(c|bcd)", "", "abcd", "abcd"},
    TCase{"(a|ab)(c|bcd)d", "", "abcd", "abcd"},
    TCase{"(a|ab)(c|b)$", "", "abc", "abc"},
    TCase{"(a+)+b", "", "aaab", "aaab"},
    TCase{"^(.)*:(\\s)*free(\\s)*\\Z", "mg-i-r-s", "Subject:  free ", "Subject:  free "},
    TCase{"\\Wfree\\W", "mg-i-r-s", "Subject: free money", " free "},
    // Back-references, with and without i.
    TCase{"(a+)b\\1", "", "aabaa", "aabaa"},
    TCase{"(ab)\\1", "i", "abAB", "abAB"},
    TCase{"(ab)\\1", "", "abAB", "<none>"},
    TCase{"(a)|\\1", "", "b", "<none>"},
    // Zero bytes are characters.
    TCase{"b", "", std::string("a\0b", 3), "b"},
    // The e-mail address pattern.
    TCase{"[_a-zA-Z\\d\\-\\.]+@([_a-zA-Z\\d\\-]+(\\.[_a-zA-Z\\d\\-]+)+)", "",
          "From: Joe <joe.x@mail.example.org>", "joe.x@mail.example.org"}));

TEST(RegexTest, FieldPatternTakesContinuationLines) {
    TRegex re("^Subject:(.*)(\r\n\\s+(.*))*", "mgi-r-s");
    ASSERT_TRUE(re.Exec(kHeader));
    EXPECT_EQ(re.Match(0), "Subject: Hi\r\n there");
    EXPECT_EQ(re.Match(1), " Hi");
    EXPECT_EQ(re.Match(2), "\r\n there");
    EXPECT_EQ(re.Match(3), "there");
    EXPECT_FALSE(re.ExecNext());
}

// Header-field patterns are matched by a direct scan. Adding an empty group
// at the end changes no match but takes the general matcher, so the two must
// agree on every match and group of random headers, line breaks of every kind
// and blank continuation lines included.
// Lines begin after an LF, and after a CR only where no LF follows it.
TEST(RegexTest, LineStartsFollowEveryKindOfLineEnd) {
    const struct {
        const char* subject;
        std::vector<std::int32_t> starts;
    } cases[] = {
        {"", {0}},
        {"a\r\nb", {0, 3}},
        {"a\nb\r\n", {0, 2, 5}},
        {"a\rb\r\nc", {0, 2, 5}},
        {"\r", {0, 1}},
        {"x\r\n\r\n", {0, 3, 5}},
        {"\n\r\r\n", {0, 1, 2, 4}},
    };
    for (const auto& c : cases) EXPECT_EQ(TLineStarts(c.subject).Positions(), c.starts) << c.subject;
}

TEST(RegexTest, HeaderFieldScanAgreesWithTheGeneralMatcher) {
    const char* const names[] = {"^Subject:", "^To: ", "^ X-Sieve:"};
    const char* const modifiers[] = {"mgi-r-s", "mg-i-r-s"};
    static const char alphabet[] = "SsuUbBjJeEcCtT:: \t\r\n\r\nxX\fToO-";
    std::mt19937 rng(7u);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    for (int iteration = 0; iteration < 20000; ++iteration) {
        const std::string name = names[pick(3)];
        const char* mods = modifiers[pick(2)];
        const std::string tail = "(.*)(\\r\\n\\s+(.*))*";
        // The general matcher, the header-field scan, and both again over
        // the subject's known line starts.
        TRegex fast(name + tail, mods), general(name + tail + "()", mods);
        TRegex fastIndexed(name + tail, mods), generalIndexed(name + tail + "()", mods);
        std::string subject;
        const int pieces = pick(6);
        for (int k = 0; k < pieces; ++k) {
            if (pick(3) == 0) subject += name.substr(1);
            for (int len = pick(6); len > 0; --len) subject.push_back(alphabet[pick(sizeof alphabet - 1)]);
        }
        const TLineStarts lines(subject);
        TRegex* const others[] = {&fast, &fastIndexed, &generalIndexed};
        bool found[] = {fast.Exec(subject), fastIndexed.Exec(subject, lines), generalIndexed.Exec(subject, lines)};
        bool b = general.Exec(subject);
        for (int match = 0; match < 6; ++match) {
            for (int k = 0; k < 3; ++k) {
                ASSERT_EQ(found[k], b) << "matcher " << k << " on \"" << subject << "\" pattern " << name << " " << mods;
                if (!b) continue;
                for (int g = 0; g <= 3; ++g)
                    ASSERT_EQ(std::make_pair(others[k]->MatchPos(g), others[k]->MatchLen(g)),
                              std::make_pair(general.MatchPos(g), general.MatchLen(g)))
                        << "matcher " << k << " group " << g << " of match " << match << " in \"" << subject << "\"";
            }
            if (!b) break;
            for (int k = 0; k < 3; ++k) found[k] = others[k]->ExecNext();
            b = general.ExecNext();
        }
    }
}

// One walk over the lines serves many field patterns at once; for each it
// must join exactly the matches that its own searches find, also where one
// field's continuation line looks like the start of another field.
TEST(RegexTest, HeaderFieldWalkJoinsWhatEachPatternsSearchesFind) {
    std::pair<const char*, const char*> fields[] = {
        {"^Subject:", "mgi-r-s"}, {"^To: ", "mg-i-r-s"}, {"^ X-Sieve:", "mgi-r-s"}, {"^to:", "mgi-r-s"}};
    const char* const starts[] = {"Subject:", "subject:", "To: ", "TO: ", " X-Sieve:", " x-sieve:", "X: "};
    static const char alphabet[] = "ab: \t\r\n\r\n\f";
    const std::string tail = "(.*)(\\r\\n\\s+(.*))*";
    std::mt19937 rng(11u);
    THeaderFieldScan scan;  // one for all headers, as a scan uses it
    TRegex walked[std::size(fields)];  // new patterns where the last ones were
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    for (int iteration = 0; iteration < 5000; ++iteration) {
        std::string subject;
        for (int k = pick(8); k > 0; --k) {
            if (pick(2) == 0) subject += starts[pick(7)];
            for (int len = pick(6); len > 0; --len) subject.push_back(alphabet[pick(sizeof alphabet - 1)]);
        }
        const TLineStarts lines(subject);
        // The fields in another order each time, at the same addresses: the
        // scan must not take the new patterns for the last ones.
        std::shuffle(std::begin(fields), std::end(fields), rng);
        std::vector<TRegex*> patterns;
        std::vector<std::string> texts(std::size(fields));
        std::vector<std::string*> textPointers;
        for (std::size_t i = 0; i < std::size(fields); ++i) {
            walked[i] = TRegex(fields[i].first + tail, fields[i].second);
            ASSERT_TRUE(THeaderFieldScan::Serves(walked[i], subject));
            patterns.push_back(&walked[i]);
            textPointers.push_back(&texts[i]);
        }
        scan.Collect(lines, patterns, textPointers);
        for (std::size_t i = 0; i < std::size(fields); ++i) {
            TRegex searched(fields[i].first + tail, fields[i].second);
            std::string expected;
            if (searched.Exec(subject)) do {
                    expected += searched.MatchView(0);
                } while (searched.ExecNext());
            ASSERT_EQ(texts[i], expected) << "pattern " << fields[i].first << " on \"" << subject << "\"";
        }
    }
}

TEST(RegexTest, HeaderFieldWalkServesOnlyTheFieldShape) {
    const std::string tail = "(.*)(\\r\\n\\s+(.*))*";
    const std::string header = "Subject: a\r\n";
    const struct {
        std::string pattern, modifiers;
        bool served;
    } cases[] = {
        {"^Subject:" + tail, "mg-i-r-s", true},
        {"^Subject:" + tail, "g-m", false},  // "^" at the subject's start only
        {"^Subject:" + tail + "()", "mg", false},
        {"^Subj.ct:" + tail, "mg", false},
        {"Subject:" + tail, "mg", false},
    };
    for (const auto& c : cases) {
        TRegex re(c.pattern, c.modifiers);
        EXPECT_EQ(THeaderFieldScan::Serves(re, header), c.served) << c.pattern << " " << c.modifiers;
    }
    TRegex field("^Subject:" + tail, "mg");
    field.SetStepBudget(30);
    EXPECT_FALSE(THeaderFieldScan::Serves(field, header)) << "a search of this budget could run out of steps";
}

TEST(RegexTest, ExecNextWalksAllMatchesAndStepsOverEmptyOnes) {
    EXPECT_EQ(All("a*", "", "baac"), "[][aa][][]");
    EXPECT_EQ(All("x?", "", ""), "[]");
    EXPECT_EQ(All("^", "m", "a\nb\r\nc"), "[][][]");
    EXPECT_EQ(All("\\d+", "", "1 22 333"), "[1][22][333]");
    EXPECT_EQ(All("^Received: (.*)", "mgi-r-s", "Received: a\r\nX: y\r\nreceived: b\r\n"),
              "[Received: a][received: b]");
}

TEST(RegexTest, GroupsOutsideRangeOrUnusedReadEmpty) {
    TRegex re("(a)|(b)");
    ASSERT_TRUE(re.Exec("b"));
    EXPECT_EQ(re.Match(0), "b");
    EXPECT_EQ(re.Match(1), "");
    EXPECT_EQ(re.MatchPos(1), -1);
    EXPECT_EQ(re.Match(2), "b");
    EXPECT_EQ(re.MatchPos(2), 0);
    EXPECT_EQ(re.MatchLen(2), 1);
    EXPECT_EQ(re.Match(15), "");
    EXPECT_EQ(re.Match(-1), "");
    EXPECT_EQ(re.MatchPos(15), -1);
    EXPECT_FALSE(re.Exec("c"));
    EXPECT_EQ(re.Match(0), "");
}

TEST(RegexTest, GroupAroundOneCharacterHoldsTheLastOne) {
    TRegex re("^(.)*:(x)?");
    ASSERT_TRUE(re.Exec("ab:c:d"));
    EXPECT_EQ(re.Match(0), "ab:c:");
    EXPECT_EQ(re.Match(1), "c");
    TRegex none("(.)*:");
    ASSERT_TRUE(none.Exec(":"));
    EXPECT_EQ(none.MatchPos(1), -1);
    TRegex lazy("(.)*?:", "");
    ASSERT_TRUE(lazy.Exec("ab:c:"));
    EXPECT_EQ(lazy.Match(0), "ab:");
    EXPECT_EQ(lazy.Match(1), "b");
}

TEST(RegexTest, FourteenGroups) {
    TRegex re("(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)(m)(n)");
    ASSERT_TRUE(re.Exec("abcdefghijklmn"));
    EXPECT_EQ(re.Match(14), "n");
    EXPECT_THROW(TRegex("(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)(m)(n)(o)").Compile(), TRegexError);
}

TEST(RegexTest, RussianRangesFollowTheRFlag) {
    const std::string yo = "\xB8", capitalYo = "\xA8", ya = "\xFF";
    EXPECT_EQ(First("[\xE0-\xFF]", "r", yo), yo);
    EXPECT_EQ(First("[\xE0-\xFF]", "-r", yo), "<none>");
    EXPECT_EQ(First("[\xE0-\xFF]", "-r", ya), ya);
    EXPECT_EQ(First("[\xC0-\xDF]", "r", capitalYo), capitalYo);
    EXPECT_EQ(First("[\xC0-\xDF]", "-r", capitalYo), "<none>");
    EXPECT_EQ(First("[\xE0-\xDF]+", "r", "\xA8\xB8\xC0\xFF"), "\xA8\xB8\xC0\xFF");
    TRegex reversed("[\xE0-\xDF]", "-r");
    EXPECT_THROW(reversed.Compile(), TRegexError);
    // The "Is uppercase" rule template, r on and i off.
    EXPECT_EQ(First("^(.)*:([A-Z\\d\\s\xC0-\xDF])+\\Z", "mg-ir-s", "Subject: FREE MONEY 100"),
              "Subject: FREE MONEY 100");
    EXPECT_EQ(First("^(.)*:([A-Z\\d\\s\xC0-\xDF])+\\Z", "mg-ir-s", "Subject: Free money"), "<none>");
    EXPECT_EQ(First("^(.)*:([A-Z\\d\\s\xC0-\xDF])+\\Z", "mg-ir-s", "Subject: FREE!"), "<none>");
}

TEST(RegexTest, CaseFoldingFollowsTheCodePage) {
    const int saved = ProgramCodePage();
    SetProgramCodePage(1251);
    TRegex re("\xE4\xE0", "i");  // "да"
    EXPECT_TRUE(re.Exec("\xC4\xC0"));
    TRegex backref("(\xE4)\\1", "i");
    EXPECT_TRUE(backref.Exec("\xE4\xC4"));
    EXPECT_EQ(First("[\xE0-\xE5]+", "i", "\xC0\xC1\xE2"), "\xC0\xC1\xE2");
    TRegex yo("\xB8", "i");  // ё
    EXPECT_TRUE(yo.Exec("\xA8"));
    SetProgramCodePage(1252);
    // The compiled program follows a change of code page: in 1252 these are
    // the cedilla and the diaeresis, which have no case.
    EXPECT_FALSE(yo.Exec("\xA8"));
    SetProgramCodePage(saved);
}

TEST(RegexTest, ModifierStrings) {
    TRegex re;
    EXPECT_FALSE(re.Modifier('i'));
    EXPECT_TRUE(re.Modifier('r'));
    EXPECT_TRUE(re.Modifier('s'));
    EXPECT_TRUE(re.Modifier('g'));
    EXPECT_FALSE(re.Modifier('m'));
    EXPECT_FALSE(re.Modifier('x'));
    re.ApplyModifiers("mgi-r-s");
    EXPECT_TRUE(re.Modifier('m') && re.Modifier('g') && re.Modifier('i'));
    EXPECT_FALSE(re.Modifier('r') || re.Modifier('s'));
    re.ApplyModifiers("-i");
    EXPECT_FALSE(re.Modifier('i'));
    EXPECT_TRUE(re.Modifier('m'));
    re.ApplyModifiers("I-M");
    EXPECT_TRUE(re.Modifier('i'));
    EXPECT_FALSE(re.Modifier('m'));
    re.ApplyModifiers("-i-m-s-x-g");
    EXPECT_FALSE(re.Modifier('g') || re.Modifier('i'));
    try {
        re.ApplyModifiers("mgq");
        FAIL() << "no error";
    } catch (const TRegexError& e) {
        EXPECT_EQ(e.Code(), TRegexError::kBadModifier);
    }
    EXPECT_TRUE(re.Modifier('i') == false);  // unchanged after the error
    EXPECT_THROW(re.SetModifier('q', true), TRegexError);
}

struct TErrorCase {
    const char* pattern;
    int code;
    int position;
};

class PatternErrorTest : public ::testing::TestWithParam<TErrorCase> {};

TEST_P(PatternErrorTest, CodeAndPosition) {
    const TErrorCase& c = GetParam();
    TRegex re(c.pattern);
    try {
        re.Exec("subject");
        FAIL() << "no error for " << c.pattern;
    } catch (const TRegexError& e) {
        EXPECT_EQ(e.Code(), c.code) << c.pattern << ": " << e.what();
        EXPECT_EQ(e.Position(), c.position) << c.pattern << ": " << e.what();
        const std::string tail = " (pos " + std::to_string(c.position) + ")";
        const std::string what = e.what();
        EXPECT_EQ(what.substr(what.size() - tail.size()), tail);
    }
}

INSTANTIATE_TEST_SUITE_P(Regex, PatternErrorTest, ::testing::Values(
    TErrorCase{"ab(cd", TRegexError::kUnmatchedOpenParen, 3},
    TErrorCase{"abc)", TRegexError::kUnmatchedCloseParen, 4},
    TErrorCase{"a[bc", TRegexError::kUnmatchedBracket, 2},
    TErrorCase{"[z-a]", TRegexError::kReversedRange, 2},
    TErrorCase{"a\\xZ1", TRegexError::kBadHexCode, 2},
    TErrorCase{"\\x{100}", TRegexError::kBadHexCode, 1},
    TErrorCase{"a{123456789}", TRegexError::kQuantifierTooLarge, 2},
    TErrorCase{"a{3,2}", TRegexError::kQuantifierReversed, 2},
    TErrorCase{"a**", TRegexError::kNestedQuantifier, 3},
    TErrorCase{"a{2}{3}", TRegexError::kNestedQuantifier, 5},
    TErrorCase{"a*??", TRegexError::kNestedQuantifier, 4},
    TErrorCase{"*a", TRegexError::kQuantifierFollowsNothing, 1},
    TErrorCase{"a|+", TRegexError::kQuantifierFollowsNothing, 3},
    TErrorCase{"(?i)*", TRegexError::kQuantifierFollowsNothing, 5},
    TErrorCase{"(a*)*", TRegexError::kEmptyOperand, 5},
    TErrorCase{"(a|)+", TRegexError::kEmptyOperand, 5},
    TErrorCase{"x\\", TRegexError::kTrailingBackslash, 2},
    TErrorCase{"(?iq)", TRegexError::kBadInlineModifier, 4},
    TErrorCase{"(?:a)", TRegexError::kBadInlineModifier, 3},
    TErrorCase{"a(?#x", TRegexError::kUnterminatedComment, 2}));

TEST(RegexTest, SearchErrors) {
    TRegex empty;
    try {
        empty.Exec("x");
        FAIL();
    } catch (const TRegexError& e) {
        EXPECT_EQ(e.Code(), TRegexError::kNoPattern);
    }
    TRegex re("a");
    try {
        re.ExecNext();
        FAIL();
    } catch (const TRegexError& e) {
        EXPECT_EQ(e.Code(), TRegexError::kNoInput);
    }
    EXPECT_FALSE(re.Exec("b"));
    EXPECT_THROW(re.ExecNext(), TRegexError);
    // Empty subjects are ordinary subjects.
    TRegex anchors("^$");
    EXPECT_TRUE(anchors.Exec(""));
}

TEST(RegexTest, CountedRepetitionsNestedTooDeep) {
    // Ten nested counted groups are fine, eleven are refused at search time.
    std::string ten = "ab", eleven;
    for (int k = 0; k < 10; ++k) ten = "(" + ten + "){1,2}";
    eleven = "(" + ten + "){1,2}";
    TRegex ok(ten);
    EXPECT_TRUE(ok.Exec("ab"));
    TRegex bad(eleven);
    EXPECT_NO_THROW(bad.Compile());
    try {
        bad.Exec("a");
        FAIL();
    } catch (const TRegexError& e) {
        EXPECT_EQ(e.Code(), TRegexError::kLoopsTooDeep);
    }
}

TEST(RegexTest, StepBudgetStopsCatastrophicBacktracking) {
    TRegex re("(a|aa)+b");
    const std::string subject(60, 'a');
    try {
        re.Exec(subject);
        FAIL() << "finished in " << re.LastSteps() << " steps";
    } catch (const TRegexError& e) {
        EXPECT_EQ(e.Code(), TRegexError::kStepBudgetExhausted);
    }
    // The object stays usable, and a smaller budget is honoured.
    EXPECT_TRUE(re.Exec("aab"));
    TRegex quadratic("a.*b");
    quadratic.SetStepBudget(100000);
    const std::string many(200000, 'a');
    EXPECT_THROW(quadratic.Exec(many), TRegexError);
    // A literal that every match needs and the subject lacks ends the search
    // before any backtracking, in either case mode.
    for (const char* modifiers : {"-i", "i"}) {
        TRegex needsLiteral("(a|aa)+XY", modifiers);
        EXPECT_FALSE(needsLiteral.Exec(subject)) << modifiers;
        EXPECT_TRUE(needsLiteral.Exec("aaxy") == (modifiers[0] == 'i')) << modifiers;
    }
}

TEST(RegexTest, BuiltInPatternsStayInsideTheBudgetOnOneMegabyte) {
    std::string header;
    while (header.size() < (1u << 20))
        header += "Received: from relay" + std::to_string(header.size()) + " (x) by mx;\r\n\tTue, 1 Jan 2002\r\n";
    header += "From: a@b.c\r\nSubject: " + std::string(300000, 'A') + ":" + std::string(300000, 'B') + "\r\n";
    const char* fields[] = {"^From:(.*)(\r\n\\s+(.*))*", "^Received: (.*)(\r\n\\s+(.*))*",
                            "^Subject:(.*)(\r\n\\s+(.*))*", "^ X-Sieve:(.*)(\r\n\\s+(.*))*"};
    for (const char* f : fields) {
        TRegex re(f, "mgi-r-s");
        std::string text;
        if (re.Exec(header))
            do text += re.Match(0);
            while (re.ExecNext());
        // Field text of many Received lines: now the rule templates over it.
        std::string flat;
        for (char c : text)
            if (c != '\r' && c != '\n') flat += c;
        const char* rules[][2] = {{"relay", "mgi-r-s"},       {"\\Wrelay\\W", "mg-i-r-s"},
                                  {"^(.)*:(\\s)*relay(\\s)*\\Z", "mg-i-r-s"}, {"\\Wzzz", "mg-i-r-s"},
                                  {"zzz(\\W|$|\\s)", "mg-i-r-s"},
                                  {"^(.)*:([A-Z\\d\\s\xC0-\xDF])+\\Z", "mg-ir-s"}};
        for (auto& r : rules) {
            TRegex rule(r[0], r[1]);
            EXPECT_NO_THROW({
                if (rule.Exec(flat))
                    while (rule.ExecNext()) {
                    }
            }) << f << " / " << r[0];
        }
    }
}

TEST(RegexTest, EscapeRegexMeta) {
    EXPECT_EQ(EscapeRegexMeta("a.b$&(x)|[y]{z}^?+*\\c-d"), "a\\.b\\$&\\(x\\)\\|\\[y\\]\\{z\\}\\^\\?\\+\\*\\\\c-d");
    const std::string text = "1+1=2? (yes) [really] {ok} ^$ a.b|c*d\\e";
    TRegex re(EscapeRegexMeta(text));
    const std::string subject = "say " + text + "!";
    ASSERT_TRUE(re.Exec(subject));
    EXPECT_EQ(re.Match(0), text);
}

TEST(RegexTest, UnchangedPatternKeepsResultsUntilNextSearch) {
    TRegex re("b+");
    const std::string subject = "abbc";
    ASSERT_TRUE(re.Exec(subject));
    re.SetExpression("b+");
    EXPECT_EQ(re.Match(0), "bb");
    re.SetExpression("c");
    EXPECT_EQ(re.Match(0), "");
    EXPECT_TRUE(re.Exec(subject));
    EXPECT_EQ(re.MatchPos(0), 3);
}

}  // namespace

// The quick test by the subject's bytes may only refuse subjects the search
// refuses too; and it does refuse some, or it would save nothing.
// The letter cases of a text's runs follow the code page they were read
// under: after a change, a pattern of the new code page must not be refused
// by runs folded the old way. In code page 1251 "\xB8" and "\xA8" are one
// letter in two cases; in 1252 they are not letters.
TEST(RegexTest, MayMatchAfterACodePageChangeRefusesNothingItShouldNot) {
    const int before = ProgramCodePage();
    SetProgramCodePage(1252);
    const std::string subject = "ab\xB8" "cd";
    const TTextBytes bytes(subject);
    SetProgramCodePage(1251);
    TRegex re("ab\xA8" "cd", "i");
    const bool match = re.Exec(subject);
    const bool may = re.MayMatch(bytes);
    SetProgramCodePage(before);
    ASSERT_TRUE(match);
    EXPECT_TRUE(may);
}

TEST(RegexTest, MayMatchNeverRefusesASubjectWithAMatch) {
    const std::pair<const char*, const char*> patterns[] = {
        {"viagra", "i"},          {"V1agra", "-i"},   {"click here", "i"}, {"\\bwon\\b", "-i"},
        {"^urgent", "mi"},        {"a|k", "i"},       {"\\$\\$\\$", ""},    {"(k)?ab", "i"},
        {"^Subject:(.*)(\\r\\n\\s+(.*))*", "mgi-r-s"},
    };
    static const char alphabet[] = "viagrVIAGR1 clikhewoCLIKHEWOn$ub\r\nSj:t";
    // Words of the patterns, put into the subjects in any letter case so
    // that matches are common and the folded three-byte runs are tried.
    const char* const words[] = {"viagra", "V1agra", "click here", "won", "urgent", "$$$", "Subject:"};
    std::mt19937 rng(11u);
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    int refused = 0, matched = 0;
    for (const auto& [pattern, modifiers] : patterns) {
        TRegex re(pattern, modifiers);
        for (int iteration = 0; iteration < 3000; ++iteration) {
            std::string subject;
            for (std::size_t len = pick(15); len > 0; --len) subject.push_back(alphabet[pick(sizeof alphabet - 1)]);
            if (pick(2) == 0) {
                std::string word = words[pick(std::size(words))];
                for (char& c : word)
                    if (pick(3) == 0) c = static_cast<char>(std::isupper(static_cast<unsigned char>(c)) ? std::tolower(c) : std::toupper(c));
                subject.insert(pick(subject.size() + 1), word);
            }
            const bool match = re.Exec(subject);
            matched += match;
            if (re.MayMatch(TTextBytes(subject))) continue;
            ++refused;
            ASSERT_FALSE(match) << pattern << " on \"" << subject << "\"";
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(matched, 0);
}

// A literal is found at every place it stands, in either letter case where
// asked, also far into a long text, where the search looks at sixteen bytes
// at once and passes over places that hold only some of its bytes.
TEST(RegexTest, LiteralsAreFoundWhereverTheyStand) {
    static const char alphabet[] = "abAB:-zZ 1";
    std::mt19937 rng(5u);
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    const auto fold = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    int found = 0;
    for (int iteration = 0; iteration < 20000; ++iteration) {
        std::string literal, subject;
        for (std::size_t len = 1 + pick(5); len > 0; --len) literal.push_back(alphabet[pick(sizeof alphabet - 1)]);
        for (std::size_t len = pick(120); len > 0; --len) subject.push_back(alphabet[pick(sizeof alphabet - 1)]);
        const bool caseless = pick(2) == 0;
        TRegex re(EscapeRegexMeta(literal), caseless ? "i" : "-i");
        std::vector<int> places, expected;
        if (re.Exec(subject)) do
                places.push_back(re.MatchPos(0));
            while (re.ExecNext());
        const std::string text = caseless ? fold(subject) : subject, word = caseless ? fold(literal) : literal;
        for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + word.size()))
            expected.push_back(static_cast<int>(at));
        found += !expected.empty();
        ASSERT_EQ(places, expected) << "/" << literal << "/" << (caseless ? "i" : "") << " in \"" << subject << "\"";
    }
    EXPECT_GT(found, 1000);
}
