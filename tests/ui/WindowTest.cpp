// The desktop program's windows on the offscreen platform: found by object
// name, clicked like a user would, message boxes answered through the port.
#include "core/DataModule.h"
#include "core/IdentityChooser.h"
#include "i18n/Translator.h"
#include "ui/DemoHome.h"
#include "ui/main/AntiSpamWindow.h"
#include "ui/main/DesktopProgram.h"
#include "ui/main/RetrievalStatusForm.h"
#include "ui/main/SplashScreen.h"
#include "ui/qt/QtUserInterface.h"
#include "ui/settings/ChangePasswordForm.h"

#include <QApplication>
#include <QComboBox>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Runs action on the next modal dialog as soon as it is shown.
void WhenModal(std::function<void(QWidget&)> action) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, action] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            action(*modal);
        }
    });
    poll->start();
}

// Lets events through until condition holds or the time is up.
bool WaitFor(const std::function<bool()>& condition, int milliseconds = 1000) {
    QElapsedTimer waited;
    waited.start();
    while (!condition() && waited.elapsed() < milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

template <typename T>
T& Find(QWidget& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found) throw std::runtime_error(std::string("no widget ") + name);
    return *found;
}

class TWindowTest : public ::testing::Test {
protected:
    std::string home = (QDir::tempPath() + "/tarnwick-window-test-" + QString::number(QCoreApplication::applicationPid()))
                           .toStdString();
    void TearDown() override {
        ResetAppTranslator();
        QDir(QString::fromStdString(home)).removeRecursively();
    }
};

TEST_F(TWindowTest, FirstStartAsksForAnIdentityAndThenShowsTheMainWindow) {
    QDir(QString::fromStdString(home)).removeRecursively();
    setenv("TARNWICK_HOME", home.c_str(), 1);
    TDesktopProgram program;
    program.SplashMilliseconds = 0;
    bool splashHadOk = true;
    program.OnSplash = [&](TSplashScreen& splash) { splashHadOk = splash.OkButton()->isVisible(); };
    WhenModal([](QWidget& chooser) {
        EXPECT_EQ(chooser.objectName(), "IdentitiesForm");
        EXPECT_FALSE(Find<QPushButton>(chooser, "OkButton").isEnabled());
        WhenModal([](QWidget& dialog) {
            Find<QLineEdit>(dialog, "Name").setText("anna");
            Find<QPushButton>(dialog, "OKBtn").click();
        });
        Find<QPushButton>(chooser, "NewButton").click();
    });
    ASSERT_EQ(program.Start(), TDesktopProgram::TStart::SignedIn);
    EXPECT_FALSE(splashHadOk);
    EXPECT_TRUE(program.MainWindow()->isVisible());
    EXPECT_EQ(program.DataModule()->CurrentUserName, "anna");
}

// A program that was killed leaves its lock behind; the next start takes it over.
TEST_F(TWindowTest, TheLockOfAProgramThatIsGoneIsTakenOver) {
    PrepareDemoHome(home, true);
    {
        QFile lock(QString::fromStdString(home) + "/tarnwick.lock");
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
        lock.write("2147483646\ntarnwick\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    }
    TDesktopProgram program;
    program.SplashMilliseconds = 0;
    EXPECT_EQ(program.Start(), TDesktopProgram::TStart::SignedIn);
}

TEST_F(TWindowTest, CancellingTheChooserEndsWithoutTheMainWindow) {
    PrepareDemoHome(home, false);
    TDesktopProgram program;
    program.SplashMilliseconds = 0;
    WhenModal([](QWidget& chooser) { Find<QPushButton>(chooser, "CancelButton").click(); });
    EXPECT_EQ(program.Start(), TDesktopProgram::TStart::NotSignedIn);
    EXPECT_FALSE(program.MainWindow()->isVisible());
}

// Three wrong passwords are answered, the fourth closes the chooser.
TEST_F(TWindowTest, TheChooserAnswersThreeWrongPasswordsAndGivesUpAtTheFourth) {
    PrepareDemoHome(home, false);
    {
        TDM dm;
        dm.LoadStore();
        dm.CreateIdentity("bert", "Secret");
    }
    TDesktopProgram program;
    program.SplashMilliseconds = 0;
    TQtUserInterface& ui = program.QtInterface();
    ui.NextAnswers.assign(3, TMsgResult::OK);
    WhenModal([](QWidget& chooser) {
        Find<QComboBox>(chooser, "IdentitiesComboBox").setCurrentText("bert");
        Find<QLineEdit>(chooser, "PasswordEdit").setText("secret");
        for (int i = 0; i < 4; ++i) Find<QPushButton>(chooser, "OkButton").click();
    });
    EXPECT_EQ(program.Start(), TDesktopProgram::TStart::NotSignedIn);
    ASSERT_EQ(ui.Shown.size(), 3u);
    EXPECT_EQ(ui.Shown[0].text, "Please enter valid identity password");
    EXPECT_EQ(ui.Shown[0].caption, "Invalid password");
}

TEST_F(TWindowTest, ThePasswordDialogsKeepTheirCheckMessages) {
    PrepareDemoHome(home, true);
    TDesktopProgram program;
    program.SplashMilliseconds = 0;
    ASSERT_EQ(program.Start(), TDesktopProgram::TStart::SignedIn);
    TQtUserInterface& ui = program.QtInterface();
    ui.NextAnswers.assign(3, TMsgResult::OK);
    TChangePasswordForm change;
    Find<QLineEdit>(change, "Password1").setText("one");
    Find<QLineEdit>(change, "Password2").setText("two");
    Find<QPushButton>(change, "OKBtn").click();
    EXPECT_EQ(change.result(), QDialog::Rejected);
    ASSERT_EQ(ui.Shown.size(), 1u);
    EXPECT_EQ(ui.Shown[0].text, "Passwords doesnt match");

    TIdentityChooser chooser(*program.DataModule());
    chooser.Show();
    WhenModal([](QWidget& dialog) {
        Find<QPushButton>(dialog, "OKBtn").click();  // no name
        Find<QLineEdit>(dialog, "Name").setText("carl");
        Find<QLineEdit>(dialog, "Password").setText("a");
        Find<QLineEdit>(dialog, "RePassword").setText("b");
        Find<QPushButton>(dialog, "OKBtn").click();
        Find<QPushButton>(dialog, "CancelBtn").click();
    });
    EXPECT_FALSE(ui.ShowNewIdentityDialog(chooser).has_value());
    ASSERT_EQ(ui.Shown.size(), 3u);
    EXPECT_EQ(ui.Shown[1].text, "User name is empty");
    EXPECT_EQ(ui.Shown[2].text, "Passwords does not match");
}

class TMainWindowTest : public TWindowTest {
protected:
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
        TWindowTest::TearDown();
    }
    QListWidget& Modes() { return Find<QListWidget>(*main, "WorkAreaModeListView"); }
};

TEST_F(TMainWindowTest, AModeShowsItsViewAndOnlyIt) {
    ASSERT_TRUE(main->View(0)->isVisible());
    Modes().setCurrentRow(1);
    EXPECT_TRUE(main->View(1)->isVisible());
    EXPECT_FALSE(main->View(0)->isVisible());
    Modes().setCurrentRow(1);
    EXPECT_TRUE(main->View(1)->isVisible());
    for (int mode : {0, 2, 3, 4}) EXPECT_FALSE(main->View(mode)->isVisible()) << mode;
}

TEST_F(TMainWindowTest, StopWithoutAScanChangesNothingAndViewTogglesTheLog) {
    EXPECT_FALSE(main->statusBar()->isVisible());
    Find<QPushButton>(*main, "StopButton").click();
    EXPECT_TRUE(program->DataModule()->Idle);
    EXPECT_FALSE(main->statusBar()->isVisible());
    Find<QPushButton>(*main, "ShowStatusButton").click();
    ASSERT_TRUE(program->StatusForm()->isVisible());
    EXPECT_EQ(Find<QLabel>(*program->StatusForm(), "AccountDesc").text(), "N/A");
    EXPECT_EQ(program->StatusForm()->LogView()->model()->rowCount(), 0);
    Find<QPushButton>(*program->StatusForm(), "CancelButton").click();
    EXPECT_FALSE(program->StatusForm()->isVisible());
}

TEST_F(TMainWindowTest, TheAboutBoxHasOk) {
    WhenModal([](QWidget& about) {
        EXPECT_EQ(about.objectName(), "SplashScreen");
        QPushButton& ok = Find<QPushButton>(about, "OKButton");
        EXPECT_TRUE(ok.isVisible());
        ok.click();
    });
    main->ShowAbout();
}

TEST_F(TMainWindowTest, MinimisingGoesToTheTrayOnlyWhereThereIsOne) {
    for (bool tray : {false, true}) {
        SCOPED_TRACE(tray ? "with a tray" : "without a tray");
        main->TrayAvailable = [tray] { return tray; };
        main->showMinimized();
        EXPECT_TRUE(WaitFor([&] { return main->isVisible() == !tray; }));
        EXPECT_EQ(main->TrayIcon()->isVisible(), tray);
        main->RestoreFromTray();
        EXPECT_TRUE(main->isVisible());
        EXPECT_FALSE(main->TrayIcon()->isVisible());
    }
}

TEST_F(TMainWindowTest, ALanguageChangeKeepsTheCountsOfTheModes) {
    AddDemoRows(*program->DataModule(), 3, 0);
    EXPECT_EQ(Modes().item(0)->text(), "Incoming mail(3)");
    main->Translator().ApplyLanguage(LanguageFromName("German"));
    const QString german = QString::fromStdString(main->Translator().Translate("AntiSpamWindow.WorkAreaModeListView.Item[0]", "?"));
    ASSERT_NE(german, "?");
    EXPECT_EQ(Modes().item(0)->text(), german + "(3)");
    EXPECT_EQ(Modes().item(1)->text().indexOf('('), -1);
    main->Translator().ApplyLanguage(LanguageFromName("English"));
}

// Two programs on one home folder would write the same tables: the second
// start brings the first to the front and ends.
TEST_F(TMainWindowTest, ASecondStartBringsTheFirstToTheFront) {
    main->hide();
    {
        TDesktopProgram second;
        second.SplashMilliseconds = 0;
        EXPECT_EQ(second.Start(), TDesktopProgram::TStart::AlreadyRunning);
        EXPECT_EQ(second.MainWindow(), nullptr);
    }
    EXPECT_TRUE(WaitFor([&] { return main->isVisible(); }));
}

TEST_F(TMainWindowTest, ATimedRunLeavesANoteOnlyWhileTheWindowWaitsInTheTray) {
    std::vector<QString> notes;
    main->ShowTrayMessage = [&](const QString& text) { notes.push_back(text); };
    main->NoteTimedRun("2 deleted, 0 kept");  // the window is open
    main->TrayAvailable = [] { return true; };
    main->showMinimized();
    ASSERT_TRUE(WaitFor([&] { return !main->isVisible(); }));
    main->NoteTimedRun("");  // nothing to do
    main->NoteTimedRun("2 deleted, 1 kept");
    EXPECT_EQ(notes, (std::vector<QString>{"2 deleted, 1 kept"}));
}

TEST_F(TMainWindowTest, ContentsOpensTheShippedGuide) {
    QString opened;
    main->OpenHelpFile = [&](const QString& file) { opened = file; };
    Find<QAction>(*main, "HelpContents").trigger();
    EXPECT_TRUE(opened.endsWith("Hilfe/Bedienungsanleitung.html")) << opened.toStdString();
    EXPECT_TRUE(QFileInfo::exists(opened));
}

}  // namespace
