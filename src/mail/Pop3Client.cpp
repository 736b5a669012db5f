#include "mail/Pop3Client.h"

#include <openssl/evp.h>

#include "mail/ProtocolText.h"
#include "parsing/TextOps.h"

TPop3Client::TPop3Client() : socket_(std::make_unique<TTcpSocket>()) { socket_->MakeSocket(); }

TPop3Client::~TPop3Client() = default;

std::string ApopDigest(const std::string& timeStamp, const std::string& password) {
    std::string input = timeStamp + password;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(input.data(), input.size(), digest, &length, EVP_md5(), nullptr) != 1) return {};
    static const char hex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 15];
    }
    return text;
}

bool TPop3Client::Connect() {
    inFlight_.clear();
    prefetchNext_ = prefetchLast_ = 0;
    pipelining_ = -1;
    uniqueIds_.clear();
    numbersById_.clear();
    StatCount = 0;
    StatSize = 0;
    socket_->Disconnect();
    socket_->LineBuffer.clear();
    socket_->MakeSocket();
    socket_->ConnectTo(Host, Port);
    return socket_->LastError == 0;
}

namespace {

bool IsStatusLine(const std::string& line) { return StartsWith(line, "+OK") || StartsWith(line, "-ERR"); }

}  // namespace

bool TPop3Client::ReadReply(bool multiLine, bool header) {
    FullResult.clear();
    ResultString = socket_->ReceiveLine(Timeout);
    bool ok = StartsWith(ResultString, "+OK");
    if (multiLine && ok) {
        std::size_t total = 0;
        bool headerEnded = false;
        while (true) {
            std::string line = socket_->ReceiveLine(Timeout);
            if (socket_->LastError != 0 || line == ".") break;
            // A reply that lost its end mark runs into the next one: taken on,
            // every later header would land on the wrong message.
            if (header && (headerEnded || IsStatusLine(line))) {
                socket_->Disconnect();
                ok = false;
                break;
            }
            if (!line.empty() && line[0] == '.') line.erase(0, 1);
            headerEnded = line.empty();
            total += line.size() + 2;
            if (total > MaxReplyBytes) {
                socket_->Disconnect();
                ok = false;
                break;
            }
            FullResult.push_back(std::move(line));
        }
    }
    // After a timeout or a cut-off line the rest of this reply may still come,
    // and would be taken for the answer to the next command (a header given to
    // the wrong message): the connection cannot be followed any further.
    // A header cut short is not the header of the message: it is not classified.
    if (socket_->LastError != 0) {
        socket_->Disconnect();
        if (header) ok = false;
    }
    ResultCode = ok ? 1 : 0;
    return ok;
}

bool TPop3Client::SendCommand(const std::string& command, bool multiLine, bool header) {
    DrainPipeline();
    socket_->SendText(command + "\r\n");
    if (socket_->LastError != 0) {
        FullResult.clear();
        ResultString.clear();
        ResultCode = 0;
        return false;
    }
    return ReadReply(multiLine, header);
}

bool TPop3Client::BeginTls() {
    if (!socket_->StartTls(Host, Tls.TrustedFingerprint, Timeout))
        return RefuseForSecurity(socket_->Tls().Problem);
    if (Tls.OnEncrypted) Tls.OnEncrypted();
    return true;
}

bool TPop3Client::RefuseForSecurity(const std::string& problem) {
    socket_->Disconnect();
    socket_->LastError = SecureFailure;
    FullResult.clear();
    ResultCode = 0;
    ResultString = problem;
    return false;
}

// STLS when the server offers it and the settings want it. What CAPA said
// before the upgrade is not kept: an attacker may have written it; PIPELINING
// is asked for again after the sign-in.
bool TPop3Client::UpgradeIfOffered() {
    if (Tls.Security == TSecurity::None) return true;
    bool offered = false;
    if (SendCommand("CAPA", true)) {
        for (const std::string& line : FullResult) offered = offered || UpperAscii(TrimText(line)) == "STLS";
    } else if (!socket_->Connected()) {
        return false;
    }
    switch (StepOnPlainConnection(Tls, offered)) {
        case TPlainStep::StayPlain: return true;
        case TPlainStep::Refuse: return RefuseForSecurity(PlainRefusalText(Tls, "STLS"));
        case TPlainStep::Upgrade: break;
    }
    if (!SendCommand("STLS", false)) {
        if (!socket_->Connected()) return false;
        return RefuseForSecurity("the server offers STLS but refused it (" + ResultString +
                                 "); the password was not sent");
    }
    return BeginTls();
}

bool TPop3Client::OpenSession(std::string& greeting) {
    if (!Connect()) return false;
    if (StartsWithTls(Tls, TSocketBase::ResolvePort(Port), 995) && !BeginTls()) return false;
    if (!ReadReply(false)) return false;
    greeting = ResultString;
    return socket_->Encrypted() || UpgradeIfOffered();
}

bool TPop3Client::Login() {
    TimeStamp.clear();
    // A line break in a credential would start a command of its own.
    if (HoldsLineBreakOrNul(Username) || HoldsLineBreakOrNul(Password)) {
        ResultCode = 0;
        ResultString.clear();
        return false;
    }
    std::string greeting;
    if (!OpenSession(greeting)) return false;
    std::size_t open = greeting.find('<');
    if (open != std::string::npos) {
        std::size_t close = greeting.find('>', open + 1);
        if (close != std::string::npos)
            TimeStamp = "<" + TrimText(std::string_view(greeting).substr(open + 1, close - open - 1)) + ">";
    }
    bool signedIn = false;
    if (!TimeStamp.empty() && AuthType != AuthUserPass) {
        signedIn = SendCommand("APOP " + Username + " " + ApopDigest(TimeStamp, Password), false);
        if (!signedIn && !OpenSession(greeting)) return false;
    }
    if (!signedIn && AuthType != AuthApop) {
        if (SendCommand("USER " + Username, false)) signedIn = SendCommand("PASS " + Password, false);
    }
    return signedIn;
}

