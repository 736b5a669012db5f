#include "FilterTestSupport.h"

#include <filesystem>

namespace {

const std::string kTitle = "Tarnwick filters\r\n";

std::string Line(const std::string& category, const std::string& fields, const std::string& rule,
                 const std::string& caseField, const std::string& content) {
    return category + '\a' + fields + '\a' + rule + '\a' + caseField + '\a' + content + "\r\n";
}

struct TExprValues {
    std::string category, fields;
    std::int64_t rule;
    bool caseMatch;
    std::string content;
    std::int64_t action;
    bool operator==(const TExprValues&) const = default;
};

std::vector<TExprValues> AllExpressions(TFilterDM& dm) {
    std::vector<TExprValues> all;
    auto& c = dm.cdsFilterCategory;
    auto& e = dm.cdsExpr;
    for (c.First(); !c.Eof(); c.Next())
        for (e.First(); !e.Eof(); e.Next())
            all.push_back({c.AsString("NameCategory"), e.AsString("Fields"), e.AsInteger("idRule"),
                           e.AsBoolean("CaseMatch"), e.AsString("Content"), c.AsInteger("idAction")});
    return all;
}

TEST_F(TFilterTest, ExportAndImportIntoAnEmptyInstallation) {
    Start();
    AddCategory("Money", 3);
    AddExpr("3", kContains, "free $& money", true);
    AddExpr("5,1", kIsMissing, "", false);
    AddCategory("Empty", 2);
    AddCategory("Words", 4);
    AddExpr("1", kContainsWord, "a.b", false);
    ASSERT_EQ(Engine().Evaluate(Header({"Subject: free $& money"})), 3);  // hits are not exported

    ui.fileAnswers.push_back(home.File("out.txt"));
    ASSERT_TRUE(dm->Actions["FilterExport"].Execute());
    EXPECT_EQ(ReadFile(home.File("out.txt")),
              kTitle + Line("Money", "3", "1", "-1", "free $& money") + Line("Money", "5,1", "10", "0", "") +
                  Line("Words", "1", "2", "0", "a.b"));
    // The user's current rows are kept.
    EXPECT_EQ(dm->cdsFilterCategory.AsString("NameCategory"), "Words");

    dm.reset();
    TTempHome other;
    Start();
    ui.fileAnswers.push_back(home.File("out.txt"));
    ASSERT_TRUE(dm->Actions["FilterImport"].Execute());
    EXPECT_EQ(AllExpressions(*dm), (std::vector<TExprValues>{{"Money", "3", kContains, true, "free $& money", 1},
                                                             {"Money", "5,1", kIsMissing, false, "", 1},
                                                             {"Words", "1", kContainsWord, false, "a.b", 1}}));
    auto& categories = dm->cdsFilterCategory;
    for (categories.First(); !categories.Eof(); categories.Next()) EXPECT_EQ(categories.AsInteger("Hits"), 0);
    // The engine sees the imported expressions at once.
    EXPECT_EQ(Engine().Evaluate(Header({"Subject: FREE $& MONEY"})), 1);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(TFilterTest, ImportMatchesCategoryNamesExactlyAndDuplicatesOnASecondRun) {
    Start();
    AddCategory("Spam", 3);
    WriteFile(home.File("in.txt"), kTitle + Line("Spam", "3", "1", "True", "a") + Line("spam", "3", "1", "false", "b") +
                                       Line("SPAM", "1", "3", "7", "c"));
    Engine().ImportFiltersFrom(home.File("in.txt"));
    Engine().ImportFiltersFrom(home.File("in.txt"));
    EXPECT_EQ(AllExpressions(*dm), (std::vector<TExprValues>{{"Spam", "3", 1, true, "a", 3},
                                                             {"Spam", "3", 1, true, "a", 3},
                                                             {"spam", "3", 1, false, "b", 1},
                                                             {"spam", "3", 1, false, "b", 1},
                                                             {"SPAM", "1", 3, true, "c", 1},
                                                             {"SPAM", "1", 3, true, "c", 1}}));
}

TEST_F(TFilterTest, AFileWithAnotherTitleIsIgnored) {
    Start();
    for (const std::string& text : {std::string(), "Other filters\r\n" + Line("A", "1", "1", "0", "x"),
                                   "tarnwick filters\r\n" + Line("A", "1", "1", "0", "x")}) {
        WriteFile(home.File("in.txt"), text);
        Engine().ImportFiltersFrom(home.File("in.txt"));
    }
    EXPECT_TRUE(dm->cdsFilterCategory.IsEmpty());
    EXPECT_THROW(Engine().ImportFiltersFrom(home.File("missing.txt")), TFilterError);
}

TEST_F(TFilterTest, ABadLineStopsTheImportAndNamesTheLine) {
    struct {
        std::string line;
        std::string says;
    } cases[] = {
        {"B\a3\a1\a0\r\n", "fewer than four separators"},
        {Line("B", "3", "one", "0", "x"), "not a whole number"},
        {Line("B", "3", "1", "maybe", "x"), "neither -1, 0, True nor False"},
        {Line("B", "3", "77", "0", "x"), "no rule 77"},
        {Line("B", "3,x", "1", "0", "x"), "no field \"x\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        dm.reset();
        TTempHome fresh;
        Start();
        const auto kept = AddCategory("Kept");
        const auto keptExpr = AddExpr("1", kContains, "k", true);
        WriteFile(fresh.File("in.txt"), kTitle + Line("A", "3", "1", "0", "a") + c.line + Line("C", "3", "1", "0", "c"));
        ui.fileAnswers.push_back(fresh.File("in.txt"));
        ui.messages.clear();
        dm->Actions["FilterImport"].Execute();
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_NE(ui.messages[0].text.find("line 3"), std::string::npos) << ui.messages[0].text;
        EXPECT_NE(ui.messages[0].text.find(c.says), std::string::npos) << ui.messages[0].text;
        EXPECT_EQ(ui.messages[0].icon, TMsgIcon::Error);
        // The remembered rows are back.
        EXPECT_EQ(dm->cdsFilterCategory.AsInteger("id"), kept);
        EXPECT_EQ(dm->cdsExpr.AsInteger("id"), keptExpr);
        // The line before stays imported, and the engine sees it.
        const auto all = AllExpressions(*dm);
        ASSERT_EQ(all.size(), 2u);
        EXPECT_EQ(all.back().category, "A");
        EXPECT_EQ(Engine().Evaluate(Header({"Subject: a"})), 1);
        dm.reset();
    }
}

}  // namespace
