// Connection points, their enumerators, and the host-side sink helpers.

#include "platform/com/connpt.h"

#include <memory>
#include <utility>

#include "platform/com/comobject.h"

namespace {

// An enumerator over a snapshot taken when it was made; clones share the snapshot.
// Traits gives the stored item type and how one is handed out (with a new reference).
template <class IEnum, class Traits>
class Enumerator final : public ComClass<IEnum> {
  public:
    using Stored = typename Traits::Stored;
    using Out = typename Traits::Out;

    explicit Enumerator(std::shared_ptr<const std::vector<Stored>> items, size_t position = 0)
        : m_items(std::move(items)), m_position(position) {}

    HRESULT Next(ULONG count, Out* out, ULONG* fetched) override {
        if (!out || (!fetched && count != 1)) return E_POINTER;
        ULONG n = 0;
        while (n < count && m_position < m_items->size())
            Traits::hand((*m_items)[m_position++], &out[n++]);
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override {
        size_t left = m_items->size() - m_position;
        m_position += std::min<size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT Reset() override {
        m_position = 0;
        return S_OK;
    }
    HRESULT Clone(IEnum** out) override {
        if (!out) return E_POINTER;
        *out = makeComObject<Enumerator>(m_items, m_position).detach();
        return S_OK;
    }

  private:
    std::shared_ptr<const std::vector<Stored>> m_items;
    size_t m_position;
};

struct ConnectionTraits {
    using Stored = std::pair<DWORD, ComPtr<IUnknown>>;
    using Out = CONNECTDATA;
    static void hand(const Stored& item, CONNECTDATA* out) {
        out->dwCookie = item.first;
        out->pUnk = item.second.get();
        out->pUnk->AddRef();
    }
};

struct PointTraits {
    using Stored = ComPtr<IConnectionPoint>;
    using Out = IConnectionPoint*;
    static void hand(const Stored& item, IConnectionPoint** out) { item.copyTo(out); }
};

// A sink that hands every event to a function.
class EventSink final : public ComClass<IDispatch> {
  public:
    EventSink(const IID& iid, EventHandler handler) : m_iid(iid), m_handler(std::move(handler)) {}

    HRESULT GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                   UINT*) override {
        if (result) VariantInit(result);
        if (m_handler) m_handler(id, params);
        return S_OK;
    }

  protected:
    HRESULT queryInterfaceExtra(REFIID riid, void** ppv) override {
        if (riid != m_iid) return E_NOINTERFACE;
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }

  private:
    IID m_iid;
    EventHandler m_handler;
};

}  // namespace

ConnectionPoint::ConnectionPoint(IUnknown* owner, IConnectionPointContainer* container, REFIID iid)
    : m_owner(owner), m_container(container), m_iid(iid) {}

ConnectionPoint::~ConnectionPoint() {
    unadviseAll();
}

HRESULT ConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
        *ppv = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = m_iid;
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container) return E_POINTER;
    *container = m_container;
    m_container->AddRef();
    return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!sink || !cookie) return E_POINTER;
    *cookie = 0;
    ComPtr<IUnknown> connected;
    if (FAILED(sink->QueryInterface(m_iid, connected.putVoid())) || !connected)
        return CONNECT_E_CANNOTCONNECT;
    *cookie = m_nextCookie++;
    m_sinks.push_back({*cookie, std::move(connected)});
    return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
    for (auto it = m_sinks.begin(); it != m_sinks.end(); ++it) {
        if (it->cookie != cookie) continue;
        // Release after the entry is gone: the sink's last Release may call back into us.
        ComPtr<IUnknown> sink = std::move(it->sink);
        m_sinks.erase(it);
        return S_OK;
    }
    return CONNECT_E_NOCONNECTION;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** out) {
    if (!out) return E_POINTER;
    auto items = std::make_shared<std::vector<ConnectionTraits::Stored>>();
    for (const Connection& c : m_sinks)
        items->emplace_back(c.cookie, c.sink);
    *out = makeComObject<Enumerator<IEnumConnections, ConnectionTraits>>(std::move(items)).detach();
    return S_OK;
}

void ConnectionPoint::unadviseAll() {
    std::vector<Connection> dropped = std::move(m_sinks);
    m_sinks.clear();
}

bool ConnectionPoint::connected(DWORD cookie) const {
    for (const Connection& c : m_sinks)
        if (c.cookie == cookie) return true;
    return false;
}

void ConnectionPoint::fireInvoke(DISPID id, std::span<Variant> args) {
    // Sinks may connect or disconnect from inside an event: walk a snapshot, holding each sink.
    std::vector<VARIANT> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        reversed.push_back(*it);
    for (const Connection& c : snapshot()) {
        if (!connected(c.cookie)) continue;
        // Each sink gets the arguments as they were, whatever an earlier sink did to its copy.
        std::vector<VARIANT> copy = reversed;
        DISPPARAMS params{copy.data(), nullptr, static_cast<UINT>(copy.size()), 0};
        Variant result;
        static_cast<IDispatch*>(c.sink.get())
            ->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
    }
}

HRESULT ConnectionPoint::fireRequestEdit(DISPID id) {
    for (const Connection& c : snapshot()) {
        if (!connected(c.cookie)) continue;
        if (static_cast<IPropertyNotifySink*>(c.sink.get())->OnRequestEdit(id) == S_FALSE)
            return S_FALSE;
    }
    return S_OK;
}

void ConnectionPoint::fireChanged(DISPID id) {
    for (const Connection& c : snapshot())
        if (connected(c.cookie)) static_cast<IPropertyNotifySink*>(c.sink.get())->OnChanged(id);
}

HRESULT findConnectionPoint(std::initializer_list<ConnectionPoint*> points, REFIID iid,
                            IConnectionPoint** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (ConnectionPoint* point : points) {
        if (point->iid() == iid) {
            *out = point;
            point->AddRef();
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

HRESULT enumConnectionPoints(std::initializer_list<ConnectionPoint*> points,
                             IEnumConnectionPoints** out) {
    if (!out) return E_POINTER;
    auto items = std::make_shared<std::vector<PointTraits::Stored>>();
    for (ConnectionPoint* point : points)
        items->emplace_back(point);
    *out = makeComObject<Enumerator<IEnumConnectionPoints, PointTraits>>(std::move(items)).detach();
    return S_OK;
}

namespace {

// The source's connection point for iid.
HRESULT pointOf(IUnknown* source, REFIID iid, ComPtr<IConnectionPoint>* point) {
    ComPtr<IConnectionPointContainer> container;
    if (FAILED(source->QueryInterface(IID_IConnectionPointContainer, container.putVoid())))
        return E_NOINTERFACE;
    return container->FindConnectionPoint(iid, point->put());
}

}  // namespace

HRESULT adviseSink(IUnknown* source, REFIID iid, IUnknown* sink, DWORD* cookie) {
    if (!source || !sink || !cookie) return E_POINTER;
    ComPtr<IConnectionPoint> point;
    HRESULT hr = pointOf(source, iid, &point);
    return FAILED(hr) ? hr : point->Advise(sink, cookie);
}

HRESULT unadviseSink(IUnknown* source, REFIID iid, DWORD cookie) {
    if (!source) return E_POINTER;
    ComPtr<IConnectionPoint> point;
    HRESULT hr = pointOf(source, iid, &point);
    return FAILED(hr) ? hr : point->Unadvise(cookie);
}

HRESULT createEventSink(REFIID eventIid, EventHandler handler, IDispatch** out) {
    if (!out) return E_INVALIDARG;
    *out = makeComObject<EventSink>(eventIid, std::move(handler)).detach();
    return S_OK;
}
