// The control's secure connections against TLS servers on 127.0.0.1, called by name through
// IDispatch as a host calls them: the handshake inside Connect, the certificate verdict, the
// session details, Read and Write through the channel, and Secure switched on an open
// connection. The CA and the server certificates are made when the tests start.

#include <gtest/gtest.h>
#include <openssl/tls1.h>

#include <regex>
#include <thread>

#include "winsock/ocx/secure/secure_test_support.h"
#include "winsock/ocx/socket/test_timer.h"
#include "winsock/ocx/wirran_test_support.h"

using namespace wirran_test;
using socket_test::TimerAction;

namespace {

std::string call(IDispatch* control, const char* member, std::vector<Variant> args = {}) {
    Variant result;
    HRESULT hr = dispCall(control, member, args, &result);
    return hr == S_OK ? shown(result) : "HR:" + std::to_string(hr);
}

std::string connect(IDispatch* control, const char* host, int port, int32_t timeout = 10) {
    return call(
        control, "Connect",
        {Variant::fromUtf8(host), Variant(int32_t{port}), Variant::missing(), Variant(timeout)});
}

// Writes bytes as a string (one character per byte); the result shown.
std::string write(IDispatch* control, const std::string& bytes) {
    return call(control, "Write", {Variant::fromLatin1(bytes)});
}

// Reads until want bytes came, the stream ended or a read failed; the last result in *last.
std::string read(IDispatch* control, size_t want, std::string* last = nullptr) {
    std::string data, result;
    while (data.size() < want) {
        Variant buffer;
        result = call(control, "Read", {Variant::byRef(&buffer), Variant(int32_t{65536})});
        if (result == "I4:0" || result == "I4:-1") break;
        data += bstrToLatin1(buffer.bstrVal);
    }
    if (last) *last = result;
    return data;
}

// Reads one line (the server answers in lines), without its "\n".
std::string readLine(IDispatch* control) {
    std::string line;
    while (line.empty() || line.back() != '\n') {
        std::string more = read(control, 1);
        if (more.empty()) return "(read failed: " + property(control, "LastError") + ")";
        line += more;
    }
    return line.substr(0, line.size() - 1);
}

// Writes a whole string; the result is whether all of it went.
bool writeAll(IDispatch* control, const std::string& bytes) {
    return write(control, bytes) == "I4:" + std::to_string(bytes.size());
}

// Sends a command line and reads the answer line.
std::string ask(IDispatch* control, const std::string& command) {
    if (!writeAll(control, command + "\n")) return "(write failed)";
    return readLine(control);
}

std::string echo(IDispatch* control, const std::string& text) {
    if (!writeAll(control, "ECHO " + std::to_string(text.size()) + "\n" + text))
        return "(write failed)";
    return read(control, text.size());
}

std::string pattern(size_t size) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>(testPattern(i));
    return data;
}

uint32_t slotCode() {
    return SocketErrorCode(SocketError());
}

class WirranSecure : public SecureTest {
  protected:
    ComPtr<CWirran> m_control = newControl();
    IDispatch* c = m_control.get();

    void SetUp() override {
        SecureTest::SetUp();
        ASSERT_EQ(put(c, "Secure", Variant(true)), S_OK);
    }
};

}  // namespace

