// tarnwick-cli end to end: the program run on a temporary home folder.
#include "core/DataModule.h"
#include "CliRun.h"
#include "servers/MailServers.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

namespace {

using TRun = TCliRun;

class TCliTest : public ::testing::Test {
protected:
    TCliHome home;

    TRun Cli(const std::vector<std::string>& args, const std::string& input = "") {
        return RunCliProgram(home, args, input);
    }

    // The tables as the program left them.
    std::unique_ptr<TDM> Store() {
        auto dm = std::make_unique<TDM>();
        dm->LoadStore();
        return dm;
    }

    static int Lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

    void ExpectRefused(const TRun& run, int status, const std::string& part) {
        EXPECT_EQ(run.status, status) << run.err;
        EXPECT_EQ(Lines(run.err), 1) << run.err;
        EXPECT_NE(run.err.find(part), std::string::npos) << run.err;
    }
};

TEST_F(TCliTest, HelpListsEveryCommand) {
    const TRun run = Cli({"--help"});
    EXPECT_EQ(run.status, 0);
    for (const char* command :
         {"identity add", "identity list", "account add", "account list", "account delete", "account test",
          "friends add", "friends remove", "friends list", "friends import", "friends export", "blacklist add",
          "blacklist remove", "blacklist list", "blacklist import", "blacklist export", "filters import",
          "filters export"})
        EXPECT_NE(run.out.find(command), std::string::npos) << command;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"account", "--help"}, {"account", "add", "--help"}, {"friends", "import", "-h"}}) {
        const TRun sub = Cli(args);
        EXPECT_EQ(sub.status, 0);
        EXPECT_NE(sub.out.find("Usage: tarnwick-cli"), std::string::npos);
    }
    EXPECT_NE(Cli({"account", "add", "--help"}).out.find("--smtp-port N"), std::string::npos);
}

TEST_F(TCliTest, IdentitiesAreMadeWithThePasswordFromInputAndSignedInWithIt) {
    EXPECT_EQ(Cli({"identity", "add", "anna"}, "Secret\n").status, 0);
    EXPECT_EQ(Cli({"identity", "add", "bert"}).status, 0);  // no input: no password
    ExpectRefused(Cli({"identity", "add", "anna"}, "x\n"), 1, "exists already");
    ExpectRefused(Cli({"identity", "add", "carl"}, std::string(20, 'p') + "\n"), 1, "longer than 19 characters");
    const TRun list = Cli({"identity", "list"});
    EXPECT_EQ(list.out, "1\tanna\tdefault\n2\tbert\t\n");

    // Signing in: the default identity, a named one, a wrong password, an unknown name.
    EXPECT_EQ(Cli({"account", "list"}, "Secret\n").status, 0);
    EXPECT_EQ(Cli({"account", "list", "--identity", "bert"}).status, 0);
    ExpectRefused(Cli({"account", "list", "--identity", "anna"}, "secret\n"), 1, "Please enter valid identity password");
    ExpectRefused(Cli({"account", "list", "--identity", "anna"}), 1, "Please enter valid identity password");
    ExpectRefused(Cli({"--identity", "nobody", "account", "list"}), 1, "no identity named 'nobody'");
    auto dm = Store();
    EXPECT_EQ(dm->cdsIdentities.RecordCount(), 2);
    dm->cdsIdentities.First();
    EXPECT_TRUE(dm->IdentityPasswordMatches("Secret"));
}

TEST_F(TCliTest, AccountsAreAddedListedTestedAndDeleted) {
    const TMailServerInfo* servers = RequireMailServers();
    ASSERT_NE(servers, nullptr);
    TTestMailbox box;
    ASSERT_EQ(Cli({"identity", "add", "anna"}).status, 0);
    const TRun added = Cli({"account", "add", "--description", "Work", "--host", servers->Host, "--port",
                            servers->Pop3Port, "--login", box.User(), "--email", "anna@example.test",
                            "--smtp-host=" + servers->Host, "--smtp-port", servers->SmtpPort,
                            "--account-password-fd", "0"},
                           box.Password() + "\n");
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_EQ(added.out, "1\n");
    EXPECT_EQ(Cli({"account", "list"}).out, "1\tWork\tPOP3\t" + servers->Host + "\t" + servers->Pop3Port + "\t" +
                                                box.User() + "\t" + servers->Host + "\t" + servers->SmtpPort +
                                                "\tanna@example.test\n");
    const TRun test = Cli({"account", "test", "1"});
    EXPECT_EQ(test.status, 0) << test.err;
    EXPECT_EQ(test.err, "TEST POP3 SERVER OK\nTEST SMTP SERVER OK\n");
    auto dm = Store();
    dm->cdsIdentities.First();
    EXPECT_EQ(TDM::ScramblePassword(dm->cdsAccounts.AsString("password"), box.User(), false), box.Password());
    dm.reset();

    ASSERT_EQ(Cli({"account", "add", "--login", "x", "--email", "x@y", "--proto", "imap"}).status, 0);
    const TRun failing = Cli({"account", "test", "2"});
    EXPECT_EQ(failing.status, 1);
    EXPECT_NE(failing.err.find("TEST IMAP SERVER ERROR"), std::string::npos) << failing.err;
    ExpectRefused(Cli({"account", "delete", "7"}), 1, "has no account 7");
    EXPECT_EQ(Cli({"account", "delete", "1"}).status, 0);
    EXPECT_EQ(Lines(Cli({"account", "list"}).out), 1);
}

