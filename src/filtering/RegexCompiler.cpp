// Pattern reader and code generator: pattern text -> syntax tree -> program.

#include "filtering/RegexProgram.h"

#include "platform/CodePage.h"

#include <algorithm>
#include <cstring>

namespace regex_internal {

namespace {

constexpr const char* kWordChars = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_";

enum TNodeKind : std::uint8_t { NEmpty, NChar, NSet, NAssert, NGroup, NConcat, NAlt, NRepeat, NBackref };

struct TNode {
    TNodeKind kind = NEmpty;
    bool icase = false;       // NChar, NBackref
    bool greedy = true;       // NRepeat
    bool counted = false;     // NRepeat written with braces
    TOp op = kMatch;          // NAssert
    unsigned char ch = 0;     // NChar
    int set = -1;             // NSet: index into sets
    int group = 0;            // NGroup, NBackref
    int min = 0, max = -1;    // NRepeat
    std::vector<int> kids;
};

TByteSet WordSet() {
    TByteSet s{};
    for (const char* p = kWordChars; *p; ++p) s[static_cast<unsigned char>(*p)] = true;
    return s;
}

TByteSet DigitSet() {
    TByteSet s{};
    for (int c = '0'; c <= '9'; ++c) s[c] = true;
    return s;
}

TByteSet SpaceSet() {
    TByteSet s{};
    for (unsigned char c : {' ', '\t', '\n', '\r', '\f'}) s[c] = true;
    return s;
}

TByteSet Complement(const TByteSet& s) {
    TByteSet r;
    for (int c = 0; c < 256; ++c) r[c] = !s[c];
    return r;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

[[noreturn]] void Fail(int code, const char* what, std::size_t index) {
    const int pos = static_cast<int>(index) + 1;
    throw TRegexError(code, std::string(what) + " (pos " + std::to_string(pos) + ")", pos);
}

class TParser {
public:
    TParser(std::string_view pattern, unsigned flags, const std::array<unsigned char, 256>& fold)
        : pat_(pattern), flags_(flags), fold_(fold) {}

    int ParseAll() {
        const int root = ParseAlt();
        if (i_ < pat_.size()) Fail(TRegexError::kUnmatchedCloseParen, "unmatched )", i_);
        return root;
    }

    std::vector<TNode> nodes;
    std::vector<TByteSet> sets;
    int groupCount = 0;

private:
    bool AtEnd() const { return i_ >= pat_.size(); }
    char Peek(std::size_t ahead = 0) const { return i_ + ahead < pat_.size() ? pat_[i_ + ahead] : '\0'; }

    int NewNode(TNodeKind kind) {
        nodes.emplace_back();
        nodes.back().kind = kind;
        return static_cast<int>(nodes.size()) - 1;
    }

    int NewSet(const TByteSet& s) {
        sets.push_back(s);
        const int n = NewNode(NSet);
        nodes[n].set = static_cast<int>(sets.size()) - 1;
        return n;
    }

    // Blanks and "#" comments under x, and "(?#...)" comments anywhere.
    void SkipIgnorable() {
        for (;;) {
            if (AtEnd()) return;
            const char c = pat_[i_];
            if (flags_ & kFlagX) {
                if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                    ++i_;
                    continue;
                }
                if (c == '#') {
                    while (!AtEnd() && pat_[i_] != '\r' && pat_[i_] != '\n') ++i_;
                    continue;
                }
            }
            if (c == '(' && Peek(1) == '?' && Peek(2) == '#') {
                const std::size_t close = pat_.find(')', i_ + 3);
                if (close == std::string_view::npos) Fail(TRegexError::kUnterminatedComment, "unterminated (?# comment", i_);
                i_ = close + 1;
                continue;
            }
            return;
        }
    }

    int ParseAlt() {
        std::vector<int> branches;
        branches.push_back(ParseConcat());
        while (!AtEnd() && pat_[i_] == '|') {
            ++i_;
            branches.push_back(ParseConcat());
        }
        if (branches.size() == 1) return branches[0];
        const int n = NewNode(NAlt);
        nodes[n].kids = std::move(branches);
        return n;
    }

    int ParseConcat() {
        std::vector<int> items;
        for (;;) {
            SkipIgnorable();
            if (AtEnd() || pat_[i_] == '|' || pat_[i_] == ')') break;
            const int piece = ParsePiece();
            if (piece >= 0) items.push_back(piece);
        }
        if (items.size() == 1) return items[0];
        const int n = NewNode(NConcat);
        nodes[n].kids = std::move(items);
        return n;
    }

    // Reads "{n}", "{n,}" or "{n,m}" at i_; false (i_ unchanged) when the
    // brace does not begin a quantifier and is a literal.
    bool TryBraces(int& min, int& max, std::size_t& end) {
        std::size_t j = i_ + 1;
        auto digits = [&](std::size_t& k, long long& value) {
            const std::size_t start = k;
            value = 0;
            while (k < pat_.size() && pat_[k] >= '0' && pat_[k] <= '9') {
                if (k - start < 9) value = value * 10 + (pat_[k] - '0');
                ++k;
            }
            return k - start;
        };
        long long lo = 0, hi = -1;
        const std::size_t nLo = digits(j, lo);
        if (nLo == 0) return false;
        std::size_t nHi = 0;
        bool comma = false;
        if (j < pat_.size() && pat_[j] == ',') {
            comma = true;
            ++j;
            nHi = digits(j, hi);
        }
        if (j >= pat_.size() || pat_[j] != '}') return false;
        if (nLo > 8 || nHi > 8) Fail(TRegexError::kQuantifierTooLarge, "quantifier too large", i_);
        if (!comma) hi = lo;
        else if (nHi == 0) hi = -1;
        if (hi >= 0 && hi < lo) Fail(TRegexError::kQuantifierReversed, "quantifier {n,m} with m below n", i_);
        min = static_cast<int>(lo);
        max = static_cast<int>(hi);
        end = j + 1;
        return true;
    }

    bool AtQuantifier() {
        if (AtEnd()) return false;
        const char c = pat_[i_];
        if (c == '*' || c == '+' || c == '?') return true;
        if (c == '{') {
            int a, b;
            std::size_t e;
            return TryBraces(a, b, e);
        }
        return false;
    }

    bool CanBeEmpty(int n) const {
        const TNode& node = nodes[n];
        switch (node.kind) {
        case NEmpty: case NAssert: return true;
        case NChar: case NSet: case NBackref: return false;
        case NGroup: return CanBeEmpty(node.kids[0]);
        case NRepeat: return node.min == 0 || CanBeEmpty(node.kids[0]);
        case NConcat:
            for (int k : node.kids)
                if (!CanBeEmpty(k)) return false;
            return true;
        case NAlt:
            for (int k : node.kids)
                if (CanBeEmpty(k)) return true;
            return false;
        }
        return true;
    }

    int ParsePiece() {
        const int atom = ParseAtom();
        if (atom < 0) {
            SkipIgnorable();
            if (AtQuantifier()) Fail(TRegexError::kQuantifierFollowsNothing, "quantifier follows nothing", i_);
            return -1;
        }
        SkipIgnorable();
        if (!AtQuantifier()) return atom;
        const std::size_t qPos = i_;
        int min = 0, max = -1;
        bool counted = false;
        const char q = pat_[i_];
        if (q == '*') { min = 0; max = -1; ++i_; }
        else if (q == '+') { min = 1; max = -1; ++i_; }
        else if (q == '?') { min = 0; max = 1; ++i_; }
        else {
            std::size_t end;
            TryBraces(min, max, end);
            i_ = end;
            counted = true;
        }
        bool greedy = (flags_ & kFlagG) != 0;
        SkipIgnorable();
        if (!AtEnd() && pat_[i_] == '?') {
            greedy = false;
            ++i_;
        }
        SkipIgnorable();
        if (AtQuantifier()) Fail(TRegexError::kNestedQuantifier, "nested quantifier", i_);
        if ((q == '*' || q == '+') && CanBeEmpty(atom))
            Fail(TRegexError::kEmptyOperand, "operand of * or + could be empty", qPos);
        const int n = NewNode(NRepeat);
        nodes[n].kids = {atom};
        nodes[n].min = min;
        nodes[n].max = max;
        nodes[n].greedy = greedy;
        nodes[n].counted = counted;
        return n;
    }

    int CharNode(unsigned char c) {
        const int n = NewNode(NChar);
        nodes[n].ch = c;
        nodes[n].icase = (flags_ & kFlagI) != 0;
        return n;
    }

    int AssertNode(TOp op) {
        const int n = NewNode(NAssert);
        nodes[n].op = op;
        return n;
    }

    // "\x41" or "\x{41}" with i_ on the "x"; returns the byte.
    unsigned char ParseHex(std::size_t backslash) {
        ++i_;
        if (Peek() == '{') {
            std::size_t j = i_ + 1;
            int value = 0, count = 0;
            while (j < pat_.size() && HexValue(pat_[j]) >= 0) {
                value = value * 16 + HexValue(pat_[j]);
                if (value > 0xFF) Fail(TRegexError::kBadHexCode, "bad \\x code", backslash);
                ++j;
                ++count;
            }
            if (count == 0 || j >= pat_.size() || pat_[j] != '}') Fail(TRegexError::kBadHexCode, "bad \\x code", backslash);
            i_ = j + 1;
            return static_cast<unsigned char>(value);
        }
        const int h1 = HexValue(Peek()), h2 = HexValue(Peek(1));
        if (h1 < 0 || h2 < 0) Fail(TRegexError::kBadHexCode, "bad \\x code", backslash);
        i_ += 2;
        return static_cast<unsigned char>(h1 * 16 + h2);
    }

    // A character escape (i_ on the letter after the backslash); -1 if the
    // letter is not one.
    int CharEscape(std::size_t backslash) {
        switch (pat_[i_]) {
        case 't': ++i_; return '\t';
        case 'n': ++i_; return '\n';
        case 'r': ++i_; return '\r';
        case 'f': ++i_; return '\f';
        case 'a': ++i_; return 7;
        case 'e': ++i_; return 27;
        case 'x': return ParseHex(backslash);
        default: return -1;
        }
    }

    static bool ClassEscape(char c, TByteSet& out) {
        switch (c) {
        case 'd': out = DigitSet(); return true;
        case 'D': out = Complement(DigitSet()); return true;
        case 'w': out = WordSet(); return true;
        case 'W': out = Complement(WordSet()); return true;
        case 's': out = SpaceSet(); return true;
        case 'S': out = Complement(SpaceSet()); return true;
        default: return false;
        }
    }

    TByteSet FoldClosure(const TByteSet& s) const {
        TByteSet classes{}, r{};
        for (int c = 0; c < 256; ++c)
            if (s[c]) classes[fold_[c]] = true;
        for (int c = 0; c < 256; ++c) r[c] = classes[fold_[c]];
        return r;
    }

    int ParseEscape() {
        const std::size_t backslash = i_;
        ++i_;
        if (AtEnd()) Fail(TRegexError::kTrailingBackslash, "trailing \\", backslash);
        const char c = pat_[i_];
        TByteSet set;
        if (ClassEscape(c, set)) {
            ++i_;
            return NewSet(set);
        }
        switch (c) {
        case 'A': ++i_; return AssertNode(kBol);
        case 'Z': ++i_; return AssertNode(kEol);
        case 'b': ++i_; return AssertNode(kWordB);
        case 'B': ++i_; return AssertNode(kNotWordB);
        default: break;
        }
        if (c >= '1' && c <= '9') {
            ++i_;
            const int n = NewNode(NBackref);
            nodes[n].group = c - '0';
            nodes[n].icase = (flags_ & kFlagI) != 0;
            return n;
        }
        const int e = CharEscape(backslash);
        if (e >= 0) return CharNode(static_cast<unsigned char>(e));
        ++i_;
        return CharNode(static_cast<unsigned char>(c));
    }

    void AddRange(TByteSet& s, int lo, int hi, std::size_t where) {
        const bool russian = (flags_ & kFlagR) != 0;
        if (lo > hi) {
            // Small а to capital Я: both alphabets.
            if (russian && lo == 0xE0 && hi == 0xDF) {
                for (int c = 0xC0; c <= 0xFF; ++c) s[c] = true;
                s[0xA8] = s[0xB8] = true;
                return;
            }
            Fail(TRegexError::kReversedRange, "reversed range in class", where);
        }
        for (int c = lo; c <= hi; ++c) s[c] = true;
        if (russian && lo == 0xE0 && hi == 0xFF) s[0xB8] = true;
        if (russian && lo == 0xC0 && hi == 0xDF) s[0xA8] = true;
    }

    int ParseClass() {
        const std::size_t open = i_;
        ++i_;
        bool negate = false;
        if (Peek() == '^' && !AtEnd()) {
            negate = true;
            ++i_;
        }
        TByteSet s{};
        bool first = true;
        // One class member: a byte, or (-1) a class escape merged into s.
        auto item = [&](std::size_t& where) -> int {
            where = i_;
            if (AtEnd()) Fail(TRegexError::kUnmatchedBracket, "unmatched [", open);
            const char c = pat_[i_];
            if (c == '\\') {
                const std::size_t backslash = i_;
                ++i_;
                if (AtEnd()) Fail(TRegexError::kUnmatchedBracket, "unmatched [", open);
                TByteSet esc;
                if (ClassEscape(pat_[i_], esc)) {
                    ++i_;
                    for (int k = 0; k < 256; ++k)
                        if (esc[k]) s[k] = true;
                    return -1;
                }
                const int e = CharEscape(backslash);
                if (e >= 0) return e;
                return static_cast<unsigned char>(pat_[i_++]);
            }
            ++i_;
            return static_cast<unsigned char>(c);
        };
        for (;;) {
            if (AtEnd()) Fail(TRegexError::kUnmatchedBracket, "unmatched [", open);
            if (pat_[i_] == ']' && !first) {
                ++i_;
                break;
            }
            first = false;
            std::size_t where;
            const int lo = item(where);
            if (lo < 0) continue;
            if (Peek() == '-' && i_ + 1 < pat_.size() && pat_[i_ + 1] != ']') {
                ++i_;
                std::size_t whereHi;
                const int hi = item(whereHi);
                if (hi < 0) {
                    s[lo] = true;
                    s['-'] = true;
                    continue;
                }
                AddRange(s, lo, hi, where);
                continue;
            }
            s[lo] = true;
        }
        if (flags_ & kFlagI) s = FoldClosure(s);
        if (negate) s = Complement(s);
        return NewSet(s);
    }

    int ParseGroupOrModifier() {
        const std::size_t open = i_;
        if (Peek(1) == '?') {
            // "(?imsx-...)": the flags change until the end of the enclosing group.
            std::size_t j = i_ + 2;
            while (j < pat_.size() && pat_[j] != ')') ++j;
            if (j >= pat_.size()) Fail(TRegexError::kBadInlineModifier, "unterminated (? modifier", open);
            const std::string_view mods = pat_.substr(i_ + 2, j - (i_ + 2));
            for (std::size_t k = 0; k < mods.size(); ++k)
                if (mods[k] != '-' && FlagOfLetter(mods[k]) == 0)
                    Fail(TRegexError::kBadInlineModifier, "bad modifier in (?...)", i_ + 2 + k);
            flags_ = ApplyModifierString(mods, flags_);
            i_ = j + 1;
            return -1;
        }
        if (groupCount >= TRegex::kMaxGroups) Fail(TRegexError::kTooManyGroups, "too many groups", open);
        const int number = ++groupCount;
        ++i_;
        const unsigned saved = flags_;
        const int body = ParseAlt();
        if (AtEnd() || pat_[i_] != ')') Fail(TRegexError::kUnmatchedOpenParen, "unmatched (", open);
        ++i_;
        flags_ = saved;
        const int n = NewNode(NGroup);
        nodes[n].group = number;
        nodes[n].kids = {body};
        return n;
    }

    // Returns the atom's node, or -1 for a flag change that matches nothing.
    int ParseAtom() {
        const char c = pat_[i_];
        switch (c) {
        case '(': return ParseGroupOrModifier();
        case '[': return ParseClass();
        case '.': {
            ++i_;
            TByteSet s;
            s.fill(true);
            if (!(flags_ & kFlagS)) s['\r'] = s['\n'] = false;
            return NewSet(s);
        }
        case '^': ++i_; return AssertNode((flags_ & kFlagM) ? kMBol : kBol);
        case '$': ++i_; return AssertNode((flags_ & kFlagM) ? kMEol : kEol);
        case '\\': return ParseEscape();
        case '*': case '+': case '?':
            Fail(TRegexError::kQuantifierFollowsNothing, "quantifier follows nothing", i_);
        case '{': {
            int a, b;
            std::size_t e;
            if (TryBraces(a, b, e)) Fail(TRegexError::kQuantifierFollowsNothing, "quantifier follows nothing", i_);
            ++i_;
            return CharNode('{');
        }
        default:
            ++i_;
            return CharNode(static_cast<unsigned char>(c));
        }
    }

    std::string_view pat_;
    std::size_t i_ = 0;
    unsigned flags_;
    const std::array<unsigned char, 256>& fold_;
};

class TCodeGen {
public:
    TCodeGen(const std::vector<TNode>& nodes, const std::vector<TByteSet>& sets, TProgram& prog)
        : nodes_(nodes), sets_(sets), prog_(prog) {}

