#include "platform/com/activation.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "platform/com/connpt.h"
#include "platform/com/errorinfo.h"
#include "platform/com/olesite.h"
#include "platform/registry/test_folder.h"

namespace {

// The test server module (test_server.cpp), built beside this test.
const char* const kServer = COM_TEST_SERVER;

inline constexpr CLSID CLSID_TestCalc{
    0xA1B2C3D4, 0x0001, 0x4E5F, {0x8A, 0x9B, 0x0C, 0x1D, 0x2E, 0x3F, 0x4A, 0x5B}};
inline constexpr IID DIID_TestCalcEvents{
    0xA1B2C3D4, 0x0003, 0x4E5F, {0x8A, 0x9B, 0x0C, 0x1D, 0x2E, 0x3F, 0x4A, 0x5B}};

// Calls one of the module's registration entry points, as the regsvr tool does.
HRESULT callEntry(const char* name) {
    void* handle = dlopen(kServer, RTLD_NOW | RTLD_LOCAL);
    if (!handle) return E_FAIL;
    auto entry = reinterpret_cast<DllRegisterServerFn>(dlsym(handle, name));
    HRESULT hr = entry ? entry() : E_FAIL;
    dlclose(handle);
    return hr;
}

bool keyExists(const char* path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void setDefault(const std::string& path, const std::string& value) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

class Activation : public RegistryFolderTest {
  protected:
    void SetUp() override {
        RegistryFolderTest::SetUp();
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
    }
    void TearDown() override {
        CoUninitialize();
        RegistryFolderTest::TearDown();
    }
};

}  // namespace

TEST(Apartment, EntersOnceAndRefusesTheOtherModel) {
    std::thread worker([] {
        void* ppv = nullptr;
        EXPECT_EQ(
            CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &ppv),
            CO_E_NOTINITIALIZED);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        CoUninitialize();
        CoUninitialize();
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);  // left, so free again
        CoUninitialize();
        CoUninitialize();  // one too many does no harm
    });
    worker.join();
}

TEST_F(Activation, UnregisteredClassesAndProgIds) {
    void* ppv = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &ppv),
              REGDB_E_CLASSNOTREG);
    CLSID clsid;
    EXPECT_EQ(CLSIDFromProgID(u"Vantel.TestCalc", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromProgID(u"..\\CLSID", &clsid), CO_E_CLASSSTRING);
    LPOLESTR progId = nullptr;
    EXPECT_EQ(ProgIDFromCLSID(CLSID_TestCalc, &progId), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CLSIDFromString(u"{not a guid}", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromString(u"{A1B2C3D4-0001-4E5F-8A9B-0C1D2E3F4A5B}", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_TestCalc);
}

TEST_F(Activation, RegisteredClassIsCreatedByProgIdAndDrivenByName) {
    ASSERT_EQ(callEntry("DllRegisterServer"), S_OK);
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(u"Vantel.TestCalc", &clsid), S_OK);  // through CurVer
    EXPECT_EQ(clsid, CLSID_TestCalc);
    EXPECT_EQ(CLSIDFromString(u"vantel.testcalc.1", &clsid), S_OK);  // ProgIDs ignore case
    LPOLESTR progId = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(CLSID_TestCalc, &progId), S_OK);
    EXPECT_EQ(utf16ToUtf8(progId), "Vantel.TestCalc.1");
    CoTaskMemFree(progId);

    ComPtr<IDispatch> calc;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, calc.putVoid()),
              S_OK);

    // Events: the host connects a sink found through IProvideClassInfo2.
    GUID events{};
    ASSERT_EQ(calc.as<IProvideClassInfo2>()->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events),
              S_OK);
    EXPECT_EQ(events, DIID_TestCalcEvents);
    std::vector<LONG> changes;
    ComPtr<IDispatch> sink;
    createEventSink(
        events, [&](DISPID, DISPPARAMS* p) { changes.push_back(dispParamsArg(p, 0)->lVal); },
        sink.put());
    DWORD cookie;
    ASSERT_EQ(adviseSink(calc.get(), events, sink.get(), &cookie), S_OK);

    Variant result;
    EXPECT_EQ(dispPutProperty(calc.get(), "Value", Variant::fromUtf8("40")), S_OK);
    EXPECT_EQ(changes, std::vector<LONG>{40});
    Variant args[] = {Variant(int32_t{1}), Variant(int32_t{1})};
    EXPECT_EQ(dispCall(calc.get(), "add", args, &result), S_OK);
    EXPECT_EQ(result.lVal, 42);
    EXPECT_EQ(dispGetProperty(calc.get(), "Name", &result), S_OK);
    EXPECT_EQ(result.utf8(), "Vantel.TestCalc.1");  // looked up by the object from its CLSID

    std::string text;
    EXPECT_EQ(dispCall(calc.get(), "Fail", {}, &result, &text), static_cast<HRESULT>(0x800A274Du));
    EXPECT_EQ(text, "The connection has been refused by the remote host");
    EXPECT_EQ(calc.as<ISupportErrorInfo>()->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);

    EXPECT_EQ(unadviseSink(calc.get(), events, cookie), S_OK);
}

