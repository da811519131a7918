// Read's and Write's buffers: which VARIANTs are taken, the byte counts, and the bytes.

#include "winsock/ocx/io_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

Variant byteArray(std::vector<uint8_t> bytes) {
    Variant v;
    v.vt = VT_ARRAY | VT_UI1;
    v.parray = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    std::copy(bytes.begin(), bytes.end(), static_cast<uint8_t*>(v.parray->pvData));
    return v;
}

Variant array(VARTYPE type, ULONG count) {
    Variant v;
    v.vt = VT_ARRAY | type;
    v.parray = SafeArrayCreateVector(type, 0, count);
    return v;
}

std::string bytesOf(const WriteBytes& w) {
    return std::string(reinterpret_cast<const char*>(w.data()), static_cast<size_t>(w.count()));
}

}  // namespace

TEST(ReadBuffer, TheByteCountFollowsTheBufferAndLength) {
    SAFEARRAYBOUND twoByTwo[2] = {{2, 0}, {2, 0}};
    Variant empty, text = Variant(u"abc"), shorts = array(VT_I2, 10), longs = array(VT_I4, 3);
    Variant matrix;
    matrix.vt = VT_ARRAY | VT_UI1;
    matrix.parray = SafeArrayCreate(VT_UI1, 2, twoByTwo);
    Variant number(int32_t{7}), real(2.5), error = Variant::missing(), zeroBytes = array(VT_UI1, 0);
    SAFEARRAY* none = nullptr;
    Variant unallocated = Variant::byRef(VT_ARRAY | VT_UI2, &none);
    struct Case {
        const char* what;
        VARIANT* buffer;
        Variant length;
        HRESULT hr;
        LONG count;
    } cases[] = {
        {"empty, no length", &empty, Variant::missing(), S_OK, 8192},
        {"string, length", &text, Variant(int32_t{2048}), S_OK, 2048},
        {"length as text", &text, Variant(u"12"), S_OK, 12},
        {"length not a number", &text, Variant(u"many"), DISP_E_TYPEMISMATCH, 0},
        {"negative length", &text, Variant(int32_t{-1}), E_INVALIDARG, 0},
        {"count 0", &text, Variant(int32_t{0}), E_INVALIDARG, 0},
        {"16-bit array", &shorts, Variant::missing(), S_OK, 20},
        {"lowered by length", &shorts, Variant(int32_t{7}), S_OK, 7},
        {"never raised", &longs, Variant(int32_t{100}), S_OK, 12},
        {"empty array", &zeroBytes, Variant::missing(), E_INVALIDARG, 0},
        {"two dimensions", &matrix, Variant::missing(), E_INVALIDARG, 0},
        {"unallocated takes length", &unallocated, Variant(int32_t{5}), S_OK, 5},
        {"unallocated needs length", &unallocated, Variant::missing(), E_INVALIDARG, 0},
        {"scalar, length", &number, Variant(int32_t{2}), S_OK, 2},
        {"scalar, longer length", &number, Variant(int32_t{9}), S_OK, 4},
        {"scalar needs length", &number, Variant::missing(), E_INVALIDARG, 0},
        {"another type", &real, Variant(int32_t{8}), E_INVALIDARG, 0},
        {"missing buffer", &error, Variant::missing(), E_INVALIDARG, 0},
        {"no buffer", nullptr, Variant::missing(), E_INVALIDARG, 0},
    };
    for (Case& c : cases) {
        ReadPlan plan;
        EXPECT_EQ(planRead(c.buffer, c.length, &plan), c.hr) << c.what;
        if (c.hr == S_OK) {
            EXPECT_EQ(plan.count, c.count) << c.what;
        }
    }
}

TEST(ReadBuffer, BytesBecomeOneCharacterEachAndNothingMore) {
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<uint8_t>(255 - i);
    BSTR old = SysAllocString(u"old text");
    Variant byRef = Variant::byRef(VT_BSTR, &old);
    ReadPlan plan;
    ASSERT_EQ(planRead(&byRef, Variant::missing(), &plan), S_OK);
    ASSERT_EQ(storeRead(plan, all.data(), 256, false), S_OK);
    ASSERT_EQ(SysStringLen(old), 256u);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(old[i], 255 - i);
    // Counts that end between two blocks of the wide copy.
    for (int count : {250, 47, 31}) {
        ASSERT_EQ(storeRead(plan, all.data() + 3, count, false), S_OK);
        ASSERT_EQ(SysStringLen(old), static_cast<UINT>(count));
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(old[i], 252 - i) << count << " bytes, at " << i;
    }
    ASSERT_EQ(storeRead(plan, all.data(), 0, false), S_OK);
    EXPECT_EQ(SysStringLen(old), 0u) << "a peer's close reads as an empty string";
    SysFreeString(old);
}

