#include "data/TTable.h"
#include "data/TTableError.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <tuple>

namespace {

std::vector<TFieldDef> PeopleFields() {
    return {TFieldDef("id", TFieldType::AutoInc).ReadOnly(),
            TFieldDef("name", TFieldType::String, 10).Required(),
            TFieldDef("age", TFieldType::Integer),
            TFieldDef("group", TFieldType::Integer),
            TFieldDef("note", TFieldType::Memo)};
}

void AddPerson(TTable& t, const std::string& name, int age, int group = 0) {
    t.Append();
    t.SetValue("name", name);
    t.SetValue("age", std::int64_t{age});
    t.SetValue("group", std::int64_t{group});
    ASSERT_TRUE(t.Post());
}

std::vector<std::string> Names(TTable& t) {
    std::vector<std::string> names;
    for (t.First(); !t.Eof(); t.Next()) names.push_back(t.AsString("name"));
    return names;
}

TEST(TTableTest, AppendAssignsIdsAndNavigationVisitsEveryRow) {
    TTable t("people", PeopleFields());
    EXPECT_TRUE(t.IsEmpty());
    EXPECT_TRUE(t.Eof());
    AddPerson(t, "ann", 30);
    AddPerson(t, "bob", 20);
    AddPerson(t, "cid", 40);
    EXPECT_EQ(t.AsInteger("id"), 3);
    EXPECT_EQ(Names(t), (std::vector<std::string>{"ann", "bob", "cid"}));
    t.Last();
    EXPECT_EQ(t.AsString("name"), "cid");
    t.Prior();
    EXPECT_EQ(t.AsString("name"), "bob");
    t.Prior();
    t.Prior();
    EXPECT_TRUE(t.Bof());
    EXPECT_EQ(t.RecNo(), 1);
}

// Field names are looked up by the address of the text first; the same
// buffer naming another field, or none, must still be answered by its text.
TEST(TTableTest, AFieldNameIsFoundByItsTextWhereverItLives) {
    TTable t("people", PeopleFields());
    char name[8] = "name";
    const struct {
        const char* text;
        int index;
    } cases[] = {{"name", 1}, {"age", 2}, {"nam", -1}, {"note", 4}, {"name", 1}, {"id", 0}, {"ages", -1}};
    for (const auto& c : cases) {
        std::snprintf(name, sizeof name, "%s", c.text);
        EXPECT_EQ(t.FieldIndex(std::string_view(name)), c.index) << c.text;
    }
}

// A grid reads rows by number while the user edits: the row being edited
// shows the typed values, a row being added shows nowhere yet.
TEST(TTableTest, RowsByNumberShowTheEditedRowButNotTheOneBeingAdded) {
    TTable t("people", PeopleFields());
    AddPerson(t, "ann", 30);
    AddPerson(t, "bob", 20);
    const int name = t.FieldIndex("name");
    t.Edit();
    t.SetValue("name", std::string("bobby"));
    EXPECT_EQ(std::get<std::string>(t.ValueAt(2, name)), "bobby");
    t.Post();
    t.Append();
    t.SetValue("name", std::string("cid"));
    EXPECT_EQ(std::get<std::string>(t.ValueAt(1, name)), "ann");
    EXPECT_EQ(std::get<std::string>(t.ValueAt(2, name)), "bobby");
    t.Post();
    EXPECT_EQ(std::get<std::string>(t.ValueAt(3, name)), "cid");
}

// Rows added under an index take the place a rebuilt view gives them, equal
// keys in the order of adding, and the added row is the current one.
TEST(TTableTest, RowsAddedUnderAnIndexStandWhereARebuiltViewPutsThem) {
    for (const bool descending : {false, true}) {
        TTable t("people", PeopleFields());
        t.AddIndex("by_age", "age", descending);
        t.SetIndexName("by_age");
        std::uint32_t seed = 12345;
        for (int i = 0; i < 300; ++i) {
            seed = seed * 1103515245u + 12345u;
            AddPerson(t, "p" + std::to_string(i), static_cast<int>((seed >> 16) % 20));
            ASSERT_EQ(t.AsString("name"), "p" + std::to_string(i));
        }
        const std::vector<std::string> added = Names(t);
        t.SetIndexName("");
        t.SetIndexName("by_age");
        EXPECT_EQ(added, Names(t)) << (descending ? "descending" : "ascending");
    }
}

TEST(TTableTest, LongTextIsCutToTheFieldSize) {
    TTable t("people", PeopleFields());
    AddPerson(t, "abcdefghijklmnop", 1);
    EXPECT_EQ(t.AsString("name"), "abcdefghij");
    t.Edit();
    t.SetValue("note", std::string(5000, 'x'));  // a memo has no size
    t.Post();
    EXPECT_EQ(t.AsString("note").size(), 5000u);
}

TEST(TTableTest, EmptyRequiredFieldIsRefusedByNameAndTheRowStaysInEdit) {
    TTable t("people", PeopleFields());
    t.Append();
    t.SetValue("age", std::int64_t{3});
    try {
        t.Post();
        FAIL() << "post accepted";
    } catch (const TTableError& e) {
        EXPECT_NE(std::string(e.what()).find("'name'"), std::string::npos) << e.what();
    }
    EXPECT_EQ(t.State(), TTable::TState::Insert);
    t.SetValue("name", std::string(""));
    EXPECT_THROW(t.Post(), TTableError);  // an empty text is no value
    t.SetValue("name", std::string("zed"));
    EXPECT_TRUE(t.Post());
    EXPECT_EQ(t.RecordCount(), 1);
}

TEST(TTableTest, BeforePostCanCancelSilently) {
    TTable t("people", PeopleFields());
    t.BeforePost = [](TTable& table) { return table.AsString("name") != "bad"; };
    t.Append();
    t.SetValue("name", std::string("bad"));
    EXPECT_FALSE(t.Post());
    EXPECT_EQ(t.State(), TTable::TState::Insert);
    t.Cancel();
    EXPECT_TRUE(t.IsEmpty());
}

TEST(TTableTest, HooksAfterInsertAndAfterPostRun) {
    TTable t("people", PeopleFields());
    int posts = 0;
    t.AfterInsert = [](TTable& table) { table.SetValue("age", std::int64_t{99}); };
    t.AfterPost = [&](TTable&) { ++posts; };
    t.Append();
    t.SetValue("name", std::string("x"));
    t.Post();
    EXPECT_EQ(t.AsInteger("age"), 99);
    EXPECT_EQ(posts, 1);
}

TEST(TTableTest, DefaultsFillNewRows) {
    TTable t("t", {TFieldDef("id", TFieldType::AutoInc), TFieldDef("port", TFieldType::Word).Default(std::int64_t{110}),
                   TFieldDef("on", TFieldType::Boolean).Default(false)});
    t.Append();
    EXPECT_EQ(t.AsInteger("port"), 110);
    EXPECT_FALSE(t.IsNull("on"));
    EXPECT_THROW(t.SetValue("port", std::int64_t{70000}), TTableError);
    EXPECT_THROW(t.SetAsString("port", "11o"), TTableError);
    t.SetAsString("port", "995");
    t.Post();
    EXPECT_EQ(t.AsInteger("port"), 995);
}

TEST(TTableTest, SetValueOutsideEditModeIsRefused) {
    TTable t("people", PeopleFields());
    AddPerson(t, "ann", 1);
    EXPECT_THROW(t.SetValue("name", std::string("x")), TTableError);
}

TEST(TTableTest, IndexesOrderAscendingAndDescendingAndKeepTheCurrentRow) {
    TTable t("people", PeopleFields());
    t.AddIndex("age_asc", "age");
    t.AddIndex("age_desc", "age", true);
    t.AddIndex("group_name", "group;name");
    AddPerson(t, "ann", 30, 2);
    AddPerson(t, "bob", 20, 1);
    AddPerson(t, "cid", 40, 1);
    t.SetIndexName("age_asc");
    EXPECT_EQ(Names(t), (std::vector<std::string>{"bob", "ann", "cid"}));
    t.SetIndexName("age_desc");
    EXPECT_EQ(Names(t), (std::vector<std::string>{"cid", "ann", "bob"}));
    t.SetIndexName("group_name");
    EXPECT_EQ(Names(t), (std::vector<std::string>{"bob", "cid", "ann"}));
    t.Locate("name", std::string("cid"));
    t.SetIndexName("");
    EXPECT_EQ(t.AsString("name"), "cid");
    EXPECT_EQ(t.RecNo(), 3);
    EXPECT_THROW(t.SetIndexName("nope"), TTableError);
}

TEST(TTableTest, AnEditedRowMovesOnlyWhenItsPlaceDependsOnWhatChanged) {
    TTable t("people", PeopleFields());
    t.AddIndex("age_asc", "age");
    AddPerson(t, "ann", 30, 5);
    AddPerson(t, "bob", 20, 5);
    AddPerson(t, "cid", 40, 5);
    t.SetIndexName("age_asc");
    t.SetFilter("group=5");
    t.SetFiltered(true);
    const auto edit = [&](const std::string& name, const char* field, TValue value) {
        ASSERT_TRUE(t.Locate("name", name));
        t.Edit();
        t.SetValue(field, std::move(value));
        ASSERT_TRUE(t.Post());
    };
    edit("ann", "note", std::string("seen"));
    EXPECT_EQ(Names(t), (std::vector<std::string>{"bob", "ann", "cid"}));
    edit("ann", "age", std::int64_t{50});
    EXPECT_EQ(Names(t), (std::vector<std::string>{"bob", "cid", "ann"}));
    edit("cid", "group", std::int64_t{6});
    EXPECT_EQ(Names(t), (std::vector<std::string>{"bob", "ann"}));
    // After an edit that moves nothing the current row is still the edited one.
    edit("bob", "note", std::string("x"));
    EXPECT_EQ(t.AsString("name"), "bob");
    EXPECT_EQ(t.RecNo(), 1);

    // An order that a calculated field gives follows the row's other values.
    TTable c("c", {TFieldDef("id", TFieldType::AutoInc), TFieldDef("n", TFieldType::Integer),
                   TFieldDef("negated", TFieldType::Integer).Calculated()});
    c.OnCalcFields = [](TTable& table) { table.SetCalculated("negated", -table.AsInteger("n")); };
    c.AddIndex("by_negated", "negated");
    for (std::int64_t n : {1, 2, 3}) {
        c.Append();
        c.SetValue("n", n);
        ASSERT_TRUE(c.Post());
    }
    c.SetIndexName("by_negated");
    ASSERT_TRUE(c.Locate("n", TValue{std::int64_t{1}}));
    c.Edit();
    c.SetValue("n", std::int64_t{9});
    ASSERT_TRUE(c.Post());
    std::vector<std::int64_t> order;
    for (c.First(); !c.Eof(); c.Next()) order.push_back(c.AsInteger("n"));
    EXPECT_EQ(order, (std::vector<std::int64_t>{9, 3, 2}));
}

// A counter added where its row lies leaves the user's current row alone,
// wherever the row is and whatever the view shows.
TEST(TTableTest, AddingToACounterKeepsTheCurrentRow) {
    TTable t("people", {TFieldDef("id", TFieldType::AutoInc), TFieldDef("name", TFieldType::String, 10),
                        TFieldDef("age", TFieldType::Integer), TFieldDef("group", TFieldType::Integer),
                        TFieldDef("hits", TFieldType::Integer)});
    for (auto [name, age, group] : {std::tuple{"ann", 30, 5}, {"bob", 20, 5}, {"cid", 40, 6}}) {
        t.Append();
        t.SetValue("name", std::string(name));
        t.SetValue("age", std::int64_t{age});
        t.SetValue("group", std::int64_t{group});
        ASSERT_TRUE(t.Post());
    }
    t.AddIndex("age_asc", "age");
    t.SetIndexName("age_asc");
    t.SetFilter("group=5");
    t.SetFiltered(true);
    ASSERT_TRUE(t.Locate("name", std::string("ann")));
    std::vector<TTable::TChange> seen;
    t.Subscribe([&](TTable&, TTable::TChange c) { seen.push_back(c); });
    const auto valueOf = [&](const std::string& name, const char* field) {
        TTable::TBookmark here = t.Bookmark();
        t.SetFiltered(false);
        const std::int64_t found = t.Locate("name", name) ? t.AsInteger(field) : -1;
        t.SetFiltered(true);
        t.GotoBookmark(here);
        return found;
    };
    using V = std::vector<std::string>;
    struct TCase {
        const char* name;
        const char* field;
        std::int64_t amount;
        TTable::TChange heard;
        V shown;
    };
    const TCase cases[] = {
        {"bob", "hits", 1, TTable::TChange::Values, {"bob", "ann"}},
        {"cid", "hits", 2, TTable::TChange::Values, {"bob", "ann"}},   // hidden by the filter
        {"bob", "age", 15, TTable::TChange::Reset, {"ann", "bob"}},    // moves under the index
        {"cid", "group", -1, TTable::TChange::Reset, {"ann", "bob", "cid"}},  // comes into view
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.field);
        const std::int64_t before = valueOf(c.name, c.field);
        seen.clear();
        EXPECT_TRUE(t.AddToInteger("name", std::string(c.name), c.field, c.amount));
        EXPECT_EQ(seen, std::vector<TTable::TChange>{c.heard});
        EXPECT_EQ(t.AsString("name"), "ann");
        EXPECT_EQ(valueOf(c.name, c.field), before + c.amount);
        EXPECT_EQ(Names(t), c.shown);
        ASSERT_TRUE(t.Locate("name", std::string("ann")));
    }
    seen.clear();
    EXPECT_FALSE(t.AddToInteger("name", std::string("dan"), "hits", 1));
    EXPECT_TRUE(seen.empty());

