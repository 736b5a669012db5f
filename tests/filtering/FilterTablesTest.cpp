#include "FilterTestSupport.h"

#include "data/TTableFile.h"
#include "i18n/LanguageFiles.h"

#include <filesystem>
#include <functional>

namespace {

std::vector<std::string> Column(TTable& table, const std::string& field) {
    std::vector<std::string> values;
    for (table.First(); !table.Eof(); table.Next()) values.push_back(table.AsString(field));
    table.First();
    return values;
}

std::vector<std::string> StoredNames(const std::string& path) {
    std::vector<std::string> names;
    if (auto layout = TTableFile::ReadLayout(path))
        for (const auto& f : *layout) names.push_back(f.name);
    return names;
}

TEST_F(TFilterTest, FirstStartBuildsTheBuiltInTables) {
    Start();
    EXPECT_EQ(Column(dm->cdsAction, "id"), (std::vector<std::string>{"1", "2", "3", "4"}));
    EXPECT_EQ(Column(dm->cdsAction, "Name"), (std::vector<std::string>{"kill", "accept", "kill after error message",
                                                                        "kill and send header of the message"}));
    EXPECT_EQ(Column(dm->cdsRules, "Name"),
              (std::vector<std::string>{"Contains", "Contains word", "Does not contain", "Equals", "Start with",
                                        "Does not start with", "End with", "Does not end with", "Is blank",
                                        "Is missing", "Is uppercase"}));
    EXPECT_EQ(Column(dm->cdsRules, "id").back(), "11");
    EXPECT_EQ(Column(dm->cdsRules, "Modifier"),
              (std::vector<std::string>{"mgi-r-s", "mg-i-r-s", "mg-i-r-s", "mg-i-r-s", "mg-i-r-s", "mg-i-r-s",
                                        "mg-i-r-s", "mg-i-r-s", "mg-i-r-s", "mg-i-r-s", "mg-ir-s"}));
    EXPECT_EQ(Column(dm->cdsRules, "Result"),
              (std::vector<std::string>{"True", "True", "False", "True", "True", "False", "True", "False", "False",
                                        "True", "True"}));
    EXPECT_EQ(Column(dm->cdsRules, "FieldEnable")[9], "False");
    EXPECT_EQ(Column(dm->cdsRules, "RegularExpr")[10], "^(.)*:([A-Z\\d\\s\xC0-\xDF])+\\Z");
    EXPECT_EQ(Column(dm->cdsRules, "RegularExpr")[8], "");
    EXPECT_EQ(Column(dm->cdsFields, "Name"),
              (std::vector<std::string>{"From", "To", "Subject", "Received", "Cc", "Comments", "Errors-To",
                                        "Message-Id", "Reply-To", "Return-Path", "Sender", "X-Complain-To",
                                        "X-Sieve"}));
    EXPECT_EQ(Column(dm->cdsFields, "id").back(), "13");
    EXPECT_EQ(Column(dm->cdsFields, "RegularExpr")[12], "^ X-Sieve:(.*)(\\r\\n\\s+(.*))*");
    EXPECT_EQ(Column(dm->cdsFields, "Modifier")[0], "mgi-r-s");
    EXPECT_TRUE(dm->cdsFilterCategory.IsEmpty());
    EXPECT_EQ(dm->cdsExpr.RowCountAll(), 0u);

    // The user's files appear with the first post.
    EXPECT_FALSE(std::filesystem::exists(home.File("filters.dat")));
    EXPECT_FALSE(std::filesystem::exists(home.File("expr.dat")));
    AddCategory("Spam");
    EXPECT_TRUE(std::filesystem::exists(home.File("filters.dat")));
    AddExpr("1", kContains, "x", true);
    EXPECT_TRUE(std::filesystem::exists(home.File("expr.dat")));
    EXPECT_EQ(StoredNames(home.File("expr.dat")),
              (std::vector<std::string>{"id", "idFilter", "idRule", "Content", "CaseMatch", "Fields", "Hits"}));
    EXPECT_EQ(StoredNames(home.File("filters.dat")),
              (std::vector<std::string>{"id", "NameCategory", "idAction", "Hits"}));

    // A second start keeps everything and adds no built-in rows.
    Start();
    EXPECT_EQ(dm->cdsRules.RecordCount(), 11);
    EXPECT_EQ(dm->cdsFilterCategory.AsString("NameCategory"), "Spam");
    EXPECT_EQ(dm->cdsExpr.AsString("Content"), "x");
}

TEST_F(TFilterTest, LookedUpColumnsAndTheDetailLink) {
    Start();
    const auto first = AddCategory("First", 3);
    EXPECT_EQ(dm->cdsFilterCategory.AsString("NameAction"), "kill after error message");
    AddExpr("3,9", kIsMissing, "", false);
    EXPECT_EQ(dm->cdsExpr.AsString("FieldStr"), "Subject,Reply-To");
    EXPECT_EQ(dm->cdsExpr.AsString("Rule"), "Is missing");
    EXPECT_EQ(dm->cdsExpr.AsInteger("idFilter"), first);
    EXPECT_EQ(dm->cdsExpr.AsInteger("Hits"), 0);
    AddExpr("", kContains, "y", true);
    EXPECT_TRUE(dm->cdsExpr.IsNull("FieldStr"));

    AddCategory("Second");
    EXPECT_TRUE(dm->cdsExpr.IsEmpty());
    ASSERT_TRUE(dm->cdsFilterCategory.Locate("id", TValue{first}));
    EXPECT_EQ(dm->cdsExpr.RecordCount(), 2);

    // Renamed fields and rules show at the next change of the expression.
    for (TTable* names : {&dm->cdsFields, &dm->cdsRules}) {
        ASSERT_TRUE(names->Locate("id", TValue{std::int64_t{names == &dm->cdsFields ? 9 : kIsMissing}}));
        names->Edit();
        names->SetValue("Name", std::string("Renamed"));
        ASSERT_TRUE(names->Post());
    }
    ASSERT_TRUE(dm->cdsExpr.Locate("Fields", std::string("3,9")));
    dm->cdsExpr.Edit();
    dm->cdsExpr.SetValue("Hits", std::int64_t{1});
    ASSERT_TRUE(dm->cdsExpr.Post());
    EXPECT_EQ(dm->cdsExpr.AsString("FieldStr"), "Subject,Renamed");
    EXPECT_EQ(dm->cdsExpr.AsString("Rule"), "Renamed");
}

// The same seven names in another order.
void WriteShuffledExprFile(const std::string& file) {
    TTable shuffled("x", {TFieldDef("id", TFieldType::AutoInc), TFieldDef("idFilter", TFieldType::Integer),
                          TFieldDef("Fields", TFieldType::String, 300), TFieldDef("idRule", TFieldType::Integer),
                          TFieldDef("Content", TFieldType::String, 200), TFieldDef("CaseMatch", TFieldType::Boolean),
                          TFieldDef("Hits", TFieldType::Integer)});
    shuffled.SetFileName(file);
    shuffled.Append();
    shuffled.SetValue("Content", std::string("old"));
    shuffled.Post();
    shuffled.Close();
}

TEST_F(TFilterTest, ABuiltInFileThatDoesNotLoadIsBuiltAgainSilently) {
    WriteShuffledExprFile("Rules.dat");
    WriteFile(home.File("Fields.dat"), "not a table file");
    Start();
    EXPECT_EQ(dm->cdsRules.RecordCount(), 11);
    EXPECT_EQ(dm->cdsFields.RecordCount(), 13);
    EXPECT_EQ(StoredNames(home.File("Rules.dat")),
              (std::vector<std::string>{"id", "Name", "RegularExpr", "Result", "FieldEnable", "Modifier"}));
    EXPECT_FALSE(std::filesystem::exists(home.File("Rules.dat.damaged")));
    EXPECT_TRUE(ui.messages.empty());
}

// The user's own filters are never thrown away: a file that does not load is
// kept aside for rescue, the user is told, and the table starts empty.
class TDamagedFilterFileTest : public TFilterTest {
protected:
    // filters.dat and expr.dat holding one category with one expression.
    void MakeUserFiles() {
        Start();
        AddCategory("Spam");
        AddExpr("3", kContains, "offer", true);
        dm->Close();
        dm.reset();
    }
};

TEST_F(TDamagedFilterFileTest, IsKeptAsideAndTheUserTold) {
    struct Case {
        const char* file;
        const char* what;
        std::function<void(const std::string&)> damage;
    };
    const auto cutShort = [](const std::string& path) {
        std::filesystem::resize_file(path, std::filesystem::file_size(path) / 3);
    };
    const auto randomBytes = [](const std::string& path) {
        std::string bytes;
        unsigned state = 7;
        for (int i = 0; i < 5000; ++i) bytes += static_cast<char>((state = state * 1103515245u + 12345u) >> 16);
        WriteFile(path, bytes);
    };
    const auto anotherLayout = [](const std::string& path) {
        std::filesystem::remove(path);
        WriteShuffledExprFile(path);
    };
    const Case cases[] = {
        {"filters.dat", "cut short", cutShort},       {"expr.dat", "cut short", cutShort},
        {"filters.dat", "random bytes", randomBytes}, {"expr.dat", "random bytes", randomBytes},
        {"filters.dat", "another layout", anotherLayout}, {"expr.dat", "another layout", anotherLayout},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + ", " + c.what);
        for (const auto& entry : std::filesystem::directory_iterator(home.Path()))
            std::filesystem::remove(entry.path());
        ui.messages.clear();
        MakeUserFiles();
        const std::string path = home.File(c.file);
        c.damage(path);
        const std::string damaged = ReadFile(path);

        Start();
        ASSERT_TRUE(std::filesystem::exists(path + ".damaged"));
        EXPECT_TRUE(ReadFile(path + ".damaged") == damaged) << "the kept file is not the damaged one";
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_NE(ui.messages[0].text.find(std::string(c.file) + ".damaged"), std::string::npos)
            << ui.messages[0].text;
        TTable& table = std::string(c.file) == "filters.dat" ? dm->cdsFilterCategory : dm->cdsExpr;
        EXPECT_EQ(table.RowCountAll(), 0u);

        // The table starts afresh in a file of the right layout, and stays so.
        AddCategory("Again");
        AddExpr("1", kContains, "again", true);
        Start();
        EXPECT_EQ(ui.messages.size(), 1u);
        ASSERT_TRUE(dm->cdsFilterCategory.Locate("NameCategory", std::string("Again")));
        EXPECT_EQ(Column(dm->cdsExpr, "Content").back(), "again");
    }
}

