#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "mail/Pop3Client.h"
#include "mail/TcpSocket.h"

// A small IMAP4rev1 client: sign-in, one selected mailbox, flags, fetches by
// message sequence number or UID. Every command is tagged "S" and a counter
// that runs on across connections of the same object. The numbering of the
// selected mailbox is kept in step with every untagged EXISTS, EXPUNGE and
// FETCH ... UID the server sends, so that a number always maps to the UID the
// server means by it at that moment.
class TImapClient {
public:
    TImapClient();
    ~TImapClient();
    TImapClient(const TImapClient&) = delete;
    TImapClient& operator=(const TImapClient&) = delete;

    bool Login();
    void Logout();
    bool NoOp();
    bool SelectMailbox(const std::string& name);
    bool CloseMailbox();
    bool StoreDeleted(int n);
    // Takes the \Deleted flag off message n again.
    bool ClearDeleted(int n);
    bool FetchMessage(int n, std::vector<std::string>& lines);
    bool FetchHeader(int n, std::vector<std::string>& lines);
    // The size of message n, or -1.
    long long FetchSize(int n);
    // The UID of message n, or -1.
    long long FetchUid(int n);
    // Sequence number and UID of every message of the selected mailbox.
    bool FetchAllUids(std::vector<std::pair<long long, long long>>& uids);
    // Header and UID of message n from one FETCH, so that they cannot belong
    // to different messages; uid is 0 when the server gave none.
    bool FetchHeaderWithUid(int n, std::vector<std::string>& lines, long long& uid);
    // Headers of first..last by UID, each taken with its UID from one FETCH.
    bool FetchHeadersByUid(int first, int last, std::map<long long, std::vector<std::string>>& headers);
    // The whole message with this UID.
    bool UidFetchMessage(long long uid, std::vector<std::string>& lines);
    // Sets \Deleted on the message with this UID; true only when the server
    // confirms that message (a UID that is gone flags nothing).
    bool UidStoreDeleted(long long uid);
    bool UidClearDeleted(long long uid);
    // The UID that message n has now, 0 when not known; the number that the
    // message with this UID has now, 0 when it is not (or no longer) there.
    long long UidOf(long long n) const;
    long long NumberOfUid(long long uid) const;
    // EXISTS announced more messages than are tracked: numbers are not trusted.
    bool TooManyMessages() const { return tooMany_; }

    // Sends one tagged command and reads up to its tagged reply; the reply's
    // status word ("OK", "NO", "BAD"), empty when none arrived.
    std::string SendCommand(const std::string& text);
    // The same in two halves, so the server works on a reply while we work
    // on the last one; any other command first takes in what is on its way.
    bool SendAhead(const std::string& text);
    // One command sent while a reply is still on its way, so that the server
    // goes on to it without waiting for us; its reply is read right after
    // that one. False when none is on its way or one is already sent behind.
    bool SendBehind(const std::string& text);
    std::string CollectReply();
    bool RequestHeaders(int first, int last);
    bool RequestHeadersBehind(int first, int last);
    bool CollectHeaders(std::map<long long, std::vector<std::string>>& headers);
    // The reply on its way read piece by piece, so that a long range of
    // headers is taken as it arrives: the next FETCH item with a literal, its
    // message number, UID (0 when none came) and literal. False at the
    // reply's end (its tagged line is then in ResultString), when no reply is
    // on its way, and when the connection broke. CollectReply takes the rest.
    // literal keeps its room from item to item.
    bool NextLiteralItem(long long& number, long long& uid, std::string& literal);
    bool Awaiting() const { return awaiting_; }
    // The tag number of the command whose reply is being read; 0 when none.
    int AwaitedTag() const { return awaiting_ ? awaitedTag_ : 0; }
    // The lines of the first literal of the last reply.
    void LiteralLines(std::vector<std::string>& lines) const;

    int Timeout = 300000;
    std::string Host = "localhost";
    std::string Port = "143";
    // How the connection is secured (implicit TLS on port 993 when Automatic).
    TTlsSettings Tls;
    int TagCounter = 0;
    std::string ResultString;
    std::vector<std::string> Capabilities;
    std::string Username;
    std::string Password;
    bool Preauthenticated = false;
    std::string SelectedFolder;
    long long SelectedExists = 0;
    long long SelectedRecent = 0;
    long long SelectedUidValidity = 0;
    std::vector<std::string> FullResult;

    TTcpSocket& Socket() { return *socket_; }

