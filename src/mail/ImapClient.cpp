#include "mail/ImapClient.h"

#include "mail/ProtocolText.h"
#include "parsing/TextOps.h"

#include <utility>

namespace {

constexpr std::size_t MaxReplyBytes = 256u * 1024 * 1024;

// The number right after key (found in any letter case), or -1.
long long NumberAfter(std::string_view line, std::string_view key) {
    const std::size_t at = FindNoCase(line, key);
    if (at == std::string_view::npos) return -1;
    const std::size_t start = at + key.size();
    std::size_t end = start;
    while (end < line.size() && line[end] >= '0' && line[end] <= '9') ++end;
    return ParseDecimal(line.substr(start, end - start), -1);
}

bool IsFetchWithLiteral(const std::string& line);

// "S<n> ", which begins command n and its tagged reply.
std::string TagText(int n) { return "S" + std::to_string(n) + " "; }

std::string HeaderRangeCommand(int first, int last) {
    return "FETCH " + std::to_string(first) + ":" + std::to_string(last) + " (UID RFC822.HEADER)";
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
    if (!SendAhead(text)) return {};
    return CollectReply();
}

// Every reply on its way, each to its end; the last one's in FullResult
// when kept.
void TImapClient::ReadRepliesOnTheirWay(bool keep) {
    while (awaiting_) {
        awaiting_ = false;
        ReadTaggedReply(keep);
    }
}

bool TImapClient::SendAhead(const std::string& text) {
    // Replies still on their way are taken in first, or they would answer
    // this command. Nobody reads them: they are followed to their end without
    // being kept, so that a long range of headers given up costs no memory.
    ReadRepliesOnTheirWay(false);
    ++TagCounter;
    replyTag_ = TagText(TagCounter);
    awaitedTag_ = TagCounter;
    replyBytes_ = 0;
    putBack_.reset();
    socket_->SendText(replyTag_ + text + "\r\n");
    if (socket_->LastError != 0) {
        FullResult.clear();
        ResultString.clear();
        return false;
    }
    awaiting_ = true;
    return true;
}

bool TImapClient::SendBehind(const std::string& text) {
    if (!awaiting_ || queuedTag_ > 0) return false;
    ++TagCounter;
    socket_->SendText(TagText(TagCounter) + text + "\r\n");
    if (socket_->LastError != 0) {
        BreakOff();
        return false;
    }
    queuedTag_ = TagCounter;
    return true;
}

std::string TImapClient::CollectReply() {
    if (!awaiting_) return {};
    // The reply of the last command sent, after any it was sent behind.
    ReadRepliesOnTheirWay(true);
    return StatusWord();
}

std::string TImapClient::StatusWord() const {
    if (ResultString.find(' ') == std::string::npos) return {};
    return UpperAscii(TextBefore(TextAfter(ResultString, " "), " "));
}

// The stream cannot be followed further: the rest of a reply that never ended
// may still come, literals and all, and would be read as the next command's
// answer.
void TImapClient::BreakOff() {
    socket_->Disconnect();
    awaiting_ = false;
    queuedTag_ = 0;
}

// The next line of the reply on its way: one put back first. Broken when
// the connection broke (it is then closed, and the reply has no status);
// End at the tagged line, which is then in ResultString.
TImapClient::TRead TImapClient::ReadReplyLine(std::string& line) {
    if (putBack_) {
        line = std::move(*putBack_);
        putBack_.reset();
        return TRead::Line;
    }
    line = socket_->ReceiveLine(Timeout);
    if (socket_->LastError != 0) {
        BreakOff();
        ResultString.clear();
        return TRead::Broken;
    }
    if (line.size() >= replyTag_.size() && line.compare(0, replyTag_.size(), replyTag_) == 0) {
        ResultString = std::move(line);
        awaiting_ = false;
        if (queuedTag_ > 0) {
            // The command sent behind this one is answered next.
            awaitedTag_ = std::exchange(queuedTag_, 0);
            replyTag_ = TagText(awaitedTag_);
            replyBytes_ = 0;
            awaiting_ = true;
        }
        return TRead::End;
    }
    replyBytes_ += line.size();
    TrackUntagged(line);
    return TRead::Line;
}

// The literal that the line announces ("{n}" at its end), none when it
// announces none. False when it cannot be read whole or is refused for its
// size (the stream cannot be followed past a literal we will not read): the
// connection is then closed.
bool TImapClient::ReadLiteral(const std::string& line, std::optional<std::string>& literal) {
    literal.reset();
    std::string read;
    bool announced = false;
    if (!ReadLiteralInto(line, read, announced)) return false;
    if (announced) literal = std::move(read);
    return true;
}

// The same into a buffer whose room serves literal after literal.
bool TImapClient::ReadLiteralInto(const std::string& line, std::string& literal, bool& announced) {
    announced = false;
    if (line.empty() || line.back() != '}') return true;
    const std::size_t open = line.rfind('{');
    const long long length =
        open == std::string::npos ? -1 : ParseDecimal(std::string_view(line).substr(open + 1, line.size() - open - 2), -1);
    if (length > MaxLiteralBytes || (length > 0 && replyBytes_ + length > MaxReplyBytes)) {
        BreakOff();
        return false;
    }
    if (length < 0) return true;
    announced = true;
    socket_->ReceiveExact(literal, static_cast<std::size_t>(length), Timeout);
    replyBytes_ += literal.size();
    if (socket_->LastError != 0) {
        BreakOff();
        return false;
    }
    return true;
}

bool TImapClient::WithinReplyLimit() {
    if (replyBytes_ <= MaxReplyBytes) return true;
    BreakOff();
    return false;
}

void TImapClient::ReadTaggedReply(bool keep) {
    FullResult.clear();
    ResultString.clear();
    std::string line;
    std::optional<std::string> literal;
    while (ReadReplyLine(line) == TRead::Line) {
        const bool whole = ReadLiteral(line, literal);
        if (keep) {
            FullResult.push_back(std::move(line));
            if (literal) FullResult.push_back(std::move(*literal));
        }
        if (!whole || !WithinReplyLimit()) break;
    }
}

bool TImapClient::NextLiteralItem(long long& number, long long& uid, std::string& literal) {
    std::string line;
    bool announced = false;
    do {
        if (!awaiting_ || ReadReplyLine(line) != TRead::Line || !ReadLiteralInto(line, literal, announced))
            return false;
    } while (!announced || !IsFetchWithLiteral(line));
    number = ParseDecimal(TextBefore(std::string_view(line).substr(2), " "), -1);
    uid = NumberAfter(line, "UID ");
    // The item goes on after the literal, with its UID when that came last.
    // A reply that breaks off there may have cut the header short.
    std::string rest;
    switch (ReadReplyLine(rest)) {
    case TRead::Broken: return false;
    case TRead::End: break;
    case TRead::Line:
        if (StartsWith(rest, "* ")) {
            putBack_ = std::move(rest);  // the next response; this item had no more
            break;
        }
        if (uid <= 0) uid = NumberAfter(rest, "UID ");
        if (std::optional<std::string> more; !ReadLiteral(rest, more)) return false;
        break;
    }
    return WithinReplyLimit();
}

// Follows the server's renumbering: each untagged line applies to the
// numbering that held when it was sent, so they are applied in order.
void TImapClient::TrackUntagged(const std::string& line) {
    if (!StartsWith(line, "* ")) {
        // The closing line of a FETCH whose UID came after its literal.
        if (fetchAwaitingUid_ > 0) {
            const long long uid = NumberAfter(line, "UID ");
            if (uid > 0 && fetchAwaitingUid_ <= static_cast<long long>(uids_.size())) uids_[fetchAwaitingUid_ - 1] = uid;
        }
        fetchAwaitingUid_ = 0;
        return;
    }
    fetchAwaitingUid_ = 0;
    const std::size_t space = line.find(' ', 2);
    if (space == std::string::npos) return;
    const long long n = ParseDecimal(std::string_view(line).substr(2, space - 2), -1);
    if (n < 0) return;
    const std::string_view word = std::string_view(line).substr(space + 1);
    if (EqualsNoCase(word, "EXISTS")) {
        TrackExists(n);
    } else if (EqualsNoCase(word, "EXPUNGE")) {
        if (n >= 1 && n <= static_cast<long long>(uids_.size())) uids_.erase(uids_.begin() + (n - 1));
        if (SelectedExists > 0) --SelectedExists;
        if (!tooMany_ && SelectedExists < static_cast<long long>(uids_.size())) uids_.resize(SelectedExists);
    } else if (StartsWithNoCase(word, "FETCH ")) {
        const long long uid = NumberAfter(line, "UID ");
        if (uid > 0 && n >= 1 && n <= static_cast<long long>(uids_.size()))
            uids_[n - 1] = uid;
        else if (uid <= 0 && !line.empty() && line.back() == '}')
            fetchAwaitingUid_ = n;
    }
}

// A count is only believed as far as memory for it is sane.
void TImapClient::TrackExists(long long count) {
    SelectedExists = count;
    tooMany_ = count > TPop3Client::MaxMessages;
    if (tooMany_) {
        uids_.clear();
        return;
    }
    uids_.resize(static_cast<std::size_t>(count), 0);
}

long long TImapClient::UidOf(long long n) const {
    if (tooMany_ || n < 1 || n > static_cast<long long>(uids_.size())) return 0;
    return uids_[n - 1];
}

long long TImapClient::NumberOfUid(long long uid) const {
    if (tooMany_ || uid <= 0) return 0;
    for (std::size_t i = 0; i < uids_.size(); ++i)
        if (uids_[i] == uid) return static_cast<long long>(i) + 1;
    return 0;
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

bool TImapClient::RefuseForSecurity(const std::string& problem) {
    socket_->Disconnect();
    socket_->LastError = SecureFailure;
    FullResult.clear();
    ResultString = problem;
    return false;
}

bool TImapClient::BeginTls() {
    if (!socket_->StartTls(Host, Tls.TrustedFingerprint, Timeout)) return RefuseForSecurity(socket_->Tls().Problem);
    if (Tls.OnEncrypted) Tls.OnEncrypted();
    return true;
}

bool TImapClient::ReadCapabilities() {
    Capabilities.clear();
    if (SendCommand("CAPABILITY") != "OK") return true;  // LOGIN is tried all the same
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
    return rev1;
}

// STARTTLS when the server offers it and the settings want it; the
// capabilities are asked for again over TLS, as those before may be forged.
bool TImapClient::UpgradeIfOffered() {
    if (Tls.Security == TSecurity::None) return true;
    bool offered = false;
    for (const std::string& capability : Capabilities) offered = offered || UpperAscii(capability) == "STARTTLS";
    // After PREAUTH there is no STARTTLS: the session is signed in already.
    if (Preauthenticated) offered = false;
    switch (StepOnPlainConnection(Tls, offered)) {
        case TPlainStep::StayPlain: return true;
        case TPlainStep::Refuse: return RefuseForSecurity(PlainRefusalText(Tls, "STARTTLS"));
        case TPlainStep::Upgrade: break;
    }
    if (SendCommand("STARTTLS") != "OK") {
        if (!socket_->Connected()) return false;
        return RefuseForSecurity("the server offers STARTTLS but refused it (" + ResultString +
                                 "); the password was not sent");
    }
    return BeginTls() && ReadCapabilities();
}

bool TImapClient::Login() {
    SelectedFolder.clear();
    SelectedExists = SelectedRecent = SelectedUidValidity = 0;
    uids_.clear();
    tooMany_ = false;
    fetchAwaitingUid_ = 0;
    awaiting_ = false;
    queuedTag_ = 0;
    Preauthenticated = false;
    // Quoting keeps blanks and quotes inside the strings; a line break cannot
    // be quoted and would start a command of its own.
    if (HoldsLineBreakOrNul(Username) || HoldsLineBreakOrNul(Password)) return false;
    socket_->Disconnect();
    socket_->MakeSocket();
    socket_->ConnectTo(Host, Port);
    if (socket_->LastError != 0) return false;
    if (StartsWithTls(Tls, TSocketBase::ResolvePort(Port), 993) && !BeginTls()) return false;
    std::string greeting = socket_->ReceiveLine(Timeout);
    if (StartsWith(greeting, "* PREAUTH"))
        Preauthenticated = true;
    else if (!StartsWith(greeting, "* OK"))
        return false;
    if (!ReadCapabilities()) return false;
    if (!socket_->Encrypted() && !UpgradeIfOffered()) return false;
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
    SelectedExists = SelectedRecent = SelectedUidValidity = 0;
    uids_.clear();
    tooMany_ = false;
    std::string status = SendCommand("SELECT " + ImapQuoted(name));
    SelectedFolder = name;
    for (const std::string& raw : FullResult) {
        std::string line = UpperAscii(raw);
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
    uids_.clear();
    SelectedExists = 0;
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

namespace {

// The UID of the FETCH item that starts at FullResult[i] (announcing a literal
// at its end): on that line, or on the closing line after the literal.
long long ItemUid(const std::vector<std::string>& result, std::size_t i) {
    long long uid = NumberAfter(result[i], "UID ");
    if (uid <= 0 && i + 2 < result.size() && !StartsWith(result[i + 2], "* "))
        uid = NumberAfter(result[i + 2], "UID ");
    return uid;
}

bool IsFetchWithLiteral(const std::string& line) {
    return StartsWith(line, "* ") && line.back() == '}' && FindNoCase(line, " FETCH ") != std::string_view::npos;
}

}  // namespace

bool TImapClient::FetchHeaderWithUid(int n, std::vector<std::string>& lines, long long& uid) {
    lines.clear();
    uid = 0;
    const bool ok = SendCommand("FETCH " + std::to_string(n) + " (UID RFC822.HEADER)") == "OK";
    for (std::size_t i = 0; i + 1 < FullResult.size(); ++i) {
        if (!IsFetchWithLiteral(FullResult[i])) continue;
        uid = ItemUid(FullResult, i);
        lines = SplitLines(FullResult[i + 1]);
        break;
    }
    return ok && uid > 0;
}

bool TImapClient::FetchHeadersByUid(int first, int last, std::map<long long, std::vector<std::string>>& headers) {
    return RequestHeaders(first, last) && CollectHeaders(headers);
}

bool TImapClient::RequestHeaders(int first, int last) { return SendAhead(HeaderRangeCommand(first, last)); }

bool TImapClient::RequestHeadersBehind(int first, int last) { return SendBehind(HeaderRangeCommand(first, last)); }

bool TImapClient::CollectHeaders(std::map<long long, std::vector<std::string>>& headers) {
    headers.clear();
    if (!awaiting_) return false;
    long long number = 0, uid = 0;
    std::string literal;
    // Only whole items come: a header that a broken reply cut short is not taken.
    while (NextLiteralItem(number, uid, literal))
        if (uid > 0) headers[uid] = SplitLines(literal);  // without its UID it cannot be tied to a message
    return StatusWord() == "OK";
}

bool TImapClient::UidFetchMessage(long long uid, std::vector<std::string>& lines) {
    const bool ok = SendCommand("UID FETCH " + std::to_string(uid) + " (RFC822)") == "OK";
    lines.clear();
    for (std::size_t i = 0; i + 1 < FullResult.size(); ++i) {
        if (!IsFetchWithLiteral(FullResult[i]) || ItemUid(FullResult, i) != uid) continue;
        lines = SplitLines(FullResult[i + 1]);
        return ok;
    }
    return false;
}

namespace {

// Whether a FETCH answer for this UID came back: the message existed.
bool Confirms(const std::vector<std::string>& result, long long uid) {
    for (const std::string& line : result) {
        const std::string upper = UpperAscii(line);
        if (StartsWith(upper, "* ") && upper.find(" FETCH ") != std::string::npos && NumberAfter(upper, "UID ") == uid)
            return true;
    }
    return false;
}

}  // namespace

bool TImapClient::UidStoreDeleted(long long uid) {
    return SendCommand("UID STORE " + std::to_string(uid) + " +FLAGS (\\Deleted)") == "OK" && Confirms(FullResult, uid);
}

bool TImapClient::UidClearDeleted(long long uid) {
    return SendCommand("UID STORE " + std::to_string(uid) + " -FLAGS.SILENT (\\Deleted)") == "OK";
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
    range_ = queued_ = {};
    prefetchLast_ = 0;
    lastTopNumber_ = 0;
    lastTopUid_ = 0;
    imap_->Host = Host;
    imap_->Username = Username;
    imap_->Password = Password;
    imap_->Timeout = Timeout;
    imap_->Tls = Tls;
    // Every new account carries the POP3 port; anything else was chosen for IMAP.
    if (TSocketBase::ResolvePort(Port) == 110)
        imap_->Port = Tls.Security == TSecurity::Tls ? "993" : "143";
    else
        imap_->Port = Port;
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
    for (long long uid : marked_) ok = imap_->UidClearDeleted(uid) && ok;
    if (ok) marked_.clear();
    return Outcome(ok);
}

bool TIMAP::NoOp() { return Outcome(imap_->NoOp()); }

// Selecting again would renumber the session without telling us which
// message went where; once selected, a NOOP brings the changes in order.
bool TIMAP::SelectInbox() {
    if (imap_->SelectedFolder == "INBOX" && imap_->Socket().Connected()) return imap_->NoOp();
    return imap_->SelectMailbox("INBOX");
}

bool TIMAP::Stat() {
    bool ok = SelectInbox();
    if (ok) StatCount = StatSize = imap_->SelectedExists;
    return Outcome(ok);
}

bool TIMAP::List(int n) {
    if (n == 0) {
        FullResult.clear();
        if (imap_->TooManyMessages()) return Outcome(false);
        for (long long i = 1; i <= imap_->SelectedExists; ++i) FullResult.push_back(std::to_string(i) + " 1");
        return Outcome(true);
    }
    FullResult.push_back(std::to_string(n) + " " + std::to_string(imap_->FetchSize(n)));
    return Outcome(true);
}

// The UID that message n has now, asked for when the session does not know it yet.
long long TIMAP::KnownUid(int n) {
    long long uid = imap_->UidOf(n);
    if (uid <= 0) {
        imap_->FetchUid(n);
        uid = imap_->UidOf(n);
    }
    return uid;
}

bool TIMAP::Retr(int n) {
    FullResult.clear();
    if (imap_->SelectedFolder != "INBOX" && !imap_->SelectMailbox("INBOX")) return Outcome(false);
    const long long uid = KnownUid(n);
    if (uid <= 0) return Outcome(false);
    return Outcome(imap_->UidFetchMessage(uid, FullResult));
}

bool TIMAP::Dele(int n) {
    const long long uid = KnownUid(n);
    const bool ok = uid > 0 && imap_->UidStoreDeleted(uid);
    if (ok) marked_.insert(uid);
    return Outcome(ok);
}

bool TIMAP::Top(int n, int) {
    lastTopNumber_ = 0;
    lastTopUid_ = 0;
    long long uid = imap_->UidOf(n);
    bool taken = false;  // n's header went straight into FullResult
    const bool ranged = (uid <= 0 || !headers_.count(uid)) && n <= prefetchLast_;
    if (ranged) {
        // The ranges on their way are read on while n is still to come in
        // them; anything else (a message asked for again, the numbering
        // moved, a range that ended without n) asks anew from n on.
        taken = TakeFromRangesOnTheirWay(n, uid);
        if (!taken) {
            uid = imap_->UidOf(n);
            if (uid <= 0 || !headers_.count(uid)) {
                AskForRangeFrom(n);
                taken = TakeRangeUpTo(n, uid);
                if (!taken) uid = imap_->UidOf(n);
            }
        }
    }
    if (!taken) {
        FullResult.clear();
        if (auto found = headers_.find(uid); uid > 0 && found != headers_.end()) {
            FullResult = std::move(found->second);
            headers_.erase(found);
            taken = true;
        }
    }
    if (taken) {
        lastTopNumber_ = n;
        lastTopUid_ = uid;
        Outcome(true);
        return true;
    }
    // The range asked for held no header for n: asking again gives nothing new.
    if (ranged) return Outcome(false);
    const bool ok = imap_->FetchHeaderWithUid(n, FullResult, uid);
    if (ok) {
        lastTopNumber_ = n;
        lastTopUid_ = uid;
    }
    return Outcome(ok);
}

// One FETCH for the headers from n on (any reply on its way is read to its
// end first), and the next range sent behind it.
void TIMAP::AskForRangeFrom(int n) {
    queued_ = {};
    range_.next = n;
    range_.last = std::min(prefetchLast_, n + HeaderRange - 1);
    range_.tag = imap_->RequestHeaders(n, range_.last) ? imap_->TagCounter : -1;
    QueueNextRange();
}

// The server goes on to the next range without waiting for us to reach the
// end of this one.
void TIMAP::QueueNextRange() {
    if (range_.tag < 0 || range_.last >= prefetchLast_ || queued_.tag >= 0) return;
    const int first = range_.last + 1, last = std::min(prefetchLast_, first + HeaderRange - 1);
    if (imap_->RequestHeadersBehind(first, last)) queued_ = {first, last, imap_->TagCounter};
}

bool TIMAP::TakeFromRangesOnTheirWay(int n, long long& uidOfN) {
    while (imap_->Awaiting()) {
        if (queued_.tag >= 0 && imap_->AwaitedTag() == queued_.tag) {
            // The range before it ended: its reply is the one being read now.
            range_ = std::exchange(queued_, {});
            QueueNextRange();
        }
        if (imap_->AwaitedTag() != range_.tag) return false;
        const bool inThisRange = n >= range_.next && n <= range_.last;
        const bool inQueuedRange = queued_.tag >= 0 && n >= queued_.next && n <= queued_.last;
        if (!inThisRange && !inQueuedRange) return false;
        if (TakeRangeUpTo(n, uidOfN)) return true;
        if (inThisRange) return false;
    }
    return false;
}

// Reads the range's headers as they come, up to that of message n, which
// goes straight into FullResult (true, with its UID): its lines take over the
// room of the lines there. Headers before it wait in headers_. False when the
// reply ends (or breaks) first.
bool TIMAP::TakeRangeUpTo(int n, long long& uidOfN) {
    long long number = 0, uid = 0;
    while (imap_->NextLiteralItem(number, uid, literal_)) {
        range_.next = static_cast<int>(number) + 1;
        // A header without its UID cannot be tied to a message: it is left out.
        if (uid > 0 && number == n) {
            SplitLinesInto(literal_, FullResult);
            headers_.erase(uid);  // no older copy stays behind for a later ask
            uidOfN = uid;
            return true;
        }
        if (uid > 0) headers_[uid] = SplitLines(literal_);
        if (number == n) break;
    }
    return false;
}

void TIMAP::PrefetchHeaders(int first, int last) {
    headers_.clear();
    range_ = queued_ = {};
    prefetchLast_ = first >= 1 && last >= first ? last : 0;
}

bool TIMAP::LoadUniqueIds() {
    if (imap_->SelectedFolder.empty() && !imap_->SelectMailbox("INBOX")) return Outcome(false);
    std::vector<std::pair<long long, long long>> uids;
    return Outcome(imap_->FetchAllUids(uids));
}

std::string TIMAP::UniqueId(int n) {
    const long long uid = n == lastTopNumber_ && lastTopUid_ > 0 ? lastTopUid_ : imap_->UidOf(n);
    if (uid <= 0 || imap_->SelectedUidValidity <= 0) return {};
    return std::to_string(imap_->SelectedUidValidity) + "." + std::to_string(uid);
}

int TIMAP::NumberOfUniqueId(const std::string& id) {
    const std::size_t dot = id.find('.');
    if (dot == std::string::npos) return 0;
    // Another UIDVALIDITY: the UIDs of the scan name other messages now.
    if (ParseDecimal(std::string_view(id).substr(0, dot), -1) != imap_->SelectedUidValidity) return 0;
    return static_cast<int>(imap_->NumberOfUid(ParseDecimal(std::string_view(id).substr(dot + 1), -1)));
}

bool TIMAP::Connected() { return imap_->Socket().Connected(); }

int TIMAP::SocketError() { return imap_->Socket().LastError; }

std::string TIMAP::SecurityText() {
    return imap_->Socket().Encrypted() ? imap_->Socket().Tls().Version : std::string();
}

const TTlsOutcome& TIMAP::TlsOutcome() { return imap_->Socket().Tls(); }

bool TIMAP::Uidl(int n) {
    FullResult.clear();
    if (imap_->SelectedFolder.empty() && !imap_->SelectMailbox("INBOX")) return Outcome(false);
    if (n == 0) {
        if (!LoadUniqueIds()) return false;
        for (long long i = 1; i <= imap_->SelectedExists; ++i) {
            const std::string id = UniqueId(static_cast<int>(i));
            if (!id.empty()) FullResult.push_back(std::to_string(i) + " " + id);
        }
        Outcome(true);
        ResultString = "+OK";
        return true;
    }
    if (UniqueId(n).empty()) KnownUid(n);
    const std::string id = UniqueId(n);
    if (id.empty()) return Outcome(false);
    FullResult.push_back(std::to_string(n) + " " + id);
    Outcome(true);
    ResultString = "+OK " + FullResult.back();
    return true;
}
