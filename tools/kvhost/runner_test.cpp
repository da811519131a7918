// The runner over the control itself (linked in) and over a small object with an output
// argument, and the value formatting.

#include "tools/kvhost/runner.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/com/comobject.h"
#include "tools/kvhost/format.h"
#include "winsock/ocx/wirran.h"

namespace {

inline constexpr IID IID_IEcho{
    0x5E1F0A01, 0x0001, 0x4A2B, {0x9C, 0x3D, 0x4E, 0x5F, 0x60, 0x71, 0x82, 0x93}};

struct IEcho : IDispatch {
    static constexpr const IID& kIid = IID_IEcho;
    using ComBase = IDispatch;
    virtual HRESULT Twice(VARIANT In, VARIANT* Out, VARIANT* Result) = 0;
};

// Writes twice its input into Out and returns the input's type.
class Echo final : public ComClass<IEcho> {
  public:
    Echo() : ComClass(nullptr) {}
    HRESULT GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return dispTableGetIDsOfNames(kMembers, riid, names, count, ids);
    }
    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* excep, UINT* argErr) override {
        return dispTableInvoke(kMembers, static_cast<IEcho*>(this), id, riid, lcid, flags, params,
                               result, excep, argErr);
    }
    HRESULT Twice(VARIANT In, VARIANT* Out, VARIANT* Result) override {
        Variant n;
        if (HRESULT hr = VariantChangeType(&n, &In, 0, VT_I4); FAILED(hr)) return hr;
        VariantClear(Out);
        Out->vt = VT_I4;
        Out->lVal = n.lVal * 2;
        Result->vt = VT_I4;
        Result->lVal = In.vt;
        return S_OK;
    }

  private:
    static inline const char* const kArgs[] = {"In", "Out"};
    static inline const DispMember kMembers[] = {dispMethod<&IEcho::Twice>("Twice", 1, 2, kArgs)};
};

std::string run(IDispatch* object, const std::vector<std::string>& lines, bool* failed = nullptr) {
    std::ostringstream out;
    ScriptRunner runner(object, out);
    for (size_t i = 0; i < lines.size(); ++i)
        runner.runLine(lines[i], static_cast<int>(i + 1));
    if (failed) *failed = runner.failed();
    return out.str();
}

}  // namespace

TEST(KvhostRunner, PutsGetsCallsAndReportsFailures) {
    ComPtr<CWirran> control = makeComObject<CWirran>(nullptr);
    bool failed = false;
    std::string out = run(control.get(),
                          {"Timeout = 4", "? Timeout", "? Blocking", "? Version", "Reset",
                           "? Timeout", "LastError = 10060", "? LastErrorString"},
                          &failed);
    EXPECT_EQ(out, "4\nTrue\n6.0.6000.0\n0\nThe specified operation has timed out\n");
    EXPECT_FALSE(failed);

    out =
        run(control.get(), {"Linger = 70000", "NoSuchMember 1", "Timeout = ", "? Linger"}, &failed);
    EXPECT_EQ(out,
              "error 0x800A017C: Invalid property value\n"
              "error 0x80020006: Unknown name\n"
              "error: line 3: column 11: a value is missing after \"=\"\n"
              "0\n");
    EXPECT_TRUE(failed);

    // A failing method with ThrowError reports the control's own description.
    out = run(control.get(), {"ThrowError = True", "Abort"});
    EXPECT_EQ(out, "error 0x800A2749: No connection established with remote host\n");
}

TEST(KvhostRunner, VariablesTakeOutputsByReference) {
    ComPtr<Echo> echo = makeComObject<Echo>();
    std::string out = run(echo.get(), {"? doubled", "Twice 21, doubled", "? doubled",
                                       "Twice doubled, DOUBLED", "? Doubled", "Twice \"x\", y"});
    // An unused name is no variable yet: "? doubled" asks the object, which has no such member.
    EXPECT_EQ(out,
              "error 0x80020006: Unknown name\n"
              "3\n42\n"
              "16396\n84\n"  // passed by reference: VT_BYREF | VT_VARIANT
              "error 0x80020005: Type mismatch\n");
}

TEST(KvhostFormat, PrintsEachKindOfValue) {
    SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, 3);
    static_cast<BYTE*>(bytes->pvData)[0] = 1;
    static_cast<BYTE*>(bytes->pvData)[2] = 255;
    Variant array;
    array.vt = VT_ARRAY | VT_UI1;
    array.parray = bytes;
    SAFEARRAY* texts = SafeArrayCreateVector(VT_BSTR, 0, 2);
    static_cast<BSTR*>(texts->pvData)[0] = bstrFromUtf8("a");
    Variant strings;
    strings.vt = VT_ARRAY | VT_BSTR;
    strings.parray = texts;
    LONG number = -7;
    Variant error = Variant::error(DISP_E_PARAMNOTFOUND);
    Variant boolRef;
    VARIANT_BOOL flag = VARIANT_TRUE;
    boolRef = Variant::byRef(VT_BOOL, &flag);
    Variant inner = Variant::fromUtf8("inner");

    struct Case {
        const VARIANT* value;
        const char* text;
    };
    Variant empty, i4(int32_t{-5}), yes(true), no(false), real(2.5);
    Variant text = Variant::fromUtf8("caf\xC3\xA9");
    Variant ref = Variant::byRef(VT_I4, &number);
    Variant nested = Variant::byRef(&inner);
    const Case cases[] = {
        {&empty, ""},
        {&i4, "-5"},
        {&yes, "True"},
        {&no, "False"},
        {&real, "2.5"},
        {&text, "caf\xC3\xA9"},
        {&array, "{1, 0, 255}"},
        {&strings, "{a, }"},
        {&ref, "-7"},
        {&error, "Error 0x80020004"},
        {&boolRef, "True"},
        {&nested, "inner"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(formatValue(*c.value), c.text);
}
