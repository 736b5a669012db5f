#include "aol/WebmailSite.h"

#include "platform/IniFile.h"
#include "support/TempHome.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr const char* kPython = "/usr/bin/python3";  // Debian's own, whatever comes first on the PATH

std::vector<std::string> SiteArguments(const std::string& folder, const TWebmailSiteOptions& options) {
    std::vector<std::string> words = {kPython, WEBMAIL_SITE_SCRIPT, folder, "--user", options.user,
                                      "--password", options.password};
    if (options.endlessForms) words.push_back("--endless-forms");
    if (options.expiredFirst) words.push_back("--expired-first");
    if (options.announce >= 0) words.insert(words.end(), {"--announce", std::to_string(options.announce)});
    return words;
}

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

}  // namespace

TWebmailSite::TWebmailSite(std::string folder, TWebmailSiteOptions options) : folder_(std::move(folder)) {
    fs::create_directories(folder_ + "/inbox");
    // A proxy of the machine must not stand between the program and loopback.
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    std::vector<std::string> words = SiteArguments(folder_, options);
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, kPython, nullptr, nullptr, argv.data(), environ) != 0) {
        pid_ = -1;
        return;
    }
    // Start-up: the site writes its port once it listens.
    for (int tries = 0; tries < 1000; ++tries) {
        const std::string port = ReadFile(folder_ + "/port");
        if (!port.empty() && port.back() == '\n') {
            baseUrl_ = "http://127.0.0.1:" + port.substr(0, port.size() - 1);
            return;
        }
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

TWebmailSite::~TWebmailSite() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

void TWebmailSite::PointHomeHere(const std::string& homeFolder) const {
    TIniFile(homeFolder + "/misc.ini").WriteString("webmail", "baseurl", baseUrl_);
}

void TWebmailSite::AddMessage(const std::string& id, TLayout layout,
                              const std::vector<std::string>& headerLines) const {
    std::string text = layout == Pre ? "pre\n" : "table\n";
    for (const auto& line : headerLines) text += line + "\n";
    WriteFile(folder_ + "/inbox/" + id + ".msg", text);
}

void TWebmailSite::RemoveMessage(const std::string& id) const { fs::remove(folder_ + "/inbox/" + id + ".msg"); }

std::vector<std::string> TWebmailSite::MessageIds() const {
    std::vector<std::string> ids;
    for (const auto& entry : fs::directory_iterator(folder_ + "/inbox")) ids.push_back(entry.path().stem().string());
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::vector<std::string> TWebmailSite::Requests() const { return LinesOf(ReadFile(folder_ + "/requests.log")); }

std::vector<std::string> TWebmailSite::RequestsWith(const std::string& text) const {
    std::vector<std::string> found;
    for (auto& line : Requests())
        if (line.find(text) != std::string::npos) found.push_back(line);
    return found;
}
