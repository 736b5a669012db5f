#include "mail/ImapClient.h"

#include "mail/ProtocolText.h"
#include "parsing/TextOps.h"

namespace {

constexpr std::size_t MaxReplyBytes = 256u * 1024 * 1024;

// The number right after key (found in the upper-cased line), or -1.
long long NumberAfter(const std::string& upperLine, const std::string& key) {
    std::size_t at = upperLine.find(key);
    if (at == std::string::npos) return -1;
    std::size_t start = at + key.size();
    std::size_t end = start;
    while (end < upperLine.size() && upperLine[end] >= '0' && upperLine[end] <= '9') ++end;
    return ParseDecimal(std::string_view(upperLine).substr(start, end - start), -1);
}

}  // namespace

std::string ImapQuoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

TImapClient::TImapClient() : socket_(std::make_unique<TTcpSocket>()) {
    socket_->MakeSocket();
    socket_->SetReceiveBufferSize(32768);
    socket_->SetSendBufferSize(32768);
}

TImapClient::~TImapClient() = default;

std::string TImapClient::SendCommand(const std::string& text) {
    ++TagCounter;
    socket_->SendText("S" + std::to_string(TagCounter) + " " + text + "\r\n");
    if (socket_->LastError != 0) {
        FullResult.clear();
        ResultString.clear();
        return {};
    }
    ReadTaggedReply();
    std::string rest = TextAfter(ResultString, " ");
    return ResultString.find(' ') == std::string::npos ? std::string() : UpperAscii(TextBefore(rest, " "));
}

void TImapClient::ReadTaggedReply() {
    FullResult.clear();
    ResultString.clear();
    const std::string tag = "S" + std::to_string(TagCounter) + " ";
    std::size_t total = 0;
    while (true) {
        std::string line = socket_->ReceiveLine(Timeout);
        if (socket_->LastError != 0) {
            // The rest of a reply that never ended may still come, literals
            // and all, and would be read as the next command's answer.
            socket_->Disconnect();
            break;
        }
        if (StartsWith(line, tag)) {
            ResultString = std::move(line);
            break;
        }
        total += line.size();
        bool announcesLiteral = !line.empty() && line.back() == '}';
        FullResult.push_back(std::move(line));
        if (announcesLiteral) {
            const std::string& last = FullResult.back();
            std::size_t open = last.rfind('{');
            long long length = open == std::string::npos
                                   ? -1
                                   : ParseDecimal(std::string_view(last).substr(open + 1, last.size() - open - 2), -1);
            if (length > MaxLiteralBytes || (length > 0 && total + length > MaxReplyBytes)) {
                // The stream cannot be followed past a literal we will not read.
                socket_->Disconnect();
                break;
            }
            if (length >= 0) {
                std::string literal;
                socket_->ReceiveExact(literal, static_cast<std::size_t>(length), Timeout);
                total += literal.size();
                FullResult.push_back(std::move(literal));
                if (socket_->LastError != 0) {
                    socket_->Disconnect();
                    break;
                }
            }
        }
        if (total > MaxReplyBytes) {
            socket_->Disconnect();
            break;
        }
    }
}

void TImapClient::LiteralLines(std::vector<std::string>& lines) const {
    lines.clear();
    for (std::size_t i = 0; i + 1 < FullResult.size(); ++i) {
        const std::string& element = FullResult[i];
        if (!element.empty() && element.back() == '}') {
            lines = SplitLines(FullResult[i + 1]);
            return;
        }
    }
}

bool TImapClient::Login() {
    SelectedFolder.clear();
    SelectedExists = SelectedRecent = SelectedUidValidity = 0;
    Preauthenticated = false;
    // Quoting keeps blanks and quotes inside the strings; a line break cannot
    // be quoted and would start a command of its own.
    if (HoldsLineBreakOrNul(Username) || HoldsLineBreakOrNul(Password)) return false;
    socket_->Disconnect();
    socket_->MakeSocket();
    socket_->ConnectTo(Host, Port);
    if (socket_->LastError != 0) return false;
    std::string greeting = socket_->ReceiveLine(Timeout);
    if (StartsWith(greeting, "* PREAUTH"))
        Preauthenticated = true;
    else if (!StartsWith(greeting, "* OK"))
        return false;
    Capabilities.clear();
    if (SendCommand("CAPABILITY") == "OK") {
        for (const std::string& line : FullResult) {
            if (!StartsWith(line, "* CAPABILITY ")) continue;
            std::string words = line.substr(13);
            std::size_t start = 0;
            while (start <= words.size()) {
                std::size_t space = words.find(' ', start);
                if (space == std::string::npos) space = words.size();
                std::string word = TrimText(std::string_view(words).substr(start, space - start));
                if (!word.empty()) Capabilities.push_back(word);
                start = space + 1;
            }
        }
        bool rev1 = false;
        for (const std::string& capability : Capabilities) rev1 = rev1 || StartsWithNoCase(capability, "IMAP4rev1");
        if (!rev1) return false;
    }
    // A pre-authenticated connection is signed in already; LOGIN would be refused.
    if (Preauthenticated) return true;
    return SendCommand("LOGIN " + ImapQuoted(Username) + " " + ImapQuoted(Password)) == "OK";
}

