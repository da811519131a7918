// The control's stream transfers in a script host against a Python peer on 127.0.0.1 that
// makes its stream from a seed and digests what it sent or heard: 100 MiB stored into a file at
// an offset, a file sent whole, and the same transfers, lines and markers on an event-driven
// connection whose data comes in pieces.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/kvhost_fixture.h"
#include "tests/python_peer.h"

namespace {

std::string connectLine(int port, bool eventDriven = false) {
    std::string connect = "Timeout = 10\nConnect \"127.0.0.1\", " + std::to_string(port) + "\n";
    if (!eventDriven) return connect;
    return "Blocking = False\n" + connect + "waitfor OnConnect 5000\n";
}

std::string progressLine(uint64_t total, uint64_t copied, int percent) {
    return "event OnProgress(" + std::to_string(total) + ", " + std::to_string(copied) + ", " +
           std::to_string(percent) + ")";
}

// A file of size bytes that are not all alike.
void writeFile(const std::filesystem::path& path, size_t size) {
    std::ofstream out(path, std::ios::binary);
    std::string block(1 << 16, '\0');
    uint32_t state = 99;
    for (size_t done = 0; done < size; done += block.size()) {
        for (char& c : block) {
            state = state * 1664525u + 1013904223u;
            c = static_cast<char>(state >> 24);
        }
        out.write(block.data(), static_cast<std::streamsize>(std::min(block.size(), size - done)));
    }
}

}  // namespace

TEST_F(KvhostProgram, AHundredMebibyteStreamStoredAtAnOffsetDigestsAsSent) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    constexpr uint64_t kSize = 100u << 20;
    constexpr uint64_t kOffset = 4096;
    PythonPeer peer({"send", std::to_string(kSize), "7"});
    ASSERT_GT(peer.port(), 0) << peer.error();
    auto file = std::filesystem::path(m_dir.path()) / "stored.bin";
    {
        std::ofstream head(file, std::ios::binary);
        head << std::string(kOffset + 100, 'H');
    }
    ProgramResult run = kvhost(connectLine(peer.port()) + "StoreStream \"" + file.string() +
                               "\", count, " + std::to_string(kOffset) + "\n? count\n");
    PeerDigest sent = peer.finish();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(sent.count, kSize);
    // Until the close, the total is not known: 0 percent at the start, 100 at the end.
    EXPECT_EQ(run.out.find("0\n" + progressLine(0, 0, 0) + "\n"), 0u) << run.out.substr(0, 200);
    EXPECT_NE(
        run.out.find(progressLine(kSize, kSize, 100) + "\nTrue\n" + std::to_string(kSize) + "\n"),
        std::string::npos)
        << run.out;
    EXPECT_EQ(std::filesystem::file_size(file), kOffset + kSize);
    EXPECT_EQ(sha256OfFile(file.string(), kOffset), sent.sha256);
    std::ifstream in(file, std::ios::binary);
    std::string head(kOffset, '\0');
    in.read(head.data(), kOffset);
    EXPECT_EQ(head, std::string(kOffset, 'H')) << "the bytes before the offset stay";
}

TEST_F(KvhostProgram, AFileSentWithWriteStreamArrivesWhole) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    constexpr uint64_t kSize = (20u << 20) + 123;
    auto file = std::filesystem::path(m_dir.path()) / "outgoing.bin";
    writeFile(file, kSize);
    PythonPeer peer({"receive"});
    ASSERT_GT(peer.port(), 0) << peer.error();
    ProgramResult run = kvhost(connectLine(peer.port()) + "WriteStream \"" + file.string() +
                               "\", " + std::to_string(kSize) +
                               ", wrStreamFile\n"
                               "Disconnect\n");
    PeerDigest heard = peer.finish();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find("0\n" + progressLine(kSize, 0, 0) + "\n"), 0u) << run.out;
    EXPECT_NE(run.out.find(progressLine(kSize, kSize, 100) + "\nTrue\n"), std::string::npos)
        << run.out;
    EXPECT_EQ(heard.count, kSize);
    EXPECT_EQ(heard.sha256, sha256OfFile(file.string(), 0));
}

