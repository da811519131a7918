#include "platform/com/comobject.h"

#include <gtest/gtest.h>

#include "platform/com/persist.h"
#include "platform/com/test_objects.h"

namespace {

inline constexpr CLSID kClassA{
    0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
inline constexpr CLSID kClassB{
    0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x56}};

ModuleLock g_module;

// A stream that does nothing but exist: enough to check QueryInterface over a base chain.
class Thing final : public ComClass<IStream, IPersist> {
  public:
    explicit Thing(IUnknown* outer, bool* destroyed = nullptr)
        : ComClass(outer), m_destroyed(destroyed) {}
    ~Thing() override {
        if (m_destroyed) *m_destroyed = true;
    }
    HRESULT Read(void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT Revert() override { return E_NOTIMPL; }
    HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    HRESULT Clone(IStream**) override { return E_NOTIMPL; }
    HRESULT GetClassID(CLSID* clsid) override {
        *clsid = kClassA;
        return S_OK;
    }

    static HRESULT create(IUnknown* outer, REFIID riid, void** ppv) {
        return createComObject<Thing>(outer, riid, ppv);
    }

  private:
    bool* m_destroyed;
    ModuleLockRef m_lock{g_module};
};

}  // namespace

TEST(ComClass, AnswersListedInterfacesTheirBasesAndOneIdentity) {
    bool destroyed = false;
    {
        ComPtr<Thing> thing = makeComObject<Thing>(nullptr, &destroyed);
        ComPtr<IStream> stream = thing.as<IStream>();
        ComPtr<ISequentialStream> sequential = thing.as<ISequentialStream>();
        ComPtr<IPersist> persist = thing.as<IPersist>();
        EXPECT_TRUE(stream && sequential && persist);
        EXPECT_FALSE(thing.as<IStorage>());
        EXPECT_FALSE(thing.as<IClassFactory>());
        // Every route to IUnknown gives the same pointer.
        EXPECT_EQ(stream.as<IUnknown>().get(), persist.as<IUnknown>().get());
        EXPECT_EQ(g_module.count(), 1);
    }
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(g_module.count(), 0);
    EXPECT_EQ(g_module.canUnloadNow(), S_OK);
}

TEST(ComClass, AggregatedObjectDelegatesToItsOuter) {
    CountingUnknown outer;
    bool destroyed = false;
    IUnknown* inner = nullptr;
    ASSERT_EQ(
        createComObject<Thing>(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner), &destroyed),
        S_OK);
    // The inner unknown answers the inner interfaces; their IUnknown methods go to the outer.
    IStream* stream = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IStream, reinterpret_cast<void**>(&stream)), S_OK);
    EXPECT_EQ(outer.refs(), 1);
    IUnknown* identity = nullptr;
    EXPECT_EQ(stream->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, &outer);
    identity->Release();
    stream->Release();
    EXPECT_EQ(outer.refs(), 0);
    EXPECT_FALSE(destroyed);
    inner->Release();
    EXPECT_TRUE(destroyed);

    void* ppv = nullptr;
    EXPECT_EQ(createComObject<Thing>(&outer, IID_IStream, &ppv), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(ppv, nullptr);
}

TEST(ClassFactory, CreatesOnlyItsClassAndCountsLocks) {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(getClassObject(kClassB, kClassA, &Thing::create, &g_module, IID_IClassFactory,
                             factory.putVoid()),
              CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(getClassObject(kClassA, kClassA, &Thing::create, &g_module, IID_IClassFactory,
                             factory.putVoid()),
              S_OK);
    ComPtr<IPersist> object;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPersist, object.putVoid()), S_OK);
    CLSID clsid;
    object->GetClassID(&clsid);
    EXPECT_EQ(clsid, kClassA);
    EXPECT_EQ(g_module.canUnloadNow(), S_FALSE);
    object = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IStorage, object.putVoid()), E_NOINTERFACE);
    EXPECT_EQ(g_module.count(), 0);  // the half-made object went away

    factory->LockServer(TRUE);
    EXPECT_EQ(g_module.canUnloadNow(), S_FALSE);
    factory->LockServer(FALSE);
    EXPECT_EQ(g_module.canUnloadNow(), S_OK);
}

TEST(ComPtr, OwnsExactlyOneReference) {
    CountingUnknown object;
    {
        ComPtr<IUnknown> a(&object);
        EXPECT_EQ(object.refs(), 1);
        ComPtr<IUnknown> b = a;
        EXPECT_EQ(object.refs(), 2);
        ComPtr<IUnknown> c = std::move(b);
        EXPECT_EQ(object.refs(), 2);
        IUnknown* out = nullptr;
        EXPECT_EQ(c.copyTo(&out), S_OK);
        EXPECT_EQ(object.refs(), 3);
        ComPtr<IUnknown> d = ComPtr<IUnknown>::adopt(out);
        EXPECT_EQ(object.refs(), 3);
        a = d;  // self-consistent assignment between holders of the same object
        EXPECT_EQ(object.refs(), 3);
        *d.put() = nullptr;  // put() released d's reference
        EXPECT_EQ(object.refs(), 2);
        EXPECT_FALSE(c.as<IStream>());
    }
    EXPECT_EQ(object.refs(), 0);
}