TEST_F(Activation, ModulesStayLoadedUntilUnused) {
    ASSERT_EQ(callEntry("DllRegisterServer"), S_OK);
    ComPtr<IDispatch> first, second;
    ASSERT_EQ(CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_ALL, IID_IDispatch, first.putVoid()),
              S_OK);
    ASSERT_EQ(
        CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_ALL, IID_IDispatch, second.putVoid()),
        S_OK);
    Variant objects;
    dispGetProperty(first.get(), "Objects", &objects);
    EXPECT_EQ(objects.lVal, 2);

    CoFreeUnusedLibraries();
    void* loaded = dlopen(kServer, RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(loaded, nullptr);  // still in use
    if (loaded) dlclose(loaded);
    first = nullptr;
    second = nullptr;
    CoFreeUnusedLibraries();
    EXPECT_EQ(dlopen(kServer, RTLD_NOW | RTLD_NOLOAD), nullptr);

    // And it loads again on demand.
    ASSERT_EQ(CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_ALL, IID_IDispatch, first.putVoid()),
              S_OK);
}

TEST_F(Activation, AggregationAndContexts) {
    ASSERT_EQ(callEntry("DllRegisterServer"), S_OK);
    void* ppv = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &ppv),
              REGDB_E_CLASSNOTREG);
    ComPtr<AmbientSite> site = AmbientSite::create();  // any object can be an outer
    IUnknown* outer = site->controllingUnknown();
    EXPECT_EQ(CoCreateInstance(CLSID_TestCalc, outer, CLSCTX_INPROC_SERVER, IID_IDispatch, &ppv),
              CLASS_E_NOAGGREGATION);
    ComPtr<IUnknown> inner;
    ASSERT_EQ(CoCreateInstance(CLSID_TestCalc, outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               inner.putVoid()),
              S_OK);
    EXPECT_NE(inner.get(), outer);
    // The aggregated object's own interfaces answer for the outer object's identity.
    ComPtr<IDispatch> calc;
    ASSERT_EQ(inner->QueryInterface(IID_IDispatch, calc.putVoid()), S_OK);
    EXPECT_EQ(calc.as<IUnknown>().get(), outer);
    EXPECT_EQ(CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_INPROC_SERVER, IID_IStream, &ppv),
              E_NOINTERFACE);
}

