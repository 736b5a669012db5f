#include "ui/DemoHome.h"

#include "core/DataModule.h"
#include "platform/Home.h"

#include <cstdlib>
#include <filesystem>

void PrepareDemoHome(const std::string& folder, bool autoLogin) {
    std::filesystem::remove_all(folder);
    setenv("TARNWICK_HOME", folder.c_str(), 1);
    EnterHomeFolder();
    TDM dm;
    dm.LoadStore();
    dm.CreateIdentity("anna", "");
    dm.cdsAccounts.Append();
    dm.cdsAccounts.SetValue("identity", dm.cdsIdentities.AsInteger("id"));
    dm.cdsAccounts.SetValue("description", std::string("Home mail"));
    dm.cdsAccounts.SetValue("host", std::string("pop.example.org"));
    dm.cdsAccounts.SetValue("login", std::string("anna"));
    dm.cdsAccounts.SetValue("email", std::string("anna@example.org"));
    dm.cdsAccounts.Post();
    if (autoLogin) {
        dm.cdsIdentities.Edit();
        dm.cdsIdentities.SetValue("AutoLogin", true);
        dm.cdsIdentities.Post();
    }
    dm.cdsIdentities.Close();
    dm.cdsAccounts.Close();
}

void AddDemoRows(TDM& dm, int inBox, int delBox) {
    const char* senders[] = {"Anna Berg <anna@example.org>", "Lotto Team <win@prizes.example>",
                             "Shop <offers@shop.example>", "Colleague <bob@work.example>"};
    const char* subjects[] = {"Minutes of Monday", "You have won!", "Cheap pills", "Report attached"};
    for (int box = 0; box < 2; ++box) {
        TTable& table = box == 0 ? dm.cdsInBox : dm.cdsDelBox;
        for (int i = 0; i < (box == 0 ? inBox : delBox); ++i) {
            table.Append();
            table.SetValue("from", std::string(senders[(i + box) % 4]));
            table.SetValue("subject", std::string(subjects[(i + box) % 4]));
            table.SetValue("to", std::string("anna@example.org"));
            table.SetValue("size", std::int64_t{1200 + 300 * i});
            table.SetValue("idaccount", std::int64_t{1});
            table.SetValue("messagenum", std::int64_t{i + 1});
            table.SetValue("attachment", i % 3 == 2);
            table.SetValue("header", "From: " + std::string(senders[(i + box) % 4]) + "\r\nSubject: " +
                                         subjects[(i + box) % 4] + "\r\nTo: anna@example.org\r\n");
            if (box == 1) table.SetValue("idaction", std::int64_t{i % 2 ? 4 : 3});
            if (box == 1) table.SetValue("Prichina", std::string("Contains in BlackList"));
            table.Post();
        }
    }
}
