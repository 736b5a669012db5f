// tarnwick-cli check and process on an "AOL" account, against the web-mail
// site of the tests.
#include "CliRun.h"
#include "aol/WebmailSite.h"

#include <gtest/gtest.h>

namespace {

TEST(TCliAolTest, CheckAndProcessAnAolAccountThroughTheWebMailPages) {
    TCliHome home;
    TWebmailSite site(home.File("site"), {.password = "p&ss #1"});
    ASSERT_TRUE(site.Running());
    site.PointHomeHere(home.Path());
    site.AddMessage("m1", TWebmailSite::Pre,
                    {"From: friend@ok.test", "Subject: hello", "Date: Tue, 3 Jun 2003 10:00:00 +0200"});
    site.AddMessage("m2", TWebmailSite::Table,
                    {"From: king@spam.test", "Subject: buy &amp; win", "Date: Wed, 4 Jun 2003 08:00:00 +0000"});
    const auto cli = [&](const std::vector<std::string>& args, const std::string& input = "") {
        return RunCliProgram(home, args, input);
    };
    ASSERT_EQ(cli({"identity", "add", "anna"}).status, 0);
    const TCliRun added = cli({"account", "add", "--description", "Web", "--proto", "AOL", "--login", "anna", "--email",
                               "anna@aol.test", "--account-password-fd", "0"},
                              "p&ss #1\n");
    ASSERT_EQ(added.status, 0) << added.err;
    ASSERT_EQ(cli({"blacklist", "add", "spam.test"}).status, 0);

    const TCliRun check = cli({"check", "--verbose"});
    ASSERT_EQ(check.status, 0) << check.err;
    EXPECT_NE(check.out.find("InBox (1)\n  Web\tfriend@ok.test\thello\t1\t"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("DelBox (1)\n  Web\tking@spam.test\tbuy &amp; win\t1\t"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("\tlists\tContains in BlackList\n"), std::string::npos) << check.out;

    const TCliRun process = cli({"process"});
    ASSERT_EQ(process.status, 0) << process.err;
    EXPECT_NE(process.out.find("  Web\t#2\tking@spam.test\tbuy &amp; win\tdeleted\n"), std::string::npos)
        << process.out;
    EXPECT_EQ(site.MessageIds(), std::vector<std::string>{"m1"});
}

}  // namespace
