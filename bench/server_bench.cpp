// The control as a server: connections accepted per second from a thread that connects and
// closes again and again, by a blocking host (Accept by handle into a second control, then
// Disconnect) and by an event-driven one (the same from its OnAccept handler), against a plain
// POSIX accept loop; and datagrams per second, ping-pong between two bound datagram controls
// on 127.0.0.1 against the same between two plain UDP sockets.
//
//   build/default/bin/bench_server
// reports items_per_second (connections or datagrams) for each, then each control case as a
// share of its plain loop.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <thread>

#include "bench/message_loop.h"
#include "platform/com/connpt.h"
#include "winsock/ocx/wirran.h"

namespace {

constexpr int kConnections = 2000;
constexpr int kRoundTrips = 50000;
constexpr int kDatagram = 512;

// Connects to 127.0.0.1:port count times, closing each connection at once; the number made.
int connectLoop(int port, int count) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int made = 0;
    for (int i = 0; i < count; ++i) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) ++made;
        close(fd);
    }
    return made;
}

ComPtr<CWirran> newControl() {
    return makeComObject<CWirran>(nullptr);
}

// Listens on a free port of 127.0.0.1 with the platform's largest backlog; the port, 0 on
// failure.
int listenLoopback(CWirran* control) {
    Variant error, missing = Variant::missing();
    control->put_Backlog(0);
    control->Listen(Variant(u"127.0.0.1"), Variant(int32_t{0}), missing, &error);
    if (error.vt != VT_I4 || error.lVal != 0) return 0;
    LONG port = 0;
    control->get_LocalPort(&port);
    return port;
}

void BM_PlainAccept(benchmark::State& state) {
    for (auto _ : state) {
        int listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof local;
        bind(listener, reinterpret_cast<sockaddr*>(&local), sizeof local);
        listen(listener, SOMAXCONN);
        getsockname(listener, reinterpret_cast<sockaddr*>(&local), &size);
        std::thread client([&] { connectLoop(ntohs(local.sin_port), kConnections); });
        int accepted = 0;
        for (; accepted < kConnections; ++accepted) {
            int fd = accept(listener, nullptr, nullptr);
            if (fd < 0) break;
            close(fd);
        }
        client.join();
        close(listener);
        if (accepted != kConnections) state.SkipWithError("an accept failed");
    }
    state.SetItemsProcessed(state.iterations() * kConnections);
}

void BM_AcceptBlocking(benchmark::State& state) {
    for (auto _ : state) {
        ComPtr<CWirran> server = newControl(), connection = newControl();
        int port = listenLoopback(server.get());
        if (port == 0) return state.SkipWithError("cannot listen");
        LONG listener = wrInvalidSocket;
        server->get_Handle(&listener);
        std::thread client([&] { connectLoop(port, kConnections); });
        Variant error, missing = Variant::missing();
        int accepted = 0;
        for (; accepted < kConnections; ++accepted) {
            connection->Accept(Variant(int32_t{listener}), missing, &error);
            if (error.lVal != 0) break;
            connection->Disconnect(&error);
        }
        client.join();
        if (accepted != kConnections) state.SkipWithError("an accept failed");
    }
    state.SetItemsProcessed(state.iterations() * kConnections);
}

void BM_AcceptEvents(benchmark::State& state) {
    for (auto _ : state) {
        ComPtr<CWirran> server = newControl(), connection = newControl();
        server->put_Blocking(VARIANT_FALSE);
        int accepted = 0;
        bool failed = false;
        ComPtr<IDispatch> sink;
        createEventSink(
            DIID__IWirranEvents,
            [&](DISPID id, DISPPARAMS* params) {
                if (id != kOnAccept || params->cArgs < 1) return;
                Variant error, missing = Variant::missing();
                connection->Accept(Variant(params->rgvarg[0].lVal), missing, &error);
                failed = failed || error.lVal != 0;
                connection->Disconnect(&error);
                ++accepted;
            },
            sink.put());
        DWORD cookie = 0;
        adviseSink(server->controllingUnknown(), DIID__IWirranEvents, sink.get(), &cookie);
        int port = listenLoopback(server.get());
        if (port == 0) return state.SkipWithError("cannot listen");
        std::thread client([&] { connectLoop(port, kConnections); });
        messageLoop([&] { return accepted >= kConnections || failed; }, 120000);
        client.join();
        unadviseSink(server->controllingUnknown(), DIID__IWirranEvents, cookie);
        if (accepted != kConnections || failed) state.SkipWithError("an accept failed");
    }
    state.SetItemsProcessed(state.iterations() * kConnections);
}