TEST_F(TDamagedFilterFileTest, AnEarlierKeptFileIsNotOverwritten) {
    MakeUserFiles();
    WriteFile(home.File("expr.dat.damaged"), "kept last week");
    WriteFile(home.File("expr.dat"), "damaged today");
    Start();
    EXPECT_EQ(ReadFile(home.File("expr.dat.damaged")), "kept last week");
    EXPECT_EQ(ReadFile(home.File("expr.dat.damaged2")), "damaged today");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find("expr.dat.damaged2"), std::string::npos) << ui.messages[0].text;
}

TEST_F(TFilterTest, ABuiltInFileWithTheRightLayoutIsUsedAsItIs) {
    {
        TTable actions("x", {TFieldDef("id", TFieldType::AutoInc), TFieldDef("Name", TFieldType::String, 100)});
        actions.SetFileName("Action.dat");
        for (const char* name : {"kill", "accept"}) {
            actions.Append();
            actions.SetValue("Name", std::string(name));
            actions.Post();
        }
        ASSERT_TRUE(actions.Save());
    }
    Start();
    EXPECT_EQ(Column(dm->cdsAction, "Name"), (std::vector<std::string>{"kill", "accept"}));
    Start();
    EXPECT_EQ(dm->cdsAction.RecordCount(), 2);
}