TEST_F(WirranSecure, AValidCertificateGivesTheSessionDetailsAndAnEncryptedStream) {
    // Each member shows its own part of the negotiated suite (the mapping itself is the
    // channel's and tested there).
    struct Case {
        int maxVersion;
        const char* ciphers;
        const char* groups;
        const char* cipher;  // SecureCipher, CipherStrength, SecureHash, HashStrength, exchange
    } cases[] = {
        {0, "", "", "64 256 2 384 8"},
        {TLS1_2_VERSION, "ECDHE-ECDSA-AES128-GCM-SHA256", "", "64 128 2 256 8"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.cipher);
        TlsServerOptions options;
        options.maxVersion = k.maxVersion;
        options.cipherList = k.ciphers;
        options.groups = k.groups;
        startServer(options);
        ASSERT_EQ(connect(c, "localhost", m_server->port()), "I4:0");
        EXPECT_EQ(property(c, "CertificateStatus"), "I4:1");
        std::string details;
        for (const char* member :
             {"SecureCipher", "CipherStrength", "SecureHash", "HashStrength", "SecureKeyExchange"})
            details += (details.empty() ? "" : " ") + property(c, member).substr(3);
        EXPECT_EQ(details, k.cipher);
        EXPECT_EQ(property(c, "CertificateSubject"), "BSTR:CN=127.0.0.1");
        EXPECT_EQ(property(c, "CertificateIssuer"), "BSTR:CN=Vantel Test CA");
        const std::regex stamp("BSTR:\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d");
        EXPECT_TRUE(std::regex_match(property(c, "CertificateIssued"), stamp));
        EXPECT_TRUE(std::regex_match(property(c, "CertificateExpires"), stamp));

        EXPECT_EQ(ask(c, "NAME"), "localhost") << "the host name went out as the server name";
        EXPECT_EQ(echo(c, "hello"), "hello");

        call(c, "Disconnect");
        EXPECT_EQ(property(c, "CertificateStatus"), "I4:0");
        EXPECT_EQ(property(c, "SecureCipher"), "I4:0");
        EXPECT_EQ(property(c, "CertificateSubject"), "BSTR:");
    }
}

TEST_F(WirranSecure, ThePeersEndOfTheSessionIsTheEndOfTheStream) {
    struct Case {
        const char* command;
        const char *read, *closed, *error;
    } cases[] = {
        {"BYE", "I4:0", "BOOL:-1", "I4:0"},       // close_notify
        {"DROP", "I4:0", "BOOL:-1", "I4:0"},      // the connection ends between records
        {"JUNK", "I4:-1", "BOOL:0", "I4:12105"},  // a record that no key decrypts
    };
    startServer();
    for (const Case& k : cases) {
        SCOPED_TRACE(k.command);
        ASSERT_EQ(connect(c, "127.0.0.1", m_server->port()), "I4:0");
        ASSERT_EQ(put(c, "LastError", Variant(int32_t{0})), S_OK);
        ASSERT_TRUE(writeAll(c, std::string(k.command) + "\n"));
        std::string last;
        EXPECT_EQ(read(c, 1, &last), "");
        EXPECT_EQ(last, k.read);
        EXPECT_EQ(property(c, "IsClosed"), k.closed);
        EXPECT_EQ(property(c, "LastError"), k.error);
        call(c, "Disconnect");
    }
}

TEST_F(WirranSecure, ACertificateThatFailsTheCheckLeavesTheConnectionUpAndSaysWhy) {
    struct Case {
        const CertFiles& files;
        const char* status;
    } cases[] = {
        {s_ca->expired(), "I4:3"}, {s_ca->otherHost(), "I4:2"}, {s_ca->untrusted(), "I4:5"}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.files.certFile);
        TlsServerOptions options;
        options.certFile = k.files.certFile;
        options.keyFile = k.files.keyFile;
        startServer(options);
        ASSERT_EQ(connect(c, "127.0.0.1", m_server->port()), "I4:0");
        EXPECT_EQ(slotCode(), 12104u);
        EXPECT_EQ(property(c, "CertificateStatus"), k.status);
        EXPECT_EQ(property(c, "Connected"), "BOOL:-1");
        EXPECT_EQ(echo(c, "still encrypted"), "still encrypted");
        call(c, "Disconnect");
    }
}

