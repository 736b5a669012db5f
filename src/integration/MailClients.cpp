#include "integration/MailClients.h"

#include "base/Tr.h"
#include "base/UserInterface.h"
#include "parsing/TextOps.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> ApplicationFolders() {
    std::vector<std::string> folders;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (dataHome && *dataHome)
        folders.push_back(std::string(dataHome) + "/applications");
    else if (home && *home)
        folders.push_back(std::string(home) + "/.local/share/applications");
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    std::string dirs = dataDirs && *dataDirs ? dataDirs : "/usr/local/share/:/usr/share/";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t colon = std::min(dirs.find(':', start), dirs.size());
        std::string dir = dirs.substr(start, colon - start);
        while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
        if (!dir.empty()) folders.push_back(dir + "/applications");
        start = colon + 1;
    }
    return folders;
}

// The string escapes of desktop files (\s \n \t \r \\).
std::string UnescapeDesktopValue(const std::string& value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[++i]) {
            case 's': out += ' '; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case '\\': out += "\\\\"; break;  // stays a quoting backslash for the Exec rules
            default: out += '\\'; out += value[i];
        }
    }
    return out;
}

// Drops the field codes (%u, %U, %f ...) of an Exec value; %% is one %.
std::string WithoutFieldCodes(const std::string& exec) {
    std::string out;
    for (size_t i = 0; i < exec.size(); ++i) {
        if (exec[i] != '%' || i + 1 == exec.size()) {
            out += exec[i];
            continue;
        }
        if (exec[++i] == '%') out += '%';
    }
    return TrimText(out);
}

struct TDesktopEntry {
    bool mailto = false;
    bool hidden = false;
    bool hasExec = false;
    std::string exec;
};

TDesktopEntry ReadDesktopEntry(const fs::path& file) {
    TDesktopEntry entry;
    std::ifstream in(file);
    std::string line;
    bool inMainGroup = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup) continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = TrimText(line.substr(0, eq));
        const std::string value = TrimText(line.substr(eq + 1));
        if (key == "MimeType") {
            size_t start = 0;
            while (start < value.size()) {
                const size_t semi = std::min(value.find(';', start), value.size());
                if (TrimText(value.substr(start, semi - start)) == "x-scheme-handler/mailto") entry.mailto = true;
                start = semi + 1;
            }
        } else if (key == "Exec") {
            entry.hasExec = true;
            entry.exec = WithoutFieldCodes(UnescapeDesktopValue(value));
        } else if (key == "Hidden") {
            entry.hidden = value == "true";
        }
    }
    return entry;
}

std::string ReadFirstLine(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    std::getline(in, line, '\n');
    return line;
}

}  // namespace

std::vector<std::string> ListMailClients() {
    std::vector<std::string> entries;
    std::set<std::string> seen;
    for (const auto& folder : ApplicationFolders()) {
        std::error_code ec;
        std::vector<fs::path> files;
        for (const auto& item : fs::directory_iterator(folder, ec))
            if (item.path().extension() == ".desktop") files.push_back(item.path());
        std::sort(files.begin(), files.end());
        for (const auto& file : files) {
            const std::string name = file.stem().string();
            if (!seen.insert(name).second) continue;
            const TDesktopEntry entry = ReadDesktopEntry(file);
            if (entry.hidden || !entry.mailto) continue;
            entries.push_back(entry.hasExec ? name + " [" + entry.exec + "]" : name);
        }
    }
    return entries;
}

