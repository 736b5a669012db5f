// The friends and blacklist views in the desktop program on the offscreen
// platform: the real clipboard, the keys, the menus and the new row.
#include "core/DataModule.h"
#include "ui/DemoHome.h"
#include "ui/WidgetTestSupport.h"
#include "ui/lists/SenderListFrame.h"
#include "ui/main/AntiSpamWindow.h"
#include "ui/main/DesktopProgram.h"
#include "ui/qt/QtUserInterface.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Names(TTable& list) {
    std::vector<std::string> names;
    for (int recNo = 1; recNo <= list.RecordCount(); ++recNo)
        names.push_back(ValueToString(list.ValueAt(recNo, list.FieldIndex("name"))));
    return names;
}

class TListViewsTest : public ::testing::Test {
protected:
    std::string home = (QDir::tempPath() + "/tarnwick-list-views-" + QString::number(QCoreApplication::applicationPid()))
                           .toStdString();
    std::unique_ptr<TDesktopProgram> program;
    TAntiSpamWindow* main = nullptr;

    void SetUp() override {
        PrepareDemoHome(home, true);
        program = std::make_unique<TDesktopProgram>();
        program->SplashMilliseconds = 0;
        ASSERT_EQ(program->Start(), TDesktopProgram::TStart::SignedIn);
        main = program->MainWindow();
    }
    void TearDown() override {
        program.reset();
        QDir(QString::fromStdString(home)).removeRecursively();
    }
    TDM& Dm() { return *program->DataModule(); }
    TSenderListFrame& Show(int mode) {
        Find<QListWidget>(*main, "WorkAreaModeListView").setCurrentRow(mode);
        return mode == 3 ? *program->FriendsFrame() : *program->BlackListFrame();
    }
    void Fill(TTable& list, const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            list.Append();
            list.SetValue("name", name);
            list.Post();
        }
    }
    QAction& MenuItem(TSenderListFrame& frame, const char* name) {
        for (QAction* action : frame.Menu()->actions())
            if (action->objectName() == name) return *action;
        throw std::runtime_error(std::string("no menu item ") + name);
    }
    void Select(TSenderListFrame& frame, std::initializer_list<int> rows) {
        QItemSelectionModel* selection = frame.Grid()->selectionModel();
        selection->clearSelection();
        for (int row : rows)
            selection->select(frame.Grid()->model()->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
};

TEST_F(TListViewsTest, CopyInFriendsAndPasteInTheBlackListGoThroughTheClipboard) {
    Fill(Dm().cdsFriends, {"a@x.org", "b@x.org", "c@x.org"});
    TSenderListFrame& friends = Show(3);
    ASSERT_TRUE(friends.isVisible());
    Select(friends, {2, 0});
    MenuItem(friends, "Copy1").trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "a@x.org\r\nc@x.org\r\n");

    TSenderListFrame& blackList = Show(4);
    MenuItem(blackList, "Past1").trigger();
    EXPECT_EQ(Names(Dm().cdsBlackList), (std::vector<std::string>{"a@x.org", "c@x.org"}));
    EXPECT_EQ(blackList.Grid()->model()->rowCount(), 2);
    EXPECT_TRUE(program->QtInterface().Shown.empty());
}

TEST_F(TListViewsTest, TheTwoMenusInTheirOrders) {
    const auto names = [](TSenderListFrame& frame) {
        std::vector<std::string> items;
        for (QAction* action : frame.Menu()->actions())
            items.push_back(action->isSeparator() ? "-" : action->text().toStdString());
        return items;
    };
    EXPECT_EQ(names(*program->FriendsFrame()),
              (std::vector<std::string>{"Copy", "Past", "-", "Select All", "-", "Remove", "-", "Import", "Export"}));
    EXPECT_EQ(names(*program->BlackListFrame()),
              (std::vector<std::string>{"Copy", "Past", "-", "Select All", "-", "Remove", "-", "Export", "Import"}));
}

TEST_F(TListViewsTest, DeleteRemovesOnlyTheCurrentRow) {
    Fill(Dm().cdsBlackList, {"a@x.org", "b@x.org", "c@x.org"});
    TSenderListFrame& blackList = Show(4);
    MenuItem(blackList, "SelectAll1").trigger();
    blackList.Grid()->selectionModel()->setCurrentIndex(blackList.Grid()->model()->index(1, 0),
                                                         QItemSelectionModel::NoUpdate);
    EXPECT_EQ(blackList.SelectedRecNos().size(), 3u);
    ASSERT_EQ(Dm().cdsBlackList.RecNo(), 2);
    QTest::keyRelease(blackList.Grid(), Qt::Key_Delete);
    EXPECT_EQ(Names(Dm().cdsBlackList), (std::vector<std::string>{"a@x.org", "c@x.org"}));
}

TEST_F(TListViewsTest, AddOpensTheNewRowForTypingAndABlankOneIsRefused) {
    TSenderListFrame& friends = Show(3);
    QPushButton& add = Find<QPushButton>(friends, "btnAdd");
    EXPECT_FALSE(Find<QPushButton>(friends, "btnRemove").isEnabled());
    add.click();
    QLineEdit* editor = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (editor = friends.Grid()->findChild<QLineEdit*>()) && editor->isVisible(); }));
    program->QtInterface().NextAnswers = {TMsgResult::OK};
    // The grid takes the typed value after the key, with the next events.
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return !program->QtInterface().Shown.empty(); }));
    ASSERT_EQ(program->QtInterface().Shown.size(), 1u);
    EXPECT_EQ(program->QtInterface().Shown[0].text, "Please enter value!");
    EXPECT_EQ(Dm().cdsFriends.State(), TTable::TState::Insert);
    // The refused row is opened for typing again.
    ASSERT_TRUE(WaitFor([&] {
        editor = friends.Grid()->findChild<QLineEdit*>();
        return editor && editor->isVisible();
    }));
    QTest::keyClicks(editor, "new@x.org");
    QTest::keyClick(editor, Qt::Key_Return);
    WaitFor([&] { return Dm().cdsFriends.State() == TTable::TState::Browse; });
    EXPECT_EQ(Names(Dm().cdsFriends), (std::vector<std::string>{"new@x.org"}));
    EXPECT_TRUE(Find<QPushButton>(friends, "btnRemove").isEnabled());
}

}  // namespace