TEST_F(WirranSecure, AnEventDrivenConnectRaisesOnConnectWithTheCertificateKnown) {
    startServer();
    EventLog events(m_control.get());
    std::string subject, status, state, answer;
    // One handler for everything, as a host has: the server may send session data of its own
    // right after the handshake, so OnRead can come before the answer and must read then.
    events.sink().onInvoke = [&] {
        DISPID id = events.sink().calls.back().id;
        if (id == kOnConnect) {
            subject = property(c, "CertificateSubject");
            status = property(c, "CertificateStatus");
            state = property(c, "State");
            writeAll(c, "NAME\n");
        } else if (id == kOnRead) {
            Variant buffer;
            std::string result =
                call(c, "Read", {Variant::byRef(&buffer), Variant(int32_t{65536})});
            if (result != "I4:-1" && buffer.vt == VT_BSTR) answer += bstrToLatin1(buffer.bstrVal);
        }
    };
    ASSERT_EQ(put(c, "Blocking", Variant(false)), S_OK);
    ASSERT_EQ(connect(c, "localhost", m_server->port()), "I4:0");
    EXPECT_EQ(property(c, "State"), "I4:3");
    ASSERT_TRUE(socket_test::pumpUntil([&] { return answer == "localhost\n"; })) << answer;
    EXPECT_EQ(subject, "BSTR:CN=127.0.0.1");
    EXPECT_EQ(status, "I4:1");
    EXPECT_EQ(state, "I4:1");
    events.sink().onInvoke = nullptr;
    call(c, "Disconnect");
}

TEST_F(WirranSecure, AnOnReadHandlerReadingInSmallPartsGetsAllTheDecryptedData) {
    startServer();
    EventLog events(m_control.get());
    const std::string text = pattern(3000);
    std::string got;
    // A record holds far more than one Read takes: the rest waits decrypted in the channel,
    // where the socket's own readiness cannot show it.
    events.sink().onInvoke = [&] {
        DISPID id = events.sink().calls.back().id;
        if (id == kOnConnect) writeAll(c, "ECHO " + std::to_string(text.size()) + "\n" + text);
        if (id != kOnRead) return;
        Variant buffer;
        std::string result = call(c, "Read", {Variant::byRef(&buffer), Variant(int32_t{100})});
        if (result != "I4:-1" && buffer.vt == VT_BSTR) got += bstrToLatin1(buffer.bstrVal);
    };
    ASSERT_EQ(put(c, "Blocking", Variant(false)), S_OK);
    ASSERT_EQ(connect(c, "localhost", m_server->port()), "I4:0");
    ASSERT_TRUE(socket_test::pumpUntil([&] { return got.size() >= text.size(); })) << got.size();
    EXPECT_EQ(got, text);
    events.sink().onInvoke = nullptr;
    call(c, "Disconnect");
}

TEST_F(WirranSecure, AHandshakeThatCannotFinishFailsTheConnectAndClosesTheSocket) {
    struct Case {
        TlsServerMode mode;
        int32_t protocol;
        const char* error;
    } cases[] = {
        {TlsServerMode::Stall, 0, "I4:10060"},                   // no answer within the time-out
        {TlsServerMode::NotTls, 0, "I4:12102"},                  // a plain HTTP server
        {TlsServerMode::CloseAfterHello, 0, "I4:12102"},         // gone after the client's hello
        {TlsServerMode::Tls, wrSecureProtocolSSL3, "I4:12103"},  // nothing this side can offer
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.error);
        TlsServerOptions options;
        options.mode = k.mode;
        startServer(options);
        ASSERT_EQ(put(c, "SecureProtocol", Variant(k.protocol)), S_OK);
        ASSERT_EQ(put(c, "Secure", Variant(true)), S_OK);
        EXPECT_EQ(connect(c, "127.0.0.1", m_server->port(), 1), k.error);
        EXPECT_EQ(property(c, "LastError"), k.error);
        EXPECT_EQ(property(c, "Handle"), "I4:-1");
    }
}

