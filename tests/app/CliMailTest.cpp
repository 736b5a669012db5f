// tarnwick-cli check and process against the loopback servers.
#include "CliRun.h"
#include "servers/MailServers.h"

#include <gtest/gtest.h>

namespace {

using TRun = TCliRun;

class TCliMailTest : public ::testing::Test {
protected:
    TCliHome home;
    const TMailServerInfo* servers = RequireMailServers();

    void SetUp() override { ASSERT_TRUE(servers); }

    TRun Cli(const std::vector<std::string>& args, const std::string& input = "") {
        return RunCliProgram(home, args, input);
    }

    void AddAccount(const TTestMailbox& box) {
        ASSERT_EQ(Cli({"identity", "add", "anna"}).status, 0);
        const TRun added = Cli({"account", "add", "--description", "Work", "--host", servers->Host, "--port",
                                servers->Pop3Port, "--login", box.User(), "--email", "anna@example.test",
                                "--smtp-host", servers->Host, "--smtp-port", servers->SmtpPort,
                                "--account-password-fd", "0"},
                               box.Password() + "\n");
        ASSERT_EQ(added.status, 0) << added.err;
    }
};

std::string Message(const std::string& from, const std::string& subject) {
    return "From: " + from + "\r\nTo: anna@example.test\r\nSubject: " + subject + "\r\n\r\nHi.\r\n";
}

TEST_F(TCliMailTest, CheckListsTheBoxesAndProcessDeletesOnlyAfterTheDryRun) {
    TTestMailbox box({Message("friend@ok.test", "hello"), Message("king@spam.test", "buy now")});
    AddAccount(box);
    ASSERT_EQ(Cli({"blacklist", "add", "spam.test"}).status, 0);

    const TRun check = Cli({"check", "--verbose"});
    ASSERT_EQ(check.status, 0) << check.err;
    EXPECT_NE(check.out.find("InBox (1)\n  Work\tfriend@ok.test\thello\t"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("DelBox (1)\n  Work\tking@spam.test\tbuy now\t"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("\tlists\tContains in BlackList\n"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("Log\n  Receiving \"anna\" identity mail\n"), std::string::npos) << check.out;

    const TRun dry = Cli({"process", "--dry-run"});
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_NE(dry.out.find("  Work\t#2\tking@spam.test\tbuy now\twould delete\n"), std::string::npos) << dry.out;
    EXPECT_EQ(box.Messages().size(), 2u);

    const TRun process = Cli({"process"});
    ASSERT_EQ(process.status, 0) << process.err;
    EXPECT_NE(process.out.find("  Work\t#2\tking@spam.test\tbuy now\tdeleted\n"), std::string::npos) << process.out;
    ASSERT_EQ(box.Messages().size(), 1u);
    EXPECT_NE(box.Messages()[0].Text.find("Subject: hello"), std::string::npos);
}

TEST_F(TCliMailTest, CheckNeedsASignIn) {
    const TRun run = Cli({"check"});
    EXPECT_NE(run.status, 0);
    EXPECT_FALSE(run.err.empty());
}

}  // namespace
