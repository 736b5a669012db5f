// A table file that another Tarnwick keeps locked stops the start of the data
// modules: nothing is renamed, deleted or rebuilt, and the caller learns why.
#include "HeldLock.h"
#include "core/DataModule.h"
#include "data/TTableError.h"
#include "filtering/dmfilters.h"
#include "support/FakeUserInterface.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>

namespace {

using namespace std::chrono_literals;

const auto kDefaultBusyTimeout = TTableFile::BusyTimeout();

const char* const kMainFiles[] = {"friends.dat", "blacklist.dat", "identities.dat", "accounts.dat"};
const char* const kFilterFiles[] = {"Action.dat", "filters.dat", "Rules.dat", "Fields.dat", "expr.dat"};

class TDataModuleStartTest : public ::testing::Test {
protected:
    TTempHome home;
    TFakeUserInterface ui;
    TUserInterfaceScope scope{ui};

    TDataModuleStartTest() { TTableFile::SetBusyTimeout(100ms); }
    ~TDataModuleStartTest() override { TTableFile::SetBusyTimeout(kDefaultBusyTimeout); }

    // Every table file, each with a row that only the user's file can give
    // back: a rebuilt or emptied file would lose it.
    void MakeEveryFile() {
        TDM dm;
        dm.LoadStore();
        Add(dm.cdsFriends, "name", "friend@example.org");
        Add(dm.cdsBlackList, "name", "spam.example");
        Add(dm.cdsIdentities, "username", "anna");
        dm.cdsAccounts.Append();
        for (const auto& [field, value] : {std::pair{"description", "Work"}, {"host", "pop.example.org"},
                                           {"login", "anna"}, {"email", "anna@example.org"}})
            dm.cdsAccounts.SetValue(field, std::string(value));
        dm.cdsAccounts.Post();

        TFilterDM filters;
        for (TTable* table : {&filters.cdsAction, &filters.cdsRules, &filters.cdsFields}) Rename(*table);
        Add(filters.cdsFilterCategory, "NameCategory", "Spam");
        Add(filters.cdsExpr, "Content", "offer");
        filters.Close();
    }

    void ExpectEverythingKept() {
        TDM dm;
        dm.LoadStore();
        EXPECT_EQ(dm.cdsFriends.AsString("name"), "friend@example.org");
        EXPECT_EQ(dm.cdsBlackList.AsString("name"), "spam.example");
        EXPECT_EQ(dm.cdsIdentities.AsString("username"), "anna");
        EXPECT_EQ(dm.cdsAccounts.AsString("description"), "Work");
        TFilterDM filters;
        for (TTable* table : {&filters.cdsAction, &filters.cdsRules, &filters.cdsFields})
            EXPECT_EQ(table->AsString("Name"), "mine") << table->Name();
        EXPECT_EQ(filters.cdsFilterCategory.AsString("NameCategory"), "Spam");
        EXPECT_EQ(filters.cdsExpr.AsString("Content"), "offer");
        EXPECT_TRUE(ui.messages.empty());
        for (const auto& entry : std::filesystem::directory_iterator(home.Path()))
            EXPECT_EQ(entry.path().string().find(".damaged"), std::string::npos) << entry.path();
    }

private:
    static void Add(TTable& table, const char* field, const char* value) {
        table.Append();
        table.SetValue(field, std::string(value));
        table.Post();
    }
    static void Rename(TTable& table) {
        table.First();
        table.Edit();
        table.SetValue("Name", std::string("mine"));
        table.Post();
    }
};

// The refusal names the file and says what to do.
void ExpectHomeInUse(const std::function<void()>& start, const std::string& file) {
    try {
        start();
        ADD_FAILURE() << "started";
    } catch (const THomeInUseError& e) {
        const std::string text = e.what();
        EXPECT_EQ(text.rfind("Another Tarnwick is using the folder ", 0), 0u) << text;
        EXPECT_NE(text.find(" " + file + " locked"), std::string::npos) << text;
        EXPECT_EQ(std::filesystem::path(e.File()).filename(), file);
    }
}

TEST_F(TDataModuleStartTest, AFileLockedByAnotherTarnwickStopsTheStartAndNothingIsTouched) {
    MakeEveryFile();
    for (const auto kind : {THeldLock::TKind::RollbackJournal, THeldLock::TKind::ExclusiveWal}) {
        for (const char* file : kMainFiles) {
            SCOPED_TRACE(file);
            THeldLock lock(home.File(file), kind);
            ExpectHomeInUse([] { TDM().DataModuleCreate(); }, file);
        }
        for (const char* file : kFilterFiles) {
            SCOPED_TRACE(file);
            THeldLock lock(home.File(file), kind);
            ExpectHomeInUse([] { TFilterDM(); }, file);
        }
        ExpectEverythingKept();
    }
}

TEST_F(TDataModuleStartTest, ALockLetGoWithinTheBusyTimeoutIsWaitedFor) {
    MakeEveryFile();
    TTableFile::SetBusyTimeout(3s);
    for (const char* file : {"accounts.dat", "expr.dat"}) {
        SCOPED_TRACE(file);
        std::promise<void> held;
        std::jthread other([&] {
            try {
                THeldLock lock(home.File(file), THeldLock::TKind::RollbackJournal);
                held.set_value();
                std::this_thread::sleep_for(300ms);
            } catch (...) {
                held.set_exception(std::current_exception());
            }
        });
        held.get_future().get();
        ExpectEverythingKept();
    }
}

}  // namespace