TEST(ReadBuffer, IntegersComeFromNetworkOrderOnlyWhenAsked) {
    const uint8_t wire[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    Variant longs = array(VT_I4, 2);
    ReadPlan plan;
    ASSERT_EQ(planRead(&longs, Variant::missing(), &plan), S_OK);
    ASSERT_EQ(storeRead(plan, wire, 8, true), S_OK);
    auto* values = static_cast<int32_t*>(longs.parray->pvData);
    EXPECT_EQ(values[0], 0x01020304);
    EXPECT_EQ(values[1], 0x05060708);
    ASSERT_EQ(storeRead(plan, wire, 8, false), S_OK);
    EXPECT_EQ(values[0], 0x04030201);

    SAFEARRAY* none = nullptr;
    Variant unallocated = Variant::byRef(VT_ARRAY | VT_UI2, &none);
    ASSERT_EQ(planRead(&unallocated, Variant(int32_t{100}), &plan), S_OK);
    ASSERT_EQ(storeRead(plan, wire, 3, true), S_OK);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(safeArrayElementCount(none), 2u) << "3 bytes make two 16-bit elements";
    EXPECT_EQ(static_cast<uint16_t*>(none->pvData)[0], 0x0102);
    SafeArrayDestroy(none);

    int16_t scalar = 0;
    Variant shortRef = Variant::byRef(VT_I2, &scalar);
    ASSERT_EQ(planRead(&shortRef, Variant(int32_t{2}), &plan), S_OK);
    ASSERT_EQ(storeRead(plan, wire, 2, true), S_OK);
    EXPECT_EQ(scalar, 0x0102);
}

TEST(WriteBuffer, StringsGoOutAsOneBytePerCharacter) {
    WriteBytes tenOfTwenty;
    ASSERT_EQ(prepareWrite(Variant(u"0123456789"), Variant(int32_t{20}), false, &tenOfTwenty),
              S_OK);
    EXPECT_EQ(bytesOf(tenOfTwenty), "0123456789") << "Length never raises the count";
    WriteBytes lowered;
    ASSERT_EQ(prepareWrite(Variant(u"0123456789"), Variant(int32_t{4}), false, &lowered), S_OK);
    EXPECT_EQ(bytesOf(lowered), "0123");
    WriteBytes wide;
    ASSERT_EQ(prepareWrite(Variant(std::u16string_view(u"\u00ff\u0100\u0000x", 4)),
                           Variant::missing(), false, &wide),
              S_OK);
    EXPECT_EQ(bytesOf(wide), std::string("\xff?\0x", 4));
    // A long string is converted on the heap, whole, wide characters wherever they are.
    std::u16string long16(5000, u'z');
    std::string long8(5000, 'z');
    for (size_t at : {0, 15, 16, 4001, 4999}) {
        long16[at] = u'\u20ac';
        long8[at] = '?';
    }
    long16[17] = u'\u00e9';
    long8[17] = '\xe9';
    WriteBytes big;
    ASSERT_EQ(prepareWrite(Variant(long16), Variant::missing(), false, &big), S_OK);
    EXPECT_EQ(bytesOf(big), long8);
}

TEST(WriteBuffer, ArraysAndScalarsGoOutAsTheirBytes) {
    Variant shorts = array(VT_I2, 2);
    static_cast<int16_t*>(shorts.parray->pvData)[0] = 0x0102;
    static_cast<int16_t*>(shorts.parray->pvData)[1] = 0x0304;
    WriteBytes network, local;
    ASSERT_EQ(prepareWrite(shorts, Variant::missing(), true, &network), S_OK);
    EXPECT_EQ(bytesOf(network), "\x01\x02\x03\x04");
    ASSERT_EQ(prepareWrite(shorts, Variant::missing(), false, &local), S_OK);
    EXPECT_EQ(bytesOf(local), "\x02\x01\x04\x03");
    EXPECT_EQ(SafeArrayDestroy(shorts.parray), DISP_E_ARRAYISLOCKED) << "locked while in use";

    Variant bytes = byteArray({'a', 'b', 'c'});
    Variant reference = Variant::byRef(&bytes);
    WriteBytes followed;
    ASSERT_EQ(prepareWrite(reference, Variant(int32_t{2}), true, &followed), S_OK);
    EXPECT_EQ(bytesOf(followed), "ab");

    WriteBytes scalar;
    ASSERT_EQ(prepareWrite(Variant(int32_t{0x41424344}), Variant::missing(), true, &scalar), S_OK);
    EXPECT_EQ(bytesOf(scalar), "ABCD");

    WriteBytes refused;
    EXPECT_EQ(prepareWrite(Variant(2.5), Variant::missing(), false, &refused), E_INVALIDARG);
    EXPECT_EQ(prepareWrite(Variant(u"x"), Variant(int32_t{-2}), false, &refused), E_INVALIDARG);
}

TEST(ReadBuffer, ArraysAreFilledInPlaceAndAStringOfTheRightLengthIsReused) {
    Variant bytes = array(VT_UI1, 4);
    ReadPlan plan;
    ASSERT_EQ(planRead(&bytes, Variant::missing(), &plan), S_OK);
    {
        ReadTarget target(plan);
        ASSERT_EQ(target.data(), bytes.parray->pvData) << "no copy on the way";
        EXPECT_EQ(SafeArrayDestroy(bytes.parray), DISP_E_ARRAYISLOCKED);
        std::memcpy(target.data(), "abcd", 4);
        ASSERT_EQ(target.store(4, false), S_OK);
    }
    EXPECT_EQ(std::string(static_cast<char*>(bytes.parray->pvData), 4), "abcd");
    EXPECT_EQ(SafeArrayUnlock(bytes.parray), E_UNEXPECTED) << "unlocked again";

    Variant text = Variant::fromLatin1("wxyz");
    BSTR before = text.bstrVal;
    ASSERT_EQ(planRead(&text, Variant(int32_t{4}), &plan), S_OK);
    ReadTarget target(plan);
    std::memcpy(target.data(), "abcd", 4);
    ASSERT_EQ(target.store(4, false), S_OK);
    EXPECT_EQ(text.bstrVal, before);
    EXPECT_EQ(bstrToLatin1(text.bstrVal), "abcd");
    ASSERT_EQ(target.store(2, false), S_OK);
    EXPECT_EQ(bstrToLatin1(text.bstrVal), "ab");
}