TEST_F(Activation, BadServerEntries) {
    const std::string key = "CLSID\\{A1B2C3D4-0001-4E5F-8A9B-0C1D2E3F4A5B}\\InprocServer32";
    void* ppv = nullptr;
    setDefault(key, m_folder + "/missing.so");
    EXPECT_EQ(CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &ppv),
              HRESULT_FROM_WIN32(126));
    EXPECT_NE(comLastLoadError().find("missing.so"), std::string::npos);

    // A library that is no server: this runtime itself.
    std::string runtime = modulePathOf(reinterpret_cast<const void*>(&CoCreateInstance));
    ASSERT_FALSE(runtime.empty());
    setDefault(key, runtime);
    EXPECT_EQ(CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &ppv),
              CO_E_ERRORINDLL);
    setDefault(key, "");
    EXPECT_EQ(CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &ppv),
              REGDB_E_CLASSNOTREG);
}

// A function of the test program itself, not of a library.
static int functionOfTheProgram() {
    return 0;
}

TEST(ModulePath, NamesTheProgramAndALibraryByTheirWholePaths) {
    char program[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", program, sizeof program - 1), 0);
    EXPECT_EQ(modulePathOf(reinterpret_cast<const void*>(&functionOfTheProgram)), program);
    const std::string runtime = modulePathOf(reinterpret_cast<const void*>(&CoCreateInstance));
    ASSERT_FALSE(runtime.empty());
    EXPECT_EQ(runtime.front(), '/');
    EXPECT_NE(runtime, program);
    EXPECT_EQ(modulePathOf(nullptr), "");
}

TEST_F(Activation, CurVerLoopsEnd) {
    setDefault("Loop.A\\CurVer", "Loop.B");
    setDefault("Loop.B\\CurVer", "Loop.A");
    setDefault("Loop.A\\CLSID", "{A1B2C3D4-0001-4E5F-8A9B-0C1D2E3F4A5B}");
    CLSID clsid;
    EXPECT_EQ(clsidFromProgId("Loop.B", &clsid), S_OK);  // Loop.B -> Loop.A, which names a class
    EXPECT_EQ(clsid, CLSID_TestCalc);
    // A current version without a class falls back to the older one that has one.
    setDefault("Old.Name\\CLSID", "{A1B2C3D4-0001-4E5F-8A9B-0C1D2E3F4A5B}");
    setDefault("Old.Name\\CurVer", "Nowhere.1");
    EXPECT_EQ(clsidFromProgId("Old.Name", &clsid), S_OK);
    setDefault("Bad.Name\\CLSID", "not a guid");
    EXPECT_EQ(clsidFromProgId("Bad.Name", &clsid), CO_E_CLASSSTRING);
}

TEST_F(Activation, UnregistrationRemovesEverything) {
    ASSERT_EQ(callEntry("DllRegisterServer"), S_OK);
    EXPECT_TRUE(keyExists("CLSID\\{A1B2C3D4-0001-4E5F-8A9B-0C1D2E3F4A5B}\\InprocServer32"));
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT,
                            "CLSID\\{A1B2C3D4-0001-4E5F-8A9B-0C1D2E3F4A5B}\\InprocServer32", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    char buffer[4096];
    DWORD size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(key, "ThreadingModel", nullptr, nullptr,
                               reinterpret_cast<BYTE*>(buffer), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "Apartment");
    size = sizeof buffer;
    RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    char resolved[4096];
    ASSERT_NE(realpath(kServer, resolved), nullptr);
    EXPECT_STREQ(buffer, resolved);  // %MODULE% became the module's full path

    ASSERT_EQ(callEntry("DllUnregisterServer"), S_OK);
    EXPECT_FALSE(keyExists("CLSID\\{A1B2C3D4-0001-4E5F-8A9B-0C1D2E3F4A5B}"));
    EXPECT_FALSE(keyExists("Vantel.TestCalc"));
    EXPECT_FALSE(keyExists("Vantel.TestCalc.1"));
    EXPECT_TRUE(keyExists("CLSID"));
    // Unregistering what is not there succeeds.
    EXPECT_EQ(callEntry("DllUnregisterServer"), S_OK);
}
