// A writer killed at any moment leaves the file with the old or the new content.
#include "data/TTable.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace {

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

// Fills the table to kRows rows, tells the parent, then forever replaces the
// oldest row by a new one: each post writes one deletion and one row together,
// so the file always holds kRows rows with consecutive numbers.
[[noreturn]] void Writer(int readyFd) {
    TTable t("log", Fields());
    t.SetFileName("log.dat");
    t.SetSaveAfterPost(true);
    if (t.Load() == TLoadResult::Failed) _exit(2);
    std::int64_t seq = 0;
    for (t.First(); !t.Eof(); t.Next()) seq = std::max(seq, t.AsInteger("seq"));
    auto append = [&] {
        ++seq;
        t.Append();
        t.SetValue("seq", seq);
        t.SetValue("note", NoteFor(seq));
        t.Post();
    };
    while (t.RecordCount() < kRows) append();
    const char ready = 'r';
    if (write(readyFd, &ready, 1) != 1) _exit(3);
    for (;;) {
        t.First();
        t.Delete();
        append();
    }
}

TEST(TTableFileCrashTest, KilledWriterLeavesAConsistentFile) {
    TTempHome home;
    std::mt19937 random(12345);
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(pipeFds[0]);
            Writer(pipeFds[1]);
        }
        close(pipeFds[1]);
        char ready = 0;
        ASSERT_EQ(read(pipeFds[0], &ready, 1), 1);
        close(pipeFds[0]);
        usleep(1000 + random() % 40000);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer ended by itself with " << WEXITSTATUS(status);

        TTable t("log", Fields());
        t.SetFileName("log.dat");
        ASSERT_EQ(t.Load(), TLoadResult::Loaded) << t.LastError();
        ASSERT_EQ(t.RecordCount(), kRows);
        std::int64_t previous = 0;
        for (t.First(); !t.Eof(); t.Next()) {
            const std::int64_t seq = t.AsInteger("seq");
            if (previous) {
                EXPECT_EQ(seq, previous + 1);
            }
            previous = seq;
            EXPECT_EQ(t.AsString("note"), NoteFor(seq));
        }
    }
}

}  // namespace