    void Emit(int n, int depth) {
        const TNode& node = nodes_[n];
        switch (node.kind) {
        case NEmpty: break;
        case NChar:
        case NSet: EmitSingle(n); break;
        case NAssert: Push({node.op}); break;
        case NBackref: {
            TInst in{kBackref};
            in.a = node.group;
            in.flag = node.icase ? 1 : 0;
            Push(in);
            break;
        }
        case NGroup: {
            TInst open{kSave};
            open.a = 2 * node.group;
            Push(open);
            Emit(node.kids[0], depth);
            TInst close{kSave};
            close.a = 2 * node.group + 1;
            Push(close);
            break;
        }
        case NConcat: EmitConcat(node, depth); break;
        case NAlt: {
            std::vector<int> jumps;
            for (std::size_t k = 0; k < node.kids.size(); ++k) {
                if (k + 1 < node.kids.size()) {
                    const int split = Push({kSplit});
                    prog_.code[split].a = Here();
                    Emit(node.kids[k], depth);
                    jumps.push_back(Push({kJmp}));
                    prog_.code[split].b = Here();
                } else {
                    Emit(node.kids[k], depth);
                }
            }
            for (int j : jumps) prog_.code[j].a = Here();
            break;
        }
        case NRepeat: EmitRepeat(node, depth); break;
        }
    }

private:
    int Here() const { return static_cast<int>(prog_.code.size()); }
    int Push(const TInst& in) {
        prog_.code.push_back(in);
        return Here() - 1;
    }

