#pragma once

// The desktop program started on a demo home of its own whose accounts read
// mailboxes on the loopback servers: the start of the window tests that
// receive mail.
#include "core/DataModule.h"
#include "core/Scramble.h"
#include "servers/MailServers.h"
#include "ui/DemoHome.h"
#include "ui/main/DesktopProgram.h"
#include "ui/qt/QtUserInterface.h"

#include <QCoreApplication>
#include <QDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// A short message from the sender with the subject, under an id of its own.
inline std::string TestMessage(const std::string& from, const std::string& subject) {
    return "From: " + from + "\r\nTo: anna@example.org\r\nSubject: " + subject +
           "\r\nDate: Tue, 3 Jun 2003 10:00:00 +0200\r\nMessage-ID: <" + UniqueTestName("m") + "@x>\r\n\r\nHello.\r\n";
}

class TDesktopProgramTest : public ::testing::Test {
protected:
    explicit TDesktopProgramTest(const char* homeName)
        : home((QDir::tempPath() + "/tarnwick-" + homeName + "-" + QString::number(QCoreApplication::applicationPid()))
                   .toStdString()) {}

    // The demo home; its identity's first account reads the first mailbox and
    // each further mailbox gets an account of its own. With smtp the accounts
    // send through the SMTP capture.
    void PrepareHome(const std::vector<const TTestMailbox*>& boxes = {}, bool smtp = false) {
        PrepareDemoHome(home, true);
        if (boxes.empty()) return;
        const TMailServerInfo* servers = MailServers();
        ASSERT_TRUE(servers);
        TDM dm;
        dm.LoadStore();
        TTable& accounts = dm.cdsAccounts;
        accounts.SetMaster(nullptr, "", "");
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            const TTestMailbox& box = *boxes[i];
            if (i == 0) {
                accounts.First();
                accounts.Edit();
            } else {
                const std::int64_t identity = accounts.AsInteger("identity");
                accounts.Append();
                accounts.SetValue("identity", identity);
                accounts.SetValue("description", "Account " + std::to_string(i + 1));
                accounts.SetValue("email", box.User() + "@example.test");
            }
            accounts.SetValue("host", servers->Host);
            accounts.SetAsString("port", servers->Pop3Port);
            accounts.SetValue("login", box.User());
            accounts.SetValue("password", ScramblePassword(kPlainPasswordMark + box.Password(), box.User(), true));
            if (smtp) {
                accounts.SetValue("smtp_host", servers->Host);
                accounts.SetAsString("smtp_host_port", servers->SmtpPort);
            }
            accounts.Post();
        }
        accounts.Close();
    }
    // Starts the program on the prepared home, past its splash and sign-in.
    void StartSignedIn() {
        program = std::make_unique<TDesktopProgram>();
        program->SplashMilliseconds = 0;
        ASSERT_EQ(program->Start(), TDesktopProgram::TStart::SignedIn);
    }
    void TearDown() override {
        program.reset();
        QDir(QString::fromStdString(home)).removeRecursively();
    }
    TDM& Dm() { return *program->DataModule(); }
    TQtUserInterface& Ui() { return program->QtInterface(); }

    std::string home;
    std::unique_ptr<TDesktopProgram> program;
};
