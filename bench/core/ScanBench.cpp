// Receive Mail inside one process over a large mailbox on the loopback
// Dovecot, POP3 and IMAP, with 50 filter expressions that send 45% of the
// messages to DelBox: a harness to profile the scan. The whole program beside
// the peers a user could run instead is bench/scan/run.sh.
#include "complaints/ComplaintForm.h"
#include "core/DataModule.h"
#include "core/MailCommands.h"
#include "filtering/FilterEngine.h"
#include "filtering/dmfilters.h"
#include "mail/Pop3Client.h"
#include "servers/MailServers.h"
#include "support/TempHome.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <sys/resource.h>

namespace {

std::string Header(std::mt19937& random, int i) {
    static const char* const hosts[] = {"mx1.example.net", "relay.provider.test", "smtp.big-isp.test",
                                        "mail.small.test"};
    std::string h;
    const int received = 3 + static_cast<int>(random() % 6);
    for (int r = 0; r < received; ++r)
        h += "Received: from " + std::string(hosts[random() % 4]) + " (" + hosts[random() % 4] + " [10.0." +
             std::to_string(random() % 255) + "." + std::to_string(random() % 255) +
             "])\r\n\tby " + hosts[random() % 4] + " with ESMTP id " + std::to_string(random()) +
             "\r\n\tfor <user@example.test>; Tue, 3 Jun 2003 10:00:00 +0200\r\n";
    h += "From: \"Sender " + std::to_string(i) + "\" <sender" + std::to_string(i) + "@host" +
         std::to_string(i % 97) + ".test>\r\n";
    h += "To: user@example.test,\r\n other" + std::to_string(i % 13) + "@example.test\r\n";
    // Nine in twenty are spam, each caught by an expression of another category.
    static const char* const spam[] = {"Cheap viagra",      "Online pharmacy deals", "Casino bonus",
                                       "Your lottery prize", "Free money now",        "Low loan rates",
                                       "Cheap rolex watches",     "Be a winner today",     "Double your bitcoin"};
    const std::string subject = i % 20 < 9    ? spam[i % 9]
                                : i % 11 == 0 ? "=?ISO-8859-1?Q?Gr=FC=DFe_aus?= Hamburg"
                                              : "Weekly report";
    h += "Subject: " + subject + " number " + std::to_string(i) + "\r\n";
    h += "Date: Tue, 3 Jun 2003 10:00:00 +0200\r\nMessage-ID: <" + std::to_string(random()) + "@example.test>\r\n";
    h += "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=ISO-8859-1\r\n";
    for (int x = 0; x < static_cast<int>(random() % 8); ++x)
        h += "X-Extra-" + std::to_string(x) + ": " + std::string(40 + random() % 80, 'a' + x) + "\r\n";
    return h + "\r\nBody of message " + std::to_string(i) + ".\r\n";
}

void AddFilters(TFilterDM& filters) {
    static const char* const words[] = {"viagra", "lottery", "casino", "winner", "free money", "rolex",
                                        "pharmacy", "bitcoin", "loan",   "unsubscribe"};
    static const int rules[] = {1, 2, 3, 4, 5, 7, 1, 2, 5, 1};
    static const char* const fields[] = {"3", "1", "3,1", "4", "2", "8", "10", "3", "1,2", "11"};
    for (int c = 0; c < 10; ++c) {
        filters.cdsFilterCategory.Append();
        filters.cdsFilterCategory.SetValue("NameCategory", "Category " + std::to_string(c));
        filters.cdsFilterCategory.SetValue("idAction", std::int64_t{1 + c % 4});
        filters.cdsFilterCategory.Post();
        for (int e = 0; e < 5; ++e) {
            const int k = (c * 5 + e) % 10;
            filters.cdsExpr.Append();
            filters.cdsExpr.SetValue("idRule", std::int64_t{rules[k] == 3 ? 1 : rules[k]});
            filters.cdsExpr.SetValue("Content", std::string(words[(k + c) % 10]));
            filters.cdsExpr.SetValue("CaseMatch", e % 2 == 0);
            filters.cdsExpr.SetValue("Fields", std::string(fields[(k + e) % 10]));
            filters.cdsExpr.Post();
        }
    }
    FilterEngine().CacheStale = true;
}

long MaxRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double PythonLoop(const TMailServerInfo& servers, const TTestMailbox& box) {
    const std::string command = std::string("/usr/bin/python3 ") + POP3_PY_SCRIPT + " " + servers.Host + " " +
                                servers.Pop3Port + " " + box.User() + " " + box.Password();
    FILE* out = popen(command.c_str(), "r");
    if (!out) return 0;
    long count = 0;
    double seconds = 0;
    if (std::fscanf(out, "%ld %lf", &count, &seconds) != 2) seconds = 0;
    pclose(out);
    return seconds > 0 ? count / seconds : 0;
}

// The transport alone: what the scan costs beyond fetching the headers.
double BareFetch(const TMailServerInfo& servers, const TTestMailbox& box) {
    const auto start = std::chrono::steady_clock::now();
    TPop3Client pop;
    pop.Host = servers.Host;
    pop.Port = servers.Pop3Port;
    pop.Username = box.User();
    pop.Password = box.Password();
    pop.AuthType = AuthUserPass;
    if (!pop.Login() || !pop.Stat()) return 0;
    pop.List(0);
    for (int i = 1; i <= pop.StatCount; ++i) pop.Top(i, 0);
    pop.Logout();
    return pop.StatCount / std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int total = argc > 1 ? std::atoi(argv[1]) : 2000;
    std::string why;
    const TMailServerInfo* servers = MailServers(&why);
    if (!servers) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    TTempHome home;
    std::mt19937 random(42);
    std::vector<std::string> messages;
    size_t headerBytes = 0;
    for (int i = 1; i <= total; ++i) {
        messages.push_back(Header(random, i));
        headerBytes += messages.back().size();
    }
    TTestMailbox box(messages);

    TDM dm;
    dm.LoadStore();
    TFilterDM filters;
    AddFilters(filters);
    dm.CreateIdentity("bench", "");
    dm.NotLoggedIn = false;
    TComplaintForm complaint;
    TMailCommands commands(dm, complaint, &filters);

    std::printf("%d messages, %.0f bytes of header on average, 50 filter expressions\n", total,
                static_cast<double>(headerBytes) / total);
    // The first session after filling a mailbox builds the server's index.
    std::printf("python poplib warm-up: %.0f messages/s\n", PythonLoop(*servers, box));
    for (const std::string proto : {"POP3", "IMAP"}) {
        while (!dm.cdsAccounts.IsEmpty()) dm.cdsAccounts.Delete();
        dm.cdsAccounts.Append();
        dm.cdsAccounts.SetValue("description", proto);
        dm.cdsAccounts.SetValue("proto", proto);
        dm.cdsAccounts.SetValue("host", servers->Host);
        dm.cdsAccounts.SetAsString("port", proto == "IMAP" ? servers->ImapPort : servers->Pop3Port);
        dm.cdsAccounts.SetValue("login", box.User());
        dm.cdsAccounts.SetValue("password", box.Password());
        dm.cdsAccounts.SetValue("email", std::string("bench@example.test"));
        dm.cdsAccounts.Post();
        for (int round = 0; round < 2; ++round) {
            const long rssBefore = MaxRssKb();
            const auto start = std::chrono::steady_clock::now();
            commands.ReceiveIdentityMailExecute();
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const int rows = dm.cdsInBox.RecordCount() + dm.cdsDelBox.RecordCount();
            std::printf("tarnwick scan %-4s: %6.0f messages/s (%d rows, %d in DelBox; peak RSS %ld -> %ld KiB)\n",
                        proto.c_str(), rows / seconds, rows, dm.cdsDelBox.RecordCount(), rssBefore, MaxRssKb());
            std::printf("python poplib     : %6.0f messages/s (headers only, no classification)\n",
                        PythonLoop(*servers, box));
            std::printf("bare TPop3Client  : %6.0f messages/s (headers only, no classification)\n",
                        BareFetch(*servers, box));
        }
    }
    return 0;
}
