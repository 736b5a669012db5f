#include "servers/MailServers.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string InfoPath() {
    if (const char* path = std::getenv("TARNWICK_MAILSERVERS"); path && *path) return path;
    if (const char* tmp = std::getenv("TARNWICK_TEST_TMP"); tmp && *tmp) return std::string(tmp) + "/mailservers.env";
    return "build/test-tmp/mailservers.env";
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void Spill(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

void Own(const fs::path& path, const TMailServerInfo& info) {
    if (geteuid() == 0 && chown(path.c_str(), info.Uid, info.Gid) != 0) ADD_FAILURE() << "chown " << path;
}

}  // namespace

const TMailServerInfo* MailServers(std::string* why) {
    static TMailServerInfo info;
    static bool loaded = false;
    if (loaded) return &info;
    std::string path = InfoPath();
    std::ifstream in(path);
    if (!in) {
        if (why) *why = "no mail servers: " + path + " is missing (run the tests through ctest, fixture mailservers)";
        return nullptr;
    }
    std::map<std::string, std::string> values;
    for (std::string line; std::getline(in, line);) {
        auto eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    for (const char* key :
         {"MAIL_DIR", "POP3_PORT", "IMAP_PORT", "SMTP_PORT", "MAIL_UID", "MAIL_GID", "TLS_HOST", "POP3_STLS_PORT",
          "IMAP_STARTTLS_PORT", "POP3S_PORT", "IMAPS_PORT", "SMTP_STARTTLS_PORT", "SMTPS_PORT", "TLS_CA", "TLS_FP_GOOD",
          "TLS_FP_EXPIRED", "TLS_FP_SELFSIGNED", "TLS_FP_OTHERNAME", "TLS_FP_NOTYET"}) {
        if (values[key].empty()) {
            if (why) *why = "no mail servers: " + path + " lacks " + key;
            return nullptr;
        }
    }
    info.Dir = values["MAIL_DIR"];
    info.Pop3Port = values["POP3_PORT"];
    info.ImapPort = values["IMAP_PORT"];
    info.SmtpPort = values["SMTP_PORT"];
    info.Uid = static_cast<unsigned>(std::stoul(values["MAIL_UID"]));
    info.Gid = static_cast<unsigned>(std::stoul(values["MAIL_GID"]));
    info.TlsHost = values["TLS_HOST"];
    info.Pop3StlsPort = values["POP3_STLS_PORT"];
    info.ImapStarttlsPort = values["IMAP_STARTTLS_PORT"];
    info.Pop3sPort = values["POP3S_PORT"];
    info.ImapsPort = values["IMAPS_PORT"];
    info.SmtpStarttlsPort = values["SMTP_STARTTLS_PORT"];
    info.SmtpsPort = values["SMTPS_PORT"];
    info.TlsCa = values["TLS_CA"];
    info.GoodFingerprint = values["TLS_FP_GOOD"];
    info.Expired = {"127.0.0.3", values["TLS_FP_EXPIRED"]};
    info.SelfSigned = {"127.0.0.4", values["TLS_FP_SELFSIGNED"]};
    info.OtherName = {"127.0.0.5", values["TLS_FP_OTHERNAME"]};
    info.NotYetValid = {"127.0.0.6", values["TLS_FP_NOTYET"]};
    // Before any TLS connection of the process: OpenSSL reads it once.
    setenv("SSL_CERT_FILE", info.TlsCa.c_str(), 1);
    loaded = true;
    return &info;
}

const TMailServerInfo* RequireMailServers() {
    std::string why;
    const TMailServerInfo* servers = MailServers(&why);
    if (!servers) ADD_FAILURE() << why;
    return servers;
}

std::string UniqueTestName(const std::string& stem) {
    static std::atomic<unsigned> counter{0};
    return stem + std::to_string(getpid()) + "n" + std::to_string(++counter);
}

TTestMailbox::TTestMailbox(const std::vector<std::string>& messages, const std::string& password)
    : user_(UniqueTestName("tw")), password_(password) {
    const TMailServerInfo* info = RequireMailServers();
    if (!info) return;
    fs::path home = fs::path(info->Dir) / "home" / user_;
    maildir_ = (home / "Maildir").string();
    for (const char* sub : {"cur", "new", "tmp"}) fs::create_directories(fs::path(maildir_) / sub);
    for (const fs::path& p : {home, home / "Maildir", home / "Maildir" / "cur", home / "Maildir" / "new",
                              home / "Maildir" / "tmp"}) {
        chmod(p.c_str(), 0700);
        Own(p, *info);
    }
    for (const std::string& message : messages) Add(message);
    // The password file last: the user exists once the mailbox is filled.
    fs::path users = fs::path(info->Dir) / "users";
    Spill(users / (user_ + ".part"), user_ + ":{PLAIN}" + password_ + "\n");
    fs::rename(users / (user_ + ".part"), users / user_);
}

TTestMailbox::~TTestMailbox() {
    const TMailServerInfo* info = MailServers();
    if (!info || maildir_.empty()) return;
    std::error_code ignored;
    fs::remove(fs::path(info->Dir) / "users" / user_, ignored);
    fs::remove_all(fs::path(info->Dir) / "home" / user_, ignored);
}

void TTestMailbox::Add(const std::string& message) {
    const TMailServerInfo* info = MailServers();
    if (!info || maildir_.empty()) return;
    // Dovecot numbers new files in the order of their names: the leading
    // "time" field grows with every message.
    ++next_;
    std::string name = std::to_string(1000000000u + next_) + ".P" + std::to_string(getpid()) + "Q" +
                       std::to_string(next_) + ".tarnwick";
    fs::path temporary = fs::path(maildir_) / "tmp" / name;
    Spill(temporary, message);
    Own(temporary, *info);
    fs::rename(temporary, fs::path(maildir_) / "new" / name);
}

std::vector<TStoredMessage> TTestMailbox::Messages() const {
    std::vector<TStoredMessage> messages;
    if (maildir_.empty()) return messages;
    for (const char* sub : {"cur", "new"}) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(fs::path(maildir_) / sub, error)) {
            if (!entry.is_regular_file()) continue;
            std::string file = entry.path().filename().string();
            TStoredMessage message;
            auto colon = file.find(':');
            message.FileName = file.substr(0, colon);
            if (colon != std::string::npos && file.compare(colon, 3, ":2,") == 0) message.Flags = file.substr(colon + 3);
            message.Text = Slurp(entry.path());
            messages.push_back(std::move(message));
        }
    }
    std::sort(messages.begin(), messages.end(), [](const TStoredMessage& a, const TStoredMessage& b) {
        return a.FileName < b.FileName;
    });
    return messages;
}

