// Hit counts of a scan wait in memory while a batch is open, and nothing else does.
#include "FilterTestSupport.h"

#include "data/TTableFile.h"

namespace {

// The hits that the file holds for the row with this id; -1 without such a row.
std::int64_t StoredHits(const std::string& path, std::int64_t id) {
    TTableFile file(path);
    TStoredTable table;
    if (file.Read(table) != TLoadResult::Loaded) return -1;
    size_t idColumn = 0, hitsColumn = 0;
    for (size_t i = 0; i < table.layout.size(); ++i) {
        if (table.layout[i].name == "id") idColumn = i;
        if (table.layout[i].name == "Hits") hitsColumn = i;
    }
    for (const TStoredRow& row : table.rows)
        if (std::get<std::int64_t>(row.values[idColumn]) == id) return std::get<std::int64_t>(row.values[hitsColumn]);
    return -1;
}

class TFilterHitCountBatchTest : public TFilterTest {
protected:
    std::int64_t category = 0, expression = 0;
    const std::string caught = Header({"Subject: a special offer"});

    void SetUp() override {
        Start();
        category = AddCategory("Spam");
        expression = AddExpr("3", kContains, "offer", true);
    }
    void Catch(int times) {
        for (int i = 0; i < times; ++i) ASSERT_EQ(Engine().Evaluate(caught), 1);
    }
    // Hits of the category and of the expression in memory, then in the files.
    std::vector<std::int64_t> HitsInMemoryAndOnDisk() {
        return {Hits(dm->cdsFilterCategory, category), Hits(dm->cdsExpr, expression),
                StoredHits(home.File("filters.dat"), category), StoredHits(home.File("expr.dat"), expression)};
    }
};

TEST_F(TFilterHitCountBatchTest, HitsWaitForTheFlushWhileABatchIsOpen) {
    using V = std::vector<std::int64_t>;
    Catch(1);
    EXPECT_EQ(HitsInMemoryAndOnDisk(), (V{1, 1, 1, 1}));  // no batch: saved at once
    {
        THitCountBatch batch(*dm);
        EXPECT_TRUE(dm->HitCountBatchOpen());
        Catch(2);
        EXPECT_EQ(HitsInMemoryAndOnDisk(), (V{3, 3, 1, 1}));
        batch.Flush();
        EXPECT_EQ(HitsInMemoryAndOnDisk(), (V{3, 3, 3, 3}));
        {
            THitCountBatch inner(*dm);
            Catch(1);
        }
        EXPECT_EQ(HitsInMemoryAndOnDisk(), (V{4, 4, 4, 4}));  // the inner end flushed
        Catch(1);
        EXPECT_EQ(HitsInMemoryAndOnDisk(), (V{5, 5, 4, 4}));  // the outer batch still holds them
    }
    EXPECT_FALSE(dm->HitCountBatchOpen());
    EXPECT_EQ(HitsInMemoryAndOnDisk(), (V{5, 5, 5, 5}));
    Catch(1);
    EXPECT_EQ(HitsInMemoryAndOnDisk(), (V{6, 6, 6, 6}));
}

TEST_F(TFilterHitCountBatchTest, TheUsersChangesAreSavedAtOnceWhileABatchIsOpen) {
    THitCountBatch batch(*dm);
    Catch(1);
    const auto other = AddCategory("Other");
    const auto otherExpr = AddExpr("1", kContains, "x", true);
    EXPECT_EQ(StoredHits(home.File("filters.dat"), other), 0);
    EXPECT_EQ(StoredHits(home.File("expr.dat"), otherExpr), 0);
    // The waiting counts of those tables went along.
    EXPECT_EQ(StoredHits(home.File("filters.dat"), category), 1);
    EXPECT_EQ(StoredHits(home.File("expr.dat"), expression), 1);
}

TEST_F(TFilterHitCountBatchTest, WaitingHitsAreWrittenWhenTheModuleCloses) {
    {
        THitCountBatch batch(*dm);
        Catch(3);
        dm->Close();
    }
    Start();
    EXPECT_EQ(Hits(dm->cdsFilterCategory, category), 3);
    EXPECT_EQ(Hits(dm->cdsExpr, expression), 3);
}

}  // namespace
