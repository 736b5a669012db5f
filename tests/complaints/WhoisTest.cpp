// The whois look-up against scripted whois servers on loopback.
#include "complaints/ComplaintForm.h"
#include "complaints/Whois.h"
#include "mail/FakeServer.h"
#include "support/FakeUserInterface.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using TStrings = std::vector<std::string>;

TEST(WhoisTest, RouteAddressesLeaveOutThePrivateNetworks) {
    struct TCase {
        const char* text;
        TStrings offered;  // last match first
    };
    const TCase cases[] = {
        {"Received: from a (10.1.2.3) by b (192.168.0.7)\r\nReceived: from c [172.20.0.1] by 127.0.0.1\r\n"
         "Received: from spam [203.0.113.9]\r\n",
         {"203.0.113.9"}},
        // The /12 ends at 172.31: the next network is public.
        {"from 172.31.255.255 and 172.32.0.1", {"172.32.0.1"}},
        // Not an address at all, yet it matches and does not fall in a private network.
        {"via 999.1.1.1", {"999.1.1.1"}},
        {"a 198.51.100.1 b 203.0.113.2 c", {"203.0.113.2", "198.51.100.1"}},
        {"no numbers here", {}},
    };
    for (const TCase& c : cases) EXPECT_EQ(ExtractRouteAddresses(c.text), c.offered) << c.text;
}

TEST(WhoisTest, TheComplaintWindowOffersEachRouteAddressOnceInTextOrder) {
    TComplaintForm form;
    form.MessageText = "from 203.0.113.9\r\nby 198.51.100.7\r\nfrom 203.0.113.9\r\nvia 203.0.113.9\r\n10.0.0.1\r\n";
    form.Show();
    EXPECT_EQ(form.RouteList, (TStrings{"198.51.100.7", "203.0.113.9"}));
    EXPECT_EQ(form.RouteIndex, 0);
    EXPECT_TRUE(form.Actions["Check"].Enabled());
    form.MessageText = "only 192.168.1.1";
    form.Show();
    EXPECT_TRUE(form.RouteList.empty());
    EXPECT_FALSE(form.Actions["Check"].Enabled());
}

TEST(WhoisTest, IsIPAddress) {
    const std::pair<const char*, bool> cases[] = {{"203.0.113.9", true}, {"999.1.1.1", true}, {"1.2.3", false},
                                                  {"1.2.3.4.5", false}, {"", false},           {"a.b.c.d", false},
                                                  {"1.2.3.4 ", false},  {"...", true}};
    for (const auto& [text, expected] : cases) EXPECT_EQ(IsIPAddress(text), expected) << text;
}

TEST(WhoisTest, EndpointsFromTheSettings) {
    TWhoisSettings settings;
    EXPECT_EQ(settings.DirectoryFor("com").host, "com.whois-servers.net");
    EXPECT_EQ(settings.DirectoryFor("com").port, "43");
    EXPECT_EQ(settings.ipRegistry.host, "whois.arin.net");
    settings.domainServer = "127.0.0.1:4343";
    EXPECT_EQ(settings.DirectoryFor("com").host, "127.0.0.1");
    EXPECT_EQ(settings.DirectoryFor("com").port, "4343");
    settings.domainServer = ".whois.test:4444";
    EXPECT_EQ(settings.DirectoryFor("org").host, "org.whois.test");
    EXPECT_EQ(settings.DirectoryFor("org").port, "4444");

    TTempHome home;
    WriteFile(home.File("misc.ini"), "[Whois]\r\nIPServer=127.0.0.1:4300\r\nDomainServer=localhost\r\n");
    const TWhoisSettings read = TWhoisSettings::FromMiscIni();
    EXPECT_EQ(read.ipRegistry.host, "127.0.0.1");
    EXPECT_EQ(read.ipRegistry.port, "4300");
    EXPECT_EQ(read.DirectoryFor("net").host, "localhost");
    EXPECT_EQ(read.DirectoryFor("net").port, "43");
}

class TWhoisServerTest : public ::testing::Test {
protected:
    TTempHome home;
    TFakeUserInterface ui;
    TUserInterfaceScope scope{ui};

    TWhoisSettings Settings(const std::string& reverseName, const std::string& port) {
        TWhoisSettings s;
        s.reverseName = [reverseName](const std::string&) { return reverseName; };
        s.ipRegistry = {"127.0.0.1", port};
        s.domainServer = "127.0.0.1:" + port;
        return s;
    }
};

TEST_F(TWhoisServerTest, AnAddressWithoutReverseNameGoesToTheRegistry) {
    WriteFile(home.File("wdlist.ini"), "[White domains]\r\nd1=mail.example\r\nd2=Free.Example\r\n");
    TFakeServer server({C("203.0.113.9"),
                        S("NetRange: 203.0.113.0 - 203.0.113.255\r\n"
                          "OrgAbuseEmail: abuse@net.example\r\nOrgTechEmail: ABUSE@NET.EXAMPLE\r\n"
                          "Contact: noc@net.example, someone@FREE.EXAMPLE, me@mail.example\r\n"),
                        Close()});
    const TAbuseContacts found = FindAbuseAddresses("203.0.113.9", Settings("", server.Port()));
    EXPECT_EQ(found.addresses, (TStrings{"abuse@net.example", "noc@net.example"}));
    EXPECT_NE(found.reply.find("NetRange"), std::string::npos);
    EXPECT_EQ(server.Mismatch(), "");
}

