#include "platform/com/variant.h"

#include <gtest/gtest.h>

#include "platform/com/test_objects.h"

TEST(Variant, ClearReleasesWhatItOwnsAndResetsReferences) {
    CountingUnknown object;
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_UNKNOWN;
    v.punkVal = &object;
    object.AddRef();
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(object.refs(), 0);

    // A reference owns nothing: clearing it leaves the target alone.
    LONG target = 5;
    v.vt = VT_BYREF | VT_I4;
    v.plVal = &target;
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(target, 5);

    v.vt = 0x0FFF;  // not a type
    EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
    v.vt = VT_VARIANT;  // only valid by reference
    EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
}

TEST(Variant, ClearOfALockedArrayFails) {
    Variant v;
    v.vt = VT_ARRAY | VT_UI1;
    v.parray = SafeArrayCreateVector(VT_UI1, 0, 2);
    SafeArrayLock(v.parray);
    EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
    SafeArrayUnlock(v.parray);
}

TEST(Variant, CopyIsDeepForStringsArraysAndInterfaces) {
    Variant text = Variant::fromUtf8("abc");
    Variant copy;
    EXPECT_EQ(VariantCopy(&copy, &text), S_OK);
    EXPECT_EQ(copy.vt, VT_BSTR);
    EXPECT_NE(copy.bstrVal, text.bstrVal);
    EXPECT_EQ(copy.utf8(), "abc");

    Variant array;
    array.vt = VT_ARRAY | VT_I4;
    array.parray = SafeArrayCreateVector(VT_I4, 0, 3);
    EXPECT_EQ(VariantCopy(&copy, &array), S_OK);  // the old BSTR is freed first
    EXPECT_NE(copy.parray, array.parray);
    EXPECT_EQ(safeArrayElementCount(copy.parray), 3u);

    CountingUnknown object;
    {
        Variant unknown = Variant::fromUnknown(&object);
        Variant second(unknown);
        EXPECT_EQ(object.refs(), 2);
    }
    EXPECT_EQ(object.refs(), 0);

    VARIANT bad;
    VariantInit(&bad);
    bad.vt = VT_RECORD;
    EXPECT_EQ(VariantCopy(&copy, &bad), DISP_E_BADVARTYPE);
    EXPECT_EQ(copy.vt, VT_ARRAY | VT_I4);  // dest untouched when the source is bad
}

TEST(Variant, CopyIndFollowsReferences) {
    BSTR target = SysAllocString(u"referenced");
    Variant ref = Variant::byRef(VT_BSTR, &target);
    Variant out;
    EXPECT_EQ(VariantCopyInd(&out, &ref), S_OK);
    EXPECT_EQ(out.vt, VT_BSTR);
    EXPECT_NE(out.bstrVal, target);
    EXPECT_EQ(out.utf8(), "referenced");
    SysFreeString(target);

    Variant inner(int32_t{42});
    Variant viaVariant = Variant::byRef(&inner);
    EXPECT_EQ(VariantCopyInd(&out, &viaVariant), S_OK);
    EXPECT_EQ(out.vt, VT_I4);
    EXPECT_EQ(out.lVal, 42);

    // In place: the reference becomes the value.
    DOUBLE d = 1.5;
    Variant self = Variant::byRef(VT_R8, &d);
    EXPECT_EQ(VariantCopyInd(&self, &self), S_OK);
    EXPECT_EQ(self.vt, VT_R8);
    EXPECT_EQ(self.dblVal, 1.5);

    // A reference to a reference to a VARIANT is refused.
    Variant twice = Variant::byRef(&viaVariant);
    EXPECT_EQ(VariantCopyInd(&out, &twice), E_INVALIDARG);
    Variant dangling = Variant::byRef(VT_I4, nullptr);
    EXPECT_EQ(VariantCopyInd(&out, &dangling), E_INVALIDARG);
}