TEST_F(TFilterTest, LanguageChangeRenamesTheBuiltInRows) {
    WriteFile(home.File("German.lng"), "[German]\r\nRules[0]=Enth\xE4lt\r\nAction[3]=Kopf senden\r\n");
    SetLanguageFolders({home.Path()});
    Start();
    AddCategory("Spam", 4);
    AddExpr("3", kContains, "hello", true);
    ASSERT_EQ(Engine().Evaluate(Header({"Subject: hello"})), 4);

    // Another translator applies the language; the module's own follows.
    TTranslator mainWindow(nullptr, "MainForm");
    mainWindow.ApplyLanguage(TLanguage::German);
    SetLanguageFolders({});

    EXPECT_EQ(Column(dm->cdsRules, "Name")[0], "Enth\xE4lt");
    EXPECT_EQ(Column(dm->cdsRules, "Name")[1], "Contains word");
    EXPECT_EQ(Column(dm->cdsAction, "Name")[3], "Kopf senden");
    EXPECT_EQ(dm->cdsExpr.AsString("Rule"), "Enth\xE4lt");
    EXPECT_EQ(dm->cdsFilterCategory.AsString("NameAction"), "Kopf senden");
    // Reasons follow after the next rebuild of the engine's caches.
    Engine().Evaluate(Header({"Subject: hello"}));
    EXPECT_EQ(Engine().Reason, "\"Subject\" contains \"hello\"");
    Engine().CacheStale = true;
    Engine().Evaluate(Header({"Subject: hello"}));
    EXPECT_EQ(Engine().Reason, "\"Subject\" enth\xE4lt \"hello\"");

    // The built-in tables are written at close with the names of the last language.
    dm->Close();
    Start();
    EXPECT_EQ(Column(dm->cdsRules, "Name")[0], "Enth\xE4lt");
}

