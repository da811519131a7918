// A small in-process server for the activation tests: one class, "Vantel.TestCalc", with a dual
// interface driven by name, an event interface, error information and self-registration. It is
// built the way a real control is (ComClass, a member table, a connection point, the module's
// entry points), so the tests exercise the whole path a host takes.

#include <cstdlib>

#include "platform/com/activation.h"
#include "platform/com/comobject.h"
#include "platform/com/connpt.h"
#include "platform/com/errorinfo.h"
#include "platform/com/olesite.h"

#define TEST_CALC_CLSID "{A1B2C3D4-0001-4E5F-8A9B-0C1D2E3F4A5B}"

namespace {

inline constexpr CLSID CLSID_TestCalc{
    0xA1B2C3D4, 0x0001, 0x4E5F, {0x8A, 0x9B, 0x0C, 0x1D, 0x2E, 0x3F, 0x4A, 0x5B}};
inline constexpr IID IID_ITestCalc{
    0xA1B2C3D4, 0x0002, 0x4E5F, {0x8A, 0x9B, 0x0C, 0x1D, 0x2E, 0x3F, 0x4A, 0x5B}};
inline constexpr IID DIID_TestCalcEvents{
    0xA1B2C3D4, 0x0003, 0x4E5F, {0x8A, 0x9B, 0x0C, 0x1D, 0x2E, 0x3F, 0x4A, 0x5B}};

ModuleLock g_module;

struct ITestCalc : IDispatch {
    static constexpr const IID& kIid = IID_ITestCalc;
    using ComBase = IDispatch;
    virtual HRESULT get_Value(LONG* pVal) = 0;
    virtual HRESULT put_Value(LONG value) = 0;
    virtual HRESULT get_Name(BSTR* pVal) = 0;
    virtual HRESULT Add(VARIANT A, VARIANT B, VARIANT* Result) = 0;
    virtual HRESULT Fail(VARIANT* Result) = 0;
    virtual HRESULT get_Objects(LONG* pVal) = 0;
};

class TestCalc final
    : public ComClass<ITestCalc, IConnectionPointContainer, ISupportErrorInfo, IProvideClassInfo2> {
  public:
    explicit TestCalc(IUnknown* outer) : ComClass(outer) {
        std::string progId;
        if (SUCCEEDED(progIdFromClsid(CLSID_TestCalc, &progId))) m_name = Bstr::fromUtf8(progId);
    }

    static HRESULT create(IUnknown* outer, REFIID riid, void** ppv) {
        return createComObject<TestCalc>(outer, riid, ppv);
    }

    // IDispatch
    HRESULT GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* excep, UINT* argErr) override;

    // ITestCalc
    HRESULT get_Value(LONG* pVal) override {
        *pVal = m_value;
        return S_OK;
    }
    HRESULT put_Value(LONG value) override {
        m_value = value;
        Variant args[] = {Variant(int32_t{value})};
        m_events.fireInvoke(1, args);
        return S_OK;
    }
    HRESULT get_Name(BSTR* pVal) override {
        *pVal = m_name.copy();
        return S_OK;
    }
    HRESULT Add(VARIANT A, VARIANT B, VARIANT* Result) override {
        Variant a, b(int32_t{0});
        HRESULT hr = VariantChangeType(&a, &A, 0, VT_I4);
        if (SUCCEEDED(hr) && !isMissingArg(&B)) hr = VariantChangeType(&b, &B, 0, VT_I4);
        if (FAILED(hr)) return hr;
        VariantClear(Result);
        Result->vt = VT_I4;
        Result->lVal = a.lVal + b.lVal + m_value;
        return S_OK;
    }
    HRESULT Fail(VARIANT* Result) override {
        VariantClear(Result);
        Result->vt = VT_I4;
        Result->lVal = 10061;
        return setErrorInfoText(IID_ITestCalc, bstrView(m_name.get()),
                                u"The connection has been refused by the remote host",
                                static_cast<HRESULT>(0x800A274Du));
    }
    HRESULT get_Objects(LONG* pVal) override {
        *pVal = g_module.count();
        return S_OK;
    }

