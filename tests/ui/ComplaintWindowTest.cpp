// The complaint window and the batch sender, driven offscreen from the InBox
// against the loopback Dovecot, the SMTP capture and a scripted whois server.
#include "complaints/ComplaintForm.h"
#include "mail/FakeServer.h"
#include "servers/MailServers.h"
#include "ui/ProgramFixture.h"
#include "ui/WidgetTestSupport.h"
#include "ui/boxes/BoxFrame.h"
#include "ui/complaints/ComplaintWindow.h"
#include "ui/main/AntiSpamWindow.h"
#include "ui/main/RetrievalStatusForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <fstream>

namespace {

std::string Spam(const std::string& from, const std::string& subject) {
    return "Received: from relay.spam.example ([203.0.113.9]) by mx.example.org\r\nFrom: " + from +
           "\r\nTo: anna@example.org\r\nSubject: " + subject + "\r\nDate: Tue, 3 Jun 2003 10:00:00 +0200\r\nMessage-ID: <" +
           UniqueTestName("m") + "@x>\r\n\r\nBuy now.\r\nReply to sales@spam.example\r\n";
}

QPushButton& ButtonWithText(QWidget& parent, const QString& text) {
    for (QPushButton* button : parent.findChildren<QPushButton*>())
        if (button->text() == text && button->isVisible()) return *button;
    throw std::runtime_error("no button " + text.toStdString());
}

class TComplaintWindowTest : public TDesktopProgramTest {
protected:
    TComplaintWindowTest() : TDesktopProgramTest("complaint-window") {}
    const TMailServerInfo* servers = RequireMailServers();