TEST_F(TFilterTest, EnabledStateOfTheEditingActions) {
    Start();
    auto enabled = [&](const char* name) { return dm->Actions[name].Enabled(); };
    EXPECT_TRUE(enabled("AddCategory"));
    EXPECT_TRUE(enabled("FilterImport"));
    for (const char* name : {"EditCategory", "DeleteCategory", "FindCategory", "AddExpr", "EditExpr", "DeleteExpr",
                             "FilterExport"})
        EXPECT_FALSE(enabled(name)) << name;

    AddCategory("Spam");
    for (const char* name : {"EditCategory", "DeleteCategory", "FindCategory", "AddExpr", "FilterExport"})
        EXPECT_TRUE(enabled(name)) << name;
    EXPECT_FALSE(enabled("EditExpr"));
    EXPECT_FALSE(enabled("DeleteExpr"));

    AddExpr("1", kContains, "x", true);
    EXPECT_TRUE(enabled("EditExpr"));
    EXPECT_TRUE(enabled("DeleteExpr"));

    AddCategory("Other");
    EXPECT_FALSE(enabled("EditExpr"));

    // While a scan runs the state is left as the scan set it.
    dm->IsScanRunning = [] { return true; };
    dm->Actions["AddExpr"].SetEnabled(false);
    dm->cdsFilterCategory.First();
    EXPECT_FALSE(enabled("AddExpr"));
    EXPECT_FALSE(enabled("EditExpr"));
}

