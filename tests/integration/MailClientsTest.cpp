#include "integration/MailClients.h"
#include "support/FakeUserInterface.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;

namespace {

// Desktop folders of the test's own: XDG_DATA_HOME and two XDG_DATA_DIRS.
class TMailClientsTest : public ::testing::Test {
protected:
    TTempHome home;
    TFakeUserInterface ui;
    TUserInterfaceScope scope{ui};

    void SetUp() override {
        for (const char* dir : {"user/applications", "first/applications", "second/applications"})
            fs::create_directories(home.File(dir));
        setenv("XDG_DATA_HOME", home.File("user").c_str(), 1);
        setenv("XDG_DATA_DIRS", (home.File("first") + ":" + home.File("second") + "/").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("XDG_DATA_HOME");
        unsetenv("XDG_DATA_DIRS");
    }
    void Desktop(const std::string& folder, const std::string& name, const std::string& body) {
        WriteFile(home.File(folder + "/applications/" + name + ".desktop"), body);
    }
    static std::string Mailer(const std::string& exec) {
        return "[Desktop Entry]\nType=Application\nName=Mailer\nExec=" + exec +
               "\nMimeType=text/plain;x-scheme-handler/mailto;\n";
    }
};

// A process of the test, running as long as the object lives.
class TChild {
public:
    explicit TChild(const std::string& program) {
        const char* argv[] = {program.c_str(), "30", nullptr};
        if (posix_spawn(&pid_, program.c_str(), nullptr, nullptr, const_cast<char**>(argv), environ) != 0) pid_ = 0;
    }
    ~TChild() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    bool Started() const { return pid_ > 0; }

private:
    pid_t pid_ = 0;
};

TEST_F(TMailClientsTest, DesktopEntriesThatHandleMailtoAreTheClients) {
    Desktop("first", "thunderbird", Mailer("/usr/bin/thunderbird %u"));
    Desktop("first", "aa-viewer", "[Desktop Entry]\nExec=viewer %f\nMimeType=text/plain;\n");
    Desktop("second", "evolution", Mailer("evolution --component=mail %U"));
    // Hidden by the user's own entry of the same name, which is deleted.
    Desktop("second", "claws", Mailer("claws-mail"));
    Desktop("user", "claws", "[Desktop Entry]\nHidden=true\n");
    Desktop("user", "bare", "[Desktop Entry]\nMimeType=x-scheme-handler/mailto\n");
    // Keys of other groups do not count.
    Desktop("user", "other-group", "[Desktop Action new]\nExec=x\nMimeType=x-scheme-handler/mailto;\n");
    Desktop("user", "percent", Mailer("mail\\sclient --ratio=50%% %F"));
    EXPECT_EQ(ListMailClients(), (std::vector<std::string>{"bare", "percent [mail client --ratio=50%]",
                                                           "thunderbird [/usr/bin/thunderbird]",
                                                           "evolution [evolution --component=mail]"}));
}

TEST_F(TMailClientsTest, ExecutableNameOfACommandLine) {
    struct Case {
        const char* command;
        const char* name;
    } cases[] = {
        {"/usr/bin/thunderbird", "thunderbird"},
        {"\"/opt/My Mail/mailer\" -compose to=x", "mailer"},
        {"'/opt/My Mail/mailer' -compose", "mailer"},
        {"/opt/My\\ Mail/mailer", "mailer"},
        {"  evolution --component=mail", "evolution"},
        {"env GDK_BACKEND=x11 /usr/bin/claws-mail", "claws-mail"},
        {"sh -c \"/opt/mail/bin/geary --new-window\"", "geary"},
        {"/bin/bash -c 'env A=1 mutt'", "mutt"},
        {"sh", "sh"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ExeNameOfCommand(c.command), c.name) << c.command;
}

TEST_F(TMailClientsTest, RunningClientIsFoundByNameInAnyCaseAndTheFirstIsNamed) {
    const std::string program = home.File("TwMailer");
    fs::copy_file("/bin/sleep", program);
    fs::permissions(program, fs::perms::owner_all);
    EXPECT_EQ(FindRunningMailClient(), "");
    Desktop("first", "alpha", Mailer("twmailer %u"));
    Desktop("first", "beta", Mailer("'/somewhere/else/TWMAILER' -x"));
    Desktop("first", "absent", Mailer("tw-no-such-mailer"));
    EXPECT_FALSE(IsMailClientRunning());
    EXPECT_TRUE(ui.messages.empty());

    TChild child(program);
    ASSERT_TRUE(child.Started());
    EXPECT_TRUE(IsProgramRunning("beta ['/somewhere/else/TWMAILER' -x]"));
    EXPECT_FALSE(IsProgramRunning("absent [tw-no-such-mailer]"));
    EXPECT_FALSE(IsProgramRunning("twmailer"));  // an entry without a command
    EXPECT_EQ(FindRunningMailClient(), "alpha");
    EXPECT_TRUE(IsMailClientRunning());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Please close alpha email client before using this program");
    EXPECT_EQ(ui.messages[0].caption, "Error receiving mail");
    EXPECT_EQ(ui.messages[0].icon, TMsgIcon::Error);
}

TEST_F(TMailClientsTest, RunStartsTheChosenClientDetached) {
    const std::string mark = home.File("started mark");
    setenv("TW_TEST_MARK", mark.c_str(), 1);
    EXPECT_TRUE(RunMailClientCommand("marker [/usr/bin/touch \"${TW_TEST_MARK}\"]"));
    unsetenv("TW_TEST_MARK");
    for (int i = 0; i < 100 && !fs::exists(mark); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(fs::exists(mark));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(TMailClientsTest, NoChosenClientDoesNothingAndAFailedStartIsTold) {
    for (const char* entry : {"", "thunderbird", "broken [no end"}) {
        EXPECT_FALSE(RunMailClientCommand(entry)) << entry;
        EXPECT_TRUE(ui.messages.empty()) << entry;
    }
    for (const char* entry : {"x [/nonexistent/tw-mailer --go]", "x []"}) {
        ui.messages.clear();
        EXPECT_FALSE(RunMailClientCommand(entry)) << entry;
        ASSERT_EQ(ui.messages.size(), 1u) << entry;
        EXPECT_EQ(ui.messages[0].text, "Error running mail client");
        EXPECT_EQ(ui.messages[0].caption, "Error");
        EXPECT_EQ(ui.messages[0].icon, TMsgIcon::Error);
    }
}

TEST_F(TMailClientsTest, EnvironmentReferencesAreExpanded) {
    setenv("TW_A", "alpha", 1);
    unsetenv("TW_UNSET");
    struct Case {
        const char* text;
        const char* expanded;
    } cases[] = {
        {"$TW_A/bin", "alpha/bin"},   {"${TW_A}x", "alphax"},     {"$TW_UNSET and ${TW_UNSET}", "$TW_UNSET and ${TW_UNSET}"},
        {"cost $", "cost $"},         {"${TW_A", "${TW_A"},       {"a$TW_A$TW_A", "aalphaalpha"},
    };
    for (const auto& c : cases) EXPECT_EQ(ExpandEnvironmentVariables(c.text), c.expanded) << c.text;
    unsetenv("TW_A");
}

}  // namespace