// The directory of the top-level domain, its "=" re-query (not the "!" one),
// then the registrar's own record that the reply refers to.
TEST_F(TWhoisServerTest, AReverseNameFollowsTheDirectoryTheRequeryAndTheReferral) {
    TFakeServer registrar({C("spam.example"), S("Registrant: Spam Ltd\r\nabuse contact: ops@spam.example\r\n"), Close()});
    TFakeServer directory(TFakeServer::Several,
                          {{C("spam.example"), S("Too many matches: use =xxx for one, !xxx for handles\r\n"), Close()},
                           {C("=spam.example"),
                            S("Domain Name: SPAM.EXAMPLE\r\n   Whois Server: first.example\r\n"
                              "   Whois Server: 127.0.0.1\r\n   Updated: today\r\n"),
                            Close()}});
    TWhoisSettings settings = Settings("mx3.mail.spam.example", directory.Port());
    settings.referralPort = registrar.Port();
    const TAbuseContacts found = FindAbuseAddresses("198.51.100.7", settings);
    EXPECT_EQ(found.addresses, TStrings{"ops@spam.example"});
    EXPECT_EQ(found.reply, "Registrant: Spam Ltd\r\nabuse contact: ops@spam.example\r\n");
    EXPECT_EQ(directory.Mismatch(), "");
    EXPECT_EQ(directory.Connections(), 2);
    EXPECT_EQ(registrar.Mismatch(), "");
}

TEST_F(TWhoisServerTest, ABangRequeryWhenOnlyItIsOffered) {
    TFakeServer directory(TFakeServer::Several,
                          {{C("spam.example"), S("use !xxx\r\n"), Close()},
                           {C("!spam.example"), S("owner: hostmaster@spam.example\r\n"), Close()}});
    const TAbuseContacts found = FindAbuseAddresses("198.51.100.7", Settings("spam.example", directory.Port()));
    EXPECT_EQ(found.addresses, TStrings{"hostmaster@spam.example"});
    EXPECT_EQ(directory.Mismatch(), "");
}

// A server that never answers, and one that answers without end, cost a
// bounded time and give no contacts.
TEST_F(TWhoisServerTest, SilentAndEndlessServersAreFailedLookups) {
    TFakeServer silent({C("203.0.113.9"), Pause(1200), Close()});
    TWhoisSettings settings = Settings("", silent.Port());
    settings.idleTimeoutMs = 300;
    const auto started = std::chrono::steady_clock::now();
    TAbuseContacts found = FindAbuseAddresses("203.0.113.9", settings);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1000));
    EXPECT_TRUE(found.addresses.empty());
    EXPECT_EQ(found.reply, "");
    // The window stayed responsive while the program waited.
    EXPECT_GT(ui.processMessagesCalls, 3);

    std::string flood;
    while (flood.size() < 1536 * 1024) flood += "abuse@flood.example is a contact of this endless record\r\n";
    TFakeServer endless({C("203.0.113.9"), S(flood), Close()});
    found = FindAbuseAddresses("203.0.113.9", Settings("", endless.Port()));
    EXPECT_TRUE(found.addresses.empty());
    EXPECT_EQ(found.reply.size(), std::size_t{1024 * 1024});
}

TEST_F(TWhoisServerTest, CheckFillsTheWindowOrSaysThereIsNoComplaint) {
    TFakeServer server(TFakeServer::Several,
                       {{C("203.0.113.9"), S("abuse@net.example\r\n"), Close()}, {C("203.0.113.9"), Close()}});
    TComplaintForm form;
    form.WhoisSettings = [&] { return Settings("", server.Port()); };
    form.MessageText = "Received: from x [203.0.113.9]\r\n";
    form.Show();
    form.Actions["Check"].Execute();
    EXPECT_EQ(form.IPInformation, "abuse@net.example\r\n");
    ASSERT_EQ(form.AdminList.size(), 1u);
    EXPECT_FALSE(form.AdminList[0].checked);
    EXPECT_FALSE(form.Actions["SendAdminComplaint"].Enabled());
    form.SetAdminChecked(0, true);
    EXPECT_TRUE(form.Actions["SendAdminComplaint"].Enabled());
    EXPECT_TRUE(form.PagesEnabled);
    EXPECT_TRUE(ui.messages.empty());

    form.Check();  // the server closes without a word
    EXPECT_TRUE(form.AdminList.empty());
    EXPECT_FALSE(form.Actions["SendAdminComplaint"].Enabled());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "NO COMPLAINT");
    EXPECT_EQ(ui.messages[0].caption, "Error");
    EXPECT_EQ(ui.messages[0].icon, TMsgIcon::Error);
}

}  // namespace
