#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// Whois look-up of the people responsible for the network a spam came from.

struct TWhoisEndpoint {
    std::string host;
    std::string port = "43";
};

// Where the look-ups go and how long they may take. The endpoints can be
// changed in "misc.ini", section "Whois":
//   IPServer=whois.arin.net          the IP registry (host, or host:port)
//   DomainServer=.whois-servers.net  a leading "." is a suffix after the
//                                    top-level domain (com.whois-servers.net);
//                                    anything else one host for every domain
//   ReferralPort=43                  the port of a "Whois Server:" referral
struct TWhoisSettings {
    TWhoisEndpoint ipRegistry{"whois.arin.net", "43"};
    std::string domainServer = ".whois-servers.net";
    std::string referralPort = "43";
    // A silent server must not hold the program for good.
    int connectTimeoutMs = 10000;
    int idleTimeoutMs = 30000;
    std::size_t maxReplyBytes = 1024 * 1024;
    // The reverse host name of an IPv4 address, empty when there is none.
    std::function<std::string(const std::string& address)> reverseName;

    static TWhoisSettings FromMiscIni();
    TWhoisEndpoint DirectoryFor(const std::string& topLevelDomain) const;
};

// "host" or "host:port" (port 43 when none is given).
TWhoisEndpoint ParseWhoisEndpoint(const std::string& text);

// The reverse host name through the system resolver; empty when there is none.
std::string SystemReverseName(const std::string& address);

// Sends query and CR LF, reads until the server closes. The reply is emptied
// once connected; on a failure (connection, time limit, a reply over the cap)
// it keeps what had arrived and false is returned. Pending events of the user
// interface are processed while waiting.
bool WhoisQuery(const TWhoisEndpoint& server, const std::string& query, const TWhoisSettings& settings,
                std::string& reply);

// Non-empty, only digits and ".", exactly three ".".
bool IsIPAddress(const std::string& text);

// The IPv4 addresses in text outside the private networks, visited from the
// last match to the first (duplicates included: the caller's list decides).
std::vector<std::string> ExtractRouteAddresses(const std::string& text);

struct TAbuseContacts {
    std::vector<std::string> addresses;  // sorted without regard to case, each once
    std::string reply;                   // the last whois reply
};

// The contact addresses in the whois record of address (an IPv4 address, or a
// name), leaving out the white domains of "wdlist.ini". Failures end the
// search quietly: the list stays empty, the reply holds what had arrived.
TAbuseContacts FindAbuseAddresses(const std::string& address, const TWhoisSettings& settings);

// The e-mail address pattern the program shares; group 1 is the domain.
inline constexpr const char* kEmailAddressPattern = "[_a-zA-Z\\d\\-\\.]+@([_a-zA-Z\\d\\-]+(\\.[_a-zA-Z\\d\\-]+)+)";

// Inserts item into a list sorted without regard to case, unless an entry
// equal to it without regard to case is there already.
void InsertSortedNoCase(std::vector<std::string>& list, const std::string& item);

// The domains of "wdlist.ini", section "White domains".
std::vector<std::string> WhiteDomains();
