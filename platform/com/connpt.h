#pragma once
// Connection points: how an object reports events to the sinks its hosts connect.
//
// A source object implements IConnectionPointContainer and embeds one ConnectionPoint per
// outgoing interface. Events fire synchronously, through every connected sink in connection
// order; what a sink returns is ignored.
//
//   class Widget : public ComClass<IWidget, IConnectionPointContainer> {
//       ConnectionPoint m_events{controllingUnknown(), this, DIID_WidgetEvents};
//       ConnectionPoint m_notify{controllingUnknown(), this, IID_IPropertyNotifySink};
//       HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** cp) override {
//           return findConnectionPoint({&m_events, &m_notify}, iid, cp);
//       }
//       void raiseChanged() { Variant args[] = {Variant(int32_t{5})}; m_events.fireInvoke(1, args);
//       }
//   };
//
// A host connects with adviseSink, and createEventSink gives it a sink that hands each event to
// a function.

#include <functional>
#include <initializer_list>
#include <span>
#include <vector>

#include "platform/com/dispatch.h"

inline constexpr IID IID_IConnectionPointContainer{
    0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IEnumConnectionPoints{
    0xB196B285, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IConnectionPoint{
    0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IEnumConnections{
    0xB196B287, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IPropertyNotifySink{
    0x9BFBBC02, 0xEFF1, 0x101A, {0x84, 0xED, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};

struct IConnectionPoint;
struct IConnectionPointContainer;

struct CONNECTDATA {
    IUnknown* pUnk;
    DWORD dwCookie;
};

struct IEnumConnections : IUnknown {
    static constexpr const IID& kIid = IID_IEnumConnections;
    using ComBase = IUnknown;
    // Next hands out AddRef'd sinks; S_FALSE when fewer than asked for remained.
    virtual HRESULT Next(ULONG count, CONNECTDATA* items, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumConnections** out) = 0;
};

struct IConnectionPoint : IUnknown {
    static constexpr const IID& kIid = IID_IConnectionPoint;
    using ComBase = IUnknown;
    virtual HRESULT GetConnectionInterface(IID* iid) = 0;
    virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) = 0;
    virtual HRESULT Advise(IUnknown* sink, DWORD* cookie) = 0;
    virtual HRESULT Unadvise(DWORD cookie) = 0;
    virtual HRESULT EnumConnections(IEnumConnections** out) = 0;
};

struct IEnumConnectionPoints : IUnknown {
    static constexpr const IID& kIid = IID_IEnumConnectionPoints;
    using ComBase = IUnknown;
    virtual HRESULT Next(ULONG count, IConnectionPoint** items, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumConnectionPoints** out) = 0;
};

struct IConnectionPointContainer : IUnknown {
    static constexpr const IID& kIid = IID_IConnectionPointContainer;
    using ComBase = IUnknown;
    virtual HRESULT EnumConnectionPoints(IEnumConnectionPoints** out) = 0;
    virtual HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** out) = 0;
};

// The sink a container connects to learn of property changes of a control.
struct IPropertyNotifySink : IUnknown {
    static constexpr const IID& kIid = IID_IPropertyNotifySink;
    using ComBase = IUnknown;
    virtual HRESULT OnChanged(DISPID id) = 0;
    // S_OK allows the change, S_FALSE refuses it.
    virtual HRESULT OnRequestEdit(DISPID id) = 0;
};

// A connection point embedded in its source object. Its AddRef and Release go to the owner,
// so a host holding the point keeps the whole object alive. Not thread-safe: the object is
// apartment-threaded and fires on its own thread.
class ConnectionPoint final : public IConnectionPoint {
  public:
    // owner: the source's controlling IUnknown; container: its IConnectionPointContainer (both
    // outlive the point, which is a member of the object); iid: the outgoing interface. A sink
    // connects only when it answers QueryInterface for iid.
    ConnectionPoint(IUnknown* owner, IConnectionPointContainer* container, REFIID iid);
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;
    ~ConnectionPoint();

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override { return m_owner->AddRef(); }
    ULONG Release() override { return m_owner->Release(); }

    // GetConnectionInterface/GetConnectionPointContainer: E_POINTER for null.
    HRESULT GetConnectionInterface(IID* iid) override;
    HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) override;
    // Advise: E_POINTER for null arguments, CONNECT_E_CANNOTCONNECT when the sink does not
    // answer the interface. Cookies start at 1 and are never reused by this point.
    HRESULT Advise(IUnknown* sink, DWORD* cookie) override;
    // Unadvise: CONNECT_E_NOCONNECTION for a cookie that is not connected.
    HRESULT Unadvise(DWORD cookie) override;
    HRESULT EnumConnections(IEnumConnections** out) override;

    const IID& iid() const { return m_iid; }
    size_t connectionCount() const { return m_sinks.size(); }
    // Drops every connection (the object is going away).
    void unadviseAll();

    // Calls Invoke(id, DISPATCH_METHOD) on every connected sink, in connection order, with args
    // in their natural order (passed by value: sinks must not keep or free them). For points of
    // dispatch interfaces only. A sink that disconnects meanwhile is skipped; one connected
    // meanwhile waits for the next event. Results are ignored.
    void fireInvoke(DISPID id, std::span<Variant> args = {});
    // For an IPropertyNotifySink point: asks every sink for leave to change a property; S_FALSE
    // as soon as one refuses, S_OK when all allow (or none is connected).
    HRESULT fireRequestEdit(DISPID id);
    // For an IPropertyNotifySink point: tells every sink that a property changed.
    void fireChanged(DISPID id);

  private:
    struct Connection {
        DWORD cookie;
        ComPtr<IUnknown> sink;  // the sink's pointer for m_iid
    };
    std::vector<Connection> snapshot() const { return m_sinks; }
    bool connected(DWORD cookie) const;

    IUnknown* m_owner;
    IConnectionPointContainer* m_container;
    IID m_iid;
    DWORD m_nextCookie = 1;
    std::vector<Connection> m_sinks;
};

// findConnectionPoint and enumConnectionPoints implement IConnectionPointContainer over the
// points of an object. FindConnectionPoint: CONNECT_E_NOCONNECTION for an interface no point
// serves, E_POINTER for null.
HRESULT findConnectionPoint(std::initializer_list<ConnectionPoint*> points, REFIID iid,
                            IConnectionPoint** out);
HRESULT enumConnectionPoints(std::initializer_list<ConnectionPoint*> points,
                             IEnumConnectionPoints** out);

// ---- Host side ------------------------------------------------------------------------------

// adviseSink connects sink to the source's connection point for iid (FindConnectionPoint then
// Advise). E_NOINTERFACE when the source has no container, else the failing call's code.
HRESULT adviseSink(IUnknown* source, REFIID iid, IUnknown* sink, DWORD* cookie);
HRESULT unadviseSink(IUnknown* source, REFIID iid, DWORD cookie);

// An event handler: the DISPID and the arguments as Invoke received them (see dispParamsArg).
using EventHandler = std::function<void(DISPID id, DISPPARAMS* params)>;

// createEventSink makes a sink object for a dispatch event interface: it answers IUnknown,
// IDispatch and eventIid, and passes every Invoke to handler. E_INVALIDARG for null out.
HRESULT createEventSink(REFIID eventIid, EventHandler handler, IDispatch** out);

// dispParamsArg is positional argument i of a call in natural order (0 = first), or nullptr.
VARIANT* dispParamsArg(const DISPPARAMS* params, UINT i);