TEST_F(WirranSecure, CancelEndsAChannelWaitAndAbortClosesTheConnection) {
    startServer();
    ASSERT_EQ(connect(c, "localhost", m_server->port(), 0), "I4:0");
    // The server waits for a command: nothing arrives until the cancel.
    std::string cancelled;
    {
        TimerAction cancel(50, [&] { cancelled = call(c, "Cancel"); });
        std::string last;
        read(c, 1, &last);
        EXPECT_EQ(last, "I4:-1");
    }
    EXPECT_EQ(cancelled, "I4:0");
    EXPECT_EQ(property(c, "LastError"), "I4:10004");
    EXPECT_EQ(echo(c, "after the cancel"), "after the cancel");

    std::string aborted;
    TimerAction abort(50, [&] { aborted = call(c, "Abort"); });
    std::string last;
    read(c, 1, &last);
    EXPECT_EQ(last, "I4:-1");
    EXPECT_EQ(aborted, "I4:0");
    EXPECT_EQ(property(c, "LastError"), "I4:10053");
    EXPECT_EQ(property(c, "Handle"), "I4:-1");
}

TEST_F(WirranSecure, CancelEndsAHandshakeThatHangs) {
    TlsServerOptions options;
    options.mode = TlsServerMode::Stall;
    startServer(options);
    TimerAction cancel(50, [&] { call(c, "Cancel"); });
    EXPECT_EQ(connect(c, "127.0.0.1", m_server->port(), 0), "I4:10004");
    EXPECT_EQ(property(c, "Handle"), "I4:-1");
}

TEST_F(WirranSecure, LargeTransfersCrossManyRecordsBothWays) {
    startServer();
    ASSERT_EQ(connect(c, "127.0.0.1", m_server->port()), "I4:0");
    const size_t size = 3 * 1024 * 1024 + 17;
    const std::string data = pattern(size);
    ASSERT_TRUE(writeAll(c, "RECV " + std::to_string(size) + "\n"));
    // Writes of 100000 bytes: each goes out whole, across several records.
    for (size_t done = 0; done < size; done += 100000)
        ASSERT_TRUE(writeAll(c, data.substr(done, 100000))) << done;
    EXPECT_EQ(readLine(c), "OK " + std::to_string(size));

    ASSERT_TRUE(writeAll(c, "SEND " + std::to_string(size) + "\n"));
    std::string received = read(c, size);
    EXPECT_EQ(received.size(), size);
    EXPECT_TRUE(received == data) << "the download differs from what the server sent";
}

// A write that the peer stops taking ends at the call's one time-out with the count of the data
// that went, and the time-out as the last error: the server is busy sending and reads nothing.
TEST_F(WirranSecure, AWriteCutByItsTimeOutGivesTheCountThatWent) {
    startServer();
    ASSERT_EQ(connect(c, "127.0.0.1", m_server->port()), "I4:0");
    ASSERT_EQ(put(c, "Timeout", Variant(int32_t{2})), S_OK);
    ASSERT_TRUE(writeAll(c, "SEND 1000000000\n"));
    const std::string data(8000000, 'x');
    const std::string result = write(c, data);
    ASSERT_EQ(result.rfind("I4:", 0), 0u) << result;
    const long count = std::stol(result.substr(3));
    EXPECT_GT(count, 0);
    EXPECT_LT(count, 8000000);
    EXPECT_EQ(property(c, "LastError"), "I4:10060");
}

TEST_F(WirranSecure, SecureStartsAndEndsOnAnOpenConnection) {
    startServer();
    ASSERT_EQ(put(c, "Secure", Variant(false)), S_OK);
    ASSERT_EQ(connect(c, "localhost", m_server->port()), "I4:0");
    EXPECT_EQ(property(c, "SecureCipher"), "I4:0") << "a plain connection has no session";
    ASSERT_EQ(put(c, "Secure", Variant(true)), S_OK);
    EXPECT_EQ(property(c, "CertificateStatus"), "I4:1");
    EXPECT_EQ(echo(c, "now secure"), "now secure");
    EXPECT_EQ(put(c, "SecureProtocol", Variant(int32_t{8})), static_cast<HRESULT>(0x800A2748));

    // Ending the channel tells the server, which then closes the connection.
    ASSERT_EQ(put(c, "Secure", Variant(false)), S_OK);
    EXPECT_EQ(property(c, "CertificateStatus"), "I4:0");
    std::string last;
    EXPECT_EQ(read(c, 1, &last), "");
    EXPECT_EQ(last, "I4:0");

    // A handshake that fails leaves Secure FALSE and raises the error.
    TlsServerOptions plain;
    plain.mode = TlsServerMode::NotTls;
    startServer(plain);
    ASSERT_EQ(connect(c, "127.0.0.1", m_server->port()), "I4:0");
    EXPECT_EQ(put(c, "Secure", Variant(true)), static_cast<HRESULT>(0x800A2F46));
    EXPECT_EQ(property(c, "Secure"), "BOOL:0");
}

