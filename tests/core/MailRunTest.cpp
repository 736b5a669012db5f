// Receive Mail and Process Mail end to end, against the loopback Dovecot and
// SMTP capture server.
#include "core/BoxView.h"
#include "core/MailRunFixture.h"
#include "filtering/Regex.h"

namespace {

TEST_F(TMailRunTest, ScanClassifiesAndProcessLeavesExactlyTheWantedMail) {
    for (const std::string proto : {"POP3", "IMAP"}) {
        SCOPED_TRACE(proto);
        const std::string spammer = UniqueTestName("lotto") + "@prizes.test";
        TTestMailbox box({
            Message("Good Friend <Friend@Good.test>", "friend and blacklisted"),
            Message("x@mail.SPAMMER.test", "blacklisted by domain"),
            Message(spammer, "win the lottery"),
            Message("seller@shop.test", "cheap viagra"),
            Message("me@example.test", "Filtered: old copy", "X-Tarnwick: Filtered\r\n"),
            Message("colleague@work.test", "report attached",
                    "Content-Type: Multipart/Mixed; boundary=\"b\"\r\n", "--b\r\n\r\ntext\r\n--b--\r\n"),
        });
        dm.cdsInBox.EmptyTable();
        dm.cdsDelBox.EmptyTable();
        if (dm.cdsFriends.IsEmpty()) {
            AddList(dm.cdsFriends, "friend@good.test");
            AddList(dm.cdsBlackList, "good.test");
            AddList(dm.cdsBlackList, "spammer.TEST");
            AddFilter("Lottery", 3, "lottery");
            AddFilter("Pills", 4, "viagra");
        }
        while (!dm.cdsAccounts.IsEmpty()) dm.cdsAccounts.Delete();
        const std::int64_t account = AddAccount("Main", proto, box);

        commands->ReceiveIdentityMailExecute();

        const auto inbox = Rows(dm.cdsInBox);
        ASSERT_EQ(inbox.size(), 2u);
        EXPECT_EQ(inbox[0].subject, "friend and blacklisted");
        EXPECT_EQ(inbox[0].idaction, -1);
        EXPECT_FALSE(inbox[0].attachment);
        EXPECT_EQ(inbox[1].subject, "report attached");
        EXPECT_TRUE(inbox[1].attachment);
        EXPECT_EQ(inbox[1].messagenum, 6);
        const auto delbox = Rows(dm.cdsDelBox);
        ASSERT_EQ(delbox.size(), 3u);
        EXPECT_EQ(delbox[0].subject, "blacklisted by domain");
        EXPECT_EQ(delbox[0].idaction, -1);
        EXPECT_EQ(delbox[0].reason, "Contains in BlackList");
        EXPECT_EQ(delbox[1].idaction, 3);
        EXPECT_NE(delbox[1].reason.find("lottery"), std::string::npos) << delbox[1].reason;
        EXPECT_EQ(delbox[2].idaction, 4);
        EXPECT_EQ(delbox[2].idaccount, account);
        EXPECT_TRUE(dm.Idle);
        EXPECT_FALSE(ui.statusWindowVisible);
        EXPECT_TRUE(ui.messages.empty()) << ui.messages[0].text;

        commands->DoProcessMail();

        EXPECT_TRUE(dm.cdsDelBox.IsEmpty()) << ::testing::PrintToString(LogTexts());
        EXPECT_EQ(box.Subjects(), (std::vector<std::string>{"friend and blacklisted", "Filtered: old copy",
                                                           "report attached"}));
        const auto bounces = CapturedMail(spammer);
        ASSERT_EQ(bounces.size(), 1u);
        EXPECT_EQ(bounces[0].MailFrom, "MAILER-DAEMON@" + servers->Host);
        EXPECT_NE(bounces[0].Data.find("Subject: Returned mail: User unknown"), std::string::npos);
        EXPECT_NE(bounces[0].Data.find("Subject: win the lottery"), std::string::npos);  // the copy
        const auto copies = CapturedMail(box.User() + "@" + servers->Host);
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_EQ(copies[0].MailFrom, "seller@shop.test");
        EXPECT_NE(copies[0].Data.find("X-Tarnwick: Filtered\r\n"), std::string::npos);
        EXPECT_NE(copies[0].Data.find("Subject: Filtered: cheap viagra"), std::string::npos);

        // The copy reaches the mailbox; the next scan leaves it alone.
        box.Add(copies[0].Data);
        commands->ReceiveIdentityMailExecute();
        EXPECT_EQ(Rows(dm.cdsInBox).size(), 2u);
        EXPECT_TRUE(dm.cdsDelBox.IsEmpty());
    }
}

TEST_F(TMailRunTest, LogOfAnIdentityWithoutAccountsAndOfAnEmptyMailbox) {
    commands->ReceiveIdentityMailExecute();
    EXPECT_EQ(LogTexts(), (std::vector<std::string>{"Receiving \"me\" identity mail", "", "Done"}));
    TTestMailbox empty;
    AddAccount("Empty", "POP3", empty);
    commands->ReceiveIdentityMailExecute();
    EXPECT_EQ(LogTexts(),
              (std::vector<std::string>{"Receiving \"me\" identity mail", "",
                                        "Login " + empty.User() + "@" + servers->Host + " | Ok",
                                        "Status Information | Ok", "Message Size Listing | Ok", "Logout", "",
                                        "Done"}));
    EXPECT_TRUE(dm.cdsInBox.IsEmpty());
}

TEST_F(TMailRunTest, EachMessageIsLoggedWithItsNumberAndSize) {
    TTestMailbox two({Message("a@b.test", "one"), Message("a@b.test", "two")});
    AddAccount("Two", "POP3", two);
    commands->ReceiveIdentityMailExecute();
    TRegex line(R"(^Retrieving message #(\d+) \((\d+)b size\) \| Ok$)");
    std::vector<std::string> numbers;
    for (const std::string& text : LogTexts())
        if (line.Exec(text) && std::stoll(line.Match(2)) > 100) numbers.push_back(line.Match(1));
    EXPECT_EQ(numbers, (std::vector<std::string>{"1", "2"}));
}

TEST_F(TMailRunTest, StopDuringTheFirstAccountSkipsTheSecond) {
    std::vector<std::string> ten;
    for (int i = 1; i <= 10; ++i) ten.push_back(Message("a@b.test", "message " + std::to_string(i)));
    TTestMailbox first(ten), second({Message("c@d.test", "never read")});
    AddAccount("First", "POP3", first);
    AddAccount("Second", "POP3", second);
    ui.onProcessMessages = [&](int) {
        const auto& lines = dm.StatusLog.Lines();
        if (!lines.empty() && lines.back().Text.rfind("Retrieving message #5 ", 0) == 0) dm.Idle = true;
    };
    commands->ReceiveIdentityMailExecute();
    EXPECT_EQ(Rows(dm.cdsInBox).size(), 5u);
    const auto log = LogTexts();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(log.end() - 3, log.end()), (std::vector<std::string>{"Logout", "", "Done"}));
    for (const auto& line : log) EXPECT_EQ(line.find(second.User()), std::string::npos) << line;
}

