// Time per header of the filter's pattern work, for our engine, PCRE2's
// interpreter (no JIT) and std::regex, over a corpus of generated headers of
// 1 to 4 KB with several Received lines and folded lines.
//
//   bench_regex [--benchmark_min_time=...]
//
// Field work: every built-in field pattern ("^From:(.*)(\r\n\s+(.*))*" ...,
// modifiers "mgi-r-s") run over the whole header, all matches collected.
// Content work: the rule templates with typical content over the field texts.

#include "filtering/Regex.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace {

const char* const kFieldPatterns[] = {
    "^From:(.*)(\r\n\\s+(.*))*",       "^To: (.*)(\r\n\\s+(.*))*",       "^Subject:(.*)(\r\n\\s+(.*))*",
    "^Received: (.*)(\r\n\\s+(.*))*",  "^Cc: (.*)(\r\n\\s+(.*))*",       "^Comment:(.*)(\r\n\\s+(.*))*",
    "^Errors-To:(.*)(\r\n\\s+(.*))*",  "^Message-ID:(.*)(\r\n\\s+(.*))*", "^Reply-To:(.*)(\r\n\\s+(.*))*",
    "^Return-Path:(.*)(\r\n\\s+(.*))*", "^Sender:(.*)(\r\n\\s+(.*))*",     "^X-Complain-To: (.*)(\r\n\\s+(.*))*",
    "^ X-Sieve:(.*)(\r\n\\s+(.*))*",
};

struct TContent {
    const char* pattern;
    const char* modifiers;  // ours; the others get m and, with "mgi", i
};
const TContent kContentPatterns[] = {
    {"viagra", "mgi-r-s"},                          // "Contains"
    {"\\Wcasino\\W", "mg-i-r-s"},                   // "Contains word"
    {"^(.)*:(\\s)*Hello(\\s)*\\Z", "mg-i-r-s"},     // "Equals"
    {"\\Wfree", "mg-i-r-s"},                        // "Start with"
    {"relay\\.example\\.net(\\W|$|\\s)", "mg-i-r-s"},  // "End with"
};

struct TCorpus {
    std::vector<std::string> headers;
    std::vector<std::vector<std::string>> fieldTexts;  // per header: From, Subject, Received
};

std::string Pick(std::mt19937& rng, const std::vector<std::string>& v) {
    return v[std::uniform_int_distribution<std::size_t>(0, v.size() - 1)(rng)];
}

std::string Header(std::mt19937& rng, int index) {
    auto num = [&](int lo, int hi) { return std::to_string(std::uniform_int_distribution<int>(lo, hi)(rng)); };
    const std::vector<std::string> hosts = {"mail-ed1-f54.example.net", "relay.example.net", "smtp12.mx.example.org",
                                            "out-7.mailer.example.com", "mx1.local"};
    const std::vector<std::string> subjects = {"Hello", "Your invoice " + num(1000, 9999), "free casino bonus today",
                                               "Re: meeting on Tuesday", "cheap viagra online",
                                               "Weekly newsletter: what changed in the last seven days of the project and why"};
    std::string h = "Return-Path: <bounce-" + num(1, 99999) + "@" + Pick(rng, hosts) + ">\r\n";
    const int received = std::uniform_int_distribution<int>(3, 8)(rng);
    for (int k = 0; k < received; ++k)
        h += "Received: from " + Pick(rng, hosts) + " (" + Pick(rng, hosts) + " [10." + num(0, 255) + "." +
             num(0, 255) + "." + num(0, 255) + "])\r\n\tby mx.example.org (Postfix) with ESMTPS id " + num(100000, 999999) +
             "\r\n\tfor <me@example.org>; Tue, " + num(1, 28) + " Jun 2024 " + num(10, 23) + ":" + num(10, 59) +
             ":" + num(10, 59) + " +0200\r\n";
    if (index % 3 == 0)
        h += "DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed; d=example.net; s=20230601;\r\n"
             "\th=from:to:subject:date:message-id:mime-version;\r\n"
             "\tbh=47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=;\r\n"
             "\tb=dGhpcyBpcyBub3QgYSByZWFsIHNpZ25hdHVyZSBidXQgaXQgaXMgYXMgbG9uZyBhcyBvbmUgd291bGQgYmUgaW4gcmVhbCBt\r\n"
             "\t YWlsIGhlYWRlcnMgdGhhdCBjb21lIGZyb20gbGFyZ2UgcHJvdmlkZXJzIGFuZCBzbyBvbiBhbmQgc28gZm9ydGggYW5kIG1vcmU=\r\n";
    h += "Message-ID: <" + num(100000, 999999) + "." + num(1000, 9999) + "@" + Pick(rng, hosts) + ">\r\n";
    h += "Date: Tue, " + num(1, 28) + " Jun 2024 10:00:00 +0200\r\n";
    h += "From: \"Sender " + num(1, 500) + "\" <sender" + num(1, 500) + "@" + Pick(rng, hosts) + ">\r\n";
    h += "To: Me <me@example.org>\r\n";
    if (index % 4 == 0) h += "Cc: someone@example.com,\r\n other@example.com\r\n";
    std::string subject = Pick(rng, subjects);
    if (index % 5 == 0) subject += "\r\n and a folded second line";
    h += "Subject: " + subject + "\r\n";
    h += "MIME-Version: 1.0\r\nContent-Type: multipart/alternative;\r\n\tboundary=\"----=_Part_" + num(1000, 99999) +
         "\"\r\n";
    h += "X-Mailer: Example Mailer 6.0\r\n";
    h += "X-Spam-Status: No, score=-0.1 required=5.0 tests=DKIM_SIGNED,DKIM_VALID,\r\n\tRCVD_IN_DNSWL_NONE,"
         "SPF_PASS autolearn=ham version=3.4.6\r\n";
    if (index % 7 == 0) h += "Reply-To: <offers@example.com>\r\nErrors-To: <errors@example.com>\r\n";
    h += "List-Unsubscribe: <mailto:unsubscribe-" + num(1, 99999) + "@example.net>\r\n";
    return h;
}

