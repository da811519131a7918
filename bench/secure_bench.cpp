// 256 MiB over TLS each way through the secure channel (kvlink_secure: its buffer pair, a wait
// before every send and receive, a transport of plain blocking-socket calls) against a plain
// OpenSSL client loop (SSL_read/SSL_write straight on the socket), both talking to the same
// OpenSSL server thread on 127.0.0.1 in the same run.
//
//   build/default/bin/bench_secure
// reports bytes_per_second for each, then the channel's speed as a share of the plain loop's.

#include <benchmark/benchmark.h>
#include <openssl/ssl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/rate_reporter.h"
#include "tools/testsupport/scoped_env.h"
#include "tools/testsupport/test_ca.h"
#include "winsock/ocx/secure/secure_channel.h"
#include "winsock/ocx/secure/test_transport.h"
#include "winsock/ocx/secure/tls_test_server.h"

namespace {

constexpr size_t kTotal = 256u << 20;
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
void BM_ChannelUpload(benchmark::State& state) {
    upload<ChannelClient>(state);
}
void BM_PlainUpload(benchmark::State& state) {
    upload<PlainClient>(state);
}

// The two kinds alternate, so drift on a shared machine touches both alike.
BENCHMARK(BM_PlainDownload)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ChannelDownload)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_PlainUpload)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ChannelUpload)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The closing lines: the channel's speed as a share of the plain loop's, each way.
void printRatios(const RateReporter& reporter) {
    for (const char* way : {"Download", "Upload"}) {
        double channel = reporter.rate(std::string("BM_Channel") + way);
        double plain = reporter.rate(std::string("BM_Plain") + way);
        if (channel > 0 && plain > 0) {
            std::printf("%s: channel %.0f MiB/s, plain OpenSSL %.0f MiB/s, ratio %.2f\n", way,
                        channel / (1 << 20), plain / (1 << 20), channel / plain);
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
