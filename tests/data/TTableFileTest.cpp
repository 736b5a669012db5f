// The table file on disk: a writer killed at any moment leaves the old or the
// new content, the write-ahead log's side files go where the file goes, and a
// file locked by another program is not a damaged one.
#include "HeldLock.h"
#include "KilledChild.h"
#include "data/TTable.h"
#include "data/TTableError.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>

namespace {

using namespace std::chrono_literals;

constexpr int kRows = 20;

std::vector<TFieldDef> Fields() {
    return {TFieldDef("id", TFieldType::AutoInc), TFieldDef("seq", TFieldType::Integer),
            TFieldDef("note", TFieldType::Memo)};
}

std::string NoteFor(std::int64_t id) {
    std::string note;
    for (int i = 0; i < 200; ++i) note += "note-" + std::to_string(id) + ";";
    return note;
}

std::unique_ptr<TTable> OpenLog(const std::string& file = "log.dat") {
    auto t = std::make_unique<TTable>("log", Fields());
    t->SetFileName(file);
    t->SetSaveAfterPost(true);
    return t;
}

void Append(TTable& t, std::int64_t seq) {
    t.Append();
    t.SetValue("seq", seq);
    t.SetValue("note", NoteFor(seq));
    t.Post();
}

std::vector<std::int64_t> Seqs(TTable& t) {
    std::vector<std::int64_t> seqs;
    for (t.First(); !t.Eof(); t.Next()) seqs.push_back(t.AsInteger("seq"));
    return seqs;
}

// Fills the table to kRows rows, says it is under way, then forever replaces
// the oldest row by a new one: each post writes one deletion and one row
// together, so the file always holds kRows rows with consecutive numbers.
[[noreturn]] void Writer(int underWayFd) {
    auto t = OpenLog();
    if (t->Load() == TLoadResult::Failed) _exit(2);
    std::int64_t seq = 0;
    for (t->First(); !t->Eof(); t->Next()) seq = std::max(seq, t->AsInteger("seq"));
    while (t->RecordCount() < kRows) Append(*t, ++seq);
    TellUnderWay(underWayFd);
    for (;;) {
        t->First();
        t->Delete();
        Append(*t, ++seq);
    }
}

// Writes the rows 1 to 3 and dies without closing: the rows are in the log only.
[[noreturn]] void WriterDyingWithALog(int underWayFd) {
    auto t = OpenLog();
    for (int seq = 1; seq <= 3; ++seq) Append(*t, seq);
    TellUnderWay(underWayFd);
    for (;;) pause();
}

TEST(TTableFileCrashTest, KilledWriterLeavesAConsistentFile) {
    TTempHome home;
    std::mt19937 random(12345);
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        KillDuringWork(Writer, 1000 + random() % 40000);
        if (HasFatalFailure()) return;
        {
            auto t = OpenLog();
            ASSERT_EQ(t->Load(), TLoadResult::Loaded) << t->LastError();
            ASSERT_EQ(t->RecordCount(), kRows);
            std::int64_t previous = 0;
            for (t->First(); !t->Eof(); t->Next()) {
                const std::int64_t seq = t->AsInteger("seq");
                if (previous) {
                    EXPECT_EQ(seq, previous + 1);
                }
                previous = seq;
                EXPECT_EQ(t->AsString("note"), NoteFor(seq));
            }
        }
        // The last connection wrote the log back.
        EXPECT_FALSE(std::filesystem::exists(home.File("log.dat-wal")));
    }
}

TEST(TTableFileSideFilesTest, AClosedFileStandsAlone) {
    TTempHome home;
    auto t = OpenLog();
    for (int seq = 1; seq <= 3; ++seq) Append(*t, seq);
    t->Close();
    for (const char* side : {"-wal", "-shm", "-journal"})
        EXPECT_FALSE(std::filesystem::exists(home.File(std::string("log.dat") + side))) << side;
    std::filesystem::copy_file(home.File("log.dat"), home.File("copy.dat"));
    auto copy = OpenLog("copy.dat");
    ASSERT_EQ(copy->Load(), TLoadResult::Loaded) << copy->LastError();
    EXPECT_EQ(Seqs(*copy), (std::vector<std::int64_t>{1, 2, 3}));
}

TEST(TTableFileSideFilesTest, TheLogOfAKilledWriterGoesWhereTheFileGoes) {
    TTempHome home;
    KillDuringWork(WriterDyingWithALog, 0);
    ASSERT_TRUE(std::filesystem::exists(home.File("log.dat-wal")));
    std::string error;
    const std::string kept = TTableFile::KeepAside(home.File("log.dat"), error);
    ASSERT_EQ(kept, home.File("log.dat.damaged")) << error;
    EXPECT_FALSE(std::filesystem::exists(home.File("log.dat-wal")));
    auto moved = OpenLog(kept);
    ASSERT_EQ(moved->Load(), TLoadResult::Loaded) << moved->LastError();
    EXPECT_EQ(Seqs(*moved), (std::vector<std::int64_t>{1, 2, 3}));
}

class TTableFileLockTest : public ::testing::Test {
protected:
    TTempHome home;
    const std::chrono::milliseconds defaultTimeout = TTableFile::BusyTimeout();
    TTableFileLockTest() { TTableFile::SetBusyTimeout(100ms); }
    ~TTableFileLockTest() override { TTableFile::SetBusyTimeout(defaultTimeout); }
};

TEST_F(TTableFileLockTest, ALockedFileIsNeitherReadNorOverwritten) {
    {
        auto t = OpenLog();
        Append(*t, 1);
    }
    for (const auto kind : {THeldLock::TKind::RollbackJournal, THeldLock::TKind::ExclusiveWal}) {
        {
            THeldLock lock(home.File("log.dat"), kind);
            auto t = OpenLog();
            EXPECT_EQ(t->Load(), TLoadResult::Locked);
            EXPECT_NE(t->LastError().find("locked"), std::string::npos) << t->LastError();
            EXPECT_TRUE(t->LoadFailed());
            t->Append();
            t->SetValue("seq", std::int64_t{2});
            EXPECT_THROW(t->Post(), TTableError);
        }
        auto t = OpenLog();
        ASSERT_EQ(t->Load(), TLoadResult::Loaded) << t->LastError();
        EXPECT_EQ(Seqs(*t), std::vector<std::int64_t>{1});
    }
}

}  // namespace