TEST_F(TFilterTest, CategoryActionsThroughTheDialogs) {
    Start();
    ui.categoryAnswer = TCategoryDialogResult{"  Spam  ", "kill after error message"};
    ASSERT_TRUE(dm->Actions["AddCategory"].Execute());
    EXPECT_EQ(ui.lastCategoryInput.actionNames.size(), 4u);
    EXPECT_EQ(dm->cdsFilterCategory.AsString("NameCategory"), "Spam");
    EXPECT_EQ(dm->cdsFilterCategory.AsInteger("idAction"), 3);
    EXPECT_EQ(dm->cdsFilterCategory.AsInteger("Hits"), 0);

    ui.categoryAnswer = TCategoryDialogResult{"Junk", "accept"};
    ASSERT_TRUE(dm->Actions["EditCategory"].Execute());
    EXPECT_EQ(ui.lastCategoryInput.name, "Spam");
    EXPECT_EQ(ui.lastCategoryInput.actionIndex, 2);
    EXPECT_EQ(dm->cdsFilterCategory.AsString("NameCategory"), "Junk");
    EXPECT_EQ(dm->cdsFilterCategory.AsInteger("idAction"), 2);

    ui.categoryAnswer.reset();  // cancelled
    dm->Actions["AddCategory"].Execute();
    EXPECT_EQ(dm->cdsFilterCategory.RecordCount(), 1);

    ui.categoryAnswer = TCategoryDialogResult{"ABC", "kill"};
    dm->Actions["AddCategory"].Execute();
    ui.categoryAnswer = TCategoryDialogResult{"xabcx", "kill"};
    dm->Actions["AddCategory"].Execute();
    dm->cdsFilterCategory.First();
    ui.findAnswer = "abc";  // letter case counts
    dm->Actions["FindCategory"].Execute();
    EXPECT_EQ(dm->cdsFilterCategory.AsString("NameCategory"), "xabcx");
    ui.findAnswer = "Junk";  // only before the current one: it stays
    dm->Actions["FindCategory"].Execute();
    EXPECT_EQ(dm->cdsFilterCategory.AsString("NameCategory"), "xabcx");

    ui.answers.push_back(TMsgResult::No);
    dm->Actions["DeleteCategory"].Execute();
    EXPECT_EQ(dm->cdsFilterCategory.RecordCount(), 3);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Delete filter category?");
    EXPECT_EQ(ui.messages[0].caption, "Delete category");
}

TEST_F(TFilterTest, ExpressionActionsThroughTheDialogs) {
    Start();
    const auto category = AddCategory("Spam");
    ui.ruleAnswer = TRuleDialogResult{{"To", "Reply-To"}, "Contains", "offer", true, false};
    ASSERT_TRUE(dm->Actions["AddExpr"].Execute());
    EXPECT_EQ(dm->cdsExpr.AsString("Fields"), "2,9");
    EXPECT_EQ(dm->cdsExpr.AsInteger("idRule"), kContains);
    EXPECT_EQ(dm->cdsExpr.AsInteger("idFilter"), category);
    EXPECT_EQ(dm->cdsExpr.AsString("Content"), "offer");

    // Editing checks exactly the expression's fields; "Reply-To" is not "To".
    dm->cdsExpr.Edit();
    dm->cdsExpr.SetValue("Fields", std::string("9"));
    dm->cdsExpr.Post();
    ui.ruleAnswer = TRuleDialogResult{{"Subject"}, "Is missing", "ignored", true, false};
    ASSERT_TRUE(dm->Actions["EditExpr"].Execute());
    EXPECT_EQ(ui.lastRuleInput.checkedFields, (std::vector<int>{8}));
    EXPECT_EQ(ui.lastRuleInput.ruleIndex, 0);
    EXPECT_TRUE(ui.lastRuleInput.editing);
    EXPECT_EQ(dm->cdsExpr.RecordCount(), 1);
    EXPECT_EQ(dm->cdsExpr.AsString("Fields"), "3");
    EXPECT_EQ(dm->cdsExpr.AsInteger("idRule"), kIsMissing);
    EXPECT_EQ(dm->cdsExpr.AsString("Content"), "");
    EXPECT_FALSE(dm->cdsExpr.AsBoolean("CaseMatch"));
    EXPECT_EQ(Engine().Evaluate(Header({"From: a@b.c"})), 1);

    ui.ruleAnswer = TRuleDialogResult{{"From"}, "Contains", "x", true, true};
    dm->Actions["EditExpr"].Execute();
    EXPECT_EQ(dm->cdsExpr.RecordCount(), 2);

    ui.answers.push_back(TMsgResult::Yes);
    dm->Actions["DeleteExpr"].Execute();
    EXPECT_EQ(dm->cdsExpr.RecordCount(), 1);
    EXPECT_EQ(ui.messages.back().text, "Delete rule?");
    // Deletions are written at once.
    Start();
    EXPECT_EQ(dm->cdsExpr.RowCountAll(), 1u);
}

}  // namespace
