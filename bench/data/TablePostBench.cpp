// Posts rows one by one into a file-backed table and reports the time per
// post as the table grows: a post must cost the same at 10,000 rows as at 1,000.
// Then counts the hits of a scan's catches, as the filter engine does: each
// catch saving the category's and the expression's counts at once, and all of
// them waiting in a hit-count batch for one flush.
//
// Usage: bench_table_post [rows] [catches]
#include "base/UserInterface.h"
#include "data/TTable.h"
#include "filtering/FilterEngine.h"
#include "filtering/dmfilters.h"

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Wall time is mostly the disk's flush; CPU time shows the program's own work.
class TStopwatch {
public:
    void Print(const char* what, int count) const {
        const double us = std::chrono::duration<double, std::micro>(Clock::now() - wallStart_).count() / count;
        const double cpu = 1e6 * static_cast<double>(std::clock() - cpuStart_) / CLOCKS_PER_SEC / count;
        std::printf("%-28s %8.1f us  %6.1f us\n", what, us, cpu);
    }

private:
    Clock::time_point wallStart_ = Clock::now();
    std::clock_t cpuStart_ = std::clock();
};

void PostRows(const std::string& folder, int total) {
    const std::string file = folder + "/friends.dat";
    TTable table("cdsFriends", {TFieldDef("id", TFieldType::AutoInc), TFieldDef("name", TFieldType::String, 50)});
    table.SetFileName(file);
    table.SetSaveAfterPost(true);
    table.Load();

    const int window = 1000;
    std::printf("rows      per post over the last %d posts: wall, CPU\n", window);
    TStopwatch watch;
    for (int i = 1; i <= total; ++i) {
        table.Append();
        table.SetValue("name", "friend" + std::to_string(i) + "@example.org");
        table.Post();
        if (i % window == 0) {
            char label[32];
            std::snprintf(label, sizeof label, "%6d", i);
            watch.Print(label, window);
            watch = TStopwatch();
        }
    }
    table.Close();
    std::printf("file size: %ju bytes\n\n", static_cast<std::uintmax_t>(std::filesystem::file_size(file)));
}

void CountHits(int catches) {
    TSilentUserInterface ui;
    TUserInterfaceScope scope(ui);
    TFilterDM dm;
    dm.cdsFilterCategory.Append();
    dm.cdsFilterCategory.SetValue("NameCategory", std::string("Spam"));
    dm.cdsFilterCategory.SetValue("idAction", std::int64_t{1});
    dm.cdsFilterCategory.Post();
    dm.cdsExpr.Append();
    dm.cdsExpr.SetValue("Fields", std::string("3"));
    dm.cdsExpr.SetValue("idRule", std::int64_t{1});
    dm.cdsExpr.SetValue("Content", std::string("offer"));
    dm.cdsExpr.SetValue("CaseMatch", true);
    dm.cdsExpr.Post();
    dm.Engine().CacheStale = true;
    const std::string header = "From: a@example.org\r\nSubject: A special offer\r\n";

    std::printf("hit counts of %d catches, per catch: wall, CPU\n", catches);
    TStopwatch watch;
    for (int i = 0; i < catches; ++i) dm.Engine().Evaluate(header);
    watch.Print("each catch saved at once", catches);

    watch = TStopwatch();
    {
        THitCountBatch batch(dm);
        for (int i = 0; i < catches; ++i) dm.Engine().Evaluate(header);
        batch.Flush();
    }
    watch.Print("in a batch, one flush", catches);
    dm.Close();
}

}  // namespace

int main(int argc, char** argv) {
    const int total = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int catches = argc > 2 ? std::atoi(argv[2]) : 2000;
    char folder[] = "/tmp/tarnwick-bench-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    setenv("TARNWICK_HOME", folder, 1);
    std::filesystem::current_path(folder);

    PostRows(folder, total);
    CountHits(catches);

    std::filesystem::current_path("/");
    std::filesystem::remove_all(folder);
    return 0;
}
