#include <gtest/gtest.h>
#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "mail/FakeServer.h"
#include "mail/TcpSocket.h"

namespace {

struct TConnected {
    TTcpSocket socket;
    explicit TConnected(const TFakeServer& server, const std::string& host = "127.0.0.1") {
        socket.MakeSocket();
        socket.ConnectTo(host, server.Port());
    }
};

long long ElapsedMs(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST(TcpSocket, TwoLinesInOneSegmentAreHandedOutOneByOne) {
    TFakeServer server({S("one\r\ntwo\r\n"), Pause(300)});
    TConnected c(server);
    ASSERT_EQ(c.socket.LastError, 0);
    EXPECT_EQ(c.socket.ReceiveLine(1000), "one");
    // The second line is already here: no read of the network is needed.
    EXPECT_EQ(c.socket.LineBuffer, "two\r\n");
    EXPECT_EQ(c.socket.ReceiveLine(1000), "two");
    EXPECT_EQ(c.socket.LastError, 0);
}

TEST(TcpSocket, LineSplitIntoSingleBytesIsReturnedWhole) {
    TFakeServer server({Drip("hello world\r\n", 3)});
    TConnected c(server);
    EXPECT_EQ(c.socket.ReceiveLine(1000), "hello world");
    EXPECT_EQ(c.socket.LastError, 0);
}

TEST(TcpSocket, OnlyCrLfEndsALine) {
    TFakeServer server({S("a\nb\rc"), Pause(100), S("\r\n"), S("bare\n"), Pause(800)});
    TConnected c(server);
    EXPECT_EQ(c.socket.ReceiveLine(1000), "a\nb\rc");
    // A bare LF never completes a line: the read ends with the timeout.
    EXPECT_EQ(c.socket.ReceiveLine(200), "");
    EXPECT_EQ(c.socket.LastError, WsaTimedOut);
}

TEST(TcpSocket, SilenceTimesOutAndTheConnectionStaysUsable) {
    TFakeServer server({Pause(500), S("late\r\n"), Pause(300)});
    TConnected c(server);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(c.socket.ReceiveLine(200), "");
    EXPECT_EQ(c.socket.LastError, WsaTimedOut);
    EXPECT_GE(ElapsedMs(start), 190);
    EXPECT_EQ(c.socket.ReceiveLine(2000), "late");
    EXPECT_EQ(c.socket.LastError, 0);
}

TEST(TcpSocket, CloseInTheMiddleOfALineDropsThePartialText) {
    TFakeServer server({S("partial"), Close()});
    TConnected c(server);
    EXPECT_EQ(c.socket.ReceiveLine(2000), "");
    EXPECT_EQ(c.socket.LastError, WsaConnReset);
    EXPECT_EQ(c.socket.ReceiveLine(2000), "");
    EXPECT_EQ(c.socket.LastError, WsaConnReset);
}

TEST(TcpSocket, TimeoutAppliesToEachSilentPeriodNotToTheWholeLine) {
    // Each gap stays below the timeout (with room for a busy machine) while
    // the whole line takes several times as long.
    const int timeout = 400;
    TFakeServer server({Drip("slow\r\n", timeout - 150)});
    TConnected c(server);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(c.socket.ReceiveLine(timeout), "slow");
    EXPECT_EQ(c.socket.LastError, 0);
    EXPECT_GT(ElapsedMs(start), timeout);
}

// A listing of many short lines arrives in reads of up to 1 KB; a line that
// kept the room of its read would make a 150 MB listing cost many gigabytes.
TEST(TcpSocket, LinesCostWhatTheyHold) {
    std::string listing;
    std::vector<std::string> shortLines;
    for (int i = 0; i < 5000; ++i) {
        shortLines.push_back(std::to_string(i) + " 1" + std::string(i % 30, 'z'));
        listing += shortLines.back() + "\r\n";
    }
    const std::string longLine(3000, 'y');
    struct {
        const char* name;
        TScript script;
        std::vector<std::string> lines;
    } cases[] = {
        {"short lines in one segment", {S(listing)}, shortLines},
        {"a line over two segments", {S("abc"), Pause(100), S("defgh\r\nnext\r\n")}, {"abcdefgh", "next"}},
        {"CR LF split between segments", {S("one\r"), Pause(100), S("\ntwo\r\n")}, {"one", "two"}},
        {"a line over several reads", {S(longLine + "\r\nz\r\n")}, {longLine, "z"}},
    };
    for (auto& c : cases) {
        TFakeServer server(c.script);
        TConnected connected(server);
        std::size_t spareBytes = 0;
        for (const std::string& expected : c.lines) {
            const std::string line = connected.socket.ReceiveLine(2000);
            ASSERT_EQ(connected.socket.LastError, 0) << c.name;
            ASSERT_EQ(line, expected) << c.name;
            spareBytes = std::max(spareBytes, line.capacity() - line.size());
        }
        EXPECT_LE(spareBytes, 32u) << c.name;
    }
}

TEST(TcpSocket, ReceiveExactFirstUsesWhatCameBehindTheLine) {
    TFakeServer server({S("HDR\r\n0123456789tail\r\n"), Pause(300)});
    TConnected c(server);
    EXPECT_EQ(c.socket.ReceiveLine(1000), "HDR");
    std::string buffer;
    EXPECT_EQ(c.socket.ReceiveExact(buffer, 10, 1000), 10u);
    EXPECT_EQ(buffer, "0123456789");
    EXPECT_EQ(c.socket.ReceiveLine(1000), "tail");
}

TEST(TcpSocket, ReceiveExactReportsAShortCount) {
    TFakeServer server({S("abc"), Pause(500), S("de"), Close()});
    TConnected c(server);
    std::string buffer;
    EXPECT_EQ(c.socket.ReceiveExact(buffer, 10, 200), 3u);
    EXPECT_EQ(c.socket.LastError, WsaTimedOut);
    EXPECT_EQ(c.socket.ReceiveExact(buffer, 10, 2000), 2u);
    EXPECT_EQ(buffer, "de");
    EXPECT_EQ(c.socket.LastError, WsaConnReset);
}

TEST(TcpSocket, OverlongLinesEndTheReadWith10055) {
    {
        TFakeServer server({S(std::string(40, 'a') + "\r\n"), Pause(300)});
        TConnected c(server);
        c.socket.MaxLineLength = 16;
        EXPECT_EQ(c.socket.ReceiveLine(1000), "");
        EXPECT_EQ(c.socket.LastError, WsaNoBufs);
    }
    {
        // Without any setting a line is bounded too, so a server that never
        // ends its line cannot exhaust memory; the read ends long before the
        // timeout.
        TFakeServer server({S(std::string(DefaultMaxLineLength + 4096, 'x')), Pause(3000)});
        TConnected c(server);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(c.socket.ReceiveLine(5000), "");
        EXPECT_EQ(c.socket.LastError, WsaNoBufs);
        EXPECT_LT(ElapsedMs(start), 2500);
    }
}

TEST(TcpSocket, ConnectClearsWhatAnEarlierConnectionLeft) {
    TFakeServer server(TFakeServer::Several, {{S("first\r\nleft over\r\n"), Pause(200)}, {S("second\r\n"), Pause(200)}});
    TTcpSocket socket;
    socket.MakeSocket();
    socket.ConnectTo("127.0.0.1", server.Port());
    EXPECT_EQ(socket.ReceiveLine(1000), "first");
    socket.Disconnect();
    socket.MakeSocket();
    socket.ConnectTo("127.0.0.1", server.Port());
    EXPECT_EQ(socket.ReceiveLine(1000), "second");
}

// Reads the platform's sizes of the socket's current handle.
struct TBufferProbe : TTcpSocket {
    int Size(int option) const {
        int size = 0;
        socklen_t length = sizeof size;
        return getsockopt(handle_, SOL_SOCKET, option, &size, &length) == 0 ? size : -1;
    }
};

TEST(TcpSocket, BufferSizesBelongToTheHandleTheyWereSetOn) {
    TBufferProbe fresh;
    fresh.MakeSocket();
    const int platformReceive = fresh.Size(SO_RCVBUF), platformSend = fresh.Size(SO_SNDBUF);

    TFakeServer server(TFakeServer::Several, {{S("first\r\n"), Pause(200)}, {S("second\r\n"), Pause(200)}});
    TBufferProbe socket;
    socket.MakeSocket();
    socket.SetReceiveBufferSize(32768);
    socket.SetSendBufferSize(32768);
    EXPECT_EQ(socket.LastError, 0);
    const int setReceive = socket.Size(SO_RCVBUF), setSend = socket.Size(SO_SNDBUF);
    ASSERT_NE(setReceive, platformReceive);
    ASSERT_NE(setSend, platformSend);

    // Connecting may need a handle of another family; it is still this socket.
    socket.ConnectTo("127.0.0.1", server.Port());
    EXPECT_EQ(socket.ReceiveLine(1000), "first");
    EXPECT_EQ(socket.Size(SO_RCVBUF), setReceive);
    EXPECT_EQ(socket.Size(SO_SNDBUF), setSend);

    // A new socket, as every login makes, starts with the platform's sizes.
    socket.Disconnect();
    socket.MakeSocket();
    EXPECT_EQ(socket.Size(SO_RCVBUF), platformReceive);
    EXPECT_EQ(socket.Size(SO_SNDBUF), platformSend);
    socket.ConnectTo("127.0.0.1", server.Port());
    EXPECT_EQ(socket.ReceiveLine(1000), "second");
    EXPECT_EQ(socket.Size(SO_RCVBUF), platformReceive);
}

TEST(TcpSocket, PortTexts) {
    struct {
        const char* text;
        int port;
    } cases[] = {{"pop3", 110}, {"smtp", 25}, {"110", 110}, {"65535", 65535}, {"", 0},
                 {"nonsense", 0}, {"70000", 0}, {"12a", 0}, {"-5", 0}, {"00143", 143}, {"123456", 0}};
    for (auto& c : cases) EXPECT_EQ(TSocketBase::ResolvePort(c.text), c.port) << c.text;
}

TEST(TcpSocket, ConnectFailuresCarryWindowsSocketsNumbers) {
    TTcpSocket socket;
    socket.MakeSocket();
    socket.ConnectTo("127.0.0.1", "nonsense");  // port 0
    EXPECT_EQ(socket.LastError, WsaAddrNotAvail);
    socket.MakeSocket();
    socket.ConnectTo("", "110");
    EXPECT_EQ(socket.LastError, WsaHostNotFound);

    // A port that was free a moment ago: nothing listens there.
    int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), length), 0);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    std::string port = std::to_string(ntohs(address.sin_port));
    close(probe);
    socket.MakeSocket();
    socket.ConnectTo("127.0.0.1", port);
    EXPECT_EQ(socket.LastError, WsaConnRefused);
    EXPECT_FALSE(socket.Connected());

    // Name lookups are not made here (no network but loopback); the mapping is.
    EXPECT_EQ(WsaErrorFromAddrInfo(EAI_NONAME, 0), 11001);
    EXPECT_EQ(WsaErrorFromAddrInfo(EAI_AGAIN, 0), 11002);
    EXPECT_EQ(WsaErrorFromAddrInfo(EAI_SYSTEM, ECONNREFUSED), 10061);
    EXPECT_EQ(WsaErrorFromErrno(ENETUNREACH), 10051);
    EXPECT_EQ(WsaErrorFromErrno(EHOSTUNREACH), 10065);
    EXPECT_EQ(WsaErrorFromErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(WsaErrorFromErrno(ECONNRESET), 10054);
}