    bool IsSingle(int n) const { return nodes_[n].kind == NChar || nodes_[n].kind == NSet; }

    TByteSet SetOf(int n) const {
        const TNode& node = nodes_[n];
        if (node.kind == NSet) return sets_[node.set];
        TByteSet s{};
        if (node.icase) {
            for (int c = 0; c < 256; ++c)
                if (prog_.fold[c] == prog_.fold[node.ch]) s[c] = true;
        } else {
            s[node.ch] = true;
        }
        return s;
    }

    void EmitSingle(int n) {
        const TByteSet s = SetOf(n);
        int members[3];
        int count = 0;
        for (int c = 0; c < 256; ++c)
            if (s[c]) {
                if (count < 3) members[count] = c;
                ++count;
            }
        TInst in{kClass};
        if (count == 256) {
            in.op = kAny;
        } else if (count == 254 && !s['\r'] && !s['\n']) {
            in.op = kAnyNoNL;
        } else if (count == 1) {
            in.op = kChar;
            in.a = members[0];
        } else if (count == 2) {
            in.op = kChar2;
            in.a = members[0];
            in.b = members[1];
        } else {
            prog_.classes.push_back(s);
            in.a = static_cast<int>(prog_.classes.size()) - 1;
        }
        Push(in);
    }

    void EmitConcat(const TNode& node, int depth) {
        std::size_t k = 0;
        while (k < node.kids.size()) {
            const TNode& kid = nodes_[node.kids[k]];
            if (kid.kind == NChar) {
                std::size_t e = k;
                while (e < node.kids.size() && nodes_[node.kids[e]].kind == NChar &&
                       nodes_[node.kids[e]].icase == kid.icase)
                    ++e;
                if (e - k >= 2) {
                    TInst in{kid.icase ? kStrI : kStr};
                    in.a = static_cast<int>(prog_.pool.size());
                    in.b = static_cast<int>(e - k);
                    for (std::size_t j = k; j < e; ++j) {
                        const unsigned char ch = nodes_[node.kids[j]].ch;
                        prog_.pool.push_back(static_cast<char>(kid.icase ? prog_.fold[ch] : ch));
                    }
                    Push(in);
                    k = e;
                    continue;
                }
            }
            Emit(node.kids[k], depth);
            ++k;
        }
    }