    // A literal announced larger than this is refused and the connection
    // closed: a hostile server must not make us allocate without bound.
    static constexpr long long MaxLiteralBytes = 256LL * 1024 * 1024;

private:
    bool BeginTls();
    bool UpgradeIfOffered();
    bool RefuseForSecurity(const std::string& problem);
    // CAPABILITY into Capabilities; false for a server without IMAP4rev1.
    bool ReadCapabilities();
    // The status word of the tagged line in ResultString, empty when none.
    std::string StatusWord() const;
    void BreakOff();
    enum class TRead { Line, End, Broken };
    TRead ReadReplyLine(std::string& line);
    bool ReadLiteral(const std::string& line, std::optional<std::string>& literal);
    bool ReadLiteralInto(const std::string& line, std::string& literal, bool& announced);
    bool WithinReplyLimit();
    void ReadTaggedReply(bool keep = true);
    void ReadRepliesOnTheirWay(bool keep);
    void TrackUntagged(const std::string& line);
    void TrackExists(long long count);
    std::unique_ptr<TTcpSocket> socket_;
    // UID of each message of the selected mailbox by number - 1; 0 unknown.
    std::vector<long long> uids_;
    bool tooMany_ = false;
    // A FETCH whose UID may still follow its literal, on the closing line.
    long long fetchAwaitingUid_ = 0;
    bool awaiting_ = false;  // a command was sent whose reply is not read yet
    std::string replyTag_;   // "S<n> " of that command
    int awaitedTag_ = 0;     // its n
    int queuedTag_ = 0;      // the command sent behind it; 0: none
    std::size_t replyBytes_ = 0;  // read of its reply so far
    std::optional<std::string> putBack_;  // a line of it read too far
};

// An IMAP quoted string: backslash and double quote escaped.
std::string ImapQuoted(const std::string& text);

// The mailbox contract on IMAP, always on "INBOX". Numbers are those the
// server means at the moment of each call (another client's expunge is
// followed); Retr and Dele go by UID, so no renumbering can redirect them.
// Dele sets \Deleted; the marked messages are expunged at Logout. The
// account's port is passed on, except the POP3 default 110, for which 143 is
// used (993 when the security is SSL/TLS). Unique ids are "uidvalidity.uid"; Uidl(n) answers "n uidvalidity.uid"
// (in FullResult, and after "+OK " in ResultString, as a POP3 server would).
class TIMAP : public TPop3Client {
public:
    TIMAP();
    ~TIMAP() override;

    bool Login() override;
    void Logout() override;
    bool Reset() override;
    bool NoOp() override;
    bool Stat() override;
    bool List(int n) override;
    bool Retr(int n) override;
    bool Dele(int n) override;
    bool Top(int n, int lines) override;
    bool Uidl(int n) override;
    void PrefetchHeaders(int first, int last) override;
    bool LoadUniqueIds() override;
    bool TopTellsUniqueId() const override { return true; }
    std::string UniqueId(int n) override;
    int NumberOfUniqueId(const std::string& id) override;
    bool Connected() override;
    int SocketError() override;
    std::string SecurityText() override;
    const TTlsOutcome& TlsOutcome() override;

    TImapClient& Client() { return *imap_; }

    // Messages whose headers one FETCH asks for when the scan's are fetched ahead.
    int HeaderRange = 16384;

private:
    bool Outcome(bool ok);
    bool SelectInbox();
    long long KnownUid(int n);
    void AskForRangeFrom(int n);
    void QueueNextRange();
    bool TakeFromRangesOnTheirWay(int n, long long& uidOfN);
    bool TakeRangeUpTo(int n, long long& uidOfN);
    std::unique_ptr<TImapClient> imap_;
    std::set<long long> marked_;  // UIDs
    // Headers fetched ahead for the Top calls announced by PrefetchHeaders, by UID.
    std::map<long long, std::vector<std::string>> headers_;
    std::string literal_;  // the header item being read; its room serves the next
    int prefetchLast_ = 0;
    // A range of headers asked for by one FETCH: the next message due in it,
    // its last, and its command's tag (-1: none). The one whose reply is
    // being read, and the one sent behind it.
    struct THeaderRange {
        int next = 0, last = 0, tag = -1;
    };
    THeaderRange range_, queued_;
    // The message whose header the last Top returned: its number then and UID.
    int lastTopNumber_ = 0;
    long long lastTopUid_ = 0;
};
