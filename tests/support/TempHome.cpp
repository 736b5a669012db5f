#include "support/TempHome.h"

#include "i18n/Translator.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Tests read English texts whatever the machine's locale; a test that needs
// another locale sets it itself.
const bool kEnglishLocale = [] {
    setenv("LANG", "C", 1);
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    return true;
}();

}  // namespace

TTempHome::TTempHome() {
    const char* base = std::getenv("TARNWICK_TEST_TMP");
    fs::path root = base && *base ? fs::path(base) : fs::temp_directory_path();
    fs::create_directories(root);
    std::string pattern = (root / "home-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    previousDir_ = fs::current_path().string();
    if (const char* home = std::getenv("TARNWICK_HOME")) {
        hadHome_ = true;
        previousHome_ = home;
    }
    setenv("TARNWICK_HOME", path_.c_str(), 1);
    fs::current_path(path_);
}

TTempHome::~TTempHome() {
    // The next home reads its own language settings.
    ResetAppTranslator();
    std::error_code ec;
    fs::current_path(previousDir_, ec);
    if (hadHome_)
        setenv("TARNWICK_HOME", previousHome_.c_str(), 1);
    else
        unsetenv("TARNWICK_HOME");
    fs::remove_all(path_, ec);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}