    void EmitRepeat(const TNode& node, int depth) {
        const int kid = node.kids[0];
        const TNode& k = nodes_[kid];
        if (node.min == 1 && node.max == 1) {
            Emit(kid, depth);
            return;
        }
        const bool groupOfSingle = k.kind == NGroup && IsSingle(k.kids[0]);
        if (IsSingle(kid) || groupOfSingle) {
            TInst in{kRepChar};
            in.a = node.min;
            in.b = node.max;
            in.flag = node.greedy ? 1 : 0;
            if (groupOfSingle) in.g = static_cast<std::int16_t>(k.group);
            Push(in);
            EmitSingle(groupOfSingle ? k.kids[0] : kid);
            return;
        }
        if (node.min == 0 && node.max == 1) {
            const int split = Push({kSplit});
            Emit(kid, depth);
            if (node.greedy) {
                prog_.code[split].a = split + 1;
                prog_.code[split].b = Here();
            } else {
                prog_.code[split].a = Here();
                prog_.code[split].b = split + 1;
            }
            return;
        }
        const bool limited = node.counted || !node.greedy;
        const int innerDepth = depth + (limited ? 1 : 0);
        prog_.loopDepth = std::max(prog_.loopDepth, innerDepth);
        const int counter = prog_.counterCount++;
        TInst start{kRepStart};
        start.a = counter;
        Push(start);
        TInst test{kRepTest};
        test.a = counter;
        test.b = node.min;
        test.c = node.max;
        test.flag = node.greedy ? 1 : 0;
        const int testPc = Push(test);
        Emit(kid, innerDepth);
        TInst inc{kRepInc};
        inc.a = counter;
        inc.b = testPc;
        Push(inc);
        prog_.code[testPc].d = Here();
    }

