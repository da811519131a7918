// The ActiveX frame: interfaces and aggregation, safety, saved state, extent, window, the
// Enabled property's notifications.

#include <gtest/gtest.h>

#include <cstring>

#include "winsock/ocx/wirran_test_support.h"

using namespace wirran_test;

namespace {

// A property-notify sink that counts what it hears and answers OnRequestEdit as told.
class NotifySink final : public IPropertyNotifySink {
  public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IPropertyNotifySink) {
            *ppv = static_cast<IPropertyNotifySink*>(this);
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
        requests.push_back(id);
        return answer;
    }
    int refs = 0;
    HRESULT answer = S_OK;
    std::vector<DISPID> changed;
    std::vector<DISPID> requests;
};

std::vector<BYTE> streamBytes(IStream* stream) {
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    std::vector<BYTE> bytes(64);
    ULONG read = 0;
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    bytes.resize(read);
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    return bytes;
}

ComPtr<IStream> streamWith(std::vector<BYTE> bytes) {
    ComPtr<IStream> stream;
    CreateMemoryStream(stream.put());
    stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    return stream;
}

}  // namespace

TEST(WirranFrame, AnswersEveryInterfaceOfAControlWithOneIdentity) {
    ComPtr<CWirran> control = newControl();
    const IID* const answered[] = {
        &IID_IWirran,
        &IID_IDispatch,
        &IID_IConnectionPointContainer,
        &IID_ISupportErrorInfo,
        &IID_IObjectSafety,
        &IID_IProvideClassInfo,
        &IID_IProvideClassInfo2,
        &IID_IPersist,
        &IID_IPersistStreamInit,
        &IID_IPersistStorage,
        &IID_IPersistPropertyBag,
        &IID_IOleControl,
        &IID_IOleObject,
        &IID_IOleWindow,
        &IID_IOleInPlaceActiveObject,
        &IID_IOleInPlaceObject,
        &IID_IOleInPlaceObjectWindowless,
        &IID_IViewObject,
        &IID_IViewObject2,
        &IID_IViewObjectEx,
        &IID_IQuickActivate,
        &IID_IDataObject,
        &IID_ISpecifyPropertyPages,
    };
    ComPtr<IUnknown> identity;
    ASSERT_EQ(control->QueryInterface(IID_IUnknown, identity.putVoid()), S_OK);
    for (const IID* iid : answered) {
        ComPtr<IUnknown> p;
        ASSERT_EQ(control->QueryInterface(*iid, p.putVoid()), S_OK) << guidToString(*iid);
        ComPtr<IUnknown> back;
        ASSERT_EQ(p->QueryInterface(IID_IUnknown, back.putVoid()), S_OK);
        EXPECT_EQ(back.get(), identity.get()) << guidToString(*iid);
    }
    ComPtr<IUnknown> none;
    EXPECT_EQ(control->QueryInterface(IID_IPersistStream, none.putVoid()), E_NOINTERFACE);

    auto info = control.as<IProvideClassInfo2>();
    GUID source;
    EXPECT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_EQ(source, DIID__IWirranEvents);
}

TEST(WirranFrame, AggregatesAndCountsTheModule) {
    LONG before = wirranModuleLock().count();
    CountingUnknown outer;
    ComPtr<IUnknown> inner;
    EXPECT_EQ(CWirran::create(&outer, IID_IWirran, inner.putVoid()), CLASS_E_NOAGGREGATION);
    ASSERT_EQ(CWirran::create(&outer, IID_IUnknown, inner.putVoid()), S_OK);
    EXPECT_EQ(wirranModuleLock().count(), before + 1);
    {
        // Interfaces of an aggregated object count on the outer object.
        ComPtr<IWirran> wirran;
        ASSERT_EQ(inner->QueryInterface(IID_IWirran, wirran.putVoid()), S_OK);
        EXPECT_EQ(outer.refs(), 1);
    }
    EXPECT_EQ(outer.refs(), 0);
    inner.reset();
    EXPECT_EQ(wirranModuleLock().count(), before);
}

TEST(WirranFrame, ObjectSafety) {
    ComPtr<CWirran> control = newControl();
    auto safety = control.as<IObjectSafety>();
    DWORD supported = 0, enabled = 0;
    ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
    EXPECT_EQ(supported, 3u);
    EXPECT_EQ(enabled, 2u);
    struct Case {
        DWORD mask, enabled;
        HRESULT expected;
    };
    const Case cases[] = {{1, 1, E_FAIL}, {3, 1, E_FAIL}, {1, 3, E_FAIL}, {3, 3, S_OK},
                          {2, 2, S_OK},   {3, 2, S_OK},   {0, 0, S_OK},   {1, 0, S_OK}};
    for (const Case& c : cases)
        EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IWirran, c.mask, c.enabled), c.expected)
            << c.mask << "/" << c.enabled;
    // Nothing changed.
    safety->GetInterfaceSafetyOptions(IID_IWirran, &supported, &enabled);
    EXPECT_EQ(enabled, 2u);
}