TEST_F(WirranSecure, TheChannelWritesItsTraceLines) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string file = dir.file("secure.log");
    ASSERT_EQ(put(c, "TraceFile", Variant::fromUtf8(file)), S_OK);
    ASSERT_EQ(put(c, "Trace", Variant(true)), S_OK);
    startServer();
    ASSERT_EQ(connect(c, "127.0.0.1", m_server->port()), "I4:0");
    EXPECT_EQ(echo(c, "hello"), "hello");
    call(c, "Disconnect");
    std::string text = readFile(file).value_or("");
    EXPECT_NE(text.find("Encrypted buffer of 12 bytes"), std::string::npos) << text;
    EXPECT_NE(text.find("Decrypted buffer of 5 bytes"), std::string::npos) << text;
}

TEST_F(WirranSecure, TheCertificateSettingsChooseTheCertificateThisSideShows) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string store = dir.file("client.pem");
    ASSERT_TRUE(writeFile(store, readFile(s_ca->server().certFile).value_or("") +
                                     readFile(s_ca->server().keyFile).value_or("")));
    TlsServerOptions asking;
    asking.askClientCertificate = true;
    startServer(asking);
    ASSERT_EQ(put(c, "CertificateStore", Variant::fromUtf8(store)), S_OK);
    ASSERT_EQ(put(c, "CertificateName", Variant(u"127.0.0.1")), S_OK);
    ASSERT_EQ(connect(c, "127.0.0.1", m_server->port()), "I4:0");
    EXPECT_EQ(ask(c, "PEER"), "/CN=127.0.0.1");

    // A name that nothing in the store has fails the credentials, before any handshake.
    ASSERT_EQ(put(c, "CertificateName", Variant(u"Nobody")), S_OK);
    EXPECT_EQ(connect(c, "127.0.0.1", m_server->port()), "I4:12103");
}