TEST_F(TCliTest, BadInputIsRefusedWithOneLineAndStoresNothing) {
    ASSERT_EQ(Cli({"identity", "add", "anna"}).status, 0);
    WriteFile(home.File("blank.txt"), "ok@example.org\r\n\r\nlater@example.org\r\n");
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* message;
    } cases[] = {
        {{"account", "add", "--login", "x", "--email", "x@y", "--colour", "red"}, 2, "unknown option '--colour'"},
        {{"account", "add", "--login", "x", "--email"}, 2, "option '--email' needs a value"},
        {{"account", "add", "--login", "x", "--email", "x@y", "--port", "11o"}, 2, "'11o' is not a port number"},
        {{"account", "add", "--login", "x", "--email", "x@y", "--smtp-port", "70000"}, 2, "is not a port number"},
        {{"account", "add", "--login", "x", "--email", "x@y", "--proto", "SMTP"}, 2, "is not POP3, IMAP or AOL"},
        {{"account", "add", "--login", "x"}, 2, "--email is required"},
        {{"account", "add", "--login", "x", "--email", "x@y", "--host", std::string(51, 'h')}, 2,
         "longer than 50 characters"},
        {{"account", "delete", "one"}, 2, "is not an account number"},
        {{"account", "remove", "1"}, 2, "unknown command 'remove'"},
        {{"acount", "list"}, 2, "unknown command 'acount'"},
        {{"friends", "add", "a@b", "  "}, 2, "an entry is blank"},
        {{"friends", "add", std::string(51, 'f')}, 2, "longer than 50 characters"},
        {{"friends", "add"}, 2, "ENTRY... is missing"},
        {{"friends", "import", "blank.txt"}, 2, "blank.txt: line 2: an entry is blank"},
        {{"friends", "import", "missing.txt"}, 1, "cannot read missing.txt"},
        {{"blacklist", "remove", "never@listed"}, 1, "'never@listed' is not listed"},
        {{"friends", "list", "extra"}, 2, "unexpected argument 'extra'"},
        {{"--yes=1", "friends", "list"}, 2, "option '--yes' takes no value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        ExpectRefused(Cli(c.args), c.status, c.message);
    }
    auto dm = Store();
    dm->cdsIdentities.First();
    EXPECT_TRUE(dm->cdsAccounts.IsEmpty());
    EXPECT_TRUE(dm->cdsFriends.IsEmpty());
}

TEST_F(TCliTest, FriendsAndBlacklistExchangeText) {
    WriteFile(home.File("in.txt"), "  one@example.org , Someone\r\ntwo@example.org\nthree@example.org");
    EXPECT_EQ(Cli({"friends", "import", "in.txt"}).status, 0);
    EXPECT_EQ(Cli({"friends", "add", "four@example.org", "One@Example.org"}).status, 0);
    EXPECT_EQ(Cli({"friends", "list"}).out,
              "one@example.org\ntwo@example.org\nthree@example.org\nfour@example.org\nOne@Example.org\n");
    // Removing takes every entry of the address, in any letter case.
    EXPECT_EQ(Cli({"friends", "remove", "ONE@example.org"}).status, 0);
    EXPECT_EQ(Cli({"friends", "export", "out.txt"}).status, 0);
    EXPECT_EQ(ReadFile(home.File("out.txt")), "two@example.org\r\nthree@example.org\r\nfour@example.org\r\n");

    EXPECT_EQ(Cli({"blacklist", "add", "--", "-spam.example"}).status, 0);
    EXPECT_EQ(Cli({"blacklist", "list"}).out, "-spam.example\n");
    auto dm = Store();
    EXPECT_EQ(dm->cdsFriends.RecordCount(), 3);
    EXPECT_EQ(dm->cdsBlackList.RecordCount(), 1);
}

TEST_F(TCliTest, ListedControlCharactersReachNoTerminal) {
    ASSERT_EQ(Cli({"identity", "add", "anna"}).status, 0);
    ASSERT_EQ(Cli({"account", "add", "--description", "Work\x1b[2J\tnow", "--login", "x", "--email", "x@y"}).status, 0);
    WriteFile(home.File("in.txt"), "bell\x07@spam.test\x7f\r\n");
    ASSERT_EQ(Cli({"blacklist", "import", "in.txt"}).status, 0);
    const std::string replaced = "\xEF\xBF\xBD";  // U+FFFD
    EXPECT_EQ(Cli({"account", "list"}).out.rfind("1\tWork" + replaced + "[2J" + replaced + "now\tPOP3\t", 0), 0u);
    EXPECT_EQ(Cli({"blacklist", "list"}).out, "bell" + replaced + "@spam.test" + replaced + "\n");
}

TEST_F(TCliTest, FiltersGoOutAndComeBack) {
    const std::string file = "Tarnwick filters\r\nSpam\x07" "1,3\x07" "1\x07-1\x07" "viagra\r\n";
    WriteFile(home.File("filters.txt"), file);
    EXPECT_EQ(Cli({"filters", "import", "filters.txt"}).status, 0);
    EXPECT_EQ(Cli({"filters", "export", "again.txt"}).status, 0);
    EXPECT_EQ(ReadFile(home.File("again.txt")), file);
    WriteFile(home.File("other.txt"), "something else\r\n");
    ExpectRefused(Cli({"filters", "import", "other.txt"}), 1, "is no filter file");
}

}  // namespace