    // A row being edited keeps the addition when its edit is posted, and when it is cancelled.
    for (const bool post : {true, false}) {
        ASSERT_TRUE(t.Locate("name", std::string("bob")));
        const std::int64_t before = t.AsInteger("hits");
        t.Edit();
        t.SetValue("name", std::string(post ? "bobby" : "bob"));
        ASSERT_TRUE(t.AddToInteger("id", std::int64_t{2}, "hits", 1));
        EXPECT_EQ(t.AsInteger("hits"), before + 1);
        if (post) ASSERT_TRUE(t.Post());
        else t.Cancel();
        EXPECT_EQ(t.AsInteger("hits"), before + 1);
        EXPECT_EQ(t.AsString("name"), post ? "bobby" : "bob");
        if (post) {
            t.Edit();
            t.SetValue("name", std::string("bob"));
            ASSERT_TRUE(t.Post());
        }
    }
}

TEST(TTableTest, FilterExpressionHidesOtherRows) {
    TTable t("people", PeopleFields());
    AddPerson(t, "ann", 1, 5);
    AddPerson(t, "bob", 1, 6);
    AddPerson(t, "cid", 1, 5);
    t.SetFilter("group=5");
    EXPECT_EQ(t.RecordCount(), 3);  // filtering still off
    t.SetFiltered(true);
    EXPECT_EQ(Names(t), (std::vector<std::string>{"ann", "cid"}));
    t.SetFilter("group=7");
    EXPECT_TRUE(t.IsEmpty());
    t.SetFilter("");
    EXPECT_EQ(t.RecordCount(), 3);
}

