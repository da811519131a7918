// The control's stream members over 127.0.0.1 against plain loops doing the same work:
// StoreStream (a stream into a file) against recv and write, WriteStream of a file against
// sendfile and against read and send, and ReadLine against a stdio line reader. The peers are
// threads that source or sink the bytes; the files live in $TMPDIR (default /tmp).
//
//   build/default/bin/bench_stream                       # 128 MiB per case
//   STREAM_BENCH_MIB=1024 build/default/bin/bench_stream # 1 GiB per case
// reports each case's rate, then each control case as a share of its plain loops.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/rate_reporter.h"
#include "bench/socket_cases.h"
#include "winsock/ocx/socket/test_peer.h"
#include "winsock/ocx/wirran.h"

namespace {

constexpr size_t kChunk = 64 * 1024;
constexpr size_t kLineSize = 64;  // 62 characters and CR LF

uint64_t streamBytes() {
    static const uint64_t bytes = [] {
        const char* mib = std::getenv("STREAM_BENCH_MIB");
        uint64_t n = mib ? std::strtoull(mib, nullptr, 10) : 0;
        return (n > 0 ? n : 128) << 20;
    }();
    return bytes;
}

std::string benchFile(const char* name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/bench_stream_" + std::to_string(getpid()) +
           "_" + name;
}

// The file the sending cases send, made once at the benchmark's size.
const std::string& sourceFile() {
    static const std::string path = [] {
        std::string name = benchFile("source.bin");
        std::ofstream out(name, std::ios::binary);
        std::string block(1 << 20, '\0');
        for (size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>(i * 31 + i / 977);
        for (uint64_t done = 0; done < streamBytes(); done += block.size())
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        return name;
    }();
    return path;
}

// Sends lines of kLineSize bytes until total bytes went.
void sendLines(PeerConnection& peer, uint64_t total) {
    std::string block;
    for (int i = 0; block.size() + kLineSize <= kChunk; ++i) {
        char line[kLineSize + 1];
        std::snprintf(line, sizeof line, "%-62.62s\r\n",
                      ("line " + std::to_string(i) + " of a text protocol reply").c_str());
        block += line;
    }
    for (uint64_t done = 0; done < total; done += block.size())
        if (!peer.send(block)) return;
}

struct ConnectedControl {
    ComPtr<CWirran> control = makeComObject<CWirran>(nullptr);
    bool open(int port) { return connectLoopback(control.get(), port); }
    ~ConnectedControl() {
        Variant error;
        control->Disconnect(&error);
    }
};

void BM_PlainRecvWrite(benchmark::State& state) {
    const uint64_t total = streamBytes();
    std::string path = benchFile("stored.bin");
    for (auto _ : state) {
        LoopbackServer source([&](PeerConnection& peer) { peer.source(total, kChunk); });
        if (plainReceiveToFile(source.port(), path, kChunk) != static_cast<int64_t>(total))
            state.SkipWithError("the plain receive failed");
    }
    std::filesystem::remove(path);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * total));
}

void BM_StoreStream(benchmark::State& state) {
    const uint64_t total = streamBytes();
    std::string path = benchFile("stored.bin");
    for (auto _ : state) {
        std::filesystem::remove(path);
        LoopbackServer source([&](PeerConnection& peer) { peer.source(total, kChunk); });
        ConnectedControl client;
        if (!client.open(source.port())) return state.SkipWithError("cannot connect");
        std::u16string name(path.begin(), path.end());
        Variant length, missing = Variant::missing(), result;
        client.control->StoreStream(Variant(std::u16string_view(name)), &length, missing, missing,
                                    &result);
        if (result.vt != VT_BOOL || !result.boolVal || length.lVal != static_cast<LONG>(total))
            state.SkipWithError("StoreStream failed");
    }
    std::filesystem::remove(path);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * streamBytes()));
}

// Sends the source file to a sinking peer with send(port); checks that all of it arrived.
template <class Send>
void sendFileCase(benchmark::State& state, Send send) {
    const std::string& path = sourceFile();
    const uint64_t total = streamBytes();
    for (auto _ : state) {
        std::atomic<uint64_t> received{0};
        LoopbackServer sink([&](PeerConnection& peer) { received = peer.sink(); });
        if (!send(sink.port(), path) || !sink.waitHandled(1, 60000) || received.load() != total)
            state.SkipWithError("the file did not arrive whole");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * total));
}

