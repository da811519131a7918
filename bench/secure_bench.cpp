// 256 MiB over TLS each way, three ways against the same OpenSSL server thread on 127.0.0.1 in
// the same run:
// - the control: Secure TRUE, Connect, then Write and Read of 64 KiB byte arrays by member call
//   (the socket layer's table and pumped waits, the channel, the binding's traced wrappers);
// - the secure channel alone (kvlink_secure: its buffer pair, a wait before every send and
//   receive, a transport of plain blocking-socket calls);
// - a plain OpenSSL client loop (SSL_read/SSL_write straight on the socket).
//
//   build/default/bin/bench_secure
// reports bytes_per_second for each, then the control's and the channel's speed as a share of
// the plain loop's.

#include <benchmark/benchmark.h>
#include <openssl/ssl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_size.h"
#include "bench/rate_reporter.h"
#include "tools/testsupport/scoped_env.h"
#include "tools/testsupport/test_ca.h"
#include "winsock/ocx/secure/secure_channel.h"
#include "winsock/ocx/secure/test_transport.h"
#include "winsock/ocx/secure/tls_test_server.h"
#include "winsock/ocx/wirran.h"

namespace {

const size_t kTotal = static_cast<size_t>(benchTotalBytes(256));
constexpr int kChunk = 65536;

TestCa* g_ca = nullptr;
TlsTestServer* g_server = nullptr;

// The secure channel over a blocking socket, as the socket layer will drive it.
struct ChannelClient {
    TestTransport transport;
    std::shared_ptr<kvsecure::SecureCredentials> credentials;
    std::unique_ptr<kvsecure::SecureChannel> channel;

    bool open() {
        transport.keepTrace = false;
        return kvsecure::acquireClientCredentials(0, "", "", credentials).ok() &&
               transport.connect(g_server->port()) &&
               (channel = std::make_unique<kvsecure::SecureChannel>(credentials, transport),
                channel->connect("127.0.0.1", 10) == 0);
    }
    bool write(const uint8_t* data, size_t size) {
        for (size_t done = 0; done < size;) {
            int n = channel->send(data + done, static_cast<int>(size - done), 10);
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }
    int read(uint8_t* buffer, int size) { return channel->receive(buffer, size, 10); }
};

// The plain OpenSSL loop: the library reads and writes the socket itself.
struct PlainClient {
    TestTransport transport;  // only for its connected socket
    SSL_CTX* context = nullptr;
    SSL* ssl = nullptr;

    ~PlainClient() {
        SSL_free(ssl);
        SSL_CTX_free(context);
    }
    bool open() {
        context = SSL_CTX_new(TLS_client_method());
        SSL_CTX_set_default_verify_paths(context);
        SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
        ssl = SSL_new(context);
        SSL_set1_host(ssl, "127.0.0.1");
        return transport.connect(g_server->port()) && SSL_set_fd(ssl, transport.fd()) == 1 &&
               SSL_connect(ssl) == 1;
    }
    bool write(const uint8_t* data, size_t size) {
        return SSL_write(ssl, data, static_cast<int>(size)) == static_cast<int>(size);
    }
    int read(uint8_t* buffer, int size) { return SSL_read(ssl, buffer, size); }
};

// The control as a host drives it, with byte arrays so that no text conversion is measured.
struct ControlClient {
    ComPtr<CWirran> control = makeComObject<CWirran>(nullptr);
    Variant chunk = byteArray(kChunk);
    Variant missing = Variant::missing();

