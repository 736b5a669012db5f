// Time per header of FilterEngine.Evaluate over realistic headers against a
// filter set of 50 expressions, with the engine's caches and, in the same run,
// the plain way: a fresh pattern object for every search and every field cut
// out of the header again for each expression that names it.
//
// Usage: bench_filters [headers] [cached passes]

#include "base/UserInterface.h"
#include "filtering/FilterEngine.h"
#include "filtering/dmfilters.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

// Counts allocations, to show that an evaluation that catches nothing makes none.
std::atomic<long> gAllocations{0};
void* operator new(std::size_t size) {
    ++gAllocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

class TRandom {
public:
    explicit TRandom(unsigned long long seed) : state_(seed) {}
    unsigned Next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<unsigned>(state_ >> 33);
    }
    unsigned Below(unsigned n) { return Next() % n; }
    template <class T, size_t N>
    const T& Pick(const T (&items)[N]) { return items[Below(N)]; }

private:
    unsigned long long state_;
};

const char* const kWords[] = {"meeting", "report", "invoice", "update", "project", "weekly", "notes", "draft",
                              "budget", "schedule", "review", "question", "photos", "holiday", "release", "agenda"};
const char* const kHosts[] = {"mx1.mail.example.org", "relay.example.net", "smtp.provider.example",
                              "mail-ed1-f41.google.example", "out.mailer.example.com", "gw.office.example.de"};
const char* const kNames[] = {"Ann Lee", "Bob Stone", "Carla Diaz", "Dmitri Ivanov", "Eva Novak", "Frank Moore"};
const char* const kDomains[] = {"example.org", "example.net", "mail.example.com", "corp.example", "uni.example.edu"};

std::string Address(TRandom& r) {
    std::string name = r.Pick(kNames);
    for (char& c : name) c = c == ' ' ? '.' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name + "@" + r.Pick(kDomains);
}

std::string Ip(TRandom& r) {
    return std::to_string(r.Below(223) + 1) + "." + std::to_string(r.Below(256)) + "." + std::to_string(r.Below(256)) +
           "." + std::to_string(r.Below(256));
}

std::string Base64ish(TRandom& r, size_t n) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string s;
    for (size_t i = 0; i < n; ++i) s += alphabet[r.Below(64)];
    return s;
}

// A header of about 1 to 4 KB: several folded Received lines, the usual
// fields, some with continuation lines, a folded signature.
std::string MakeHeader(TRandom& r, bool spammy) {
    std::string h;
    const unsigned received = 3 + r.Below(8);
    for (unsigned i = 0; i < received; ++i)
        h += "Received: from " + std::string(r.Pick(kHosts)) + " (" + std::string(r.Pick(kHosts)) + " [" + Ip(r) +
             "])\r\n\tby " + r.Pick(kHosts) + " with ESMTPS id " + Base64ish(r, 12) +
             "\r\n\tfor <" + Address(r) + ">; Tue, 8 Dec 2026 10:" + std::to_string(10 + r.Below(50)) +
             ":00 +0100\r\n";
    h += "Return-Path: <" + Address(r) + ">\r\n";
    h += "Authentication-Results: " + std::string(r.Pick(kHosts)) + ";\r\n\tspf=pass smtp.mailfrom=" +
         r.Pick(kDomains) + ";\r\n\tdkim=pass header.d=" + r.Pick(kDomains) + "; dmarc=pass\r\n";
    if (r.Below(3) == 0) {
        h += "DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed; d=" + std::string(r.Pick(kDomains)) +
             "; s=selector1;\r\n\th=from:to:subject:date:message-id; bh=" + Base64ish(r, 44) + ";\r\n\tb=";
        for (int i = 0; i < 4; ++i) h += Base64ish(r, 70) + "\r\n\t ";
        h += Base64ish(r, 20) + "\r\n";
    }
    h += "From: \"" + std::string(r.Pick(kNames)) + "\" <" + Address(r) + ">\r\n";
    h += "To: " + std::string(r.Pick(kNames)) + " <" + Address(r) + ">";
    if (r.Below(2)) h += ",\r\n " + std::string(r.Pick(kNames)) + " <" + Address(r) + ">";
    h += "\r\n";
    if (r.Below(3) == 0) h += "Cc: " + Address(r) + ", " + Address(r) + "\r\n";
    std::string subject = std::string(r.Pick(kWords)) + " " + r.Pick(kWords) + " " + std::to_string(r.Below(1000));
    if (spammy) subject = r.Below(2) ? "WIN AT THE CASINO TODAY" : "Cheap pills, order now";
    h += "Subject: " + subject;
    if (r.Below(4) == 0) h += "\r\n " + std::string(r.Pick(kWords)) + " and " + r.Pick(kWords);
    h += "\r\n";
    h += "Date: Tue, 8 Dec 2026 10:" + std::to_string(10 + r.Below(50)) + ":00 +0100\r\n";
    h += "Message-ID: <" + Base64ish(r, 24) + "@" + r.Pick(kDomains) + ">\r\n";
    if (r.Below(2)) h += "Reply-To: " + Address(r) + "\r\n";
    h += "MIME-Version: 1.0\r\n";
    h += "Content-Type: multipart/alternative;\r\n\tboundary=\"" + Base64ish(r, 30) + "\"\r\n";
    h += "X-Mailer: Example Mail " + std::to_string(r.Below(20)) + "." + std::to_string(r.Below(10)) + "\r\n";
    if (r.Below(2)) h += "List-Unsubscribe: <mailto:leave-" + Base64ish(r, 16) + "@" + r.Pick(kDomains) + ">\r\n";
    if (r.Below(2)) h += "X-Spam-Status: No, score=-" + std::to_string(r.Below(5)) + ".1 required=5.0\r\n";
    return h;
}