void TImapClient::Logout() {
    SendCommand("LOGOUT");
    SelectedFolder.clear();
    socket_->Disconnect();
}

bool TImapClient::NoOp() { return SendCommand("NOOP") == "OK"; }

bool TImapClient::SelectMailbox(const std::string& name) {
    std::string status = SendCommand("SELECT " + ImapQuoted(name));
    SelectedFolder = name;
    SelectedExists = SelectedRecent = SelectedUidValidity = 0;
    for (const std::string& raw : FullResult) {
        std::string line = UpperAscii(raw);
        if (line.find(" EXISTS") != std::string::npos)
            SelectedExists = ParseDecimal(TextBefore(TextAfter(line, "* "), " EXISTS"));
        if (line.find(" RECENT") != std::string::npos)
            SelectedRecent = ParseDecimal(TextBefore(TextAfter(line, "* "), " RECENT"));
        if (line.find("UIDVALIDITY") != std::string::npos)
            SelectedUidValidity = ParseDecimal(TextBefore(TextAfter(line, "UIDVALIDITY "), "]"));
    }
    return status == "OK";
}

bool TImapClient::CloseMailbox() {
    std::string status = SendCommand("CLOSE");
    SelectedFolder.clear();
    return status == "OK";
}

bool TImapClient::StoreDeleted(int n) {
    return SendCommand("STORE " + std::to_string(n) + " +FLAGS.SILENT (\\Deleted)") == "OK";
}

bool TImapClient::ClearDeleted(int n) {
    return SendCommand("STORE " + std::to_string(n) + " -FLAGS.SILENT (\\Deleted)") == "OK";
}

bool TImapClient::FetchMessage(int n, std::vector<std::string>& lines) {
    bool ok = SendCommand("FETCH " + std::to_string(n) + " (RFC822)") == "OK";
    LiteralLines(lines);
    return ok;
}

bool TImapClient::FetchHeader(int n, std::vector<std::string>& lines) {
    bool ok = SendCommand("FETCH " + std::to_string(n) + " (RFC822.HEADER)") == "OK";
    LiteralLines(lines);
    return ok;
}

bool TImapClient::FetchHeaders(int first, int last, std::map<int, std::vector<std::string>>& headers) {
    headers.clear();
    const bool ok = SendCommand("FETCH " + std::to_string(first) + ":" + std::to_string(last) + " (RFC822.HEADER)") == "OK";
    long long lastNumber = -1;
    for (std::size_t i = 0; i + 1 < FullResult.size(); ++i) {
        const std::string& line = FullResult[i];
        if (!StartsWith(line, "* ") || line.empty() || line.back() != '}') continue;
        const long long n = ParseDecimal(TextBefore(std::string_view(line).substr(2), " "), -1);
        if (n >= first && n <= last) headers[static_cast<int>(n)] = SplitLines(FullResult[i + 1]);
        lastNumber = n;
        ++i;
    }
    // A reply that broke off may have cut the last header short; on its own
    // that message's fetch would have failed, so it is not taken.
    if (ResultString.empty() && lastNumber >= first) headers.erase(static_cast<int>(lastNumber));
    return ok;
}

long long TImapClient::FetchSize(int n) {
    if (SendCommand("FETCH " + std::to_string(n) + " (RFC822.SIZE)") != "OK") return -1;
    for (const std::string& raw : FullResult) {
        std::string line = UpperAscii(raw);
        if (StartsWith(line, "* ") && line.find("RFC822.SIZE") != std::string::npos)
            return NumberAfter(line, "RFC822.SIZE ");
    }
    return -1;
}

long long TImapClient::FetchUid(int n) {
    if (SendCommand("FETCH " + std::to_string(n) + " (UID)") != "OK") return -1;
    const std::string prefix = "* " + std::to_string(n) + " FETCH ";
    for (const std::string& raw : FullResult) {
        std::string line = UpperAscii(raw);
        if (StartsWith(line, prefix) && line.find("UID ") != std::string::npos) return NumberAfter(line, "UID ");
    }
    return -1;
}