    static Variant byteArray(size_t size) {
        Variant bytes;
        bytes.vt = VT_ARRAY | VT_UI1;
        bytes.parray = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(size));
        return bytes;
    }
    ~ControlClient() {
        Variant error;
        control->Disconnect(&error);
    }
    bool open() {
        Variant error;
        return control->put_Secure(VARIANT_TRUE) == S_OK &&
               SUCCEEDED(control->Connect(Variant(u"127.0.0.1"), Variant(g_server->port()), missing,
                                          Variant(int32_t{30}), missing, missing, missing,
                                          &error)) &&
               error.vt == VT_I4 && error.lVal == 0;
    }
    bool write(const uint8_t* data, size_t size) {
        Variant other = size == kChunk ? Variant() : byteArray(size);
        Variant& buffer = size == kChunk ? chunk : other;
        std::memcpy(buffer.parray->pvData, data, size);
        Variant result;
        control->Write(buffer, missing, missing, missing, missing, &result);
        return result.vt == VT_I4 && result.lVal == static_cast<LONG>(size);
    }
    int read(uint8_t* buffer, int size) {
        Variant result, length(size);
        control->Read(&chunk, length, missing, nullptr, nullptr, &result);
        if (result.vt != VT_I4 || result.lVal <= 0) return -1;
        std::memcpy(buffer, chunk.parray->pvData, static_cast<size_t>(result.lVal));
        return result.lVal;
    }
};

template <typename Client>
bool command(Client& client, const std::string& line) {
    return client.write(reinterpret_cast<const uint8_t*>(line.data()), line.size());
}

template <typename Client>
void download(benchmark::State& state) {
    std::vector<uint8_t> buffer(kChunk);
    for (auto _ : state) {
        Client client;
        if (!client.open() || !command(client, "FILL " + std::to_string(kTotal) + "\n")) {
            state.SkipWithError("cannot start the download");
            return;
        }
        size_t received = 0;
        while (received < kTotal) {
            int n = client.read(buffer.data(), kChunk);
            if (n <= 0) break;
            received += static_cast<size_t>(n);
        }
        command(client, "BYE\n");
        if (received != kTotal) state.SkipWithError("the download ended early");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
}

template <typename Client>
void upload(benchmark::State& state) {
    std::vector<uint8_t> buffer(kChunk, 'y');
    for (auto _ : state) {
        Client client;
        if (!client.open() || !command(client, "SINK " + std::to_string(kTotal) + "\n")) {
            state.SkipWithError("cannot start the upload");
            return;
        }
        bool sent = true;
        for (size_t done = 0; sent && done < kTotal; done += kChunk) {
            sent = client.write(buffer.data(), kChunk);
        }
        // The server's "OK n" line says everything arrived.
        int n = client.read(buffer.data(), kChunk);
        if (!sent || n <= 0 || buffer[0] != 'O') state.SkipWithError("the upload failed");
        command(client, "BYE\n");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
}

void BM_ChannelDownload(benchmark::State& state) {
    download<ChannelClient>(state);
}
void BM_PlainDownload(benchmark::State& state) {
    download<PlainClient>(state);
}
void BM_ControlDownload(benchmark::State& state) {
    download<ControlClient>(state);
}
void BM_ControlUpload(benchmark::State& state) {
    upload<ControlClient>(state);
}
void BM_ChannelUpload(benchmark::State& state) {
    upload<ChannelClient>(state);
}
void BM_PlainUpload(benchmark::State& state) {
    upload<PlainClient>(state);
}

// The two kinds alternate, so drift on a shared machine touches both alike.
BENCHMARK(BM_PlainDownload)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ChannelDownload)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ControlDownload)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_PlainUpload)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ChannelUpload)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ControlUpload)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The closing lines: the control's and the channel's speed as a share of the plain loop's.
void printRatios(const RateReporter& reporter) {
    for (const char* way : {"Download", "Upload"}) {
        double plain = reporter.rate(std::string("BM_Plain") + way);
        for (const char* kind : {"Control", "Channel"}) {
            double ours = reporter.rate(std::string("BM_") + kind + way);
            if (ours > 0 && plain > 0) {
                std::printf("%-8s %-7s %5.0f MiB/s, plain OpenSSL %5.0f MiB/s, ratio %.2f\n", way,
                            kind, ours / (1 << 20), plain / (1 << 20), ours / plain);
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    TestCa ca;
    if (!ca.create()) {
        std::fprintf(stderr, "bench_secure: %s\n", ca.error().c_str());
        return 1;
    }
    ScopedEnv trust(EnvChanges{{"SSL_CERT_FILE", ca.caCertFile()}});
    TlsTestServer server;
    TlsServerOptions options;
    options.certFile = ca.server().certFile;
    options.keyFile = ca.server().keyFile;
    if (!server.start(options)) {
        std::fprintf(stderr, "bench_secure: %s\n", server.error().c_str());
        return 1;
    }
    g_ca = &ca;
    g_server = &server;
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printRatios(reporter);
    benchmark::Shutdown();
    return 0;
}