struct TExprDef {
    const char* fields;
    int rule;
    const char* content;
    bool caseMatch;
};

// 50 expressions in 10 categories over the built-in rules and fields; only
// the few spam-like headers are caught.
const TExprDef kFilterSet[10][5] = {
    {{"3", 1, "viagra", true}, {"3", 1, "lottery", true}, {"1", 1, "@spam.example", true},
     {"4", 1, "evil.example", true}, {"3", 2, "winner", true}},
    {{"1,9", 1, "promo@", true}, {"10", 1, "bounce@bulk.example", true}, {"3", 4, "Hello", false},
     {"2", 1, "undisclosed-recipients", true}, {"5", 1, "list@bulk.example", true}},
    {{"3", 5, "Re: Re: Re:", false}, {"3", 7, "!!!", false}, {"8", 1, "@bulk.example", true},
     {"4", 2, "dynamic", true}, {"11", 1, "spam.example", true}},
    {{"1", 3, "@", false}, {"8", 10, "", false}, {"3", 1, "casino", true}, {"12", 1, "abuse@", true},
     {"7", 1, "errors@", true}},
    {{"3", 11, "", false}, {"1,2,5", 1, "0day", true}, {"4", 1, "[10.66.", true}, {"6", 1, "generated", true},
     {"8", 8, ">", false}},
    {{"3", 1, "pills", false}, {"9", 1, "noreply@spam", true}, {"1", 2, "deals", true}, {"4", 1, "botnet", true},
     {"13", 1, "discard", true}},
    {{"8", 6, "<", false}, {"2,5", 1, "everyone@", true}, {"3", 1, "free money", true},
     {"10", 3, "@", false}, {"1", 5, "marketing", false}},
    {{"4", 1, "unknown [", true}, {"3", 1, "unsubscribe", true}, {"1", 1, "mailer-daemon@bulk", true},
     {"8", 4, "none", false}, {"3", 2, "prize", true}},
    {{"2", 7, ".ru", false}, {"1", 7, ".biz>", false}, {"3", 1, "urgent reply", true}, {"4", 1, "cable.example", true},
     {"1", 10, "", false}},
    {{"3", 1, "investment", true}, {"1", 1, "bitcoin", true}, {"9", 2, "offers", true}, {"4", 5, "spamhost", true},
     {"3", 1, "weight loss", true}},
};

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
    const int headerCount = argc > 1 ? std::atoi(argv[1]) : 600;
    const int passes = argc > 2 ? std::atoi(argv[2]) : 20;

    // A home of its own, in memory where there is such a folder (the hit
    // counts are saved at once, as in the program).
    const std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path().string();
    std::string templ = base + "/tarnwick-bench-XXXXXX";
    if (!mkdtemp(templ.data())) return 1;
    setenv("TARNWICK_HOME", templ.c_str(), 1);
    std::filesystem::current_path(templ);

    int caught = 0, mismatches = 0;
    long allocations = 0;
    size_t smallest = 0, largest = 0;
    double cached = 0, plain = 0;
    size_t bytes = 0;
    {
        TSilentUserInterface ui;
        TUserInterfaceScope scope(ui);
        TFilterDM dm;
        TFilter& engine = dm.Engine();
        for (int c = 0; c < 10; ++c) {
            dm.cdsFilterCategory.Append();
            dm.cdsFilterCategory.SetValue("NameCategory", "Category " + std::to_string(c + 1));
            dm.cdsFilterCategory.SetValue("idAction", std::int64_t{1 + c % 4});
            dm.cdsFilterCategory.Post();
            for (const TExprDef& e : kFilterSet[c]) {
                dm.cdsExpr.Append();
                dm.cdsExpr.SetValue("Fields", std::string(e.fields));
                dm.cdsExpr.SetValue("idRule", std::int64_t{e.rule});
                dm.cdsExpr.SetValue("Content", std::string(e.content));
                dm.cdsExpr.SetValue("CaseMatch", e.caseMatch);
                dm.cdsExpr.Post();
            }
        }
        engine.CacheStale = true;

        TRandom random(20261210);
        std::vector<std::string> headers;
        for (int i = 0; i < headerCount; ++i) headers.push_back(MakeHeader(random, i % 25 == 7));
        for (const auto& h : headers) bytes += h.size();
        smallest = std::min_element(headers.begin(), headers.end(), [](auto& a, auto& b) { return a.size() < b.size(); })->size();
        largest = std::max_element(headers.begin(), headers.end(), [](auto& a, auto& b) { return a.size() < b.size(); })->size();

        std::vector<int> expected;
        engine.SetCaching(false);
        auto start = std::chrono::steady_clock::now();
        for (const auto& h : headers) expected.push_back(engine.Evaluate(h));
        plain = Seconds(std::chrono::steady_clock::now() - start) / headers.size();

        engine.SetCaching(true);
        for (size_t i = 0; i < headers.size(); ++i) mismatches += engine.Evaluate(headers[i]) != expected[i];
        start = std::chrono::steady_clock::now();
        for (int p = 0; p < passes; ++p)
            for (const auto& h : headers) caught += engine.Evaluate(h) >= 1;
        cached = Seconds(std::chrono::steady_clock::now() - start) / (double(headers.size()) * passes);
        caught /= passes;

        int uncaught = 0;
        const long before = gAllocations;
        for (size_t i = 0; i < headers.size(); ++i)
            if (expected[i] < 1) {
                engine.Evaluate(headers[i]);
                ++uncaught;
            }
        allocations = (gAllocations - before) / std::max(uncaught, 1);
    }
    std::filesystem::current_path("/");
    std::filesystem::remove_all(templ);

    std::printf("headers: %d, %zu to %zu bytes (average %zu), 50 expressions in 10 categories, caught: %d\n",
                headerCount, smallest, largest, bytes / static_cast<size_t>(headerCount), caught);
    std::printf("cached evaluation:            %8.1f us per header (%d passes)\n", cached * 1e6, passes);
    std::printf("fresh patterns, fields cut out per expression: %8.1f us per header\n", plain * 1e6);
    std::printf("speed-up: %.1fx; results differ on %d headers\n", plain / cached, mismatches);
    std::printf("allocations per cached evaluation that catches nothing: %ld\n", allocations);
    return mismatches == 0 ? 0 : 2;
}
