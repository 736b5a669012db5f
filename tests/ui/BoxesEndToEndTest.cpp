// Receive Mail, the two boxes and Process Mail driven through the desktop
// program's own widgets on the offscreen platform, against the loopback
// Dovecot and SMTP capture.
#include "core/StatusLog.h"
#include "filtering/FilterEngine.h"
#include "filtering/dmfilters.h"
#include "servers/MailServers.h"
#include "ui/ProgramFixture.h"
#include "ui/WidgetTestSupport.h"
#include "ui/boxes/BoxFrame.h"
#include "ui/main/AntiSpamWindow.h"
#include "ui/main/RetrievalStatusForm.h"

#include <QAction>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class TBoxesEndToEndTest : public TDesktopProgramTest {
protected:
    TBoxesEndToEndTest() : TDesktopProgramTest("boxes-e2e") {}
    const TMailServerInfo* servers = MailServers();
    TAntiSpamWindow* main = nullptr;

    // The demo identity with one account per mailbox, all on the loopback servers.
    void StartProgram(const std::vector<const TTestMailbox*>& boxes) {
        PrepareHome(boxes, true);
        StartSignedIn();
        main = program->MainWindow();
    }

    void AddCategory(const std::string& name, int action, const std::string& subjectWord) {
        TFilterDM& filters = *program->Filters();
        filters.cdsFilterCategory.Append();
        filters.cdsFilterCategory.SetValue("NameCategory", name);
        filters.cdsFilterCategory.SetValue("idAction", std::int64_t{action});
        filters.cdsFilterCategory.Post();
        filters.cdsExpr.Append();
        filters.cdsExpr.SetValue("idRule", std::int64_t{1});
        filters.cdsExpr.SetValue("Content", subjectWord);
        filters.cdsExpr.SetValue("CaseMatch", true);
        filters.cdsExpr.SetValue("Fields", std::string("3"));
        filters.cdsExpr.Post();
        FilterEngine().CacheStale = true;
    }

    // A command of the tool bar, clicked.
    void ClickToolBar(const char* action) {
        QToolBar* bar = main->findChild<QToolBar*>();
        ASSERT_TRUE(bar);
        QAction* mirror = main->findChild<QAction*>(QString::fromLatin1(action));
        ASSERT_TRUE(mirror);
        auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(mirror));
        ASSERT_TRUE(button);
        ASSERT_TRUE(button->isEnabled()) << action;
        button->click();
    }
    void ShowMode(int mode) { Find<QListWidget>(*main, "WorkAreaModeListView").setCurrentRow(mode); }

    // The grid row whose Subject is subject, or -1.
    static int RowOf(TBoxFrame& frame, const std::string& subject) {
        TTable& box = frame.View().Box();
        for (int recNo = 1; recNo <= box.RecordCount(); ++recNo)
            if (ValueToString(box.ValueAt(recNo, box.FieldIndex("subject"))) == subject) return recNo - 1;
        return -1;
    }
    static void DoubleClickRow(TBoxFrame& frame, int row) {
        QTableView& grid = *frame.Grid();
        const QRect cell = grid.visualRect(grid.model()->index(row, 3));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    }
    static void ClickRow(TBoxFrame& frame, int row) {
        QTableView& grid = *frame.Grid();
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.visualRect(grid.model()->index(row, 3)).center());
    }
    static QPushButton& PanelButton(TBoxFrame& frame, const char* caption) {
        for (QPushButton* button : frame.findChild<QWidget*>("ButtonPanel")->findChildren<QPushButton*>())
            if (button->text() == caption) return *button;
        throw std::runtime_error(std::string("no button ") + caption);
    }
    static std::vector<std::string> Subjects(TTable& box) {
        std::vector<std::string> subjects;
        for (int recNo = 1; recNo <= box.RecordCount(); ++recNo)
            subjects.push_back(ValueToString(box.ValueAt(recNo, box.FieldIndex("subject"))));
        std::sort(subjects.begin(), subjects.end());
        return subjects;
    }
    std::vector<std::string> LogTexts() {
        std::vector<std::string> texts;
        for (const auto& line : Dm().StatusLog.Lines()) texts.push_back(line.Text);
        return texts;
    }
};