bool TImapClient::FetchAllUids(std::vector<std::pair<long long, long long>>& uids) {
    uids.clear();
    if (SelectedExists == 0) return true;
    if (SendCommand("FETCH 1:* (UID)") != "OK") return false;
    for (const std::string& raw : FullResult) {
        std::string line = UpperAscii(raw);
        if (!StartsWith(line, "* ") || line.find(" FETCH ") == std::string::npos) continue;
        long long number = ParseDecimal(TextBefore(TextAfter(line, "* "), " FETCH"), -1);
        long long uid = NumberAfter(line, "UID ");
        if (number > 0 && uid > 0) uids.emplace_back(number, uid);
    }
    return true;
}

// --- the mailbox adapter ---

TIMAP::TIMAP() : imap_(std::make_unique<TImapClient>()) {}

TIMAP::~TIMAP() = default;

bool TIMAP::Outcome(bool ok) {
    ResultCode = ok ? 1 : 0;
    ResultString = imap_->ResultString;
    return ok;
}

bool TIMAP::Login() {
    headers_.clear();
    prefetchLast_ = 0;
    imap_->Host = Host;
    imap_->Username = Username;
    imap_->Password = Password;
    imap_->Timeout = Timeout;
    // Every new account carries the POP3 port; anything else was chosen for IMAP.
    imap_->Port = TSocketBase::ResolvePort(Port) == 110 ? "143" : Port;
    StatCount = StatSize = 0;
    marked_.clear();
    return Outcome(imap_->Login());
}

void TIMAP::Logout() {
    headers_.clear();
    prefetchLast_ = 0;
    if (!imap_->SelectedFolder.empty()) imap_->CloseMailbox();
    imap_->Logout();
    marked_.clear();
    Outcome(true);
}

bool TIMAP::Reset() {
    // Like RSET: the marks of this session are taken back, nothing is expunged.
    bool ok = true;
    for (int n : marked_) ok = imap_->ClearDeleted(n) && ok;
    if (ok) marked_.clear();
    return Outcome(ok);
}

bool TIMAP::NoOp() { return Outcome(imap_->NoOp()); }

bool TIMAP::Stat() {
    bool ok = imap_->SelectMailbox("INBOX");
    if (ok) StatCount = StatSize = imap_->SelectedExists;
    return Outcome(ok);
}

bool TIMAP::List(int n) {
    if (n == 0) {
        FullResult.clear();
        for (long long i = 1; i <= imap_->SelectedExists; ++i) FullResult.push_back(std::to_string(i) + " 1");
        return Outcome(true);
    }
    FullResult.push_back(std::to_string(n) + " " + std::to_string(imap_->FetchSize(n)));
    return Outcome(true);
}

bool TIMAP::Retr(int n) {
    FullResult.clear();
    if (!imap_->SelectMailbox("INBOX")) return Outcome(false);
    return Outcome(imap_->FetchMessage(n, FullResult));
}

bool TIMAP::Dele(int n) {
    bool ok = imap_->StoreDeleted(n);
    if (ok) marked_.insert(n);
    return Outcome(ok);
}

bool TIMAP::Top(int n, int) {
    constexpr int kBatch = 64;
    if (!headers_.count(n) && n <= prefetchLast_) {
        headers_.clear();
        imap_->FetchHeaders(n, std::min(prefetchLast_, n + kBatch - 1), headers_);
    }
    if (auto found = headers_.find(n); found != headers_.end()) {
        FullResult = std::move(found->second);
        headers_.erase(found);
        Outcome(true);
        return true;
    }
    return Outcome(imap_->FetchHeader(n, FullResult));
}

void TIMAP::PrefetchHeaders(int first, int last) {
    headers_.clear();
    prefetchLast_ = first >= 1 && last >= first ? last : 0;
}

bool TIMAP::Uidl(int n) {
    FullResult.clear();
    if (imap_->SelectedFolder.empty() && !imap_->SelectMailbox("INBOX")) return Outcome(false);
    const std::string validity = std::to_string(imap_->SelectedUidValidity) + ".";
    if (n == 0) {
        std::vector<std::pair<long long, long long>> uids;
        if (!imap_->FetchAllUids(uids)) return Outcome(false);
        for (auto [number, uid] : uids) FullResult.push_back(std::to_string(number) + " " + validity + std::to_string(uid));
        Outcome(true);
        ResultString = "+OK";
        return true;
    }
    long long uid = imap_->FetchUid(n);
    if (uid <= 0) return Outcome(false);
    FullResult.push_back(std::to_string(n) + " " + validity + std::to_string(uid));
    Outcome(true);
    ResultString = "+OK " + FullResult.back();
    return true;
}
