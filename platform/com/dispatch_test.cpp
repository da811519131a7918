#include "platform/com/dispatch.h"

#include <gtest/gtest.h>

#include "platform/com/comobject.h"
#include "platform/com/errorinfo.h"

namespace {

inline constexpr IID IID_IWidget{0x5EED0001, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};

// A dual interface in the style of a control's.
struct IWidget : IDispatch {
    static constexpr const IID& kIid = IID_IWidget;
    using ComBase = IDispatch;
    virtual HRESULT get_Name(BSTR* pVal) = 0;
    virtual HRESULT put_Name(BSTR value) = 0;
    virtual HRESULT get_Count(LONG* pVal) = 0;
    virtual HRESULT put_Count(LONG value) = 0;
    virtual HRESULT get_Flag(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT put_Flag(VARIANT_BOOL value) = 0;
    virtual HRESULT get_Item(VARIANT Index, BSTR* pVal) = 0;
    virtual HRESULT Add(VARIANT A, VARIANT B, VARIANT* Result) = 0;
    virtual HRESULT Fill(VARIANT* Buffer, VARIANT Length, VARIANT* Result) = 0;
    virtual HRESULT Fail(VARIANT* Result) = 0;
    virtual HRESULT Reset() = 0;
};

const char* const kAddArgs[] = {"A", "B"};
const char* const kFillArgs[] = {"Buffer", "Length"};

class Widget final : public ComClass<IWidget> {
  public:
    // IDispatch through the member table.
    HRESULT GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* excep, UINT* argErr) override;

    HRESULT get_Name(BSTR* pVal) override {
        *pVal = m_name.copy();
        return S_OK;
    }
    HRESULT put_Name(BSTR value) override {
        m_name = Bstr(bstrView(value));
        return S_OK;
    }
    HRESULT get_Count(LONG* pVal) override {
        *pVal = m_count;
        return S_OK;
    }
    HRESULT put_Count(LONG value) override {
        if (value < 0) return CTL_E_INVALIDPROPERTYVALUE;
        m_count = value;
        return S_OK;
    }
    HRESULT get_Flag(VARIANT_BOOL* pVal) override {
        *pVal = m_flag;
        return S_OK;
    }
    HRESULT put_Flag(VARIANT_BOOL value) override {
        m_flag = value;
        return S_OK;
    }
    HRESULT get_Item(VARIANT Index, BSTR* pVal) override {
        Variant i;
        HRESULT hr = VariantChangeType(&i, &Index, 0, VT_I4);
        if (FAILED(hr)) return hr;
        *pVal = bstrFromUtf8("item" + std::to_string(i.lVal));
        return S_OK;
    }
    HRESULT Add(VARIANT A, VARIANT B, VARIANT* Result) override {
        lastBMissing = isMissingArg(&B);
        Variant a, b(int32_t{100});
        HRESULT hr = VariantChangeType(&a, &A, 0, VT_I4);
        if (SUCCEEDED(hr) && !lastBMissing) hr = VariantChangeType(&b, &B, 0, VT_I4);
        if (FAILED(hr)) return hr;
        Result->vt = VT_I4;
        Result->lVal = a.lVal + b.lVal;
        return S_OK;
    }
    HRESULT Fill(VARIANT* Buffer, VARIANT Length, VARIANT* Result) override {
        // Writes text into the caller's variable, whatever form it came in.
        LONG n = 3;
        if (!isMissingArg(&Length)) {
            Variant l;
            if (FAILED(VariantChangeType(&l, &Length, 0, VT_I4))) return DISP_E_TYPEMISMATCH;
            n = l.lVal;
        }
        BSTR text = bstrFromUtf8(std::string(static_cast<size_t>(n), 'x'));
        if (Buffer->vt == (VT_BYREF | VT_BSTR)) {
            SysFreeString(*Buffer->pbstrVal);
            *Buffer->pbstrVal = text;
        } else {
            VariantClear(Buffer);
            Buffer->vt = VT_BSTR;
            Buffer->bstrVal = text;
        }
        return writeCountToVariant(Result, static_cast<ULONG>(n));
    }
    HRESULT Fail(VARIANT* Result) override {
        Result->vt = VT_I4;
        Result->lVal = 10061;
        return setErrorInfoText(IID_IWidget, u"Acme.Widget", u"The connection has been refused",
                                static_cast<HRESULT>(0x800A274Du));
    }
    HRESULT Reset() override {
        ++resets;
        return S_OK;
    }

