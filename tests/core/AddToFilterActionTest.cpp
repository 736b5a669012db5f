// "Add to filter" on the current InBox row, and the filter commands after a scan.
#include "complaints/ComplaintForm.h"
#include "core/BoxView.h"
#include "core/DataModule.h"
#include "core/MailCommands.h"
#include "filtering/AddToFilter.h"
#include "filtering/FilterEngine.h"
#include "filtering/dmfilters.h"
#include "support/FakeUserInterface.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

namespace {

// Ticks the From box of the dialog and adds, as a user would.
class TAddingUserInterface : public TFakeUserInterface {
public:
    std::vector<std::string> headers;
    bool add = true;
    bool ShowAddToFilter(TAddToFilter& dialog) override {
        headers.push_back(dialog.Header());
        dialog.FromCheck = true;
        return add && dialog.AddToFilter();
    }
};

class TAddToFilterActionTest : public ::testing::Test {
protected:
    TTempHome home;
    TAddingUserInterface ui;
    TUserInterfaceScope scope{ui};
    TDM dm;
    std::unique_ptr<TFilterDM> filters;
    TComplaintForm complaint;
    std::unique_ptr<TMailCommands> commands;
    std::unique_ptr<TBoxView> inBox;

    void SetUp() override {
        dm.LoadStore();
        filters = std::make_unique<TFilterDM>();
        commands = std::make_unique<TMailCommands>(dm, complaint, filters.get());
        inBox = std::make_unique<TBoxView>(dm, TBoxView::TKind::InBox);
    }
    void AddRow(const std::string& from) {
        dm.cdsInBox.Append();
        dm.cdsInBox.SetValue("from", from);
        dm.cdsInBox.SetValue("header", "From: " + from + "\r\nSubject: s\r\n");
        dm.cdsInBox.Post();
    }
};

TEST_F(TAddToFilterActionTest, OpensTheDialogForTheCurrentRow) {
    TAction& action = dm.Actions["AddToFilter"];
    EXPECT_EQ(action.Caption(), "Add to filter");
    EXPECT_EQ(action.Category(), "InBox");
    EXPECT_FALSE(action.Execute()) << "no row";
    filters->cdsFilterCategory.Append();
    filters->cdsFilterCategory.SetValue("NameCategory", std::string("Spam"));
    filters->cdsFilterCategory.SetValue("idAction", std::int64_t{1});
    filters->cdsFilterCategory.Post();
    AddRow("a@x.org");
    AddRow("Shop <offers@shop.example>");
    ASSERT_TRUE(action.Execute());
    ASSERT_EQ(ui.headers.size(), 1u);
    EXPECT_EQ(ui.headers[0], "From: Shop <offers@shop.example>\r\nSubject: s\r\n");
    EXPECT_EQ(filters->cdsExpr.AsString("Content"), "offers@shop.example");
    EXPECT_TRUE(filters->Engine().CacheStale);

    // A ticked row makes it unavailable.
    inBox->ToggleCurrent();
    EXPECT_FALSE(action.Execute());
    EXPECT_EQ(ui.headers.size(), 1u);
}

// A scan switches every filter command off and on again; the rules of the
// tables decide afterwards.
TEST_F(TAddToFilterActionTest, AfterAScanWithoutCategoriesOnlyAddingAndImportAreUsable) {
    dm.Idle = false;
    commands->EnableActions(false);
    dm.Idle = true;
    commands->EnableActions(true);
    for (const auto& action : filters->Actions.Items()) {
        const bool usable = action->Name() == "AddCategory" || action->Name() == "FilterImport";
        EXPECT_EQ(action->Enabled(), usable) << action->Name();
    }
}

}  // namespace
