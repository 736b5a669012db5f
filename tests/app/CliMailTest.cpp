// tarnwick-cli check and process against the loopback servers.
#include "CliRun.h"
#include "filtering/FilterEngine.h"
#include "filtering/dmfilters.h"
#include "mail/FakeServer.h"
#include "servers/MailServers.h"
#include "support/FakeUserInterface.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using TRun = TCliRun;

struct TAccountSetup {
    std::string description, port, login, password;
    std::string proto = "POP3";
    std::string smtpPort = "";  // empty: the capturing SMTP server
};

// A loopback port that nothing listens on: bound, then let go.
std::string ClosedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return std::to_string(ntohs(address.sin_port));
}

// The bytes a terminal would act on: C0 controls other than the line end and
// the column tabs the command prints itself, DEL, and C1 controls in UTF-8.
std::string ControlsIn(const std::string& text) {
    std::string found;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool c1 = c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F || c1) found += "\\x" + std::to_string(c) + " ";
    }
    return found;
}

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

class TCliMailTest : public ::testing::Test {
protected:
    TCliHome home;
    const TMailServerInfo* servers = RequireMailServers();

    void SetUp() override { ASSERT_TRUE(servers); }

    TRun Cli(const std::vector<std::string>& args, const std::string& input = "") {
        return RunCliProgram(home, args, input);
    }

    void AddIdentity() { ASSERT_EQ(Cli({"identity", "add", "anna"}).status, 0); }

    void AddAccount(const TAccountSetup& account) {
        const TRun added = Cli({"account", "add", "--description", account.description, "--proto", account.proto, "--host",
                                servers->Host, "--port", account.port, "--login", account.login, "--email",
                                "anna@example.test", "--smtp-host", servers->Host, "--smtp-port",
                                account.smtpPort.empty() ? servers->SmtpPort : account.smtpPort, "--account-password-fd",
                                "0"},
                               account.password + "\n");
        ASSERT_EQ(added.status, 0) << added.err;
    }

    void AddAccount(const TTestMailbox& box, const std::string& smtpPort = "") {
        AddIdentity();
        AddAccount({"Work", servers->Pop3Port, box.User(), box.Password(), "POP3", smtpPort});
    }

