#pragma once

// The fixture of the tests that run Receive Mail and Process Mail end to end
// against the loopback Dovecot and SMTP capture server.
#include "complaints/ComplaintForm.h"
#include "core/DataModule.h"
#include "core/MailCommands.h"
#include "core/Scramble.h"
#include "filtering/FilterEngine.h"
#include "filtering/dmfilters.h"
#include "mail/Pop3Client.h"
#include "servers/MailServers.h"
#include "support/FakeUserInterface.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>


inline std::string Message(const std::string& from, const std::string& subject, const std::string& extra = "",
                    const std::string& body = "Hello.\r\n") {
    return "From: " + from + "\r\nTo: me@example.test\r\nSubject: " + subject +
           "\r\nDate: Tue, 3 Jun 2003 10:00:00 +0200\r\nMessage-ID: <" + UniqueTestName("m") + "@x>\r\n" + extra +
           "\r\n" + body;
}

class TMailRunTest : public ::testing::Test {
protected:
    TTempHome home;
    TFakeUserInterface ui;
    TUserInterfaceScope scope{ui};
    const TMailServerInfo* servers = RequireMailServers();
    TDM dm;
    std::unique_ptr<TFilterDM> filters;
    TComplaintForm complaint;
    std::unique_ptr<TMailCommands> commands;

    void SetUp() override {
        ASSERT_TRUE(servers);
        dm.LoadStore();
        filters = std::make_unique<TFilterDM>();
        ASSERT_TRUE(dm.CreateIdentity("me", ""));
        dm.NotLoggedIn = false;
        dm.CurrentIdentityId = dm.cdsIdentities.AsInteger("id");
        commands = std::make_unique<TMailCommands>(dm, complaint, filters.get());
    }

    std::int64_t AddAccount(const std::string& description, const std::string& proto, const TTestMailbox& box,
                            const std::string& smtpHost = "127.0.0.1") {
        auto& a = dm.cdsAccounts;
        a.Append();
        a.SetValue("description", description);
        a.SetValue("proto", proto);
        a.SetValue("host", servers->Host);
        a.SetAsString("port", proto == "IMAP" ? servers->ImapPort : servers->Pop3Port);
        a.SetValue("login", box.User());
        a.SetValue("password", ScramblePassword(kPlainPasswordMark + box.Password(), box.User(), true));
        a.SetValue("smtp_host", smtpHost);
        a.SetAsString("smtp_host_port", servers->SmtpPort);
        a.SetValue("email", box.User() + "@example.test");
        a.Post();
        return a.AsInteger("id");
    }

    void AddList(TTable& list, const std::string& name) {
        list.Append();
        list.SetValue("name", name);
        list.Post();
    }

    // A category with one "Contains" expression on the Subject.
    void AddFilter(const std::string& name, int action, const std::string& subjectWord) {
        auto& c = filters->cdsFilterCategory;
        c.Append();
        c.SetValue("NameCategory", name);
        c.SetValue("idAction", std::int64_t{action});
        c.Post();
        auto& e = filters->cdsExpr;
        e.Append();
        e.SetValue("idRule", std::int64_t{1});
        e.SetValue("Content", subjectWord);
        e.SetValue("CaseMatch", true);
        e.SetValue("Fields", std::string("3"));
        e.Post();
        FilterEngine().CacheStale = true;
    }

    struct TRow {
        std::string from, subject;
        std::int64_t idaction, messagenum, idaccount;
        std::string reason;
        bool attachment;
    };
    static std::vector<TRow> Rows(TTable& box) {
        std::vector<TRow> rows;
        for (box.First(); !box.Eof(); box.Next())
            rows.push_back({box.AsString("from"), box.AsString("subject"), box.AsInteger("idaction"),
                            box.AsInteger("messagenum"), box.AsInteger("idaccount"),
                            box.FieldIndex("Prichina") >= 0 ? box.AsString("Prichina") : "",
                            box.AsBoolean("attachment")});
        return rows;
    }

    std::vector<std::string> LogTexts() const {
        std::vector<std::string> lines;
        for (const auto& line : dm.StatusLog.Lines())
            lines.push_back(line.Text + (line.Status.empty() ? "" : " | " + line.StatusText()));
        return lines;
    }
};
