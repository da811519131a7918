#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/com/dispatch.h"
#include "platform/com/test_objects.h"
#include "platform/com/variant.h"

namespace {

// A type-by-type description of a VARIANT's value, written without VariantChangeType so the
// tables below check the conversions against something independent of them.
std::string describe(const VARIANT& v) {
    char b[64];
    switch (v.vt) {
        case VT_EMPTY:
            return "empty";
        case VT_NULL:
            return "null";
        case VT_I1:
            return std::to_string(v.cVal);
        case VT_UI1:
            return std::to_string(v.bVal);
        case VT_I2:
            return std::to_string(v.iVal);
        case VT_UI2:
            return std::to_string(v.uiVal);
        case VT_I4:
            return std::to_string(v.lVal);
        case VT_UI4:
            return std::to_string(v.ulVal);
        case VT_I8:
            return std::to_string(v.llVal);
        case VT_UI8:
            return std::to_string(v.ullVal);
        case VT_R4:
            std::snprintf(b, sizeof b, "%.7g", v.fltVal);
            return b;
        case VT_R8:
        case VT_DATE:
            std::snprintf(b, sizeof b, "%.15g", v.dblVal);
            return b;
        case VT_CY:
            std::snprintf(b, sizeof b, "%.4f", static_cast<double>(v.cyVal.int64) / 10000.0);
            return b;
        case VT_BOOL:
            return v.boolVal == VARIANT_TRUE ? "T" : v.boolVal == 0 ? "F" : "bool?";
        case VT_BSTR:
            return "'" + bstrToUtf8(v.bstrVal) + "'";
        case VT_ERROR:
            std::snprintf(b, sizeof b, "err:%08X", static_cast<uint32_t>(v.scode));
            return b;
        default:
            return "vt" + std::to_string(v.vt);
    }
}

// The result of one conversion: the value, or "OF" (overflow), "TM" (type mismatch), "BT" (bad
// type), or the code in hex.
std::string convert(const VARIANT& from, VARTYPE vt, USHORT flags = 0) {
    Variant to;
    HRESULT hr = VariantChangeType(&to, &from, flags, vt);
    if (hr == DISP_E_OVERFLOW) return "OF";
    if (hr == DISP_E_TYPEMISMATCH) return "TM";
    if (hr == DISP_E_BADVARTYPE) return "BT";
    if (FAILED(hr)) return "hr" + std::to_string(hr);
    if (to.vt != vt) return "wrong type " + describe(to);
    return describe(to);
}

Variant make(VARTYPE vt, int64_t i, double d = 0) {
    Variant v;
    v.vt = vt;
    switch (vt) {
        case VT_I1:
            v.cVal = static_cast<CHAR>(i);
            break;
        case VT_UI1:
            v.bVal = static_cast<BYTE>(i);
            break;
        case VT_I2:
            v.iVal = static_cast<SHORT>(i);
            break;
        case VT_UI2:
            v.uiVal = static_cast<USHORT>(i);
            break;
        case VT_I4:
            v.lVal = static_cast<LONG>(i);
            break;
        case VT_UI4:
            v.ulVal = static_cast<ULONG>(i);
            break;
        case VT_I8:
            v.llVal = i;
            break;
        case VT_UI8:
            v.ullVal = static_cast<ULONGLONG>(i);
            break;
        case VT_R4:
            v.fltVal = static_cast<FLOAT>(d);
            break;
        case VT_R8:
        case VT_DATE:
            v.dblVal = d;
            break;
        case VT_CY:
            v.cyVal.int64 = i;
            break;
        case VT_BOOL:
            v.boolVal = i ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case VT_ERROR:
            v.scode = static_cast<SCODE>(i);
            break;
        default:
            break;
    }
    return v;
}

constexpr VARTYPE kTargets[] = {VT_I1,   VT_UI1,  VT_I2,    VT_UI2,   VT_I4,  VT_UI4,
                                VT_I8,   VT_UI8,  VT_R4,    VT_R8,    VT_CY,  VT_DATE,
                                VT_BOOL, VT_BSTR, VT_ERROR, VT_EMPTY, VT_NULL};
constexpr size_t kTargetCount = sizeof kTargets / sizeof kTargets[0];

struct Row {
    const char* name;
    Variant source;
    const char* expected[kTargetCount];
};

}  // namespace