    bool lastBMissing = false;
    int resets = 0;

  private:
    Bstr m_name = Bstr::fromUtf8("widget");
    LONG m_count = 0;
    VARIANT_BOOL m_flag = VARIANT_FALSE;
};

// The member table, as a control would declare it beside its class.
const DispMember kWidgetMembers[] = {
    dispGet<&IWidget::get_Name>("Name", DISPID_VALUE),
    dispPut<&IWidget::put_Name>("Name", DISPID_VALUE),
    dispGet<&IWidget::get_Count>("Count", 2),
    dispPut<&IWidget::put_Count>("Count", 2),
    dispGet<&IWidget::get_Flag>("Flag", 3),
    dispPut<&IWidget::put_Flag>("Flag", 3),
    dispGet<&IWidget::get_Item>("Item", 4),
    dispMethod<&IWidget::Add>("Add", 5, 1, kAddArgs),
    dispMethod<&IWidget::Fill>("Fill", 6, 1, kFillArgs),
    dispMethod<&IWidget::Fail>("Fail", 7),
    dispMethodNoResult<&IWidget::Reset>("Reset", 8),
};

HRESULT Widget::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return dispTableGetIDsOfNames(kWidgetMembers, riid, names, count, ids);
}

HRESULT Widget::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                       VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
    return dispTableInvoke(kWidgetMembers, this, id, riid, lcid, flags, params, result, excep,
                           argErr);
}

// Invoke with arguments in natural order (reversed here, as callers must).
HRESULT invoke(IDispatch* d, DISPID id, WORD flags, std::vector<Variant> args, VARIANT* result,
               EXCEPINFO* excep = nullptr, UINT* argErr = nullptr, bool namedPut = false) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), namedPut ? &put : nullptr,
                      static_cast<UINT>(reversed.size()), namedPut ? 1u : 0u};
    // The result is an [out] parameter: the caller frees what it held before.
    if (result) VariantClear(result);
    return d->Invoke(id, IID_NULL, 0, flags, &params, result, excep, argErr);
}

}  // namespace

TEST(DispatchTable, NamesAreFoundWithoutRegardToCase) {
    ComPtr<Widget> w = makeComObject<Widget>();
    struct Case {
        std::u16string names[3];
        UINT count;
        HRESULT hr;
        DISPID ids[3];
    } cases[] = {
        {{u"count"}, 1, S_OK, {2}},
        {{u"COUNT"}, 1, S_OK, {2}},
        {{u"name"}, 1, S_OK, {DISPID_VALUE}},
        {{u"Counter"}, 1, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN}},
        {{u"Fill", u"length", u"buffer"}, 3, S_OK, {6, 1, 0}},
        {{u"Fill", u"Size"}, 2, DISP_E_UNKNOWNNAME, {6, DISPID_UNKNOWN}},
        {{u"Nothing", u"A"}, 2, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN, DISPID_UNKNOWN}},
    };
    for (Case& c : cases) {
        LPOLESTR names[3] = {c.names[0].data(), c.names[1].data(), c.names[2].data()};
        DISPID ids[3] = {99, 99, 99};
        EXPECT_EQ(w->GetIDsOfNames(IID_NULL, names, c.count, 0, ids), c.hr);
        for (UINT i = 0; i < c.count; ++i)
            EXPECT_EQ(ids[i], c.ids[i]) << i;
    }
    LPOLESTR name = const_cast<LPOLESTR>(u"Count");
    DISPID id;
    EXPECT_EQ(w->GetIDsOfNames(IID_IWidget, &name, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);
}

