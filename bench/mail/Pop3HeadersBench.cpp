// Fetches every header of a 2,000-message POP3 mailbox on the test Dovecot
// (Login, Stat, List, Top(i, 0) for every i, Logout), as the header scan
// does, and the same with Python's poplib on the same mailbox, alternating
// the two; prints messages per second for each and their ratio.
//
// Run it through tests/servers/with-mailservers.sh, which starts and stops the servers.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "mail/Pop3Client.h"
#include "servers/MailServers.h"

namespace {

constexpr int MessageCount = 2000;
constexpr int Rounds = 5;

std::string Message(int i) {
    std::string n = std::to_string(i);
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

double CppRound(const TMailServerInfo& servers, const TTestMailbox& box, long long& fetched) {
    auto start = std::chrono::steady_clock::now();
    TPop3Client pop;
    pop.Host = servers.Host;
    pop.Port = servers.Pop3Port;
    pop.AuthType = AuthUserPass;
    pop.Timeout = 100000;
    pop.Username = box.User();
    pop.Password = box.Password();
    fetched = 0;
    if (pop.Login() && pop.Stat()) {
        pop.List(0);
        for (long long i = 1; i <= pop.StatCount; ++i)
            if (pop.Top(static_cast<int>(i), 0) && !pop.FullResult.empty()) ++fetched;
        pop.Logout();
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double PythonRound(const TMailServerInfo& servers, const TTestMailbox& box, long long& fetched) {
    std::string command = "/usr/bin/python3 " POP3_PY_SCRIPT " " + servers.Host + " " + servers.Pop3Port + " " +
                          box.User() + " " + box.Password();
    FILE* pipe = popen(command.c_str(), "r");
    fetched = 0;
    double seconds = 0;
    if (!pipe) return 0;
    if (std::fscanf(pipe, "%lld %lf", &fetched, &seconds) != 2) fetched = 0;
    pclose(pipe);
    return seconds;
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

    long long fetched = 0;
    CppRound(*servers, box, fetched);  // the first session builds Dovecot's index
    if (fetched != MessageCount) {
        std::fprintf(stderr, "warm-up fetched %lld of %d headers\n", fetched, MessageCount);
        return 1;
    }
    double cppBest = 1e9, pyBest = 1e9, cppTotal = 0, pyTotal = 0;
    for (int round = 0; round < Rounds; ++round) {
        long long cppCount = 0, pyCount = 0;
        double cpp = CppRound(*servers, box, cppCount);
        double py = PythonRound(*servers, box, pyCount);
        if (cppCount != MessageCount || pyCount != MessageCount) {
            std::fprintf(stderr, "round %d fetched %lld (C++) and %lld (Python) headers\n", round, cppCount, pyCount);
            return 1;
        }
        cppBest = std::min(cppBest, cpp);
        pyBest = std::min(pyBest, py);
        cppTotal += cpp;
        pyTotal += py;
    }
    std::printf("POP3 headers, %d messages, %d rounds (best / mean)\n", MessageCount, Rounds);
    std::printf("  TPop3Client:    %8.0f / %8.0f messages/s\n", MessageCount / cppBest, MessageCount * Rounds / cppTotal);
    std::printf("  Python poplib:  %8.0f / %8.0f messages/s\n", MessageCount / pyBest, MessageCount * Rounds / pyTotal);
    std::printf("  ratio C++/Python: %.2f (best), %.2f (mean)\n", pyBest / cppBest, pyTotal / cppTotal);
    return 0;
}