void BM_PlainSendfile(benchmark::State& state) {
    sendFileCase(state, [](int port, const std::string& path) {
        return plainSendFile(port, path) == static_cast<int64_t>(streamBytes());
    });
}

void BM_PlainReadSend(benchmark::State& state) {
    sendFileCase(state, [](int port, const std::string& path) {
        return plainReadSendFile(port, path, kChunk) == static_cast<int64_t>(streamBytes());
    });
}

void BM_WriteStreamFile(benchmark::State& state) {
    sendFileCase(state, [](int port, const std::string& path) {
        ConnectedControl client;
        if (!client.open(port)) return false;
        std::u16string name(path.begin(), path.end());
        Variant length, result;
        client.control->WriteStream(Variant(std::u16string_view(name)), &length,
                                    Variant(int32_t{wrStreamFile}), &result);
        return result.vt == VT_BOOL && result.boolVal &&
               length.lVal == static_cast<LONG>(streamBytes());
    });
}

void BM_PlainReadLines(benchmark::State& state) {
    const uint64_t total = streamBytes();
    int64_t lines = 0;
    for (auto _ : state) {
        LoopbackServer source([&](PeerConnection& peer) { sendLines(peer, total); });
        lines = plainReadLines(source.port());
        if (lines <= 0) state.SkipWithError("the plain reader failed");
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * lines);
}

void BM_ReadLine(benchmark::State& state) {
    const uint64_t total = streamBytes();
    int64_t lines = 0;
    for (auto _ : state) {
        LoopbackServer source([&](PeerConnection& peer) { sendLines(peer, total); });
        ConnectedControl client;
        if (!client.open(source.port())) return state.SkipWithError("cannot connect");
        Variant line, missing = Variant::missing(), result;
        lines = 0;
        for (;;) {
            client.control->ReadLine(&line, missing, &result);
            if (result.vt != VT_BOOL || !result.boolVal) break;
            ++lines;
        }
        if (lines <= 0) state.SkipWithError("ReadLine failed");
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * lines);
}

// Each control case runs right after the plain loops it is compared with, so drift on a shared
// machine touches them alike.
#define STREAM_BENCH(name) \
    BENCHMARK(name)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime()
STREAM_BENCH(BM_PlainRecvWrite);
STREAM_BENCH(BM_StoreStream);
STREAM_BENCH(BM_PlainSendfile);
STREAM_BENCH(BM_PlainReadSend);
STREAM_BENCH(BM_WriteStreamFile);
STREAM_BENCH(BM_PlainReadLines);
STREAM_BENCH(BM_ReadLine);

void printRatios(const RateReporter& reporter) {
    struct Line {
        const char* control;
        const char* plain;
        bool items;
    } lines[] = {{"BM_StoreStream", "BM_PlainRecvWrite", false},
                 {"BM_WriteStreamFile", "BM_PlainSendfile", false},
                 {"BM_WriteStreamFile", "BM_PlainReadSend", false},
                 {"BM_ReadLine", "BM_PlainReadLines", true}};
    std::printf("%llu MiB per case\n", static_cast<unsigned long long>(streamBytes() >> 20));
    for (const Line& line : lines) {
        double control = line.items ? reporter.items(line.control) : reporter.rate(line.control);
        double plain = line.items ? reporter.items(line.plain) : reporter.rate(line.plain);
        if (control <= 0 || plain <= 0) continue;
        const char* unit = line.items ? "lines/s" : "MB/s";
        double scale = line.items ? 1 : 1e6;
        std::printf("%-15s %8.0f %s against %-14s %8.0f %s: ratio %.2f\n", line.control + 3,
                    control / scale, unit, line.plain + 3, plain / scale, unit, control / plain);
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    sourceFile();  // made before any case is timed
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printRatios(reporter);
    benchmark::Shutdown();
    std::filesystem::remove(sourceFile());
    return 0;
}
