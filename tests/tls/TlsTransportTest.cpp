// The blocking socket over TLS, against a scripted TLS server: the reading
// rules of the plain socket hold inside TLS too, and a certificate is taken
// only when it verifies or is exactly the one the user trusts.
#include "mail/FakeServer.h"
#include "mail/TcpSocket.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

const TTestCertificate& Certificate() {
    static const TTestCertificate made = MakeTestCertificate("127.0.0.1");
    return made;
}

struct TTlsConnected {
    TTcpSocket socket;
    explicit TTlsConnected(const TFakeServer& server, const std::string& trusted = Certificate().Fingerprint) {
        socket.MakeSocket();
        socket.ConnectTo("127.0.0.1", server.Port());
        if (socket.LastError == 0) socket.StartTls("127.0.0.1", trusted, 2000);
    }
};

std::string Lines(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i) text += "line " + std::to_string(i) + " of a reply that fills a record\r\n";
    return text;
}

// One record holds far more than one read takes: the rest waits inside the TLS
// layer while the socket has nothing, and must be read without waiting.
TEST(TlsTransport, BytesWaitingInsideTlsAreReadWithoutWaitingForTheSocket) {
    const std::string literal(3000, 'x');
    TFakeServer server({StartTls(Certificate()), S(Lines(200)), S("* 1 FETCH {3000}\r\n" + literal + ")\r\n"),
                        Pause(1500)});
    TTlsConnected c(server);
    ASSERT_TRUE(c.socket.Encrypted()) << c.socket.Tls().Problem;
    EXPECT_EQ(c.socket.Tls().Version, "TLS 1.3");
    const auto start = std::chrono::steady_clock::now();
    for (int i = 1; i <= 200; ++i) {
        ASSERT_EQ(c.socket.ReceiveLine(300), "line " + std::to_string(i) + " of a reply that fills a record");
        ASSERT_EQ(c.socket.LastError, 0) << "line " << i;
    }
    EXPECT_EQ(c.socket.ReceiveLine(300), "* 1 FETCH {3000}");
    std::string bytes;
    EXPECT_EQ(c.socket.ReceiveExact(bytes, 3000, 300), 3000u);
    EXPECT_EQ(bytes, literal);
    EXPECT_EQ(c.socket.ReceiveLine(300), ")");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

TEST(TlsTransport, ReadsKeepTheirRules) {
    struct {
        const char* name;
        std::vector<TStep> steps;
        std::size_t maxLine;
        int error;
    } cases[] = {
        {"silence", {Pause(600)}, 0, WsaTimedOut},
        {"a line beyond the limit", {S(std::string(5000, 'a') + "\r\n"), Pause(300)}, 4096, WsaNoBufs},
        {"closed inside a line", {S("partial"), Close()}, 0, WsaConnReset},
        {"a record that does not decrypt", {Raw(std::string("\x17\x03\x03\x00\x20", 5) + std::string(32, 'z')), Pause(300)},
         0, WsaConnAborted},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        TScript script{StartTls(Certificate())};
        script.insert(script.end(), c.steps.begin(), c.steps.end());
        TFakeServer server(script);
        TTlsConnected connected(server);
        ASSERT_TRUE(connected.socket.Encrypted());
        connected.socket.MaxLineLength = c.maxLine;
        EXPECT_EQ(connected.socket.ReceiveLine(300), "");
        EXPECT_EQ(connected.socket.LastError, c.error);
    }
}

TEST(TlsTransport, ATimeoutLeavesTheConnectionUsable) {
    TFakeServer server({StartTls(Certificate()), Pause(500), S("late\r\n"), Pause(300)});
    TTlsConnected c(server);
    EXPECT_EQ(c.socket.ReceiveLine(150), "");
    EXPECT_EQ(c.socket.LastError, WsaTimedOut);
    EXPECT_EQ(c.socket.ReceiveLine(2000), "late");
    EXPECT_EQ(c.socket.LastError, 0);
}

// Trust is for one certificate: the same server showing another one is
// refused again, with that certificate's fingerprint.
TEST(TlsTransport, OnlyTheTrustedCertificateOfAServerIsTaken) {
    const TTestCertificate first = MakeTestCertificate("127.0.0.1");
    const TTestCertificate second = MakeTestCertificate("127.0.0.1");
    TFakeServer server(TFakeServer::Several, {{StartTls(first), S("+OK one\r\n"), Pause(200)},
                                               {StartTls(first), S("+OK two\r\n"), Pause(200)},
                                               {StartTls(second), S("+OK three\r\n"), Pause(200)}});
    {
        TTlsConnected unknown(server, "");
        EXPECT_FALSE(unknown.socket.Encrypted());
        EXPECT_FALSE(unknown.socket.Connected());
        EXPECT_EQ(unknown.socket.LastError, SecureFailure);
        EXPECT_NE(unknown.socket.Tls().Problem.find("self-signed"), std::string::npos) << unknown.socket.Tls().Problem;
        EXPECT_NE(unknown.socket.Tls().Problem.find(first.Fingerprint), std::string::npos);
        EXPECT_EQ(unknown.socket.Tls().Fingerprint, first.Fingerprint);
    }
    {
        TTlsConnected trusted(server, first.Fingerprint);
        ASSERT_TRUE(trusted.socket.Encrypted()) << trusted.socket.Tls().Problem;
        EXPECT_TRUE(trusted.socket.Tls().TrustedByFingerprint);
        EXPECT_EQ(trusted.socket.ReceiveLine(1000), "+OK two");
    }
    TTlsConnected other(server, first.Fingerprint);
    EXPECT_FALSE(other.socket.Encrypted());
    EXPECT_EQ(other.socket.LastError, SecureFailure);
    EXPECT_NE(other.socket.Tls().Problem.find(second.Fingerprint), std::string::npos) << other.socket.Tls().Problem;
}

// Bytes behind the answer to STARTTLS were not sent by the server over TLS:
// someone in between may have put them there to answer the first command.
TEST(TlsTransport, BytesBeforeTheHandshakeRefuseIt) {
    TFakeServer server({S("+OK begin TLS\r\n+OK signed in\r\n"), Pause(300)});
    TTcpSocket socket;
    socket.MakeSocket();
    socket.ConnectTo("127.0.0.1", server.Port());
    EXPECT_EQ(socket.ReceiveLine(1000), "+OK begin TLS");
    EXPECT_FALSE(socket.StartTls("127.0.0.1", Certificate().Fingerprint, 1000));
    EXPECT_EQ(socket.LastError, SecureFailure);
    EXPECT_FALSE(socket.Connected());
    EXPECT_NE(socket.Tls().Problem.find("tamper"), std::string::npos) << socket.Tls().Problem;
}

}  // namespace
