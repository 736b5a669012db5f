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
    if (autoLogin) {
        dm.cdsIdentities.Edit();
        dm.cdsIdentities.SetValue("AutoLogin", true);
        dm.cdsIdentities.Post();
    }
    dm.cdsIdentities.Close();
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
            if (box == 1) table.SetValue("Prichina", std::string("Contains in BlackList"));
            table.Post();
        }
    }
}