    // IConnectionPointContainer
    HRESULT EnumConnectionPoints(IEnumConnectionPoints** out) override {
        return enumConnectionPoints({&m_events}, out);
    }
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
        return findConnectionPoint({&m_events}, iid, out);
    }

    // ISupportErrorInfo
    HRESULT InterfaceSupportsErrorInfo(REFIID riid) override {
        return riid == IID_ITestCalc ? S_OK : S_FALSE;
    }

    // IProvideClassInfo2
    HRESULT GetClassInfo(ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT GetGUID(DWORD kind, GUID* guid) override {
        if (!guid) return E_POINTER;
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
        *guid = DIID_TestCalcEvents;
        return S_OK;
    }

  private:
    ModuleLockRef m_lock{g_module};
    ConnectionPoint m_events{controllingUnknown(), this, DIID_TestCalcEvents};
    LONG m_value = 0;
    Bstr m_name;
};

const char* const kAddArgs[] = {"A", "B"};

const DispMember kMembers[] = {
    dispGet<&ITestCalc::get_Value>("Value", 1), dispPut<&ITestCalc::put_Value>("Value", 1),
    dispGet<&ITestCalc::get_Name>("Name", 2),   dispMethod<&ITestCalc::Add>("Add", 3, 1, kAddArgs),
    dispMethod<&ITestCalc::Fail>("Fail", 4),    dispGet<&ITestCalc::get_Objects>("Objects", 5),
};

HRESULT TestCalc::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return dispTableGetIDsOfNames(kMembers, riid, names, count, ids);
}

HRESULT TestCalc::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
    return dispTableInvoke(kMembers, static_cast<ITestCalc*>(this), id, riid, lcid, flags, params,
                           result, excep, argErr);
}

const RegistryEntry kRegistration[] = {
    {"Vantel.TestCalc.1", nullptr, "Vantel test calculator"},
    {"Vantel.TestCalc.1\\CLSID", nullptr, TEST_CALC_CLSID},
    {"Vantel.TestCalc", nullptr, "Vantel test calculator"},
    {"Vantel.TestCalc\\CLSID", nullptr, TEST_CALC_CLSID},
    {"Vantel.TestCalc\\CurVer", nullptr, "Vantel.TestCalc.1"},
    {"CLSID\\" TEST_CALC_CLSID, nullptr, "Vantel test calculator"},
    {"CLSID\\" TEST_CALC_CLSID "\\ProgID", nullptr, "Vantel.TestCalc.1"},
    {"CLSID\\" TEST_CALC_CLSID "\\VersionIndependentProgID", nullptr, "Vantel.TestCalc"},
    {"CLSID\\" TEST_CALC_CLSID "\\InprocServer32", nullptr, "%MODULE%"},
    {"CLSID\\" TEST_CALC_CLSID "\\InprocServer32", "ThreadingModel", "Apartment"},
};

constexpr const char* kClassKey = "CLSID\\" TEST_CALC_CLSID;
const char* const kRegisteredKeys[] = {kClassKey, "Vantel.TestCalc", "Vantel.TestCalc.1"};

// The tests make registration fail on purpose with this variable.
bool failOnPurpose() {
    return std::getenv("VANTEL_TEST_SERVER_FAIL") != nullptr;
}

}  // namespace

extern "C" HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    return getClassObject(clsid, CLSID_TestCalc, &TestCalc::create, &g_module, riid, ppv);
}

extern "C" HRESULT DllCanUnloadNow() {
    return g_module.canUnloadNow();
}

extern "C" HRESULT DllRegisterServer() {
    if (failOnPurpose()) return SELFREG_E_CLASS;
    return registerEntries(HKEY_CLASSES_ROOT, kRegistration,
                           modulePathOf(reinterpret_cast<const void*>(&DllRegisterServer)));
}

extern "C" HRESULT DllUnregisterServer() {
    if (failOnPurpose()) return SELFREG_E_CLASS;
    return unregisterKeys(HKEY_CLASSES_ROOT, kRegisteredKeys);
}
