#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "mail/TcpSocket.h"

// Sign-in methods of a POP3 mailbox.
enum TPop3AuthType : std::uint8_t {
    AuthAny = 0,       // APOP when the greeting offers it, then USER/PASS
    AuthUserPass = 1,  // USER/PASS only
    AuthApop = 2,      // APOP only
};

// The POP3 client and, through its virtual operations, the contract every
// mailbox kind keeps: message numbers 1..StatCount name the same messages from
// Login until Logout, Dele only marks, and the marks are carried out at Logout
// (freeing the object without Logout discards them). No operation throws; a
// failure returns false with the server's last status line in ResultString.
//
// Uidl: after Uidl(n) with n > 0, ResultString is "+OK n uid" (as a POP3
// server answers); after Uidl(0), FullResult holds one "n uid" line per
// message.
class TPop3Client {
public:
    TPop3Client();
    virtual ~TPop3Client();
    TPop3Client(const TPop3Client&) = delete;
    TPop3Client& operator=(const TPop3Client&) = delete;

    virtual bool Login();
    virtual void Logout();
    virtual bool Reset();
    virtual bool NoOp();
    virtual bool Stat();
    virtual bool List(int n);
    virtual bool Retr(int n);
    virtual bool Dele(int n);
    virtual bool Top(int n, int lines);
    virtual bool Uidl(int n);

    // Announces that Top(n, 0) will follow for n = first, first+1 ... last, so
    // that the headers can be asked for ahead (POP3 pipelining when the server
    // offers it, one FETCH for a range on IMAP). Results are as without it;
    // any other command first takes in what is still on its way.
    virtual void PrefetchHeaders(int first, int last);

    // Unique ids, so that a message is found again whatever its number. Read
    // once per session (after Stat); an id the server gives to more than one
    // message names none of them.
    virtual bool LoadUniqueIds();
    // Whether Top(n) itself tells the id of message n (IMAP's FETCH carries
    // the UID): a scan that reads every header then needs no list of ids.
    virtual bool TopTellsUniqueId() const { return false; }
    // The id of message n in this session (for the message the last Top(n)
    // returned, where the server can say), empty when there is none.
    virtual std::string UniqueId(int n);
    // The number that the message with this id has now; 0 when it is gone.
    virtual int NumberOfUniqueId(const std::string& id);
    // False once the connection broke (a timeout, a close, a reply that does
    // not frame): nothing more can be read from this session.
    virtual bool Connected();
    // The Windows Sockets number of the last failure of the connection, 0 when none.
    virtual int SocketError();
    // "TLS 1.3" while the session is encrypted, empty when it is not.
    virtual std::string SecurityText();
    // The TLS of the last connection: version, the server's certificate, and
    // why the connection was refused for its security (then Login failed with
    // SocketError() SecureFailure and the reason in ResultString).
    virtual const TTlsOutcome& TlsOutcome();

    // More messages than this in one mailbox is taken as a server fault.
    static constexpr long long MaxMessages = 1000000;

    TPop3AuthType AuthType = AuthAny;
    // How the connection is secured (implicit TLS on port 995 when Automatic).
    TTlsSettings Tls;
    int Timeout = 300000;
    std::string Host = "localhost";
    std::string Port = "pop3";
    int ResultCode = 0;
    std::string ResultString;
    std::vector<std::string> FullResult;
    std::string Username;
    std::string Password;
    long long StatCount = 0;
    long long StatSize = 0;
    std::string TimeStamp;

    TTcpSocket& Socket() { return *socket_; }

    // A multi-line reply larger than this is refused (the connection is
    // closed), so that a hostile server cannot exhaust memory.
    static constexpr std::size_t MaxReplyBytes = 256u * 1024 * 1024;

protected:
    bool Connect();
    // Connects, reads the greeting and secures the connection as Tls asks.
    bool OpenSession(std::string& greeting);
    bool SendCommand(const std::string& command, bool multiLine, bool header = false);
    // header: the reply is a header (TOP n 0); a status line inside it, or
    // anything but the end mark after its blank line, breaks the connection.
    bool ReadReply(bool multiLine, bool header = false);

private:
    bool BeginTls();
    bool UpgradeIfOffered();
    bool RefuseForSecurity(const std::string& problem);
    void FillPipeline();
    void DrainPipeline();

    std::unique_ptr<TTcpSocket> socket_;
    // TOP commands sent whose replies are still to be read, in order.
    std::deque<int> inFlight_;
    int prefetchNext_ = 0, prefetchLast_ = 0;
    int pipelining_ = -1;  // unknown, no, yes: from the server's CAPA
    std::unordered_map<int, std::string> uniqueIds_;
    std::unordered_map<std::string, int> numbersById_;
};

// The APOP digest: MD5 of time stamp and password, 32 lower-case hex digits.
std::string ApopDigest(const std::string& timeStamp, const std::string& password);