    // One category per subject word, caught with the given action.
    void AddFilters(const std::vector<std::pair<std::string, int>>& wordActions) {
        TFakeUserInterface ui;
        TUserInterfaceScope scope(ui);
        TFilterDM filters;
        for (const auto& [word, action] : wordActions) {
            filters.cdsFilterCategory.Append();
            filters.cdsFilterCategory.SetValue("NameCategory", word);
            filters.cdsFilterCategory.SetValue("idAction", std::int64_t{action});
            filters.cdsFilterCategory.Post();
            filters.cdsExpr.Append();
            filters.cdsExpr.SetValue("idRule", std::int64_t{1});
            filters.cdsExpr.SetValue("Content", word);
            filters.cdsExpr.SetValue("Fields", std::string("3"));
            filters.cdsExpr.Post();
        }
        filters.Close();
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

TEST_F(TCliMailTest, AccountsThatCannotBeReachedAreNamedWithTheirReasonAndFail) {
    TTestMailbox good({Message("friend@ok.test", "hello"), Message("king@spam.test", "buy now")});
    TTestMailbox other({Message("friend@ok.test", "unread")});
    AddIdentity();
    AddAccount({"Work", servers->Pop3Port, good.User(), good.Password()});
    const struct {
        TAccountSetup account;
        const char* reason;
    } broken[] = {
        {{"Nobody listens", ClosedPort(), other.User(), other.Password()}, "the connection was refused"},
        {{"Wrong POP3 password", servers->Pop3Port, other.User(), "not-the-password"}, "Sign-in failed"},
        {{"Wrong IMAP password", servers->ImapPort, other.User(), "not-the-password", "IMAP"}, "Sign-in failed"},
    };
    for (const auto& b : broken) AddAccount(b.account);
    ASSERT_EQ(Cli({"blacklist", "add", "spam.test"}).status, 0);

    for (const std::string command : {"check", "process"}) {
        SCOPED_TRACE(command);
        const TRun run = Cli({command});
        EXPECT_EQ(run.status, 1) << run.err;
        for (const auto& b : broken) {
            const size_t named = run.err.find("account \"" + b.account.description + "\": ");
            ASSERT_NE(named, std::string::npos) << run.err;
            EXPECT_NE(run.err.find(b.reason, named), std::string::npos) << run.err;
        }
        EXPECT_EQ(run.err.find("\"Work\""), std::string::npos) << run.err;
        // The account that works is scanned and processed all the same.
        EXPECT_NE(run.out.find("InBox (1)\n  Work\tfriend@ok.test\thello\t"), std::string::npos) << run.out;
    }
    EXPECT_EQ(good.Subjects(), std::vector<std::string>{"hello"});
    EXPECT_EQ(other.Messages().size(), 1u);
}

TEST_F(TCliMailTest, ControlCharactersFromTheServerNeverReachTheTerminal) {
    TTestMailbox box({
        Message("friend@ok.test", "Clear\x1b[2Jscreen\x07 now"),
        Message("\"\x1b]0;title\x07\" <king@spam.test>", "=?utf-8?Q?tab=09nul=00bell=07esc=1B[2J?="),
        Message("king@spam.test", "=?iso-8859-1?Q?c1=9B2J_and=7Fdel?= \x81raw"),
        Message("friend@ok.test", "=?iso-8859-1?Q?Gr=FC=DFe_aus_M=FCnchen?="),
    });
    AddAccount(box);
    ASSERT_EQ(Cli({"blacklist", "add", "spam.test"}).status, 0);

    const TRun check = Cli({"check", "--verbose"});
    const TRun process = Cli({"process", "--verbose"});
    for (const TRun* run : {&check, &process}) {
        ASSERT_EQ(run->status, 0) << run->err;
        EXPECT_EQ(ControlsIn(run->out), "") << run->out;
        EXPECT_EQ(ControlsIn(run->err), "") << run->err;
    }
    EXPECT_NE(check.out.find("Clear\xEF\xBF\xBD[2Jscreen\xEF\xBF\xBD now"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("tab\xEF\xBF\xBDnul"), std::string::npos) << check.out;
    // Letters of the code page reach the terminal as UTF-8.
    EXPECT_NE(check.out.find("\tGr\xC3\xBC\xC3\x9F" "e aus M\xC3\xBCnchen\t"), std::string::npos) << check.out;
    // A tab inside a subject would start a column of its own.
    for (const std::string& line : LinesOf(check.out)) {
        if (line.rfind("  Work\t", 0) != 0) continue;
        const auto tabs = std::count(line.begin(), line.end(), '\t');
        EXPECT_TRUE(tabs == 4 || tabs == 6) << line;
    }
    for (const std::string& line : LinesOf(process.out)) {
        if (line.find("\t#") == std::string::npos) continue;
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 4) << line;
    }
}

// The server takes the first line of the message, then hangs up.
TScript HangsUpInData() {
    return {S("220 fake ESMTP\r\n"), C("EHLO *"), S("250 fake\r\n"), C("MAIL FROM:*"), S("250 ok\r\n"),
            C("RCPT TO:*"),          S("250 ok\r\n"), C("DATA"),      S("354 go on\r\n"), C("*"), Close()};
}

TEST_F(TCliMailTest, ProcessReportsAForwardOrBounceCutOffInDataAsNotDone) {
    // One connection for the forwarded header, one for the error message.
    TFakeServer smtp(TFakeServer::Several, {HangsUpInData(), HangsUpInData()}, false, 30000);
    TTestMailbox box({Message("friend@ok.test", "hello"), Message("seller@shop.test", "cheap viagra"),
                      Message("lotto@prizes.test", "you won the lottery")});
    AddAccount(box, smtp.Port());
    AddFilters({{"viagra", 4}, {"lottery", 3}});

    const TRun run = Cli({"process"});
    EXPECT_EQ(run.status, 1) << run.err;
    const struct {
        const char* row;
        const char* outcome;
    } rows[] = {
        {"\t#2\tseller@shop.test\tcheap viagra\theader not forwarded, deleted (", "header forwarded"},
        {"\t#3\tlotto@prizes.test\tyou won the lottery\tnot bounced, deleted (", "\tbounced"},
    };
    for (const auto& r : rows) {
        EXPECT_NE(run.out.find(r.row), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find(r.outcome), std::string::npos) << run.out;
    }
    EXPECT_NE(run.err.find("1 header(s) were not forwarded"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("1 error message(s) were not sent"), std::string::npos) << run.err;
    EXPECT_EQ(smtp.Connections(), 2);
    EXPECT_EQ(box.Subjects(), std::vector<std::string>{"hello"});
}

}  // namespace
