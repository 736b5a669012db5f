// Posts rows one by one into a file-backed table and reports the time per
// post as the table grows: a post must cost the same at 10,000 rows as at 1,000.
#include "data/TTable.h"

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    const int total = argc > 1 ? std::atoi(argv[1]) : 10000;
    char folder[] = "/tmp/tarnwick-bench-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    const std::string file = std::string(folder) + "/friends.dat";

    TTable table("cdsFriends", {TFieldDef("id", TFieldType::AutoInc), TFieldDef("name", TFieldType::String, 50)});
    table.SetFileName(file);
    table.SetSaveAfterPost(true);
    table.Load();

    using Clock = std::chrono::steady_clock;
    const int window = 1000;
    auto windowStart = Clock::now();
    std::clock_t cpuStart = std::clock();
    // Wall time is mostly the disk's flush; CPU time shows the program's own work.
    std::printf("rows      per post over the last %d posts: wall, CPU\n", window);
    for (int i = 1; i <= total; ++i) {
        table.Append();
        table.SetValue("name", "friend" + std::to_string(i) + "@example.org");
        table.Post();
        if (i % window == 0) {
            const double us =
                std::chrono::duration<double, std::micro>(Clock::now() - windowStart).count() / window;
            const double cpu = 1e6 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC / window;
            std::printf("%6d    %8.1f us  %6.1f us\n", i, us, cpu);
            windowStart = Clock::now();
            cpuStart = std::clock();
        }
    }
    table.Close();
    std::printf("file size: %ju bytes\n", static_cast<std::uintmax_t>(std::filesystem::file_size(file)));
    std::filesystem::remove_all(folder);
    return 0;
}
