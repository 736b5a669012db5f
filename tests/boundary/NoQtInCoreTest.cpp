// The core must build and run without Qt: no file of it, nor any project header
// it includes, may include a Qt header.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> CoreSources() {
    std::ifstream list(CORE_SOURCES_LIST);
    std::vector<std::string> files;
    for (std::string line; std::getline(list, line);)
        if (!line.empty()) files.push_back(line);
    return files;
}

// Follows the project's own includes ("dir/File.h", relative to src/).
void FindQtIncludes(const fs::path& file, std::set<fs::path>& seen, std::vector<std::string>& offenders) {
    if (!seen.insert(file).second || !fs::exists(file)) return;
    static const std::regex qtInclude(R"(^\s*#\s*include\s*<Q[A-Za-z]*[>/])");
    static const std::regex localInclude(R"re(^\s*#\s*include\s*"([^"]+)")re");
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (std::regex_search(line, qtInclude))
            offenders.push_back(file.string() + ": " + line);
        else if (std::regex_search(line, m, localInclude))
            FindQtIncludes(fs::path(CORE_SOURCE_ROOT) / m[1].str(), seen, offenders);
    }
}

}  // namespace

TEST(CoreBoundary, NoCoreFileIncludesQt) {
    const auto sources = CoreSources();
    ASSERT_FALSE(sources.empty());
    std::set<fs::path> seen;
    std::vector<std::string> offenders;
    for (const auto& source : sources) FindQtIncludes(source, seen, offenders);
    std::string report;
    for (const auto& o : offenders) report += o + "\n";
    EXPECT_TRUE(offenders.empty()) << report;
}