TEST_F(KvhostProgram, AnEventDrivenConnectionWaitsForLinesAndMarkersThatComeInPieces) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    PythonPeer peer(
        {"script", "s:220 hel", "w:300", "s:lo\\r\\nbody\\r\\n.", "w:300", "s:\\r\\nafter", "r:6"});
    ASSERT_GT(peer.port(), 0) << peer.error();
    ProgramResult run = kvhost(connectLine(peer.port(), true) +
                               "ReadLine greeting\n"
                               "? greeting\n"
                               "ReadStream body, count, \"\\r\\n.\\r\\n\"\n"
                               "? count\n"
                               "WriteLine \"quit\"\n"
                               "ReadLine rest\n"
                               "? rest\n");
    PeerDigest heard = peer.finish();
    EXPECT_EQ(run.exitCode, 0) << run.err << run.out;
    // Before, the line stopped at what had come: "220 hel" and a would-block error.
    EXPECT_NE(run.out.find("\n220 hello\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(progressLine(9, 9, 100) + "\nTrue\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\n9\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\nafter\n"), std::string::npos) << run.out;
    EXPECT_EQ(heard.count, 6u);
    EXPECT_EQ(run.out.find("event OnError"), std::string::npos) << run.out;
}

TEST_F(KvhostProgram, EventDrivenStreamsRunToTheirEndWithProgressFromZeroToAHundred) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    constexpr uint64_t kSize = 32u << 20;
    // The peer paces its stream, so the transfer waits for data many times.
    PythonPeer source({"send", std::to_string(kSize), "11", "20"});
    PythonPeer sink({"receive"});
    ASSERT_GT(source.port(), 0) << source.error();
    ASSERT_GT(sink.port(), 0) << sink.error();
    auto file = std::filesystem::path(m_dir.path()) / "evented.bin";
    ProgramResult run = kvhost(connectLine(source.port(), true) + "StoreStream \"" + file.string() +
                               "\", " + std::to_string(kSize) +
                               "\n"
                               "Disconnect\n" +
                               connectLine(sink.port(), true) + "WriteStream \"" + file.string() +
                               "\", , wrStreamFile\n"
                               "Disconnect\n");
    PeerDigest sent = source.finish();
    PeerDigest heard = sink.finish();
    EXPECT_EQ(run.exitCode, 0) << run.err << run.out.substr(0, 2000);
    size_t first = run.out.find("event OnProgress");
    ASSERT_NE(first, std::string::npos) << run.out;
    EXPECT_EQ(run.out.compare(first, progressLine(kSize, 0, 0).size(), progressLine(kSize, 0, 0)),
              0)
        << run.out.substr(first, 200);
    const std::string last = progressLine(kSize, kSize, 100) + "\nTrue\n";
    size_t stored = run.out.find(last);
    ASSERT_NE(stored, std::string::npos) << run.out.substr(0, 2000);
    EXPECT_NE(run.out.find(last, stored + 1), std::string::npos)
        << "the file went out with its progress too";
    EXPECT_EQ(sent.count, kSize);
    EXPECT_EQ(sha256OfFile(file.string(), 0), sent.sha256);
    EXPECT_EQ(heard.count, kSize);
    EXPECT_EQ(heard.sha256, sent.sha256);
}

TEST_F(KvhostProgram, WriteStreamRelaysTheConnectionOfAnotherInstance) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    constexpr uint64_t kSize = 5u << 20;
    PythonPeer source({"send", std::to_string(kSize), "5"});
    PythonPeer sink({"receive"});
    ASSERT_GT(source.port(), 0) << source.error();
    ASSERT_GT(sink.port(), 0) << sink.error();
    ProgramResult run = kvhost(
        "create src\n"
        "src.Connect \"127.0.0.1\", " +
        std::to_string(source.port()) + ", , 10\n" + connectLine(sink.port()) +
        "WriteStream src, count\n"
        "? count\n"
        "Disconnect\n");
    PeerDigest sent = source.finish();
    PeerDigest heard = sink.finish();
    EXPECT_EQ(run.exitCode, 0) << run.err << run.out;
    EXPECT_NE(
        run.out.find(progressLine(kSize, kSize, 100) + "\nTrue\n" + std::to_string(kSize) + "\n"),
        std::string::npos)
        << run.out;
    EXPECT_EQ(sent.count, kSize);
    EXPECT_EQ(heard.count, kSize);
    EXPECT_EQ(heard.sha256, sent.sha256);
}
