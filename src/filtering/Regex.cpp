// The matcher: a backtracking machine over the compiled program, with an
// explicit stack (no recursion, so long subjects cannot overflow the C stack)
// and a step budget.

#include "filtering/Regex.h"

#include "base/ByteSearch.h"
#include "filtering/RegexProgram.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <climits>
#include <cstring>
#include <stdexcept>
#include <vector>

using namespace regex_internal;

TRegexError::TRegexError(int code, const std::string& message, int position)
    : std::runtime_error(message), code_(code), position_(position) {}

namespace {

enum TBacktrack : std::int32_t {
    kBtResume,    // go on at pc with position p
    kBtRestore,   // caps[pc] = p
    kBtCounter,   // counter pc = p, its iteration start q
    kBtGreedy,    // kRepChar at pc: give back characters, now at p, not below q
    kBtLazy,      // kRepChar at pc: take one more character, now at p with q taken
};

struct TEntry {
    std::int32_t kind, pc, p, q;
};

constexpr int kSlots = 2 * (TRegex::kMaxGroups + 1);

bool IsWordByte(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

}  // namespace

struct TRegex::TImpl {
    TProgram prog;
    std::vector<TEntry> stack;
    std::vector<std::int32_t> counters, iterStart;

    // Per search.
    const unsigned char* s = nullptr;
    std::int32_t n = 0;
    std::int64_t steps = 0;
    int* caps = nullptr;

    bool MatchOne(const TInst& m, unsigned char c) const {
        switch (m.op) {
        case kChar: return c == m.a;
        case kChar2: return c == m.a || c == m.b;
        case kClass: return prog.classes[m.a][c];
        case kAny: return true;
        case kAnyNoNL: return c != '\r' && c != '\n';
        default: return false;
        }
    }

    // How many characters from p on (at most limit) the matcher m takes.
    std::int32_t Scan(const TInst& m, std::int32_t p, std::int32_t limit) const {
        const unsigned char* from = s + p;
        std::int32_t k = 0;
        switch (m.op) {
        case kAny: return limit;
        case kAnyNoNL:
            while (k < limit && from[k] != '\r' && from[k] != '\n') ++k;
            return k;
        case kChar:
            while (k < limit && from[k] == m.a) ++k;
            return k;
        case kChar2:
            while (k < limit && (from[k] == m.a || from[k] == m.b)) ++k;
            return k;
        case kClass: {
            const TByteSet& set = prog.classes[m.a];
            while (k < limit && set[from[k]]) ++k;
            return k;
        }
        default: return 0;
        }
    }

    void Push(std::int32_t kind, std::int32_t pc, std::int32_t p, std::int32_t q) {
        if (stack.size() >= kMaxBacktrackEntries)
            throw TRegexError(TRegexError::kStepBudgetExhausted, "search gave up: too much backtracking");
        stack.push_back({kind, pc, p, q});
    }

    [[noreturn]] static void OutOfSteps() {
        throw TRegexError(TRegexError::kStepBudgetExhausted, "search gave up: step budget exhausted");
    }

    void Charge(std::int64_t count) {
        steps -= count;
        if (steps < 0) OutOfSteps();
    }

    bool IsLineStart(std::int32_t p) const {
        if (p == 0) return true;
        const unsigned char before = s[p - 1];
        if (before == '\n') return true;
        return before == '\r' && !(p < n && s[p] == '\n');
    }

    bool IsLineEnd(std::int32_t p) const {
        if (p == n) return true;
        const unsigned char c = s[p];
        if (c == '\r') return true;
        return c == '\n' && !(p > 0 && s[p - 1] == '\r');
    }

    // Last position in [low, high] where the instruction at pc can begin, or
    // -1: spares the greedy give-back the positions that would fail at once.
    std::int32_t LastCandidate(std::int32_t pc, std::int32_t low, std::int32_t high) const {
        const TInst& next = prog.code[pc];
        int c1 = -1, c2 = -1;
        if (next.op == kChar) c1 = next.a;
        else if (next.op == kStr) c1 = static_cast<unsigned char>(prog.pool[next.a]);
        else if (next.op == kChar2) c1 = next.a, c2 = next.b;
        else return high;
        if (high >= n) {
            high = n - 1;
            if (high < low) return -1;
        }
        if (c2 < 0) {
            const void* hit = memrchr(s + low, c1, static_cast<std::size_t>(high - low + 1));
            return hit ? static_cast<std::int32_t>(static_cast<const unsigned char*>(hit) - s) : -1;
        }
        for (std::int32_t p = high; p >= low; --p)
            if (s[p] == c1 || s[p] == c2) return p;
        return -1;
    }