TEST_F(TMailRunTest, ProcessMailLogsTwoAccountsAndKeepsAFailedDeletion) {
    TTestMailbox one({Message("x@spam.test", "a"), Message("x@spam.test", "b")});
    TTestMailbox two({Message("x@spam.test", "c")});
    AddList(dm.cdsBlackList, "spam.test");
    AddAccount("One", "POP3", one);
    AddAccount("Two", "POP3", two);
    commands->ReceiveIdentityMailExecute();
    ASSERT_EQ(Rows(dm.cdsDelBox).size(), 3u);
    // A row the server cannot delete: its number names no message.
    dm.cdsDelBox.Last();
    dm.cdsDelBox.Edit();
    dm.cdsDelBox.SetValue("messagenum", std::int64_t{9});
    dm.cdsDelBox.SetValue("uid", std::string("fp:0"));
    dm.cdsDelBox.Post();
    commands->DoProcessMail();
    const std::string login1 = "Login " + one.User() + "@" + servers->Host + " | Ok";
    const std::string login2 = "Login " + two.User() + "@" + servers->Host + " | Ok";
    const auto log = LogTexts();
    ASSERT_GE(log.size(), 12u) << ::testing::PrintToString(log);
    EXPECT_EQ(log[0], "Sending header of the message | Done");
    EXPECT_EQ(log[1], login1);
    EXPECT_EQ(log[2], "Retrieving account statistics | Ok");
    EXPECT_EQ(log[3], "Deleting message #1 from account \"One\" | Ok");
    EXPECT_EQ(log[5], "Deleting message #2 from account \"One\" | Ok");
    EXPECT_EQ(log[6], "Logout");
    EXPECT_EQ(log[7], login2);
    EXPECT_EQ(log[9], "Deleting message #9 from account \"Two\" | Error");
    EXPECT_EQ(log.back(), "Logout");
    EXPECT_TRUE(one.Messages().empty());
    EXPECT_EQ(two.Messages().size(), 1u);
    const auto left = Rows(dm.cdsDelBox);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].messagenum, 9);
}