TEST(TTableTest, LocateLookupAndBookmarks) {
    TTable t("people", PeopleFields());
    AddPerson(t, "Ann", 30);
    AddPerson(t, "bob", 20);
    EXPECT_FALSE(t.Locate("name", std::string("ann")));
    EXPECT_TRUE(t.Locate("name", std::string("ann"), true));
    EXPECT_EQ(t.AsInteger("age"), 30);
    EXPECT_FALSE(t.Locate("name", std::string("an"), true));  // whole value only
    const auto mark = t.Bookmark();
    EXPECT_EQ(t.Lookup("name", std::string("bob"), "age"), TValue{std::int64_t{20}});
    EXPECT_EQ(t.AsString("name"), "Ann");  // lookup does not move
    EXPECT_TRUE(IsNull(t.Lookup("name", std::string("nobody"), "age")));
    t.Last();
    EXPECT_TRUE(t.GotoBookmark(mark));
    EXPECT_EQ(t.AsString("name"), "Ann");
    t.Delete();
    EXPECT_FALSE(t.BookmarkValid(mark));
    EXPECT_FALSE(t.GotoBookmark(mark));
    EXPECT_EQ(t.AsString("name"), "bob");
}

TEST(TTableTest, DeleteMovesToTheNextRowOrThePriorAtTheEnd) {
    TTable t("people", PeopleFields());
    for (const char* n : {"a", "b", "c"}) AddPerson(t, n, 1);
    t.First();
    t.Next();
    t.Delete();
    EXPECT_EQ(t.AsString("name"), "c");
    t.Delete();
    EXPECT_EQ(t.AsString("name"), "a");
    t.Delete();
    EXPECT_TRUE(t.IsEmpty());
    EXPECT_THROW(t.Delete(), TTableError);
}