std::vector<std::string> SplitCommandLine(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote == '\'') {
            if (c == '\'') quote = 0; else word += c;
        } else if (quote == '"') {
            if (c == '"') {
                quote = 0;
            } else if (c == '\\' && i + 1 < text.size() && std::string("\"\\$`").find(text[i + 1]) != std::string::npos) {
                word += text[++i];
            } else {
                word += c;
            }
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            inWord = true;
            if (c == '\'' || c == '"') quote = c;
            else if (c == '\\' && i + 1 < text.size()) word += text[++i];
            else word += c;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

std::string ExeNameOfCommand(const std::string& text) {
    const std::vector<std::string> words = SplitCommandLine(text);
    size_t first = 0;
    if (first < words.size() && BaseName(words[first]) == "env") {
        ++first;
        while (first < words.size() && (words[first].find('=') != std::string::npos || words[first].starts_with('-')))
            ++first;
    }
    // A client started through a shell is named by the command the shell runs;
    // otherwise every running shell would count as the mail client.
    static const char* const shells[] = {"sh", "bash", "dash", "zsh"};
    if (first + 2 < words.size() && words[first + 1] == "-c" &&
        std::any_of(std::begin(shells), std::end(shells), [&](const char* sh) { return BaseName(words[first]) == sh; }))
        return ExeNameOfCommand(words[first + 2]);
    return first < words.size() ? BaseName(words[first]) : std::string();
}

bool MailClientCommandOf(const std::string& entry, std::string& command) {
    const size_t open = entry.find('[');
    if (open == std::string::npos) return false;
    const size_t close = entry.find(']', open + 1);
    if (close == std::string::npos) return false;
    command = entry.substr(open + 1, close - open - 1);
    return true;
}

std::vector<std::string> RunningProgramNames() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& item : fs::directory_iterator("/proc", ec)) {
        const std::string pid = item.path().filename().string();
        if (pid.empty() || !std::all_of(pid.begin(), pid.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const std::string dir = item.path().string();
        if (std::string comm = ReadFirstLine(dir + "/comm"); !comm.empty()) names.push_back(comm);
        std::error_code linkError;
        std::string exe = fs::read_symlink(dir + "/exe", linkError).string();
        if (const std::string deleted = " (deleted)"; exe.ends_with(deleted)) exe.resize(exe.size() - deleted.size());
        if (!linkError && !exe.empty()) names.push_back(BaseName(exe));
        std::string cmdline = ReadFirstLine(dir + "/cmdline");
        if (const size_t nul = cmdline.find('\0'); nul != std::string::npos) cmdline.resize(nul);
        if (!cmdline.empty()) names.push_back(BaseName(cmdline));
    }
    return names;
}

bool IsProgramRunning(const std::string& entry) {
    std::string command;
    if (!MailClientCommandOf(entry, command)) return false;
    const std::string wanted = ExeNameOfCommand(command);
    if (wanted.empty()) return false;
    // The kernel keeps only the first 15 bytes of a process name.
    constexpr size_t kCommLength = 15;
    for (const std::string& name : RunningProgramNames()) {
        if (SameIgnoringCase(name, wanted)) return true;
        if (name.size() == kCommLength && wanted.size() > kCommLength && SameIgnoringCase(name, wanted.substr(0, kCommLength)))
            return true;
    }
    return false;
}

std::string FindRunningMailClient() {
    for (const std::string& entry : ListMailClients())
        if (IsProgramRunning(entry)) return TrimText(entry.substr(0, entry.find('[')));
    return {};
}

bool IsMailClientRunning() {
    const std::string client = FindRunningMailClient();
    if (client.empty()) return false;
    std::string text = Tr("CloseEmailClientMessage", "Please close <%client> email client before using this program");
    if (const size_t at = text.find("<%client>"); at != std::string::npos) text.replace(at, 9, client);
    UserInterface().MessageBox(text, Tr("CloseEmailClientMessage.Caption", "Error receiving mail"), TMsgIcon::Error,
                               mbOK);
    return true;
}

std::string ExpandEnvironmentVariables(const std::string& text) {
    auto nameChar = [](char c) { return c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); };
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '$' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        size_t nameStart = i + 1, nameEnd, next;
        if (text[nameStart] == '{') {
            ++nameStart;
            nameEnd = text.find('}', nameStart);
            if (nameEnd == std::string::npos) {
                out += text[i];
                continue;
            }
            next = nameEnd + 1;
        } else {
            nameEnd = nameStart;
            while (nameEnd < text.size() && nameChar(text[nameEnd])) ++nameEnd;
            next = nameEnd;
        }
        const std::string name = text.substr(nameStart, nameEnd - nameStart);
        const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
        if (!value) {
            out += text[i];
            continue;
        }
        out += value;
        i = next - 1;
    }
    return out;
}

namespace {

// Starts the words as a process of its own that nobody waits for: an
// intermediate child starts it and ends at once, so it never lingers as a
// zombie. A pipe closed on exec tells whether the start worked.
bool StartDetached(const std::vector<std::string>& words) {
    if (words.empty()) return false;
    std::vector<char*> argv;
    for (const auto& w : words) argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return false;
    const pid_t middle = fork();
    if (middle < 0) {
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (middle == 0) {
        close(report[0]);
        setsid();
        const pid_t child = fork();
        if (child == 0) {
            execvp(argv[0], argv.data());
            const int error = errno;
            [[maybe_unused]] const auto written = write(report[1], &error, sizeof error);
            _exit(127);
        }
        _exit(child < 0 ? 1 : 0);
    }
    close(report[1]);
    int status = 0;
    while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    while ((got = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    return got == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

bool RunMailClientCommand(const std::string& entry) {
    std::string command;
    if (!MailClientCommandOf(entry, command)) return false;
    if (StartDetached(SplitCommandLine(ExpandEnvironmentVariables(command)))) return true;
    UserInterface().MessageBox(Tr("Error_running_mail_client", "Error running mail client"), Tr("Error", "Error"),
                               TMsgIcon::Error, mbOK);
    return false;
}