void BM_PlainDatagrams(benchmark::State& state) {
    for (auto _ : state) {
        int a = socket(AF_INET, SOCK_DGRAM, 0), b = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in at{}, bt{};
        at.sin_family = bt.sin_family = AF_INET;
        at.sin_addr.s_addr = bt.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof at;
        bind(a, reinterpret_cast<sockaddr*>(&at), sizeof at);
        bind(b, reinterpret_cast<sockaddr*>(&bt), sizeof bt);
        getsockname(a, reinterpret_cast<sockaddr*>(&at), &size);
        size = sizeof bt;
        getsockname(b, reinterpret_cast<sockaddr*>(&bt), &size);
        char data[kDatagram] = {};
        int done = 0;
        for (; done < kRoundTrips; ++done) {
            sendto(a, data, sizeof data, 0, reinterpret_cast<sockaddr*>(&bt), sizeof bt);
            sockaddr_in from{};
            socklen_t fromSize = sizeof from;
            if (recvfrom(b, data, sizeof data, 0, reinterpret_cast<sockaddr*>(&from), &fromSize) !=
                kDatagram)
                break;
            sendto(b, data, sizeof data, 0, reinterpret_cast<sockaddr*>(&from), fromSize);
            if (recv(a, data, sizeof data, 0) != kDatagram) break;
        }
        close(a);
        close(b);
        if (done != kRoundTrips) state.SkipWithError("a datagram was lost");
    }
    state.SetItemsProcessed(state.iterations() * kRoundTrips * 2);
}

void BM_ControlDatagrams(benchmark::State& state) {
    for (auto _ : state) {
        ComPtr<CWirran> a = newControl(), b = newControl();
        Variant error, missing = Variant::missing();
        for (CWirran* c : {a.get(), b.get()}) {
            c->put_Timeout(5);
            c->Bind(Variant(u"127.0.0.1"), Variant(int32_t{0}), Variant(int32_t{17}), missing,
                    missing, &error);
            if (error.lVal != 0) return state.SkipWithError("cannot bind");
        }
        LONG portB = 0;
        b->get_LocalPort(&portB);
        Variant data, toB(int32_t{portB}), loopback(u"127.0.0.1"), length(int32_t{kDatagram});
        data.vt = VT_ARRAY | VT_UI1;
        data.parray = SafeArrayCreateVector(VT_UI1, 0, kDatagram);
        Variant buffer = data, result, from, fromPort;
        int done = 0;
        for (; done < kRoundTrips; ++done) {
            a->Write(data, missing, missing, loopback, toB, &result);
            b->Read(&buffer, length, missing, &from, &fromPort, &result);
            if (result.lVal != kDatagram) break;
            b->Write(buffer, missing, missing, from, fromPort, &result);
            a->Read(&buffer, length, missing, nullptr, nullptr, &result);
            if (result.lVal != kDatagram) break;
        }
        if (done != kRoundTrips) state.SkipWithError("a datagram was lost");
    }
    state.SetItemsProcessed(state.iterations() * kRoundTrips * 2);
}

#define SERVER_BENCH(name) \
    BENCHMARK(name)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime()
SERVER_BENCH(BM_PlainAccept);
SERVER_BENCH(BM_AcceptBlocking);
SERVER_BENCH(BM_AcceptEvents);
SERVER_BENCH(BM_PlainDatagrams);
SERVER_BENCH(BM_ControlDatagrams);

// A console reporter that keeps each case's items per second for the closing lines.
class ItemReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto counter = run.counters.find("items_per_second");
            if (counter != run.counters.end()) m_rates[run.run_name.str()] = counter->second;
        }
    }
    double rate(const std::string& name) const {
        auto found = m_rates.find(name);
        return found == m_rates.end() ? 0 : found->second;
    }

  private:
    std::map<std::string, double> m_rates;
};

void printRatios(const ItemReporter& reporter) {
    struct Line {
        const char* control;
        const char* plain;
        const char* what;
    } lines[] = {{"BM_AcceptBlocking", "BM_PlainAccept", "connections"},
                 {"BM_AcceptEvents", "BM_PlainAccept", "connections"},
                 {"BM_ControlDatagrams", "BM_PlainDatagrams", "datagrams"}};
    for (const Line& line : lines) {
        double control = reporter.rate(std::string(line.control) + "/iterations:1/real_time");
        double plain = reporter.rate(std::string(line.plain) + "/iterations:1/real_time");
        if (control > 0 && plain > 0) {
            std::printf("%-16s control %8.0f %s/s, plain %8.0f, ratio %.2f\n", line.control + 3,
                        control, line.what, plain, control / plain);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    ItemReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printRatios(reporter);
    benchmark::Shutdown();
    return 0;
}