TEST(TTableTest, MasterDetailShowsOnlyTheMastersRowsAndNewRowsTakeTheKey) {
    TTable master("owners", {TFieldDef("id", TFieldType::AutoInc), TFieldDef("name", TFieldType::String, 20)});
    TTable detail("things", {TFieldDef("id", TFieldType::AutoInc), TFieldDef("owner", TFieldType::Integer),
                             TFieldDef("name", TFieldType::String, 20)});
    for (const char* n : {"one", "two", "three"}) {
        master.Append();
        master.SetValue("name", std::string(n));
        master.Post();
    }
    detail.SetMaster(&master, "id", "owner");
    auto addThing = [&](const char* name) {
        detail.Append();
        detail.SetValue("name", std::string(name));
        detail.Post();
    };
    master.Locate("name", std::string("one"));
    addThing("a1");
    addThing("a2");
    master.Locate("name", std::string("two"));
    EXPECT_TRUE(detail.IsEmpty());
    addThing("b1");
    EXPECT_EQ(detail.AsInteger("owner"), 2);
    master.Locate("name", std::string("one"));
    EXPECT_EQ(Names(detail), (std::vector<std::string>{"a1", "a2"}));
    master.Locate("name", std::string("three"));
    EXPECT_TRUE(detail.IsEmpty());
    EXPECT_TRUE(detail.Eof());
    EXPECT_EQ(detail.RowCountAll(), 3u);
}

