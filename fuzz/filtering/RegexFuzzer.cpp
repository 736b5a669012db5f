// Pattern, subject and modifiers from the fuzzer: no crash, no hang beyond the
// step budget, and every reported group inside the subject.
//
// Input: one byte of modifier switches (bits i r s g m x), then the pattern up
// to the first zero byte, then the subject.

#include "filtering/Regex.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const unsigned switches = data[0];
    const char* rest = reinterpret_cast<const char*>(data + 1);
    const std::size_t restSize = size - 1;
    const void* zero = std::memchr(rest, 0, restSize);
    const std::size_t patternSize = zero ? static_cast<const char*>(zero) - rest : restSize;
    const std::string pattern(rest, patternSize);
    const std::string subject = zero ? std::string(rest + patternSize + 1, restSize - patternSize - 1) : std::string();

    TRegex re;
    re.SetExpression(pattern);
    static const char letters[] = "irsgmx";
    for (int k = 0; k < 6; ++k) re.SetModifier(letters[k], (switches >> k) & 1);
    re.SetStepBudget(1'000'000);
    try {
        if (!re.Exec(subject)) return 0;
        int last = -1;
        do {
            for (int g = 0; g <= TRegex::kMaxGroups + 1; ++g) {
                const int pos = re.MatchPos(g), len = re.MatchLen(g);
                if (pos < 0) {
                    if (len != 0 || !re.Match(g).empty()) std::abort();
                    continue;
                }
                if (len < 0 || static_cast<std::size_t>(pos) + len > subject.size()) std::abort();
                if (re.Match(g) != subject.substr(pos, len)) std::abort();
            }
            // Searches move forward.
            if (re.MatchPos(0) < last) std::abort();
            last = re.MatchPos(0) + re.MatchLen(0) + (re.MatchLen(0) == 0 ? 1 : 0);
        } while (re.ExecNext());
    } catch (const TRegexError& e) {
        if (e.Code() <= 0) std::abort();
    }
    return 0;
}
