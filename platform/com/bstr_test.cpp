#include "platform/com/bstr.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Bstr, LengthsCountCodeUnitsAndBytesWithEmbeddedNuls) {
    const OLECHAR text[] = {u'a', 0, u'b', 0, 0};
    BSTR s = SysAllocStringLen(text, 4);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 4u);
    EXPECT_EQ(SysStringByteLen(s), 8u);
    EXPECT_EQ(s[4], 0);  // terminated after the counted length
    EXPECT_EQ(bstrView(s), std::u16string_view(text, 4));
    SysFreeString(s);

    // SysAllocString stops at the first NUL.
    s = SysAllocString(text);
    EXPECT_EQ(SysStringLen(s), 1u);
    SysFreeString(s);
}

TEST(Bstr, ByteLengthMayBeOddAndStillTerminates) {
    BSTR s = SysAllocStringByteLen("abc", 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringByteLen(s), 3u);
    EXPECT_EQ(SysStringLen(s), 1u);
    EXPECT_EQ(std::memcmp(s, "abc", 3), 0);
    EXPECT_EQ(reinterpret_cast<const char*>(s)[3], 0);
    EXPECT_EQ(reinterpret_cast<const char*>(s)[4], 0);
    SysFreeString(s);
}

TEST(Bstr, NullIsTheEmptyString) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    EXPECT_TRUE(bstrView(nullptr).empty());
    EXPECT_EQ(bstrToUtf8(nullptr), "");
    SysFreeString(nullptr);

    // A null source with a length gives zeroed code units.
    BSTR s = SysAllocStringLen(nullptr, 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(bstrView(s), std::u16string_view(u"\0\0\0", 3));
    SysFreeString(s);
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x7FFFFFFF), nullptr);  // far too long
}

TEST(Bstr, ReAllocReplacesAndKeepsTheOldOnFailure) {
    BSTR s = SysAllocString(u"old");
    EXPECT_TRUE(SysReAllocString(&s, u"newer"));
    EXPECT_EQ(bstrView(s), u"newer");
    EXPECT_TRUE(SysReAllocStringLen(&s, u"xyz", 2));
    EXPECT_EQ(bstrView(s), u"xy");
    EXPECT_FALSE(SysReAllocStringLen(&s, nullptr, 0x7FFFFFFF));
    EXPECT_EQ(bstrView(s), u"xy");
    EXPECT_FALSE(SysReAllocString(nullptr, u"x"));
    SysFreeString(s);
}

TEST(Bstr, Latin1RoundTripKeepsEveryByte) {
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes += static_cast<char>(b);
    Bstr s = Bstr::fromLatin1(bytes);
    ASSERT_EQ(s.length(), 256u);
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(s.get()[b], static_cast<char16_t>(b)) << b;
    bool lossy = true;
    EXPECT_EQ(s.latin1(&lossy), bytes);
    EXPECT_FALSE(lossy);
}

TEST(Bstr, Latin1ReplacesWhatOneByteCannotHold) {
    Bstr s(u"a\u20ACb\u0100");
    bool lossy = false;
    EXPECT_EQ(s.latin1(&lossy), "a?b?");
    EXPECT_TRUE(lossy);
}

TEST(Bstr, Utf8Conversions) {
    struct Case {
        std::string utf8;
        std::u16string utf16;
    } cases[] = {
        {"", u""},
        {"Kestrine.Wirran", u"Kestrine.Wirran"},
        {"caf\xC3\xA9", u"caf\u00E9"},
        {"\xE2\x82\xAC", u"\u20AC"},
        {"\xF0\x9F\x93\xBA", u"\U0001F4FA"},  // a surrogate pair
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(utf16ToUtf8(c.utf16), c.utf8) << c.utf8;
        Bstr b = Bstr::fromUtf8(c.utf8);
        EXPECT_EQ(b.utf8(), c.utf8);
    }
}

TEST(Bstr, MalformedTextBecomesReplacementCharacters) {
    struct Case {
        std::string utf8;
        std::u16string utf16;
    } cases[] = {
        {"\xFF", u"\uFFFD"},
        {"a\xC3", u"a\uFFFD"},                              // truncated sequence
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
    };
    for (const Case& c : cases)
        EXPECT_EQ(utf8ToUtf16(c.utf8), c.utf16);
    // An unpaired surrogate in UTF-16.
    EXPECT_EQ(utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(utf16ToUtf8(u"\xDC00x"), "\xEF\xBF\xBDx");
}

TEST(Bstr, WrapperCopiesMovesAndAdopts) {
    Bstr a = Bstr::fromUtf8("text");
    Bstr b = a;
    EXPECT_NE(a.get(), b.get());
    EXPECT_EQ(a, b);
    Bstr c = std::move(a);
    EXPECT_EQ(a.get(), nullptr);
    EXPECT_EQ(c.utf8(), "text");
    BSTR raw = c.detach();
    Bstr d = Bstr::adopt(raw);
    EXPECT_EQ(d.get(), raw);
    SysReAllocString(d.put(), u"x");  // put() freed the old string first
    EXPECT_EQ(d.utf8(), "x");
}

TEST(Bstr, AsciiCaseFolding) {
    EXPECT_TRUE(equalsIgnoreAsciiCase(u"AutoResolve", "autoresolve"));
    EXPECT_TRUE(equalsIgnoreAsciiCase(u"TIMEOUT", "Timeout"));
    EXPECT_FALSE(equalsIgnoreAsciiCase(u"Timeouts", "Timeout"));
    EXPECT_FALSE(equalsIgnoreAsciiCase(u"\u00C9", "\xC3\xA9"));
}