void TPop3Client::Logout() {
    SendCommand("QUIT", false);
    socket_->Disconnect();
}

bool TPop3Client::Reset() { return SendCommand("RSET", false); }

bool TPop3Client::NoOp() { return SendCommand("NOOP", false); }

bool TPop3Client::Stat() {
    if (!SendCommand("STAT", false)) return false;
    std::string rest = TextAfter(ResultString, "+OK ");
    StatCount = ParseDecimal(TextBefore(rest, " "));
    StatSize = rest.find(' ') == std::string::npos ? 0 : ParseDecimal(TextAfter(rest, " "));
    return true;
}

bool TPop3Client::List(int n) {
    return n == 0 ? SendCommand("LIST", true) : SendCommand("LIST " + std::to_string(n), false);
}

bool TPop3Client::Retr(int n) { return SendCommand("RETR " + std::to_string(n), true); }

bool TPop3Client::Dele(int n) { return SendCommand("DELE " + std::to_string(n), false); }

bool TPop3Client::Top(int n, int lines) {
    if (lines == 0 && prefetchLast_ > 0) {
        if (!inFlight_.empty() && inFlight_.front() != n) DrainPipeline();
        if (inFlight_.empty() && n >= prefetchNext_ && n <= prefetchLast_) {
            prefetchNext_ = n;
            FillPipeline();
        }
        if (!inFlight_.empty() && inFlight_.front() == n) {
            inFlight_.pop_front();
            const bool ok = ReadReply(true, true);
            if (!ok && !socket_->Connected()) {
                inFlight_.clear();
                prefetchLast_ = 0;
            }
            FillPipeline();
            return ok;
        }
    }
    return SendCommand("TOP " + std::to_string(n) + " " + std::to_string(lines), true, lines == 0);
}

void TPop3Client::PrefetchHeaders(int first, int last) {
    DrainPipeline();
    prefetchNext_ = prefetchLast_ = 0;
    if (pipelining_ < 0) {
        pipelining_ = 0;
        if (SendCommand("CAPA", true))
            for (const std::string& line : FullResult)
                if (UpperAscii(TrimText(line)) == "PIPELINING") pipelining_ = 1;
    }
    if (pipelining_ == 1 && first >= 1 && last >= first) {
        prefetchNext_ = first;
        prefetchLast_ = last;
    }
}

// Keeps TOP commands on their way, so the server's answers follow one another
// without a round trip each; refilled half a window at a time, in one write.
void TPop3Client::FillPipeline() {
    constexpr std::size_t kWindow = 64;
    if (inFlight_.size() > kWindow / 2) return;
    std::string commands;
    while (inFlight_.size() < kWindow && prefetchNext_ <= prefetchLast_) {
        commands += "TOP " + std::to_string(prefetchNext_) + " 0\r\n";
        inFlight_.push_back(prefetchNext_++);
    }
    if (commands.empty()) return;
    socket_->SendText(commands);
    if (socket_->LastError != 0) {
        inFlight_.clear();
        prefetchLast_ = 0;
    }
}

void TPop3Client::DrainPipeline() {
    while (!inFlight_.empty()) {
        inFlight_.pop_front();
        if (!ReadReply(true, true) && !socket_->Connected()) inFlight_.clear();
    }
}

bool TPop3Client::Uidl(int n) {
    return n == 0 ? SendCommand("UIDL", true) : SendCommand("UIDL " + std::to_string(n), false);
}

bool TPop3Client::LoadUniqueIds() {
    uniqueIds_.clear();
    numbersById_.clear();
    if (!Uidl(0)) return false;
    std::unordered_map<std::string, int> seen;
    for (const std::string& line : FullResult) {
        const std::size_t space = line.find(' ');
        const long long number = ParseDecimal(std::string_view(line).substr(0, space), -1);
        const std::string id = space == std::string::npos ? std::string() : TrimText(line.substr(space + 1));
        if (number < 1 || number > MaxMessages || id.empty()) continue;
        ++seen[id];
        uniqueIds_[static_cast<int>(number)] = id;
    }
    // An id that is not unique identifies nothing.
    for (auto it = uniqueIds_.begin(); it != uniqueIds_.end();) {
        if (seen[it->second] > 1) {
            it = uniqueIds_.erase(it);
        } else {
            numbersById_[it->second] = it->first;
            ++it;
        }
    }
    return true;
}

std::string TPop3Client::UniqueId(int n) {
    const auto found = uniqueIds_.find(n);
    return found == uniqueIds_.end() ? std::string() : found->second;
}

int TPop3Client::NumberOfUniqueId(const std::string& id) {
    const auto found = numbersById_.find(id);
    return found == numbersById_.end() ? 0 : found->second;
}

bool TPop3Client::Connected() { return socket_->Connected(); }

int TPop3Client::SocketError() { return socket_->LastError; }

std::string TPop3Client::SecurityText() { return socket_->Encrypted() ? socket_->Tls().Version : std::string(); }

const TTlsOutcome& TPop3Client::TlsOutcome() { return socket_->Tls(); }
