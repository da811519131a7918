#include "winsock/ocx/arguments.h"

#include <gtest/gtest.h>

TEST(WirranArguments, AbsentArgumentsTakeTheFallbackAndOthersAreConverted) {
    Variant empty;
    Variant referencedEmpty;
    Variant byRefEmpty = Variant::byRef(&referencedEmpty);
    Variant number = Variant::fromUtf8("&H10");
    Variant text = Variant::fromUtf8("four");
    Variant big(1e12);
    struct Case {
        const VARIANT* arg;
        HRESULT hr;
        LONG value;
    };
    Variant missing = Variant::missing();
    Variant otherError = Variant::error(E_FAIL);  // any VT_ERROR counts as absent
    const Case cases[] = {
        {&missing, S_OK, 7},         {&otherError, S_OK, 7}, {&empty, S_OK, 7},
        {&byRefEmpty, S_OK, 7},      {&number, S_OK, 16},    {&text, DISP_E_TYPEMISMATCH, -1},
        {&big, DISP_E_OVERFLOW, -1},
    };
    for (const Case& c : cases) {
        LONG out = -1;
        EXPECT_EQ(optionalLong(*c.arg, 7, &out), c.hr) << c.arg->vt;
        EXPECT_EQ(out, c.value) << c.arg->vt;
    }

    Bstr fallback = Bstr::fromUtf8("default");
    Bstr out;
    ASSERT_EQ(optionalString(missing, fallback.get(), &out), S_OK);
    EXPECT_EQ(out.utf8(), "default");
    ASSERT_EQ(optionalString(Variant(int32_t{-12}), fallback.get(), &out), S_OK);
    EXPECT_EQ(out.utf8(), "-12");
    Variant array;
    array.vt = VT_ARRAY | VT_I4;
    array.parray = SafeArrayCreateVector(VT_I4, 0, 2);
    EXPECT_EQ(optionalString(array, fallback.get(), &out), DISP_E_TYPEMISMATCH);
}

// The counts the stream members hand back go through writeCountToVariant: the rules a caller's
// by-reference VARIANT is written by.
TEST(WirranArguments, CountsLandInTheCallersOwnType) {
    SHORT i2 = 0;
    LONG i4 = 0;
    DOUBLE r8 = 0;
    BSTR text = nullptr;
    BYTE byte = 0;
    Variant toI2 = Variant::byRef(VT_I2, &i2);
    Variant toI4 = Variant::byRef(VT_I4, &i4);
    Variant toR8 = Variant::byRef(VT_R8, &r8);
    Variant toText = Variant::byRef(VT_BSTR, &text);
    Variant toByte = Variant::byRef(VT_UI1, &byte);
    Variant omitted = Variant::missing();
    Variant plain = Variant::fromUtf8("replaced");

    EXPECT_EQ(writeCountToVariant(&toI2, 65535), S_OK);
    EXPECT_EQ(static_cast<uint16_t>(i2), 65535);
    EXPECT_EQ(writeCountToVariant(&toI2, 65536), CTL_E_OVERFLOW);
    EXPECT_EQ(writeCountToVariant(&toI4, 70000), S_OK);
    EXPECT_EQ(i4, 70000);
    EXPECT_EQ(writeCountToVariant(&toR8, 3), S_OK);
    EXPECT_EQ(r8, 3.0);
    EXPECT_EQ(writeCountToVariant(&toText, 42), S_OK);
    EXPECT_EQ(bstrToUtf8(text), "42");
    SysFreeString(text);
    EXPECT_EQ(writeCountToVariant(&toByte, 1), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(writeCountToVariant(&omitted, 1), E_INVALIDARG);
    EXPECT_EQ(writeCountToVariant(&plain, 9), S_OK);
    EXPECT_EQ(plain.vt, VT_I4);
    EXPECT_EQ(plain.lVal, 9);
}