TEST(WirranFrame, SavesTwelveBytesOfExtentAndLoadsIt) {
    ComPtr<CWirran> control = newControl();
    ASSERT_EQ(control->put_Timeout(9), S_OK);  // not part of the saved state
    auto persist = control.as<IPersistStreamInit>();
    ComPtr<IStream> stream;
    CreateMemoryStream(stream.put());
    ASSERT_EQ(persist->Save(stream.get(), TRUE), S_OK);
    // 28 pixels at 96 per inch are 741 HIMETRIC (0x2E5).
    const std::vector<BYTE> expected = {0x00, 0x09, 0, 0, 0xE5, 0x02, 0, 0, 0xE5, 0x02, 0, 0};
    EXPECT_EQ(streamBytes(stream.get()), expected);
    ULARGE_INTEGER size;
    ASSERT_EQ(persist->GetSizeMax(&size), S_OK);
    EXPECT_EQ(size.QuadPart, 12u);

    // Another control loading it has the saved extent and every property at its default.
    ComPtr<CWirran> other = newControl();
    ASSERT_EQ(other.as<IPersistStreamInit>()->Load(stream.get()), S_OK);
    EXPECT_EQ(property(other.get(), "Timeout"), "I4:0");
    EXPECT_EQ(other->extent().cx, 741);

    // Another extent, a short stream and a newer format.
    ASSERT_EQ(persist->Load(streamWith({0, 9, 0, 0, 100, 0, 0, 0, 200, 0, 0, 0}).get()), S_OK);
    EXPECT_EQ(control->extent().cx, 100);
    EXPECT_EQ(control->extent().cy, 200);
    EXPECT_EQ(persist->Load(streamWith({0, 9, 0, 0, 100, 0, 0, 0}).get()), STG_E_READFAULT);
    EXPECT_EQ(persist->Load(streamWith({1, 9, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}).get()), E_FAIL);
    EXPECT_EQ(control->extent().cx, 100);
}

TEST(WirranFrame, SavesIntoAStorageAndAPropertyBag) {
    ComPtr<CWirran> control = newControl();
    ComPtr<IStorage> storage;
    CreateMemoryStorage(storage.put());
    ASSERT_EQ(control.as<IPersistStorage>()->Save(storage.get(), TRUE), S_OK);
    ComPtr<IStream> contents;
    ASSERT_EQ(storage->OpenStream(u"Contents", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                  contents.put()),
              S_OK);
    EXPECT_EQ(streamBytes(contents.get()).size(), 12u);
    contents.reset();
    ComPtr<CWirran> loaded = newControl();
    EXPECT_EQ(loaded.as<IPersistStorage>()->Load(storage.get()), S_OK);

    ComPtr<IPropertyBag> bag;
    CreateMemoryPropertyBag(bag.put());
    ASSERT_EQ(control.as<IPersistPropertyBag>()->Save(bag.get(), TRUE, TRUE), S_OK);
    Variant cx;
    ASSERT_EQ(bag->Read(u"_cx", &cx, nullptr), S_OK);
    EXPECT_EQ(cx.vt, VT_UI4);
    EXPECT_EQ(cx.ulVal, 741u);
    // A bag that names only _cx keeps the natural height.
    ComPtr<IPropertyBag> partial;
    CreateMemoryPropertyBag(partial.put());
    Variant narrow;
    narrow.vt = VT_UI4;
    narrow.ulVal = 300;
    partial->Write(u"_cx", &narrow);
    ASSERT_EQ(loaded.as<IPersistPropertyBag>()->Load(partial.get(), nullptr), S_OK);
    EXPECT_EQ(loaded->extent().cx, 300);
    EXPECT_EQ(loaded->extent().cy, 741);
}

