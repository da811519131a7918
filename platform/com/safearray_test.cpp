#include "platform/com/safearray.h"

#include <gtest/gtest.h>

#include "platform/com/test_objects.h"
#include "platform/com/variant.h"

TEST(SafeArray, ElementSizesAndTypes) {
    struct Case {
        VARTYPE vt;
        UINT size;
    } cases[] = {{VT_UI1, 1},
                 {VT_I2, 2},
                 {VT_I4, 4},
                 {VT_R8, 8},
                 {VT_BOOL, 2},
                 {VT_BSTR, sizeof(void*)},
                 {VT_VARIANT, sizeof(VARIANT)},
                 {VT_UNKNOWN, sizeof(void*)}};
    for (const Case& c : cases) {
        SAFEARRAY* psa = SafeArrayCreateVector(c.vt, 0, 3);
        ASSERT_NE(psa, nullptr) << c.vt;
        EXPECT_EQ(SafeArrayGetElemsize(psa), c.size);
        VARTYPE vt = 0;
        EXPECT_EQ(SafeArrayGetVartype(psa, &vt), S_OK);
        EXPECT_EQ(vt, c.vt);
        EXPECT_EQ(SafeArrayGetDim(psa), 1u);
        EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    }
    EXPECT_EQ(SafeArrayCreateVector(VT_DECIMAL, 0, 1), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_EMPTY, 0, 1), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_I4, 0, nullptr), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_I4, 0, 0x7FFFFFFF), nullptr);  // size overflows
}

TEST(SafeArray, BoundsAndIndexChecks) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_I4, -2, 5);  // indexes -2..2
    LONG lo = 0, hi = 0;
    EXPECT_EQ(SafeArrayGetLBound(psa, 1, &lo), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(psa, 1, &hi), S_OK);
    EXPECT_EQ(lo, -2);
    EXPECT_EQ(hi, 2);
    EXPECT_EQ(SafeArrayGetUBound(psa, 2, &hi), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetUBound(psa, 0, &hi), DISP_E_BADINDEX);

    struct Case {
        LONG index;
        HRESULT hr;
    } cases[] = {{-3, DISP_E_BADINDEX}, {-2, S_OK}, {0, S_OK}, {2, S_OK}, {3, DISP_E_BADINDEX}};
    for (const Case& c : cases) {
        LONG value = c.index * 10;
        EXPECT_EQ(SafeArrayPutElement(psa, &c.index, &value), c.hr) << c.index;
        LONG back = 0;
        EXPECT_EQ(SafeArrayGetElement(psa, &c.index, &back), c.hr) << c.index;
        if (c.hr == S_OK) {
            EXPECT_EQ(back, value);
        }
    }
    // Element 0 of the data is index -2.
    EXPECT_EQ(static_cast<LONG*>(psa->pvData)[0], -20);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);

    // An empty vector has an upper bound below its lower bound.
    psa = SafeArrayCreateVector(VT_UI1, 0, 0);
    EXPECT_EQ(SafeArrayGetUBound(psa, 1, &hi), S_OK);
    EXPECT_EQ(hi, -1);
    SafeArrayDestroy(psa);
}

TEST(SafeArray, TwoDimensionsLeftmostIndexVariesFastest) {
    SAFEARRAYBOUND bounds[2] = {{3, 1}, {2, 0}};  // dimension 1: 1..3, dimension 2: 0..1
    SAFEARRAY* psa = SafeArrayCreate(VT_I2, 2, bounds);
    ASSERT_NE(psa, nullptr);
    EXPECT_EQ(SafeArrayGetDim(psa), 2u);
    EXPECT_EQ(safeArrayElementCount(psa), 6u);
    LONG hi1, hi2;
    SafeArrayGetUBound(psa, 1, &hi1);
    SafeArrayGetUBound(psa, 2, &hi2);
    EXPECT_EQ(hi1, 3);
    EXPECT_EQ(hi2, 1);
    LONG at[2] = {2, 1};
    SHORT v = 77;
    EXPECT_EQ(SafeArrayPutElement(psa, at, &v), S_OK);
    EXPECT_EQ(static_cast<SHORT*>(psa->pvData)[(2 - 1) + 3 * 1], 77);
    SafeArrayDestroy(psa);
}

TEST(SafeArray, LockedArraysCannotBeDestroyed) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 0, 4);
    void* data = nullptr;
    EXPECT_EQ(SafeArrayAccessData(psa, &data), S_OK);
    EXPECT_EQ(data, psa->pvData);
    EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnaccessData(psa), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(psa), E_UNEXPECTED);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    EXPECT_EQ(SafeArrayDestroy(nullptr), E_INVALIDARG);
}

TEST(SafeArray, OwnsAndCopiesStringsVariantsAndInterfaces) {
    SAFEARRAY* strings = SafeArrayCreateVector(VT_BSTR, 0, 2);
    Bstr text = Bstr::fromUtf8("hello");
    LONG i = 0;
    EXPECT_EQ(SafeArrayPutElement(strings, &i, text.get()), S_OK);
    EXPECT_NE(static_cast<BSTR*>(strings->pvData)[0], text.get());  // copied in
    Bstr out;
    EXPECT_EQ(SafeArrayGetElement(strings, &i, out.put()), S_OK);
    EXPECT_EQ(out.utf8(), "hello");

    SAFEARRAY* copy = nullptr;
    EXPECT_EQ(SafeArrayCopy(strings, &copy), S_OK);
    EXPECT_NE(static_cast<BSTR*>(copy->pvData)[0], static_cast<BSTR*>(strings->pvData)[0]);
    EXPECT_EQ(bstrToUtf8(static_cast<BSTR*>(copy->pvData)[0]), "hello");
    SafeArrayDestroy(copy);
    SafeArrayDestroy(strings);

    CountingUnknown counted;
    SAFEARRAY* objects = SafeArrayCreateVector(VT_UNKNOWN, 0, 1);
    EXPECT_EQ(SafeArrayPutElement(objects, &i, static_cast<IUnknown*>(&counted)), S_OK);
    EXPECT_EQ(counted.refs(), 1);
    IUnknown* got = nullptr;
    EXPECT_EQ(SafeArrayGetElement(objects, &i, &got), S_OK);
    EXPECT_EQ(counted.refs(), 2);
    got->Release();
    SafeArrayDestroy(objects);
    EXPECT_EQ(counted.refs(), 0);

    SAFEARRAY* variants = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    Variant v = Variant::fromUtf8("in a variant");
    EXPECT_EQ(SafeArrayPutElement(variants, &i, &v), S_OK);
    Variant back;
    EXPECT_EQ(SafeArrayGetElement(variants, &i, &back), S_OK);
    EXPECT_EQ(back.utf8(), "in a variant");
    SafeArrayDestroy(variants);
}