    const std::vector<TNode>& nodes_;
    const std::vector<TByteSet>& sets_;
    TProgram& prog_;
};

// Bytes a match of node n can begin with; returns whether n can match empty
// text (then the caller also needs what follows).
bool FirstBytes(const std::vector<TNode>& nodes, const std::vector<TByteSet>& sets,
                const std::array<unsigned char, 256>& fold, int n, TByteSet& out) {
    const TNode& node = nodes[n];
    switch (node.kind) {
    case NEmpty: case NAssert: return true;
    case NBackref: out.fill(true); return true;
    case NChar:
        for (int c = 0; c < 256; ++c)
            if (node.icase ? fold[c] == fold[node.ch] : c == node.ch) out[c] = true;
        return false;
    case NSet:
        for (int c = 0; c < 256; ++c)
            if (sets[node.set][c]) out[c] = true;
        return false;
    case NGroup: return FirstBytes(nodes, sets, fold, node.kids[0], out);
    case NRepeat: return FirstBytes(nodes, sets, fold, node.kids[0], out) || node.min == 0;
    case NConcat:
        for (int k : node.kids)
            if (!FirstBytes(nodes, sets, fold, k, out)) return false;
        return true;
    case NAlt: {
        bool empty = false;
        for (int k : node.kids)
            if (FirstBytes(nodes, sets, fold, k, out)) empty = true;
        return empty;
    }
    }
    return true;
}

// 0: none; 1: every match starts at the subject's start; 2: at a line start.
int StartAnchor(const std::vector<TNode>& nodes, int n) {
    const TNode& node = nodes[n];
    switch (node.kind) {
    case NAssert: return node.op == kBol ? 1 : node.op == kMBol ? 2 : 0;
    case NGroup: return StartAnchor(nodes, node.kids[0]);
    case NConcat: return node.kids.empty() ? 0 : StartAnchor(nodes, node.kids[0]);
    case NAlt: {
        int result = 1;
        for (int k : node.kids) {
            const int a = StartAnchor(nodes, k);
            if (a == 0) return 0;
            result = std::max(result, a);
        }
        return result;
    }
    default: return 0;
    }
}

std::string LiteralPrefix(const std::vector<TNode>& nodes, int n) {
    const TNode* node = &nodes[n];
    if (node->kind == NGroup) node = &nodes[node->kids[0]];
    std::string prefix;
    if (node->kind == NChar && !node->icase) prefix.push_back(static_cast<char>(node->ch));
    if (node->kind == NConcat)
        for (int k : node->kids) {
            if (nodes[k].kind != NChar || nodes[k].icase) break;
            prefix.push_back(static_cast<char>(nodes[k].ch));
        }
    return prefix;
}

// The longest run of plain characters, all of one case mode, in the top-level
// sequence: every match must hold it.
void RequiredLiteral(const std::vector<TNode>& nodes, int n, const std::array<unsigned char, 256>& fold,
                     std::string& out, bool& folded) {
    const TNode* node = &nodes[n];
    while (node->kind == NGroup) node = &nodes[node->kids[0]];
    if (node->kind != NConcat) return;
    std::string run;
    bool runFolded = false;
    auto close = [&] {
        if (run.size() > out.size()) {
            out = run;
            folded = runFolded;
        }
        run.clear();
    };
    for (const int k : node->kids) {
        const TNode& kid = nodes[k];
        if (kid.kind != NChar) {
            close();
            continue;
        }
        if (!run.empty() && kid.icase != runFolded) close();
        runFolded = kid.icase;
        run.push_back(static_cast<char>(kid.icase ? fold[kid.ch] : kid.ch));
    }
    close();
    if (out.size() < 2) out.clear();
}

// "Name:" of a pattern "^Name:(.*)(\r\n\s+(.*))*", or empty text.
std::string HeaderFieldName(std::string_view pattern, unsigned flags) {
    static constexpr std::string_view kTail = "(.*)(\\r\\n\\s+(.*))*";
    if ((flags & (kFlagM | kFlagG)) != (kFlagM | kFlagG) || (flags & (kFlagS | kFlagX)) != 0) return {};
    if (pattern.size() <= kTail.size() + 1 || pattern.front() != '^' || !pattern.ends_with(kTail)) return {};
    const std::string_view name = pattern.substr(1, pattern.size() - 1 - kTail.size());
    static constexpr std::string_view kMeta = "^$.[()|?+*\\{]}";
    for (const char c : name)
        if (kMeta.find(c) != std::string_view::npos) return {};
    return std::string(name);
}

}  // namespace

std::array<unsigned char, 256> FoldTable() {
    // Union of each byte with its upper and lower case, smallest byte as the
    // representative, so that folding is an equivalence.
    std::array<int, 256> parent;
    for (int c = 0; c < 256; ++c) parent[c] = c;
    auto find = [&](int c) {
        while (parent[c] != c) c = parent[c] = parent[parent[c]];
        return c;
    };
    auto unite = [&](int a, int b) {
        a = find(a);
        b = find(b);
        if (a != b) parent[std::max(a, b)] = std::min(a, b);
    };
    for (int c = 0; c < 256; ++c) {
        unite(c, CodePageUpper(static_cast<unsigned char>(c)));
        unite(c, CodePageLower(static_cast<unsigned char>(c)));
    }
    std::array<unsigned char, 256> fold;
    for (int c = 0; c < 256; ++c) fold[c] = static_cast<unsigned char>(find(c));
    return fold;
}

unsigned FlagOfLetter(char letter) {
    switch (letter) {
    case 'i': case 'I': return kFlagI;
    case 'r': case 'R': return kFlagR;
    case 's': case 'S': return kFlagS;
    case 'g': case 'G': return kFlagG;
    case 'm': case 'M': return kFlagM;
    case 'x': case 'X': return kFlagX;
    default: return 0;
    }
}

unsigned ApplyModifierString(std::string_view modifiers, unsigned flags) {
    bool off = false;
    for (const char c : modifiers) {
        if (c == '-') {
            off = true;
            continue;
        }
        const unsigned f = FlagOfLetter(c);
        if (f == 0) throw TRegexError(TRegexError::kBadModifier, std::string("bad modifier letter \"") + c + "\"");
        flags = off ? flags & ~f : flags | f;
    }
    return flags;
}

namespace {

// How often a byte turns up in mail headers, roughly: 0 for the rarest. A
// required literal is looked for by its rarest byte, so fewer places need a
// closer look.
int Commonness(unsigned char byte) {
    static constexpr std::string_view kLettersRareFirst = "zqxjkvbpygfwmuclrdhsnioate";
    const char lower = byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a') : static_cast<char>(byte);
    if (const std::size_t at = kLettersRareFirst.find(lower); at != std::string_view::npos)
        return 1 + static_cast<int>(at);
    if (byte == ' ') return 40;
    if (std::string_view(".-@:<>=;/,_").find(static_cast<char>(byte)) != std::string_view::npos) return 20;
    if (byte >= '0' && byte <= '9') return 12;
    return 0;
}

// The byte of the required literal a search looks for first, and the
// bytes that fold to it. A letter has at most two cases in a one-byte code
// page; a byte whose fold class is larger is not searched for, and without
// any other the literal is given up.
void ChooseRequiredAnchor(TProgram& out) {
    int best = -1, bestScore = 0;
    std::array<unsigned char, 2> bestBytes{};
    for (std::size_t k = 0; k < out.required.size(); ++k) {
        std::array<unsigned char, 2> bytes{};
        int found = 0;
        for (int b = 0; b < 256; ++b)
            if ((out.requiredFolded ? out.fold[b] : b) == static_cast<unsigned char>(out.required[k])) {
                if (found < 2) bytes[found] = static_cast<unsigned char>(b);
                ++found;
            }
        if (found == 0 || found > 2) continue;
        if (found == 1) bytes[1] = bytes[0];
        const int score = Commonness(static_cast<unsigned char>(out.required[k]));
        if (best < 0 || score < bestScore) {
            best = static_cast<int>(k);
            bestScore = score;
            bestBytes = bytes;
        }
    }
    if (best < 0) {
        out.required.clear();
        return;
    }
    out.requiredAnchor = best;
    out.requiredStarts = bestBytes;
}

}  // namespace

void CompileProgram(std::string_view pattern, unsigned flags, TProgram& out) {
    out = TProgram{};
    out.fold = FoldTable();
    TParser parser(pattern, flags, out.fold);
    const int root = parser.ParseAll();
    out.groupCount = parser.groupCount;
    TCodeGen gen(parser.nodes, parser.sets, out);
    gen.Emit(root, 0);
    out.code.push_back({kMatch});

    const int anchor = StartAnchor(parser.nodes, root);
    out.anchored = anchor == 1;
    out.lineAnchored = anchor == 2;
    TByteSet first{};
    out.canBeEmpty = FirstBytes(parser.nodes, parser.sets, out.fold, root, first);
    out.first = first;
    out.firstCount = static_cast<int>(std::count(first.begin(), first.end(), true));
    if (!out.canBeEmpty && out.firstCount <= 2) {
        int found = 0;
        for (int b = 0; b < 256; ++b)
            if (first[b]) out.firstBytes[found++] = static_cast<unsigned char>(b);
        if (found == 1) out.firstBytes[1] = out.firstBytes[0];
    }
    if (!out.anchored && !out.lineAnchored) out.prefix = LiteralPrefix(parser.nodes, root);
    RequiredLiteral(parser.nodes, root, out.fold, out.required, out.requiredFolded);
    out.requiredRuns.clear();
    for (std::size_t k = 0; k + 2 < out.required.size(); ++k) {
        const auto folded = [&](std::size_t i) { return out.fold[static_cast<unsigned char>(out.required[i])]; };
        out.requiredRuns.push_back(RunHash(folded(k), folded(k + 1), folded(k + 2)));
    }
    if (!out.required.empty()) ChooseRequiredAnchor(out);
    out.fieldName = HeaderFieldName(pattern, flags);
    out.fieldFolded = (flags & kFlagI) != 0;
    if (out.fieldFolded)
        for (char& c : out.fieldName) c = static_cast<char>(out.fold[static_cast<unsigned char>(c)]);
}

}  // namespace regex_internal
