#pragma once

// Test access to the private mail servers on loopback that the CTest fixture
// "mailservers" starts and stops (tests/servers/mailservers.sh): Dovecot for
// POP3 and IMAP, a second Dovecot with TLS only, and capturing SMTP servers
// (plain; STARTTLS and AUTH required; TLS from the first byte and AUTH
// required). A test that uses them declares
//
//     tarnwick_test(test_x SOURCES ... LIBS ... tw_test_servers FIXTURES mailservers)
//
// and then, in a test case:
//
//     const TMailServerInfo* servers = RequireMailServers();  // fails the test when not running
//     TTestMailbox box({"From: a@b\r\nSubject: one\r\n\r\nbody\r\n"});
//     pop.Host = "127.0.0.1"; pop.Port = servers->Pop3Port;
//     pop.Username = box.User(); pop.Password = box.Password();
//     ... box.Messages() is what is left on the server afterwards.
//     CapturedMail("someone@example.test") is what the SMTP server received.
//
// The fixture publishes the ports in $TARNWICK_TEST_TMP/mailservers.env (or
// the file named by $TARNWICK_MAILSERVERS). Outside CTest start the servers by
// hand: tests/servers/mailservers.sh start build/test-tmp/mailservers.env

#include <string>
#include <vector>

// A loopback address whose POP3S and IMAPS ports show a bad certificate.
struct TBadCertificate {
    std::string Host;
    std::string Fingerprint;  // SHA-256, "AB:CD:..." as openssl prints it
};

struct TMailServerInfo {
    std::string Host = "127.0.0.1";
    std::string Pop3Port;
    std::string ImapPort;
    std::string SmtpPort;
    std::string Dir;  // the servers' folder
    unsigned Uid = 0;  // owner of the mailbox files
    unsigned Gid = 0;

    // Dovecot with TLS, on TlsHost with a certificate of the test CA (made for
    // Host, TlsHost and localhost). No sign-in is taken on the STLS and
    // STARTTLS ports before the upgrade.
    std::string TlsHost;
    std::string Pop3StlsPort, ImapStarttlsPort, Pop3sPort, ImapsPort;
    // SMTP with TLS, on Host.
    std::string SmtpStarttlsPort, SmtpsPort;
    std::string TlsCa;  // the test CA; MailServers() points SSL_CERT_FILE at it
    std::string GoodFingerprint;
    TBadCertificate Expired, SelfSigned, OtherName, NotYetValid;
};

// The running servers, or nullptr (with the reason in *why) when the info
// file is missing or incomplete. The first call makes OpenSSL trust the test
// CA (SSL_CERT_FILE) in this process and the programs it starts.
const TMailServerInfo* MailServers(std::string* why = nullptr);

// MailServers(), recording a test failure (GoogleTest ADD_FAILURE) when they
// are not running.
const TMailServerInfo* RequireMailServers();

// One message file of a mailbox as Dovecot keeps it.
struct TStoredMessage {
    std::string FileName;  // base name, without the ":2,flags" part
    std::string Flags;     // Maildir flags: "S" seen, "T" deleted (IMAP \Deleted) ...
    std::string Text;      // the file's bytes
};

// A fresh mailbox user of its own for one test, removed again by the
// destructor. Messages are written into its Maildir in the order given, and
// the servers number them in that order (1, 2, ...).
class TTestMailbox {
public:
    explicit TTestMailbox(const std::vector<std::string>& messages = {}, const std::string& password = "secret");
    ~TTestMailbox();
    TTestMailbox(const TTestMailbox&) = delete;
    TTestMailbox& operator=(const TTestMailbox&) = delete;

    const std::string& User() const { return user_; }
    const std::string& Password() const { return password_; }

    // Appends a message (text as stored: CR LF or LF line ends both work).
    void Add(const std::string& message);
    // The messages left in the mailbox, in mailbox order.
    std::vector<TStoredMessage> Messages() const;
    // The Subject of each message left, in mailbox order ("" for a message without one).
    std::vector<std::string> Subjects() const;

private:
    std::string user_;
    std::string password_;
    std::string maildir_;
    unsigned next_ = 0;
};

// A name no other test of this run uses ("stem" + pid + counter), for users
// and recipient addresses.
std::string UniqueTestName(const std::string& stem);

// One message the SMTP server accepted.
struct TCapturedMail {
    std::string AuthenticatedAs;  // the user the client signed in as, empty when it did not
    std::string MailFrom;
    std::vector<std::string> Recipients;
    std::string Data;  // as received, dot-stuffing removed, CR LF line ends
};

// Every message captured so far with recipient among its recipients, in the
// order of arrival.
std::vector<TCapturedMail> CapturedMail(const std::string& recipient);