TEST(TTableTest, ChangeNotificationsAndSuspension) {
    TTable t("people", PeopleFields());
    std::vector<TTable::TChange> seen;
    const int token = t.Subscribe([&](TTable&, TTable::TChange c) { seen.push_back(c); });
    AddPerson(t, "a", 1);
    AddPerson(t, "b", 2);
    seen.clear();
    t.First();
    t.Next();
    EXPECT_EQ(seen, (std::vector<TTable::TChange>{TTable::TChange::Scroll, TTable::TChange::Scroll}));
    seen.clear();
    t.DisableControls();
    t.First();
    t.Edit();
    t.SetValue("age", std::int64_t{5});
    t.Post();
    EXPECT_TRUE(seen.empty());
    t.EnableControls();
    EXPECT_EQ(seen, std::vector<TTable::TChange>{TTable::TChange::Reset});
    t.Unsubscribe(token);
    seen.clear();
    t.Next();
    EXPECT_TRUE(seen.empty());
}

// A quiet spell ends with one notification: Values when the same rows stand
// in the same order with the same current row, else Reset.
TEST(TTableTest, AQuietSpellEndsWithValuesOnlyWhenTheRowsStood) {
    using TChange = TTable::TChange;
    struct TCase {
        const char* what;
        std::function<void(TTable&)> quietly;
        std::vector<TChange> expected;
    };
    // The rows stand in the order of "age".
    const auto editRow3 = [](TTable& t, const char* field) {
        t.SetRecNo(3);
        t.Edit();
        t.SetValue(field, std::int64_t{30});
        t.Post();
        t.SetRecNo(2);
    };
    const TCase cases[] = {
        {"nothing happens", [](TTable&) {}, {}},
        {"a value of another row, and back", [&](TTable& t) { editRow3(t, "group"); }, {TChange::Values}},
        {"a value the order follows", [&](TTable& t) { editRow3(t, "age"); }, {TChange::Reset}},
        {"a visit to another row, and back",
         [](TTable& t) {
             t.Last();
             t.SetRecNo(2);
         },
         {TChange::Values}},
        {"the current row moved", [](TTable& t) { t.First(); }, {TChange::Reset}},
        {"a row added",
         [](TTable& t) {
             AddPerson(t, "d", 4);
             t.SetRecNo(2);
         },
         {TChange::Reset}},
        {"a row deleted",
         [](TTable& t) {
             t.Last();
             t.Delete();
             t.SetRecNo(2);
         },
         {TChange::Reset}},
        {"another order",
         [](TTable& t) {
             t.SetIndexName("");
             t.SetRecNo(2);
         },
         {TChange::Reset}},
        {"an edit left open", [](TTable& t) { t.Edit(); }, {TChange::Reset}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        TTable t("people", PeopleFields());
        t.AddIndex("age", "age");
        t.SetIndexName("age");
        for (const char* name : {"a", "b", "c"}) AddPerson(t, name, 1);
        t.SetRecNo(2);
        std::vector<TChange> seen;
        t.Subscribe([&](TTable&, TChange change) { seen.push_back(change); });
        t.DisableControls();
        t.DisableControls();
        c.quietly(t);
        t.EnableControls();
        EXPECT_TRUE(seen.empty());
        t.EnableControls();
        EXPECT_EQ(seen, c.expected);
    }
}

TEST(TTableTest, AQuietMasterQuietsItsDetailWhichStillFollowsIt) {
    TTable master("owners", {TFieldDef("id", TFieldType::AutoInc), TFieldDef("name", TFieldType::String, 20)});
    TTable detail("things", {TFieldDef("id", TFieldType::AutoInc), TFieldDef("owner", TFieldType::Integer),
                             TFieldDef("name", TFieldType::String, 20), TFieldDef("hits", TFieldType::Integer)});
    for (const char* n : {"one", "two"}) {
        master.Append();
        master.SetValue("name", std::string(n));
        master.Post();
    }
    detail.SetMaster(&master, "id", "owner");
    for (const char* owner : {"one", "two"}) {
        master.Locate("name", std::string(owner));
        detail.Append();
        detail.SetValue("name", std::string(owner) + "'s thing");
        detail.Post();
    }
    master.First();
    std::vector<TTable::TChange> masterSeen, detailSeen;
    master.Subscribe([&](TTable&, TTable::TChange change) { masterSeen.push_back(change); });
    detail.Subscribe([&](TTable&, TTable::TChange change) { detailSeen.push_back(change); });

    // What counting a hit of the other owner's thing does.
    master.DisableControls();
    ASSERT_TRUE(master.Locate("name", std::string("two")));
    EXPECT_EQ(Names(detail), std::vector<std::string>{"two's thing"});
    detail.Edit();
    detail.SetValue("hits", std::int64_t{1});
    detail.Post();
    master.First();
    EXPECT_EQ(Names(detail), std::vector<std::string>{"one's thing"});
    EXPECT_TRUE(masterSeen.empty());
    EXPECT_TRUE(detailSeen.empty());
    master.EnableControls();
    EXPECT_EQ(masterSeen, std::vector<TTable::TChange>{TTable::TChange::Values});
    EXPECT_EQ(detailSeen, std::vector<TTable::TChange>{TTable::TChange::Values});

    // Staying with the other owner: the detail shows other rows.
    masterSeen.clear();
    detailSeen.clear();
    master.DisableControls();
    master.Last();
    master.EnableControls();
    EXPECT_EQ(masterSeen, std::vector<TTable::TChange>{TTable::TChange::Reset});
    EXPECT_EQ(detailSeen, std::vector<TTable::TChange>{TTable::TChange::Reset});
    EXPECT_EQ(detail.AsString("name"), "two's thing");
}

// A grid shows a row being added once it is posted; an edit box of the
// current row shows each value as it is set.
TEST(TTableTest, TheValuesOfARowBeingAddedReachOnlyWhoAskedForThem) {
    using TChange = TTable::TChange;
    TTable t("people", PeopleFields());
    AddPerson(t, "a", 1);
    std::vector<TChange> grid, editBox;
    t.Subscribe([&](TTable&, TChange change) { grid.push_back(change); });
    t.Subscribe([&](TTable&, TChange change) { editBox.push_back(change); }, TTable::TInterest::NewRowValues);
    struct TStep {
        const char* what;
        std::function<void()> run;
        std::vector<TChange> grid, editBox;
    };
    const TStep steps[] = {
        {"append", [&] { t.Append(); }, {TChange::State}, {TChange::State}},
        {"fill the new row",
         [&] {
             t.SetValue("name", std::string("b"));
             t.SetValue("age", std::int64_t{2});
         },
         {},
         {TChange::Data, TChange::Data}},
        {"post it", [&] { t.Post(); }, {TChange::Data}, {TChange::Data}},
        {"edit an existing row",
         [&] {
             t.Edit();
             t.SetValue("age", std::int64_t{3});
         },
         {TChange::State, TChange::Data},
         {TChange::State, TChange::Data}},
        {"post the edit", [&] { t.Post(); }, {TChange::Data}, {TChange::Data}},
    };
    for (const TStep& step : steps) {
        SCOPED_TRACE(step.what);
        grid.clear();
        editBox.clear();
        step.run();
        EXPECT_EQ(grid, step.grid);
        EXPECT_EQ(editBox, step.editBox);
    }
}

TEST(TTableTest, ListenersMayComeAndGoWhileTheyAreCalled) {
    TTable t("people", PeopleFields());
    AddPerson(t, "a", 1);
    AddPerson(t, "b", 2);
    int once = 0, late = 0, steady = 0;
    int onceToken = 0;
    onceToken = t.Subscribe([&](TTable& table, TTable::TChange) {
        ++once;
        table.Unsubscribe(onceToken);
        table.Subscribe([&](TTable&, TTable::TChange) { ++late; });
    });
    t.Subscribe([&](TTable&, TTable::TChange) { ++steady; });
    t.First();
    EXPECT_EQ(once, 1);
    EXPECT_EQ(late, 0);  // subscribed during the notification: hears the next one
    EXPECT_EQ(steady, 1);
    t.Next();
    EXPECT_EQ(once, 1);
    EXPECT_EQ(late, 1);
    EXPECT_EQ(steady, 2);
}

TEST(TTableTest, CalculatedFieldsFollowTheRow) {
    TTable t("t", {TFieldDef("id", TFieldType::AutoInc), TFieldDef("n", TFieldType::Integer),
                   TFieldDef("twice", TFieldType::Integer).Calculated()});
    t.OnCalcFields = [](TTable& table) { table.SetCalculated("twice", table.AsInteger("n") * 2); };
    t.Append();
    t.SetValue("n", std::int64_t{21});
    EXPECT_EQ(t.AsInteger("twice"), 42);
    t.Post();
    EXPECT_EQ(t.AsInteger("twice"), 42);
}

// --- file-backed behaviour

class TTableFileBacked : public ::testing::Test {
protected:
    TTempHome home;
    std::unique_ptr<TTable> Open(const std::string& file = "people.dat") {
        auto t = std::make_unique<TTable>("people", PeopleFields());
        t->SetFileName(file);
        t->SetSaveAfterPost(true);
        EXPECT_NE(t->Load(), TLoadResult::Failed) << t->LastError();
        return t;
    }
};

TEST_F(TTableFileBacked, MissingFileLeavesTheTableEmpty) {
    auto t = Open();
    EXPECT_TRUE(t->IsEmpty());
    EXPECT_FALSE(std::filesystem::exists(home.File("people.dat")));
}

TEST_F(TTableFileBacked, EveryPostIsOnDiskAtOnce) {
    {
        auto t = Open();
        AddPerson(*t, "ann", 30);
        AddPerson(*t, "bob", 20);
        t->Edit();
        t->SetValue("age", std::int64_t{21});
        t->Post();
        // Another reader sees the file as it stands now, without a close.
        auto reader = Open();
        EXPECT_EQ(Names(*reader), (std::vector<std::string>{"ann", "bob"}));
        reader->Last();
        EXPECT_EQ(reader->AsInteger("age"), 21);
    }
}

// Rows gathered before the table had a file are written with its first save.
TEST_F(TTableFileBacked, RowsFromBeforeTheFileAreSavedInIt) {
    TTable t("people", PeopleFields());
    AddPerson(t, "ann", 30);
    AddPerson(t, "bob", 20);
    AddPerson(t, "cid", 40);
    ASSERT_TRUE(t.Locate("name", std::string("bob")));
    t.Delete();
    t.SetFileName("people.dat");
    ASSERT_TRUE(t.Save()) << t.LastError();
    EXPECT_EQ(Names(*Open()), (std::vector<std::string>{"ann", "cid"}));
}

TEST_F(TTableFileBacked, DeletionReachesTheFileWithTheNextPostOrAtClose) {
    {
        auto t = Open();
        for (const char* n : {"a", "b", "c"}) AddPerson(*t, n, 1);
        t->First();
        t->Delete();
        EXPECT_EQ(Names(*Open()), (std::vector<std::string>{"a", "b", "c"}));  // not yet written
        AddPerson(*t, "d", 1);
        EXPECT_EQ(Names(*Open()), (std::vector<std::string>{"b", "c", "d"}));
        t->First();
        t->Delete();  // no post follows: written when the table closes
    }
    EXPECT_EQ(Names(*Open()), (std::vector<std::string>{"c", "d"}));
}

TEST_F(TTableFileBacked, IdsOfDeletedRowsAreNotHandedOutAgain) {
    {
        auto t = Open();
        AddPerson(*t, "a", 1);
        AddPerson(*t, "b", 1);
        t->Last();
        t->Delete();
    }
    auto t = Open();
    AddPerson(*t, "c", 1);
    EXPECT_EQ(t->AsInteger("id"), 3);
}

TEST_F(TTableFileBacked, TextKeepsEveryByte) {
    const std::string text = std::string("\xE4\xF6\xFC\x00\x01z", 6);
    {
        auto t = Open();
        t->Append();
        t->SetValue("name", std::string("x"));
        t->SetValue("note", text);
        t->Post();
    }
    auto t = Open();
    EXPECT_EQ(t->AsString("note"), text);
}

TEST_F(TTableFileBacked, UnreadableFilesFailToLoadAndAreNeverOverwritten) {
    struct Case {
        const char* what;
        std::function<void()> make;
    };
    const Case cases[] = {
        {"garbage", [&] { WriteFile(home.File("people.dat"), "this is not a table file at all\n"); }},
        {"empty file of zero bytes is a database without tables", [&] { WriteFile(home.File("people.dat"), ""); }},
        {"another table's layout",
         [&] {
             TTable other("other", {TFieldDef("id", TFieldType::AutoInc), TFieldDef("title", TFieldType::String, 5)});
             other.SetFileName("people.dat");
             other.Append();
             other.Post();
             other.Close();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(home.File("people.dat"));
        c.make();
        const std::string before = ReadFile(home.File("people.dat"));
        TTable t("people", PeopleFields());
        t.SetFileName("people.dat");
        t.SetSaveAfterPost(true);
        EXPECT_EQ(t.Load(), TLoadResult::Failed);
        EXPECT_TRUE(t.LoadFailed());
        EXPECT_FALSE(t.LastError().empty());
        EXPECT_TRUE(t.IsEmpty());
        t.Append();
        t.SetValue("name", std::string("new"));
        EXPECT_THROW(t.Post(), TTableError);
        EXPECT_EQ(ReadFile(home.File("people.dat")), before);
        t.DiscardFile();
        EXPECT_NO_THROW(t.Save());
        EXPECT_EQ(Names(*Open()), std::vector<std::string>{"new"});
    }
}

TEST_F(TTableFileBacked, LayoutIsRecordedInStoredOrder) {
    auto t = Open();
    AddPerson(*t, "a", 1);
    const auto layout = TTableFile::ReadLayout(home.File("people.dat"));
    ASSERT_TRUE(layout);
    std::vector<std::string> names;
    for (const auto& f : *layout) names.push_back(f.name);
    EXPECT_EQ(names, (std::vector<std::string>{"id", "name", "age", "group", "note"}));
    EXPECT_EQ((*layout)[1], (TStoredField{"name", "String", 10}));
    EXPECT_FALSE(TTableFile::ReadLayout(home.File("missing.dat")));
}

}  // namespace