    // The demo account on the loopback servers; whois answered by whoisPort.
    void StartProgram(const TTestMailbox& box, const std::string& whoisPort, const std::string& errorTemplate = "") {
        ASSERT_TRUE(servers);
        PrepareHome({&box}, true);
        std::ofstream(home + "/misc.ini", std::ios::app) << "[Whois]\r\nIPServer=127.0.0.1:" << whoisPort << "\r\n";
        if (!errorTemplate.empty()) std::ofstream(home + "/error.txt", std::ios::binary) << "\r\n" << errorTemplate;
        StartSignedIn();
        // Test addresses have no reverse name; the system resolver is not asked.
        program->Complaint()->WhoisSettings = [] {
            TWhoisSettings settings = TWhoisSettings::FromMiscIni();
            settings.reverseName = [](const std::string&) { return std::string(); };
            return settings;
        };
        ASSERT_TRUE(program->DataModule()->Actions["ReceiveIdentityMail"].Execute());
        program->StatusForm()->hide();
        ASSERT_GE(program->DataModule()->cdsInBox.RecordCount(), 1);
    }
    // Opens the complaint window from the InBox's own button and runs steps in it.
    void Complain(std::function<void(QWidget&)> steps) {
        bool ran = false;
        WhenModal([&](QWidget& window) {
            EXPECT_EQ(window.objectName(), "ComplaintForm");
            steps(window);
            ran = true;
            Find<QPushButton>(window, "btnCancel").click();
        });
        ButtonWithText(*program->InBoxFrame(), "Complain").click();
        EXPECT_TRUE(ran);
    }
    std::vector<std::string> ShownTexts() {
        std::vector<std::string> texts;
        for (const auto& shown : Ui().Shown) texts.push_back(shown.text);
        return texts;
    }
};

TEST_F(TComplaintWindowTest, CheckThenAnAdminComplaintToTwoCheckedAddresses) {
    const std::string spammer = UniqueTestName("spammer") + "@spam.example";
    TTestMailbox box({Spam(spammer, "Cheap pills")});
    const std::string a1 = UniqueTestName("abuse") + "@net.example", a2 = UniqueTestName("noc") + "@net.example";
    TFakeServer whois({C("203.0.113.9"), S("OrgAbuseEmail: " + a1 + "\r\nOrgNOCEmail: " + a2 + "\r\n"), Close()});
    ASSERT_NO_FATAL_FAILURE(StartProgram(box, whois.Port()));
    Complain([&](QWidget& window) {
        EXPECT_EQ(Find<QComboBox>(window, "cbIPList").currentText(), "203.0.113.9");
        QPushButton& send = Find<QPushButton>(window, "SendAdminComplaintButton");
        EXPECT_FALSE(send.isEnabled());
        Find<QPushButton>(window, "CheckButton").click();
        QListWidget& admins = Find<QListWidget>(window, "clbAdminMailList");
        ASSERT_EQ(admins.count(), 2);
        EXPECT_NE(Find<QPlainTextEdit>(window, "memoIPInformation").toPlainText().indexOf("OrgNOCEmail"), -1);
        EXPECT_TRUE(Find<QWidget>(window, "tsAdmin").isEnabled());
        admins.item(0)->setCheckState(Qt::Checked);
        EXPECT_TRUE(send.isEnabled());
        admins.item(1)->setCheckState(Qt::Checked);
        Ui().NextAnswers.push_back(TMsgResult::OK);
        send.click();
        // The users page lists the addresses of the message itself.
        QListWidget& users = Find<QListWidget>(window, "cblUserMail");
        ASSERT_EQ(users.count(), 2);
        EXPECT_EQ(users.item(0)->text().toStdString(), "anna@example.org");
    });
    EXPECT_EQ(ShownTexts(), std::vector<std::string>{"Admin message sent."});
    const auto mail = CapturedMail(a1);
    ASSERT_EQ(mail.size(), 1u);
    EXPECT_EQ(mail[0].Recipients, (std::vector<std::string>{std::min(a1, a2), std::max(a1, a2)}));
    EXPECT_EQ(mail[0].MailFrom, "anna@example.org");
    const std::string& data = mail[0].Data;
    EXPECT_EQ(data.rfind("From: anna@example.org\r\nTo: " + std::min(a1, a2) + ", " + std::max(a1, a2) +
                             "\r\nSubject: UCE Complaint(Cheap pills)\r\n\r\nOne of your users is sending SPAM. Take \r\n",
                         0),
              0u)
        << data;
    EXPECT_NE(data.find("--- Below this line is a copy of the message.\r\nReceived: from relay.spam.example"),
              std::string::npos);
}

TEST_F(TComplaintWindowTest, UserComplaintWithoutTheCopyAndErrorMessages) {
    const std::string spammer = UniqueTestName("spammer") + "@spam.example";
    TTestMailbox box({Spam(spammer, "Offer")});
    ASSERT_NO_FATAL_FAILURE(StartProgram(box, "1", "To: %SPAMER\r\n\r\n.dot line\r\n%MSG\r\n"));
    TTable& inBox = program->DataModule()->cdsInBox;
    // A From value without angle brackets is the recipient as it is.
    inBox.Edit();
    inBox.SetValue("from", "  " + spammer + "  ");
    inBox.Post();
    Complain([&](QWidget& window) {
        Find<QTabWidget>(window, "PageControl").setCurrentIndex(1);
        QListWidget& users = Find<QListWidget>(window, "cblUserMail");
        for (int i = 0; i < users.count(); ++i)
            if (users.item(i)->text().toStdString() == spammer) users.item(i)->setCheckState(Qt::Checked);
        Find<QCheckBox>(window, "cbUserMsgIncOrigMsg").setChecked(false);
        Find<QPlainTextEdit>(window, "memoUserMsgText").setPlainText("Stop it.\nLast line.");
        Ui().NextAnswers.push_back(TMsgResult::OK);
        Find<QPushButton>(window, "SendUserComplaintButton").click();
        Find<QTabWidget>(window, "PageControl").setCurrentIndex(2);
        Ui().NextAnswers.push_back(TMsgResult::OK);
        Find<QPushButton>(window, "SendErrMsgButton").click();
    });
    EXPECT_EQ(ShownTexts(), (std::vector<std::string>{"User message sent.", "Error message sent."}));
    const auto mail = CapturedMail(spammer);
    ASSERT_EQ(mail.size(), 2u);
    EXPECT_EQ(mail[0].Data, "From: anna@example.org\r\nTo: " + spammer +
                                "\r\nSubject: UCE Complaint(Offer)\r\n\r\nStop it.\r\nLast line.\r\n");
    EXPECT_EQ(mail[1].MailFrom, "MAILER-DAEMON@" + servers->Host);
    // The leading dot went over the wire doubled and arrived as written.
    EXPECT_EQ(mail[1].Data.rfind("To: " + spammer + "\r\n\r\n.dot line\r\nReceived: from relay", 0), 0u) << mail[1].Data;
}

// Without a stored header the message is downloaded first; when that fails,
// the error box is shown and the mail goes out with an empty copy.
TEST_F(TComplaintWindowTest, AnEmptyMessageTextIsDownloadedFirst) {
    const std::string spammer = UniqueTestName("spammer") + "@spam.example";
    TTestMailbox box({Spam(spammer, "Downloaded")});
    ASSERT_NO_FATAL_FAILURE(StartProgram(box, "1", "To: %SPAMER\r\n\r\ncopy:\r\n%MSG\r\nend\r\n"));
    TTable& inBox = program->DataModule()->cdsInBox;
    inBox.Edit();
    inBox.SetValue("header", std::string());
    inBox.Post();
    const auto sendErrorMessage = [&] {
        Complain([&](QWidget& window) {
            Ui().NextAnswers.assign({TMsgResult::OK, TMsgResult::OK});
            Find<QPushButton>(window, "SendErrMsgButton").click();
        });
    };
    sendErrorMessage();
    TTable& accounts = program->DataModule()->cdsAccounts;
    accounts.Edit();
    accounts.SetValue("password", ScramblePassword(kPlainPasswordMark + std::string("wrong"), box.User(), true));
    accounts.Post();
    sendErrorMessage();
    EXPECT_EQ(ShownTexts(), (std::vector<std::string>{"Error message sent.", "Retrive message error",
                                                      "Error message sent."}));
    const auto mail = CapturedMail(spammer);
    ASSERT_EQ(mail.size(), 2u);
    EXPECT_NE(mail[0].Data.find("copy:\r\nReceived: from relay.spam.example"), std::string::npos) << mail[0].Data;
    EXPECT_NE(mail[0].Data.find("Reply to sales@spam.example\r\nend\r\n"), std::string::npos) << mail[0].Data;
    EXPECT_EQ(mail[1].Data, "To: " + spammer + "\r\n\r\ncopy:\r\n\r\nend\r\n");
}

TEST_F(TComplaintWindowTest, TheBatchWindowRunsOnceShownAndClosesOnlyAfterTheRun) {
    const std::string s1 = UniqueTestName("s1") + "@spam.example", s2 = UniqueTestName("s2") + "@spam.example";
    TTestMailbox box({Spam(s1, "one"), Spam(s2, "two")});
    ASSERT_NO_FATAL_FAILURE(StartProgram(box, "1"));
    TBoxFrame& frame = *program->InBoxFrame();
    frame.View().SelectAll();
    bool closed = false;
    // The run goes on beneath the events it lets through: the test must not
    // wait inside one of them, only look again later.
    auto* poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [&closed, poll] {
        QWidget* window = QApplication::activeModalWidget();
        if (!window || window->objectName() != "StatusErrorMessageSend") return;
        QPushButton& close = Find<QPushButton>(*window, "btnClose");
        if (!close.isEnabled()) return;
        poll->stop();
        poll->deleteLater();
        EXPECT_FALSE(Find<QPushButton>(*window, "btnAbort").isEnabled());
        QTreeWidget& tasks = Find<QTreeWidget>(*window, "lvTasks");
        EXPECT_EQ(tasks.topLevelItemCount(), 4);
        EXPECT_EQ(tasks.headerItem()->text(0), "Task");
        EXPECT_EQ(tasks.topLevelItem(3)->text(1), "Done");
        QProgressBar& progress = Find<QProgressBar>(*window, "ProgressBar");
        EXPECT_EQ(progress.value(), progress.maximum());
        closed = true;
        close.click();
    });
    poll->start();
    frame.View().Actions["SendErrorMsgAndDel"].Execute();
    EXPECT_TRUE(closed);
    EXPECT_EQ(CapturedMail(s1).size(), 1u);
    EXPECT_EQ(CapturedMail(s2).size(), 1u);
    EXPECT_EQ(program->DataModule()->cdsInBox.RecordCount(), 0);
    EXPECT_EQ(program->DataModule()->cdsDelBox.RecordCount(), 2);
}

}  // namespace