TEST(Variant, MissingArguments) {
    Variant empty;
    Variant error = Variant::missing();
    Variant zero(int32_t{0});
    Variant emptyText = Variant::fromUtf8("");
    Variant refToMissing = Variant::byRef(&error);
    Variant refToValue = Variant::byRef(&zero);
    EXPECT_TRUE(isMissingArg(nullptr));
    EXPECT_TRUE(isMissingArg(&empty));
    EXPECT_TRUE(isMissingArg(&error));
    EXPECT_TRUE(isMissingArg(&refToMissing));
    EXPECT_FALSE(isMissingArg(&zero));
    EXPECT_FALSE(isMissingArg(&emptyText));
    EXPECT_FALSE(isMissingArg(&refToValue));
    EXPECT_EQ(error.scode, DISP_E_PARAMNOTFOUND);
}

TEST(Variant, WriteCountIntoByReferenceTargets) {
    SHORT i2 = 0;
    LONG i4 = 0;
    FLOAT r4 = 0;
    DOUBLE r8 = 0;
    BSTR text = SysAllocString(u"old");
    BYTE ui1 = 0;
    SAFEARRAY* array = nullptr;

    struct Case {
        Variant target;
        ULONG count;
        HRESULT hr;
    } cases[] = {
        {Variant::byRef(VT_I2, &i2), 65535, S_OK},
        {Variant::byRef(VT_I2, &i2), 65536, CTL_E_OVERFLOW},
        {Variant::byRef(VT_I4, &i4), 70000, S_OK},
        {Variant::byRef(VT_R4, &r4), 12, S_OK},
        {Variant::byRef(VT_R8, &r8), 13, S_OK},
        {Variant::byRef(VT_BSTR, &text), 1234, S_OK},
        {Variant::byRef(VT_UI1, &ui1), 1, DISP_E_TYPEMISMATCH},
        {Variant::byRef(VT_ARRAY | VT_UI1, &array), 1, DISP_E_TYPEMISMATCH},
        {Variant::missing(), 1, E_INVALIDARG},
    };
    for (Case& c : cases)
        EXPECT_EQ(writeCountToVariant(&c.target, c.count), c.hr) << c.count;
    EXPECT_EQ(i2, -1);  // 65535 stored as its 16-bit pattern; 65536 left it alone
    EXPECT_EQ(i4, 70000);
    EXPECT_EQ(r4, 12.0f);
    EXPECT_EQ(r8, 13.0);
    EXPECT_EQ(bstrToUtf8(text), "1234");
    EXPECT_EQ(ui1, 0);
    SysFreeString(text);

    // A by-value target (other than VT_ERROR) is replaced by a VT_I4.
    Variant byValue = Variant::fromUtf8("whatever");
    EXPECT_EQ(writeCountToVariant(&byValue, 9), S_OK);
    EXPECT_EQ(byValue.vt, VT_I4);
    EXPECT_EQ(byValue.lVal, 9);

    // VT_BYREF|VT_VARIANT is followed to the caller's variable.
    Variant callerVar = Variant::byRef(VT_I4, &i4);
    Variant viaVariant = Variant::byRef(&callerVar);
    EXPECT_EQ(writeCountToVariant(&viaVariant, 77), S_OK);
    EXPECT_EQ(i4, 77);
}

TEST(Variant, WrapperMovesAndDetaches) {
    Variant a = Variant::fromUtf8("moved");
    BSTR raw = a.bstrVal;
    Variant b = std::move(a);
    EXPECT_EQ(a.vt, VT_EMPTY);
    EXPECT_EQ(b.bstrVal, raw);
    VARIANT out;
    b.detachTo(&out);
    EXPECT_EQ(b.vt, VT_EMPTY);
    EXPECT_EQ(out.bstrVal, raw);
    Variant owner = Variant::adopt(&out);
    EXPECT_EQ(out.vt, VT_EMPTY);
    EXPECT_EQ(owner.utf8(), "moved");
    EXPECT_EQ(Variant(u"wide").vt, VT_BSTR);  // a literal must not turn into a BOOL
    EXPECT_EQ(Variant(u"wide").utf8(), "wide");
    EXPECT_EQ(sizeof(Variant), 24u);
    EXPECT_EQ(sizeof(VARIANT), 24u);
}
