// The batch sender of error messages against the loopback Dovecot and SMTP
// capture server, opened from the InBox as the user does.
#include "complaints/BatchErrorMessages.h"
#include "core/BoxView.h"
#include "core/MailRunFixture.h"

#include <gtest/gtest.h>

namespace {

using TStrings = std::vector<std::string>;

// Runs the batch as its window does once shown.
class TBatchUserInterface : public TFakeUserInterface {
public:
    std::function<void(TBatchErrorMessages&)> beforeRun;
    std::vector<TBatchTask> tasks;
    bool closeEnabled = false, abortEnabled = true;
    int progress = 0, progressMaximum = 0;
    void ShowErrorMessageSender(TBatchErrorMessages& batch) override {
        if (beforeRun) beforeRun(batch);
        batch.Run();
        tasks = batch.Tasks;
        closeEnabled = batch.CloseEnabled;
        abortEnabled = batch.AbortEnabled;
        progress = batch.Progress;
        progressMaximum = batch.ProgressMaximum;
    }
};

class TBatchTest : public TMailRunTest {
protected:
    TBatchUserInterface batchUi;
    TUserInterfaceScope batchScope{batchUi};

    void AddRow(std::int64_t account, std::int64_t number, const std::string& from, bool selected = true) {
        auto& in = dm.cdsInBox;
        in.Append();
        in.SetValue("idaccount", account);
        in.SetValue("messagenum", number);
        in.SetValue("from", from);
        in.SetValue("subject", "offer");
        in.SetValue("header", "stored header of " + from);
        in.SetValue("Selected", selected);
        in.Post();
    }
    static TStrings Captions(const std::vector<TBatchTask>& tasks) {
        TStrings captions;
        for (const TBatchTask& task : tasks) captions.push_back(task.caption);
        return captions;
    }
    static TStrings Statuses(const TBatchTask& task) { return task.statuses; }
};

TEST_F(TBatchTest, RowsAreGroupedByAccountAndEachAccountIsConnectedOncePerPhase) {
    const std::string s1 = UniqueTestName("s1") + "@spam.example", s2 = UniqueTestName("s2") + "@spam.example",
                      s3 = UniqueTestName("s3") + "@spam.example";
    TTestMailbox first({Message(s2, "second account's spam")});
    TTestMailbox second({Message(s1, "one"), Message(s3, "three")});
    const std::int64_t a1 = AddAccount("First", "POP3", first);
    const std::int64_t a2 = AddAccount("Second", "POP3", second);
    AddRow(a2, 1, "Spammer <" + s1 + ">");
    AddRow(a1, 1, s2);
    AddRow(a2, 2, s3);
    AddRow(a1, 1, "not ticked <nobody@spam.example>", false);
    TBoxView view(dm, TBoxView::TKind::InBox);
    view.RecountTicks();
    view.Actions["SendErrorMsg"].Execute();

    const std::string h = servers->Host;
    EXPECT_EQ(Captions(batchUi.tasks),
              (TStrings{"Connect to POP3 server  " + h, "Retrive headers from  " + h, "Connecting to SMTP  127.0.0.1",
                        "Send error messages to  127.0.0.1", "Connect to POP3 server  " + h,
                        "Retrive headers from  " + h, "Connecting to SMTP  127.0.0.1",
                        "Send error messages to  127.0.0.1"}));
    // Newest status first; one connection per account and phase.
    for (int task : {0, 2, 4, 6}) EXPECT_EQ(Statuses(batchUi.tasks[task]), (TStrings{"Done", "Run"})) << task;
    EXPECT_EQ(Statuses(batchUi.tasks[5]), (TStrings{"Done", "Run", "Done", "Run"}));
    EXPECT_EQ(batchUi.tasks[7].state, TBatchTask::TState::Done);
    EXPECT_EQ(batchUi.progress, 6);
    EXPECT_EQ(batchUi.progressMaximum, 6);
    EXPECT_TRUE(batchUi.closeEnabled);
    EXPECT_FALSE(batchUi.abortEnabled);

    for (const auto& [spammer, subject, account] :
         {std::tuple{s1, "one", &second}, std::tuple{s2, "second account's spam", &first}, std::tuple{s3, "three", &second}}) {
        const auto mail = CapturedMail(spammer);
        ASSERT_EQ(mail.size(), 1u) << spammer;
        EXPECT_EQ(mail[0].MailFrom, "MAILER-DAEMON@" + h);
        // The downloaded message is the copy; the account's address is the one that "failed".
        EXPECT_NE(mail[0].Data.find("Subject: " + std::string(subject) + "\r\n"), std::string::npos) << mail[0].Data;
        EXPECT_NE(mail[0].Data.find("550 <" + account->User() + "@example.test>... User unknown"), std::string::npos);
        EXPECT_NE(mail[0].Data.find("To: " + spammer + "\r\n"), std::string::npos);
    }
    EXPECT_EQ(dm.cdsInBox.IndexName(), "idaccount");
    EXPECT_EQ(dm.cdsInBox.RecordCount(), 4);  // "Send error message" keeps the rows
}

TEST_F(TBatchTest, AbortInTheDownloadsSendsNothingAndAndDeleteStillMovesTheRows) {
    const std::string s1 = UniqueTestName("s1") + "@spam.example", s2 = UniqueTestName("s2") + "@spam.example";
    TTestMailbox box({Message(s1, "one"), Message(s2, "two")});
    const std::int64_t a = AddAccount("Main", "POP3", box);
    AddRow(a, 1, s1);
    AddRow(a, 2, s2);
    TBoxView view(dm, TBoxView::TKind::InBox);
    view.RecountTicks();
    batchUi.beforeRun = [this](TBatchErrorMessages& batch) {
        batchUi.onProcessMessages = [&batch](int) { batch.Abort(); };
    };
    view.Actions["SendErrorMsgAndDel"].Execute();
    batchUi.onProcessMessages = nullptr;
    EXPECT_TRUE(CapturedMail(s1).empty());
    EXPECT_TRUE(CapturedMail(s2).empty());
    EXPECT_TRUE(batchUi.closeEnabled);
    // Aborted at the second row: the first was downloaded, no SMTP connection made.
    EXPECT_EQ(batchUi.tasks[2].state, TBatchTask::TState::None);
    EXPECT_EQ(dm.cdsInBox.RecordCount(), 0);
    EXPECT_EQ(dm.cdsDelBox.RecordCount(), 2);
}

// A row whose account was deleted since the scan is never sent with another
// account's settings: its tasks say "Error", the other account goes on.
TEST_F(TBatchTest, ARowOfADeletedAccountIsAnErrorAndSkipped) {
    const std::string kept = UniqueTestName("kept") + "@spam.example", lost = UniqueTestName("lost") + "@spam.example";
    TTestMailbox box({Message(kept, "one")});
    const std::int64_t a = AddAccount("Main", "POP3", box);
    AddRow(a, 1, kept);
    AddRow(a + 100, 1, lost);
    TBoxView view(dm, TBoxView::TKind::InBox);
    view.RecountTicks();
    view.Actions["SendErrorMsg"].Execute();
    ASSERT_EQ(batchUi.tasks.size(), 8u);
    EXPECT_EQ(batchUi.tasks[4].caption, "Connect to POP3 server  #" + std::to_string(a + 100));
    EXPECT_EQ(Statuses(batchUi.tasks[4]), (TStrings{"Error", "Run"}));
    EXPECT_EQ(Statuses(batchUi.tasks[6]), (TStrings{"Error", "Run"}));
    EXPECT_TRUE(batchUi.tasks[7].statuses.empty());
    EXPECT_EQ(CapturedMail(kept).size(), 1u);
    EXPECT_TRUE(CapturedMail(lost).empty());
    EXPECT_EQ(batchUi.progress, batchUi.progressMaximum - 1);  // the lost row was never downloaded
}

TEST_F(TBatchTest, NoTickedRowMeansNoTaskAndCloseAtOnce) {
    TTestMailbox box;
    const std::int64_t a = AddAccount("Main", "POP3", box);
    AddRow(a, 1, "x@spam.example", false);
    TBatchErrorMessages batch(dm.cdsInBox, TComplaintTemplates::Defaults().error, nullptr);
    batch.Show();
    batch.Run();
    EXPECT_TRUE(batch.Tasks.empty());
    EXPECT_EQ(batch.ProgressMaximum, 0);
    EXPECT_TRUE(batch.CloseEnabled);
}

}  // namespace
