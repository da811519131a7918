// The stream members as a host calls them, by name through IDispatch, against peers on
// 127.0.0.1: a stream into a byte array, a file and another control's connection as the source
// of WriteStream, a nested transfer, and a Flush that an abort ends.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/com/safearray.h"
#include "winsock/ocx/socket/test_peer.h"
#include "winsock/ocx/socket/test_timer.h"
#include "winsock/ocx/wirran_test_support.h"

using namespace wirran_test;
using socket_test::TimerAction;

namespace {

Variant call(IDispatch* control, const char* member, std::vector<Variant> args = {}) {
    Variant result;
    EXPECT_EQ(dispCall(control, member, args, &result), S_OK) << member;
    return result;
}

void connect(IDispatch* control, int port) {
    ASSERT_EQ(shown(call(control, "Connect",
                         {Variant(u"127.0.0.1"), Variant(int32_t{port}), Variant::missing(),
                          Variant(int32_t{5})})),
              "I4:0");
}

std::string payload(size_t size) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return data;
}

// The bytes of a one-dimensional byte array.
std::string arrayBytes(const VARIANT& value) {
    if (value.vt != (VT_ARRAY | VT_UI1)) return "not a byte array";
    LONG upper = -1;
    SafeArrayGetUBound(value.parray, 1, &upper);
    void* data = nullptr;
    SafeArrayAccessData(value.parray, &data);
    std::string out(static_cast<const char*>(data), static_cast<size_t>(upper + 1));
    SafeArrayUnaccessData(value.parray);
    return out;
}

Variant objectArg(CWirran* control) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = control;
    return Variant(v);
}

}  // namespace

TEST(WirranTransfer, AStreamLandsInAByteArrayWhenTheBufferIsOne) {
    const std::string sent = std::string("\x00\xFF\r\n", 4) + payload(20000);
    LoopbackServer server([&](PeerConnection& peer) { peer.send(sent); });
    ComPtr<CWirran> control = newControl();
    connect(control.get(), server.port());
    Variant buffer;
    buffer.vt = VT_ARRAY | VT_UI1;
    buffer.parray = SafeArrayCreateVector(VT_UI1, 0, 0);
    Variant length;
    EXPECT_EQ(shown(call(control.get(), "ReadStream",
                         {Variant::byRef(&buffer), Variant::byRef(&length)})),
              "BOOL:-1");
    EXPECT_EQ(shown(length), "I4:" + std::to_string(sent.size()));
    EXPECT_TRUE(arrayBytes(buffer) == sent) << "every byte as sent, none converted";
}

TEST(WirranTransfer, WriteStreamSendsAFileNamedByTheBuffer) {
    const std::string data = payload(300000);
    auto path = std::filesystem::temp_directory_path() / "members_transfer_test.bin";
    {
        std::ofstream out(path, std::ios::binary);
        out << data;
    }
    std::string whole, head;
    LoopbackServer sink(
        [&](PeerConnection& peer) { (whole.empty() ? whole : head) = peer.receiveUntilClosed(); });
    ComPtr<CWirran> control = newControl();
    const std::string name = path.string();
    const std::u16string wide(name.begin(), name.end());
    Variant file{std::u16string_view(wide)};
    for (int32_t limit : {0, 1000}) {
        connect(control.get(), sink.port());
        Variant length(limit);
        EXPECT_EQ(shown(call(control.get(), "WriteStream",
                             {file, Variant::byRef(&length), Variant(int32_t{wrStreamFile})})),
                  "BOOL:-1");
        EXPECT_EQ(shown(length), "I4:" + std::to_string(limit ? limit : data.size()));
        call(control.get(), "Disconnect");
    }
    ASSERT_TRUE(sink.waitHandled(2));
    EXPECT_TRUE(whole == data);
    EXPECT_TRUE(head == data.substr(0, 1000)) << "Length sends the start of the file";

    connect(control.get(), sink.port());
    std::filesystem::remove(path);
    EXPECT_EQ(shown(call(control.get(), "WriteStream",
                         {file, Variant::missing(), Variant(int32_t{wrStreamFile})})),
              "BOOL:0");
    EXPECT_EQ(property(control.get(), "LastError"), "I4:10010");
    EXPECT_EQ(shown(call(control.get(), "WriteStream",
                         {Variant(u""), Variant::missing(), Variant(int32_t{wrStreamFile})})),
              "BOOL:0");
    EXPECT_EQ(property(control.get(), "LastError"), "I4:10008");
}

