#include "FilterTestSupport.h"

#include "filtering/Regex.h"

#include <filesystem>

namespace {

struct TCase {
    const char* name;
    std::string header;
    const char* fields;
    int rule;
    const char* content;
    bool caseMatch;
    bool caught;
};

const std::string kHello = Header({"From: Ann <ann@example.org>", "To: bob@example.net", "Subject: Hello World"});

const TCase kCases[] = {
    {"ContainsIgnoringCase", kHello, "3", kContains, "hello", true, true},
    {"ContainsCaseSensitive", kHello, "3", kContains, "hello", false, false},
    {"ContainsWordNeedsNonWordAfter", kHello, "3", kContainsWord, "World", true, false},
    {"ContainsWordInside", kHello, "3", kContainsWord, "Hello", true, true},
    {"StartWith", kHello, "3", kStartWith, "Hello", false, true},
    {"DoesNotStartWith", kHello, "3", kDoesNotStartWith, "Bye", false, true},
    {"DoesNotStartWithPresent", kHello, "3", kDoesNotStartWith, "World", false, false},
    {"EndWithAtEndOfText", kHello, "3", kEndWith, "World", false, true},
    {"DoesNotEndWith", kHello, "3", kDoesNotEndWith, "World", false, false},
    {"EqualsWholeValue", kHello, "3", kEquals, "Hello World", false, true},
    {"EqualsNotPart", kHello, "3", kEquals, "Hello", false, false},
    {"UppercaseCaught", Header({"Subject: FREE MONEY 100"}), "3", kIsUppercase, "", false, true},
    {"UppercaseMixed", Header({"Subject: Free money"}), "3", kIsUppercase, "", false, false},
    {"UppercaseWithPunctuation", Header({"Subject: FREE!"}), "3", kIsUppercase, "", false, false},
    {"UppercaseCyrillicCapitals", Header({"Subject: \xCF\xD0\xC8\xC2\xC5\xD2"}), "3", kIsUppercase, "", false, true},
    {"DotIsLiteral", Header({"Subject: axb"}), "3", kContains, "a.b", true, false},
    {"DotMatchesDot", Header({"Subject: a.b"}), "3", kContains, "a.b", true, true},
    {"MarkerIsLiteral", Header({"Subject: price $& more"}), "3", kContains, "$&", true, true},
    {"MarkerAbsent", Header({"Subject: price more"}), "3", kContains, "$&", true, false},
    {"FoldedFieldIsOneText", Header({"Subject: one", " two"}), "3", kEquals, "one two", false, true},
    {"EmptyContentTestsPresence", kHello, "5", kContains, "", true, false},
    {"EmptyContentPresent", kHello, "2", kContains, "", true, true},
    {"DoesNotContainCatchesMissingField", kHello, "5", kDoesNotContain, "x", false, true},
    {"IsMissingAbsent", kHello, "5", kIsMissing, "", false, true},
    {"IsMissingPresent", kHello, "2", kIsMissing, "", false, false},
    {"IsBlankAbsent", kHello, "5", kIsBlank, "", false, true},
    {"IsBlankPresent", kHello, "2", kIsBlank, "", false, false},
    {"EveryReceivedLineTested",
     Header({"Received: from a.example", "Received: from relay.evil.example", "Subject: x"}), "4", kContains,
     "evil", true, true},
    {"ReplyToIsNotTo", Header({"Reply-To: x@evil.example"}), "2", kContains, "evil", true, false},
    {"AnyFieldCatches", kHello, "5,1", kContains, "ann@", true, true},
    {"EmptyFieldsNeverCatch", kHello, "", kDoesNotContain, "x", false, false},
    {"UnknownFieldIdNeverCatches", kHello, "99", kIsMissing, "", false, false},
    {"FieldIdNotANumberNeverCatches", kHello, "x,", kIsMissing, "", false, false},
    {"UnknownRuleNeverCatches", kHello, "3", 42, "Hello", true, false},
};

class FilterEvaluateCases : public TFilterTest, public ::testing::WithParamInterface<TCase> {};

TEST_P(FilterEvaluateCases, CatchesAsTheRuleSays) {
    const TCase& c = GetParam();
    Start();
    AddCategory("Spam", 3);
    AddExpr(c.fields, c.rule, c.content, c.caseMatch);
    // The plain algorithm and the cached one agree on every case.
    for (bool caching : {false, true}) {
        SCOPED_TRACE(caching ? "cached" : "plain");
        Engine().SetCaching(caching);
        EXPECT_EQ(Engine().Evaluate(c.header), c.caught ? 3 : -1);
        EXPECT_EQ(Engine().Reason.empty(), !c.caught);
    }
}

INSTANTIATE_TEST_SUITE_P(Rules, FilterEvaluateCases, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TFilterTest, NoCategoriesCatchNothingAndSaveNothing) {
    Start();
    EXPECT_EQ(Engine().Evaluate(kHello), -1);
    EXPECT_EQ(Engine().MatchedCategoryId, -1);
    EXPECT_EQ(Engine().MatchedExpressionId, -1);
    EXPECT_EQ(Engine().Reason, "");
    EXPECT_FALSE(std::filesystem::exists(home.File("filters.dat")));
    EXPECT_FALSE(std::filesystem::exists(home.File("expr.dat")));
}

TEST_F(TFilterTest, FirstCatchingCategoryWinsAndOnlyItsHitsGrow) {
    Start();
    const auto first = AddCategory("Money", 3);
    const auto firstExpr = AddExpr("3", kContains, "money", true);
    const auto second = AddCategory("Free", 1);
    const auto secondExpr = AddExpr("3", kContains, "free", true);

    EXPECT_EQ(Engine().Evaluate(Header({"Subject: Free MONEY"})), 3);
    EXPECT_EQ(Engine().MatchedCategoryId, first);
    EXPECT_EQ(Engine().MatchedExpressionId, firstExpr);
    EXPECT_EQ(Engine().Reason, "\"Subject\" contains \"money\"");
    // The user's current category and expression are kept.
    EXPECT_EQ(dm->cdsFilterCategory.AsInteger("id"), second);
    EXPECT_EQ(dm->cdsExpr.AsInteger("id"), secondExpr);

    // Counted and saved at once: a new module reads them back.
    dm.reset();
    Start();
    auto& c = dm->cdsFilterCategory;
    EXPECT_EQ(Hits(c, first), 1);
    EXPECT_EQ(Hits(c, second), 0);
    ASSERT_TRUE(c.Locate("id", TValue{first}));
    EXPECT_EQ(Hits(dm->cdsExpr, firstExpr), 1);
    ASSERT_TRUE(c.Locate("id", TValue{second}));
    EXPECT_EQ(Hits(dm->cdsExpr, secondExpr), 0);
}

TEST_F(TFilterTest, FieldsAreTestedInTheOrderWritten) {
    Start();
    AddCategory("Spam");
    AddExpr("3,1", kContains, "example", true);
    const std::string header = Header({"From: a@example.org", "Subject: example offer"});
    EXPECT_EQ(Engine().Evaluate(header), 1);
    EXPECT_EQ(Engine().Reason, "\"Subject\" contains \"example\"");

    dm->cdsExpr.Edit();
    dm->cdsExpr.SetValue("Fields", std::string("1,3"));
    dm->cdsExpr.Post();
    Engine().CacheStale = true;
    EXPECT_EQ(Engine().Evaluate(header), 1);
    EXPECT_EQ(Engine().Reason, "\"From\" contains \"example\"");
}

TEST_F(TFilterTest, DeletedExpressionsAndCategoriesAreNoLongerUsed) {
    Start();
    AddCategory("A");
    AddExpr("3", kContains, "offer", true);
    AddCategory("B", 4);
    AddExpr("3", kContains, "offer", true);
    const std::string header = Header({"Subject: offer"});
    ASSERT_EQ(Engine().Evaluate(header), 1);

    ASSERT_TRUE(dm->cdsFilterCategory.Locate("NameCategory", TValue{std::string("A")}));
    dm->cdsExpr.Delete();
    Engine().CacheStale = true;
    EXPECT_EQ(Engine().Evaluate(header), 4);

    ASSERT_TRUE(dm->cdsFilterCategory.Locate("NameCategory", TValue{std::string("B")}));
    ui.answers.push_back(TMsgResult::Yes);
    ASSERT_TRUE(dm->Actions["DeleteCategory"].Execute());
    EXPECT_EQ(Engine().Evaluate(header), -1);
}

// A pattern that backtracks exponentially on a run of "a" (and holds no
// literal of two characters, which would refuse the subject at once).
const char kRunaway[] = "(a|aa)*[yz]";

TEST_F(TFilterTest, ASearchOutOfBudgetDoesNotCatchAndTheEvaluationGoesOn) {
    Start();
    auto& f = dm->cdsFields;
    f.Append();
    f.SetValue("Name", std::string("Runaway"));
    f.SetValue("RegularExpr", std::string(kRunaway));
    f.SetValue("Modifier", std::string("mgi-r-s"));
    f.Post();
    const std::string runawayField = f.AsString("id");
    auto& r = dm->cdsRules;
    r.Append();
    r.SetValue("Name", std::string("Runaway rule"));
    r.SetValue("RegularExpr", std::string(kRunaway) + "$&");
    r.SetValue("Result", false);  // "no match" would catch, if the search had finished
    r.SetValue("FieldEnable", true);
    r.SetValue("Modifier", std::string("mg-i-r-s"));
    r.Post();
    const int runawayRule = static_cast<int>(r.AsInteger("id"));

    AddCategory("Runaway");
    AddExpr(runawayField, kIsMissing, "", false);
    AddExpr("3", runawayRule, "x", false);
    AddCategory("Plain", 4);
    const auto plain = AddExpr("3", kContains, "aaa", true);
    const std::string header = Header({("Subject: " + std::string(40, 'a')).c_str()});
    for (bool caching : {true, false}) {
        Engine().SetCaching(caching);
        EXPECT_EQ(Engine().Evaluate(header), 4);
        EXPECT_EQ(Engine().MatchedExpressionId, plain);
    }
}

TEST_F(TFilterTest, ADamagedRuleEndsTheEvaluationWithAnError) {
    Start();
    auto& r = dm->cdsRules;
    ASSERT_TRUE(r.Locate("id", TValue{std::int64_t{kContains}}));
    r.Edit();
    r.SetValue("RegularExpr", std::string("($&"));
    r.Post();
    const auto category = AddCategory("A");
    const auto expr = AddExpr("3", kContains, "x", true);
    AddCategory("B");

    EXPECT_THROW(Engine().Evaluate(kHello), TFilterError);
    // Nothing caught on an empty field, so the broken pattern is not reached.
    EXPECT_EQ(Engine().Evaluate(Header({"From: a@b.c"})), -1);

    const TFilter::TEvaluation result = Engine().TryEvaluate(kHello);
    EXPECT_EQ(result.outcome, TFilter::TOutcome::EngineError);
    EXPECT_EQ(result.actionId, -1);
    EXPECT_NE(result.error.find("(x"), std::string::npos);
    EXPECT_EQ(Engine().ActionId, -1);
    EXPECT_EQ(Engine().Reason, "");
    EXPECT_NE(dm->cdsFilterCategory.AsInteger("id"), category);
    ASSERT_TRUE(dm->cdsFilterCategory.Locate("id", TValue{category}));
    EXPECT_EQ(Hits(dm->cdsExpr, expr), 0);

    try {
        Engine().Evaluate(kHello);
    } catch (const TFilterError& e) {
        EXPECT_NE(e.RegexCode(), 0);
    }
}

TEST_F(TFilterTest, TryEvaluateTellsCaughtFromNotCaught) {
    Start();
    AddCategory("A", 2);
    AddExpr("3", kContains, "hello", true);
    auto caught = Engine().TryEvaluate(kHello);
    EXPECT_EQ(caught.outcome, TFilter::TOutcome::Caught);
    EXPECT_EQ(caught.actionId, 2);
    auto missed = Engine().TryEvaluate(Header({"Subject: other"}));
    EXPECT_EQ(missed.outcome, TFilter::TOutcome::NotCaught);
    EXPECT_EQ(missed.actionId, -1);
}

TEST_F(TFilterTest, ReasonUsesTheNamesOfTheLastRebuild) {
    Start();
    AddCategory("A");
    AddExpr("3", kContains, "hello", true);
    ASSERT_EQ(Engine().Evaluate(kHello), 1);
    auto& r = dm->cdsRules;
    ASSERT_TRUE(r.Locate("id", TValue{std::int64_t{kContains}}));
    r.Edit();
    r.SetValue("Name", std::string("Enth\xE4lt ABC"));
    r.Post();
    dm->cdsExpr.RecalculateAll();
    Engine().Evaluate(kHello);
    EXPECT_EQ(Engine().Reason, "\"Subject\" contains \"hello\"");
    Engine().CacheStale = true;
    Engine().Evaluate(kHello);
    EXPECT_EQ(Engine().Reason, "\"Subject\" enth\xE4lt abc \"hello\"");
}

TEST(FilterCaseMatch, AdjustsTheModifierString) {
    struct {
        bool wish;
        const char* modifier;
        const char* expected;
    } cases[] = {
        {true, "mgi-r-s", "mgi-r-s"}, {false, "mg-i-r-s", "mg-i-r-s"}, {true, "mg-i-r-s", "mgi-r-s"},
        {true, "mg-ir-s", "mgir-s"},  {false, "mgi-r-s", "mg-r-s"},    {true, "mg-r-s", "img-r-s"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TFilter::ApplyCaseMatch(c.wish, c.modifier), c.expected) << c.modifier;
        TRegex re;
        re.ApplyModifiers(TFilter::ApplyCaseMatch(c.wish, c.modifier));
        EXPECT_EQ(re.Modifier('i'), c.wish) << c.modifier;
    }
    EXPECT_TRUE(TFilter::IsCaseInsensitive("mgi-r-s"));
    EXPECT_FALSE(TFilter::IsCaseInsensitive("mg-i-r-s"));
    EXPECT_FALSE(TFilter::IsCaseInsensitive("mg-s"));
}

TEST_F(TFilterTest, PatternOperationsOfTheDialogs) {
    Start();
    const std::string header =
        Header({"From: \"Ann\" <ann.lee@mail.example.org>", "To: a@x.example, b@y.example", "Subject: one",
                " two", "Subject: three"});
    EXPECT_EQ(TFilter::ExtractAddress(Engine().ExtractField(header, kFrom)), "ann.lee@mail.example.org");
    EXPECT_EQ(Engine().ExtractField(header, kSubject), "Subject: one\r\n twoSubject: three");
    EXPECT_EQ(Engine().ExtractField(header, 99), "");
    EXPECT_EQ(TFilter::ExtractAddress("no address"), "");

    std::vector<std::string> list;
    TFilter::CollectGroup(0, Engine().ExtractField(header, kTo), list, "",
                          "[_a-zA-Z\\d\\-\\.]+@([_a-zA-Z\\d\\-]+(\\.[_a-zA-Z\\d\\-]+)+)");
    EXPECT_EQ(list, (std::vector<std::string>{"a@x.example", "b@y.example"}));
    list.clear();
    TFilter::CollectGroup(1, "k=1 k=22", list, "", "k=(\\d+)");
    EXPECT_EQ(list, (std::vector<std::string>{"1", "22"}));
    EXPECT_EQ(TFilter::CollectMatches("abcabc", "b", ""), "bb");
    // An empty match moves one character on, so the search ends.
    EXPECT_EQ(TFilter::CollectMatches("abc", "x*", ""), "");

    list.clear();
    Engine().ListNames("Action", list);
    EXPECT_EQ(list, (std::vector<std::string>{"kill", "accept", "kill after error message",
                                              "kill and send header of the message"}));
    list.clear();
    Engine().ListNames("Nothing", list);
    EXPECT_TRUE(list.empty());
}

}  // namespace