TEST_F(WirranSecure, AnAcceptedSecureConnectionServesTheControlsOwnClient) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string store = dir.file("server.pem");
    ASSERT_TRUE(writeFile(store, readFile(s_ca->server().certFile).value_or("") +
                                     readFile(s_ca->server().keyFile).value_or("")));
    // The server's certificate comes from Authenticate; user name and password play no part.
    EXPECT_EQ(call(c, "Authenticate",
                   {Variant(u"user"), Variant(u"secret"), Variant::fromUtf8(store), Variant(u"")}),
              "I4:0");
    EXPECT_EQ(property(c, "CertificateStore"), "BSTR:" + store);
    ASSERT_EQ(put(c, "Timeout", Variant(int32_t{10})), S_OK);
    ASSERT_EQ(call(c, "Listen", {Variant::missing(), Variant(int32_t{0})}), "I4:0");
    int port = std::stoi(property(c, "LocalPort").substr(3));

    // The control's own client, on a thread of its own: both handshakes block.
    std::string clientRead, clientStatus, clientCipher;
    std::thread client([&] {
        ComPtr<CWirran> other = newControl();
        IDispatch* o = other.get();
        put(o, "Secure", Variant(true));
        if (connect(o, "127.0.0.1", port) != "I4:0") return;
        clientStatus = property(o, "CertificateStatus");
        clientCipher = property(o, "SecureCipher");
        write(o, "hello");
        clientRead = read(o, 5);
        call(o, "Disconnect");
    });
    std::string accepted = call(c, "Accept");
    std::string serverRead = read(c, 5);
    write(c, "world");
    client.join();
    EXPECT_EQ(accepted, "I4:0") << property(c, "LastError");
    EXPECT_EQ(serverRead, "hello");
    EXPECT_EQ(clientRead, "world");
    EXPECT_EQ(clientStatus, "I4:1") << "the CA vouches for the server's certificate";
    EXPECT_EQ(property(c, "Secure"), "BOOL:-1");
    EXPECT_EQ(property(c, "CertificateStatus"), "I4:0") << "the client showed none";
    EXPECT_EQ(property(c, "SecureCipher"), clientCipher);
    EXPECT_NE(property(c, "CipherStrength"), "I4:0");
    EXPECT_EQ(call(c, "Authenticate"), "I4:12229") << "the session has its credentials";

    // Without a usable certificate the accept fails, and the client's connect with it.
    ASSERT_EQ(put(c, "CertificateName", Variant(u"Nobody")), S_OK);
    ASSERT_EQ(call(c, "Listen", {Variant::missing(), Variant(int32_t{0})}), "I4:0");
    port = std::stoi(property(c, "LocalPort").substr(3));
    std::thread refused([&] {
        ComPtr<CWirran> other = newControl();
        put(other.get(), "Secure", Variant(true));
        clientStatus = connect(other.get(), "127.0.0.1", port, 5);
    });
    EXPECT_EQ(call(c, "Accept"), "I4:12103");
    EXPECT_EQ(property(c, "Listening"), "BOOL:-1");
    refused.join();
    EXPECT_NE(clientStatus, "I4:0");
}

TEST_F(WirranSecure, SecureSwitchedOnAnAcceptedConnectionServesAndEndsBothWays) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string store = dir.file("server.pem");
    ASSERT_TRUE(writeFile(store, readFile(s_ca->server().certFile).value_or("") +
                                     readFile(s_ca->server().keyFile).value_or("")));
    ASSERT_EQ(put(c, "Secure", Variant(false)), S_OK);
    ASSERT_EQ(put(c, "CertificateStore", Variant::fromUtf8(store)), S_OK);
    ASSERT_EQ(put(c, "Timeout", Variant(int32_t{10})), S_OK);
    ASSERT_EQ(call(c, "Listen", {Variant::missing(), Variant(int32_t{0})}), "I4:0");
    int port = std::stoi(property(c, "LocalPort").substr(3));

    // Both ends start the channel on a plain connection, talk through it, end it together and
    // go on plain.
    std::string clientSecure, clientRead, clientEnd, clientPlain;
    std::thread client([&] {
        ComPtr<CWirran> other = newControl();
        IDispatch* o = other.get();
        if (connect(o, "127.0.0.1", port) != "I4:0") return;
        clientSecure = std::to_string(put(o, "Secure", Variant(true)));
        write(o, "hello");
        clientRead = read(o, 5);
        clientEnd = std::to_string(put(o, "Secure", Variant(false)));
        write(o, "plain");
        clientPlain = read(o, 3);
        call(o, "Disconnect");
    });
    ASSERT_EQ(call(c, "Accept"), "I4:0");
    EXPECT_EQ(put(c, "Secure", Variant(true)), S_OK) << property(c, "LastError");
    EXPECT_NE(property(c, "SecureCipher"), "I4:0");
    EXPECT_EQ(read(c, 5), "hello");
    write(c, "world");
    EXPECT_EQ(put(c, "Secure", Variant(false)), S_OK) << property(c, "LastError");
    EXPECT_EQ(read(c, 5), "plain") << "no TLS record is left in the stream";
    write(c, "yes");
    client.join();
    EXPECT_EQ(clientSecure, "0");
    EXPECT_EQ(clientRead, "world");
    EXPECT_EQ(clientEnd, "0");
    EXPECT_EQ(clientPlain, "yes");
}
