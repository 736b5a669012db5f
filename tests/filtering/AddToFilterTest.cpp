// The add-to-filter dialog without its window: what it offers for a message,
// when it can add, and the expressions it adds.
#include "filtering/AddToFilter.h"
#include "filtering/FilterTestSupport.h"

namespace {

class TAddToFilterTest : public TFilterTest {
protected:
    void SetUp() override { Start(); }

    struct TExpr {
        std::int64_t idFilter;
        std::string fields;
        std::int64_t rule;
        std::string content;
        bool caseMatch;
        std::int64_t hits;
        bool operator==(const TExpr&) const = default;
    };
    std::vector<TExpr> AllExpressions() {
        std::vector<TExpr> all;
        TTable& c = dm->cdsFilterCategory;
        const auto standing = c.Bookmark();
        for (c.First(); !c.Eof(); c.Next())
            for (dm->cdsExpr.First(); !dm->cdsExpr.Eof(); dm->cdsExpr.Next())
                all.push_back({dm->cdsExpr.AsInteger("idFilter"), dm->cdsExpr.AsString("Fields"),
                               dm->cdsExpr.AsInteger("idRule"), dm->cdsExpr.AsString("Content"),
                               dm->cdsExpr.AsBoolean("CaseMatch"), dm->cdsExpr.AsInteger("Hits")});
        c.GotoBookmark(standing);
        return all;
    }
};

TEST_F(TAddToFilterTest, WhatItOffersForAMessage) {
    struct TCase {
        const char* what;
        std::string header;
        std::string from, subject;
        std::vector<std::string> to, cc;
    };
    const TCase cases[] = {
        {"display name and address", "From: \"Anna Berg\" <anna@example.org>\r\nSubject: Hello\r\n",
         "anna@example.org", "Hello", {}, {}},
        {"two Subject lines run together", "From: a@x.org\r\nSubject: one\r\nSubject: two\r\n", "a@x.org",
         "oneSubject: two", {}, {}},
        {"folded subject", "Subject: one\r\n two\r\nFrom: b@y.org\r\n", "b@y.org", "one two", {}, {}},
        {"a subject that is only the name", "Subject:\r\nFrom: nobody\r\n", "", "", {}, {}},
        {"recipients", "To: a@x.org, \"B\" <b@y.org>\r\nCc: c@z.org\r\nSubject: s\r\n", "", "s",
         {"a@x.org", "b@y.org"}, {"c@z.org"}},
        {"folded To", "To: a@x.org,\r\n\tb@y.org\r\n", "", "", {"a@x.org", "b@y.org"}, {}},
    };
    for (const TCase& c : cases) {
        TAddToFilter dialog(*dm, c.header);
        dialog.Show();
        EXPECT_EQ(dialog.FromValue, c.from) << c.what;
        EXPECT_EQ(dialog.SubjectValue, c.subject) << c.what;
        EXPECT_EQ(dialog.ToValue.Items(), c.to) << c.what;
        EXPECT_EQ(dialog.CcValue.Items(), c.cc) << c.what;
        EXPECT_EQ(dialog.ToValue.CheckedCount(), 0) << c.what;
    }
    TAddToFilter none(*dm, "From: a@x.org\r\n");
    none.Show();
    EXPECT_EQ(none.ToValue.DisplayText(), "<none>");
    EXPECT_EQ(none.CcValue.DisplayText(), "<none>");
    EXPECT_EQ(none.CategoryIndex, -1);
    EXPECT_FALSE(none.AddEnabled());
}

TEST_F(TAddToFilterTest, WhenItCanAdd) {
    AddCategory("Spam");
    const std::string header = "From: s@spam.example\r\nTo: me@x.org\r\nSubject: Offer\r\n";
    struct TCase {
        const char* what;
        bool fromCheck;
        const char* from;
        bool subjectCheck;
        const char* subject;
        bool toChecked;
        int category;
        bool enabled;
    };
    const TCase cases[] = {
        {"nothing checked", false, "s@spam.example", false, "Offer", false, 0, false},
        {"from", true, "s@spam.example", false, "Offer", false, 0, true},
        {"from emptied", true, "", false, "Offer", false, 0, false},
        {"subject", false, "", true, "Offer", false, 0, true},
        {"a recipient", false, "", false, "", true, 0, true},
        {"no category", true, "s@spam.example", true, "Offer", true, -1, false},
    };
    for (const TCase& c : cases) {
        TAddToFilter dialog(*dm, header);
        dialog.Show();
        dialog.FromCheck = c.fromCheck;
        dialog.FromValue = c.from;
        dialog.SubjectCheck = c.subjectCheck;
        dialog.SubjectValue = c.subject;
        dialog.ToValue.SetItemChecked(0, c.toChecked);
        dialog.CategoryIndex = c.category;
        EXPECT_EQ(dialog.AddEnabled(), c.enabled) << c.what;
    }
}

TEST_F(TAddToFilterTest, AddsContainsExpressionsInTheirOrderToTheChosenCategory) {
    const std::int64_t first = AddCategory("Spam");
    const std::int64_t second = AddCategory("Spam");  // the same name: the chosen one counts
    dm->cdsFilterCategory.First();
    TAddToFilter dialog(*dm,
                        "From: Shop <offers@shop.example>\r\nTo: me@x.org, you@x.org\r\nCc: c@z.org\r\n"
                        "Subject: Cheap pills\r\n");
    dialog.Show();
    EXPECT_EQ(dialog.CategoryNames, (std::vector<std::string>{"Spam", "Spam"}));
    EXPECT_EQ(dialog.CategoryIndex, 0);
    dialog.CategoryIndex = 1;
    dialog.FromCheck = true;
    dialog.SubjectCheck = true;
    dialog.CcValue.SetItemChecked(0, true);
    dialog.ToValue.SetItemChecked(1, true);
    dialog.ToValue.SetItemChecked(0, true);
    Engine().RebuildCache();
    ASSERT_FALSE(Engine().CacheStale);
    ASSERT_TRUE(dialog.AddToFilter());
    EXPECT_TRUE(Engine().CacheStale);
    EXPECT_EQ(dm->cdsFilterCategory.AsInteger("id"), first) << "the current category stays";
    const std::vector<TExpr> expected = {{second, "1", kContains, "offers@shop.example", true, 0},
                                         {second, "3", kContains, "Cheap pills", true, 0},
                                         {second, "2", kContains, "me@x.org", true, 0},
                                         {second, "2", kContains, "you@x.org", true, 0},
                                         {second, "5", kContains, "c@z.org", true, 0}};
    EXPECT_EQ(AllExpressions(), expected);

    // The new expressions catch the sender's next message in any letter case.
    EXPECT_EQ(Engine().Evaluate("From: OFFERS@Shop.Example\r\nSubject: hi\r\n"), 1);
    EXPECT_EQ(Engine().MatchedCategoryId, second);
    EXPECT_EQ(Engine().Evaluate("From: friend@x.org\r\nSubject: hello\r\n"), -1);
}

TEST_F(TAddToFilterTest, NothingIsAddedWhenItCannotAdd) {
    AddCategory("Spam");
    TAddToFilter dialog(*dm, "From: a@x.org\r\n");
    dialog.Show();
    EXPECT_FALSE(dialog.AddToFilter());
    EXPECT_TRUE(AllExpressions().empty());
}

}  // namespace