TEST(DispatchTable, PropertiesGetAndPutWithConversion) {
    ComPtr<Widget> w = makeComObject<Widget>();
    Variant result;
    EXPECT_EQ(invoke(w.get(), 2, DISPATCH_PROPERTYPUT, {Variant::fromUtf8("42")}, nullptr, nullptr,
                     nullptr, true),
              S_OK);
    EXPECT_EQ(invoke(w.get(), 2, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 42);

    // Hosts that omit the DISPID_PROPERTYPUT name are served too.
    EXPECT_EQ(invoke(w.get(), 3, DISPATCH_PROPERTYPUT, {Variant::fromUtf8("True")}, nullptr), S_OK);
    EXPECT_EQ(invoke(w.get(), 3, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_BOOL);
    EXPECT_EQ(result.boolVal, VARIANT_TRUE);

    EXPECT_EQ(invoke(w.get(), DISPID_VALUE, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.utf8(), "widget");

    UINT argErr = 99;
    EXPECT_EQ(invoke(w.get(), 2, DISPATCH_PROPERTYPUT, {Variant::fromUtf8("many")}, nullptr,
                     nullptr, &argErr, true),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0u);
    EXPECT_EQ(
        invoke(w.get(), 2, DISPATCH_PROPERTYPUT, {Variant(1e10)}, nullptr, nullptr, nullptr, true),
        DISP_E_OVERFLOW);
    EXPECT_EQ(invoke(w.get(), 2, DISPATCH_PROPERTYPUT, {Variant::missing()}, nullptr, nullptr,
                     nullptr, true),
              DISP_E_PARAMNOTOPTIONAL);
    // A get with an index argument.
    EXPECT_EQ(invoke(w.get(), 4, DISPATCH_PROPERTYGET, {Variant(int32_t{7})}, &result), S_OK);
    EXPECT_EQ(result.utf8(), "item7");
}

TEST(DispatchTable, ArgumentMatching) {
    ComPtr<Widget> w = makeComObject<Widget>();
    Variant result;
    struct Case {
        std::vector<Variant> args;
        HRESULT hr;
        LONG sum;
        bool bMissing;
    } cases[] = {
        {{Variant(int32_t{1}), Variant(int32_t{2})}, S_OK, 3, false},
        {{Variant(int32_t{1})}, S_OK, 101, true},
        {{Variant(int32_t{1}), Variant::missing()}, S_OK, 101, true},
        {{}, DISP_E_BADPARAMCOUNT, 0, false},
        {{Variant(int32_t{1}), Variant(int32_t{2}), Variant(int32_t{3})},
         DISP_E_BADPARAMCOUNT,
         0,
         false},
    };
    for (Case& c : cases) {
        EXPECT_EQ(invoke(w.get(), 5, DISPATCH_METHOD, c.args, &result), c.hr);
        if (c.hr == S_OK) {
            EXPECT_EQ(result.lVal, c.sum);
            EXPECT_EQ(w->lastBMissing, c.bMissing);
        }
    }

    // Named arguments: B by name, A by position.
    Variant args[] = {Variant(int32_t{5}), Variant(int32_t{1})};  // rgvarg: B first (named), A
    DISPID named[] = {1};
    DISPPARAMS params{args, named, 2, 1};
    EXPECT_EQ(w->Invoke(5, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(result.lVal, 6);
    DISPID wrong[] = {7};
    params.rgdispidNamedArgs = wrong;
    UINT argErr = 99;
    EXPECT_EQ(w->Invoke(5, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, &argErr),
              DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(argErr, 0u);

    EXPECT_EQ(invoke(w.get(), 8, DISPATCH_METHOD, {}, nullptr), S_OK);
    EXPECT_EQ(w->resets, 1);
}

TEST(DispatchTable, MembersAndKindsMustExist) {
    ComPtr<Widget> w = makeComObject<Widget>();
    Variant result;
    EXPECT_EQ(invoke(w.get(), 99, DISPATCH_METHOD, {}, &result), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(invoke(w.get(), 5, DISPATCH_PROPERTYPUT, {Variant(int32_t{1})}, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(invoke(w.get(), 4, DISPATCH_PROPERTYPUT, {Variant(int32_t{1})}, nullptr),
              DISP_E_MEMBERNOTFOUND);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(w->Invoke(2, IID_IWidget, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(w->Invoke(2, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, &result, nullptr, nullptr),
              E_INVALIDARG);
}

TEST(DispatchTable, OutArgumentsReachTheCallersVariable) {
    ComPtr<Widget> w = makeComObject<Widget>();
    Variant result;
    BSTR text = nullptr;  // a caller's string variable, passed by reference
    EXPECT_EQ(invoke(w.get(), 6, DISPATCH_METHOD,
                     {Variant::byRef(VT_BSTR, &text), Variant::fromUtf8("4")}, &result),
              S_OK);
    EXPECT_EQ(bstrToUtf8(text), "xxxx");
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 4);
    SysFreeString(text);

    Variant variable;  // a caller's VARIANT variable, passed by reference
    EXPECT_EQ(invoke(w.get(), 6, DISPATCH_METHOD, {Variant::byRef(&variable)}, &result), S_OK);
    EXPECT_EQ(variable.utf8(), "xxx");
}

TEST(DispatchTable, FailuresBecomeExceptionsWithTheErrorInformation) {
    ComPtr<Widget> w = makeComObject<Widget>();
    Variant result;
    EXCEPINFO excep{};
    EXPECT_EQ(invoke(w.get(), 7, DISPATCH_METHOD, {}, &result, &excep), DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, static_cast<HRESULT>(0x800A274Du));
    EXPECT_EQ(bstrToUtf8(excep.bstrSource), "Acme.Widget");
    EXPECT_EQ(bstrToUtf8(excep.bstrDescription), "The connection has been refused");
    EXPECT_EQ(result.vt, VT_EMPTY);
    clearExcepInfo(&excep);
    ComPtr<IErrorInfo> left;
    EXPECT_EQ(GetErrorInfo(0, left.put()), S_FALSE);  // taken into the EXCEPINFO

    // Without an EXCEPINFO the member's own code comes back and the error stays for the caller.
    EXPECT_EQ(invoke(w.get(), 7, DISPATCH_METHOD, {}, &result), static_cast<HRESULT>(0x800A274Du));
    EXPECT_EQ(GetErrorInfo(0, left.put()), S_OK);

    // Stale error information is not mistaken for a later failure's.
    setErrorInfoText(IID_IWidget, u"old", u"stale", E_FAIL);
    EXPECT_EQ(invoke(w.get(), 2, DISPATCH_PROPERTYPUT, {Variant(int32_t{-1})}, nullptr, &excep,
                     nullptr, true),
              DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, CTL_E_INVALIDPROPERTYVALUE);
    EXPECT_EQ(bstrToUtf8(excep.bstrDescription), "Invalid property value");
    EXPECT_EQ(excep.bstrSource, nullptr);
    clearExcepInfo(&excep);
}

TEST(DispatchByName, HostCallsAndErrors) {
    ComPtr<Widget> w = makeComObject<Widget>();
    ULONG refsBefore = w->AddRef() - 1;
    w->Release();

    Variant result;
    EXPECT_EQ(dispPutProperty(w.get(), "count", Variant(int32_t{9})), S_OK);
    EXPECT_EQ(dispGetProperty(w.get(), "Count", &result), S_OK);
    EXPECT_EQ(result.lVal, 9);

    Variant args[] = {Variant(int32_t{2}), Variant(int32_t{3})};
    EXPECT_EQ(dispCall(w.get(), "add", args, &result), S_OK);
    EXPECT_EQ(result.lVal, 5);

    // An [out] argument passed by value comes back in the caller's array.
    Variant fill[] = {Variant(), Variant(int32_t{2})};
    EXPECT_EQ(dispCall(w.get(), "Fill", fill, &result), S_OK);
    EXPECT_EQ(fill[0].utf8(), "xx");

    std::string text;
    EXPECT_EQ(dispCall(w.get(), "Fail", {}, &result, &text), static_cast<HRESULT>(0x800A274Du));
    EXPECT_EQ(text, "The connection has been refused");
    EXPECT_EQ(dispCall(w.get(), "Explode", {}, &result, &text), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(text, "Unknown name");
    EXPECT_EQ(dispGetProperty(nullptr, "Count", &result), E_POINTER);

    EXPECT_EQ(w->AddRef() - 1, refsBefore);  // no reference leaked by any call
    w->Release();
}
