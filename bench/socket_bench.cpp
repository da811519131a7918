// 1 GiB each way over 127.0.0.1 through the control's Write and Read (blocking mode: a pumped
// wait before every send and receive, the socket layer's table and the binding's wrappers),
// with string buffers and byte arrays in chunks of 2 KiB and 64 KiB, against a plain POSIX
// send/recv loop with the same chunk sizes, all in the same run and against the same kind of
// peer (a thread that sinks or sources the bytes).
//
//   build/default/bin/bench_socket
// reports bytes_per_second for each, then each control case as a share of the plain loop.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_size.h"
#include "bench/rate_reporter.h"
#include "bench/socket_cases.h"
#include "winsock/ocx/socket/test_peer.h"
#include "winsock/ocx/wirran.h"

namespace {

const uint64_t kTotal = benchTotalBytes(1024);
constexpr size_t kSourceChunk = 256 * 1024;

enum class Buffer { String, Bytes };

// A connected control, as a host holds it.
struct ConnectedControl {
    ComPtr<CWirran> control = makeComObject<CWirran>(nullptr);

    bool open(int port) { return connectLoopback(control.get(), port); }
    ~ConnectedControl() {
        Variant error;
        control->Disconnect(&error);
    }
};

Variant bufferOf(Buffer kind, size_t chunk) {
    if (kind == Buffer::String) return Variant(std::u16string(chunk, u'x'));
    Variant bytes;
    bytes.vt = VT_ARRAY | VT_UI1;
    bytes.parray = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(chunk));
    return bytes;
}

void controlWrite(benchmark::State& state, Buffer kind) {
    size_t chunk = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        std::atomic<uint64_t> received{0};
        LoopbackServer sink([&](PeerConnection& peer) { received = peer.sink(); });
        Variant buffer = bufferOf(kind, chunk), missing = Variant::missing(), result;
        {
            ConnectedControl client;
            if (!client.open(sink.port())) return state.SkipWithError("cannot connect");
            for (uint64_t done = 0; done < kTotal; done += chunk) {
                client.control->Write(buffer, missing, missing, missing, missing, &result);
                if (result.lVal != static_cast<LONG>(chunk))
                    return state.SkipWithError("a write failed");
            }
        }
        if (!sink.waitHandled(1, 60000) || received.load() != kTotal)
            state.SkipWithError("the peer did not get everything");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
}

void controlRead(benchmark::State& state, Buffer kind) {
    size_t chunk = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        LoopbackServer source([](PeerConnection& peer) { peer.source(kTotal, kSourceChunk); });
        ConnectedControl client;
        if (!client.open(source.port())) return state.SkipWithError("cannot connect");
        Variant buffer = bufferOf(kind, chunk), length(static_cast<int32_t>(chunk));
        Variant missing = Variant::missing(), result;
        uint64_t received = 0;
        while (received < kTotal) {
            client.control->Read(&buffer, length, missing, nullptr, nullptr, &result);
            if (result.lVal <= 0) break;
            received += static_cast<uint64_t>(result.lVal);
        }
        if (received != kTotal) state.SkipWithError("the read ended early");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
}

void BM_PlainSend(benchmark::State& state) {
    size_t chunk = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        std::atomic<uint64_t> received{0};
        LoopbackServer sink([&](PeerConnection& peer) { received = peer.sink(); });
        if (plainSendLoop(sink.port(), kTotal, chunk) != static_cast<int64_t>(kTotal) ||
            !sink.waitHandled(1, 60000) || received.load() != kTotal)
            state.SkipWithError("the plain send failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
}

void BM_PlainReceive(benchmark::State& state) {
    plainReceiveCase(state, kTotal, kSourceChunk);
}

void BM_WriteString(benchmark::State& state) {
    controlWrite(state, Buffer::String);
}
void BM_WriteBytes(benchmark::State& state) {
    controlWrite(state, Buffer::Bytes);
}
void BM_ReadString(benchmark::State& state) {
    controlRead(state, Buffer::String);
}
void BM_ReadBytes(benchmark::State& state) {
    controlRead(state, Buffer::Bytes);
}

// Each chunk size runs the plain loop first and the control's cases right after it, so drift
// on a shared machine touches them alike.
#define SOCKET_BENCH(name)              \
    BENCHMARK(name)                     \
        ->Unit(benchmark::kMillisecond) \
        ->Iterations(1)                 \
        ->UseRealTime()                 \
        ->Arg(2048)                     \
        ->Arg(65536)
SOCKET_BENCH(BM_PlainSend);
SOCKET_BENCH(BM_WriteString);
SOCKET_BENCH(BM_WriteBytes);
SOCKET_BENCH(BM_PlainReceive);
SOCKET_BENCH(BM_ReadString);
SOCKET_BENCH(BM_ReadBytes);

// The closing lines: each control case as a share of the plain loop with the same chunks.
void printRatios(const RateReporter& reporter) {
    struct Line {
        const char* control;
        const char* plain;
    } lines[] = {{"BM_WriteString", "BM_PlainSend"},
                 {"BM_WriteBytes", "BM_PlainSend"},
                 {"BM_ReadString", "BM_PlainReceive"},
                 {"BM_ReadBytes", "BM_PlainReceive"}};
    for (const char* chunk : {"2048", "65536"}) {
        for (const Line& line : lines) {
            double control = reporter.rate(std::string(line.control) + "/" + chunk);
            double plain = reporter.rate(std::string(line.plain) + "/" + chunk);
            if (control > 0 && plain > 0) {
                std::printf("%-15s chunk %5s: control %6.0f MB/s, plain %6.0f MB/s, ratio %.2f\n",
                            line.control + 3, chunk, control / 1e6, plain / 1e6, control / plain);
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printRatios(reporter);
    benchmark::Shutdown();
    return 0;
}