TEST_F(TMailRunTest, ProcessMailDeletesOnlyTheScannedSpamWhenAnotherClientChangedTheMailbox) {
    for (const std::string proto : {"POP3", "IMAP"}) {
        SCOPED_TRACE(proto);
        TTestMailbox box({Message("x@spam.test", "spam A"), Message("friend@ok.test", "wanted 1"),
                          Message("x@spam.test", "spam B")});
        if (dm.cdsBlackList.IsEmpty()) AddList(dm.cdsBlackList, "spam.test");
        while (!dm.cdsAccounts.IsEmpty()) dm.cdsAccounts.Delete();
        AddAccount("Main", proto, box);
        commands->ReceiveIdentityMailExecute();
        ASSERT_EQ(Rows(dm.cdsDelBox).size(), 2u);

        // Another client deletes message 1 and new mail arrives.
        TPop3Client other;
        other.Host = servers->Host;
        other.Port = servers->Pop3Port;
        other.Username = box.User();
        other.Password = box.Password();
        ASSERT_TRUE(other.Login());
        ASSERT_TRUE(other.Dele(1));
        other.Logout();
        box.Add(Message("friend@ok.test", "wanted 2"));

        commands->DoProcessMail();
        EXPECT_EQ(box.Subjects(), (std::vector<std::string>{"wanted 1", "wanted 2"}));
        const auto left = Rows(dm.cdsDelBox);
        ASSERT_EQ(left.size(), 1u);
        EXPECT_EQ(left[0].subject, "spam A");
        const auto log = LogTexts();
        EXPECT_NE(std::find(log.begin(), log.end(),
                            "The message is no longer on the server as it was checked; not deleted | Error"),
                  log.end())
            << ::testing::PrintToString(log);
    }
}

TEST_F(TMailRunTest, RowsOfAnAccountThatIsGoneAreNeverDeletedElsewhere) {
    TTestMailbox box({Message("x@spam.test", "spam")});
    AddList(dm.cdsBlackList, "spam.test");
    AddAccount("Main", "POP3", box);
    commands->ReceiveIdentityMailExecute();
    ASSERT_EQ(Rows(dm.cdsDelBox).size(), 1u);
    dm.cdsDelBox.First();
    dm.cdsDelBox.Edit();
    dm.cdsDelBox.SetValue("idaccount", std::int64_t{999});
    dm.cdsDelBox.Post();
    commands->DoProcessMail();
    EXPECT_EQ(box.Messages().size(), 1u);
    EXPECT_EQ(Rows(dm.cdsDelBox).size(), 1u);
    EXPECT_EQ(LogTexts().back(), "Message #1: its account no longer exists | Error");
}

TEST_F(TMailRunTest, RetrieveBodyUsesTheRowsAccountAndGivesTheSameTextTwice) {
    TTestMailbox first({Message("a@ok.test", "first")}), second({Message("x@spam.test", "second", "",
                                                                         "=?ISO-8859-1?Q?Gr=FC=DFe?=\r\n")});
    AddList(dm.cdsBlackList, "spam.test");
    AddAccount("First", "POP3", first);
    AddAccount("Second", "IMAP", second);
    commands->ReceiveIdentityMailExecute();
    dm.cdsInBox.First();
    dm.cdsDelBox.First();
    commands->DelRetrieveBodyExecute();
    const std::string text = dm.cdsDelBox.AsString("header");
    EXPECT_NE(text.find("Subject: second"), std::string::npos);
    EXPECT_NE(text.find("Gr\xFC\xDF" "e\r\n\n\r"), std::string::npos) << text;
    commands->DelRetrieveBodyExecute();
    EXPECT_EQ(dm.cdsDelBox.AsString("header"), text);
    EXPECT_EQ(second.Messages().size(), 1u);
    EXPECT_EQ(dm.cdsInBox.AsString("subject"), "first");
}

