#include "platform/Home.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string UserHome() {
    std::string home = Env("HOME");
    if (!home.empty()) return home;
    std::vector<char> buffer(16384);
    passwd pw{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &pw, buffer.data(), buffer.size(), &result) == 0 && result && result->pw_dir)
        return result->pw_dir;
    return "/tmp";
}

}  // namespace

std::string HomeFolder() {
    std::string home = Env("TARNWICK_HOME");
    if (!home.empty()) return home;
    // The XDG rules ignore a relative XDG_DATA_HOME.
    const std::string data = Env("XDG_DATA_HOME");
    if (!data.empty() && data[0] == '/') return data + "/tarnwick";
    return UserHome() + "/.local/share/tarnwick";
}

bool EnterHomeFolder() {
    std::error_code ec;
    const fs::path home = fs::absolute(HomeFolder(), ec);
    if (ec) return false;
    if (!fs::is_directory(home, ec)) {
        fs::create_directories(home.parent_path(), ec);
        if (::mkdir(home.c_str(), 0700) != 0 && !fs::is_directory(home, ec)) return false;
    }
    if (::chdir(home.c_str()) != 0) return false;
    ::setenv("TARNWICK_HOME", home.c_str(), 1);
    return true;
}

std::string ProgramFile(const std::string& name) { return (fs::path(HomeFolder()) / name).string(); }

std::string ExecutableFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}