    void SetCharCapture(int g, std::int32_t end) {
        caps[2 * g] = end - 1;
        caps[2 * g + 1] = end;
    }

    bool Run(std::int32_t start);
    bool RunHeaderField(std::int32_t start);
    bool Holds(const std::string& literal, bool folded, std::int32_t from) const;
};

namespace {

// The header-field shape "^Name:(.*)(\r\n\s+(.*))*" at a line start: the name,
// the rest of the line, then every continuation that a CR LF and white space
// begin. The greedy program takes the same path and never backtracks out of
// it, since nothing follows the loop; the groups end up as its would. The end
// of the match, or -1 when the line does not begin with the name.
std::int32_t HeaderFieldEnd(const TProgram& prog, const unsigned char* s, std::int32_t n, std::int32_t start,
                            int* caps) {
    const std::string& name = prog.fieldName;
    const std::int32_t len = static_cast<std::int32_t>(name.size());
    if (n - start < len) return -1;
    for (std::int32_t k = 0; k < len; ++k) {
        const unsigned char c = s[start + k];
        if ((prog.fieldFolded ? prog.fold[c] : c) != static_cast<unsigned char>(name[k])) return -1;
    }
    auto restOfLine = [&](std::int32_t p) { return FindEither(s, p, n, '\r', '\n'); };
    auto isSpace = [](unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; };
    int ignored[8];
    int* const g = caps ? caps : ignored;
    if (caps) std::fill(caps, caps + kSlots, -1);
    std::int32_t p = restOfLine(start + len);
    g[2] = start + len;
    g[3] = p;
    while (p + 2 < n && s[p] == '\r' && s[p + 1] == '\n' && isSpace(s[p + 2])) {
        g[4] = p;
        p += 3;
        while (p < n && isSpace(s[p])) ++p;
        g[6] = p;
        p = restOfLine(p);
        g[5] = g[7] = p;
    }
    g[0] = start;
    g[1] = p;
    return p;
}

}  // namespace

bool TRegex::TImpl::RunHeaderField(std::int32_t start) {
    const std::int32_t end = HeaderFieldEnd(prog, s, n, start, caps);
    if (end < 0) return false;
    Charge(1 + (end - start) / 16);
    return true;
}

// Whether the literal occurs in the subject from position from on. Only the
// places of its rarest byte (in either case when folded) are tried.
bool TRegex::TImpl::Holds(const std::string& literal, bool folded, std::int32_t from) const {
    const std::int32_t len = static_cast<std::int32_t>(literal.size());
    if (from + len > n) return false;
    // Candidates are the places of the literal's rarest byte (in either
    // case); the literal would begin anchor bytes before.
    const std::int32_t anchor = prog.requiredAnchor;
    const unsigned char b0 = prog.requiredStarts[0], b1 = prog.requiredStarts[1];
    for (std::int32_t at = FindEither(s, from + anchor, n, b0, b1);; at = FindEither(s, at + 1, n, b0, b1)) {
        const std::int32_t start = at - anchor;
        if (start + len > n) return false;
        std::int32_t k = 0;
        if (folded)
            while (k < len && (k == anchor || prog.fold[s[start + k]] == static_cast<unsigned char>(literal[k]))) ++k;
        else
            while (k < len && s[start + k] == static_cast<unsigned char>(literal[k])) ++k;
        if (k == len) return true;
    }
}

bool TRegex::TImpl::Run(std::int32_t start) {
    const TInst* code = prog.code.data();
    std::fill(caps, caps + kSlots, -1);
    stack.clear();
    std::int32_t pc = 0, p = start;
    for (;;) {
        if (--steps < 0) OutOfSteps();
        const TInst& in = code[pc];
        switch (in.op) {
        case kChar:
            if (p < n && s[p] == in.a) { ++p; ++pc; continue; }
            goto fail;
        case kChar2:
            if (p < n && (s[p] == in.a || s[p] == in.b)) { ++p; ++pc; continue; }
            goto fail;
        case kClass:
            if (p < n && prog.classes[in.a][s[p]]) { ++p; ++pc; continue; }
            goto fail;
        case kAny:
            if (p < n) { ++p; ++pc; continue; }
            goto fail;
        case kAnyNoNL:
            if (p < n && s[p] != '\r' && s[p] != '\n') { ++p; ++pc; continue; }
            goto fail;
        case kStr:
            if (n - p >= in.b && std::memcmp(s + p, prog.pool.data() + in.a, in.b) == 0) {
                p += in.b;
                ++pc;
                continue;
            }
            goto fail;
        case kStrI: {
            if (n - p < in.b) goto fail;
            const unsigned char* lit = reinterpret_cast<const unsigned char*>(prog.pool.data()) + in.a;
            for (std::int32_t k = 0; k < in.b; ++k)
                if (prog.fold[s[p + k]] != lit[k]) goto fail;
            p += in.b;
            ++pc;
            continue;
        }
        case kBol:
            if (p == 0) { ++pc; continue; }
            goto fail;
        case kMBol:
            if (IsLineStart(p)) { ++pc; continue; }
            goto fail;
        case kEol:
            if (p == n) { ++pc; continue; }
            goto fail;
        case kMEol:
            if (IsLineEnd(p)) { ++pc; continue; }
            goto fail;
        case kWordB:
        case kNotWordB: {
            const bool before = p > 0 && IsWordByte(s[p - 1]);
            const bool after = p < n && IsWordByte(s[p]);
            if ((before != after) == (in.op == kWordB)) { ++pc; continue; }
            goto fail;
        }
        case kSplit:
            Push(kBtResume, in.b, p, 0);
            pc = in.a;
            continue;
        case kJmp:
            pc = in.a;
            continue;
        case kSave:
            Push(kBtRestore, in.a, caps[in.a], 0);
            caps[in.a] = p;
            ++pc;
            continue;
        case kBackref: {
            const std::int32_t from = caps[2 * in.a], to = caps[2 * in.a + 1];
            if (from < 0 || to < 0) goto fail;
            const std::int32_t len = to - from;
            if (n - p < len) goto fail;
            if (in.flag) {
                for (std::int32_t k = 0; k < len; ++k)
                    if (prog.fold[s[from + k]] != prog.fold[s[p + k]]) goto fail;
            } else if (std::memcmp(s + from, s + p, len) != 0) {
                goto fail;
            }
            Charge(len / 16);
            p += len;
            ++pc;
            continue;
        }
        case kRepChar: {
            const TInst& m = code[pc + 1];
            const std::int32_t room = n - p;
            const std::int32_t limit = in.b < 0 ? room : std::min(in.b, room);
            if (in.g >= 0) {
                Push(kBtRestore, 2 * in.g, caps[2 * in.g], 0);
                Push(kBtRestore, 2 * in.g + 1, caps[2 * in.g + 1], 0);
            }
            std::int32_t count;
            if (in.flag) {
                count = Scan(m, p, limit);
                Charge(count / 16);
                if (count < in.a) goto fail;
                if (count > in.a) Push(kBtGreedy, pc, p + count, p + in.a);
            } else {
                count = in.a > limit ? -1 : Scan(m, p, in.a);
                Charge(in.a / 16);
                if (count != in.a) goto fail;
                if (in.b < 0 || count < in.b) Push(kBtLazy, pc, p + count, count);
            }
            p += count;
            // A group around one character holds the last one taken.
            if (in.g >= 0 && count > 0) SetCharCapture(in.g, p);
            pc += 2;
            continue;
        }
        case kRepStart:
            Push(kBtCounter, in.a, counters[in.a], iterStart[in.a]);
            counters[in.a] = 0;
            iterStart[in.a] = p;
            ++pc;
            continue;
        case kRepTest: {
            const std::int32_t c = counters[in.a];
            if (c < in.b) { ++pc; continue; }
            if (in.c >= 0 && c >= in.c) { pc = in.d; continue; }
            if (in.flag) {
                Push(kBtResume, in.d, p, 0);
                ++pc;
            } else {
                Push(kBtResume, pc + 1, p, 0);
                pc = in.d;
            }
            continue;
        }
        case kRepInc: {
            const TInst& test = code[in.b];
            const std::int32_t c = counters[in.a];
            Push(kBtCounter, in.a, c, iterStart[in.a]);
            counters[in.a] = c + 1;
            // An iteration that took nothing would take nothing forever.
            if (p == iterStart[in.a] && c + 1 >= test.b) {
                pc = test.d;
                continue;
            }
            iterStart[in.a] = p;
            pc = in.b;
            continue;
        }
        case kMatch:
            caps[0] = start;
            caps[1] = p;
            return true;
        }
    fail:
        for (;;) {
            if (stack.empty()) return false;
            const TEntry e = stack.back();
            stack.pop_back();
            switch (e.kind) {
            case kBtResume:
                pc = e.pc;
                p = e.p;
                goto resumed;
            case kBtRestore:
                caps[e.pc] = e.p;
                continue;
            case kBtCounter:
                counters[e.pc] = e.p;
                iterStart[e.pc] = e.q;
                continue;
            case kBtGreedy: {
                if (--steps < 0) OutOfSteps();
                const TInst& in = code[e.pc];
                const std::int32_t low = e.q;
                const std::int32_t cur = LastCandidate(e.pc + 2, low, e.p - 1);
                Charge((e.p - std::max(cur, low)) / 16);
                if (cur < low) continue;
                if (cur > low) stack.push_back({kBtGreedy, e.pc, cur, low});
                p = cur;
                pc = e.pc + 2;
                if (in.g >= 0) {
                    const std::int32_t start = low - in.a;
                    if (cur > start) {
                        SetCharCapture(in.g, cur);
                    } else {
                        // Nothing taken: the group is back to what it was.
                        const TEntry* saved = &stack.back();
                        caps[2 * in.g + 1] = saved[0].p;
                        caps[2 * in.g] = saved[-1].p;
                    }
                }
                goto resumed;
            }
            case kBtLazy: {
                if (--steps < 0) OutOfSteps();
                const TInst& in = code[e.pc];
                if (e.p >= n || !MatchOne(code[e.pc + 1], s[e.p])) continue;
                p = e.p + 1;
                const std::int32_t count = e.q + 1;
                if (in.b < 0 || count < in.b) stack.push_back({kBtLazy, e.pc, p, count});
                if (in.g >= 0) SetCharCapture(in.g, p);
                pc = e.pc + 2;
                goto resumed;
            }
            }
        }
    resumed:;
    }
}

// ---------------------------------------------------------------------------

TRegex::TRegex() : flags_(kDefaultFlags), impl_(std::make_unique<TImpl>()) {
    std::fill(std::begin(caps_), std::end(caps_), -1);
}

TRegex::TRegex(std::string_view pattern, std::string_view modifiers) : TRegex() {
    SetExpression(pattern);
    ApplyModifiers(modifiers);
}

TRegex::~TRegex() = default;
TRegex::TRegex(TRegex&&) noexcept = default;
TRegex& TRegex::operator=(TRegex&&) noexcept = default;

void TRegex::SetExpression(std::string_view pattern) {
    if (!dirty_ && pattern == pattern_) return;
    pattern_.assign(pattern);
    dirty_ = true;
    haveSubject_ = false;
    lastMatched_ = false;
}

void TRegex::ApplyModifiers(std::string_view modifiers) {
    const unsigned flags = ApplyModifierString(modifiers, flags_);
    if (flags != flags_) {
        flags_ = flags;
        dirty_ = true;
    }
}

void TRegex::SetModifier(char letter, bool on) {
    const unsigned f = FlagOfLetter(letter);
    if (f == 0) throw TRegexError(TRegexError::kBadModifier, std::string("bad modifier letter \"") + letter + "\"");
    const unsigned flags = on ? flags_ | f : flags_ & ~f;
    if (flags != flags_) {
        flags_ = flags;
        dirty_ = true;
    }
}

bool TRegex::Modifier(char letter) const { return (flags_ & FlagOfLetter(letter)) != 0; }

void TRegex::Compile() {
    if (pattern_.empty()) throw TRegexError(TRegexError::kNoPattern, "no pattern set");
    CompileProgram(pattern_, flags_, impl_->prog);
    impl_->counters.assign(impl_->prog.counterCount, 0);
    impl_->iterStart.assign(impl_->prog.counterCount, 0);
    compiledCodePage_ = ProgramCodePage();
    static std::atomic<std::uint64_t> compilations{0};
    compilation_ = ++compilations;
    dirty_ = false;
}

void TRegex::EnsureCompiled() {
    if (dirty_ || compiledCodePage_ != ProgramCodePage()) {
        dirty_ = true;
        Compile();
    }
}

bool TRegex::MayMatch(const TTextBytes& subjectBytes) {
    EnsureCompiled();
    const TProgram& prog = impl_->prog;
    if (prog.required.empty() || !prog.fieldName.empty()) return true;
    if (!subjectBytes.Has(prog.requiredStarts[0]) && !subjectBytes.Has(prog.requiredStarts[1])) return false;
    // Runs folded after another code page than the pattern's tell nothing.
    if (subjectBytes.CodePage() != compiledCodePage_) return true;
    for (const std::uint16_t run : prog.requiredRuns)
        if (!subjectBytes.MayHaveRun(run)) return false;
    return true;
}

void TTextBytes::Assign(std::string_view text) {
    // The fold table of the code page in force, made again when it changes.
    thread_local int foldCodePage = 0;
    thread_local std::array<unsigned char, 256> fold{};
    if (foldCodePage != ProgramCodePage()) {
        fold = FoldTable();
        foldCodePage = ProgramCodePage();
    }
    codePage_ = foldCodePage;
    seen_.fill(false);
    runs_.fill(0);
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::uint32_t last = 0;  // the folded bytes before, one per 8 bits
    for (std::size_t i = 0; i < n; ++i) {
        seen_[s[i]] = true;
        last = ((last << 8) | fold[s[i]]) & 0xFFFFFF;
        if (i < 2) continue;
        const std::uint16_t run = RunHash(last >> 16, (last >> 8) & 0xFF, last & 0xFF);
        runs_[run >> 6] |= std::uint64_t{1} << (run & 63);
    }
}

void TLineStarts::Assign(std::string_view subject) {
    subject_ = subject;
    starts_.clear();
    starts_.push_back(0);
    const char* const begin = subject.data();
    const char* const end = begin + subject.size();
    const auto next = [end](const char* from, char c) {
        const void* hit = from < end ? std::memchr(from, c, static_cast<std::size_t>(end - from)) : nullptr;
        return hit ? static_cast<const char*>(hit) : end;
    };
    // Mostly every CR is that of a CR LF: the line starts are then those
    // after each LF, found in one pass over both bytes.
    const auto* bytes = reinterpret_cast<const unsigned char*>(begin);
    const auto n = static_cast<std::int32_t>(subject.size());
    bool loneCr = false;
    for (std::int32_t p = FindEither(bytes, 0, n, '\r', '\n'); p < n && !loneCr;
         p = FindEither(bytes, p + 1, n, '\r', '\n')) {
        if (bytes[p] == '\n')
            starts_.push_back(p + 1);
        else
            loneCr = p + 1 == n || bytes[p + 1] != '\n';
    }
    if (!loneCr) return;
    // A CR without its LF is rare in mail; only then are both line ends merged.
    starts_.resize(1);
    for (const char* at = begin; at < end;) {
        const char* lf = next(at, '\n');
        for (const char* cr = next(at, '\r'); cr < lf; cr = next(cr + 1, '\r'))
            if (cr + 1 == end || cr[1] != '\n') starts_.push_back(static_cast<std::int32_t>(cr + 1 - begin));
        if (lf == end) break;
        starts_.push_back(static_cast<std::int32_t>(lf + 1 - begin));
        at = lf + 1;
    }
}

bool THeaderFieldScan::Serves(TRegex& re, std::string_view subject) {
    re.EnsureCompiled();
    // Every line start costs a search at least one step and every byte at
    // most two: below this size no search of the pattern runs out of steps.
    return !re.impl_->prog.fieldName.empty() && static_cast<std::int64_t>(subject.size()) * 3 < re.StepBudget();
}

void THeaderFieldScan::Learn(const std::vector<TRegex*>& patterns) {
    patterns_ = patterns;
    compilations_.clear();
    byFirstByte_.fill(0);
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        compilations_.push_back(patterns[i]->compilation_);
        const TProgram& prog = patterns[i]->impl_->prog;
        for (int b = 0; b < 256; ++b)
            if (prog.first[b]) byFirstByte_[b] |= std::uint64_t{1} << i;
    }
}