TEST_F(TMailRunTest, ComplainHandsTheRowsFieldsToTheComplaintWindow) {
    TTestMailbox box({Message("Spam King <king@spam.test>", "buy")});
    AddList(dm.cdsBlackList, "spam.test");
    AddAccount("Main", "POP3", box);
    commands->ReceiveIdentityMailExecute();
    dm.cdsDelBox.First();
    ASSERT_TRUE(dm.Actions["DelBoxComplain"].Execute());
    EXPECT_EQ(ui.complaintWindowShown, 1);
    EXPECT_EQ(complaint.MessageFrom, "Spam King <king@spam.test>");
    EXPECT_EQ(complaint.MessageSubject, "buy");
    EXPECT_EQ(complaint.SenderAddress, box.User() + "@example.test");
    EXPECT_EQ(complaint.MessageNumber, 1);
    EXPECT_NE(complaint.MessageText.find("Subject: buy"), std::string::npos);
}

}  // namespace

namespace {

TEST_F(TMailRunTest, ADamagedRuleKeepsTheMessageAndTheScanGoesOn) {
    TTestMailbox box({Message("a@b.test", "first"), Message("c@d.test", "second")});
    AddFilter("Broken", 1, "anything");
    // A damaged rules table: the pattern of "Contains" no longer compiles.
    auto& rules = filters->cdsRules;
    ASSERT_TRUE(rules.Locate("id", std::int64_t{1}));
    rules.Edit();
    rules.SetValue("RegularExpr", std::string("($&"));
    rules.Post();
    FilterEngine().CacheStale = true;
    AddAccount("Main", "POP3", box);
    commands->ReceiveIdentityMailExecute();
    EXPECT_EQ(Rows(dm.cdsInBox).size(), 2u);
    EXPECT_TRUE(dm.cdsDelBox.IsEmpty());
    const auto log = LogTexts();
    ASSERT_EQ(log.size(), 10u) << ::testing::PrintToString(log);
    EXPECT_EQ(log[5].substr(log[5].size() - 8), "Ok Error");
    EXPECT_EQ(log[6].substr(log[6].size() - 8), "Ok Error");
}

TEST_F(TMailRunTest, AnAccountWithoutAMailboxKindIsAFailedSignIn) {
    TTestMailbox box({Message("a@b.test", "never read")});
    AddAccount("Odd", "XYZ", box);
    commands->ReceiveIdentityMailExecute();
    const auto log = LogTexts();
    ASSERT_EQ(log.size(), 4u) << ::testing::PrintToString(log);
    EXPECT_EQ(log[2], "Login " + box.User() + "@" + servers->Host + " | Error");
    EXPECT_TRUE(dm.cdsInBox.IsEmpty());
}

}  // namespace

namespace {

TEST_F(TMailRunTest, ProcessMailIsAvailableOnlyWithDelBoxRowsAndNeverDuringAScan) {
    TTestMailbox box({Message("x@spam.test", "spam")});
    AddList(dm.cdsBlackList, "spam.test");
    AddAccount("Main", "POP3", box);
    TAction& process = dm.Actions["ProcessMail"];
    TAction& run = dm.Actions["RunMailClient"];
    EXPECT_FALSE(process.Update());
    EXPECT_FALSE(run.Update());
    bool availableDuringScan = true;
    ui.onProcessMessages = [&](int) { availableDuringScan = availableDuringScan && process.Update(); };
    ASSERT_TRUE(dm.Actions["ReceiveIdentityMail"].Execute());
    ui.onProcessMessages = nullptr;
    EXPECT_FALSE(availableDuringScan);
    EXPECT_TRUE(process.Enabled());  // the scan's end already ran the rule
    EXPECT_TRUE(process.Update());
    EXPECT_TRUE(run.Update());
    ASSERT_TRUE(process.Execute());
    EXPECT_TRUE(box.Messages().empty());
    EXPECT_FALSE(process.Update());
    EXPECT_FALSE(run.Update());
}

}  // namespace