std::vector<TCapturedMail> CapturedMail(const std::string& recipient) {
    std::vector<TCapturedMail> found;
    const TMailServerInfo* info = RequireMailServers();
    if (!info) return found;
    std::vector<fs::path> envelopes;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(fs::path(info->Dir) / "smtp" / "mail", error))
        if (entry.path().extension() == ".env") envelopes.push_back(entry.path());
    std::sort(envelopes.begin(), envelopes.end());
    for (const fs::path& path : envelopes) {
        std::istringstream lines(Slurp(path));
        TCapturedMail mail;
        std::getline(lines, mail.MailFrom);
        for (std::string line; std::getline(lines, line);)
            if (!line.empty()) mail.Recipients.push_back(line);
        if (std::find(mail.Recipients.begin(), mail.Recipients.end(), recipient) == mail.Recipients.end()) continue;
        fs::path data = path;
        data.replace_extension(".eml");
        mail.Data = Slurp(data);
        data.replace_extension(".auth");
        mail.AuthenticatedAs = Slurp(data);
        found.push_back(std::move(mail));
    }
    return found;
}

std::vector<std::string> TTestMailbox::Subjects() const {
    std::vector<std::string> subjects;
    for (const TStoredMessage& m : Messages()) {
        const auto at = m.Text.find("Subject: ");
        subjects.push_back(at == std::string::npos ? "" : m.Text.substr(at + 9, m.Text.find('\r', at) - at - 9));
    }
    return subjects;
}