const TCorpus& Corpus() {
    static const TCorpus corpus = [] {
        TCorpus c;
        std::mt19937 rng(7);
        for (int k = 0; k < 600; ++k) {
            std::string h = Header(rng, k);
            c.headers.push_back(std::move(h));
        }
        // Field texts as the filter makes them: all matches, CR LF removed.
        for (const std::string& h : c.headers) {
            std::vector<std::string> texts;
            for (int f : {0, 2, 3}) {
                TRegex re(kFieldPatterns[f], "mgi-r-s");
                std::string text;
                if (re.Exec(h))
                    do text += re.Match(0);
                    while (re.ExecNext());
                std::string flat;
                for (char ch : text)
                    if (ch != '\r' && ch != '\n') flat += ch;
                texts.push_back(flat);
            }
            c.fieldTexts.push_back(std::move(texts));
        }
        return c;
    }();
    return corpus;
}

// ---- the three engines, each collecting all matches like the filter does ----

struct TOurs {
    std::vector<TRegex> fields, contents;
    TOurs() {
        for (const char* p : kFieldPatterns) fields.emplace_back(p, "mgi-r-s");
        for (const TContent& c : kContentPatterns) contents.emplace_back(c.pattern, c.modifiers);
    }
    static std::size_t Collect(TRegex& re, const std::string& s) {
        std::size_t total = 0;
        if (re.Exec(s))
            do total += re.MatchLen(0) + 1;
            while (re.ExecNext());
        return total;
    }
};

struct TPcre {
    std::vector<pcre2_code*> fields, contents;
    pcre2_match_data* md;
    static pcre2_code* Make(std::string pattern, bool caseless) {
        for (std::size_t at; (at = pattern.find("\\Z")) != std::string::npos;) pattern.replace(at, 2, "\\z");
        pcre2_compile_context* cc = pcre2_compile_context_create(nullptr);
        pcre2_set_newline(cc, PCRE2_NEWLINE_ANYCRLF);
        int err;
        PCRE2_SIZE off;
        pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.c_str()), pattern.size(),
                                         PCRE2_MULTILINE | PCRE2_DOLLAR_ENDONLY | (caseless ? PCRE2_CASELESS : 0),
                                         &err, &off, cc);
        pcre2_compile_context_free(cc);
        return code;
    }
    TPcre() {
        for (const char* p : kFieldPatterns) fields.push_back(Make(p, true));
        for (const TContent& c : kContentPatterns) contents.push_back(Make(c.pattern, c.modifiers[2] == 'i'));
        md = pcre2_match_data_create(16, nullptr);
    }
    ~TPcre() {
        for (auto* c : fields) pcre2_code_free(c);
        for (auto* c : contents) pcre2_code_free(c);
        pcre2_match_data_free(md);
    }
    std::size_t Collect(pcre2_code* code, const std::string& s) {
        std::size_t total = 0;
        PCRE2_SIZE offset = 0;
        while (offset <= s.size()) {
            const int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(s.data()), s.size(), offset, 0, md, nullptr);
            if (rc < 0) break;
            const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
            total += ov[1] - ov[0] + 1;
            offset = ov[1] == ov[0] ? ov[1] + 1 : ov[1];
        }
        return total;
    }
};

