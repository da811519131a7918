#include "platform/com/connpt.h"

#include <gtest/gtest.h>

#include "platform/com/comobject.h"
#include "platform/com/test_objects.h"

namespace {

inline constexpr IID DIID_SourceEvents{0x5EED0002, 0, 0, {1, 1, 1, 1, 1, 1, 1, 1}};

// An event source with a dispatch event interface and a property-notify point.
class Source final : public ComClass<IConnectionPointContainer> {
  public:
    explicit Source(bool* destroyed = nullptr) : m_destroyed(destroyed) {}
    ~Source() override {
        if (m_destroyed) *m_destroyed = true;
    }
    HRESULT EnumConnectionPoints(IEnumConnectionPoints** out) override {
        return enumConnectionPoints({&events, &notify}, out);
    }
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
        return findConnectionPoint({&events, &notify}, iid, out);
    }

    ConnectionPoint events{controllingUnknown(), this, DIID_SourceEvents};
    ConnectionPoint notify{controllingUnknown(), this, IID_IPropertyNotifySink};

  private:
    bool* m_destroyed;
};

class Notify final : public IPropertyNotifySink {
  public:
    explicit Notify(HRESULT answer) : m_answer(answer) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IPropertyNotifySink) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT OnChanged(DISPID id) override {
        changed.push_back(id);
        return S_OK;
    }
    HRESULT OnRequestEdit(DISPID id) override {
        asked.push_back(id);
        return m_answer;
    }
    int refs = 0;
    std::vector<DISPID> changed, asked;

  private:
    HRESULT m_answer;
};

ComPtr<IConnectionPoint> point(Source* source, REFIID iid) {
    ComPtr<IConnectionPoint> cp;
    source->FindConnectionPoint(iid, cp.put());
    return cp;
}

}  // namespace

TEST(ConnectionPoint, FiresThroughEverySinkInConnectionOrder) {
    std::vector<std::pair<int, DISPID>> order;
    CountingSink a(DIID_SourceEvents, &order, 1), b(DIID_SourceEvents, &order, 2),
        c(DIID_SourceEvents, &order, 3);
    {
        ComPtr<Source> source = makeComObject<Source>();
        ComPtr<IConnectionPoint> cp = point(source.get(), DIID_SourceEvents);
        DWORD ca, cb, cc;
        ASSERT_EQ(cp->Advise(&b, &cb), S_OK);
        ASSERT_EQ(cp->Advise(&a, &ca), S_OK);
        ASSERT_EQ(cp->Advise(&c, &cc), S_OK);
        EXPECT_NE(ca, 0u);
        EXPECT_TRUE(ca != cb && cb != cc && ca != cc);
        EXPECT_EQ(a.refs(), 1);

        Variant args[] = {Variant(int32_t{10061}), Variant::fromUtf8("refused")};
        source->events.fireInvoke(5, args);
        ASSERT_EQ(order.size(), 3u);
        EXPECT_EQ(order[0].first, 2);
        EXPECT_EQ(order[1].first, 1);
        EXPECT_EQ(order[2].first, 3);
        ASSERT_EQ(a.calls.size(), 1u);
        EXPECT_EQ(a.calls[0].id, 5);
        ASSERT_EQ(a.calls[0].args.size(), 2u);
        EXPECT_EQ(a.calls[0].args[0].lVal, 10061);  // natural order: ErrorCode, Description
        EXPECT_EQ(a.calls[0].args[1].utf8(), "refused");

        EXPECT_EQ(cp->Unadvise(ca), S_OK);
        EXPECT_EQ(a.refs(), 0);
        EXPECT_EQ(cp->Unadvise(ca), CONNECT_E_NOCONNECTION);
        source->events.fireInvoke(6);
        EXPECT_EQ(a.calls.size(), 1u);
        EXPECT_EQ(b.calls.size(), 2u);
    }
    // The source's end released every sink still connected.
    EXPECT_EQ(b.refs(), 0);
    EXPECT_EQ(c.refs(), 0);
}

TEST(ConnectionPoint, SinksMayDisconnectWhileAnEventRuns) {
    ComPtr<Source> source = makeComObject<Source>();
    ComPtr<IConnectionPoint> cp = point(source.get(), DIID_SourceEvents);
    CountingSink first(DIID_SourceEvents), second(DIID_SourceEvents), late(DIID_SourceEvents);
    DWORD c1, c2, c3 = 0;
    cp->Advise(&first, &c1);
    cp->Advise(&second, &c2);
    // The first sink disconnects the second and connects a third during the event.
    first.onInvoke = [&] {
        if (c3 == 0) {
            cp->Unadvise(c2);
            cp->Advise(&late, &c3);
        }
    };
    source->events.fireInvoke(1);
    EXPECT_EQ(first.calls.size(), 1u);
    EXPECT_EQ(second.calls.size(), 0u);
    EXPECT_EQ(late.calls.size(), 0u);  // connected after the event began
    source->events.fireInvoke(1);
    EXPECT_EQ(late.calls.size(), 1u);
    EXPECT_EQ(second.refs(), 0);
    first.onInvoke = nullptr;
    cp->Unadvise(c1);
    cp->Unadvise(c3);
    EXPECT_EQ(first.refs(), 0);
    EXPECT_EQ(late.refs(), 0);
}