void THeaderFieldScan::Collect(const TLineStarts& lines, const std::vector<TRegex*>& patterns,
                               const std::vector<std::string*>& texts) {
    if (patterns.size() > kMaxPatterns) throw std::length_error("too many header-field patterns for one scan");
    bool same = patterns == patterns_;
    for (std::size_t i = 0; same && i < patterns.size(); ++i) same = patterns[i]->compilation_ == compilations_[i];
    if (!same) Learn(patterns);
    const std::string_view subject = lines.Subject();
    const auto* s = reinterpret_cast<const unsigned char*>(subject.data());
    const auto n = static_cast<std::int32_t>(subject.size());
    // Where each pattern's next search would begin: after its last match.
    resume_.assign(patterns.size(), 0);
    for (const std::int32_t start : lines.Positions()) {
        if (start >= n) break;
        for (std::uint64_t todo = byFirstByte_[s[start]]; todo != 0; todo &= todo - 1) {
            const auto i = static_cast<std::size_t>(std::countr_zero(todo));
            if (start < resume_[i]) continue;
            const std::int32_t end = HeaderFieldEnd(patterns[i]->impl_->prog, s, n, start, nullptr);
            if (end < 0) continue;
            texts[i]->append(subject.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
            resume_[i] = end;
        }
    }
}

bool TRegex::Exec(std::string_view subject, const TLineStarts& lines) {
    const bool same = subject.data() == lines.Subject().data() && subject.size() == lines.Subject().size();
    return Start(subject, same ? &lines : nullptr);
}

bool TRegex::Exec(std::string_view subject) { return Start(subject, nullptr); }

bool TRegex::Start(std::string_view subject, const TLineStarts* lines) {
    lastMatched_ = false;
    haveSubject_ = false;
    lines_ = lines;
    std::fill(std::begin(caps_), std::end(caps_), -1);
    EnsureCompiled();
    if (subject.size() >= (1u << 30)) throw TRegexError(TRegexError::kInputTooLong, "subject too long");
    subject_ = subject;
    haveSubject_ = true;
    return Search(0);
}

bool TRegex::ExecNext() {
    if (!haveSubject_ || !lastMatched_) throw TRegexError(TRegexError::kNoInput, "no previous match to continue from");
    std::size_t from = static_cast<std::size_t>(caps_[1]);
    if (caps_[1] == caps_[0]) ++from;
    lastMatched_ = false;
    EnsureCompiled();
    if (from > subject_.size()) {
        std::fill(std::begin(caps_), std::end(caps_), -1);
        return false;
    }
    return Search(from);
}

bool TRegex::Search(std::size_t from) {
    TImpl& m = *impl_;
    const TProgram& prog = m.prog;
    if (prog.loopDepth > 10)
        throw TRegexError(TRegexError::kLoopsTooDeep, "counted repetitions nested more than 10 deep");
    m.s = reinterpret_cast<const unsigned char*>(subject_.data());
    m.n = static_cast<std::int32_t>(subject_.size());
    m.steps = stepBudget_;
    m.caps = caps_;
    const std::int32_t n = m.n;
    const unsigned char* s = m.s;
    std::int32_t p = static_cast<std::int32_t>(from);
    bool found = false;

    auto finish = [&](bool ok) {
        lastSteps_ = stepBudget_ - m.steps;
        lastMatched_ = ok;
        if (!ok) std::fill(std::begin(caps_), std::end(caps_), -1);
        return ok;
    };
    // A start position is only worth a run when its byte can begin a match.
    auto worth = [&](std::int32_t at) {
        return prog.canBeEmpty || (at < n && prog.first[s[at]]);
    };

    try {
        if (!prog.required.empty() && prog.fieldName.empty() && !m.Holds(prog.required, prog.requiredFolded, p)) {
            m.Charge((n - p) / 16);
            return finish(false);
        }
        if (prog.anchored) {
            found = p == 0 && worth(0) && m.Run(0);
        } else if (prog.lineAnchored && lines_) {
            const std::vector<std::int32_t>& starts = lines_->Positions();
            std::int32_t last = p;
            for (auto at = std::lower_bound(starts.begin(), starts.end(), p); at != starts.end(); ++at) {
                m.Charge(1 + (*at - last) / 16);
                last = *at;
                if (worth(*at) && (prog.fieldName.empty() ? m.Run(*at) : m.RunHeaderField(*at))) {
                    found = true;
                    break;
                }
            }
        } else if (prog.lineAnchored) {
            // Line starts only: after LF, or after a CR that no LF follows.
            std::int32_t nextCr = -1;
            auto findCr = [&](std::int32_t at) {
                const void* hit = at < n ? std::memchr(s + at, '\r', n - at) : nullptr;
                return hit ? static_cast<std::int32_t>(static_cast<const unsigned char*>(hit) - s) : n;
            };
            while (p <= n) {
                if (m.IsLineStart(p) && worth(p) && (prog.fieldName.empty() ? m.Run(p) : m.RunHeaderField(p))) {
                    found = true;
                    break;
                }
                if (p >= n) break;
                const void* lf = std::memchr(s + p, '\n', n - p);
                std::int32_t next = lf ? static_cast<std::int32_t>(static_cast<const unsigned char*>(lf) - s) + 1 : n + 1;
                if (nextCr < p) nextCr = findCr(p);
                while (nextCr + 1 < next) {
                    if (nextCr + 1 < n && s[nextCr + 1] == '\n') {
                        nextCr = findCr(nextCr + 1);
                        continue;
                    }
                    next = nextCr + 1;  // a lone CR
                    break;
                }
                if (next > n) {
                    if (n - p > 0) m.Charge((n - p) / 16);
                    break;
                }
                m.Charge(1 + (next - p) / 16);
                p = next;
            }
        } else if (!prog.prefix.empty()) {
            const std::string& lit = prog.prefix;
            while (p + static_cast<std::int32_t>(lit.size()) <= n) {
                const void* hit = memmem(s + p, n - p, lit.data(), lit.size());
                if (!hit) break;
                const std::int32_t at = static_cast<std::int32_t>(static_cast<const unsigned char*>(hit) - s);
                m.Charge(1 + (at - p) / 16);
                if (m.Run(at)) {
                    found = true;
                    break;
                }
                p = at + 1;
            }
        } else if (!prog.canBeEmpty && prog.firstCount <= 2) {
            // The next place of each starting byte, found with memchr and kept
            // until passed, so the subject is read about once per byte.
            const auto nextOf = [&](unsigned char b, std::int32_t at) {
                const void* hit = at < n ? std::memchr(s + at, b, n - at) : nullptr;
                return hit ? static_cast<std::int32_t>(static_cast<const unsigned char*>(hit) - s) : n;
            };
            const unsigned char b0 = prog.firstBytes[0], b1 = prog.firstBytes[1];
            std::int32_t next0 = nextOf(b0, p), next1 = b1 == b0 ? n : nextOf(b1, p);
            while (true) {
                const std::int32_t at = std::min(next0, next1);
                if (at >= n) break;
                if (m.Run(at)) {
                    found = true;
                    p = at;
                    break;
                }
                if (next0 == at) next0 = nextOf(b0, at + 1);
                if (next1 == at) next1 = nextOf(b1, at + 1);
            }
            // Charged as the byte-by-byte scan below charges.
            if (!found) p = n;
            m.Charge((n - p) / 16);
        } else if (!prog.canBeEmpty) {
            for (; p < n; ++p) {
                if (!prog.first[s[p]]) continue;
                if (m.Run(p)) {
                    found = true;
                    break;
                }
            }
            m.Charge((n - p) / 16);
        } else {
            for (; p <= n; ++p)
                if (m.Run(p)) {
                    found = true;
                    break;
                }
        }
    } catch (const TRegexError&) {
        finish(false);
        throw;
    }
    return finish(found);
}

std::string_view TRegex::MatchView(int n) const {
    if (n < 0 || n > kMaxGroups || !haveSubject_ || !lastMatched_) return {};
    const int from = caps_[2 * n], to = caps_[2 * n + 1];
    if (from < 0 || to < from) return {};
    return subject_.substr(from, to - from);
}

std::string TRegex::Match(int n) const { return std::string(MatchView(n)); }

int TRegex::MatchPos(int n) const {
    if (n < 0 || n > kMaxGroups || !haveSubject_ || !lastMatched_) return -1;
    const int from = caps_[2 * n], to = caps_[2 * n + 1];
    return from >= 0 && to >= from ? from : -1;
}

int TRegex::MatchLen(int n) const {
    return MatchPos(n) < 0 ? 0 : caps_[2 * n + 1] - caps_[2 * n];
}

std::string EscapeRegexMeta(std::string_view text) {
    static constexpr std::string_view kMeta = "^$.[()|?+*\\{]}";
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (const char c : text) {
        if (kMeta.find(c) != std::string_view::npos) out.push_back('\\');
        out.push_back(c);
    }
    return out;
}
