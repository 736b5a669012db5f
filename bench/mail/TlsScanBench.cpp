// The header scan of one 2,000-message mailbox over plain POP3 and POP3S,
// plain IMAP and IMAPS, in turn, in one run (Login, Stat, List, unique ids,
// every header announced and fetched, Logout, as Receive Mail does); prints
// the time of each and what TLS costs against the plain scan. The budget:
// TLS at most 1.3 times the plain scan. Each round scans plain and TLS back to
// back, in alternating order, so that a busy machine weighs on both alike;
// the ratio is the median of the rounds' ratios.
//
// Run it through tests/servers/with-mailservers.sh, which starts and stops the servers.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "mail/Mailbox.h"
#include "servers/MailServers.h"

namespace {

constexpr int MessageCount = 2000;
constexpr int Rounds = 15;
constexpr double Budget = 1.3;

std::string Message(int i) {
    const std::string n = std::to_string(i);
    return "Return-Path: <sender" + n + "@example.test>\r\n"
           "Received: from mx" + n + ".example.test (mx" + n + ".example.test [192.0.2.1])\r\n"
           "\tby mail.example.test with ESMTP id A" + n + "\r\n"
           "\tfor <me@example.test>; Mon, 2 Jun 2025 10:00:00 +0200\r\n"
           "From: \"Sender " + n + "\" <sender" + n + "@example.test>\r\n"
           "To: me@example.test\r\n"
           "Subject: Benchmark message number " + n + "\r\n"
           "Date: Mon, 2 Jun 2025 10:00:00 +0200\r\n"
           "Message-ID: <" + n + ".bench@example.test>\r\n"
           "MIME-Version: 1.0\r\n"
           "Content-Type: text/plain; charset=us-ascii\r\n"
           "\r\n"
           "Body of message " + n + ".\r\nSecond line.\r\n";
}

struct TMode {
    const char* name;
    std::string proto, host, port;
    TSecurity security;
    std::vector<double> seconds = {}, cpu = {};
};

// Processor time of this program (the client), user and system.
double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// One scan; the number of headers fetched, or -1 when the sign-in failed.
long long Scan(const TMode& mode, const TTestMailbox& box, double& seconds) {
    const auto start = std::chrono::steady_clock::now();
    auto mailbox = CreateMailbox(mode.proto);
    mailbox->Host = mode.host;
    mailbox->Port = mode.port;
    mailbox->AuthType = AuthUserPass;
    mailbox->Timeout = 100000;
    mailbox->Username = box.User();
    mailbox->Password = box.Password();
    mailbox->Tls.Security = mode.security;
    long long fetched = -1;
    if (mailbox->Login() && mailbox->Stat()) {
        fetched = 0;
        const int count = static_cast<int>(mailbox->StatCount);
        mailbox->List(0);
        mailbox->LoadUniqueIds();
        mailbox->PrefetchHeaders(1, count);
        for (int i = 1; i <= count; ++i)
            if (mailbox->Top(i, 0) && !mailbox->FullResult.empty()) ++fetched;
        mailbox->Logout();
    }
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return fetched;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main() {
    std::string why;
    const TMailServerInfo* servers = MailServers(&why);
    if (!servers) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    TTestMailbox box;
    for (int i = 1; i <= MessageCount; ++i) box.Add(Message(i));
    std::vector<TMode> modes = {
        {"POP3", "POP3", servers->Host, servers->Pop3Port, TSecurity::None, {}},
        {"POP3S", "POP3", servers->TlsHost, servers->Pop3sPort, TSecurity::Tls, {}},
        {"IMAP", "IMAP", servers->Host, servers->ImapPort, TSecurity::None, {}},
        {"IMAPS", "IMAP", servers->TlsHost, servers->ImapsPort, TSecurity::Tls, {}},
    };
    for (int round = -1; round < Rounds; ++round) {  // round -1: the first sessions build Dovecot's indexes
        for (std::size_t i = 0; i < modes.size(); ++i) {
            TMode& mode = modes[round % 2 == 0 ? i : i ^ 1];
            double seconds = 0;
            const double cpu = CpuSeconds();
            const long long fetched = Scan(mode, box, seconds);
            if (fetched != MessageCount) {
                std::fprintf(stderr, "%s: %lld of %d headers\n", mode.name, fetched, MessageCount);
                return 1;
            }
            if (round >= 0) {
                mode.seconds.push_back(seconds);
                mode.cpu.push_back(CpuSeconds() - cpu);
            }
        }
    }
    std::printf("Header scan of %d messages, %d rounds, in ms: median (best) time; median processor time of the client\n",
                MessageCount, Rounds);
    for (const TMode& mode : modes)
        std::printf("  %-6s %8.1f (%8.1f)  %8.1f\n", mode.name, Median(mode.seconds) * 1000,
                    *std::min_element(mode.seconds.begin(), mode.seconds.end()) * 1000, Median(mode.cpu) * 1000);
    bool within = true;
    for (std::size_t plain = 0; plain < modes.size(); plain += 2) {
        std::vector<double> ratios;
        for (int round = 0; round < Rounds; ++round)
            ratios.push_back(modes[plain + 1].seconds[round] / modes[plain].seconds[round]);
        const double ratio = Median(ratios);
        const auto best = [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); };
        within = within && ratio <= Budget;
        std::printf("  %s / %s: %.2f, best against best %.2f (budget %.1f)\n", modes[plain + 1].name,
                    modes[plain].name, ratio, best(modes[plain + 1].seconds) / best(modes[plain].seconds), Budget);
    }
    std::printf("%s\n", within ? "within the budget" : "OVER THE BUDGET");
    return within ? 0 : 2;
}