// Every source type against every target type: exact values, overflow and mismatch.
TEST(VariantChangeType, EverySourceAgainstEveryTarget) {
    Row rows[] = {
        // target:     I1    UI1    I2      UI2      I4       UI4      I8       UI8     R4       R8
        //             CY           DATE     BOOL BSTR       ERROR    EMPTY    NULL
        {"I1 -5",
         make(VT_I1, -5),
         {"-5", "OF", "-5", "OF", "-5", "OF", "-5", "OF", "-5", "-5", "-5.0000", "-5", "T", "'-5'",
          "TM", "empty", "TM"}},
        {"UI1 200",
         make(VT_UI1, 200),
         {"OF", "200", "200", "200", "200", "200", "200", "200", "200", "200", "200.0000", "200",
          "T", "'200'", "TM", "empty", "TM"}},
        {"I2 -300",
         make(VT_I2, -300),
         {"OF", "OF", "-300", "OF", "-300", "OF", "-300", "OF", "-300", "-300", "-300.0000", "-300",
          "T", "'-300'", "TM", "empty", "TM"}},
        {"UI2 60000",
         make(VT_UI2, 60000),
         {"OF", "OF", "OF", "60000", "60000", "60000", "60000", "60000", "60000", "60000",
          "60000.0000", "60000", "T", "'60000'", "TM", "empty", "TM"}},
        {"I4 -70000",
         make(VT_I4, -70000),
         {"OF", "OF", "OF", "OF", "-70000", "OF", "-70000", "OF", "-70000", "-70000", "-70000.0000",
          "-70000", "T", "'-70000'", "err:FFFEEE90", "empty", "TM"}},
        {"UI4 3e9",
         make(VT_UI4, 3000000000),
         {"OF", "OF", "OF", "OF", "OF", "3000000000", "3000000000", "3000000000", "3e+09",
          "3000000000", "3000000000.0000", "OF", "T", "'3000000000'", "err:B2D05E00", "empty",
          "TM"}},
        {"I8 -5e12",
         make(VT_I8, -5000000000000),
         {"OF", "OF", "OF", "OF", "OF", "OF", "-5000000000000", "OF", "-5e+12", "-5000000000000",
          "-5000000000000.0000", "OF", "T", "'-5000000000000'", "TM", "empty", "TM"}},
        {"UI8 1e19",
         make(VT_UI8, static_cast<int64_t>(10000000000000000000ull)),
         {"OF", "OF", "OF", "OF", "OF", "OF", "OF", "10000000000000000000", "1e+19", "1e+19", "OF",
          "OF", "T", "'10000000000000000000'", "TM", "empty", "TM"}},
        {"R4 2.5",
         make(VT_R4, 0, 2.5),
         {"2", "2", "2", "2", "2", "2", "2", "2", "2.5", "2.5", "2.5000", "2.5", "T", "'2.5'", "TM",
          "empty", "TM"}},
        {"R8 -1234.5",
         make(VT_R8, 0, -1234.5),
         {"OF", "OF", "-1234", "OF", "-1234", "OF", "-1234", "OF", "-1234.5", "-1234.5",
          "-1234.5000", "-1234.5", "T", "'-1234.5'", "TM", "empty", "TM"}},
        {"CY 12.3456",
         make(VT_CY, 123456),
         {"12", "12", "12", "12", "12", "12", "12", "12", "12.3456", "12.3456", "12.3456",
          "12.3456", "T", "'12.3456'", "TM", "empty", "TM"}},
        {"DATE 2",
         make(VT_DATE, 0, 2.0),
         {"2", "2", "2", "2", "2", "2", "2", "2", "2", "2", "2.0000", "2", "T", "TM", "TM", "empty",
          "TM"}},
        {"BOOL TRUE",
         make(VT_BOOL, 1),
         {"-1", "255", "-1", "65535", "-1", "4294967295", "-1", "18446744073709551615", "-1", "-1",
          "-1.0000", "-1", "T", "'-1'", "TM", "empty", "TM"}},
        {"EMPTY",
         Variant(),
         {"0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0.0000", "0", "F", "''", "TM", "empty",
          "null"}},
        {"NULL",
         make(VT_NULL, 0),
         {"TM", "TM", "TM", "TM", "TM", "TM", "TM", "TM", "TM", "TM", "TM", "TM", "TM", "TM", "TM",
          "empty", "null"}},
        {"BSTR 42",
         Variant::fromUtf8("42"),
         {"42", "42", "42", "42", "42", "42", "42", "42", "42", "42", "42.0000", "TM", "T", "'42'",
          "TM", "empty", "TM"}},
        {"BSTR 300",
         Variant::fromUtf8("300"),
         {"OF", "OF", "300", "300", "300", "300", "300", "300", "300", "300", "300.0000", "TM", "T",
          "'300'", "TM", "empty", "TM"}},
        {"BSTR x",
         Variant::fromUtf8("x"),
         {"TM", "TM", "TM", "TM", "TM", "TM", "TM", "TM", "TM", "TM", "TM", "TM", "TM", "'x'", "TM",
          "empty", "TM"}},
        {"ERROR",
         make(VT_ERROR, static_cast<int32_t>(0x80020004)),
         {"TM", "TM", "TM", "TM", "-2147352572", "2147614724", "TM", "TM", "TM", "TM", "TM", "TM",
          "TM", "TM", "err:80020004", "empty", "TM"}},
    };
    for (const Row& row : rows)
        for (size_t t = 0; t < kTargetCount; ++t)
            EXPECT_EQ(convert(row.source, kTargets[t]), row.expected[t])
                << row.name << " -> vt " << kTargets[t];
}