// Scan a mailbox with a friend, a blacklisted sender and filter hits; tick two
// InBox rows and move them; move one DelBox row back; Process Mail. Exactly
// the DelBox messages are gone, and the capture holds the error message and
// the forwarded header.
TEST_F(TBoxesEndToEndTest, ReceiveMoveAndProcessMailFromTheWindow) {
    const std::string lotto = UniqueTestName("lotto") + "@prizes.example";
    TTestMailbox box({TestMessage("Friend <friend@example.org>", "Minutes"),
                      TestMessage("Spammer <bad@spam-king.example>", "Hot deals"),
                      TestMessage("Lotto <" + lotto + ">", "You won the lottery"),
                      TestMessage("Shop <offers@shop.example>", "Cheap pills today"),
                      TestMessage("Colleague <bob@work.example>", "Report"),
                      TestMessage("News B <b@news.example>", "Weekly B"),
                      TestMessage("News C <c@news.example>", "Weekly C")});
    ASSERT_NO_FATAL_FAILURE(StartProgram({&box}));
    Dm().cdsFriends.Append();
    Dm().cdsFriends.SetValue("name", std::string("friend@example.org"));
    Dm().cdsFriends.Post();
    Dm().cdsBlackList.Append();
    Dm().cdsBlackList.SetValue("name", std::string("spam-king.example"));
    Dm().cdsBlackList.Post();
    AddCategory("Lottery", 3, "lottery");  // kill after error message
    AddCategory("Pills", 4, "pills");      // kill and send header of the message

    ClickToolBar("ReceiveIdentityMail");
    ASSERT_TRUE(WaitFor([&] { return Dm().Idle; }, 30000));
    QApplication::processEvents();  // the window catches up with the last rows
    program->StatusForm()->hide();
    EXPECT_EQ(Subjects(Dm().cdsInBox), (std::vector<std::string>{"Minutes", "Report", "Weekly B", "Weekly C"}));
    EXPECT_EQ(Subjects(Dm().cdsDelBox),
              (std::vector<std::string>{"Cheap pills today", "Hot deals", "You won the lottery"}));
    EXPECT_EQ(Find<QListWidget>(*main, "WorkAreaModeListView").item(0)->text().toStdString(), "Incoming mail(4)");

    // Two InBox rows ticked by double clicks, moved by the button.
    ShowMode(0);
    TBoxFrame& inBox = *program->InBoxFrame();
    for (const char* subject : {"Weekly B", "Weekly C"}) DoubleClickRow(inBox, RowOf(inBox, subject));
    EXPECT_EQ(inBox.View().SelectedCount, 2);
    QPushButton& toDelBox = PanelButton(inBox, "Move to DelBox");
    ASSERT_TRUE(toDelBox.isEnabled());
    toDelBox.click();
    EXPECT_EQ(Subjects(Dm().cdsInBox), (std::vector<std::string>{"Minutes", "Report"}));

    // One DelBox row, the current one, back to InBox.
    ShowMode(1);
    TBoxFrame& delBox = *program->DelBoxFrame();
    ClickRow(delBox, RowOf(delBox, "Hot deals"));
    ASSERT_EQ(Dm().cdsDelBox.AsString("subject"), "Hot deals");
    PanelButton(delBox, "Move to InBox").click();
    EXPECT_EQ(Subjects(Dm().cdsDelBox),
              (std::vector<std::string>{"Cheap pills today", "Weekly B", "Weekly C", "You won the lottery"}));

    ClickToolBar("ProcessMail");
    ASSERT_TRUE(WaitFor([&] { return Dm().cdsDelBox.IsEmpty(); }, 30000)) << ::testing::PrintToString(LogTexts());
    std::vector<std::string> left = box.Subjects();
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"Hot deals", "Minutes", "Report"}));
    const auto errorMessages = CapturedMail(lotto);
    ASSERT_EQ(errorMessages.size(), 1u);
    EXPECT_NE(errorMessages[0].Data.find("Subject: You won the lottery"), std::string::npos);
    const auto forwarded = CapturedMail(box.User() + "@" + servers->Host);
    ASSERT_EQ(forwarded.size(), 1u);
    EXPECT_NE(forwarded[0].Data.find("Subject: Filtered: Cheap pills today"), std::string::npos);
    EXPECT_TRUE(Ui().Shown.empty()) << Ui().Shown[0].text;
}

// "Stop" clicked while message 5 of 10 of the first of two accounts is
// fetched: that message is finished, the account signed off, the second one
// never contacted.
TEST_F(TBoxesEndToEndTest, StopDuringTheFifthMessageOfTen) {
    std::vector<std::string> messages;
    for (int i = 1; i <= 10; ++i) messages.push_back(TestMessage("Sender <s@example.org>", "Message " + std::to_string(i)));
    TTestMailbox first(messages);
    TTestMailbox second({TestMessage("Other <o@example.org>", "Never seen")});
    ASSERT_NO_FATAL_FAILURE(StartProgram({&first, &second}));

    Ui().EventsInterval = 0;  // the window answers at every message
    int pressedAt = 0;
    QTimer watch;
    watch.setInterval(0);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const auto& lines = Dm().StatusLog.Lines();
        const std::string prefix = "Retrieving message #";
        if (pressedAt || lines.empty() || lines.back().Text.rfind(prefix, 0) != 0) return;
        const int number = std::stoi(lines.back().Text.substr(prefix.size()));
        if (number != 5) return;
        pressedAt = number;
        auto& stop = Find<QPushButton>(*main, "StopButton");
        EXPECT_TRUE(stop.isVisible());
        stop.click();
    });
    watch.start();
    ClickToolBar("ReceiveIdentityMail");
    ASSERT_TRUE(WaitFor([&] { return Dm().Idle && pressedAt; }, 30000));
    watch.stop();
    EXPECT_EQ(Dm().cdsInBox.RecordCount() + Dm().cdsDelBox.RecordCount(), 5);
    const std::vector<std::string> log = LogTexts();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(log.end() - 3, log.end()), (std::vector<std::string>{"Logout", "", "Done"}));
    for (const std::string& line : log) EXPECT_EQ(line.find(second.User()), std::string::npos) << line;
    EXPECT_EQ(first.Subjects().size(), 10u);  // a scan deletes nothing
}

}  // namespace
