// Starting and stopping the real libws2_32.so, and the failures of the start.

#include "winsock/ocx/binding/network_library.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "tools/testsupport/temp_dir.h"
#include "winsock/ocx/binding/wait_state.h"
#include "winsock/ocx/base/error_slot.h"

using kvlink::LibraryInfo;
using kvlink::NetworkLibrary;

namespace {

std::string realPath(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::canonical(path, ignored).string();
}

}  // namespace

TEST(NetworkLibraryStart, LoadsTheDefaultOrTheNamedLibrary) {
    // Each instance loads by its own name; they all come to the one libws2_32.so.
    for (const char* name : {"", "WS2_32.DLL", "ws2_32", WS2_LIBRARY_PATH}) {
        SCOPED_TRACE(name);
        NetworkLibrary net;
        WSADATA data;
        SetSocketError(10060);
        ASSERT_TRUE(net.start(name, MAKEWORD(2, 2), &data, nullptr))
            << std::hex << SocketError() << " " << net.loadError();
        EXPECT_EQ(SocketError(), 0u);  // a successful start clears the slot
        EXPECT_TRUE(net.loaded());
        EXPECT_EQ(net.path(), realPath(WS2_LIBRARY_PATH));
        EXPECT_EQ(data.wVersion, MAKEWORD(2, 2));
        EXPECT_STREQ(data.szDescription, "WinSock 2.0");
        EXPECT_EQ(net.users(), 1);
        EXPECT_TRUE(kvlink::waitSlotAllocated());
        EXPECT_TRUE(net.stop());
    }
}

TEST(NetworkLibraryStart, InformationRecordIsCheckedAndFilled) {
    NetworkLibrary net;
    WSADATA data;
    LibraryInfo info{};
    info.dwSize = 159;
    EXPECT_FALSE(net.start("", MAKEWORD(2, 2), &data, &info));
    EXPECT_EQ(SocketError(), 0x8004271Eu);  // 10014, before anything was loaded
    EXPECT_FALSE(net.loaded());
    info.dwSize = 161;
    EXPECT_FALSE(net.start("", MAKEWORD(2, 2), &data, &info));

    info.dwSize = sizeof info;
    ASSERT_TRUE(net.start("", MAKEWORD(2, 2), &data, &info));
    EXPECT_EQ(info.dwSize, 160u);
    EXPECT_EQ(info.wMajorVersion, 6);
    EXPECT_EQ(info.wMinorVersion, 0);
    EXPECT_EQ(info.dwBuildNumber, 6000u);
    EXPECT_STREQ(info.szDescription, "Wirran Windows Sockets Library");
    EXPECT_EQ(info.wWinsockVersion, MAKEWORD(2, 2));
    EXPECT_EQ(info.wWinsockHighVersion, data.wHighVersion);
    EXPECT_EQ(info.wMaxSockets, data.iMaxSockets);
    EXPECT_EQ(info.wMaxDatagram, data.iMaxUdpDg);
    EXPECT_GT(info.wMaxDatagram, 0);
    net.stop();
}

TEST(NetworkLibraryStart, FailuresAreStoredInTheErrorSlot) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    std::string notALibrary = dir.file("libjunk.so");
    ASSERT_TRUE(writeFile(notALibrary, "not an ELF file"));
    struct Case {
        std::string name;
        WORD version;
        uint32_t error;
        bool loadedAfter;
    } cases[] = {
        {"no-such-library.DLL", MAKEWORD(2, 2), 10091, false},
        {dir.file("missing/WS2_32.DLL"), MAKEWORD(2, 2), 10091, false},
        {notALibrary, MAKEWORD(2, 2), 10091, false},
        {"", MAKEWORD(1, 1), 10092, false},  // the default library needs version 2 or above
        {WS2_LIBRARY_PATH, MAKEWORD(0, 0), 10092, true},  // the library's own refusal
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NetworkLibrary net;
        WSADATA data;
        EXPECT_FALSE(net.start(c.name, c.version, &data, nullptr));
        EXPECT_EQ(SocketError(), 0x80040000u | c.error);
        EXPECT_EQ(net.loaded(), c.loadedAfter);
        EXPECT_EQ(net.users(), 0);
        if (c.error == 10091) {
            EXPECT_NE(net.loadError(), "");
        }
        // A failed load leaves the way open for a library that can be loaded.
        EXPECT_TRUE(net.start("", MAKEWORD(2, 2), &data, nullptr));
        EXPECT_TRUE(net.stop());
    }
}

TEST(NetworkLibraryStart, UsersAreCountedAndStopNeverGoesBelowZero) {
    NetworkLibrary net;
    EXPECT_FALSE(net.stop());
    EXPECT_EQ(SocketError(), 0x8004276Du);  // 10093
    WSADATA data;
    ASSERT_TRUE(net.start("", MAKEWORD(2, 2), &data, nullptr));
    ASSERT_TRUE(net.start("", MAKEWORD(2, 2), &data, nullptr));
    EXPECT_EQ(net.users(), 2);
    EXPECT_TRUE(net.stop());
    // One use is left: the library still works.
    SOCKET s = net.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_NE(s, INVALID_SOCKET);
    EXPECT_TRUE(net.stop());
    EXPECT_FALSE(net.stop());
    EXPECT_EQ(net.users(), 0);
    // Every start was balanced by the library's own cleanup, which closed the socket too.
    EXPECT_EQ(net.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP), INVALID_SOCKET);
    EXPECT_EQ(net.getLastError(), WSANOTINITIALISED);
    EXPECT_EQ(net.closesocket(s), SOCKET_ERROR);
    // The library stays loaded after the last stop.
    EXPECT_TRUE(net.loaded());
}

TEST(NetworkLibraryStart, StopClearsOnlyTheCallingThreadsWaitBits) {
    NetworkLibrary net;
    WSADATA data;
    ASSERT_TRUE(net.start("", MAKEWORD(2, 2), &data, nullptr));
    ASSERT_TRUE(kvlink::setWaitBits(kvlink::kWaitNoPump));
    std::thread other([&net] {
        EXPECT_EQ(kvlink::waitState(), 0u);  // each thread has its own word
        kvlink::setWaitBits(kvlink::kWaitInProgress | kvlink::kWaitCancelRequested);
        EXPECT_TRUE(net.stop());
        EXPECT_EQ(kvlink::waitState(), 0u);
    });
    other.join();
    EXPECT_EQ(kvlink::waitState(), kvlink::kWaitNoPump);
    kvlink::clearWaitBits(kvlink::kWaitAllBits);
}

TEST(NetworkLibraryErrors, LastErrorGoesThroughTheLibrary) {
    NetworkLibrary net;
    WSADATA data;
    ASSERT_TRUE(net.start("", MAKEWORD(2, 2), &data, nullptr));
    net.setLastError(10060);
    EXPECT_EQ(net.getLastError(), 10060);
    // A call that fails inside the library leaves the library's error for the binding to read.
    EXPECT_EQ(net.closesocket(123456), SOCKET_ERROR);
    EXPECT_EQ(net.getLastError(), WSAENOTSOCK);
    // The error is per thread, as the library keeps it.
    std::thread([&net] { EXPECT_EQ(net.getLastError(), 0); }).join();
    net.stop();
}