TEST(VariantChangeType, StringsParseAsNumbers) {
    struct Case {
        const char* text;
        VARTYPE vt;
        const char* expected;
    } cases[] = {
        {" 12 ", VT_I4, "12"},
        {"+7", VT_I4, "7"},
        {"-0", VT_I4, "0"},
        {"1e3", VT_I4, "1000"},
        {"1.5E-1", VT_R8, "0.15"},
        {".5", VT_R8, "0.5"},
        {"5.", VT_R8, "5"},
        {"&HFF", VT_I4, "255"},
        {"&hff", VT_UI1, "255"},
        {"&O17", VT_I4, "15"},
        {"&HFFFFFFFF", VT_I4, "OF"},
        {"&HFFFFFFFF", VT_UI4, "4294967295"},
        {"&H", VT_I4, "TM"},
        {"&HG", VT_I4, "TM"},
        {"&O8", VT_I4, "TM"},
        {"0x10", VT_I4, "TM"},
        {"1,000", VT_I4, "TM"},
        {"", VT_I4, "TM"},
        {"   ", VT_I4, "TM"},
        {"12abc", VT_I4, "TM"},
        {"1e", VT_R8, "TM"},
        {"inf", VT_R8, "TM"},
        {"nan", VT_R8, "TM"},
        {"1e400", VT_R8, "OF"},
        {"1e-400", VT_R8, "0"},
        {"0.5", VT_I4, "0"},
        {"2.5", VT_I4, "2"},
        {"3.5", VT_I4, "4"},
        {"-2.5", VT_I4, "-2"},
        {"2147483647", VT_I4, "2147483647"},
        {"2147483648", VT_I4, "OF"},
        {"-2147483648", VT_I4, "-2147483648"},
        {"-2147483649", VT_I4, "OF"},
        {"-1", VT_UI4, "OF"},
        {"9223372036854775808", VT_I8, "OF"},
        {"-9223372036854775808", VT_I8, "-9223372036854775808"},
        {"18446744073709551615", VT_UI8, "18446744073709551615"},
        {"99999999999999999999", VT_UI8, "OF"},
        {"99999999999999999999", VT_R8, "1e+20"},
        {"True", VT_BOOL, "T"},
        {" false ", VT_BOOL, "F"},
        {"TRUE", VT_BOOL, "T"},
        {"0", VT_BOOL, "F"},
        {"-3", VT_BOOL, "T"},
        {"yes", VT_BOOL, "TM"},
        {"4000", VT_I2, "4000"},
        {"1.23456", VT_CY, "1.2346"},
        {"922337203685478", VT_CY, "OF"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(convert(Variant::fromUtf8(c.text), c.vt), c.expected)
            << '"' << c.text << "\" vt " << c.vt;
}

TEST(VariantChangeType, NumbersFormatAsText) {
    struct Case {
        Variant source;
        USHORT flags;
        const char* expected;
    } cases[] = {
        {make(VT_R8, 0, 0.1), 0, "'0.1'"},
        {make(VT_R8, 0, 1e20), 0, "'1E+20'"},
        {make(VT_R8, 0, -0.0), 0, "'0'"},
        {make(VT_R8, 0, 1.0 / 3), 0, "'0.333333333333333'"},
        {make(VT_R4, 0, 0.1), 0, "'0.1'"},
        {make(VT_R4, 0, 1.0 / 3), 0, "'0.3333333'"},
        {make(VT_CY, -5000), 0, "'-0.5'"},
        {make(VT_CY, 10001), 0, "'1.0001'"},
        {make(VT_I8, INT64_MIN), 0, "'-9223372036854775808'"},
        {make(VT_BOOL, 1), VARIANT_ALPHABOOL, "'True'"},
        {make(VT_BOOL, 0), VARIANT_ALPHABOOL, "'False'"},
        {make(VT_BOOL, 0), 0, "'0'"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(convert(c.source, VT_BSTR, c.flags), c.expected);
}

TEST(VariantChangeType, FloatsRoundHalfToEven) {
    struct Case {
        Variant source;
        VARTYPE vt;
        const char* expected;
    } cases[] = {
        {make(VT_R8, 0, 0.5), VT_I4, "0"},
        {make(VT_R8, 0, 1.5), VT_I4, "2"},
        {make(VT_R8, 0, -0.5), VT_I4, "0"},
        {make(VT_R8, 0, -1.5), VT_I4, "-2"},
        {make(VT_R8, 0, 255.5), VT_UI1, "OF"},
        {make(VT_R8, 0, 254.5), VT_UI1, "254"},
        {make(VT_R8, 0, -0.4), VT_UI1, "0"},
        {make(VT_CY, 25000), VT_I4, "2"},
        {make(VT_CY, 35000), VT_I4, "4"},
        {make(VT_CY, -25000), VT_I4, "-2"},
        {make(VT_CY, 25001), VT_I4, "3"},
        {make(VT_R8, 0, 2147483647.4), VT_I4, "2147483647"},
        {make(VT_R8, 0, 2147483647.5), VT_I4, "OF"},
        {make(VT_R8, 0, 3.5e38), VT_R4, "OF"},
        {make(VT_R8, 0, 1e300), VT_I8, "OF"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(convert(c.source, c.vt), c.expected) << describe(c.source);
}

TEST(VariantChangeType, ReferencesAreFollowedAndInPlaceWorks) {
    LONG value = 4000;
    Variant ref = Variant::byRef(VT_I4, &value);
    EXPECT_EQ(convert(ref, VT_BSTR), "'4000'");
    Variant inner = Variant::fromUtf8("17");
    Variant viaVariant = Variant::byRef(&inner);
    EXPECT_EQ(convert(viaVariant, VT_I4), "17");
    // A by-reference target is not a conversion.
    EXPECT_EQ(convert(Variant(int32_t{1}), VT_BYREF | VT_I4), "TM");

    Variant v = Variant::fromUtf8("250");
    EXPECT_EQ(v.changeType(VT_UI1), S_OK);
    EXPECT_EQ(v.vt, VT_UI1);
    EXPECT_EQ(v.bVal, 250);
    // A failed conversion leaves the variant as it was.
    Variant keep = Variant::fromUtf8("300");
    EXPECT_EQ(keep.changeType(VT_UI1), DISP_E_OVERFLOW);
    EXPECT_EQ(keep.utf8(), "300");
}

TEST(VariantChangeType, BadTypes) {
    EXPECT_EQ(convert(Variant(int32_t{1}), VT_DECIMAL), "BT");
    EXPECT_EQ(convert(Variant(int32_t{1}), VT_VARIANT), "BT");
    EXPECT_EQ(convert(Variant(int32_t{1}), 0x0FFF), "BT");
    VARIANT bad;
    VariantInit(&bad);
    bad.vt = VT_RECORD;
    EXPECT_EQ(convert(bad, VT_I4), "BT");
    EXPECT_EQ(VariantChangeType(nullptr, &bad, 0, VT_I4), E_INVALIDARG);
}

TEST(VariantChangeType, StringsAndByteArrays) {
    Variant text = Variant::fromLatin1(std::string("\x01\x02\xFF", 3));
    Variant bytes;
    ASSERT_EQ(VariantChangeType(&bytes, &text, 0, VT_ARRAY | VT_UI1), S_OK);
    EXPECT_EQ(safeArrayElementCount(bytes.parray), 6u);  // the UTF-16 code units' bytes
    EXPECT_EQ(static_cast<BYTE*>(bytes.parray->pvData)[0], 0x01);
    EXPECT_EQ(static_cast<BYTE*>(bytes.parray->pvData)[4], 0xFF);
    Variant back;
    ASSERT_EQ(VariantChangeType(&back, &bytes, 0, VT_BSTR), S_OK);
    EXPECT_EQ(bstrToLatin1(back.bstrVal), std::string("\x01\x02\xFF", 3));
    EXPECT_EQ(convert(bytes, VT_I4), "TM");
}

namespace {

// An object whose value property is 7.
class ValueObject : public CountingSink {
  public:
    ValueObject() : CountingSink(IID_IDispatch) {}
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                   UINT*) override {
        if (id != DISPID_VALUE || !(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
        result->vt = VT_I4;
        result->lVal = 7;
        return S_OK;
    }
};

}  // namespace

TEST(VariantChangeType, ObjectsGiveTheirValueProperty) {
    ValueObject object;
    {
        Variant v = Variant::fromDispatch(&object);
        EXPECT_EQ(convert(v, VT_BSTR), "'7'");
        EXPECT_EQ(convert(v, VT_I4, VARIANT_NOVALUEPROP), "TM");
        Variant unknown;
        ASSERT_EQ(VariantChangeType(&unknown, &v, 0, VT_UNKNOWN), S_OK);
        EXPECT_EQ(unknown.punkVal, static_cast<IUnknown*>(&object));
        Variant dispatch;
        ASSERT_EQ(VariantChangeType(&dispatch, &unknown, 0, VT_DISPATCH), S_OK);
        EXPECT_EQ(dispatch.pdispVal, &object);
    }
    EXPECT_EQ(object.refs(), 0);
    CountingUnknown plain;
    Variant unknown = Variant::fromUnknown(&plain);
    EXPECT_EQ(convert(unknown, VT_DISPATCH), "TM");
    EXPECT_EQ(convert(unknown, VT_I4), "TM");
}
