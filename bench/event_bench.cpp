// Event-driven mode: 1 GiB over 127.0.0.1 read by a host that works by events alone (Blocking
// FALSE; each OnRead calls Read once, and the message loop waits on the queue's descriptor for
// the next notification), in chunks of 2 KiB and 64 KiB, against the plain POSIX receive loop
// with the same chunks; and the CPU a connected, idle control costs while its host waits in its
// message loop (it should be none).
//
//   build/default/bin/bench_event
// reports bytes_per_second for each, the event-driven case as a share of the plain loop, and
// the idle control's CPU time as a share of the time it waited.

#include <benchmark/benchmark.h>
#include <poll.h>
#include <time.h>

#include <cstdio>
#include <functional>
#include <string>

#include "bench/bench_size.h"
#include "bench/message_loop.h"
#include "bench/rate_reporter.h"
#include "bench/socket_cases.h"
#include "platform/com/connpt.h"
#include "winsock/ocx/socket/test_peer.h"
#include "winsock/ocx/wirran.h"

namespace {

const uint64_t kTotal = benchTotalBytes(1024);
constexpr size_t kSourceChunk = 256 * 1024;

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// An event-driven control with a sink that runs handler for each event.
struct EventClient {
    ComPtr<CWirran> control = makeComObject<CWirran>(nullptr);
    ComPtr<IDispatch> sink;
    DWORD cookie = 0;

    explicit EventClient(std::function<void(DISPID)> handler) {
        createEventSink(
            DIID__IWirranEvents, [handler](DISPID id, DISPPARAMS*) { handler(id); }, sink.put());
        adviseSink(control->controllingUnknown(), DIID__IWirranEvents, sink.get(), &cookie);
        control->put_Blocking(VARIANT_FALSE);
    }
    bool open(int port) { return connectLoopback(control.get(), port); }
    ~EventClient() {
        Variant error;
        control->Disconnect(&error);
        unadviseSink(control->controllingUnknown(), DIID__IWirranEvents, cookie);
    }
};

void BM_PlainReceive(benchmark::State& state) {
    plainReceiveCase(state, kTotal, kSourceChunk);
}

void BM_EventRead(benchmark::State& state) {
    size_t chunk = static_cast<size_t>(state.range(0));
    uint64_t notifications = 0;
    for (auto _ : state) {
        LoopbackServer source([](PeerConnection& peer) { peer.source(kTotal, kSourceChunk); });
        Variant buffer, length(static_cast<int32_t>(chunk)), missing = Variant::missing();
        buffer.vt = VT_ARRAY | VT_UI1;
        buffer.parray = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(chunk));
        uint64_t received = 0;
        bool ended = false;
        CWirran* reader = nullptr;
        EventClient client([&](DISPID id) {
            if (id != kOnRead) return;
            ++notifications;
            Variant result;
            reader->Read(&buffer, length, missing, nullptr, nullptr, &result);
            if (result.lVal > 0)
                received += static_cast<uint64_t>(result.lVal);
            else
                ended = true;
        });
        reader = client.control.get();
        if (!client.open(source.port())) return state.SkipWithError("cannot connect");
        messageLoop([&] { return received >= kTotal || ended; }, 600000);
        if (received != kTotal) state.SkipWithError("the read ended early");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
    state.counters["notifications"] = static_cast<double>(notifications);
}

// A connected control whose peer sends nothing, its host waiting in the message loop: the
// process's CPU time over 3 s of waiting, as a share of it.
void BM_IdleControl(benchmark::State& state) {
    double share = 0;
    for (auto _ : state) {
        LoopbackServer peer([](PeerConnection& connection) { connection.hold(10000); });
        bool connected = false;
        EventClient client([&](DISPID id) { connected = connected || id == kOnConnect; });
        if (!client.open(peer.port())) return state.SkipWithError("cannot connect");
        if (!messageLoop([&] { return connected; }, 5000))
            return state.SkipWithError("no OnConnect");
        messageLoop([] { return false; }, 200);  // OnWrite and the like are over
        double before = processCpuSeconds();
        DWORD start = GetTickCount();
        messageLoop([] { return false; }, 3000);
        double waited = static_cast<double>(GetTickCount() - start) / 1000.0;
        share = (processCpuSeconds() - before) / waited;
    }
    state.counters["cpu_percent"] = share * 100.0;
}

#define EVENT_BENCH(name)               \
    BENCHMARK(name)                     \
        ->Unit(benchmark::kMillisecond) \
        ->Iterations(1)                 \
        ->UseRealTime()                 \
        ->Arg(2048)                     \
        ->Arg(65536)
EVENT_BENCH(BM_PlainReceive);
EVENT_BENCH(BM_EventRead);
BENCHMARK(BM_IdleControl)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

void printRatios(const RateReporter& reporter) {
    for (const char* chunk : {"2048", "65536"}) {
        double events = reporter.rate(std::string("BM_EventRead/") + chunk);
        double plain = reporter.rate(std::string("BM_PlainReceive/") + chunk);
        if (events > 0 && plain > 0) {
            std::printf("EventRead chunk %5s: events %6.0f MB/s, plain %6.0f MB/s, ratio %.2f\n",
                        chunk, events / 1e6, plain / 1e6, events / plain);
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