TEST(WirranFrame, KeepsItsFixedSize) {
    ComPtr<CWirran> control = newControl();
    auto object = control.as<IOleObject>();
    SIZEL size{};
    ASSERT_EQ(object->GetExtent(DVASPECT_CONTENT, &size), S_OK);
    EXPECT_EQ(size.cx, 741);
    EXPECT_EQ(size.cy, 741);
    SIZEL bigger{2000, 1000};
    EXPECT_EQ(object->SetExtent(DVASPECT_CONTENT, &bigger), E_FAIL);
    ASSERT_EQ(object->GetExtent(DVASPECT_CONTENT, &size), S_OK);
    EXPECT_EQ(size.cx, 741);
    EXPECT_EQ(object->SetExtent(DVASPECT_CONTENT, &size), S_OK);
    DWORD misc = 0;
    ASSERT_EQ(object->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    EXPECT_EQ(misc, 0x20591u);
}

TEST(WirranFrame, MakesItsWindowWhenSitedAndDestroysItWithTheObject) {
    ComPtr<CWirran> control = newControl();
    EXPECT_EQ(property(control.get(), "Window"), "I4:0");
    ComPtr<AmbientSite> site = AmbientSite::create();
    ASSERT_EQ(control->SetClientSite(site.get()), S_OK);
    LONG handle = 0;
    ASSERT_EQ(control->get_Window(&handle), S_OK);
    ASSERT_NE(handle, 0);
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
    EXPECT_TRUE(IsWindow(window));
    HWND fromOle = nullptr;
    EXPECT_EQ(control.as<IOleWindow>()->GetWindow(&fromOle), S_OK);
    EXPECT_EQ(fromOle, window);
    ComPtr<IOleClientSite> back;
    ASSERT_EQ(control->GetClientSite(back.put()), S_OK);
    EXPECT_EQ(back.get(), static_cast<IOleClientSite*>(site.get()));
    back.reset();
    control.reset();
    EXPECT_FALSE(IsWindow(window));
}

TEST(WirranFrame, EnabledAsksAndTellsThePropertyNotifySinks) {
    ComPtr<CWirran> control = newControl();
    NotifySink sink;
    DWORD cookie = 0;
    ASSERT_EQ(adviseSink(control->controllingUnknown(), IID_IPropertyNotifySink, &sink, &cookie),
              S_OK);

    sink.answer = S_FALSE;
    EXPECT_EQ(control->put_Enabled(VARIANT_FALSE), S_FALSE);
    EXPECT_EQ(property(control.get(), "Enabled"), "BOOL:-1");
    EXPECT_TRUE(sink.changed.empty());
    EXPECT_EQ(control.as<IPersistStreamInit>()->IsDirty(), S_FALSE);

    sink.answer = S_OK;
    EXPECT_EQ(control->put_Enabled(VARIANT_FALSE), S_OK);
    EXPECT_EQ(property(control.get(), "Enabled"), "BOOL:0");
    EXPECT_EQ(sink.requests, (std::vector<DISPID>{DISPID_ENABLED, DISPID_ENABLED}));
    EXPECT_EQ(sink.changed, (std::vector<DISPID>{DISPID_ENABLED}));
    EXPECT_EQ(control.as<IPersistStreamInit>()->IsDirty(), S_OK);

    // With events frozen the sinks hear nothing, and the value still changes.
    auto ole = control.as<IOleControl>();
    ole->FreezeEvents(TRUE);
    ole->FreezeEvents(TRUE);
    ole->FreezeEvents(FALSE);
    sink.answer = S_FALSE;
    EXPECT_EQ(control->put_Enabled(VARIANT_TRUE), S_OK);
    EXPECT_EQ(sink.requests.size(), 2u);
    ole->FreezeEvents(FALSE);
    EXPECT_EQ(control->put_Enabled(VARIANT_FALSE), S_FALSE);
    EXPECT_EQ(sink.requests.size(), 3u);

    ASSERT_EQ(unadviseSink(control->controllingUnknown(), IID_IPropertyNotifySink, cookie), S_OK);
    EXPECT_EQ(sink.refs, 0);
}

TEST(WirranFrame, QuickActivateSitesAndConnectsBothSinks) {
    ComPtr<CWirran> control = newControl();
    ComPtr<AmbientSite> site = AmbientSite::create();
    NotifySink notify;
    CountingSink events(DIID__IWirranEvents);
    QACONTAINER container{};
    container.cbSize = sizeof container;
    container.pClientSite = site.get();
    container.pPropertyNotifySink = &notify;
    container.pUnkEventSink = &events;
    QACONTROL result{};
    result.cbSize = sizeof result;
    ASSERT_EQ(control.as<IQuickActivate>()->QuickActivate(&container, &result), S_OK);
    EXPECT_EQ(result.dwMiscStatus, 0x20591u);
    EXPECT_NE(result.dwEventCookie, 0u);
    EXPECT_NE(result.dwPropNotifyCookie, 0u);
    EXPECT_NE(property(control.get(), "Window"), "I4:0");
    Variant error;
    control->Abort(&error);
    EXPECT_EQ(events.calls.size(), 1u);
    control->SetClientSite(nullptr);
    control.reset();
    // The object's connections went with it.
    EXPECT_EQ(events.refs(), 0);
    EXPECT_EQ(notify.refs, 0);
}