TEST(TcpSocket, Ipv6AddressesConnect) {
    for (const char* host : {"::1", "[::1]"}) {
        TFakeServer server({S("over six\r\n"), Pause(200)}, true);
        TConnected c(server, host);
        ASSERT_EQ(c.socket.LastError, 0) << host;
        EXPECT_EQ(c.socket.ReceiveLine(1000), "over six");
        EXPECT_EQ(c.socket.RemoteAddress(), "[::1]:" + server.Port());
    }
}

TEST(TcpSocket, SendingToAClosedPeerReportsAnErrorInsteadOfKillingTheProcess) {
    TFakeServer server({Close()});
    TConnected c(server);
    EXPECT_EQ(c.socket.ReceiveLine(2000), "");  // the close has arrived
    std::string block(64 * 1024, 'z');
    for (int i = 0; i < 50 && c.socket.LastError == 0; ++i) c.socket.SendText(block);
    EXPECT_EQ(c.socket.LastError, WsaConnReset);
}

TEST(TcpSocket, LocalHostNameIsNeverEmpty) {
    EXPECT_FALSE(LocalHostName().empty());
    EXPECT_EQ(LocalHostName(), LocalHostName());
}

TEST(TcpSocket, TextsThatCouldInjectCommands) {
    EXPECT_FALSE(HoldsLineBreakOrNul("pass word \"quoted\""));
    EXPECT_TRUE(HoldsLineBreakOrNul("a\rb"));
    EXPECT_TRUE(HoldsLineBreakOrNul("a\nb"));
    EXPECT_TRUE(HoldsLineBreakOrNul(std::string("a\0b", 3)));
}
