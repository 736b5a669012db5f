// tarnwick-cli check and process against the loopback servers.
#include "servers/MailServers.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

struct TRun {
    int status = -1;
    std::string out, err;
};

class TCliMailTest : public ::testing::Test {
protected:
    TTempHome home;
    const TMailServerInfo* servers = RequireMailServers();

    void SetUp() override {
        ASSERT_TRUE(servers);
        setenv("XDG_DATA_HOME", home.File("xdg").c_str(), 1);
        setenv("XDG_DATA_DIRS", home.File("xdg").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("XDG_DATA_HOME");
        unsetenv("XDG_DATA_DIRS");
    }

    TRun Cli(const std::vector<std::string>& args, const std::string& input = "") {
        const std::string in = home.File(".in"), out = home.File(".out"), err = home.File(".err");
        WriteFile(in, input);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 0, in.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<std::string> words = {TARNWICK_CLI, "--home", home.Path()};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        TRun run;
        pid_t pid = 0;
        if (posix_spawn(&pid, TARNWICK_CLI, &files, nullptr, argv.data(), environ) == 0) {
            int status = 0;
            waitpid(pid, &status, 0);
            run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        posix_spawn_file_actions_destroy(&files);
        run.out = ReadFile(out);
        run.err = ReadFile(err);
        return run;
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