struct TStd {
    std::vector<std::regex> fields, contents;
    static std::regex Make(std::string pattern, bool caseless) {
        for (std::size_t at; (at = pattern.find("\\Z")) != std::string::npos;) pattern.replace(at, 2, "$");
        auto flags = std::regex::ECMAScript | std::regex::multiline;
        if (caseless) flags |= std::regex::icase;
        return std::regex(pattern, flags);
    }
    TStd() {
        for (const char* p : kFieldPatterns) fields.push_back(Make(p, true));
        for (const TContent& c : kContentPatterns) contents.push_back(Make(c.pattern, c.modifiers[2] == 'i'));
    }
    static std::size_t Collect(const std::regex& re, const std::string& s) {
        std::size_t total = 0;
        for (auto it = std::sregex_iterator(s.begin(), s.end(), re); it != std::sregex_iterator(); ++it)
            total += it->length(0) + 1;
        return total;
    }
};

template <typename Engine, typename Run>
void Loop(benchmark::State& state, Run run) {
    const TCorpus& corpus = Corpus();
    Engine engine;
    std::size_t total = 0;
    for (auto _ : state) {
        for (std::size_t h = 0; h < corpus.headers.size(); ++h) total += run(engine, corpus, h);
    }
    benchmark::DoNotOptimize(total);
    state.counters["matched"] = static_cast<double>(total) / static_cast<double>(state.iterations());
}

void BM_Fields_Ours(benchmark::State& state) {
    Loop<TOurs>(state, [](TOurs& e, const TCorpus& c, std::size_t h) {
        std::size_t t = 0;
        for (TRegex& re : e.fields) t += TOurs::Collect(re, c.headers[h]);
        return t;
    });
}
void BM_Fields_Pcre2(benchmark::State& state) {
    Loop<TPcre>(state, [](TPcre& e, const TCorpus& c, std::size_t h) {
        std::size_t t = 0;
        for (pcre2_code* re : e.fields) t += e.Collect(re, c.headers[h]);
        return t;
    });
}
void BM_Fields_StdRegex(benchmark::State& state) {
    Loop<TStd>(state, [](TStd& e, const TCorpus& c, std::size_t h) {
        std::size_t t = 0;
        for (const std::regex& re : e.fields) t += TStd::Collect(re, c.headers[h]);
        return t;
    });
}
void BM_Content_Ours(benchmark::State& state) {
    Loop<TOurs>(state, [](TOurs& e, const TCorpus& c, std::size_t h) {
        std::size_t t = 0;
        for (const std::string& text : c.fieldTexts[h])
            for (TRegex& re : e.contents) t += TOurs::Collect(re, text);
        return t;
    });
}
void BM_Content_Pcre2(benchmark::State& state) {
    Loop<TPcre>(state, [](TPcre& e, const TCorpus& c, std::size_t h) {
        std::size_t t = 0;
        for (const std::string& text : c.fieldTexts[h])
            for (pcre2_code* re : e.contents) t += e.Collect(re, text);
        return t;
    });
}
void BM_Content_StdRegex(benchmark::State& state) {
    Loop<TStd>(state, [](TStd& e, const TCorpus& c, std::size_t h) {
        std::size_t t = 0;
        for (const std::string& text : c.fieldTexts[h])
            for (const std::regex& re : e.contents) t += TStd::Collect(re, text);
        return t;
    });
}

BENCHMARK(BM_Fields_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fields_Pcre2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fields_StdRegex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Content_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Content_Pcre2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Content_StdRegex)->Unit(benchmark::kMillisecond);

// Keeps each run's time per header so that the ratios can be printed at the end.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            // Milliseconds per pass over the corpus -> microseconds per header.
            perHeader[r.benchmark_name()] = r.GetAdjustedRealTime() * 1000.0 / static_cast<double>(Corpus().headers.size());
            const auto m = r.counters.find("matched");
            if (m != r.counters.end()) matched[r.benchmark_name()] = m->second;
        }
    }
    std::map<std::string, double> perHeader, matched;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::size_t bytes = 0;
    for (const std::string& h : Corpus().headers) bytes += h.size();
    std::printf("corpus: %zu headers, %zu bytes on average\n", Corpus().headers.size(), bytes / Corpus().headers.size());
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* work : {"Fields", "Content"}) {
        const std::string ours = std::string("BM_") + work + "_Ours", pcre = std::string("BM_") + work + "_Pcre2",
                          stdre = std::string("BM_") + work + "_StdRegex";
        if (!reporter.perHeader.count(ours) || !reporter.perHeader.count(pcre)) continue;
        const double o = reporter.perHeader[ours], p = reporter.perHeader[pcre], s = reporter.perHeader[stdre];
        std::printf("%-8s per header: ours %.2f us, PCRE2 interpreter %.2f us, std::regex %.2f us; "
                    "ours/PCRE2 %.2f, std::regex/ours %.1f%s\n",
                    work, o, p, s, o / p, s > 0 ? s / o : 0.0,
                    reporter.matched[ours] == reporter.matched[pcre] ? "" : "  (MATCHES DIFFER from PCRE2)");
    }
    benchmark::Shutdown();
    return 0;
}
