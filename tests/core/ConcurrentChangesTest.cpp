// Another client changes the mailbox while Tarnwick scans it or processes it:
// whatever the order of events, Process Mail deletes exactly the messages it
// classified as spam and nothing else.
#include "core/MailRunFixture.h"
#include "mail/ImapClient.h"

#include <algorithm>
#include <set>

namespace {

enum class TEvent { Expunge, NewMail, Both };
enum class TPhase { Scan, Process };

class TConcurrentChangesTest : public TMailRunTest {
protected:
    // A second, ordinary IMAP client expunges the message with this subject.
    void ExpungeBySubject(const TTestMailbox& box, const std::string& subject) {
        TImapClient other;
        other.Host = servers->Host;
        other.Port = servers->ImapPort;
        other.Username = box.User();
        other.Password = box.Password();
        ASSERT_TRUE(other.Login());
        ASSERT_TRUE(other.SelectMailbox("INBOX"));
        std::map<long long, std::vector<std::string>> headers;
        ASSERT_TRUE(other.FetchHeadersByUid(1, static_cast<int>(other.SelectedExists), headers));
        for (const auto& [uid, lines] : headers)
            if (std::find(lines.begin(), lines.end(), "Subject: " + subject) != lines.end()) {
                ASSERT_TRUE(other.UidStoreDeleted(uid));
                ASSERT_EQ(other.SendCommand("EXPUNGE"), "OK");
            }
        other.Logout();
    }

    static std::set<std::string> Subjects(TTable& table) {
        std::set<std::string> subjects;
        for (table.First(); !table.Eof(); table.Next()) subjects.insert(table.AsString("subject"));
        return subjects;
    }

    // One run: the event happens at the given call of ProcessMessages in the
    // given phase. False when the phase has fewer calls (nothing happened).
    bool Run(const std::string& proto, TPhase phase, TEvent event, int atCall) {
        TTestMailbox box({Message("ham@ok.test", "ham-1"), Message("lotto@prizes.test", "spam-2 lottery"),
                          Message("ham@ok.test", "ham-3"), Message("bulk@spam.test", "spam-4"),
                          Message("ham@ok.test", "ham-5"), Message("ham@ok.test", "ham-6")});
        while (!dm.cdsAccounts.IsEmpty()) dm.cdsAccounts.Delete();
        AddAccount("Main", proto, box);
        bool happened = false;
        int calls = 0;
        const auto arm = [&] {
            calls = 0;
            ui.onProcessMessages = [&](int) {
                if (++calls != atCall || happened) return;
                happened = true;
                if (event != TEvent::NewMail) ExpungeBySubject(box, "ham-1");
                if (event != TEvent::Expunge) box.Add(Message("new@ok.test", "new mail"));
            };
        };
        if (phase == TPhase::Scan) arm();
        commands->ReceiveIdentityMailExecute();
        ui.onProcessMessages = nullptr;
        const std::set<std::string> classified = Subjects(dm.cdsDelBox);
        // Only spam is ever classified as spam, whatever moved under the scan.
        for (const std::string& subject : classified) EXPECT_EQ(subject.rfind("spam-", 0), 0u) << subject;
        if (phase == TPhase::Process) {
            EXPECT_EQ(classified, (std::set<std::string>{"spam-2 lottery", "spam-4"}));
            arm();
        }
        commands->DoProcessMail();
        ui.onProcessMessages = nullptr;
        if (!happened) return false;

        std::vector<std::string> expected;
        for (const std::string subject : {"ham-1", "spam-2 lottery", "ham-3", "spam-4", "ham-5", "ham-6"})
            if (!classified.count(subject) && !(subject == "ham-1" && event != TEvent::NewMail))
                expected.push_back(subject);
        if (event != TEvent::Expunge) expected.push_back("new mail");
        EXPECT_EQ(box.Subjects(), expected) << ::testing::PrintToString(LogTexts());
        EXPECT_TRUE(dm.cdsDelBox.IsEmpty()) << ::testing::PrintToString(LogTexts());
        return true;
    }

    void RunEveryOrder(const std::string& proto, TPhase phase) {
        if (dm.cdsBlackList.IsEmpty()) AddList(dm.cdsBlackList, "spam.test");
        if (filters->cdsFilterCategory.IsEmpty()) AddFilter("bounce", 3, "lottery");
        for (TEvent event : {TEvent::Expunge, TEvent::NewMail, TEvent::Both})
            for (int call = 1;; ++call) {
                SCOPED_TRACE(proto + ", event " + std::to_string(static_cast<int>(event)) + ", at call " +
                             std::to_string(call));
                if (!Run(proto, phase, event, call) || HasFailure()) break;
            }
    }
};

TEST_F(TConcurrentChangesTest, Pop3WhileProcessing) { RunEveryOrder("POP3", TPhase::Process); }
TEST_F(TConcurrentChangesTest, ImapWhileProcessing) { RunEveryOrder("IMAP", TPhase::Process); }
TEST_F(TConcurrentChangesTest, Pop3WhileScanning) { RunEveryOrder("POP3", TPhase::Scan); }
TEST_F(TConcurrentChangesTest, ImapWhileScanning) { RunEveryOrder("IMAP", TPhase::Scan); }

}  // namespace