namespace {

// An encoded word in the display name is text the sender chose: it can never
// pose as the address, for the friends list, the blacklist or a bounce.
TEST_F(TMailRunTest, AnAddressInsideAnEncodedWordIsNotTheSender) {
    const std::string posing = "=?us-ascii?Q?=3Cboss=40friend.example=3E?=";
    const std::string bounced = UniqueTestName("bulk") + "@prizes.test";
    TTestMailbox box({Message(posing + " <bulk@spam.example>", "hello boss"),
                      Message(posing + " <" + bounced + ">", "lottery win")});
    AddList(dm.cdsFriends, "boss@friend.example");
    AddList(dm.cdsBlackList, "spam.example");
    AddFilter("bounce", 3, "lottery");
    AddAccount("Main", "POP3", box);
    commands->ReceiveIdentityMailExecute();
    EXPECT_TRUE(dm.cdsInBox.IsEmpty());
    const auto rows = Rows(dm.cdsDelBox);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].from, "<boss@friend.example> <bulk@spam.example>");
    EXPECT_EQ(rows[0].reason, "Contains in BlackList");
    EXPECT_EQ(rows[1].idaction, 3);
    commands->DoProcessMail();
    EXPECT_EQ(CapturedMail(bounced).size(), 1u);
    EXPECT_TRUE(CapturedMail("boss@friend.example").empty());
    EXPECT_TRUE(box.Subjects().empty());
}

}  // namespace

namespace {

// The hits of a scan's catches are written together, and they are written:
// the filter files hold them once the scan is over.
TEST_F(TMailRunTest, TheHitCountsOfAScanReachTheFilterFiles) {
    TTestMailbox box({Message("a@x.test", "lottery one"), Message("b@x.test", "lottery two"),
                      Message("c@x.test", "hello")});
    AddFilter("lotto", 1, "lottery");
    AddAccount("Main", "POP3", box);
    commands->ReceiveIdentityMailExecute();
    ASSERT_EQ(Rows(dm.cdsDelBox).size(), 2u);
    EXPECT_FALSE(filters->HitCountBatchOpen());
    TFilterDM reread;
    ASSERT_TRUE(reread.cdsFilterCategory.Locate("NameCategory", std::string("lotto")));
    EXPECT_EQ(reread.cdsFilterCategory.AsInteger("Hits"), 2);
}

}  // namespace

namespace {

// Rows moved by hand carry what names their message on the server: a spam
// moved to DelBox is deleted, a message moved back stays.
TEST_F(TMailRunTest, HandMovedRowsAreProcessedLikeScannedOnes) {
    for (const std::string proto : {"POP3", "IMAP"}) {
        SCOPED_TRACE(proto);
        TTestMailbox box({Message("a@ok.test", "keep 1"), Message("b@ok.test", "hand spam 1"),
                          Message("c@ok.test", "hand spam 2"), Message("x@spam.test", "spam but wanted"),
                          Message("y@spam.test", "spam")});
        if (dm.cdsBlackList.IsEmpty()) AddList(dm.cdsBlackList, "spam.test");
        while (!dm.cdsAccounts.IsEmpty()) dm.cdsAccounts.Delete();
        AddAccount("Main", proto, box);
        TBoxView inBox(dm, TBoxView::TKind::InBox), delBox(dm, TBoxView::TKind::DelBox);
        commands->ReceiveIdentityMailExecute();
        for (const char* subject : {"hand spam 1", "hand spam 2"}) {
            ASSERT_TRUE(dm.cdsInBox.Locate("subject", std::string(subject)));
            inBox.ToggleCurrent();
        }
        inBox.MoveRows();
        ASSERT_TRUE(dm.cdsDelBox.Locate("subject", std::string("spam but wanted")));
        delBox.MoveRows();
        commands->DoProcessMail();
        EXPECT_EQ(box.Subjects(), (std::vector<std::string>{"keep 1", "spam but wanted"}));
        EXPECT_TRUE(dm.cdsDelBox.IsEmpty()) << ::testing::PrintToString(LogTexts());
    }
}

}  // namespace