TEST(ConnectionPoint, RefusesSinksOfOtherInterfaces) {
    ComPtr<Source> source = makeComObject<Source>();
    ComPtr<IConnectionPoint> cp = point(source.get(), DIID_SourceEvents);
    CountingUnknown plain;
    DWORD cookie = 99;
    EXPECT_EQ(cp->Advise(&plain, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(plain.refs(), 0);
    EXPECT_EQ(cp->Advise(nullptr, &cookie), E_POINTER);
    ComPtr<IConnectionPoint> none;
    EXPECT_EQ(source->FindConnectionPoint(IID_IDispatch, none.put()), CONNECT_E_NOCONNECTION);
}

TEST(ConnectionPoint, HoldingAPointKeepsTheSourceAlive) {
    bool destroyed = false;
    ComPtr<IConnectionPoint> cp;
    {
        ComPtr<Source> source = makeComObject<Source>(&destroyed);
        cp = point(source.get(), DIID_SourceEvents);
    }
    EXPECT_FALSE(destroyed);
    ComPtr<IConnectionPointContainer> container;
    EXPECT_EQ(cp->GetConnectionPointContainer(container.put()), S_OK);
    IID iid;
    cp->GetConnectionInterface(&iid);
    EXPECT_EQ(iid, DIID_SourceEvents);
    cp = nullptr;
    EXPECT_FALSE(destroyed);
    container = nullptr;
    EXPECT_TRUE(destroyed);
}

TEST(ConnectionPoint, EnumeratorsHandOutReferences) {
    ComPtr<Source> source = makeComObject<Source>();
    ComPtr<IConnectionPoint> cp = point(source.get(), DIID_SourceEvents);
    CountingSink a(DIID_SourceEvents), b(DIID_SourceEvents);
    DWORD ca, cb;
    cp->Advise(&a, &ca);
    cp->Advise(&b, &cb);
    ComPtr<IEnumConnections> connections;
    ASSERT_EQ(cp->EnumConnections(connections.put()), S_OK);
    EXPECT_EQ(a.refs(), 2);  // the enumerator's snapshot holds the sinks too
    CONNECTDATA data[3];
    ULONG fetched = 0;
    EXPECT_EQ(connections->Next(3, data, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(data[0].dwCookie, ca);
    EXPECT_EQ(data[1].dwCookie, cb);
    EXPECT_EQ(a.refs(), 3);
    data[0].pUnk->Release();
    data[1].pUnk->Release();
    EXPECT_EQ(connections->Reset(), S_OK);
    EXPECT_EQ(connections->Skip(1), S_OK);
    ComPtr<IEnumConnections> clone;
    connections->Clone(clone.put());
    EXPECT_EQ(clone->Next(1, data, nullptr), S_OK);
    EXPECT_EQ(data[0].dwCookie, cb);
    data[0].pUnk->Release();
    EXPECT_EQ(clone->Skip(5), S_FALSE);
    clone = nullptr;
    connections = nullptr;
    EXPECT_EQ(a.refs(), 1);

    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(source->EnumConnectionPoints(points.put()), S_OK);
    IConnectionPoint* cps[2] = {};
    EXPECT_EQ(points->Next(2, cps, &fetched), S_OK);
    IID iid;
    cps[1]->GetConnectionInterface(&iid);
    EXPECT_EQ(iid, IID_IPropertyNotifySink);
    cps[0]->Release();
    cps[1]->Release();
    cp->Unadvise(ca);
    cp->Unadvise(cb);
}

TEST(ConnectionPoint, PropertyNotifySinksAreAskedAndTold) {
    ComPtr<Source> source = makeComObject<Source>();
    ComPtr<IConnectionPoint> cp = point(source.get(), IID_IPropertyNotifySink);
    Notify allow(S_OK), refuse(S_FALSE);
    EXPECT_EQ(source->notify.fireRequestEdit(-514), S_OK);  // nobody to ask
    DWORD c1, c2;
    cp->Advise(&allow, &c1);
    EXPECT_EQ(source->notify.fireRequestEdit(-514), S_OK);
    cp->Advise(&refuse, &c2);
    EXPECT_EQ(source->notify.fireRequestEdit(-514), S_FALSE);
    source->notify.fireChanged(-514);
    EXPECT_EQ(allow.changed, std::vector<DISPID>{-514});
    EXPECT_EQ(refuse.changed, std::vector<DISPID>{-514});
    EXPECT_EQ(allow.asked.size(), 2u);
    cp->Unadvise(c1);
    cp->Unadvise(c2);
    EXPECT_EQ(allow.refs, 0);
    EXPECT_EQ(refuse.refs, 0);
}

TEST(ConnectionPoint, HostSinkReceivesEventsThroughAFunction) {
    ComPtr<Source> source = makeComObject<Source>();
    std::vector<std::pair<DISPID, std::string>> seen;
    ComPtr<IDispatch> sink;
    ASSERT_EQ(createEventSink(
                  DIID_SourceEvents,
                  [&](DISPID id, DISPPARAMS* params) {
                      VARIANT* first = dispParamsArg(params, 0);
                      VARIANT* second = dispParamsArg(params, 1);
                      EXPECT_EQ(dispParamsArg(params, 2), nullptr);
                      seen.emplace_back(id, first ? std::to_string(first->lVal) + " " +
                                                        bstrToUtf8(second->bstrVal)
                                                  : "");
                  },
                  sink.put()),
              S_OK);
    DWORD cookie;
    ASSERT_EQ(adviseSink(source.get(), DIID_SourceEvents, sink.get(), &cookie), S_OK);
    Variant args[] = {Variant(int32_t{10060}), Variant::fromUtf8("timed out")};
    source->events.fireInvoke(5, args);
    source->events.fireInvoke(8);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_pair(DISPID{5}, std::string("10060 timed out")));
    EXPECT_EQ(seen[1].first, 8);
    EXPECT_EQ(unadviseSink(source.get(), DIID_SourceEvents, cookie), S_OK);
    EXPECT_EQ(source->events.connectionCount(), 0u);
    CountingUnknown noContainer;
    EXPECT_EQ(adviseSink(&noContainer, DIID_SourceEvents, sink.get(), &cookie), E_NOINTERFACE);
}