TEST(WirranTransfer, StoreStreamReportsAFileItCannotCreateOrWrite) {
    LoopbackServer server([](PeerConnection& peer) {
        peer.send(std::string(100000, 'z'));
        peer.hold(5000);
    });
    ComPtr<CWirran> control = newControl();
    connect(control.get(), server.port());
    struct Case {
        const char16_t* name;
        const char* error;
    } cases[] = {
        {u"/no such folder/stored.bin", "I4:10003"}, {u"/dev/full", "I4:10011"}, {u"", "I4:10008"}};
    for (const Case& c : cases) {
        Variant length;
        EXPECT_EQ(
            shown(call(control.get(), "StoreStream", {Variant(c.name), Variant::byRef(&length)})),
            "BOOL:0");
        EXPECT_EQ(property(control.get(), "LastError"), c.error);
    }
}

TEST(WirranTransfer, WriteStreamRelaysAnotherControlsConnection) {
    const std::string data = payload(500000);
    std::string relayed;
    LoopbackServer source([&](PeerConnection& peer) { peer.send(data); });
    LoopbackServer sink([&](PeerConnection& peer) { relayed = peer.receiveUntilClosed(); });
    ComPtr<CWirran> from = newControl();
    ComPtr<CWirran> to = newControl();
    connect(from.get(), source.port());
    connect(to.get(), sink.port());
    Variant length;
    EXPECT_EQ(
        shown(call(to.get(), "WriteStream", {objectArg(from.get()), Variant::byRef(&length)})),
        "BOOL:-1");
    EXPECT_EQ(shown(length), "I4:" + std::to_string(data.size()));
    call(to.get(), "Disconnect");
    ASSERT_TRUE(sink.waitHandled(1));
    EXPECT_TRUE(relayed == data);
    // A control without a connection is no source.
    ComPtr<CWirran> idle = newControl();
    connect(to.get(), sink.port());
    EXPECT_EQ(shown(call(to.get(), "WriteStream", {objectArg(idle.get())})), "BOOL:0");
    EXPECT_EQ(property(to.get(), "LastError"), "I4:10038");
}

TEST(WirranTransfer, ATransferStartedInsideARunningOneIsRefused) {
    LoopbackServer server([](PeerConnection& peer) {
        peer.send("first part ");
        peer.hold(400);
        peer.send("second part");
    });
    ComPtr<CWirran> control = newControl();
    connect(control.get(), server.port());
    std::string nested, nestedError;
    TimerAction inside(100, [&] {
        Variant line;
        nested = shown(call(control.get(), "ReadLine", {Variant::byRef(&line)}));
        nestedError = property(control.get(), "LastError");
    });
    Variant text;
    EXPECT_EQ(shown(call(control.get(), "ReadStream", {Variant::byRef(&text)})), "BOOL:-1");
    EXPECT_EQ(shown(text), "BSTR:first part second part");
    EXPECT_EQ(nested, "BOOL:0");
    EXPECT_EQ(nestedError, "I4:10036");
}

TEST(WirranTransfer, AnAbortDuringFlushClosesTheSocket) {
    LoopbackServer server([](PeerConnection& peer) {
        for (int i = 0; i < 100 && peer.send("noise"); ++i)
            peer.hold(100);
    });
    ComPtr<CWirran> control = newControl();
    connect(control.get(), server.port());
    std::string aborted;
    TimerAction abort(300, [&] { aborted = shown(call(control.get(), "Abort")); });
    EXPECT_EQ(shown(call(control.get(), "Flush")), "I4:10053");
    EXPECT_EQ(aborted, "I4:0");
    EXPECT_EQ(property(control.get(), "LastError"), "I4:10053");
    EXPECT_EQ(property(control.get(), "Handle"), "I4:-1");
}
